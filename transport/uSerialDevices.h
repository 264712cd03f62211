// The serial devices this machine has, as the system lists them: udev's stable names in
// /dev/serial/by-id and the kernel's ttys in /sys/class/tty with what the hardware calls
// itself. The wizard's serial page and tallybox-cli's "ports" show them; the port map
// (uComPortMap) tells which COM number reaches which.
#pragma once

#include <string>
#include <vector>

// Where the lists are read. Each folder can be moved by an environment variable, so a test
// can stand pseudo-terminals in for adapters: TALLYBOX_SERIAL_BY_ID (/dev/serial/by-id),
// TALLYBOX_SYS_CLASS_TTY (/sys/class/tty) and TALLYBOX_DEV (/dev).
struct TSerialFolders {
  std::string ById, SysClassTty, Dev;
  static TSerialFolders FromEnvironment();
};

struct TSerialDevice {
  std::string Node;         // the device node, "/dev/ttyUSB0"
  std::string StablePath;   // its /dev/serial/by-id name, "" when udev gives none
  std::string Description;  // "FTDI FT232R USB UART", "" when nothing says
};

// The devices found, ordered by node. A built-in serial port counts only when the kernel
// found a UART behind it (/dev/ttyS1 exists on most machines whether or not there is one);
// virtual consoles and pseudo-terminals have no device behind them and are left out. Folders
// that are missing or unreadable give no devices, never an error.
std::vector<TSerialDevice> ListSerialDevices(const TSerialFolders& Folders);

// Text as a device or a user's link gave it, safe to print: valid UTF-8 with every control
// character (ESC included) and every byte that is not part of a valid sequence shown as "?".
// A USB device names itself, so what it says is not trusted.
std::string PrintableText(const std::string& Text);
