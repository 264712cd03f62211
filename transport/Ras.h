// Run-time binding of the dial-up service library (librasapi32.so beside the program or on
// the library path). The modem dispatcher dials, hangs up and lists the phone book through
// it; the wizard creates entries. The program starts and runs without the library.
#pragma once

#include <cstdint>
#include <string>

// The service's records in their ANSI forms, laid out as the service expects them: every
// text field holds its capacity plus the closing NUL, and the size field says which form
// the caller uses.
using HRASCONN = struct RasConnection*;

constexpr int32_t RasMaxEntryName = 256;
constexpr int32_t RasMaxPhoneNumber = 128;
constexpr int32_t RasMaxCallbackNumber = 128;
constexpr int32_t RasMaxUserName = 256;
constexpr int32_t RasMaxPassword = 256;
constexpr int32_t RasMaxDomain = 15;
constexpr int32_t RasMaxIpAddress = 15;
constexpr int32_t RasMaxDeviceType = 16;
constexpr int32_t RasMaxDeviceName = 128;

struct RASENTRYNAMEA {
  uint32_t dwSize;
  char szEntryName[RasMaxEntryName + 1];
};

struct RASDIALPARAMSA {
  uint32_t dwSize;
  char szEntryName[RasMaxEntryName + 1];
  char szPhoneNumber[RasMaxPhoneNumber + 1];
  char szCallbackNumber[RasMaxCallbackNumber + 1];
  char szUserName[RasMaxUserName + 1];
  char szPassword[RasMaxPassword + 1];
  char szDomain[RasMaxDomain + 1];
  uint32_t dwSubEntry;
  uint32_t dwCallbackId;
};

struct RASPPPIPA {
  uint32_t dwSize;
  uint32_t dwError;
  char szIpAddress[RasMaxIpAddress + 1];
  char szServerIpAddress[RasMaxIpAddress + 1];
};

struct RASCONNSTATUSA {
  uint32_t dwSize;
  int32_t rasconnstate;
  uint32_t dwError;
  char szDeviceType[RasMaxDeviceType + 1];
  char szDeviceName[RasMaxDeviceName + 1];
  char szPhoneNumber[RasMaxPhoneNumber + 1];
};

static_assert(sizeof(RASENTRYNAMEA) == 264);
static_assert(sizeof(RASDIALPARAMSA) == 1060);
static_assert(sizeof(RASPPPIPA) == 40);
static_assert(sizeof(RASCONNSTATUSA) == 288);

constexpr uint32_t RasNotifierDialFunc1 = 1;
constexpr uint32_t RasProjectionPppIp = 0x8021;
constexpr uint32_t RasErrorInvalidHandle = 6;
// What every wrapper answers when the library or its entry point is missing; never a code
// of the service itself.
constexpr uint32_t RasUnavailable = 0xFFFFFFFF;
constexpr int32_t RasStateConnected = 0x2000;
constexpr int32_t RasStateDisconnected = 0x2001;

// The notifier of notifier type 1, called on a thread of the service.
using RasDialFunc1 = void (*)(HRASCONN Handle, uint32_t Message, int32_t State, uint32_t Error,
                              uint32_t ExtendedError);

// The wrappers: each calls the library's A-named entry point and returns its result, or
// returns RasUnavailable at once, touching no argument, when the library or that entry point
// is missing. Pointers are passed to the service unchecked.
uint32_t RasDial(void* DialExtensions, const char* Phonebook, RASDIALPARAMSA* Params,
                 uint32_t NotifierType, void* Notifier, HRASCONN* Connection);
uint32_t RasHangUp(HRASCONN Connection);
uint32_t RasGetConnectStatus(HRASCONN Connection, RASCONNSTATUSA* Status);
uint32_t RasEnumEntries(const char* Reserved, const char* Phonebook, RASENTRYNAMEA* Entries,
                        uint32_t* BufferSize, uint32_t* EntryCount);
uint32_t RasGetEntryDialParams(const char* Phonebook, RASDIALPARAMSA* Params,
                               int32_t* PasswordReturned);
uint32_t RasGetProjectionInfo(HRASCONN Connection, uint32_t Projection, void* Info,
                              uint32_t* InfoSize);
uint32_t RasGetErrorString(uint32_t Code, char* Buffer, uint32_t BufferSize);
// OwnerWindow is the native handle of the window the service's dialog belongs to.
uint32_t RasCreatePhonebookEntry(void* OwnerWindow, const char* Phonebook);

// The binding itself. The program loads by name once before any thread starts and frees at
// exit (both happen on their own); the calls below change the binding and must only be made
// while no other thread uses it.
#ifdef _WIN32
constexpr const char* RasLibraryName = "rasapi32.dll";
#else
constexpr const char* RasLibraryName = "librasapi32.so";
#endif
// True when a library is loaded.
bool RasLoaded();
// Frees whatever is loaded, then loads RasLibraryName where OpenServiceLibrary looks: on
// Windows the system folder only, elsewhere beside the running program, then the library
// path. False when it is not there.
bool RasLoadByName();
// Frees whatever is loaded, then loads the library at Path. False (nothing loaded) when it
// cannot be loaded.
bool RasLoadFrom(const std::string& Path);
// Frees the library; every wrapper then returns RasUnavailable. Nothing happens when none
// is loaded.
void RasUnload();
