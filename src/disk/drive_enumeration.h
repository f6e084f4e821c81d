// Drive enumeration (mode N through a drive probe, mode F through the BIOS libraries) and the
// opening of the selected drive when the user leaves the drive step.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/sector_source.h"
#include "disk/bios_libraries.h"
#include "disk/disk_state.h"
#include "disk/drive_table.h"

namespace disk {

// The storage-descriptor answer of a drive.
struct DriveDescriptor
{
    std::string productId;  // may be empty: nothing names the product
    bool usb = false;
};

// The geometry answer; sectorsPerTrack 0 means no media.
struct DriveGeometry
{
    std::uint64_t cylinders = 0;
    std::uint32_t heads = 0;
    std::uint32_t sectorsPerTrack = 0;
    std::uint64_t sizeBytes = 0;
};

// A drive opened for reading, or the reason (for the user) why it is not.
struct OpenedDrive
{
    std::unique_ptr<core::SectorSource> source;
    std::string reason;
    bool needsRights = false;  // a disk of the machine refused for lack of rights (never an image)
};

// The operating system's view of drive numbers 0..15, asked by EnumerateDrives in mode N.
class DriveProbe
{
public:
    virtual ~DriveProbe() = default;
    // Empty when drive number `n` does not exist or does not answer.
    virtual std::optional<DriveDescriptor> QueryDescriptor(unsigned n) = 0;
    // Empty when the geometry query fails.
    virtual std::optional<DriveGeometry> QueryGeometry(unsigned n) = 0;
    // Opens drive number `n` read-only.
    virtual OpenedDrive Open(unsigned n) = 0;
};

// Mode N: probes drive numbers 0..15. Every drive that answers the descriptor query takes a
// slot: the drives with media (non-zero sectors per track) the first driveCount slots in
// drive-number order, then the drives without media, which keep only the model "Media missing
// or not inserted" and are not offered. Then lists driveCount "Storage Device<i>" items in
// `tree` (item i is slot i) and expands its root. A drive without media never hides a later one.
void EnumerateDrives(DriveTable& table, DriveTree& tree, DriveProbe& probe);

// Mode F: the drive count from find_hard_disk32 (at most 32 are taken), each drive's int13
// extension flag (also kept in `bios` for ReadDisk32) and geometry; model "Unknown".
void EnumerateDrivesBios(DriveTable& table, DriveTree& tree, BiosLibraries& bios);

// Result of opening the selected drive at Next.
struct OpenDriveOutcome
{
    bool opened = false;
    std::string reason;  // why not, for the user
    bool needsRights = false;  // a disk of the machine that administrator rights would open
};

// Mode N: opens the drive whose details slot `selectedDrive` shows into disk.driveHandle (any
// open drive is closed first). Drives without a device path (10 and above) are refused. Mode F
// opens nothing and succeeds for an offered drive.
OpenDriveOutcome OpenSelectedDrive(DiskState& disk, const DriveTable& table, DriveProbe& probe);

// Back to the drive step: the open drive is closed.
void CloseDrive(DiskState& disk);

}  // namespace disk
