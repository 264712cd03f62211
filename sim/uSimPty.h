// The serial debug port of tallybox-sim: a pseudo-terminal whose terminal end a client opens
// as its serial port, optionally reached through a symbolic link. The simulator's poll loop
// uses the controlling end, and learns from a watch on the terminal end when a client comes
// and goes, a client that closes and another that opens at once included.
#pragma once

#include <string>

// What happened at the terminal end since it was last asked.
struct TSimPtyTurns {
  unsigned Arrivals = 0;  // opens while nobody held it open: each is a new client
  bool Departed = false;  // some client's last descriptor on it was closed
  bool Present = false;   // a client holds it open now
};

class TSimPty {
 public:
  TSimPty() = default;
  ~TSimPty();
  TSimPty(const TSimPty&) = delete;
  TSimPty& operator=(const TSimPty&) = delete;

  // Opens a new terminal in raw mode (closing any earlier one) and points the link at it.
  bool Open(const std::string& Link, std::string& Error);
  void Close();

  int Fd() const { return FMaster; }
  // Readable when a client has opened or closed the terminal end: poll it, then TakeTurns.
  int WatchFd() const { return FWatch; }
  const std::string& Path() const { return FPath; }
  TSimPtyTurns TakeTurns();
  // Throws away what was written to the terminal and not read by the client that left.
  void FlushOutput() const;

 private:
  int FMaster = -1;
  int FWatch = -1;
  unsigned FOpens = 0;  // the client's descriptors open on the terminal end
  std::string FPath;
  std::string FLink;
};
