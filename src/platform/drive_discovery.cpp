// Drive discovery and identification through sysfs, HDIO_GETGEO and the image files.
#include "platform/drive_discovery.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "core/types.h"
#include "platform/disk_image.h"

namespace platform {

namespace {

constexpr std::uint32_t kTranslatedHeads = 255;
constexpr std::uint32_t kTranslatedSectorsPerTrack = 63;
constexpr std::size_t kMaxSysfsText = 4096;

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool AllDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool AllLower(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

// The first line of a small sysfs attribute, blanks trimmed; empty when absent.
std::string ReadAttribute(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    std::string text(kMaxSysfsText, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    text = text.substr(0, text.find('\n'));
    const auto notBlank = [](char c) { return !std::isspace(static_cast<unsigned char>(c)) && c != '\0'; };
    const auto first = std::find_if(text.begin(), text.end(), notBlank);
    const auto last = std::find_if(text.rbegin(), text.rend(), notBlank).base();
    return first < last ? std::string(first, last) : std::string();
}

bool OnUsbBus(const std::filesystem::path& sysEntry)
{
    std::error_code ec;
    const auto real = std::filesystem::canonical(sysEntry, ec);
    if (ec) {
        return false;
    }
    for (const auto& part : real) {
        const std::string component = part.string();
        // Host controllers show as usbN, their ports as N-M[.K][:C.I].
        if (StartsWith(component, "usb")) {
            return true;
        }
    }
    return false;
}

// HDIO_GETGEO of a device; empty when it cannot be opened or asked.
std::optional<std::pair<std::uint32_t, std::uint32_t>> QueryHeadsAndSectors(const std::string& devicePath)
{
    const int fd = ::open(devicePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    hd_geometry geo{};
    const int rc = ::ioctl(fd, HDIO_GETGEO, &geo);
    ::close(fd);
    if (rc != 0) {
        return std::nullopt;
    }
    return std::make_pair(std::uint32_t{geo.heads}, std::uint32_t{geo.sectors});
}

}  // namespace

bool IsWholeDiskName(std::string_view name)
{
    if (StartsWith(name, "nvme")) {
        // nvme<ctrl>n<ns>; nvme0n1p1 is a partition, nvme0c0n1 a hidden path device.
        const std::string_view rest = name.substr(4);
        const auto n = rest.find('n');
        return n != std::string_view::npos && AllDigits(rest.substr(0, n)) && AllDigits(rest.substr(n + 1));
    }
    if (StartsWith(name, "mmcblk")) {
        return AllDigits(name.substr(6));  // mmcblk0; mmcblk0p1 and mmcblk0boot0 are not whole disks
    }
    for (std::string_view prefix : {"xvd", "sd", "vd", "hd"}) {
        if (StartsWith(name, prefix)) {
            return AllLower(name.substr(prefix.size()));  // sda, sdab; sda1 is a partition
        }
    }
    return false;
}

std::vector<DriveLocation> DiscoverDrives(std::span<const std::string> images, const DiscoveryRoots& roots)
{
    std::vector<DriveLocation> drives;
    for (const std::string& image : images) {
        drives.push_back({image, std::filesystem::path(image).filename().string(), true});
    }
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(roots.sysBlock, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (IsWholeDiskName(name)) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    for (std::string& name : names) {
        drives.push_back({(roots.dev / name).string(), std::move(name), false});
    }
    return drives;
}

Geometry TranslatedGeometry(std::uint64_t sizeBytes) { return GeometryFrom(0, 0, sizeBytes); }

Geometry GeometryFrom(std::uint32_t heads, std::uint32_t sectorsPerTrack, std::uint64_t sizeBytes)
{
    Geometry g;
    const std::uint64_t sectors = sizeBytes / core::kSectorSize;
    if (sectors == 0) {
        return g;
    }
    if (heads == 0 || sectorsPerTrack == 0) {
        heads = kTranslatedHeads;
        sectorsPerTrack = kTranslatedSectorsPerTrack;
    }
    const std::uint64_t perCylinder = std::uint64_t{heads} * sectorsPerTrack;
    g.heads = heads;
    g.sectorsPerTrack = sectorsPerTrack;
    g.cylinders = sectors / perCylinder + (sectors % perCylinder != 0 ? 1 : 0);
    return g;
}

std::optional<DriveIdentity> IdentifyDrive(const DriveLocation& drive, const DiscoveryRoots& roots)
{
    DriveIdentity id;
    if (drive.isImage) {
        ImageOpenResult opened = OpenDiskImage(drive.devicePath);
        id.model = drive.name;
        if (opened.source) {
            id.sizeBytes = opened.source->SizeBytes();  // for a format image, the size of the disk it holds
        } else {
            std::error_code ec;
            if (!std::filesystem::exists(drive.devicePath, ec)) {
                return std::nullopt;
            }
            // It exists but cannot be read (permissions, or its library refuses it: a damaged
            // segment, a missing parent). It is offered with the size of the file, as a disk of
            // the machine is offered with the size sysfs gives; opening it tells why it cannot.
            const auto fileSize = std::filesystem::file_size(drive.devicePath, ec);
            id.sizeBytes = ec ? 0 : fileSize;
        }
    } else {
        const std::filesystem::path sys = roots.sysBlock / drive.name;
        std::error_code ec;
        if (!std::filesystem::exists(sys, ec)) {
            return std::nullopt;
        }
        std::string vendor = ReadAttribute(sys / "device" / "vendor");
        if (StartsWith(vendor, "0x")) {
            vendor.clear();  // virtio shows its PCI vendor number here, not a name
        }
        const std::string model = ReadAttribute(sys / "device" / "model");
        id.model = vendor.empty() ? model : (model.empty() ? vendor : vendor + " " + model);
        id.usb = OnUsbBus(sys);
        const std::string size = ReadAttribute(sys / "size");  // in 512-byte units whatever the block size
        if (AllDigits(size) && size.size() <= 19) {
            id.sizeBytes = std::stoull(size) * core::kSectorSize;
            if (id.sizeBytes / core::kSectorSize != std::stoull(size)) {
                id.sizeBytes = 0;
            }
        }
    }
    if (id.sizeBytes == 0) {
        return id;  // no media: no geometry
    }
    std::uint32_t heads = 0;
    std::uint32_t sectors = 0;
    if (!drive.isImage) {
        if (const auto hs = QueryHeadsAndSectors(drive.devicePath)) {
            heads = hs->first;
            sectors = hs->second;
        }
    }
    // HDIO_GETGEO's cylinder field is 16 bits wide, so cylinders always come from the size.
    id.geometry = GeometryFrom(heads, sectors, id.sizeBytes);
    return id;
}

}  // namespace platform
