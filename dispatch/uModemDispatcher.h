// The dial-up connection worker: dials a phone-book entry through the dial-up service,
// reports the dial's progress, then runs the TCP connect-and-pump against the far end of
// the link and hangs up on the way out. The connection wizard creates it and lists entries.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "dispatch/uTerminalDispatcher.h"
#include "transport/Ras.h"

class TModemDispatcher : public TTCPDispatcher {
 public:
  // Looks Entry up in the default phone book, its letters A to Z compared without case, and
  // loads what is stored with it. Phone, User and Password replace the stored values unless
  // empty or "*"; a text longer than its field is cut to the field. An entry that is not
  // found (or no dial-up service) is reported when the thread runs. Never raises.
  TModemDispatcher(const std::string& Entry, const std::string& Phone, const std::string& User,
                   const std::string& Password);
  ~TModemDispatcher() override;

  // Stops a dial in progress at once and silences later errors; the hang-up still runs.
  void Abort() override;

  // Replaces Strings with the default phone book's entry names in the service's order; an
  // empty list when the service is missing, fails or holds more than MaxEntries entries.
  static void ListEntries(std::vector<std::string>& Strings);
  // The service's message for Code; "" for 0. A code the service has no message for gives
  // "Dial-up error <code>", and RasUnavailable "The dial-up service is not available".
  static std::string RasErrorText(uint32_t Code);
  // The notifier handed to the service: forwards to the dispatcher now dialling, if any.
  static void DialCallback(HRASCONN Handle, uint32_t Message, int32_t State, uint32_t Error,
                           uint32_t ExtendedError);
  // One dial state from the service's thread: its text as status, an error code as error.
  void DialEvent(HRASCONN Handle, uint32_t Message, int32_t State, uint32_t Error,
                 uint32_t ExtendedError);

  static constexpr int32_t MaxEntries = 100;

 protected:
  void Execute() override;

  HRASCONN FRasConn = nullptr;
  RASDIALPARAMSA FDialParams;
  std::atomic<bool> FConnected{false};
  std::atomic<bool> FStopped{false};

 private:
  void Dial();
  void WaitForLink();
  void FindRemoteAddress();
  void HangUp();
  void WaitUntilDropped(bool HungUp);
  void ReleaseCallbacks();
  void ServiceStatus(const std::string& Text);
  void ServiceError(const std::string& Msg);
};

// The dispatcher whose dial is in progress, or none; the service's notifier carries no
// context of its own. Set from the start of dialling until the service dropped the link.
extern std::atomic<TModemDispatcher*> ActiveModemDispatcher;
