#include "dispatch/uModemDispatcher.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <thread>

#include "dispatch/RasManager.h"
#include "transport/uTcpClient.h"

std::atomic<TModemDispatcher*> ActiveModemDispatcher{nullptr};

namespace {

const std::string PlaceholderHost = "0.0.0.0";
constexpr uint32_t ErrorTextBufferSize = 255;

// Guards the hand-over of ActiveModemDispatcher: a notifier already running on the service's
// thread must finish before its dispatcher may free itself.
std::mutex callbackLock;
std::condition_variable callbackFinished;
int32_t callbacksRunning = 0;

// A text field of a record filled by the service, read no further than the field.
template <size_t N>
std::string FieldText(const char (&Field)[N]) {
  return std::string(Field, strnlen(Field, N));
}

// An over-long text is cut to what the field holds; the field always ends in a NUL.
template <size_t N>
void SetField(char (&Field)[N], const std::string& Text) {
  const size_t n = std::min(Text.size(), N - 1);
  std::memcpy(Field, Text.data(), n);
  std::memset(Field + n, 0, N - n);
}

bool KeepsStoredValue(const std::string& Text) {
  return Text.empty() || Text == "*";
}

bool SameLettersIgnoringCase(const std::string& A, const std::string& B) {
  auto fold = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(),
                                            [&](char x, char y) { return fold(x) == fold(y); });
}

// The default phone book's entry names; false when the service cannot list them all.
bool ListPhonebook(std::vector<std::string>& Names) {
  std::vector<RASENTRYNAMEA> entries(TModemDispatcher::MaxEntries);
  entries[0].dwSize = sizeof(RASENTRYNAMEA);
  uint32_t size = sizeof(RASENTRYNAMEA) * entries.size();
  uint32_t count = 0;
  if (RasEnumEntries(nullptr, nullptr, entries.data(), &size, &count) != 0) return false;
  count = std::min<uint32_t>(count, entries.size());
  for (uint32_t i = 0; i < count; ++i) Names.push_back(FieldText(entries[i].szEntryName));
  return true;
}

