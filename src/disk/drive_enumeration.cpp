// Drive enumeration and opening the selected drive.
#include "disk/drive_enumeration.h"

#include <algorithm>
#include <vector>

#include "core/messages.h"

namespace disk {

namespace {

void ListDriveItems(const DriveTable& table, DriveTree& tree)
{
    tree.items.clear();
    for (unsigned i = 0; i < table.driveCount; ++i) {
        tree.items.push_back(DriveItemText(i));
    }
    tree.rootExpanded = true;
}

// cylinders x heads x sectors per track, wrapping in 32 bits as the table's field is defined.
std::uint32_t TotalSectors32(std::uint32_t cylinders, std::uint32_t heads, std::uint32_t sectorsPerTrack)
{
    return heads * cylinders * sectorsPerTrack;
}

// The drive's sector count. A disk's size is rarely a whole number of cylinders: the product of
// the geometry would either drop the last partial cylinder (and with it the end of a partition and
// its backup boot sector) or overstate the capacity by up to a cylinder. When the true size is
// known it is used, whole (capped at the last addressable sector).
std::uint64_t DriveSectors(const DriveSlot& slot)
{
    if (slot.sizeBytes == 0) {
        return TotalSectors32(slot.cylinders, slot.heads, slot.sectorsPerTrack);
    }
    return std::min<std::uint64_t>(slot.sizeBytes / core::kSectorSize, core::kLastSector);
}

}  // namespace

void EnumerateDrives(DriveTable& table, DriveTree& tree, DriveProbe& probe)
{
    table = DriveTable{};
    // Drives with media take the first slots, in drive-number order, so that item k of the tree
    // is slot k; drives without media (an empty card-reader slot is a size-0 disk) follow them,
    // never in front of a disk that could be offered.
    std::vector<unsigned> withoutMedia;
    std::size_t slotCounter = 0;
    for (unsigned n = 0; n < kProbeDriveNumbers && slotCounter < kDriveSlots; ++n) {
        const auto descriptor = probe.QueryDescriptor(n);
        if (!descriptor) {
            continue;
        }
        const DriveGeometry geometry = probe.QueryGeometry(n).value_or(DriveGeometry{});
        if (geometry.sectorsPerTrack == 0) {
            withoutMedia.push_back(n);
            continue;
        }
        DriveSlot& slot = table.slots[slotCounter];
        slot.driveNumber = static_cast<int>(n);
        ++table.driveCount;
        slot.cylinders = static_cast<std::uint32_t>(geometry.cylinders);
        slot.heads = geometry.heads;
        slot.sectorsPerTrack = geometry.sectorsPerTrack;
        slot.sizeBytes = geometry.sizeBytes;
        slot.totalSectors = DriveSectors(slot);
        if (descriptor->usb) {
            slot.model = core::msg::kUsbDevice;
        } else if (!descriptor->productId.empty()) {
            slot.model = descriptor->productId;
        } else {
            slot.model = core::msg::kModelUnknown;
        }
        ++slotCounter;
    }
    for (const unsigned n : withoutMedia) {
        if (slotCounter >= kDriveSlots) {
            break;
        }
        DriveSlot& slot = table.slots[slotCounter];
        slot.driveNumber = static_cast<int>(n);
        slot.model = core::msg::kMediaMissing;
        ++slotCounter;
    }
    table.slotsUsed = static_cast<std::uint16_t>(slotCounter);
    ListDriveItems(table, tree);
}

void EnumerateDrivesBios(DriveTable& table, DriveTree& tree, BiosLibraries& bios)
{
    table = DriveTable{};
    std::uint16_t count = 0;
    if (bios.find_hard_disk32 != nullptr) {
        bios.find_hard_disk32(&count);
    }
    table.driveCount = std::min<std::uint16_t>(count, static_cast<std::uint16_t>(kDriveSlots));
    table.slotsUsed = table.driveCount;
    for (std::uint16_t i = 0; i < table.driveCount; ++i) {
        DriveSlot& slot = table.slots[i];
        const auto biosDrive = static_cast<std::uint8_t>(0x80 + i);
        slot.driveNumber = i;
        slot.hasInt13Extensions = bios.CheckInt13Extension32 != nullptr ? bios.CheckInt13Extension32(biosDrive) : 0;
        bios.hasInt13Extensions[i] = slot.hasInt13Extensions;
        if (bios.get_drive_geometry32 != nullptr) {
            bios.get_drive_geometry32(biosDrive, &slot.cylinders, &slot.heads, &slot.sectorsPerTrack);
        }
        slot.totalSectors = TotalSectors32(slot.cylinders, slot.heads, slot.sectorsPerTrack);
        slot.sizeBytes = std::uint64_t{slot.totalSectors} * 512;
        slot.model = core::msg::kModelUnknown;
    }
    ListDriveItems(table, tree);
}

OpenDriveOutcome OpenSelectedDrive(DiskState& disk, const DriveTable& table, DriveProbe& probe)
{
    CloseDrive(disk);
    OpenDriveOutcome outcome;
    if (disk.selectedDrive >= table.driveCount || disk.selectedDrive >= table.slots.size()) {
        outcome.reason = core::msg::kNoSuchDrive;
        return outcome;
    }
    if (disk.accessMode == 'F') {
        outcome.opened = true;
        return outcome;
    }
    const DriveSlot& slot = table.slots[disk.selectedDrive];
    const auto path = DrivePath(disk.selectedDrive);
    if (!path || slot.driveNumber < 0 || !DrivePath(static_cast<std::size_t>(slot.driveNumber))) {
        outcome.reason = core::msg::kNoDevicePath;
        return outcome;
    }
    const auto number = DriveNumberOfPath(*DrivePath(static_cast<std::size_t>(slot.driveNumber)));
    if (!number) {
        outcome.reason = core::msg::kNoDevicePath;
        return outcome;
    }
    OpenedDrive opened = probe.Open(*number);
    if (!opened.source) {
        outcome.reason = opened.reason;
        outcome.needsRights = opened.needsRights;
        return outcome;
    }
    disk.driveHandle = std::move(opened.source);
    outcome.opened = true;
    return outcome;
}

void CloseDrive(DiskState& disk) { disk.driveHandle.reset(); }

}  // namespace disk
