#pragma once
// Drives are the mounted local file systems: the scans search them and the drive boxes list
// their mount points. Pseudo file systems (proc, tmpfs, ...), network shares and removable media
// are left out, so a system scan never wanders into /proc or onto a slow server.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tunquil::platform {

struct MountEntry {
    std::string device;
    std::string mountPoint;
    std::string type;
    std::string options;
};

struct Drive {
    std::filesystem::path root; // the mount point
    std::string type;           // the file system type, "ext4", "btrfs", ...
    std::string device;
};

// The lines of a mount table in the form of /proc/self/mounts; the octal escapes of blanks
// and other bytes in names ("\040") are decoded. Lines that are not well formed are skipped.
std::vector<MountEntry> ParseMountTable(std::string_view text);

// True for a file system kept on a local disk (not pseudo, not network).
bool IsLocalFileSystemType(std::string_view type);

// The local drives of a mount table, in its order, each mount point once; `removable` tells
// whether a device is removable media.
std::vector<Drive> LocalDrivesOf(const std::vector<MountEntry>& mounts,
                                 const std::function<bool(const std::string& device)>& removable);

class IDrives {
public:
    virtual ~IDrives() = default;
    // The mounted local file systems, in mount order.
    virtual std::vector<Drive> LocalDrives() = 0;
    // False when the drive's root cannot be queried.
    virtual bool IsReady(const std::filesystem::path& root) = 0;
    // Bytes available to this user, or none when the drive is not ready.
    virtual std::optional<uint64_t> FreeBytes(const std::filesystem::path& root) = 0;
};

// The running system: /proc/self/mounts, sysfs for removable media, statvfs.
class SystemDrives : public IDrives {
public:
    std::vector<Drive> LocalDrives() override;
    bool IsReady(const std::filesystem::path& root) override;
    std::optional<uint64_t> FreeBytes(const std::filesystem::path& root) override;
};

// A mount table given by the test, with devices marked removable and roots marked not ready.
class FakeDrives : public IDrives {
public:
    explicit FakeDrives(std::string mountTable = {}) : mountTable(std::move(mountTable)) {}
    std::vector<Drive> LocalDrives() override;
    bool IsReady(const std::filesystem::path& root) override;
    std::optional<uint64_t> FreeBytes(const std::filesystem::path& root) override;

    std::string mountTable;
    std::set<std::string> removableDevices;
    std::set<std::filesystem::path> notReady;
    uint64_t freeBytes = 1ull << 30;
};

} // namespace tunquil::platform