// Runs every step even when an earlier one failed, because the link must still be hung up
// and the owner must still hear closed; the first failure is raised once all have run.
void RunAll(std::initializer_list<std::function<void()>> Steps) {
  std::exception_ptr failure;
  for (const auto& step : Steps) {
    try {
      step();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace

TModemDispatcher::TModemDispatcher(const std::string& Entry, const std::string& Phone,
                                   const std::string& User, const std::string& Password)
    : TTCPDispatcher(PlaceholderHost) {
  std::memset(&FDialParams, 0, sizeof FDialParams);
  std::vector<std::string> names;
  if (!ListPhonebook(names)) return;
  // The entry spelt exactly as asked wins over one that differs only in case.
  const std::string* chosen = nullptr;
  for (const std::string& name : names) {
    if (name == Entry) {
      chosen = &name;
      break;
    }
    if (!chosen && SameLettersIgnoringCase(name, Entry)) chosen = &name;
  }
  if (!chosen) return;
  FDialParams.dwSize = sizeof FDialParams;
  SetField(FDialParams.szEntryName, *chosen);
  int32_t passwordReturned = -1;
  RasGetEntryDialParams(nullptr, &FDialParams, &passwordReturned);
  if (!KeepsStoredValue(Phone)) SetField(FDialParams.szPhoneNumber, Phone);
  if (!KeepsStoredValue(User)) SetField(FDialParams.szUserName, User);
  if (!KeepsStoredValue(Password)) SetField(FDialParams.szPassword, Password);
}

TModemDispatcher::~TModemDispatcher() = default;

void TModemDispatcher::Abort() {
  TTCPDispatcher::Abort();
  FStopped = true;
}

void TModemDispatcher::ListEntries(std::vector<std::string>& Strings) {
  Strings.clear();
  std::vector<std::string> names;
  if (ListPhonebook(names)) Strings = std::move(names);
}

std::string TModemDispatcher::RasErrorText(uint32_t Code) {
  if (Code == 0) return "";
  if (Code == RasUnavailable) return "The dial-up service is not available";
  char buffer[ErrorTextBufferSize] = {};
  if (RasGetErrorString(Code, buffer, sizeof buffer) == 0) {
    buffer[sizeof buffer - 1] = '\0';
    if (buffer[0] != '\0') return buffer;
  }
  return "Dial-up error " + std::to_string(Code);
}

void TModemDispatcher::DialCallback(HRASCONN Handle, uint32_t Message, int32_t State,
                                    uint32_t Error, uint32_t ExtendedError) {
  std::unique_lock<std::mutex> guard(callbackLock);
  TModemDispatcher* dispatcher = ActiveModemDispatcher.load();
  if (!dispatcher) return;
  ++callbacksRunning;
  guard.unlock();
  try {
    dispatcher->DialEvent(Handle, Message, State, Error, ExtendedError);
  } catch (...) {
    // A failing handler must not unwind through the service's own thread.
  }
  guard.lock();
  --callbacksRunning;
  callbackFinished.notify_all();
}

void TModemDispatcher::DialEvent(HRASCONN, uint32_t, int32_t State, uint32_t Error, uint32_t) {
  ServiceStatus(RasStateText(State));
  // The error is delivered before the worker may see the stop, so the owner hears it ahead
  // of the worker's own "Closing".
  if (Error != 0) {
    ServiceError(RasErrorText(Error));
    FStopped = true;
  }
  if (State == RasStateConnected) FConnected = true;
  if (State == RasStateDisconnected) FStopped = true;
}

void TModemDispatcher::Execute() {
  FErrorText.clear();
  if (FDialParams.dwSize == 0) {
    ReportError("Could not locate connection");
    NotifyClosed();
    Terminate();
    return;
  }
  RunAll({[this] { Dial(); }, [this] { HangUp(); }, [this] { NotifyClosed(); }});
}

void TModemDispatcher::Dial() {
  ReportStatus("Dialling " + FieldText(FDialParams.szPhoneNumber));
  {
    std::lock_guard<std::mutex> guard(callbackLock);
    ActiveModemDispatcher = this;
  }
  FConnected = false;
  FStopped = false;
  const uint32_t code = RasDial(nullptr, nullptr, &FDialParams, RasNotifierDialFunc1,
                                reinterpret_cast<void*>(&DialCallback), &FRasConn);
  if (code != 0) {
    ReportError("Error dialling RAS: " + RasErrorText(code));
    return;
  }
  RunAll({[this] { WaitForLink(); },
          [this] {
            if (FConnected) FindRemoteAddress();
            // A plain Terminate while dialling leaves no address to connect to.
            if (FConnected && !FStopped && !Terminated()) ConnectAndPump();
          },
          [this] { ReportStatus("Closing"); }, [this] { FClient->Disconnect(); }});
}

void TModemDispatcher::WaitForLink() {
  while (!Terminated()) {
    if (FConnected) {
      ReportStatus("Connected");
      return;
    }
    if (FStopped) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void TModemDispatcher::FindRemoteAddress() {
  RASPPPIPA projection{};
  projection.dwSize = sizeof projection;
  uint32_t size = sizeof projection;
  if (RasGetProjectionInfo(FRasConn, RasProjectionPppIp, &projection, &size) == 0) {
    SetHost(FieldText(projection.szServerIpAddress));
  } else {
    ReportError("Could not find remote IP address");
    FStopped = true;
  }
}

void TModemDispatcher::HangUp() {
  RunAll({[this] { ReportStatus("Hanging up"); },
          [this] {
            const bool hungUp = !FRasConn || RasHangUp(FRasConn) != RasUnavailable;
            WaitUntilDropped(hungUp);
            FRasConn = nullptr;
            ReleaseCallbacks();
          }});
}

// The wait has no time limit: the link is gone only when the service says the handle is
// invalid. A service without a hang-up or status entry point could never say so.
void TModemDispatcher::WaitUntilDropped(bool HungUp) {
  if (!HungUp) return;
  for (;;) {
    RASCONNSTATUSA status{};
    status.dwSize = sizeof status;
    const uint32_t result = RasGetConnectStatus(FRasConn, &status);
    if (result == RasErrorInvalidHandle || result == RasUnavailable) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void TModemDispatcher::ReleaseCallbacks() {
  std::unique_lock<std::mutex> guard(callbackLock);
  if (ActiveModemDispatcher == this) ActiveModemDispatcher = nullptr;
  callbackFinished.wait(guard, [] { return callbacksRunning == 0; });
}

// The service's thread sends its own texts, never through FStatusText or FErrorText, which
// the worker may be filling at the same moment.
void TModemDispatcher::ServiceStatus(const std::string& Text) {
  Lock();
  const bool set = static_cast<bool>(OnStatus);
  Unlock();
  if (set)
    Synchronize([this, &Text] {
      if (auto handler = OnStatus) handler(this, Text);
    });
}

void TModemDispatcher::ServiceError(const std::string& Msg) {
  if (Closing()) return;
  Lock();
  const bool set = static_cast<bool>(OnError);
  Unlock();
  if (set)
    Synchronize([this, &Msg] {
      if (auto handler = OnError; handler && !Closing()) handler(this, Msg);
    });
}
