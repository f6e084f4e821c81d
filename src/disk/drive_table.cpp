// Drive paths, item texts and the drive information panel.
#include "disk/drive_table.h"

#include <charconv>

#include "core/messages.h"

namespace disk {

std::optional<unsigned> DriveNumberOfPath(std::string_view path)
{
    for (std::size_t k = 0; k < drivePaths.size(); ++k) {
        if (drivePaths[k] == path) {
            return static_cast<unsigned>(k);
        }
    }
    return std::nullopt;
}

std::string DriveItemText(unsigned index) { return std::string(core::msg::kStorageDevice) + std::to_string(index); }

std::optional<std::uint16_t> SelectedDriveFromItem(std::string_view itemText)
{
    const std::size_t prefix = core::msg::kStorageDevice.size();
    if (itemText.size() <= prefix) {
        return std::nullopt;
    }
    const std::string_view digits = itemText.substr(prefix);
    std::uint16_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

std::string CapacityText(std::uint64_t totalSectors)
{
    return std::to_string(totalSectors / 2048) + std::string(core::msg::kCapacitySuffix);
}

std::optional<DriveInfo> ShowDriveInfo(const DriveTable& table, std::size_t index)
{
    if (index >= table.slots.size()) {
        return std::nullopt;
    }
    const DriveSlot& slot = table.slots[index];
    return DriveInfo{slot.model, CapacityText(slot.totalSectors), std::to_string(slot.cylinders),
                     std::to_string(slot.heads), std::to_string(slot.sectorsPerTrack)};
}

}  // namespace disk
