// The table of physical drives, their device paths and the drive tree shown at the drive step.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace disk {

inline constexpr std::size_t kDriveSlots = 32;
inline constexpr std::size_t kDrivePathCount = 10;
inline constexpr unsigned kProbeDriveNumbers = 16;  // mode N probes drive numbers 0..15

struct DriveSlot
{
    std::uint32_t cylinders = 0;        // low 32 bits of the reported cylinder count
    std::uint32_t heads = 0;            // tracks per cylinder
    std::uint32_t sectorsPerTrack = 0;
    std::uint64_t totalSectors = 0;     // sectors of the drive: its true size when known, else
                                        // cylinders x heads x sectors per track in 32 bits
    std::string model;                  // "Model" of the information panel
    std::int32_t hasInt13Extensions = 0; // mode F: CheckInt13Extension32's answer; 0 in mode N
    // Kept beside the geometry so that item k always reads the drive whose details it shows:
    int driveNumber = -1;               // the drive number this slot was filled from; -1 = empty
    std::uint64_t sizeBytes = 0;        // true size reported by the drive (0: unknown or no media)
};

struct DriveTable
{
    std::uint16_t driveCount = 0;  // drives offered in the drive tree
    std::uint16_t slotsUsed = 0;   // the slot counter at the end of enumeration (mode N)
    std::array<DriveSlot, kDriveSlots> slots{};
};

// The ten device paths, "\\.\PhysicalDrive0" .. "\\.\PhysicalDrive9". Slot 10 and above have
// none; on Linux entry k stands for the k-th discovered drive.
inline constexpr std::array<std::string_view, kDrivePathCount> drivePaths = {
    R"(\\.\PhysicalDrive0)", R"(\\.\PhysicalDrive1)", R"(\\.\PhysicalDrive2)", R"(\\.\PhysicalDrive3)",
    R"(\\.\PhysicalDrive4)", R"(\\.\PhysicalDrive5)", R"(\\.\PhysicalDrive6)", R"(\\.\PhysicalDrive7)",
    R"(\\.\PhysicalDrive8)", R"(\\.\PhysicalDrive9)"};

// The path of drive `index`, empty for 10 and above.
constexpr std::optional<std::string_view> DrivePath(std::size_t index) noexcept
{
    if (index >= drivePaths.size()) {
        return std::nullopt;
    }
    return drivePaths[index];
}

// The drive number a path of drivePaths names, or empty for anything else.
std::optional<unsigned> DriveNumberOfPath(std::string_view path);

// The drive tree of the drive step: root "My Computer" and one "Storage Device<i>" per drive.
struct DriveTree
{
    std::string rootText = "My Computer";
    std::vector<std::string> items;
    bool rootExpanded = false;
};

// "Storage Device" followed directly by `index` in decimal.
std::string DriveItemText(unsigned index);

// The drive index an item text names: the decimal number after its first 14 characters. Empty
// when the text does not end in a number (the root item, or anything else).
std::optional<std::uint16_t> SelectedDriveFromItem(std::string_view itemText);

// The five values of the drive information panel.
struct DriveInfo
{
    std::string model;
    std::string capacity;  // totalSectors / 2048 + " MB ( Approx )"
    std::string cylinders;
    std::string head;
    std::string sectorsPerTrack;
};

// The panel values of slot `index`; empty when the index is not a slot.
std::optional<DriveInfo> ShowDriveInfo(const DriveTable& table, std::size_t index);

// The capacity text of a drive of `totalSectors` sectors.
std::string CapacityText(std::uint64_t totalSectors);

}  // namespace disk
