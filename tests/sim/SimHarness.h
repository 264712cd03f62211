// Test helpers that run the real tallybox-sim program and talk to it the way the utility
// does: over loopback TCP and over the pseudo-terminal it opens. Used by the simulator's
// integration tests.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

using namespace std::chrono_literals;

// Reads and writes one descriptor with deadlines; the base of both client kinds.
class TSimPeer {
 public:
  explicit TSimPeer(int Fd = -1) : FFd(Fd) {}
  ~TSimPeer();
  TSimPeer(const TSimPeer&) = delete;
  TSimPeer& operator=(const TSimPeer&) = delete;

  bool IsOpen() const { return FFd >= 0; }
  void Send(const std::string& Bytes);
  // Sends Bytes as far as the link takes them without waiting longer than Time for room;
  // returns how many bytes went.
  std::size_t SendWhileTaken(const std::string& Bytes, std::chrono::milliseconds Time);
  // Everything received up to and including Needle (kept apart from what came after it), or
  // everything received when Needle did not come before the time-out.
  std::string ReadUntil(const std::string& Needle, std::chrono::milliseconds Timeout = 3000ms);
  // Whatever arrives within the time.
  std::string ReadFor(std::chrono::milliseconds Time);
  // Reads until the peer ends the link; false when it is still open at the time-out.
  bool WaitForEnd(std::chrono::milliseconds Timeout = 3000ms);
  // Sizes of the individual reads made by the last ReadUntil.
  const std::vector<std::size_t>& ReadSizes() const { return FReadSizes; }
  bool Ended() const { return FEnded; }
  void Close();

 protected:
  void Adopt(int Fd) { FFd = Fd; }

 private:
  bool ReadSome(std::chrono::steady_clock::time_point Deadline);
  int FFd;
  std::string FBuffer;
  bool FEnded = false;
  std::vector<std::size_t> FReadSizes;
};

class TSimTcpClient : public TSimPeer {
 public:
  // Connects to Address:6024, retrying briefly while the simulator starts.
  explicit TSimTcpClient(const std::string& Address);
};

class TSimSerialClient : public TSimPeer {
 public:
  // Opens the terminal end in raw mode, as a serial port would be set up.
  explicit TSimSerialClient(const std::string& Path);
};

// The running simulator. Its standard output is read to learn the terminal path.
class TSimProcess {
 public:
  explicit TSimProcess(const std::vector<std::string>& Args);
  ~TSimProcess();
  // The rest of the next line of its output that starts with Prefix; nothing when no such
  // line comes before the time-out.
  std::optional<std::string> WaitForLine(const std::string& Prefix,
                                         std::chrono::milliseconds Timeout = 5000ms);
  // SIGTERM, then its exit status (-1 when it had to be killed or did not exit normally).
  int Stop();
  // Sends SIGINT, as Ctrl+C would.
  void Interrupt();
  // Its exit status once it ends by itself (-1 when it is still running at the time-out).
  int WaitForExit(std::chrono::milliseconds Timeout = 3000ms);
  // Its resident memory in KiB, from /proc (0 when it cannot be read).
  long ResidentKiB() const;
  // The processor time it has used so far, from /proc.
  std::chrono::milliseconds CpuTime() const;

 private:
  pid_t FPid = -1;
  int FOut = -1;
  std::string FPending;
};

// The password the tests start the simulator with.
inline const std::string kTestPassword = "sesame";
// What every reply ends with.
std::string SimPrompt();
// A fresh temporary folder for one test.
std::string MakeTempFolder();
