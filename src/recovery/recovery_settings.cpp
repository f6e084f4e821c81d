// Recovery settings: defaults, the dialog's selections and their validated application.
#include "recovery/recovery_settings.h"

#include <algorithm>
#include <charconv>

namespace recovery {
namespace {

bool ValidDuplicate(DuplicatePolicy p)
{
    return p == DuplicatePolicy::Rename || p == DuplicatePolicy::Overwrite || p == DuplicatePolicy::Skip;
}

bool ValidDeleted(DeletedPolicy p)
{
    return p == DeletedPolicy::Include || p == DeletedPolicy::OnlyDeleted || p == DeletedPolicy::Exclude;
}

std::optional<std::uint64_t> ParseInRange(std::string_view text, std::uint64_t low, std::uint64_t high)
{
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

void SetDefaultSettings(disk::DiskState& disk, RecoverySettings& settings)
{
    disk.readChunkSectors = disk.accessMode == 'F' ? disk::kDefaultChunkSectorsF : disk::kDefaultChunkSectorsN;
    disk.readRetryCount = disk::kDefaultRetryCount;
    settings = RecoverySettings{};
}

SettingsChoice ChoiceFromSettings(const disk::DiskState& disk, const RecoverySettings& settings)
{
    SettingsChoice choice;
    choice.sectorsIndex = std::clamp(disk.readChunkSectors, kMinReadChunkSectors, kMaxReadChunkSectors) - 1;
    choice.retriesIndex =
        static_cast<std::size_t>(std::clamp(disk.readRetryCount, kMinReadRetryCount, kMaxReadRetryCount) - 1);
    if (ValidDuplicate(settings.duplicatePolicy)) {
        choice.duplicate = settings.duplicatePolicy;
    }
    if (ValidDeleted(settings.deletedPolicy)) {
        choice.deleted = settings.deletedPolicy;
    }
    choice.minRecoverable = std::min(settings.minRecoverable, kMaxMinRecoverable);
    return choice;
}

ApplyOutcome ApplyChoice(const SettingsChoice& choice, disk::DiskState& disk, RecoverySettings& settings)
{
    if (choice.sectorsIndex >= kSectorsEntryCount) {
        return ApplyOutcome::SectorsOutOfRange;
    }
    if (choice.retriesIndex >= kRetriesEntryCount) {
        return ApplyOutcome::RetriesOutOfRange;
    }
    if ((choice.duplicate && !ValidDuplicate(*choice.duplicate)) || (choice.deleted && !ValidDeleted(*choice.deleted))) {
        return ApplyOutcome::PolicyOutOfRange;
    }
    if (choice.minRecoverable > kMaxMinRecoverable) {
        return ApplyOutcome::MinimumOutOfRange;
    }
    disk.readChunkSectors = static_cast<std::uint32_t>(choice.sectorsIndex + 1);
    disk.readRetryCount = static_cast<std::uint16_t>(choice.retriesIndex + 1);
    if (choice.duplicate) {
        settings.duplicatePolicy = *choice.duplicate;
    }
    if (choice.deleted) {
        settings.deletedPolicy = *choice.deleted;
    }
    settings.minRecoverable = choice.minRecoverable;
    return ApplyOutcome::Applied;
}

std::string SectorsEntry(std::size_t index) { return std::to_string(index + 1); }

std::string RetriesEntry(std::size_t index) { return std::to_string(index + 1); }

std::optional<std::uint32_t> ParseReadChunkSectors(std::string_view text)
{
    const auto v = ParseInRange(text, kMinReadChunkSectors, kMaxReadChunkSectors);
    return v ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*v)) : std::nullopt;
}

std::optional<std::uint16_t> ParseReadRetryCount(std::string_view text)
{
    const auto v = ParseInRange(text, kMinReadRetryCount, kMaxReadRetryCount);
    return v ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(*v)) : std::nullopt;
}

std::optional<std::uint8_t> ParseMinRecoverable(std::string_view text)
{
    const auto v = ParseInRange(text, 0, kMaxMinRecoverable);
    return v ? std::optional<std::uint8_t>(static_cast<std::uint8_t>(*v)) : std::nullopt;
}

}  // namespace recovery
