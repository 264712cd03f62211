// The simulated dial-up service: the eight A-named functions of the service library over
// the phone book of RasSimBook.h. A dial runs its entry's script on a thread of its own and
// reports each state to the caller's notifier; the link "connects" to the entry's server
// address, where the tests run the simulated device.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "RasSimBook.h"
#include "transport/Ras.h"

#ifdef _WIN32
#define RASSIM_EXPORT extern "C" __declspec(dllexport)
#else
#define RASSIM_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t ErrorInvalidParameter = 87;
constexpr uint32_t ErrorBufferTooSmall = 603;
constexpr uint32_t ErrorCannotOpenPhonebook = 621;
constexpr uint32_t ErrorCannotFindEntry = 623;
constexpr uint32_t ErrorInvalidSize = 632;
constexpr uint32_t ErrorProjectionNotComplete = 730;
constexpr uint32_t ErrorProtocolNotConfigured = 731;
constexpr uint32_t DialEventMessage = 0xCCCD;
constexpr auto StepGap = std::chrono::milliseconds(2);
constexpr uint32_t DefaultHangUpDelayMs = 40;

const std::map<uint32_t, std::string> messages = {
    {RasErrorInvalidHandle, "The connection handle is not valid."},
    {ErrorCannotFindEntry, "The phone-book entry does not exist."},
    {629, "The line was dropped by the far end."},
    {676, "The line is busy."},
    {678, "The far end does not answer."},
    {691, "Access denied: the user name or password was not accepted."},
    {ErrorProtocolNotConfigured, "No network protocol was set up on the link."},
};

struct TConnection {
  TSimEntry Entry;
  std::vector<TSimStep> Steps;
  uint32_t HangUpDelayMs = DefaultHangUpDelayMs;
  std::thread Thread;
  // Guarded by the service's lock.
  int32_t State = 0;
  uint32_t Error = 0;
  bool Connected = false;
  bool HangUpAsked = false;
  bool Finished = false;  // the dial thread makes no more notifier calls
  Clock::time_point HangUpTime;
};

struct TService {
  std::mutex Lock;
  std::condition_variable Changed;
  std::map<uintptr_t, std::shared_ptr<TConnection>> Connections;
  uintptr_t NextHandle = 0x100;
  bool ShuttingDown = false;

  // Ends every dial when the library is unloaded, so no thread runs code that is gone.
  ~TService() {
    std::vector<std::shared_ptr<TConnection>> all;
    {
      std::lock_guard<std::mutex> guard(Lock);
      ShuttingDown = true;
      for (auto& [handle, connection] : Connections) all.push_back(connection);
      Connections.clear();
    }
    Changed.notify_all();
    for (auto& connection : all)
      if (connection->Thread.joinable()) connection->Thread.join();
  }
} service;

std::shared_ptr<TConnection> Find(HRASCONN Handle) {
  auto found = service.Connections.find(reinterpret_cast<uintptr_t>(Handle));
  return found == service.Connections.end() ? nullptr : found->second;
}

template <size_t N>
void CopyText(char (&Field)[N], const std::string& Text) {
  std::memset(Field, 0, N);
  std::memcpy(Field, Text.data(), std::min(Text.size(), N - 1));
}

// Waits Ms; true when the dial was hung up meanwhile and must end.
bool Pause(std::unique_lock<std::mutex>& Guard, TConnection& C, uint32_t Ms) {
  auto over = [&C] { return C.HangUpAsked || service.ShuttingDown; };
  return service.Changed.wait_for(Guard, std::chrono::milliseconds(Ms), over);
}

void RunDial(std::shared_ptr<TConnection> C, HRASCONN Handle, RasDialFunc1 Notify) {
  std::unique_lock<std::mutex> guard(service.Lock);
  bool ended = false;
  for (const TSimStep& step : C->Steps) {
    if (ended) break;
    switch (step.Kind) {
      case TSimStep::TKind::Sleep:
        if (step.Ms > 0) ended = Pause(guard, *C, step.Ms);
        break;
      case TSimStep::TKind::Hold:
        ended = true;
        break;
      case TSimStep::TKind::State:
        if ((ended = Pause(guard, *C, uint32_t(StepGap.count())))) break;
        C->State = step.State;
        C->Error = step.Error;
        C->Connected = step.State == RasStateConnected;
        // The notifier may block for long (it waits for the caller's window); the service's
        // lock is not held meanwhile, so hang-up and status calls still answer.
        guard.unlock();
        Notify(Handle, DialEventMessage, step.State, step.Error, 0);
        guard.lock();
        ended = step.Error != 0 || step.State == RasStateDisconnected;
        if (ended) C->Connected = false;
        break;
      default:
        break;
    }
  }
  C->Finished = true;
  service.Changed.notify_all();
}

