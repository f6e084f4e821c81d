// Drive discovery on Linux: the images named by the user, then the machine's whole disks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Where the kernel's views live; tests point both at a fake tree.
struct DiscoveryRoots
{
    std::filesystem::path sysBlock{"/sys/block"};
    std::filesystem::path dev{"/dev"};
};

// One drive that can be offered: drive number k is the k-th entry of DiscoverDrives.
struct DriveLocation
{
    std::string devicePath;  // what is opened to read it
    std::string name;        // sysfs name ("sda") or the image's file name
    bool isImage = false;
};

// Heads and sectors per track as reported, cylinders as a full count.
struct Geometry
{
    std::uint64_t cylinders = 0;
    std::uint32_t heads = 0;
    std::uint32_t sectorsPerTrack = 0;
};

// What a drive answers when asked who it is.
struct DriveIdentity
{
    std::string model;  // vendor + model, the image's file name, or empty when nothing names it
    bool usb = false;   // sits on a USB bus
    std::uint64_t sizeBytes = 0;  // 0: no media
    Geometry geometry;            // all zero when there is no media
};

// True for the names of whole disks: sd*, nvme*n*, vd*, hd*, mmcblk*, xvd* without a partition
// suffix. loop, ram, zram, dm-*, md* and everything else are not disks to recover from.
bool IsWholeDiskName(std::string_view name);

// The images (in the order given), then the whole disks under roots.sysBlock sorted by name.
std::vector<DriveLocation> DiscoverDrives(std::span<const std::string> images, const DiscoveryRoots& roots = {});

// Identifies a discovered drive; empty when it no longer exists (it does not answer).
std::optional<DriveIdentity> IdentifyDrive(const DriveLocation& drive, const DiscoveryRoots& roots = {});

// 255 heads x 63 sectors with the cylinders rounded up, so the geometry covers every sector.
Geometry TranslatedGeometry(std::uint64_t sizeBytes);

// A geometry from reported heads and sectors per track (cylinders from the size), or the
// translated one when either is zero.
Geometry GeometryFrom(std::uint32_t heads, std::uint32_t sectorsPerTrack, std::uint64_t sizeBytes);

}  // namespace platform
