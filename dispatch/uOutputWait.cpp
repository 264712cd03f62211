#include "dispatch/uOutputWait.h"

std::string TOutputWait::Sentence(TWhy Why) {
  switch (Why) {
    case TWhy::Cts:
      return "The device shows CTS off: nothing is sent until it is on.";
    case TWhy::Dsr:
      return "The device shows DSR off: nothing is sent until it is on.";
    case TWhy::CtsAndDsr:
      return "The device shows CTS and DSR off: nothing is sent until they are on.";
    case TWhy::Held:
      return "The line holds output back: nothing is sent until it lets go.";
    case TWhy::None:
      break;
  }
  return "Sending goes on.";
}

bool TOutputWait::TellsAWait(const std::string& Text) {
  for (TWhy why : {TWhy::Cts, TWhy::Dsr, TWhy::CtsAndDsr, TWhy::Held})
    if (Text == Sentence(why)) return true;
  return false;
}

std::string TOutputWait::Update(TWhy Why, TClock::time_point Now) {
  if (Why != FWhy) {
    FWhy = Why;
    FSince = Now;
  }
  if (FWhy == FSaid) return "";
  if (FWhy == TWhy::None || Now - FSince >= std::chrono::milliseconds(SayAfterMs)) {
    FSaid = FWhy;
    return Sentence(FWhy);
  }
  return "";
}
