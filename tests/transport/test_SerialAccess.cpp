// What the user is told when a serial device will not open. The words are built from the
// node's status and group as given here; the real refusal of an unprivileged user (root
// passes every permission check) is run by the command-line tests, which drop to one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "support/PtyPeer.h"
#include "transport/uComms.h"
#include "transport/uSerialAccess.h"

namespace {

struct stat Node(mode_t Mode, gid_t Group) {
  struct stat node {};
  node.st_mode = S_IFCHR | Mode;
  node.st_gid = Group;
  return node;
}

}  // namespace

TEST(SerialAccess, RefusalNamesTheGroupToJoinAndBusyNamesAnotherProgram) {
  const struct stat dialout = Node(0660, 20), rootOnly = Node(0600, 0), ownGroup = Node(0640, 5);
  const struct {
    int Error;
    const struct stat* Status;
    std::string Group, Said;
  } cases[] = {
      {EACCES, &dialout, "dialout",
       "You may not open /dev/ttyUSB0: it belongs to the group dialout. Add yourself to it "
       "(sudo adduser $USER dialout) and log in again."},
      {EPERM, &dialout, "uucp",
       "You may not open /dev/ttyUSB0: it belongs to the group uucp. Add yourself to it (sudo "
       "adduser $USER uucp) and log in again."},
      {EACCES, &rootOnly, "root",
       "You may not open /dev/ttyUSB0 (crw-------, group root): ask the administrator of this "
       "computer for access to it."},
      {EACCES, &ownGroup, "",
       "You may not open /dev/ttyUSB0 (crw-r-----, group 5): ask the "
       "administrator of this computer for access to it."},
      {EACCES, nullptr, "",
       "You may not open /dev/ttyUSB0: ask the administrator of this "
       "computer for access to it."},
      {EBUSY, &dialout, "dialout",
       "/dev/ttyUSB0 is in use by another program. Close that program and try again."},
      {ENOENT, nullptr, "", "/dev/ttyUSB0 is not there. Is the adapter plugged in?"},
      {EIO, &dialout, "dialout", "/dev/ttyUSB0: Input/output error"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SerialOpenProblem("/dev/ttyUSB0", c.Error, c.Status, c.Group), c.Said) << c.Said;
}

// Held by another copy of the program (its lock) or by another program (exclusive mode,
// which root's opens pass through, so only the lock is tried here as root).
TEST(SerialAccess, PortHeldElsewhereIsReportedBusyWithTheDevicesRealName) {
  TTempConfig config;
  TPtyPeer device;
  config.Link(2, device.SlavePath());
  TCommPort first, second;
  for (TCommPort* port : {&first, &second}) {
    port->SetPort(2);
    port->SetBaudRate(115200);
  }
  ASSERT_TRUE(first.Open());
  EXPECT_FALSE(second.Open());
  EXPECT_EQ(second.OpenError(), EBUSY);
  EXPECT_EQ(
      SerialOpenProblem(second.DevicePath(), second.OpenError()),
      device.SlavePath() + " is in use by another program. Close that program and try again.");
  first.Close();
  EXPECT_TRUE(second.Open());
  EXPECT_EQ(second.OpenError(), 0);
}
