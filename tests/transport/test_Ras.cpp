#include "transport/Ras.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/RunProgram.h"
#include "support/TempFolder.h"

namespace {

// Fills every byte of Record with a marker, so a test sees any byte written to it.
template <class T>
T Marked() {
  T record;
  std::memset(static_cast<void*>(&record), 0xA5, sizeof record);
  return record;
}

template <class T>
bool Untouched(const T& Record) {
  const T marked = Marked<T>();
  return std::memcmp(&marked, &Record, sizeof Record) == 0;
}

struct TOutputs {
  RASDIALPARAMSA Params = Marked<RASDIALPARAMSA>();
  RASCONNSTATUSA Status = Marked<RASCONNSTATUSA>();
  RASENTRYNAMEA Entry = Marked<RASENTRYNAMEA>();
  RASPPPIPA Projection = Marked<RASPPPIPA>();
  HRASCONN Handle = reinterpret_cast<HRASCONN>(0x5A5A);
  uint32_t Size = 0xA5A5A5A5, Count = 0xA5A5A5A5;
  int32_t Flag = 0x5A5A;
  char Text[16] = "untouched";
};

}  // namespace

TEST(Ras, RecordsHaveTheServicesAnsiLayout) {
  const std::vector<std::pair<size_t, size_t>> offsets = {
      {offsetof(RASENTRYNAMEA, szEntryName), 4},
      {offsetof(RASDIALPARAMSA, szEntryName), 4},
      {offsetof(RASDIALPARAMSA, szPhoneNumber), 261},
      {offsetof(RASDIALPARAMSA, szCallbackNumber), 390},
      {offsetof(RASDIALPARAMSA, szUserName), 519},
      {offsetof(RASDIALPARAMSA, szPassword), 776},
      {offsetof(RASDIALPARAMSA, szDomain), 1033},
      {offsetof(RASDIALPARAMSA, dwSubEntry), 1052},
      {offsetof(RASDIALPARAMSA, dwCallbackId), 1056},
      {offsetof(RASPPPIPA, szIpAddress), 8},
      {offsetof(RASPPPIPA, szServerIpAddress), 24},
      {offsetof(RASCONNSTATUSA, szDeviceType), 12},
      {offsetof(RASCONNSTATUSA, szDeviceName), 29},
      {offsetof(RASCONNSTATUSA, szPhoneNumber), 158},
  };
  for (size_t i = 0; i < offsets.size(); ++i)
    EXPECT_EQ(offsets[i].first, offsets[i].second) << "row " << i;
}

TEST(Ras, WithoutTheLibraryEveryWrapperAnswersUnavailableAndWritesNothing) {
  RasUnload();
  EXPECT_FALSE(RasLoaded());
  EXPECT_FALSE(RasLoadFrom("/nonexistent/librasapi32.so"));
  EXPECT_FALSE(RasLoaded());
  TOutputs o;
  const TOutputs before = o;
  const std::vector<uint32_t> results = {
      RasDial(nullptr, nullptr, &o.Params, RasNotifierDialFunc1, nullptr, &o.Handle),
      RasHangUp(o.Handle),
      RasGetConnectStatus(o.Handle, &o.Status),
      RasEnumEntries(nullptr, nullptr, &o.Entry, &o.Size, &o.Count),
      RasGetEntryDialParams(nullptr, &o.Params, &o.Flag),
      RasGetProjectionInfo(o.Handle, RasProjectionPppIp, &o.Projection, &o.Size),
      RasGetErrorString(676, o.Text, sizeof o.Text),
      RasCreatePhonebookEntry(nullptr, nullptr),
  };
  for (size_t i = 0; i < results.size(); ++i) EXPECT_EQ(results[i], RasUnavailable) << i;
  EXPECT_TRUE(Untouched(o.Params) && Untouched(o.Status) && Untouched(o.Entry) &&
              Untouched(o.Projection));
  EXPECT_EQ(o.Handle, before.Handle);
  EXPECT_EQ(o.Size, before.Size);
  EXPECT_EQ(o.Count, before.Count);
  EXPECT_EQ(o.Flag, before.Flag);
  EXPECT_STREQ(o.Text, before.Text);
}

// A library without one entry point: only that wrapper answers unavailable, and it leaves
// its arguments as they were.
TEST(Ras, AMissingEntryPointFailsAloneAndLeavesItsArgumentsAlone) {
  ASSERT_TRUE(RasLoadFrom(RASSIM_NO_PROJECTION));
  TOutputs o;
  EXPECT_EQ(RasGetProjectionInfo(o.Handle, RasProjectionPppIp, &o.Projection, &o.Size),
            RasUnavailable);
  EXPECT_TRUE(Untouched(o.Projection));
  EXPECT_EQ(o.Size, 0xA5A5A5A5u);
  char text[64] = {};
  EXPECT_EQ(RasGetErrorString(676, text, sizeof text), 0u);
  EXPECT_STREQ(text, "The line is busy.");

  ASSERT_TRUE(RasLoadFrom(RASSIM_NO_HANGUP));
  EXPECT_EQ(RasHangUp(o.Handle), RasUnavailable);
  EXPECT_EQ(RasGetConnectStatus(o.Handle, &o.Status), RasErrorInvalidHandle);
  RasUnload();
}

// The program finds the library beside itself or on the library path, and starts without
// it otherwise.
TEST(Ras, ProgramLoadsTheLibraryBesideItOrOnTheLibraryPath) {
  TTempFolder folder("ras-probe");
  std::ofstream(folder.Path("book.txt")) << "Depot|0100|||127.0.0.1|\n";
  const std::string book = "TALLYBOX_RASSIM_BOOK=" + folder.Path("book.txt");
  const std::filesystem::path library = RASSIM_FULL;
  std::filesystem::create_directory(folder.Path("beside"));
  const std::string beside = folder.Path("beside/ras_probe");
  std::filesystem::copy_file(RAS_PROBE_PATH, beside);
  std::filesystem::copy_file(library, folder.Path("beside/librasapi32.so"));

  EXPECT_EQ(RunProgram({RAS_PROBE_PATH}, {book}).Output, "loaded=0 listing=4294967295 entries=0\n");
  EXPECT_EQ(
      RunProgram({RAS_PROBE_PATH}, {book, "LD_LIBRARY_PATH=" + library.parent_path().string()})
          .Output,
      "loaded=1 listing=0 entries=1\n");
  EXPECT_EQ(RunProgram({beside}, {book}).Output, "loaded=1 listing=0 entries=1\n");
}
