#include "platform/Drives.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>
#include <sys/statvfs.h>

namespace tunquil::platform {

namespace {

std::string DecodeMountField(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        auto octal = [&](std::size_t at) { return field[at] >= '0' && field[at] <= '7'; };
        if (field[i] == '\\' && i + 3 < field.size() && octal(i + 1) && octal(i + 2) &&
            octal(i + 3)) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The block device a partition belongs to: "sdb1" -> "sdb", "nvme0n1p2" -> "nvme0n1",
// "mmcblk0p1" -> "mmcblk0"; sysfs keeps "removable" on the whole disk only.
std::string WholeDiskOf(std::string name) {
    std::error_code ec;
    if (std::filesystem::exists("/sys/block/" + name, ec))
        return name;
    std::filesystem::path link = std::filesystem::canonical("/sys/class/block/" + name, ec);
    if (!ec && link.has_parent_path())
        return link.parent_path().filename().string();
    return name;
}

bool IsRemovableDevice(const std::string& device) {
    if (device.rfind("/dev/", 0) != 0)
        return false;
    std::error_code ec;
    std::filesystem::path real = std::filesystem::canonical(device, ec);
    std::string name = (ec ? std::filesystem::path(device) : real).filename().string();
    std::string flag = ReadWholeFile("/sys/block/" + WholeDiskOf(name) + "/removable");
    return !flag.empty() && flag[0] == '1';
}

} // namespace

std::vector<MountEntry> ParseMountTable(std::string_view text) {
    std::vector<MountEntry> mounts;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string device, mountPoint, type, options;
        if (!(fields >> device >> mountPoint >> type))
            continue;
        fields >> options;
        mounts.push_back({DecodeMountField(device), DecodeMountField(mountPoint),
                          DecodeMountField(type), options});
    }
    return mounts;
}

bool IsLocalFileSystemType(std::string_view type) {
    // A list of what is known to live on a disk, rather than a list of what does not: a new
    // pseudo or network file system is then left out until someone adds it here.
    static constexpr std::array kLocal = {
        "ext2",    "ext3",     "ext4",    "xfs",  "btrfs",   "f2fs",  "jfs",  "reiserfs",
        "zfs",     "bcachefs", "nilfs2",  "vfat", "msdos",   "exfat", "ntfs", "ntfs3",
        "fuseblk", "hfs",      "hfsplus", "ufs",  "overlay", "minix"};
    return std::find(kLocal.begin(), kLocal.end(), type) != kLocal.end();
}

std::vector<Drive> LocalDrivesOf(const std::vector<MountEntry>& mounts,
                                 const std::function<bool(const std::string&)>& removable) {
    std::vector<Drive> drives;
    for (const auto& m : mounts) {
        if (!IsLocalFileSystemType(m.type) || (removable && removable(m.device)))
            continue;
        // Desktop automounters put media here even when the disk does not say it is removable.
        if (m.mountPoint.rfind("/media/", 0) == 0 || m.mountPoint.rfind("/run/media/", 0) == 0)
            continue;
        // A later mount on the same point hides the earlier one.
        std::erase_if(drives, [&](const Drive& d) { return d.root == m.mountPoint; });
        drives.push_back({m.mountPoint, m.type, m.device});
    }
    return drives;
}

std::vector<Drive> SystemDrives::LocalDrives() {
    return LocalDrivesOf(ParseMountTable(ReadWholeFile("/proc/self/mounts")), IsRemovableDevice);
}

bool SystemDrives::IsReady(const std::filesystem::path& root) {
    return FreeBytes(root).has_value();
}

std::optional<uint64_t> SystemDrives::FreeBytes(const std::filesystem::path& root) {
    struct statvfs info {};
    if (::statvfs(root.c_str(), &info) != 0)
        return std::nullopt;
    return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}

std::vector<Drive> FakeDrives::LocalDrives() {
    return LocalDrivesOf(ParseMountTable(mountTable),
                         [&](const std::string& device) { return removableDevices.count(device); });
}

bool FakeDrives::IsReady(const std::filesystem::path& root) {
    return !notReady.count(root);
}

std::optional<uint64_t> FakeDrives::FreeBytes(const std::filesystem::path& root) {
    if (!IsReady(root))
        return std::nullopt;
    return freeBytes;
}

} // namespace tunquil::platform
