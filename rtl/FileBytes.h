// Whole-file reading and crash-safe whole-file replacement, raising the program's file
// errors. Two kinds of file are written: the program's own (the settings store; see also
// TOwnFolder), never through a link, and files the user named (a Save dialog, a command-line
// argument), written as a shell redirection would write them.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

// The absolute, lexically normalised form of FileName, as shown in error messages.
std::string ExpandFileName(const std::string& FileName);

// Reads the whole file. A file that cannot be opened (missing, no permission, a directory)
// raises EFOpenError "Cannot open file "<full path>". <system text>"; a failing read raises
// EReadError.
std::string ReadFileBytes(const std::string& FileName);

// What a file the user names for reading may hold: presets, device lists, password files.
constexpr int64_t UserFileMaxBytes = 16 << 20;

// Reads a small file the user named (a preset, a device list, a password file): a regular
// file only, opened without blocking, so a FIFO or a device is refused instead of waited on or
// read without end, and of at most MaxBytes. Raises EFOpenError as ReadFileBytes does, the
// reason being "It is not a regular file" or "It is larger than 16 MiB" (the cap in MiB, KiB
// or bytes); a failing read raises EReadError.
std::string ReadUserFile(const std::string& FileName, int64_t MaxBytes = UserFileMaxBytes);

// Replaces FileName with Bytes so that the old content stays whole until the new one is
// complete on disk: the bytes go to a temporary file in the same folder, are flushed with
// fsync and then renamed over FileName. A file that cannot be created or replaced raises
// EFCreateError "Cannot create file "<full path>". <system text>"; a failing write (disk
// full, file size limit) raises EWriteError. On any failure the temporary file is removed
// and FileName is left as it was. An existing file keeps its permission bits. A symbolic
// link at FileName is replaced by the new file; what it pointed to is never written.
void ReplaceFileBytes(const std::string& FileName, const std::string& Bytes);

#ifndef _WIN32
// ReplaceFileBytes for Name in the folder open as FolderFd; FileName names it in errors. A new
// file gets NewMode less the umask.
void ReplaceFileAt(int FolderFd, const std::string& Name, const std::string& Bytes, mode_t NewMode,
                   const std::string& FileName);
#endif

// Writes Bytes to FileName, a file the user named, as "> FILE" in a shell would: the system
// follows a symbolic link there by its own rules (the program resolves none itself); a FIFO,
// a device node or another special file at the end of it is written as a stream and stays
// what it is; a regular file, or a new one, is replaced crash-safely as ReplaceFileBytes does,
// with the temporary file beside the file the system opened (so a link stays a link). A new
// file is created with NewMode less the umask. Raises the errors ReplaceFileBytes raises,
// named by FileName.
void WriteNamedFile(const std::string& FileName, const std::string& Bytes, mode_t NewMode = 0666);

// Opens FileName, a file the user named, for appending as ">> FILE" in a shell would: through
// a link, into a FIFO or a device as a stream, created with NewMode (less the umask) when
// missing. The descriptor, or -1 with errno set.
int OpenNamedForAppend(const std::string& FileName, mode_t NewMode);
