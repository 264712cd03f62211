// What the dialogue learns of a serial debug port as it goes: the words it says as it opens
// (a banner and prompt from before, or the end of a session before this one), and whether it
// echoes each line it receives. The dialogue asks it where a reply may begin.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class TSFSegment;

class TDebugPort {
 public:
  // What comes first is shown once it ends in a whole prompt or the port has been quiet this
  // long (ms), and the first request goes out only then.
  static constexpr uint32_t OpeningQuiet = 100;
  static constexpr uint32_t OpeningLimit = 1000;  // however much keeps coming
  // Until the port has shown whether it echoes, a prompt with no echo of the request before
  // it ends the reply only when no echo has followed for this long (ms).
  static constexpr uint32_t EchoGrace = 50;

  explicit TDebugPort(std::function<uint32_t()> Now) : FNow(std::move(Now)) {}

  // A new connection: nothing is known of the port; Serial says whether it is one at all.
  void Reset(bool Serial);
  bool Serial() const { return FSerial; }
  // The port opened: its opening words are awaited.
  void Opened();
  bool Opening() const { return FOpening; }
  void Arrived();  // bytes came from the port
  // Whether the opening words are all in: Terminal ends in a whole prompt with only what a
  // console sends after one, or the port has been quiet a while, or the limit passed.
  bool OpeningDone(TSFSegment& Terminal) const;
  void EndOpening() { FOpening = false; }

  // A request went out: whether its reply may begin at once (TCP, a port known not to echo)
  // or only after its echo.
  void RequestSent(const std::string& Text);
  bool ReplyBegun() const { return FReplyBegun; }
  // The request's line and its line end (CR LF, LF, or a CR not followed by LF) in Terminal:
  // At is where it starts, End just after it. False while there is none yet, or its line end
  // is not all there.
  bool FindEcho(TSFSegment& Terminal, int32_t& At, int32_t& End) const;
  void EchoFound();  // the reply begins after the echo; the port echoes

  enum class TNoEcho {
    Wait,     // a late echo may still come
    Begun,    // the port does not echo: the reply ends at this prompt
    Missing,  // a port that echoed before did not: this prompt is no answer to the request
  };
  // A whole prompt came with no echo of the request before it.
  TNoEcho PromptWithoutEcho();

 private:
  enum class TEcho { Unknown, Yes, No };

  std::function<uint32_t()> FNow;
  bool FSerial = false;
  bool FOpening = false;
  uint32_t FOpenedAt = 0, FLastArrival = 0;
  TEcho FEcho = TEcho::Unknown;
  std::string FRequest;
  bool FReplyBegun = true;
  bool FBarePrompt = false;  // a prompt with no echo before it came, at FBareSince
  uint32_t FBareSince = 0;
};
