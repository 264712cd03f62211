// Whole-file reading and crash-safe whole-file replacement, raising the program's file
// errors. The parameter list's preset files use it; so can any store that rewrites a file.
#pragma once

#include <string>

// The absolute, lexically normalised form of FileName, as shown in error messages.
std::string ExpandFileName(const std::string& FileName);

// Reads the whole file. A file that cannot be opened (missing, no permission, a directory)
// raises EFOpenError "Cannot open file "<full path>". <system text>"; a failing read raises
// EReadError.
std::string ReadFileBytes(const std::string& FileName);

// Replaces FileName with Bytes so that the old content stays whole until the new one is
// complete on disk: the bytes go to a temporary file in the same folder, are flushed with
// fsync and then renamed over FileName. A file that cannot be created or replaced raises
// EFCreateError "Cannot create file "<full path>". <system text>"; a failing write (disk
// full, file size limit) raises EWriteError. On any failure the temporary file is removed
// and FileName is left as it was. An existing file keeps its permission bits. A symbolic
// link at FileName is replaced by the new file; what it pointed to is never written.
void ReplaceFileBytes(const std::string& FileName, const std::string& Bytes);
