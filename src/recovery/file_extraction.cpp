// File extraction: ExtractNtfsFile, ExtractFatFile and the batch admission.
#include "recovery/file_extraction.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "core/checked_math.h"
#include "core/le_view.h"
#include "core/messages.h"
#include "ntfs/file_record.h"
#include "ntfs/fixup.h"
#include "ntfs/ntfs_layout.h"
#include "ntfs/record_names.h"
#include "recovery/lznt1.h"
#include "recovery/output_names.h"

namespace recovery {

namespace {

// FAT entries per 512-byte sector, and the values that end a chain.
constexpr std::uint32_t kFat32EntriesPerSector = 128;
constexpr std::uint32_t kFat16EntriesPerSector = 256;
constexpr std::uint32_t kFat32LastCluster = 0x0FFFFFFE;  // above: the end marker (the top bits are not masked)
constexpr std::uint32_t kFat16End = 0xFFFF;
constexpr std::uint32_t kFirstDataCluster = 2;
// Most "Copy (n ) of" candidates tried before the name counts as not creatable.
constexpr std::uint64_t kMaxCopyCandidates = 1000000;
// Files extracted to be opened are the user's alone.
constexpr unsigned kViewFilePermissions = 0600;
// Most names tried for a file set aside as not written whole ("NAME.partial", "NAME.2.partial", ...).
constexpr std::uint32_t kMaxPartialCandidates = 1000;

constexpr std::uint64_t kMaxReadBytes = std::uint64_t{kMaxReadSectors} * core::kSectorSize;
// Most pieces looked through for clusters that follow on disk when a read of compressed data is
// made longer.
constexpr std::size_t kMaxLookaheadPieces = 4096;

int Percent(std::uint64_t written, std::uint64_t size) noexcept
{
    if (size == 0) {
        return 0;
    }
    const std::uint64_t percent =
        size <= std::numeric_limits<std::uint64_t>::max() / 100 ? written * 100 / size : written / (size / 100);
    return static_cast<int>(std::min<std::uint64_t>(percent, 99));
}

}  // namespace

Extractor::Extractor(disk::DiskState& disk, RecoveryState& state, ExtractionContext context)
    : m_disk(disk), m_state(state), m_context(std::move(context))
{
    m_out.SetHashing(m_context.hashOutput);
}

ClusterGeometry Extractor::Geometry() const noexcept
{
    return ClusterGeometry{m_context.volume.clusterBase, m_context.volume.sectorsPerCluster, m_context.lastSector};
}

bool Extractor::Admit(std::string_view catalogName, int deleted, int batchMode, const std::filesystem::path& folder,
                      bool nameIsFree, ExtractResult& result)
{
    result.name = SafeOutputName(catalogName);
    result.path = folder / result.name;
    m_outputBase = result.name;
    if (batchMode == 0) {
        return true;
    }
    if (m_context.admit && !m_context.admit(catalogName)) {
        result.outcome = ExtractOutcome::FilteredOut;
        return false;
    }
    const DeletedPolicy deletedPolicy = m_context.settings.deletedPolicy;
    if ((deletedPolicy == DeletedPolicy::OnlyDeleted && deleted == 0) ||
        (deletedPolicy == DeletedPolicy::Exclude && deleted != 0)) {
        result.outcome = ExtractOutcome::ExcludedDeleted;
        return false;
    }
    if (nameIsFree || !PathExists(result.path)) {
        return true;
    }
    switch (m_context.settings.duplicatePolicy) {
    case DuplicatePolicy::Skip:
        result.outcome = ExtractOutcome::DuplicateSkipped;
        return false;
    case DuplicatePolicy::Overwrite:
        return true;
    case DuplicatePolicy::Rename:
        break;
    }
    std::uint64_t n = FirstCopyToTry(folder, result.name);
    for (std::uint64_t tries = 0; tries < kMaxCopyCandidates; ++tries, ++n) {
        std::string candidate = CopyCandidateName(n, result.name);
        std::filesystem::path path = folder / candidate;
        ++m_copyNameProbes;
        if (!PathExists(path)) {
            CopyFound(folder, result.name, n);
            result.name = std::move(candidate);
            result.path = std::move(path);
            result.renamed = true;
            return true;
        }
    }
    result.outcome = ExtractOutcome::CreateFailed;
    return false;
}

std::string Extractor::CopyKey(const std::filesystem::path& folder, std::string_view base)
{
    std::string key = folder.native();
    key += '/';
    key += base;
    return key;
}

std::uint64_t Extractor::FirstCopyToTry(const std::filesystem::path& folder, std::string_view base)
{
    const auto it = m_nextCopy.find(CopyKey(folder, base));
    if (it == m_nextCopy.end()) {
        return 1;
    }
    // The copy the last search found is gone (the folder was emptied since): from 1 again.
    ++m_copyNameProbes;
    return PathExists(folder / CopyCandidateName(it->second - 1, base)) ? it->second : 1;
}

void Extractor::CopyFound(const std::filesystem::path& folder, std::string_view base, std::uint64_t n)
{
    m_nextCopy.insert_or_assign(CopyKey(folder, base), n + 1);
}

bool Extractor::CreateOutput(ExtractResult& result, int batchMode)
{
    if (batchMode == 0) {
        // View mode writes into the run's private folder, files readable by the user alone; an
        // earlier copy of the same file is replaced.
        if (m_out.Create(result.path, CreateMode::Replace, kViewFilePermissions) == CreateStatus::Created) {
            return true;
        }
        return CreateFailed(result);
    }
    const DuplicatePolicy policy = m_context.settings.duplicatePolicy;
    const CreateMode mode = policy == DuplicatePolicy::Overwrite ? CreateMode::Replace : CreateMode::New;
    CreateStatus status = m_out.Create(result.path, mode);
    if (status != CreateStatus::Exists) {
        return status == CreateStatus::Created || CreateFailed(result);
    }
    // The name was taken after all: by a file made since it was chosen, or by one that the
    // destination takes for the same name (vfat and exFAT fold case and drop trailing dots and
    // blanks). The duplicate policy applies to it as to any existing file.
    if (policy == DuplicatePolicy::Skip) {
        result.outcome = ExtractOutcome::DuplicateSkipped;
        result.result = 0;
        return false;
    }
    const std::filesystem::path folder = result.path.parent_path();
    std::uint64_t n = FirstCopyToTry(folder, m_outputBase);
    for (std::uint64_t tries = 0; tries < kMaxCopyCandidates; ++tries, ++n) {
        std::string candidate = CopyCandidateName(n, m_outputBase);
        std::filesystem::path path = folder / candidate;
        ++m_copyNameProbes;
        if (PathExists(path)) {
            continue;
        }
        status = m_out.Create(path, CreateMode::New);
        if (status == CreateStatus::Exists) {
            continue;
        }
        CopyFound(folder, m_outputBase, n);
        result.name = std::move(candidate);
        result.path = std::move(path);
        result.renamed = true;
        return status == CreateStatus::Created || CreateFailed(result);
    }
    return CreateFailed(result);
}

bool Extractor::CreateFailed(ExtractResult& result)
{
    result.outcome = ExtractOutcome::CreateFailed;
    result.result = 0;
    std::string message(core::msg::kErrorCreatingFile);
    message += result.path.string();
    message += core::msg::kContinueRecovery;
    const bool goOn = !m_context.askContinue || m_context.askContinue(message);
    if (!goOn) {
        m_state.stopRequested.store(true);
    }
    return false;
}

void Extractor::SetAsidePartial(ExtractResult& result)
{
    if (result.outcome != ExtractOutcome::CutByStop && result.outcome != ExtractOutcome::CutBySkip &&
        result.outcome != ExtractOutcome::WriteFailed) {
        return;
    }
    const std::filesystem::path folder = result.path.parent_path();
    for (std::uint32_t n = 1; n <= kMaxPartialCandidates; ++n) {
        std::string name = PartialName(result.name, n);
        std::filesystem::path path = folder / name;
        const RenameStatus status = RenameNoReplace(result.path, path);
        if (status == RenameStatus::Exists) {
            continue;
        }
        if (status == RenameStatus::Renamed) {
            result.name = std::move(name);
            result.path = std::move(path);
            result.partial = true;
        }
        return;  // not renamed: it stays under its name, and its outcome says it is not whole
    }
}

void Extractor::ShowFile(const ExtractResult& result)
{
    if (m_context.sink == nullptr) {
        return;
    }
    m_context.sink->PanelValue(kSaveRowPath, result.path.string());
    m_context.sink->PanelValue(kSaveRowFileName, result.name);
    m_context.sink->PanelValue(kSaveRowTotalFiles, std::to_string(m_state.filesSaved.load()));
    m_context.sink->Progress(0);
    m_lastPercent = 0;
}

void Extractor::Progress(std::uint64_t written, std::uint64_t size, int batchMode)
{
    if (batchMode == 0 || m_context.sink == nullptr) {
        return;
    }
    const int percent = Percent(written, size);
    if (percent != m_lastPercent) {
        m_lastPercent = percent;
        m_context.sink->Progress(percent);
    }
}

bool Extractor::CutRequested(ExtractResult& result) const
{
    if (m_state.stopRequested.load(std::memory_order_relaxed)) {
        result.outcome = ExtractOutcome::CutByStop;
        return true;
    }
    if (m_state.skipRequested.load(std::memory_order_relaxed)) {
        result.outcome = ExtractOutcome::CutBySkip;
        return true;
    }
    return false;
}

void Extractor::CopyPieces(const std::vector<DataPiece>& pieces, std::uint64_t size, std::uint64_t initializedSize,
                           int batchMode, ExtractResult& result)
{
    const std::uint64_t clusterBytes = std::uint64_t{m_context.volume.sectorsPerCluster} * core::kSectorSize;
    if (m_buffer.size() < kMaxReadBytes) {
        m_buffer.resize(kMaxReadBytes);
    }
    std::uint64_t pos = 0;
    result.outcome = ExtractOutcome::Written;
    for (const DataPiece& piece : pieces) {
        const auto start = core::CheckedMul(piece.vcn, clusterBytes);
        if (!start || *start >= size) {
            break;
        }
        if (*start > pos) {
            result.incomplete = true;  // VCNs no piece maps
            m_out.Zeros(*start - pos);
            pos = *start;
        }
        const auto pieceBytes = core::CheckedMul(piece.clusters, clusterBytes);
        const std::uint64_t end = (!pieceBytes || *pieceBytes > size - *start) ? size : *start + *pieceBytes;
        while (pos < end) {
            if (CutRequested(result)) {
                return;
            }
            std::uint64_t take = std::min(end - pos, kMaxReadBytes);
            if (piece.sparse || pos >= initializedSize) {
                m_out.Zeros(take);
            } else {
                take = std::min(take, initializedSize - pos);
                // Inside the volume: AppendExtentRuns checked every cluster of the piece.
                const std::uint64_t sector = std::uint64_t{m_context.volume.clusterBase} +
                                             piece.lcn * m_context.volume.sectorsPerCluster +
                                             (pos - *start) / core::kSectorSize;
                const auto count = static_cast<std::uint32_t>((take + core::kSectorSize - 1) / core::kSectorSize);
                // From an image file the bytes go across inside the kernel; whatever that does not
                // copy goes through the sector reader as before.
                std::uint64_t copied = 0;
                if (const int image = disk::ImageFileFdFor(m_disk, sector, count); image >= 0) {
                    copied = m_out.CopyFrom(image, core::SectorOffset(sector), take);
                }
                if (copied < take) {
                    const std::uint64_t skip = copied % core::kSectorSize;
                    const std::uint64_t rest = take - copied;
                    const auto restCount =
                        static_cast<std::uint32_t>((skip + rest + core::kSectorSize - 1) / core::kSectorSize);
                    std::uint32_t unreadable = 0;
                    disk::ReadSectorsCounted(m_disk, sector + copied / core::kSectorSize, restCount, m_buffer,
                                             unreadable);
                    result.unreadableSectors += unreadable;
                    m_out.Write(std::span<const std::uint8_t>(m_buffer).subspan(static_cast<std::size_t>(skip),
                                                                                 static_cast<std::size_t>(rest)));
                }
            }
            if (m_out.Failed()) {
                result.outcome = ExtractOutcome::WriteFailed;
                return;
            }
            pos += take;
            Progress(pos, size, batchMode);
        }
    }
    if (pos < size) {
        result.incomplete = true;
        m_out.Zeros(size - pos);
    }
    if (m_out.Failed()) {
        result.outcome = ExtractOutcome::WriteFailed;
    }
}

bool Extractor::FlushStage()
{
    if (m_staged == 0) {
        return !m_out.Failed();  // an empty write would drop a pending hole's length
    }
    const bool ok = m_out.Write(std::span<const std::uint8_t>(m_stage).first(m_staged));
    m_staged = 0;
    return ok;
}

std::span<const std::uint8_t> Extractor::UnitClusters(const UnitExtent& extent, std::span<const DataPiece> pieces,
                                                      ExtractResult& result)
{
    const std::uint64_t spc = m_context.volume.sectorsPerCluster;
    const std::uint64_t clusterBytes = spc * core::kSectorSize;
    if (extent.lcn < m_windowLcn || extent.lcn - m_windowLcn > m_windowClusters ||
        extent.clusters > m_windowClusters - (extent.lcn - m_windowLcn)) {
        // A new read from the extent on, made as long as the clusters of this piece and of the
        // pieces after it follow one another on disk (the units of a compressed file usually do,
        // with sparse pieces between them).
        const std::uint64_t maxClusters = kMaxReadBytes / clusterBytes;  // at least one unit
        const DataPiece& holder = pieces[extent.piece];
        std::uint64_t clusters = holder.lcn + holder.clusters - extent.lcn;
        std::uint64_t next = holder.lcn + holder.clusters;
        const std::size_t lookEnd = std::min(pieces.size(), extent.piece + 1 + kMaxLookaheadPieces);
        for (std::size_t i = extent.piece + 1; i < lookEnd && clusters < maxClusters; ++i) {
            if (pieces[i].sparse) {
                continue;
            }
            if (pieces[i].lcn != next) {
                break;
            }
            clusters += pieces[i].clusters;
            next += pieces[i].clusters;
        }
        clusters = std::min(clusters, maxClusters);
        // Inside the volume: AppendExtentRuns checked every cluster of every piece.
        const std::uint64_t sector = std::uint64_t{m_context.volume.clusterBase} + extent.lcn * spc;
        std::uint32_t unreadable = 0;
        disk::ReadSectorsCounted(m_disk, sector, static_cast<std::uint32_t>(clusters * spc), m_buffer, unreadable);
        result.unreadableSectors += unreadable;
        m_windowLcn = extent.lcn;
        m_windowClusters = clusters;
    }
    return std::span<const std::uint8_t>(m_buffer).subspan(
        static_cast<std::size_t>((extent.lcn - m_windowLcn) * clusterBytes),
        static_cast<std::size_t>(extent.clusters * clusterBytes));
}

void Extractor::CopyCompressed(const DataMap& map, std::uint64_t size, int batchMode, ExtractResult& result)
{
    const std::uint64_t clusterBytes = std::uint64_t{m_context.volume.sectorsPerCluster} * core::kSectorSize;
    const std::uint64_t unitBytes = map.compressionUnitClusters * clusterBytes;  // at most 64 KiB (MapNtfsData)
    if (m_buffer.size() < kMaxReadBytes) {
        m_buffer.resize(kMaxReadBytes);
    }
    if (m_stage.size() < kMaxReadBytes) {
        m_stage.resize(kMaxReadBytes);
    }
    m_unit.resize(static_cast<std::size_t>(unitBytes));
    m_windowClusters = 0;
    m_staged = 0;
    CompressionUnitWalker walker(map.pieces, map.compressionUnitClusters);
    UnitLayout layout;
    std::uint64_t pos = 0;
    std::uint64_t unit = 0;
    result.outcome = ExtractOutcome::Written;
    while (pos < size) {
        if (CutRequested(result)) {
            FlushStage();
            return;
        }
        const std::uint64_t left = size - pos;
        walker.Describe(unit, layout);
        const bool zeros = layout.storage == UnitStorage::Sparse || layout.storage == UnitStorage::Unmapped;
        if (zeros || pos >= map.initializedSize) {
            // Holes, units no piece maps, and everything past the initialized size: zeros, unread.
            result.incomplete = result.incomplete || layout.storage == UnitStorage::Unmapped;
            std::uint64_t n = left;
            if (zeros && pos < map.initializedSize) {
                n = layout.units > left / unitBytes ? left : layout.units * unitBytes;
            }
            FlushStage();
            m_out.Zeros(n);
            pos += n;
            unit += n / unitBytes;
            Progress(pos, size, batchMode);
            continue;
        }
        const std::size_t take = static_cast<std::size_t>(std::min(left, unitBytes));
        const std::span<std::uint8_t> out = std::span<std::uint8_t>(m_stage).subspan(m_staged, static_cast<std::size_t>(unitBytes));
        if (layout.storage == UnitStorage::Stored) {
            std::size_t at = 0;
            for (const UnitExtent& extent : layout.extents) {
                const auto bytes = UnitClusters(extent, map.pieces, result);
                std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
                at += bytes.size();
            }
        } else {
            std::size_t at = 0;
            for (const UnitExtent& extent : layout.extents) {
                const auto bytes = UnitClusters(extent, map.pieces, result);
                std::copy(bytes.begin(), bytes.end(), m_unit.begin() + static_cast<std::ptrdiff_t>(at));
                at += bytes.size();
            }
            if (!DecompressLznt1(std::span<const std::uint8_t>(m_unit).first(at), out)) {
                // A damaged unit: zeros in its place, the rest of the file still decoded.
                std::fill(out.begin(), out.end(), std::uint8_t{0});
                result.incomplete = true;
            }
        }
        if (map.initializedSize - pos < take) {
            std::fill(out.begin() + static_cast<std::ptrdiff_t>(map.initializedSize - pos), out.end(), std::uint8_t{0});
        }
        m_staged += take;
        if (m_stage.size() - m_staged < unitBytes && !FlushStage()) {
            result.outcome = ExtractOutcome::WriteFailed;
            return;
        }
        pos += take;
        ++unit;
        Progress(pos, size, batchMode);
    }
    if (!FlushStage() || m_out.Failed()) {
        result.outcome = ExtractOutcome::WriteFailed;
    }
}

std::optional<ExtractOutcome> CheckRecordOfFile(std::span<std::uint8_t> record, const RecordIdentity& expected)
{
    const std::uint32_t expectedRecord = expected.record;
    if (record.size() < ntfs::kFileRecordSize || !ntfs::HasFileSignature(record)) {
        return ExtractOutcome::RecordNotFile;
    }
    const auto fileRecord = record.first(ntfs::kFileRecordSize);
    if (!ntfs::ApplyFixupChecked(fileRecord).sequenceMatched) {
        return ExtractOutcome::RecordTorn;
    }
    constexpr std::uint64_t kRecordNumberMask = 0xFFFFFFFFFFFFull;  // a reference's low 48 bits
    const std::uint64_t base = ntfs::BaseRecordReference(fileRecord) & kRecordNumberMask;
    if (base != 0) {
        return base == expectedRecord ? std::nullopt : std::optional(ExtractOutcome::RecordOfOtherFile);
    }
    // A number field of 0 is left unset by some writers (record 0 is $MFT's own).
    if (const auto own = ntfs::RecordNumberField(fileRecord); own && *own != 0 && *own != expectedRecord) {
        return ExtractOutcome::RecordOfOtherFile;
    }
    // With an attribute list the name the catalog chose may lie in an extension record; a record
    // that names no file at all is judged by its number alone.
    if (!ntfs::FindAttributeList(fileRecord).present) {
        const std::optional<ntfs::FileNameInfo> best = ntfs::FindBestFileName(fileRecord);
        if (best && (best->parent != expected.parent || best->created != expected.created)) {
            return ExtractOutcome::RecordOfOtherFile;
        }
    }
    return std::nullopt;
}

ExtractResult Extractor::ExtractNtfsFile(const NtfsExtractRequest& request)
{
    ExtractResult result;
    if (request.size == 0) {
        result.outcome = ExtractOutcome::EmptyFile;
        return result;
    }
    if (!Admit(request.name, request.deleted, request.batchMode, request.destinationFolder, request.nameIsFree,
               result)) {
        return result;
    }
    if (request.batchMode != 0) {
        ShowFile(result);
    }
    m_record.assign(ntfs::kFileRecordSize, 0);
    if (request.expected) {
        std::uint32_t unreadable = 0;
        disk::ReadSectorsCounted(m_disk, request.recordSector, static_cast<std::uint32_t>(ntfs::kFileRecordSectors),
                                 m_record, unreadable);
        result.unreadableSectors += unreadable;
        const std::optional<ExtractOutcome> mismatch = CheckRecordOfFile(m_record, *request.expected);
        if (mismatch) {
            result.outcome = *mismatch;
            return result;
        }
    } else {
        result.unreadableSectors += ReadFileRecord(m_disk, request.recordSector, m_record);
    }
    const DataMap map = MapNtfsData(m_disk, m_record, request.recordSector, Geometry(), m_context.mftMap);

    switch (map.kind) {
    case DataKind::None:
        result.outcome = ExtractOutcome::NoDataAttribute;
        return result;
    case DataKind::Resident: {
        if (request.size > map.resident.size()) {
            result.outcome = ExtractOutcome::ResidentTooLarge;
            return result;
        }
        if (!CreateOutput(result, request.batchMode)) {
            return result;
        }
        m_out.Write(map.resident.first(static_cast<std::size_t>(request.size)));
        result.outcome = m_out.Close() ? ExtractOutcome::Written : ExtractOutcome::WriteFailed;
        break;
    }
    case DataKind::NonResident: {
        if (map.pieces.empty()) {
            result.outcome = ExtractOutcome::NoDecodableRun;
            return result;
        }
        m_state.skipRequested.store(false);
        if (request.batchMode != 0 && m_state.stopRequested.load()) {
            result.outcome = ExtractOutcome::NotStarted;
            return result;
        }
        if (!CreateOutput(result, request.batchMode)) {
            return result;
        }
        result.incomplete = map.incomplete;
        if (map.compressionUnitClusters != 0) {
            CopyCompressed(map, request.size, request.batchMode, result);
        } else {
            CopyPieces(map.pieces, request.size, map.initializedSize, request.batchMode, result);
        }
        if (!m_out.Close() && result.outcome != ExtractOutcome::CutByStop && result.outcome != ExtractOutcome::CutBySkip) {
            result.outcome = ExtractOutcome::WriteFailed;
        }
        break;
    }
    }
    result.bytesWritten = m_out.Position();
    result.sha256 = m_out.Digest();
    result.result = result.outcome == ExtractOutcome::WriteFailed ? 0 : 1;
    if (request.batchMode != 0) {
        SetAsidePartial(result);
        if (result.result == 1) {
            m_state.filesSaved.fetch_add(1);
        }
    }
    return result;
}

std::vector<std::uint32_t> Extractor::WalkFatChain(std::uint32_t firstCluster, std::uint32_t n, core::Sector fatStart)
{
    std::vector<std::uint32_t> chain{firstCluster};
    const core::FsTypeCode type = m_context.volume.type;
    if (fatStart == 0 || (type != core::kFsFat32 && type != core::kFsFat16)) {
        return chain;
    }
    const ClusterGeometry geometry = Geometry();
    const std::uint64_t spc = geometry.sectorsPerCluster;
    const std::uint64_t limit = geometry.lastSector != 0 ? geometry.lastSector : core::kLastSector;
    std::vector<std::uint8_t> sector(core::kSectorSize);
    std::uint64_t cachedSector = std::numeric_limits<std::uint64_t>::max();
    std::uint32_t current = firstCluster;
    while (chain.size() < std::uint64_t{n} + 1) {
        if (m_state.stopRequested.load(std::memory_order_relaxed) ||
            m_state.skipRequested.load(std::memory_order_relaxed)) {
            break;
        }
        const bool fat32 = type == core::kFsFat32;
        const std::uint32_t perSector = fat32 ? kFat32EntriesPerSector : kFat16EntriesPerSector;
        const std::uint64_t at = std::uint64_t{fatStart} + current / perSector;
        if (at != cachedSector) {
            std::uint32_t unreadable = 0;
            disk::ReadSectorsCounted(m_disk, at, 1, sector, unreadable);
            if (unreadable != 0) {
                break;
            }
            cachedSector = at;
        }
        core::LeView view(sector);
        const std::size_t index = current % perSector;
        const std::uint32_t value = fat32 ? view.U32(index * 4) : view.U16(index * 2);
        if (value < kFirstDataCluster || (fat32 ? value > kFat32LastCluster : value == kFat16End)) {
            break;
        }
        const std::uint64_t clusterSector = geometry.clusterBase + spc * value;
        if (spc == 0 || clusterSector + spc - 1 > limit) {
            break;
        }
        chain.push_back(value);
        current = value;
    }
    return chain;
}

ExtractResult Extractor::ExtractFatFile(const FatExtractRequest& request)
{
    ExtractResult result;
    if (m_state.stopRequested.load()) {
        result.outcome = ExtractOutcome::NotStarted;
        return result;
    }
    m_state.skipRequested.store(false);
    if (!Admit(request.name, request.deleted, request.batchMode, request.destinationFolder, request.nameIsFree,
               result)) {
        return result;
    }
    if (!CreateOutput(result, request.batchMode)) {
        return result;
    }
    if (request.batchMode != 0) {
        ShowFile(result);
    }
    const std::uint64_t clusterBytes = std::uint64_t{m_context.volume.sectorsPerCluster} * core::kSectorSize;
    const auto n = static_cast<std::uint32_t>(clusterBytes == 0 ? 0 : (std::uint64_t{request.size} + clusterBytes - 1) / clusterBytes);
    std::vector<std::uint32_t> chain = WalkFatChain(request.firstCluster, n, m_context.volume.fat1Start);
    if (chain.size() != n) {
        chain = WalkFatChain(request.firstCluster, n, m_context.volume.fat2Start);
    }
    std::vector<DataPiece> pieces;
    if (chain.size() == n) {
        for (std::size_t i = 0; i < chain.size(); ++i) {
            if (!pieces.empty() && pieces.back().lcn + pieces.back().clusters == chain[i]) {
                ++pieces.back().clusters;
            } else {
                pieces.push_back(DataPiece{i, 1, chain[i], false});
            }
        }
    } else if (n != 0 && clusterBytes != 0) {
        // No usable chain: the clusters are taken as contiguous, as far as the volume reaches.
        const std::uint64_t spc = m_context.volume.sectorsPerCluster;
        const std::uint64_t limit =
            m_context.lastSector != 0 ? m_context.lastSector : core::kLastSector;
        const std::uint64_t first = std::uint64_t{m_context.volume.clusterBase} + spc * request.firstCluster;
        const std::uint64_t fit = first > limit ? 0 : (limit - first + 1) / spc;
        const std::uint64_t clusters = std::min<std::uint64_t>(n, fit);
        if (clusters != 0) {
            pieces.push_back(DataPiece{0, clusters, request.firstCluster, false});
        }
    }
    CopyPieces(pieces, request.size, std::numeric_limits<std::uint64_t>::max(), request.batchMode, result);
    if (!m_out.Close() && result.outcome != ExtractOutcome::CutByStop && result.outcome != ExtractOutcome::CutBySkip) {
        result.outcome = ExtractOutcome::WriteFailed;
    }
    result.bytesWritten = m_out.Position();
    result.sha256 = m_out.Digest();
    result.result = result.outcome == ExtractOutcome::WriteFailed ? 0 : 1;
    if (request.batchMode != 0) {
        SetAsidePartial(result);
        if (result.result == 1) {
            m_state.filesSaved.fetch_add(1);
        }
    }
    return result;
}

}  // namespace recovery
