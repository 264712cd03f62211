// Test support for the serial device list: a made-up /dev, /dev/serial/by-id and
// /sys/class/tty in a temporary folder, named to the program by its environment variables for
// the life of the object, in which pseudo-terminals stand in for adapters and built-in ports.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/TempFolder.h"

class TFakeSerialTree {
 public:
  TFakeSerialTree() {
    // Readable by all, as the real folders are: a test may look through it as another user.
    std::filesystem::permissions(FTemp.Folder, std::filesystem::perms(0755));
    for (const char* folder : {"dev/serial/by-id", "sys/class/tty", "sys/devices"})
      std::filesystem::create_directories(FTemp.Folder / folder);
    ::setenv("TALLYBOX_SERIAL_BY_ID", ById().c_str(), 1);
    ::setenv("TALLYBOX_SYS_CLASS_TTY", FTemp.Path("sys/class/tty").c_str(), 1);
    ::setenv("TALLYBOX_DEV", Dev().c_str(), 1);
  }
  ~TFakeSerialTree() {
    for (const char* name : {"TALLYBOX_SERIAL_BY_ID", "TALLYBOX_SYS_CLASS_TTY", "TALLYBOX_DEV"})
      ::unsetenv(name);
  }
  std::string Dev() const { return FTemp.Path("dev"); }
  std::string ById() const { return FTemp.Path("dev/serial/by-id"); }

  // A USB adapter: <Dev>/<Name> leads to Target (a pseudo-terminal), the kernel's entry
  // names its maker and product, and udev's by-id link (when StableName is given) leads to it
  // as udev writes it ("../../ttyUSB0"). Returns the by-id path, or the node without one.
  std::string AddUsb(const std::string& Name, const std::string& Target, const std::string& Maker,
                     const std::string& Product, const std::string& StableName) {
    const std::string usb = "sys/devices/usb1/1-" + std::to_string(++FUsbCount);
    const std::string tty = usb + "/1-x:1.0/" + Name;
    std::filesystem::create_directories(FTemp.Folder / tty);
    std::ofstream(FTemp.Path(usb + "/idVendor")) << "0403\n";
    std::ofstream(FTemp.Path(usb + "/manufacturer")) << Maker << "\n";
    std::ofstream(FTemp.Path(usb + "/product")) << Product << "\n";
    AddKernelEntry(Name, Target, tty);
    if (StableName.empty()) return Dev() + "/" + Name;
    std::filesystem::create_symlink("../../" + Name, ById() + "/" + StableName);
    return ById() + "/" + StableName;
  }

  // A built-in port with a UART (Type 4) or without one (Type 0).
  void AddBuiltIn(const std::string& Name, const std::string& Target, int Type) {
    const std::string platform = "sys/devices/platform/serial8250/" + Name;
    std::filesystem::create_directories(FTemp.Folder / platform);
    AddKernelEntry(Name, Target, platform);
    std::ofstream(FTemp.Path("sys/class/tty/" + Name + "/type")) << Type << "\n";
  }

  // Takes an adapter away again, as unplugging it does.
  void Unplug(const std::string& Name, const std::string& StableName) {
    std::filesystem::remove_all(FTemp.Path("sys/class/tty/" + Name));
    std::filesystem::remove(Dev() + "/" + Name);
    if (!StableName.empty()) std::filesystem::remove(ById() + "/" + StableName);
  }

 private:
  // Device is the folder under sys/ the entry's "device" link leads to, written relatively.
  void AddKernelEntry(const std::string& Name, const std::string& Target,
                      const std::string& Device) {
    const std::filesystem::path entry = FTemp.Folder / "sys/class/tty" / Name;
    std::filesystem::create_directories(entry);
    std::filesystem::create_symlink("../../../" + Device.substr(4), entry / "device");
    std::filesystem::create_symlink(Target, Dev() + "/" + Name);
  }

  TTempFolder FTemp{"tbx-serial"};
  int FUsbCount = 0;
};
