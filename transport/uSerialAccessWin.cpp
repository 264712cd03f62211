// Why a COM port would not open on Windows, from the error CreateFile gave.
#include <windows.h>

#include <system_error>

#include "transport/uSerialAccess.h"
#include "transport/uSerialDevices.h"

std::string SerialOpenProblem(const std::string& Path, int Error) {
  std::string device = Path.rfind("\\\\.\\", 0) == 0 ? Path.substr(4) : Path;
  device = PrintableText(device);
  switch (Error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return device + " is in use by another program. Close that program and try again.";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return device + " is not there. Is the adapter plugged in?";
    default:
      return device + ": " + std::system_category().message(Error);
  }
}
