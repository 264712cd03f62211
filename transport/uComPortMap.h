// What COM1 to COM9 reach on this machine and how the user changes it. COMn opens the user's
// link com<n> in the program's configuration folder when there is one, else the n-th built-in
// serial port; the link is the whole record of an assignment. The serial port opens what
// ComDevicePath names; the wizard's serial page and tallybox-cli's "ports" list the rest.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "transport/uSerialDevices.h"

constexpr int32_t ComPortCount = 9;  // the wizard offers COM1 to COM9

// ${XDG_CONFIG_HOME:-~/.config}/Orvane/TallyboxUtility/com<n>; "" when there is no per-user
// configuration folder.
std::string ComLinkPath(int32_t Number);
// What COM<Number> opens: its link when one is there (even one that leads nowhere), else
// <Dev>/ttyS<Number-1>.
std::string ComDevicePath(int32_t Number, const std::string& Dev);

struct TComPortEntry {
  int32_t Number = 0;
  std::string Link;         // where the user's link points, as written; "" without a link
  std::string Node;         // the device reached, "" for none
  std::string Description;  // of that device, "" when nothing says
};

// COM1 to COM9 against the devices found. A link to a device's stable name, its node or any
// other path to the same node reaches that device; a link to something that exists but is not
// in the list (a pseudo-terminal) shows where it leads; an unlinked number reaches its built-in
// port only when that port has hardware behind it.
std::vector<TComPortEntry> ListComPorts(const std::vector<TSerialDevice>& Devices,
                                        const TSerialFolders& Folders);

// "COM3 — /dev/ttyUSB0 (FTDI FT232R USB UART)", "COM1 — /dev/ttyS0", "COM5 — nothing",
// "COM4 — nothing (/dev/serial/by-id/usb-… is not there)". UTF-8, safe to print.
std::string ComPortLine(const TComPortEntry& Entry);

// Makes COM<Number> reach Device: its link points at the device's stable name where it has
// one (the mapping then survives re-plugging), else at its node. The link is made beside the
// old one and renamed over it, so an existing link is replaced, never followed, and nothing
// is written where any link points. Raises ECommPort with the reason when it cannot be done,
// also when root runs with another user's folders (that user could swap the folder).
void AssignComPort(int32_t Number, const TSerialDevice& Device);
