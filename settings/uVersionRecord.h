// The version record the build embeds in every executable (see cmake/VersionRecord.cmake),
// and the three calls that read it back from a file: its size, its bytes, and one entry.
// TVersionReader is built on them.
//
// Layout of the section ".tallybox_version": the magic text "TallyboxVersion/1" and a zero
// byte, then pairs of zero-terminated texts, a path such as
// "\StringFileInfo\080904E4\FileVersion" and its value, ended by an empty path. Texts are
// Windows-1252.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

constexpr const char* kVersionSection = ".tallybox_version";
constexpr std::string_view kVersionMagic{"TallyboxVersion/1\0", 18};
// A real record is a few hundred bytes; anything far larger is not one of ours.
constexpr size_t kMaxVersionRecord = 64 << 10;

// Size of FileName's version record, 0 when it has none; Handle is always set to 0.
uint32_t GetFileVersionInfoSize(const std::string& FileName, uint32_t& Handle);
// Copies the record (at most Len bytes) into Data; false when there is none to copy.
bool GetFileVersionInfo(const std::string& FileName, uint32_t Handle, uint32_t Len, void* Data);
// Finds the entry under SubBlock (a path, compared without regard to ASCII case) and gives
// its text; false when the record has no such entry.
bool VerQueryValue(std::string_view Info, std::string_view SubBlock, std::string& Value);
