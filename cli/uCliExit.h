// The command-line front end's exit statuses and the failure that carries one up to main,
// with the text for standard error. Every cli unit raises TCliFailure; main catches it.
#pragma once

#include <stdexcept>
#include <string>

enum TCliExit : int {
  kExitOk = 0,
  kExitFailure = 1,      // connection, login or reply failure
  kExitUsage = 2,        // bad arguments, no password to be had
  kExitDiffers = 3,      // the registers read back after program, or diff's preset, differ
  kExitBadPassword = 4,  // the device asked again, or closed the line right after the password
  kExitInterrupted = 130,
};

class TCliFailure : public std::runtime_error {
 public:
  // An empty Message means the reason was already written to standard error.
  TCliFailure(TCliExit Code, const std::string& Message)
      : std::runtime_error(Message), Code(Code) {}
  TCliExit Code;
};
