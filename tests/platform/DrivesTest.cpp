#include "platform/Drives.h"

#include <gtest/gtest.h>

namespace tunquil::platform {
namespace {

std::vector<std::string> Roots(const std::vector<Drive>& drives) {
    std::vector<std::string> roots;
    for (const auto& d : drives)
        roots.push_back(d.root.string());
    return roots;
}

TEST(Drives, OnlyMountedLocalDiskFileSystemsAreDrives) {
    FakeDrives drives("proc /proc proc rw,nosuid 0 0\n"
                      "sysfs /sys sysfs rw 0 0\n"
                      "/dev/sda2 / ext4 rw,relatime 0 0\n"
                      "tmpfs /run tmpfs rw 0 0\n"
                      "/dev/sda3 /home btrfs rw 0 0\n"
                      "server:/export /mnt/nfs nfs4 rw 0 0\n"
                      "//nas/music /mnt/share cifs rw 0 0\n"
                      "sshfs#me@host: /mnt/ssh fuse.sshfs rw 0 0\n"
                      "/dev/sdb1 /mnt/stick vfat rw 0 0\n"
                      "/dev/sdc1 /media/me/CARD exfat rw 0 0\n"
                      "/dev/sda4 /srv/My\\040Music xfs rw 0 0\n"
                      "garbage\n"
                      "/dev/sda5 /home ext4 rw 0 0\n");
    drives.removableDevices.insert("/dev/sdb1");
    EXPECT_EQ(Roots(drives.LocalDrives()),
              (std::vector<std::string>{"/", "/srv/My Music", "/home"}));
    EXPECT_EQ(drives.LocalDrives().back().type, "ext4") << "the later mount hides the earlier";

    drives.notReady.insert("/home");
    EXPECT_FALSE(drives.IsReady("/home"));
    EXPECT_FALSE(drives.FreeBytes("/home").has_value());
    EXPECT_TRUE(drives.IsReady("/"));
}

TEST(Drives, TheSystemDrivesAreReadyOnlyWhereStatvfsSucceeds) {
    SystemDrives drives;
    EXPECT_TRUE(drives.IsReady("/"));
    EXPECT_TRUE(drives.FreeBytes("/").has_value());
    EXPECT_FALSE(drives.IsReady("/no/such/mount/point"));
    for (const auto& drive : drives.LocalDrives())
        EXPECT_TRUE(IsLocalFileSystemType(drive.type)) << drive.root;
}

} // namespace
} // namespace tunquil::platform
