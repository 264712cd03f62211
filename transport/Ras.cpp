#include "transport/Ras.h"

#include <string>

#include "transport/uSharedLibrary.h"

namespace {

using TDialA = uint32_t (*)(void*, const char*, RASDIALPARAMSA*, uint32_t, void*, HRASCONN*);
using THangUpA = uint32_t (*)(HRASCONN);
using TGetConnectStatusA = uint32_t (*)(HRASCONN, RASCONNSTATUSA*);
using TEnumEntriesA = uint32_t (*)(const char*, const char*, RASENTRYNAMEA*, uint32_t*, uint32_t*);
using TGetEntryDialParamsA = uint32_t (*)(const char*, RASDIALPARAMSA*, int32_t*);
using TGetProjectionInfoA = uint32_t (*)(HRASCONN, uint32_t, void*, uint32_t*);
using TGetErrorStringA = uint32_t (*)(uint32_t, char*, uint32_t);
using TCreatePhonebookEntryA = uint32_t (*)(void*, const char*);

// Constant-initialised, so a wrapper called before start-up simply finds nothing.
struct TBinding {
  void* Library = nullptr;
  TDialA Dial = nullptr;
  THangUpA HangUp = nullptr;
  TGetConnectStatusA GetConnectStatus = nullptr;
  TEnumEntriesA EnumEntries = nullptr;
  TGetEntryDialParamsA GetEntryDialParams = nullptr;
  TGetProjectionInfoA GetProjectionInfo = nullptr;
  TGetErrorStringA GetErrorString = nullptr;
  TCreatePhonebookEntryA CreatePhonebookEntry = nullptr;
};
constinit TBinding binding;

template <class TEntry>
void Bind(TEntry& Entry, const char* Name) {
  Entry = reinterpret_cast<TEntry>(SharedLibrarySymbol(binding.Library, Name));
}

bool Adopt(void* Library) {
  if (!Library) return false;
  binding.Library = Library;
  Bind(binding.Dial, "RasDialA");
  Bind(binding.HangUp, "RasHangUpA");
  Bind(binding.GetConnectStatus, "RasGetConnectStatusA");
  Bind(binding.EnumEntries, "RasEnumEntriesA");
  Bind(binding.GetEntryDialParams, "RasGetEntryDialParamsA");
  Bind(binding.GetProjectionInfo, "RasGetProjectionInfoA");
  Bind(binding.GetErrorString, "RasGetErrorStringA");
  Bind(binding.CreatePhonebookEntry, "RasCreatePhonebookEntryA");
  return true;
}

// Loads by name at start-up and frees at exit, as the program expects of the binding.
struct TStartUp {
  TStartUp() { RasLoadByName(); }
  ~TStartUp() { RasUnload(); }
} startUp;

}  // namespace

bool RasLoaded() {
  return binding.Library != nullptr;
}

bool RasLoadByName() {
  RasUnload();
  return Adopt(OpenServiceLibrary(RasLibraryName));
}

bool RasLoadFrom(const std::string& Path) {
  RasUnload();
  return Adopt(OpenSharedLibrary(Path));
}

void RasUnload() {
  if (binding.Library) CloseSharedLibrary(binding.Library);
  binding = TBinding{};
}

uint32_t RasDial(void* DialExtensions, const char* Phonebook, RASDIALPARAMSA* Params,
                 uint32_t NotifierType, void* Notifier, HRASCONN* Connection) {
  if (!binding.Dial) return RasUnavailable;
  return binding.Dial(DialExtensions, Phonebook, Params, NotifierType, Notifier, Connection);
}

uint32_t RasHangUp(HRASCONN Connection) {
  if (!binding.HangUp) return RasUnavailable;
  return binding.HangUp(Connection);
}

uint32_t RasGetConnectStatus(HRASCONN Connection, RASCONNSTATUSA* Status) {
  if (!binding.GetConnectStatus) return RasUnavailable;
  return binding.GetConnectStatus(Connection, Status);
}

uint32_t RasEnumEntries(const char* Reserved, const char* Phonebook, RASENTRYNAMEA* Entries,
                        uint32_t* BufferSize, uint32_t* EntryCount) {
  if (!binding.EnumEntries) return RasUnavailable;
  return binding.EnumEntries(Reserved, Phonebook, Entries, BufferSize, EntryCount);
}

uint32_t RasGetEntryDialParams(const char* Phonebook, RASDIALPARAMSA* Params,
                               int32_t* PasswordReturned) {
  if (!binding.GetEntryDialParams) return RasUnavailable;
  return binding.GetEntryDialParams(Phonebook, Params, PasswordReturned);
}

uint32_t RasGetProjectionInfo(HRASCONN Connection, uint32_t Projection, void* Info,
                              uint32_t* InfoSize) {
  if (!binding.GetProjectionInfo) return RasUnavailable;
  return binding.GetProjectionInfo(Connection, Projection, Info, InfoSize);
}

uint32_t RasGetErrorString(uint32_t Code, char* Buffer, uint32_t BufferSize) {
  if (!binding.GetErrorString) return RasUnavailable;
  return binding.GetErrorString(Code, Buffer, BufferSize);
}

uint32_t RasCreatePhonebookEntry(void* OwnerWindow, const char* Phonebook) {
  if (!binding.CreatePhonebookEntry) return RasUnavailable;
  return binding.CreatePhonebookEntry(OwnerWindow, Phonebook);
}
