// The real ser2net for a test, in front of a serial device (the simulator's pseudo-terminal):
// its own YAML configuration in a temporary folder, three accepters on the test's loopback
// address (raw TCP, telnet with RFC 2217, plain telnet), no system service. Stopped with
// the object.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

class TSer2net {
 public:
  TSer2net(const std::string& Address, const std::string& Device);
  ~TSer2net();
  TSer2net(const TSer2net&) = delete;
  TSer2net& operator=(const TSer2net&) = delete;

  // True once all three ports take connections (false when ser2net could not start).
  bool Ready() const { return FReady; }
  std::string RawUrl() const { return Url("tcp", FRawPort); }
  std::string Rfc2217Url() const { return Url("rfc2217", FRfc2217Port); }
  // A telnet port without the COM-PORT-OPTION, named as if it had it.
  std::string PlainTelnetUrl() const { return Url("rfc2217", FTelnetPort); }
  // SIGTERM (SIGKILL when it does not go); the ports then refuse.
  void Stop();
  // Starts it again on the same ports; true once they take connections.
  bool Start();
  // Where ser2net's own messages went.
  std::string Log() const;

 private:
  std::string Url(const char* Scheme, uint16_t Port) const;
  bool WaitForPorts() const;

  std::string FAddress, FFolder;
  uint16_t FRawPort = 0, FRfc2217Port = 0, FTelnetPort = 0;
  pid_t FPid = -1;
  bool FReady = false;
};