uint32_t HangUpDelay(const std::vector<TSimStep>& Steps) {
  for (const TSimStep& step : Steps)
    if (step.Kind == TSimStep::TKind::HangUpDelay) return step.Ms;
  return DefaultHangUpDelayMs;
}

}  // namespace

RASSIM_EXPORT uint32_t RasDialA(void*, const char*, RASDIALPARAMSA* Params, uint32_t NotifierType,
                                void* Notifier, HRASCONN* Connection) {
  if (!Params || !Connection || !Notifier || NotifierType != RasNotifierDialFunc1)
    return ErrorInvalidParameter;
  if (Params->dwSize != sizeof(RASDIALPARAMSA)) return ErrorInvalidSize;
  auto c = std::make_shared<TConnection>();
  if (!SimFindEntry(std::string(Params->szEntryName, strnlen(Params->szEntryName, 257)), c->Entry))
    return ErrorCannotFindEntry;
  SimLog("dial " + c->Entry.Name + "|" + Params->szPhoneNumber + "|" + Params->szUserName + "|" +
         Params->szPassword);
  c->Steps = SimParseScript(c->Entry.Script);
  c->HangUpDelayMs = HangUpDelay(c->Steps);
  std::lock_guard<std::mutex> guard(service.Lock);
  const uintptr_t handle = service.NextHandle++;
  service.Connections[handle] = c;
  *Connection = reinterpret_cast<HRASCONN>(handle);
  // A refused dial still leaves a handle that must be hung up.
  if (!c->Steps.empty() && c->Steps[0].Kind == TSimStep::TKind::Refuse) {
    c->Finished = true;
    return c->Steps[0].Error;
  }
  c->Thread = std::thread(RunDial, c, *Connection, reinterpret_cast<RasDialFunc1>(Notifier));
  return 0;
}

#ifndef RASSIM_WITHOUT_HANGUP
RASSIM_EXPORT uint32_t RasHangUpA(HRASCONN Connection) {
  std::string name;
  {
    std::lock_guard<std::mutex> guard(service.Lock);
    auto c = Find(Connection);
    if (!c) return RasErrorInvalidHandle;
    if (!c->HangUpAsked) c->HangUpTime = Clock::now();
    c->HangUpAsked = true;
    name = c->Entry.Name;
  }
  service.Changed.notify_all();
  SimLog("hangup " + name);
  return 0;
}
#endif

// The handle turns invalid a while after the hang-up, and never before the dial's thread
// has made its last notifier call.
RASSIM_EXPORT uint32_t RasGetConnectStatusA(HRASCONN Connection, RASCONNSTATUSA* Status) {
  if (!Status) return ErrorInvalidParameter;
  std::shared_ptr<TConnection> gone;
  {
    std::lock_guard<std::mutex> guard(service.Lock);
    auto c = Find(Connection);
    if (!c) return RasErrorInvalidHandle;
    if (c->HangUpAsked && c->Finished &&
        Clock::now() >= c->HangUpTime + std::chrono::milliseconds(c->HangUpDelayMs)) {
      service.Connections.erase(reinterpret_cast<uintptr_t>(Connection));
      gone = c;
    } else {
      if (Status->dwSize != sizeof(RASCONNSTATUSA)) return ErrorInvalidSize;
      Status->rasconnstate = c->State;
      Status->dwError = c->Error;
      CopyText(Status->szDeviceType, "modem");
      CopyText(Status->szDeviceName, "Simulated modem");
      CopyText(Status->szPhoneNumber, c->Entry.Phone);
      return 0;
    }
  }
  if (gone->Thread.joinable()) gone->Thread.join();
  SimLog("gone " + gone->Entry.Name);
  return RasErrorInvalidHandle;
}

