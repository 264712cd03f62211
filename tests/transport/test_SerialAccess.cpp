// The words for a device that will not open, built from a node's status and group as given
// here. The real refusal of an unprivileged user (root passes every permission check) and a
// real busy device are run by the command-line and window tests.
#include <gtest/gtest.h>

#include <cerrno>

#include "transport/uSerialAccess.h"

TEST(SerialAccess, RefusalNamesTheGroupToJoinOnlyWhenJoiningItWouldHelp) {
  struct stat dialout {
  }, rootOnly{};
  dialout.st_mode = S_IFCHR | 0660, dialout.st_gid = 20;
  rootOnly.st_mode = S_IFCHR | 0600, rootOnly.st_gid = 0;
  EXPECT_EQ(SerialOpenProblem("/dev/ttyUSB0", EACCES, &dialout, "dialout"),
            "You may not open /dev/ttyUSB0: it belongs to the group dialout. Add yourself to it "
            "(sudo adduser $USER dialout) and log in again.");
  EXPECT_EQ(SerialOpenProblem("/dev/ttyS0", EPERM, &rootOnly, "root"),
            "You may not open /dev/ttyS0 (crw-------, group root): ask the administrator of this "
            "computer for access to it.");
  EXPECT_EQ(SerialOpenProblem("/dev/ttyUSB1", ENOENT, nullptr, ""),
            "/dev/ttyUSB1 is not there. Is the adapter plugged in?");
}
