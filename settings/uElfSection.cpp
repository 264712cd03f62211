#include "settings/uElfSection.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t SHT_NOBITS_TYPE = 8;
constexpr uint32_t SHN_XINDEX_VALUE = 0xFFFF;
// Section name tables are a few hundred bytes; this only stops a hostile file.
constexpr uint64_t kMaxNameTable = 1 << 20;

struct TSection {
  uint32_t Name = 0;
  uint32_t Type = 0;
  uint64_t Offset = 0;
  uint64_t Size = 0;
  uint32_t Link = 0;
};

class TElfFile {
 public:
  TElfFile(const TReadAt& ReadAt, uint64_t FileSize) : FReadAt(ReadAt), FFileSize(FileSize) {}

  bool ReadHeader() {
    unsigned char h[64] = {};
    if (FFileSize < 52 || !FReadAt(0, h, 16)) return false;
    if (std::memcmp(h,
                    "\x7F"
                    "ELF",
                    4) != 0)
      return false;
    if ((h[4] != 1 && h[4] != 2) || (h[5] != 1 && h[5] != 2)) return false;
    F64 = h[4] == 2;
    FBig = h[5] == 2;
    const size_t headerSize = F64 ? 64 : 52;
    if (FFileSize < headerSize || !FReadAt(0, h, headerSize)) return false;
    FShOff = F64 ? Get(h + 0x28, 8) : Get(h + 0x20, 4);
    FShEntSize = Get(h + (F64 ? 0x3A : 0x2E), 2);
    FShNum = Get(h + (F64 ? 0x3C : 0x30), 2);
    FShStrNdx = uint32_t(Get(h + (F64 ? 0x3E : 0x32), 2));
    if (FShOff == 0 || FShEntSize < (F64 ? 64u : 40u)) return false;
    // Files with very many sections keep the real count and name table index in section 0.
    TSection first;
    if (!ReadSection(0, first)) return false;
    if (FShNum == 0) FShNum = first.Size;
    if (FShStrNdx == SHN_XINDEX_VALUE) FShStrNdx = first.Link;
    return FShNum <= (FFileSize - FShOff) / FShEntSize;
  }

  bool Find(const std::string& Wanted, TSection& Found) {
    TSection names;
    if (FShStrNdx >= FShNum || !ReadSection(FShStrNdx, names)) return false;
    if (names.Type == SHT_NOBITS_TYPE || names.Size > kMaxNameTable || !Inside(names)) return false;
    std::string table(size_t(names.Size), '\0');
    if (!FReadAt(names.Offset, table.data(), table.size())) return false;
    for (uint64_t i = 0; i < FShNum; ++i) {
      TSection s;
      if (!ReadSection(i, s)) return false;
      if (s.Name >= table.size()) continue;
      const size_t end = table.find('\0', s.Name);
      if (end == std::string::npos) continue;
      if (table.compare(s.Name, end - s.Name, Wanted) == 0) {
        Found = s;
        return true;
      }
    }
    return false;
  }

  bool Inside(const TSection& S) const {
    return S.Offset <= FFileSize && S.Size <= FFileSize - S.Offset;
  }

 private:
  uint64_t Get(const unsigned char* P, int Bytes) const {
    uint64_t v = 0;
    for (int i = 0; i < Bytes; ++i) v |= uint64_t(P[FBig ? Bytes - 1 - i : i]) << (8 * i);
    return v;
  }

  bool ReadSection(uint64_t Index, TSection& S) const {
    unsigned char e[64];
    const uint64_t size = F64 ? 64 : 40;
    if (FShOff > FFileSize || Index > (FFileSize - FShOff) / FShEntSize) return false;
    const uint64_t at = FShOff + Index * FShEntSize;
    if (at > FFileSize || size > FFileSize - at || !FReadAt(at, e, size_t(size))) return false;
    S.Name = uint32_t(Get(e, 4));
    S.Type = uint32_t(Get(e + 4, 4));
    S.Offset = F64 ? Get(e + 24, 8) : Get(e + 16, 4);
    S.Size = F64 ? Get(e + 32, 8) : Get(e + 20, 4);
    S.Link = uint32_t(Get(e + (F64 ? 40 : 24), 4));
    return true;
  }

  const TReadAt& FReadAt;
  uint64_t FFileSize;
  bool F64 = false;
  bool FBig = false;
  uint64_t FShOff = 0;
  uint64_t FShEntSize = 0;
  uint64_t FShNum = 0;
  uint32_t FShStrNdx = 0;
};

}  // namespace

bool ReadElfSection(const TReadAt& ReadAt, uint64_t FileSize, const std::string& SectionName,
                    size_t MaxSize, std::string& Contents) {
  Contents.clear();
  TElfFile elf(ReadAt, FileSize);
  TSection s;
  if (!elf.ReadHeader() || !elf.Find(SectionName, s)) return false;
  if (s.Type == SHT_NOBITS_TYPE || s.Size > MaxSize || !elf.Inside(s)) return false;
  std::string bytes(size_t(s.Size), '\0');
  if (!ReadAt(s.Offset, bytes.data(), bytes.size())) return false;
  Contents = std::move(bytes);
  return true;
}

bool ReadElfSection(const std::string& FileName, const std::string& SectionName, size_t MaxSize,
                    std::string& Contents) {
  Contents.clear();
  // Without O_NONBLOCK a pipe given as the file would hold the open indefinitely.
  const int fd = ::open(FileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool found = false;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    const TReadAt readAt = [fd](uint64_t Offset, void* Buffer, size_t Count) {
      auto* out = static_cast<char*>(Buffer);
      while (Count > 0) {
        const ssize_t n = ::pread(fd, out, Count, off_t(Offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        out += n;
        Offset += uint64_t(n);
        Count -= size_t(n);
      }
      return true;
    };
    found = ReadElfSection(readAt, uint64_t(st.st_size), SectionName, MaxSize, Contents);
  }
  ::close(fd);
  return found;
}
