// The Advance Scan worker and the range checks of the partition step.
#include "advscan/advance_scan.h"

#include <charconv>
#include <limits>
#include <optional>

#include "core/messages.h"

namespace advscan {

namespace {

std::optional<core::Sector> ParseSector(std::string_view text)
{
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || text.front() < '0' || text.front() > '9' || ec != std::errc() || ptr != end ||
        value > core::kLastSector) {
        return std::nullopt;
    }
    return static_cast<core::Sector>(value);
}

}  // namespace

ScanRange CheckScanRange(std::string_view startText, std::string_view endText)
{
    ScanRange range;
    const auto start = ParseSector(startText);
    if (!start) {
        range.check = RangeCheck::StartNotValid;
        return range;
    }
    const auto end = ParseSector(endText);
    if (!end) {
        range.check = RangeCheck::EndNotValid;
        return range;
    }
    range.start = *start;
    range.end = *end;
    range.check = *start < *end ? RangeCheck::Valid : RangeCheck::EndNotAfterStart;
    return range;
}

std::string_view RangeCheckMessage(RangeCheck check)
{
    switch (check) {
    case RangeCheck::Valid:
        return {};
    case RangeCheck::StartNotValid:
        return core::msg::kStartSectorNotValid;
    case RangeCheck::EndNotValid:
        return core::msg::kEndSectorNotValid;
    case RangeCheck::EndNotAfterStart:
        return core::msg::kEndBeforeStart;
    case RangeCheck::StartBeyondDrive:
        return core::msg::kStartBeyondDrive;
    }
    return {};
}

std::string RangeProblemMessage(RangeCheck check, std::uint64_t driveSectors)
{
    std::string text(RangeCheckMessage(check));
    if (check == RangeCheck::StartBeyondDrive) {
        text += std::to_string(driveSectors);
        text += core::msg::kStartBeyondDriveEnd;
    }
    return text;
}

bool ClipScanRange(ScanRange& range, std::uint64_t driveSectors) noexcept
{
    if (range.check != RangeCheck::Valid || driveSectors == 0) {
        return false;
    }
    if (range.start >= driveSectors) {
        range.check = RangeCheck::StartBeyondDrive;
        return false;
    }
    if (range.end <= driveSectors) {
        return false;
    }
    range.end = driveSectors;
    return true;
}

std::string RangeClippedMessage(core::Sector end)
{
    std::string text(core::msg::kRangeClipped);
    text += std::to_string(end);
    return text;
}

catalog::ScanTarget AdvanceScanTarget(core::Sector start, core::Sector end)
{
    catalog::ScanTarget target;
    target.scanType = core::kFsNtfs;
    target.scanStartSector = start;
    target.scanSectorCount = end > start ? end - start : 0;
    target.scanEndSector = end;
    return target;
}

AdvanceScanResult RunAdvanceScan(disk::DiskState& disk, catalog::Catalog& catalog, ntfs::FolderTree& fileSystemTree,
                                 core::ProgressSink& sink, const std::function<void()>& afterSweep)
{
    AdvanceScanResult result;
    result.sweep = SweepSectors(disk, catalog, sink);
    if (afterSweep) {
        afterSweep();
    }
    // A Stop answered while the sweep ended is not carried into the analysis.
    catalog.scanStopFlag.Clear();
    AnalyseFoundStructures(disk, catalog, fileSystemTree, sink);
    result.fileSystems = catalog.fileSystemCount;
    catalog.scanStopFlag.Clear();
    return result;
}

}  // namespace advscan
