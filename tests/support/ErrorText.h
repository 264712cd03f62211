// The message of the exception of type E that Call raises, or "no error": lets a test check
// the user-visible text of a failure in one line.
#pragma once

#include <functional>
#include <string>

template <class E>
std::string ErrorOf(const std::function<void()>& Call) {
  try {
    Call();
  } catch (const E& e) {
    return e.what();
  }
  return "no error";
}
