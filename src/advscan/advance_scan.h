// The Advance Scan worker: the range of sectors the partition step asks for, the sweep and the
// analysis that lists the file systems found.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "advscan/analysis.h"
#include "advscan/sweep.h"
#include "core/progress.h"
#include "core/types.h"
#include "disk/disk_state.h"
#include "catalog/catalog.h"
#include "ntfs/folder_tree.h"

namespace advscan {

enum class RangeCheck
{
    Valid,
    StartNotValid,     // "Start Sector" is not an unsigned decimal sector number
    EndNotValid,       // "End Sector" likewise
    EndNotAfterStart,  // start >= end
    StartBeyondDrive,  // start at or past the drive's last sector (ClipScanRange)
};

struct ScanRange
{
    RangeCheck check = RangeCheck::StartNotValid;
    core::Sector start = 0;
    core::Sector end = 0;
};

// The checks of the "Start Sector" and "End Sector" boxes, in this order: each must be digits
// only (no sign, no blanks) of a value up to core::kLastSector, and start must lie below end.
ScanRange CheckScanRange(std::string_view startText, std::string_view endText);

// Clips a valid range to a drive of `driveSectors` sectors (0: size unknown, nothing changes):
// an end past the drive becomes the drive's sector count, the value the End Sector box starts
// with. Returns true when the end was clipped. A start at or past the drive's end turns the check
// into StartBeyondDrive.
bool ClipScanRange(ScanRange& range, std::uint64_t driveSectors) noexcept;

// The message telling that a range was clipped to end at `end`.
std::string RangeClippedMessage(core::Sector end);

// The system's message for a failed check (empty for Valid). StartBeyondDrive has no fixed text:
// RangeProblemMessage gives it with the drive's size.
std::string_view RangeCheckMessage(RangeCheck check);
// The message for any failed check, the drive's size included where it matters.
std::string RangeProblemMessage(RangeCheck check, std::uint64_t driveSectors);

// The scan target of an Advance Scan over [start, end): NTFS, scanSectorCount = end - start,
// scanEndSector = end as entered.
catalog::ScanTarget AdvanceScanTarget(core::Sector start, core::Sector end);

struct AdvanceScanResult
{
    SweepOutcome sweep = SweepOutcome::Completed;
    std::uint16_t fileSystems = 0;  // fileSystemCount after the analysis
};

// The worker's work after the wizard emptied the sweep lists and set catalog.scanTarget: the
// sweep (Stop ends it early), then `afterSweep` (the window hides Stop: the analysis cannot be
// stopped), then the analysis on whatever was found, its "NTFS @" items going under the root of
// `fileSystemTree`. The stop flag is cleared before the analysis and is clear on return. Throws
// std::bad_alloc when memory runs out.
AdvanceScanResult RunAdvanceScan(disk::DiskState& disk, catalog::Catalog& catalog, ntfs::FolderTree& fileSystemTree,
                                 core::ProgressSink& sink, const std::function<void()>& afterSweep = {});

}  // namespace advscan
