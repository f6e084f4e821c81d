// The raw sector sweep: signature tests in place on one chunk buffer, and the decoding of each
// FILE record and INDX buffer hit into the sweep lists.
#include "advscan/sweep.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "core/le_view.h"
#include "core/messages.h"
#include "ntfs/boot_sector.h"
#include "ntfs/file_record.h"
#include "ntfs/fixup.h"
#include "ntfs/ntfs_layout.h"
#include "ntfs/record_names.h"

namespace advscan {

namespace {

constexpr std::size_t kSector = core::kSectorSize;
constexpr std::uint8_t kBootMark0 = 0x55;
constexpr std::uint8_t kBootMark1 = 0xAA;
constexpr std::uint16_t kSweptFileRecordSize = 1024;  // low half of the allocated size at 0x1C
constexpr std::uint8_t kFlagsFolderInUse = 3;
constexpr std::uint32_t kNoOwner = 0xFFFFFFFFu;
constexpr std::uint32_t kLowestOwner = 4;  // owners up to this are system records, not recorded

bool TagAt(const std::uint8_t* bytes, std::size_t offset, const char (&tag)[5]) noexcept
{
    return std::memcmp(bytes + offset, tag, 4) == 0;
}

// Decimal text of a number, without allocating.
class Decimal
{
public:
    explicit Decimal(std::uint64_t value) noexcept
    {
        const auto result = std::to_chars(m_text.data(), m_text.data() + m_text.size(), value);
        m_size = static_cast<std::size_t>(result.ptr - m_text.data());
    }
    std::string_view View() const noexcept { return {m_text.data(), m_size}; }

private:
    std::array<char, 24> m_text{};
    std::size_t m_size = 0;
};

// Fills `out` with `sectors` sectors at `sector`: from the chunk when it holds them all, else
// from the disk (unreadable bytes come back as zeros).
void ReadHit(disk::DiskState& disk, const SweepChunk* chunk, core::Sector sector, std::uint32_t sectors,
             std::span<std::uint8_t> out)
{
    const std::uint64_t bytes = std::uint64_t{sectors} * kSector;
    if (chunk != nullptr && sector >= chunk->first) {
        const std::uint64_t offset = core::SectorOffset(sector - chunk->first);
        if (core::InRange(chunk->bytes.size(), offset, bytes)) {
            std::memcpy(out.data(), chunk->bytes.data() + offset, bytes);
            return;
        }
    }
    disk::ReadSectors(disk, sector, sectors, out.first(bytes));
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) noexcept
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

void ShowCount(core::ProgressSink& sink, int row, std::uint32_t count)
{
    sink.PanelValue(row, Decimal(count).View());
}

// An extension record of base record `base` at `sector`, read and fixed up into `out`: it carries
// "FILE", a 1024-byte allocation, the base reference and, when its header has room for it, its own
// number `number`. Anything else there is not the record sought.
bool ReadExtensionRecord(disk::DiskState& disk, const SweepChunk* chunk, std::uint64_t sector, std::uint32_t base,
                         std::uint32_t number, std::span<std::uint8_t> out)
{
    if (sector > core::kLastSector - 1) {
        return false;
    }
    ReadHit(disk, chunk, static_cast<core::Sector>(sector), ntfs::kFileRecordSectors, out);
    core::LeView view(out);
    if (!TagAt(out.data(), ntfs::kFileSignature, "FILE") ||
        view.U16(ntfs::kFileAllocatedSize) != kSweptFileRecordSize) {
        return false;
    }
    ntfs::ApplyFixup(out);
    const std::uint64_t reference = ntfs::BaseRecordReference(out);
    const auto own = ntfs::RecordNumberField(out);
    return reference != 0 && static_cast<std::uint32_t>(reference) == base && (!own || *own == number);
}

// A base record lacking a Win32 name may keep better names in extension records. The sweep knows
// no MFT layout, so they are looked for where the record's own number (offset 44) puts them if the
// $MFT runs on without a break: 2 sectors per record from the base record's sector. A resident
// attribute list names them; a non-resident one cannot be read without the volume's cluster
// geometry, so the records that follow are tried instead. Each is taken only when it names this
// base record (and, when it tells one, the number expected there).
void BetterNameFromExtensions(disk::DiskState& disk, const SweepChunk* chunk, core::Sector sector,
                              std::span<const std::uint8_t> record, std::optional<ntfs::FileNameInfo>& name)
{
    const auto own = ntfs::RecordNumberField(record);
    const ntfs::AttributeListInfo list = ntfs::FindAttributeList(record);
    if (!own || !list.present) {
        return;
    }
    std::vector<std::uint32_t> holders;
    if (list.resident) {
        ntfs::CollectNameHolders(list.value, *own, holders, ntfs::kExtensionListCapacity);
    } else {
        for (std::uint32_t d = 1; d <= kExtensionProbeRecords && *own <= UINT32_MAX - d; ++d) {
            holders.push_back(*own + d);
        }
    }
    std::array<std::uint8_t, ntfs::kFileRecordSize> extension{};
    for (const std::uint32_t holder : holders) {
        if (name && ntfs::NameRank(name->nameSpace) == 0) {
            return;
        }
        const std::int64_t offset = 2 * (std::int64_t{holder} - std::int64_t{*own});
        if (offset < 0 && static_cast<std::uint64_t>(-offset) > sector) {
            continue;
        }
        const auto at = static_cast<std::uint64_t>(static_cast<std::int64_t>(sector) + offset);
        if (!ReadExtensionRecord(disk, chunk, at, *own, holder, extension)) {
            continue;
        }
        auto candidate = ntfs::FindBestFileName(extension, name ? ntfs::NameRank(name->nameSpace) : ntfs::kNoNameRank);
        if (candidate && ntfs::IsBetterName(name, *candidate)) {
            name = std::move(candidate);
        }
    }
}

}  // namespace

bool RecordFileRecord(disk::DiskState& disk, catalog::Catalog& catalog, core::Sector sector, const SweepChunk* chunk)
{
    std::array<std::uint8_t, ntfs::kFileRecordSize> record{};
    ReadHit(disk, chunk, sector, ntfs::kFileRecordSectors, record);
    ntfs::ApplyFixup(record);

    if (ntfs::IsExtensionRecord(record)) {
        return false;  // a part of another file, never a file of its own
    }
    const std::optional<std::uint8_t> flags = ntfs::RecordFlags(record);
    if (!flags || *flags > kFlagsFolderInUse) {
        return false;
    }
    std::optional<ntfs::FileNameInfo> name = ntfs::FindBestFileName(record);
    if (!name || ntfs::NameRank(name->nameSpace) != 0) {
        BetterNameFromExtensions(disk, chunk, sector, record, name);
    }
    if (!name) {
        return false;
    }
    const bool folder = (*flags & ntfs::kFileFlagDirectory) != 0;
    const std::uint32_t deleted = (*flags & ntfs::kFileFlagInUse) != 0 ? 0 : 1;
    if (folder) {
        catalog::FoundFolderRecord found;
        if (name->name == ".") {
            found.record = kRootRecord;
        } else if (EqualsIgnoringCase(name->name, "$Extend")) {
            found.record = kExtendRecord;
        } else {
            found.record = ntfs::DirectoryNumberFromIndexRoot(record).value_or(0);
        }
        // The run's offset field is signed; the catalog keeps its low 32 bits.
        found.indexStartCluster = static_cast<std::uint32_t>(ntfs::FirstIndexCluster(record).value_or(0));
        found.name = std::move(name->name);
        found.sector = sector;
        found.parent = name->parent;
        found.created = name->created;
        found.changed = name->changed;
        found.deleted = deleted;
        catalog.AddFoundFolder(std::move(found));
        return true;
    }
    catalog::FoundFileRecord found;
    found.name = std::move(name->name);
    found.sector = sector;
    found.parent = name->parent;
    found.created = name->created;
    found.changed = name->changed;
    found.size = ntfs::GetDataSize(record).value_or(0);
    found.deleted = deleted;
    catalog.AddFoundFile(std::move(found));
    return true;
}

bool RecordIndexRecord(disk::DiskState& disk, catalog::Catalog& catalog, core::Sector sector,
                       std::span<const std::uint8_t> firstSector, const SweepChunk* chunk)
{
    core::LeView head(firstSector);
    const std::uint64_t size = std::uint64_t{head.U32(ntfs::kIndxAllocatedSize)} + ntfs::kIndxHeader;
    if (!head.Ok() || size > kMaxIndexRecordBytes || size < kMinIndexRecordBytes) {
        return false;
    }
    const auto sectors = static_cast<std::uint32_t>(size / kSector);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size), 0);
    ReadHit(disk, chunk, sector, sectors, buffer);
    ntfs::ApplyFixup(buffer);

    core::LeView view(buffer);
    const std::uint32_t vcn = view.U32(ntfs::kIndxVcn);
    const std::uint64_t firstEntry = std::uint64_t{view.U32(ntfs::kIndxEntriesOffset)} + ntfs::kIndxHeader;
    const std::uint64_t ownerAt = firstEntry + ntfs::kIeKey + ntfs::kFnParent;
    const std::uint32_t owner = ownerAt < buffer.size() ? view.U32(static_cast<std::size_t>(ownerAt)) : 0;
    if (!view.Ok() || owner <= kLowestOwner || owner == kNoOwner) {
        return false;
    }
    catalog::FoundIndexRecord found;
    found.sector = sector;
    found.owner = owner;
    found.vcn = vcn;
    found.fsNumber = -1;
    found.sectors = static_cast<std::uint8_t>(sectors);  // at most 128
    catalog.AddFoundIndexRecord(found);
    ++catalog.indexRecordCount;
    return true;
}

