// What the serial dispatcher says about output waiting for the device's lines: a wait is told
// once it has lasted SayAfterMs, and its end only after a wait was told. A device doing flow
// control holds output for moments all the time; those go unsaid, so a line whose lines flip
// fast cannot flood the owner with notes. Used by the dispatcher's worker only.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

class TOutputWait {
 public:
  enum class TWhy { None, Cts, Dsr, CtsAndDsr, Held };
  using TClock = std::chrono::steady_clock;
  static constexpr int32_t SayAfterMs = 300;

  // Why output may not go now (None: it may). Returns the sentence to tell the owner, or "".
  std::string Update(TWhy Why, TClock::time_point Now);
  // What is told of a wait; of None, that sending goes on.
  static std::string Sentence(TWhy Why);
  // Whether a status text tells of a wait that has not ended.
  static bool TellsAWait(const std::string& Text);

 private:
  TWhy FWhy = TWhy::None, FSaid = TWhy::None;
  TClock::time_point FSince;
};
