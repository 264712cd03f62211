// The simulator's single-threaded poll loop: accepts TCP connections, watches the serial
// debug terminal for a client, moves bytes between the descriptors and their sessions, runs
// the sessions' timers, spreads register-change events to every session, and writes the log.
#pragma once

#include "sim/uSimDevice.h"
#include "sim/uSimOptions.h"
#include "sim/uSimPty.h"
#include "sim/uSimSession.h"
#include "sim/uSimTcp.h"

#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class TSimLoop {
 public:
  TSimLoop(const TSimOptions& Options, TSimDevice& Device, std::ostream& Out);
  ~TSimLoop();
  TSimLoop(const TSimLoop&) = delete;
  TSimLoop& operator=(const TSimLoop&) = delete;

  // Opens the log and the routes and reports them on Out. False with the reason in Error.
  bool Open(std::string& Error);
  // Serves until StopFd becomes readable (the signal handlers write to it).
  void Run(int StopFd);

  // The simulator's clock: steady milliseconds.
  static uint64_t NowMs();

 private:
  struct TLink {
    int Fd = -1;
    std::unique_ptr<TSimSession> Session;
    bool Gone = false;  // to be closed and removed
  };

  std::unique_ptr<TSimSession> NewSession(TSimRoute Route, uint64_t NowMs);
  void LogLine(const std::string& Line);
  bool Flush(TLink& Link, uint64_t NowMs);    // false: the line is to be dropped
  bool Receive(TLink& Link, uint64_t NowMs);  // false: the peer has gone
  void SpreadEvents(uint64_t NowMs);
  void AcceptAll(uint64_t NowMs);
  void ServeSerial(short Events, uint64_t NowMs);
  void StartSerial(uint64_t NowMs);
  // Reads what the departing client wrote before it closed: those lines are still its own.
  // Once the next client has opened the terminal the kernel no longer tells whose bytes
  // wait there; they are left to the new session, since a client's last line was read when
  // it was written unless the loop was kept from running until after the next open.
  void DrainSerial(uint64_t NowMs);
  void EndSerial();
  void DropSerial();
  void ReportSerial();
  void GreetSerial();
  int PollTimeout(uint64_t NowMs) const;
  static pollfd PollEntry(const TLink& Link, uint64_t NowMs);
  // Runs the timers, sends what is due and drops the lines that must go.
  void Advance(uint64_t NowMs);
  std::vector<pollfd> PollSet(int StopFd, uint64_t NowMs) const;
  // Serves what poll() reported.
  void Dispatch(const std::vector<pollfd>& Fds, uint64_t NowMs);
  void RemoveGoneClients();

  const TSimOptions& FOptions;
  TSimDevice& FDevice;
  std::ostream& FOut;
  std::FILE* FLog = nullptr;
  int FListener = -1;
  std::vector<TLink> FClients;
  std::unique_ptr<TSimPty> FPty;
  TLink FSerial;  // Fd mirrors the terminal's controlling end while a client is present
  // With every descriptor in use the listener stays readable but nothing can be accepted:
  // it is left alone until then rather than polled in a tight loop.
  uint64_t FAcceptPausedUntil = 0;
  uint32_t FSessions = 0;  // connections served so far
};
