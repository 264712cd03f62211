#include "app/uOtherUsersFolder.h"

#include "gui/uApplication.h"
#include "gui/uModal.h"
#include "rtl/UserFolders.h"
#include "session/uPageDialogs.h"
#include "session/uPresetFolder.h"

bool TellOtherUsersFolder(QWidget* Window, const std::string& File, const std::string& NotSaved) {
  const std::string into = File.substr(0, File.find_last_of('/'));
  if (!FolderOfAnotherUser(into)) return false;
  TModal::MessageBox(Window,
                     ToQ(NotSaved) + PathToQ(into) + ToQ(": " + std::string(kOtherUsersFolder)),
                     ToQ(std::string(kInfoTitle)), TModal::MB_ICONINFORMATION);
  return true;
}
