// The terminal tallybox-cli runs at, as each system offers it: Ctrl+C and termination,
// whether output shows UTF-8, the password prompt without echo. One implementation per
// platform (a POSIX terminal, the Windows console).
#pragma once

#include <atomic>
#include <string>

// The terminal the password is asked on: "/dev/tty", or the console's input "CONIN$".
extern const char* const kCliTerminal;

// Called first in main. The first Ctrl+C (or termination request) sets Interrupted and puts
// its signal number (SIGINT, SIGTERM) in Signalled; a second one ends the program at once with
// 128 + that number, the terminal put back as it was. Output is written as bytes.
void PrepareConsole(std::atomic<bool>& Interrupted, std::atomic<int>& Signalled);

// True when the terminal shows UTF-8 (the locale's code set; the console's output code page).
bool TerminalIsUtf8();

// Waits until Fd takes more output (an inherited non-blocking output).
void WaitWritable(int Fd);

// Asks "Password: " on the terminal named Terminal and reads a line with echo off; false when
// there is no such terminal. Raises TCliFailure kExitInterrupted once Interrupted is set.
bool AskPasswordOnTerminal(const std::string& Terminal, const std::atomic<bool>& Interrupted,
                           std::string& Password);

// Standard input, when it is a terminal ("--password-file -" typed at): asked as
// AskPasswordOnTerminal asks; false when standard input is not a terminal.
bool AskPasswordOnStandardInput(const std::atomic<bool>& Interrupted, std::string& Password);
