// Whether text where a reply should be shows that the device started afresh instead of
// answering: its password request, or the first line of the banner it showed when the
// session began. Such text is no answer, however it ends.
#pragma once

#include <string>

class TRestartSign {
 public:
  void Clear() { FBannerLine.clear(); }
  // Text the device sent before its first prompt of the session (its greeting).
  void LearnBanner(const std::string& Greeting);
  bool In(const std::string& Reply) const;
  // Whether Text holds the password request as a line of its own.
  static bool AsksPassword(const std::string& Text);

 private:
  std::string FBannerLine;
};
