// A device stand-in for dispatcher tests: listens on one loopback address at the device
// port, accepts one connection and exchanges raw bytes with it.
#pragma once

#include <cstdint>
#include <string>

class TLoopbackPeer {
 public:
  explicit TLoopbackPeer(const std::string& Address, int Backlog = 4);
  ~TLoopbackPeer();

  bool Accept(int TimeoutMs = 5000);
  void Send(const std::string& Bytes);
  // Reads until Count bytes arrived, the peer closed or TimeoutMs passed.
  std::string Receive(size_t Count, int TimeoutMs = 5000);
  // True once the other end has closed (reads hit end of stream within TimeoutMs).
  bool SeesClose(int TimeoutMs = 5000);
  void CloseConnection();
  // Ends the byte stream towards the other end but keeps reading (a half close).
  void EndSending();
  int ListenSocket() const { return FListen; }
  int Connection() const { return FConnection; }

 private:
  int FListen = -1;
  int FConnection = -1;
};
