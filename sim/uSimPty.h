// The serial debug port of tallybox-sim: a pseudo-terminal whose terminal end a client opens
// as its serial port, optionally reached through a symbolic link. The simulator's poll loop
// uses the controlling end and asks whether a client holds the terminal end open.
#pragma once

#include <string>

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
  const std::string& Path() const { return FPath; }
  // True while some client holds the terminal end open.
  bool ClientPresent() const;
  // Throws away whatever the client has not read yet.
  void Flush() const;

 private:
  int FMaster = -1;
  std::string FPath;
  std::string FLink;
};