RASSIM_EXPORT uint32_t RasEnumEntriesA(const char* Reserved, const char*, RASENTRYNAMEA* Entries,
                                       uint32_t* BufferSize, uint32_t* EntryCount) {
  if (Reserved || !BufferSize || !EntryCount) return ErrorInvalidParameter;
  if (Entries && Entries->dwSize != sizeof(RASENTRYNAMEA)) return ErrorInvalidSize;
  const std::vector<TSimEntry> book = SimReadBook();
  const uint32_t needed = uint32_t(book.size() * sizeof(RASENTRYNAMEA));
  *EntryCount = uint32_t(book.size());
  if (!Entries || *BufferSize < needed) {
    *BufferSize = needed;
    return ErrorBufferTooSmall;
  }
  for (size_t i = 0; i < book.size(); ++i) {
    Entries[i].dwSize = sizeof(RASENTRYNAMEA);
    CopyText(Entries[i].szEntryName, book[i].Name);
  }
  *BufferSize = needed;
  return 0;
}

RASSIM_EXPORT uint32_t RasGetEntryDialParamsA(const char*, RASDIALPARAMSA* Params,
                                              int32_t* PasswordReturned) {
  if (!Params || !PasswordReturned) return ErrorInvalidParameter;
  if (Params->dwSize != sizeof(RASDIALPARAMSA)) return ErrorInvalidSize;
  TSimEntry entry;
  if (!SimFindEntry(std::string(Params->szEntryName, strnlen(Params->szEntryName, 257)), entry))
    return ErrorCannotFindEntry;
  CopyText(Params->szPhoneNumber, entry.Phone);
  CopyText(Params->szUserName, entry.User);
  CopyText(Params->szPassword, entry.Password);
  *PasswordReturned = entry.Password.empty() ? 0 : 1;
  return 0;
}

#ifndef RASSIM_WITHOUT_PROJECTION
RASSIM_EXPORT uint32_t RasGetProjectionInfoA(HRASCONN Connection, uint32_t Projection, void* Info,
                                             uint32_t* InfoSize) {
  if (!Info || !InfoSize || Projection != RasProjectionPppIp) return ErrorInvalidParameter;
  std::lock_guard<std::mutex> guard(service.Lock);
  auto c = Find(Connection);
  if (!c) return RasErrorInvalidHandle;
  if (!c->Connected) return ErrorProjectionNotComplete;
  if (c->Entry.Server.empty()) return ErrorProtocolNotConfigured;
  if (*InfoSize < sizeof(RASPPPIPA)) {
    *InfoSize = sizeof(RASPPPIPA);
    return ErrorBufferTooSmall;
  }
  auto* ip = static_cast<RASPPPIPA*>(Info);
  if (ip->dwSize != sizeof(RASPPPIPA)) return ErrorInvalidSize;
  ip->dwError = 0;
  CopyText(ip->szIpAddress, "127.0.0.1");
  CopyText(ip->szServerIpAddress, c->Entry.Server);
  return 0;
}
#endif

RASSIM_EXPORT uint32_t RasGetErrorStringA(uint32_t Code, char* Buffer, uint32_t BufferSize) {
  auto found = messages.find(Code);
  if (!Buffer || found == messages.end()) return ErrorInvalidParameter;
  if (found->second.size() + 1 > BufferSize) return ErrorBufferTooSmall;
  std::memcpy(Buffer, found->second.c_str(), found->second.size() + 1);
  return 0;
}

// Adds "New connection" (numbered when taken) to the book, as the dialog would after the
// user filled it in.
RASSIM_EXPORT uint32_t RasCreatePhonebookEntryA(void*, const char*) {
  const std::vector<TSimEntry> book = SimReadBook();
  std::string name = "New connection";
  for (int n = 2; std::any_of(book.begin(), book.end(), [&](auto& e) { return e.Name == name; });
       ++n)
    name = "New connection " + std::to_string(n);
  if (!SimAppendEntry({name, "0100", "", "", "127.0.0.1", ""})) return ErrorCannotOpenPhonebook;
  SimLog("create " + name);
  return 0;
}
