#include "settings/uElfSection.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "support/TempConfig.h"

namespace {

struct TFakeSection {
  std::string Name;
  uint32_t Type = 1;  // PROGBITS
  std::string Bytes;
};

// Lays out a minimal ELF file: header, section contents, name table, section headers.
class TElfImage {
 public:
  TElfImage(bool Is64, bool Big) : F64(Is64), FBig(Big) {}

  std::string Build(const std::vector<TFakeSection>& Sections, bool ExtendedNumbering = false) {
    std::string names(1, '\0');
    std::vector<uint32_t> nameAt;
    for (const auto& s : Sections) {
      nameAt.push_back(uint32_t(names.size()));
      names += s.Name + '\0';
    }
    const uint32_t shstrName = uint32_t(names.size());
    names += std::string(".shstrtab") + '\0';

    std::string out(F64 ? 64 : 52, '\0');
    std::vector<uint64_t> offsets;
    for (const auto& s : Sections) {
      offsets.push_back(out.size());
      if (s.Type != 8) out += s.Bytes;
    }
    const uint64_t namesAt = out.size();
    out += names;
    const uint64_t shoff = out.size();
    const uint64_t count = Sections.size() + 2;  // null section first, name table last
    const uint64_t strIndex = count - 1;
    // The null section holds the real count and name table index when they are extended.
    Header(out, 0, 0, 0, ExtendedNumbering ? count : 0, ExtendedNumbering ? uint32_t(strIndex) : 0);
    for (size_t i = 0; i < Sections.size(); ++i)
      Header(out, nameAt[i], Sections[i].Type, offsets[i], Sections[i].Bytes.size(), 0);
    Header(out, shstrName, 3, namesAt, names.size(), 0);
    Put(out, 0, 4, 0x464C457F, false);  // magic, always in this byte order
    out[4] = char(F64 ? 2 : 1);
    out[5] = char(FBig ? 2 : 1);
    out[6] = 1;
    if (F64) {
      Put(out, 0x28, 8, shoff);
      Put(out, 0x3A, 2, 64);
      Put(out, 0x3C, 2, ExtendedNumbering ? 0 : count);
      Put(out, 0x3E, 2, ExtendedNumbering ? 0xFFFF : strIndex);
    } else {
      Put(out, 0x20, 4, shoff);
      Put(out, 0x2E, 2, 40);
      Put(out, 0x30, 2, ExtendedNumbering ? 0 : count);
      Put(out, 0x32, 2, ExtendedNumbering ? 0xFFFF : strIndex);
    }
    return out;
  }

 private:
  void Put(std::string& Out, size_t At, int Bytes, uint64_t V, bool Ordered = true) {
    for (int i = 0; i < Bytes; ++i) {
      const int shift = 8 * ((Ordered && FBig) ? Bytes - 1 - i : i);
      Out[At + size_t(i)] = char(V >> shift);
    }
  }
  void Header(std::string& Out, uint32_t Name, uint32_t Type, uint64_t Offset, uint64_t Size,
              uint32_t Link) {
    const size_t at = Out.size();
    Out.append(F64 ? 64 : 40, '\0');
    Put(Out, at, 4, Name);
    Put(Out, at + 4, 4, Type);
    Put(Out, at + (F64 ? 24 : 16), F64 ? 8 : 4, Offset);
    Put(Out, at + (F64 ? 32 : 20), F64 ? 8 : 4, Size);
    Put(Out, at + (F64 ? 40 : 24), 4, Link);
  }

  bool F64, FBig;
};

bool Find(const std::string& Image, const std::string& Name, std::string& Out,
          size_t MaxSize = 1 << 16) {
  const TReadAt readAt = [&](uint64_t Offset, void* Buffer, size_t Count) {
    if (Offset > Image.size() || Count > Image.size() - Offset) return false;
    std::memcpy(Buffer, Image.data() + Offset, Count);
    return true;
  };
  return ReadElfSection(readAt, Image.size(), Name, MaxSize, Out);
}

const std::vector<TFakeSection> kSections = {
    {".text", 1, std::string(100, '\x90')},
    {".bss", 8, std::string(4096, '\0')},
    {".tallybox_version", 1, std::string("record\0bytes", 12)},
    {".comment", 1, "GCC"},
};

}  // namespace

TEST(ElfSection, FindsTheSectionInEveryClassAndByteOrder) {
  for (const bool is64 : {false, true}) {
    for (const bool big : {false, true}) {
      for (const bool extended : {false, true}) {
        SCOPED_TRACE(testing::Message()
                     << "64-bit " << is64 << " big " << big << " extended " << extended);
        const std::string image = TElfImage(is64, big).Build(kSections, extended);
        std::string out;
        ASSERT_TRUE(Find(image, ".tallybox_version", out));
        EXPECT_EQ(out, std::string("record\0bytes", 12));
        ASSERT_TRUE(Find(image, ".comment", out));
        EXPECT_EQ(out, "GCC");
        EXPECT_FALSE(Find(image, ".tallybox", out));  // a prefix is not the name
        EXPECT_FALSE(Find(image, ".bss", out));       // no bytes in the file
      }
    }
  }
}

TEST(ElfSection, RefusesWhatIsNotAnElfFileOrIsCutShort) {
  const std::string image = TElfImage(false, false).Build(kSections);
  std::string out;
  EXPECT_FALSE(Find("", ".comment", out));
  EXPECT_FALSE(Find("#!/bin/sh\necho not an executable\n" + std::string(80, ' '), ".comment", out));
  for (size_t cut : {size_t(10), size_t(51), image.size() - 200, image.size() - 1}) {
    EXPECT_FALSE(Find(image.substr(0, cut), ".comment", out)) << cut;
    EXPECT_TRUE(out.empty());
  }
  EXPECT_FALSE(Find(image, ".tallybox_version", out, 11));  // larger than allowed
  std::string wrongClass = image;
  wrongClass[4] = 3;
  EXPECT_FALSE(Find(wrongClass, ".comment", out));
  // Section 3 (the record) made to run far past the end; the others stay readable.
  std::string pastEnd = image;
  const size_t shoff = size_t(uint8_t(image[0x20])) | size_t(uint8_t(image[0x21])) << 8;
  pastEnd[shoff + 3 * 40 + 20 + 3] = '\x7F';
  EXPECT_FALSE(Find(pastEnd, ".tallybox_version", out));
  EXPECT_TRUE(Find(pastEnd, ".comment", out));
}

// A pipe would hold an open for reading until someone writes to it; it is no executable.
TEST(ElfSection, APipeIsRefusedWithoutWaitingForAWriter) {
  TTempConfig temp;
  const std::string pipe = temp.Folder + "/program";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::string out;
  auto found = std::async(std::launch::async,
                          [&] { return ReadElfSection(pipe, ".tallybox_version", 1 << 16, out); });
  if (found.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    ADD_FAILURE() << "the read waited for a writer on the pipe";
    const int writer = ::open(pipe.c_str(), O_WRONLY);  // lets the open return
    if (writer >= 0) ::close(writer);
  }
  EXPECT_FALSE(found.get());
  EXPECT_TRUE(out.empty());
}
