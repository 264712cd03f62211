// The Windows console under tallybox-cli: Ctrl+C through the console's control handler, the
// console's output code page, the password prompt with the console's echo off.
#include <windows.h>
// The C run-time's descriptors after windows.h.
#include <fcntl.h>
#include <io.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

#include "cli/uCliConsole.h"
#include "cli/uCliExit.h"
#include "cli/uCliPassword.h"

const char* const kCliTerminal = "CONIN$";

namespace {

std::atomic<bool>* InterruptedFlag = nullptr;
std::atomic<int>* SignalledNumber = nullptr;
// The prompt's console input and its mode before echo went off, for RestoreTerminalAtExit.
std::atomic<HANDLE> PromptInput{INVALID_HANDLE_VALUE};
DWORD PromptSaved = 0;
UINT SavedOutputCodePage = 0;

// Runs on a thread of its own that the console starts. Ctrl+C and Ctrl+Break end the session
// as SIGINT does; closing the window, logging off and shutting down as SIGTERM does.
BOOL WINAPI OnControl(DWORD Event) {
  const int number = Event == CTRL_C_EVENT || Event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
  if (SignalledNumber->exchange(number) != 0) {
    RestoreTerminalAtExit();
    ExitProcess(128 + number);
  }
  *InterruptedFlag = true;
  return TRUE;
}

void RestoreEcho() {
  const HANDLE input = PromptInput;
  if (input != INVALID_HANDLE_VALUE) SetConsoleMode(input, PromptSaved);
}

void RestoreOutputCodePage() {
  if (SavedOutputCodePage != 0) SetConsoleOutputCP(SavedOutputCodePage);
}

// Echo is off while the line is typed and restored whatever happens.
class TEchoOff {
 public:
  explicit TEchoOff(HANDLE Input) {
    if (!GetConsoleMode(Input, &PromptSaved)) return;
    PromptInput = Input;
    SetConsoleMode(Input,
                   (PromptSaved & ~ENABLE_ECHO_INPUT) | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT);
  }
  ~TEchoOff() {
    RestoreEcho();
    PromptInput = INVALID_HANDLE_VALUE;
  }
  TEchoOff(const TEchoOff&) = delete;
  TEchoOff& operator=(const TEchoOff&) = delete;
};

void Say(const char* Text) {
  const HANDLE output = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  if (output == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteConsoleA(output, Text, static_cast<DWORD>(std::strlen(Text)), &written, nullptr);
  CloseHandle(output);
}

// Waits in short slices, so a Ctrl+C that came before or during the wait ends it at once; the
// console hands the line over when Enter is pressed.
std::string ReadLine(HANDLE Input, const std::atomic<bool>& Interrupted) {
  std::string line;
  while (!Interrupted) {
    if (WaitForSingleObject(Input, 100) != WAIT_OBJECT_0) continue;
    char buffer[256];
    DWORD n = 0;
    if (!ReadConsoleA(Input, buffer, sizeof buffer, &n, nullptr)) break;
    line.append(buffer, n);
    if (line.find('\n') != std::string::npos) break;
  }
  line = line.substr(0, line.find('\n'));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

void PrepareConsole(std::atomic<bool>& Interrupted, std::atomic<int>& Signalled) {
  InterruptedFlag = &Interrupted;
  SignalledNumber = &Signalled;
  SetConsoleCtrlHandler(OnControl, TRUE);
  // Bytes as they are, on every platform: register files and JSON keep their line ends.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // The console shows UTF-8 for the run, so every character of the device's code page and
  // every name the system gives shows as itself; the user's code page comes back at exit.
  if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_CHAR) {
    SavedOutputCodePage = GetConsoleOutputCP();
    if (SavedOutputCodePage != 0 && SetConsoleOutputCP(CP_UTF8)) std::atexit(RestoreOutputCodePage);
  }
}

bool TerminalIsUtf8() {
  return GetConsoleOutputCP() == CP_UTF8;
}

// Descriptors of the C run-time block; there is nothing to wait for.
void WaitWritable(int) {
  Sleep(1);
}

bool AskPasswordOnTerminal(const std::string& Terminal, const std::atomic<bool>& Interrupted,
                           std::string& Password) {
  const HANDLE input = CreateFileA(Terminal.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD mode = 0;
  if (input == INVALID_HANDLE_VALUE) return false;
  if (!GetConsoleMode(input, &mode)) {
    CloseHandle(input);
    return false;
  }
  Say("Password: ");
  {
    TEchoOff echoOff(input);
    Password = ReadLine(input, Interrupted);
  }
  CloseHandle(input);
  Say("\r\n");
  if (Interrupted) throw TCliFailure(kExitInterrupted, "");
  return true;
}

bool AskPasswordOnStandardInput(const std::atomic<bool>& Interrupted, std::string& Password) {
  DWORD mode = 0;
  if (!GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) return false;
  return AskPasswordOnTerminal(kCliTerminal, Interrupted, Password);
}

void RestoreTerminalAtExit() {
  RestoreEcho();
  RestoreOutputCodePage();
}
