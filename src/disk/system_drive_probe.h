// The machine's drives as the drive probe of mode N: drive number k is the k-th discovered drive.
#pragma once

#include <string>
#include <vector>

#include "disk/drive_enumeration.h"
#include "platform/drive_discovery.h"

namespace disk {

class SystemDriveProbe : public DriveProbe
{
public:
    // The images (in order), then the whole disks under `roots`.
    explicit SystemDriveProbe(std::vector<std::string> images, platform::DiscoveryRoots roots = {});

    std::optional<DriveDescriptor> QueryDescriptor(unsigned n) override;
    std::optional<DriveGeometry> QueryGeometry(unsigned n) override;
    OpenedDrive Open(unsigned n) override;

    const std::vector<platform::DriveLocation>& Drives() const noexcept { return m_drives; }
    // The paths that are opened to read each drive, in drive-number order.
    std::vector<std::string> DevicePaths() const;

private:
    const std::optional<platform::DriveIdentity>& Identity(unsigned n);

    platform::DiscoveryRoots m_roots;
    std::vector<platform::DriveLocation> m_drives;
    std::vector<std::optional<std::optional<platform::DriveIdentity>>> m_identities;  // cached answers
};

}  // namespace disk
