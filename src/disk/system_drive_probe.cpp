// The machine's drives as the drive probe of mode N.
#include "disk/system_drive_probe.h"

#include <cerrno>

#include <utility>

#include "core/messages.h"
#include "platform/disk_image.h"
#include "platform/file_source.h"

namespace disk {

SystemDriveProbe::SystemDriveProbe(std::vector<std::string> images, platform::DiscoveryRoots roots)
    : m_roots(std::move(roots)), m_drives(platform::DiscoverDrives(images, m_roots)), m_identities(m_drives.size())
{
}

const std::optional<platform::DriveIdentity>& SystemDriveProbe::Identity(unsigned n)
{
    auto& cached = m_identities[n];
    if (!cached) {
        cached.emplace(platform::IdentifyDrive(m_drives[n], m_roots));
    }
    return *cached;
}

std::optional<DriveDescriptor> SystemDriveProbe::QueryDescriptor(unsigned n)
{
    if (n >= m_drives.size()) {
        return std::nullopt;
    }
    const auto& id = Identity(n);
    if (!id) {
        return std::nullopt;
    }
    return DriveDescriptor{id->model, id->usb};
}

std::optional<DriveGeometry> SystemDriveProbe::QueryGeometry(unsigned n)
{
    if (n >= m_drives.size()) {
        return std::nullopt;
    }
    const auto& id = Identity(n);
    if (!id) {
        return std::nullopt;
    }
    return DriveGeometry{id->geometry.cylinders, id->geometry.heads, id->geometry.sectorsPerTrack, id->sizeBytes};
}

OpenedDrive SystemDriveProbe::Open(unsigned n)
{
    if (n >= m_drives.size()) {
        return {nullptr, std::string(core::msg::kNoSuchDrive)};
    }
    if (m_drives[n].isImage) {
        platform::ImageOpenResult opened = platform::OpenDiskImage(m_drives[n].devicePath);
        return {std::move(opened.source), std::move(opened.reason), false};
    }
    platform::OpenResult opened = platform::OpenReadOnly(m_drives[n].devicePath);
    const bool needsRights = opened.error == EACCES || opened.error == EPERM;
    return {std::move(opened.source), std::move(opened.reason), needsRights};
}

std::vector<std::string> SystemDriveProbe::DevicePaths() const
{
    std::vector<std::string> paths;
    for (const auto& d : m_drives) {
        paths.push_back(d.devicePath);
    }
    return paths;
}

}  // namespace disk