SweepOutcome SweepSectors(disk::DiskState& disk, catalog::Catalog& catalog, core::ProgressSink& sink)
{
    const catalog::ScanTarget& target = catalog.scanTarget;
    // A chunk of 0 sectors would never advance; the settings never give one, a caller might.
    const std::uint32_t chunkSectors = std::max<std::uint32_t>(disk.readChunkSectors, 1);
    const std::size_t chunkBytes = std::size_t{chunkSectors} * kSector;
    std::vector<std::uint8_t> buffer(chunkBytes + 1, 0);
    const std::span<std::uint8_t> chunkSpan(buffer.data(), chunkBytes);

    sink.Progress(0);
    catalog.scanStopFlag.Clear();
    const std::uint64_t count = target.scanSectorCount;
    constexpr std::uint64_t kLastSector = core::kLastSector;
    std::uint64_t done = 0;
    std::uint32_t tick = 0;
    SweepOutcome outcome = SweepOutcome::Completed;
    while (done < count) {
        if (catalog.scanStopFlag.IsSet()) {
            outcome = SweepOutcome::Stopped;
            break;
        }
        const std::uint64_t current = std::uint64_t{target.scanStartSector} + done;
        if (current > kLastSector) {
            break;  // beyond the last addressable sector
        }
        sink.PanelValue(kPanelRowCurrentSector, Decimal(current).View());
        if (++tick == kSweepStatusEveryReads) {
            sink.Progress(static_cast<int>(std::min<std::uint64_t>(99, done * 100 / count)));
            sink.Amount(done * core::kSectorSize, count * core::kSectorSize, core::AmountUnit::Bytes);
            std::string status(core::msg::kReadingSectorPrefix);
            status += Decimal(done).View();
            status += core::msg::kReadingSectorOf;
            status += Decimal(count).View();
            sink.Status(status);
            tick = 0;
        }
        disk::ReadSectors(disk, current, chunkSectors, chunkSpan);
        const SweepChunk chunk{static_cast<core::Sector>(current), chunkSpan};
        const std::uint64_t sectorsHere = std::min<std::uint64_t>(chunkSectors, kLastSector - current + 1);
        for (std::uint64_t j = 0; j < sectorsHere; ++j) {
            const std::uint8_t* bytes = buffer.data() + j * kSector;
            const auto sector = static_cast<core::Sector>(current + j);
            if (bytes[ntfs::kBootSignature] == kBootMark0 && bytes[ntfs::kBootSignature + 1] == kBootMark1) {
                if (TagAt(bytes, ntfs::kBootOemId, "NTFS")) {
                    catalog.AddBootHit(sector);
                    ++catalog.bootHitCount;
                    ShowCount(sink, kPanelRowBootSectors, catalog.bootHitCount);
                }
            } else if (TagAt(bytes, ntfs::kFileSignature, "FILE")) {
                const auto allocated = static_cast<std::uint16_t>(bytes[ntfs::kFileAllocatedSize] |
                                                                  (bytes[ntfs::kFileAllocatedSize + 1] << 8));
                if (allocated == kSweptFileRecordSize && RecordFileRecord(disk, catalog, sector, &chunk)) {
                    ShowCount(sink, kPanelRowFolders, catalog.foundFolderCount);
                    ShowCount(sink, kPanelRowFiles, catalog.foundFileCount);
                }
            } else if (TagAt(bytes, ntfs::kIndxSignature, "INDX")) {
                if (RecordIndexRecord(disk, catalog, sector, std::span<const std::uint8_t>(bytes, kSector), &chunk)) {
                    ShowCount(sink, kPanelRowIndexRecords, catalog.indexRecordCount);
                }
            }
        }
        done += chunkSectors;
    }
    catalog.scanStopFlag.Clear();
    return outcome;
}

}  // namespace advscan
