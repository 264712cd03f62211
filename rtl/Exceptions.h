// The exception classes every layer raises. what() is the message the user sees, so each
// class carries the program's own wording; Format builds messages from printf patterns.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& Msg) : std::runtime_error(Msg) {}
  std::string Message() const { return what(); }
};

// Ends a dialog or an operation silently: nobody shows it to the user.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};

class EListError : public Exception {
 public:
  using Exception::Exception;
};

class ERangeError : public Exception {
 public:
  ERangeError() : Exception("Range check error") {}
};

class EStreamError : public Exception {
 public:
  using Exception::Exception;
};

class EReadError : public EStreamError {
 public:
  EReadError() : EStreamError("Stream read error") {}
};

class EWriteError : public EStreamError {
 public:
  EWriteError() : EStreamError("Stream write error") {}
};

class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

// printf-style formatting into a std::string ("List index out of bounds (%d)").
std::string Format(const char* Pattern, ...) __attribute__((format(printf, 1, 2)));
