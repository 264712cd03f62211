#include "rtl/FileBytes.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "rtl/Exceptions.h"
#include "support/ErrorText.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder per test, removed with everything in it.
class FileBytes : public ::testing::Test {
 protected:
  std::string Path(const std::string& Name) const { return Temp.Path(Name); }
  static std::string Slurp(const std::string& File) {
    std::ifstream in(File, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  size_t Entries() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(Folder), {}));
  }
  TTempFolder Temp{"filebytes"};
  const fs::path& Folder = Temp.Folder;
};

}  // namespace

TEST_F(FileBytes, ReadsWhatWasWrittenIncludingNulBytes) {
  const std::string bytes("a\0b\r\n\xFF", 6);
  ReplaceFileBytes(Path("f.rgp"), bytes);
  EXPECT_EQ(ReadFileBytes(Path("f.rgp")), bytes);
  EXPECT_EQ(Entries(), 1u);
  EXPECT_EQ(ExpandFileName("/a/b/../c.rgp"), "/a/c.rgp");
  EXPECT_EQ(ExpandFileName("x.rgp"), (fs::current_path() / "x.rgp").string());
}

TEST_F(FileBytes, FailuresNameTheFullPathAndTheReason) {
  const std::string none = Path("none.rgp"), folder = Folder.string();
  EXPECT_EQ(ErrorOf<EFOpenError>([&] { ReadFileBytes(none); }),
            "Cannot open file \"" + none + "\". No such file or directory");
  EXPECT_EQ(ErrorOf<EFOpenError>([&] { ReadFileBytes(folder); }),
            "Cannot open file \"" + folder + "\". Is a directory");
  EXPECT_EQ(ErrorOf<EFCreateError>([&] { ReplaceFileBytes(Path("no/f.rgp"), "x"); }),
            "Cannot create file \"" + Path("no/f.rgp") + "\". No such file or directory");
}

// A file the user names for reading is a regular file of a sane size: a FIFO nobody writes to,
// a link to a device that never ends and a file over the cap are refused at once, by name.
TEST_F(FileBytes, UserFilesAreRegularFilesWithinTheirCap) {
  const std::string fifo = Path("fifo.rgp"), zero = Path("zero.rgp"), big = Path("big.rgp");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", zero);
  ReplaceFileBytes(big, std::string(1025, 'x'));
  ReplaceFileBytes(Path("fits.rgp"), std::string(1024, 'y'));
  const struct {
    std::string File, Error;
  } refused[] = {
      {fifo, "Cannot open file \"" + fifo + "\". It is not a regular file"},
      {zero, "Cannot open file \"" + zero + "\". It is not a regular file"},
      {Folder.string(), "Cannot open file \"" + Folder.string() + "\". Is a directory"},
      {big, "Cannot open file \"" + big + "\". It is larger than 1 KiB"},
  };
  for (const auto& r : refused)
    EXPECT_EQ(ErrorOf<EFOpenError>([&] { ReadUserFile(r.File, 1024); }), r.Error);
  EXPECT_EQ(ReadUserFile(Path("fits.rgp"), 1024), std::string(1024, 'y'));
  EXPECT_EQ(ReadUserFile(big).size(), 1025u);  // the usual cap is 16 MiB
}

TEST_F(FileBytes, ReplacingADirectoryFailsAndLeavesNoTemporaryFile) {
  fs::create_directory(Path("sub"));
  EXPECT_EQ(ErrorOf<EFCreateError>([&] { ReplaceFileBytes(Path("sub"), "x"); }),
            "Cannot create file \"" + Path("sub") + "\". Is a directory");
  EXPECT_TRUE(fs::is_directory(Path("sub")));
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(FileBytes, WriteFailingPartWayKeepsTheOldFileWhole) {
  ReplaceFileBytes(Path("f.rgp"), "old content\r\n");
  // A file size limit makes the write fail part-way, as a full disk would.
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string error =
      ErrorOf<EWriteError>([&] { ReplaceFileBytes(Path("f.rgp"), std::string(5000, 'x')); });
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(error, "Stream write error");
  EXPECT_EQ(Slurp(Path("f.rgp")), "old content\r\n");
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(FileBytes, KeepsPermissionBitsAndReplacesALinkNeverItsTarget) {
  ReplaceFileBytes(Path("real.rgp"), "one");
  ASSERT_EQ(::chmod(Path("real.rgp").c_str(), 0640), 0);
  ReplaceFileBytes(Path("real.rgp"), "two");
  struct stat st {};
  ASSERT_EQ(::stat(Path("real.rgp").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  fs::create_symlink(Path("real.rgp"), Path("link.rgp"));
  ReplaceFileBytes(Path("link.rgp"), "three");
  EXPECT_FALSE(fs::is_symlink(Path("link.rgp")));
  EXPECT_EQ(Slurp(Path("link.rgp")), "three");
  EXPECT_EQ(Slurp(Path("real.rgp")), "two");
  EXPECT_EQ(Entries(), 2u);
  if (::geteuid() == 0) return;  // root may write any file
  ASSERT_EQ(::chmod(Path("real.rgp").c_str(), 0444), 0);
  EXPECT_EQ(ErrorOf<EFCreateError>([&] { ReplaceFileBytes(Path("real.rgp"), "new"); }),
            "Cannot create file \"" + Path("real.rgp") + "\". Permission denied");
  EXPECT_EQ(Slurp(Path("real.rgp")), "two");
}
