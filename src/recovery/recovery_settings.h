// Recovery settings: sectors per read and retries on bad sectors (held in the disk state), the
// duplicate-file and deleted-file policies, their defaults, and the validated apply routine the
// "Recovery Settings" dialog and the command line's --chunk/--retries options go through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "disk/disk_state.h"

namespace recovery {

// What batch recovery does when the output file exists already.
enum class DuplicatePolicy : std::uint16_t
{
    Rename = 1,     // write under the first free name "Copy (n ) of name"
    Overwrite = 2,  // replace the existing file
    Skip = 3,       // keep the existing file and write nothing
};

// Which entries batch recovery copies by their deleted mark.
enum class DeletedPolicy : std::uint16_t
{
    Include = 1,      // deleted and present alike
    OnlyDeleted = 2,  // only entries marked deleted
    Exclude = 3,      // only entries not marked deleted
};

// The two policies of batch recovery; one per session. Written only while no recovery runs.
struct RecoverySettings
{
    DuplicatePolicy duplicatePolicy = DuplicatePolicy::Rename;
    DeletedPolicy deletedPolicy = DeletedPolicy::Include;
    // Only deleted files rated at least this share (0..100) are copied; 0 copies every file.
    // Files that are not rated (live ones, no data clusters) or whose rating is not known pass.
    std::uint8_t minRecoverable = 0;
};

// Whether a file of this rating (ShownFile::recoverable) falls below the minimum.
constexpr bool BelowMinimumRecoverable(std::uint8_t recoverable, std::uint8_t minimum) noexcept
{
    return minimum != 0 && recoverable <= 100 && recoverable < minimum;
}

// The minimum's range, and its entries in the dialog's list: "Any", then 10 .. 100 in steps of 10.
inline constexpr std::uint8_t kMaxMinRecoverable = 100;
inline constexpr std::size_t kMinRecoverableEntryCount = 11;

// Ranges of the two disk settings (the dialog's lists hold exactly these values, in order).
inline constexpr std::uint32_t kMinReadChunkSectors = 1;
inline constexpr std::uint32_t kMaxReadChunkSectors = 100;
inline constexpr std::uint16_t kMinReadRetryCount = 1;
inline constexpr std::uint16_t kMaxReadRetryCount = 10;

// The defaults of every start, once the access mode is known: 60 sectors per read in mode 'N',
// 8 in mode 'F'; 3 retries; rename duplicates; include deleted files.
void SetDefaultSettings(disk::DiskState& disk, RecoverySettings& settings);

// The state of the dialog's controls. The lists are 0-based: entry i of the sectors list is
// i + 1 sectors, entry i of the retries list i + 1 retries. A radio group with no button chosen
// is empty and keeps its setting on OK.
struct SettingsChoice
{
    std::size_t sectorsIndex = 0;
    std::size_t retriesIndex = 0;
    std::optional<DuplicatePolicy> duplicate;
    std::optional<DeletedPolicy> deleted;
    std::uint8_t minRecoverable = 0;  // 0..100
};

// The controls as the dialog opens: list entries readChunkSectors - 1 and readRetryCount - 1
// (a value outside its range, which no dialog or option can set, selects the nearest entry) and
// the buttons of the current policies.
SettingsChoice ChoiceFromSettings(const disk::DiskState& disk, const RecoverySettings& settings);

enum class ApplyOutcome
{
    Applied,
    SectorsOutOfRange,   // sectorsIndex is past the last entry
    RetriesOutOfRange,   // retriesIndex is past the last entry
    PolicyOutOfRange,    // a policy value other than 1, 2 or 3
    MinimumOutOfRange,   // a minimum share above 100
};

// OK: checks every control first and, only when all are in range, sets readChunkSectors =
// sectorsIndex + 1, readRetryCount = retriesIndex + 1 and the chosen policies. Anything but
// Applied changes nothing. (Cancel is simply not calling this.)
ApplyOutcome ApplyChoice(const SettingsChoice& choice, disk::DiskState& disk, RecoverySettings& settings);

// The entries of the two lists: "1" .. "100" and "1" .. "10".
std::string SectorsEntry(std::size_t index);
std::string RetriesEntry(std::size_t index);
inline constexpr std::size_t kSectorsEntryCount = kMaxReadChunkSectors;
inline constexpr std::size_t kRetriesEntryCount = kMaxReadRetryCount;

// Command-line values: a plain decimal number in range, else empty (the caller prints
// kChunkOptionRange / kRetriesOptionRange of messages.h).
std::optional<std::uint32_t> ParseReadChunkSectors(std::string_view text);
std::optional<std::uint16_t> ParseReadRetryCount(std::string_view text);
// --min-recoverable: a plain decimal number 0..100.
std::optional<std::uint8_t> ParseMinRecoverable(std::string_view text);

}  // namespace recovery
