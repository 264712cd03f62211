// Finds a named section in an ELF file and reads its bytes from the file itself, not from
// memory, so any executable on disk can be examined. Used by the version record reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Reads Count bytes at Offset into Buffer; false when they are not all there.
using TReadAt = std::function<bool(uint64_t Offset, void* Buffer, size_t Count)>;

// False when the bytes are no ELF file, the section is missing, holds no file bytes or is
// larger than MaxSize. 32- and 64-bit files of either byte order are understood.
bool ReadElfSection(const TReadAt& ReadAt, uint64_t FileSize, const std::string& SectionName,
                    size_t MaxSize, std::string& Contents);
bool ReadElfSection(const std::string& FileName, const std::string& SectionName, size_t MaxSize,
                    std::string& Contents);
