// Plays the main window in dispatcher tests: wires the four notifications, records them in
// order, keeps the bytes that arrived, and delivers notifications as the GUI's loop does.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "dispatch/uTerminalDispatcher.h"
#include "rtl/Thread.h"

struct TOwner {
  std::vector<std::string> Events;
  std::string Input;
  std::function<void(TTerminalDispatcher*)> WhenOpened;

  void Wire(TTerminalDispatcher* D) {
    D->OnOpened = [this](TTerminalDispatcher* S) {
      Events.push_back("opened");
      if (WhenOpened) WhenOpened(S);
    };
    D->OnClosed = [this](TTerminalDispatcher* S) {
      Drain(S);  // the dispatcher frees itself after this returns
      Events.push_back("closed");
    };
    D->OnError = [this](TTerminalDispatcher*, const std::string& M) {
      Events.push_back("error:" + M);
    };
    D->OnStatus = [this](TTerminalDispatcher*, const std::string& T) {
      Events.push_back("status:" + T);
    };
  }
  void Drain(TTerminalDispatcher* D) {
    char buffer[1024];
    for (int32_t n; (n = D->ReadInput(buffer, sizeof buffer)) > 0;) Input.append(buffer, size_t(n));
  }
  bool Has(const std::string& Event) const {
    return std::find(Events.begin(), Events.end(), Event) != Events.end();
  }
  // Delivers notifications on this thread, as the GUI's event loop does, until Done.
  bool Until(const std::function<bool()>& Done, int TimeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    while (!Done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      CheckSynchronize(5);
    }
    return true;
  }
  bool UntilOpened() {
    return Until([this] { return Has("opened"); });
  }
  bool UntilClosed(int TimeoutMs = 10000) {
    return Until([this] { return Has("closed"); }, TimeoutMs);
  }
  // Keeps delivering for a while, so that anything wrongly sent would show.
  void For(int Ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
    while (std::chrono::steady_clock::now() < end) CheckSynchronize(5);
  }
};
