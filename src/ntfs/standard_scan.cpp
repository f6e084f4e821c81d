// The Standard Scan: volume parameters, the $MFT run table, the MFT walk and its closing steps.
#include "ntfs/standard_scan.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/checked_math.h"
#include "core/le_view.h"
#include "core/messages.h"
#include "ntfs/attribute_walk.h"
#include "ntfs/boot_sector.h"
#include "ntfs/data_runs.h"
#include "ntfs/file_record.h"
#include "ntfs/fixup.h"
#include "ntfs/ntfs_layout.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/record_names.h"
#include "ntfs/tree_builder.h"

namespace ntfs {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kSectorLimit = core::kLastSector + 1;
constexpr std::uint32_t kRecord5SectorOffset = 10;  // record 5 lies 10 sectors after record 0

// Reads `count` sectors at `sector` into the front of `buffer`, which is zeroed first so nothing
// of an earlier read survives whatever the reader does with a failing sector.
void ReadZeroed(disk::DiskState& disk, std::uint64_t sector, std::uint32_t count, std::span<std::uint8_t> buffer)
{
    const auto out = buffer.first(std::size_t{count} * core::kSectorSize);
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    if (sector < kSectorLimit) {
        disk::ReadSectors(disk, sector, count, out);
    }
}

// ---- Volume parameters -----------------------------------------------------------------------

// The two boot sectors of a partition, read on demand; "the other one" is always relative to the
// one last read.
class BootSectors
{
public:
    BootSectors(disk::DiskState& disk, const catalog::ScanTarget& target) : m_disk(disk), m_target(target) {}

    // Reads the first (false) or the last (true) sector of the partition; it becomes current.
    std::span<const std::uint8_t> Read(bool copy)
    {
        m_currentIsCopy = copy;
        ReadZeroed(m_disk, copy ? m_target.scanEndSector : m_target.scanStartSector, 1, m_sector);
        return m_sector;
    }
    std::span<const std::uint8_t> ReadOther() { return Read(!m_currentIsCopy); }
    std::span<const std::uint8_t> Current() const { return m_sector; }

private:
    disk::DiskState& m_disk;
    const catalog::ScanTarget& m_target;
    std::array<std::uint8_t, core::kSectorSize> m_sector{};
    bool m_currentIsCopy = false;
};

std::uint32_t ClusterField(std::span<const std::uint8_t> boot, std::size_t offset)
{
    core::LeView view(boot);
    return view.U32(offset);  // low half of the 64-bit LCN
}

// Absolute sector clusterBase + spc * cluster, or empty beyond the last addressable sector.
std::optional<core::Sector> ClusterSector(core::Sector clusterBase, std::uint32_t spc, std::uint64_t cluster)
{
    const auto offset = core::CheckedMul<std::uint64_t>(spc, cluster);
    if (!offset) {
        return std::nullopt;
    }
    const auto sector = core::CheckedAdd<std::uint64_t>(clusterBase, *offset);
    if (!sector || *sector >= kSectorLimit) {
        return std::nullopt;
    }
    return static_cast<core::Sector>(*sector);
}

bool SectorHoldsFileRecord(disk::DiskState& disk, core::Sector sector)
{
    std::array<std::uint8_t, core::kSectorSize> buffer{};
    ReadZeroed(disk, sector, 1, buffer);
    return HasFileSignature(buffer);
}

// Steps 3 and 4 of the parameters: the sector the current boot sector points at through the LCN
// at `offset`, else the one the other boot sector points at; 0 when neither holds "FILE".
core::Sector ConfirmFileRecord(disk::DiskState& disk, BootSectors& boots, core::Sector clusterBase, std::uint32_t spc,
                               std::size_t offset)
{
    auto sector = ClusterSector(clusterBase, spc, ClusterField(boots.Current(), offset));
    if (sector && SectorHoldsFileRecord(disk, *sector)) {
        return *sector;
    }
    sector = ClusterSector(clusterBase, spc, ClusterField(boots.ReadOther(), offset));
    if (sector && SectorHoldsFileRecord(disk, *sector)) {
        return *sector;
    }
    return 0;
}

// ---- Run lists -------------------------------------------------------------------------------

// Position of the first run whose length or offset field is wider than 4 bytes; SIZE_MAX when
// none is. Only headers are looked at: the decoder has already judged the rest.
std::size_t FirstWideRun(std::span<const std::uint8_t> runs) noexcept
{
    std::size_t pos = 0;
    for (std::size_t index = 0; pos < runs.size() && runs[pos] != 0; ++index) {
        const std::size_t lengthSize = runs[pos] & kRunLengthSizeMask;
        const std::size_t offsetSize = static_cast<std::size_t>(runs[pos] >> kRunOffsetSizeShift);
        if (lengthSize > kRunSupportedFieldSize || offsetSize > kRunSupportedFieldSize) {
            return index;
        }
        pos += 1 + lengthSize + offsetSize;
    }
    return SIZE_MAX;
}

struct SectorRun
{
    core::Sector start = 0;  // 0: sparse
    std::uint32_t length = 0;
};

// Decodes mapping pairs into runs of absolute sectors, at most `maxRuns`. `cut` is set when the
// list ended early: damaged, a field wider than 4 bytes (its run and all after it are dropped), or
// a run longer than 2^32 sectors or whose sectors lie beyond the last addressable sector.
std::vector<SectorRun> SectorRuns(std::span<const std::uint8_t> mappingPairs, core::Sector clusterBase,
                                  std::uint32_t spc, std::size_t maxRuns, bool& cut)
{
    const RunList list = DecodeRunList(mappingPairs, maxRuns);
    const std::size_t usable = std::min(list.runs.size(), FirstWideRun(mappingPairs));
    cut = usable < list.runs.size() || (list.status != RunListStatus::Complete &&
                                        list.status != RunListStatus::TooManyRuns);
    std::vector<SectorRun> out;
    out.reserve(usable);
    for (std::size_t i = 0; i < usable; ++i) {
        const DataRun& run = list.runs[i];
        const auto length = core::CheckedMul<std::uint64_t>(run.lengthClusters, spc);
        if (!length || *length > std::numeric_limits<std::uint32_t>::max()) {
            cut = true;
            break;
        }
        SectorRun sectors{0, static_cast<std::uint32_t>(*length)};
        if (!run.sparse) {
            const auto start = ClusterSector(clusterBase, spc, static_cast<std::uint64_t>(run.lcn));
            if (!start || std::uint64_t{*start} + *length > kSectorLimit) {
                cut = true;
                break;
            }
            sectors.start = *start;
        }
        out.push_back(sectors);
    }
    return out;
}

// The value of the record's $ATTRIBUTE_LIST: resident, or read from its clusters (at most
// kMaxAttributeListRuns runs and kMaxAttributeListBytes bytes; sparse runs read as zeros). Empty
// when the record has none.
Bytes ReadAttributeList(disk::DiskState& disk, std::span<const std::uint8_t> record, core::Sector clusterBase,
                        std::uint32_t spc)
{
    AttributeIterator it(record.first(std::min(record.size(), kFileRecordSize)));
    std::optional<AttributeView> list;
    while (auto attribute = it.Next()) {
        if (attribute->type == kAttrTypeAttributeList) {
            list = attribute;
            break;
        }
    }
    if (!list) {
        return {};
    }
    if (!list->nonResident) {
        return Bytes(list->value.begin(), list->value.end());
    }
    bool cut = false;
    const auto runs = SectorRuns(list->runs, clusterBase, spc, kMaxAttributeListRuns, cut);
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(list->dataSize, kMaxAttributeListBytes));
    Bytes value;
    value.reserve(want);
    Bytes sectors;
    for (const SectorRun& run : runs) {
        if (value.size() >= want) {
            break;
        }
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(std::uint64_t{run.length} * core::kSectorSize,
                                                             want - value.size()));
        if (run.start == 0) {
            value.insert(value.end(), take, std::uint8_t{0});
            continue;
        }
        const auto count = static_cast<std::uint32_t>((take + core::kSectorSize - 1) / core::kSectorSize);
        sectors.resize(std::size_t{count} * core::kSectorSize);
        ReadZeroed(disk, run.start, count, sectors);
        value.insert(value.end(), sectors.begin(), sectors.begin() + static_cast<std::ptrdiff_t>(take));
    }
    return value;
}

// Reads 1024-byte record `number` of the $MFT through the table, each of its two sectors mapped
// on its own (a record may straddle two runs when clusters are 512 bytes). False when its first
// sector maps nowhere or it lacks the "FILE" signature; on true the record is fixed up.
bool ReadMappedRecord(disk::DiskState& disk, const MftRunTable& table, std::uint32_t number,
                      std::span<std::uint8_t> record)
{
    const std::uint64_t offset = 2 * std::uint64_t{number};
    const core::Sector first = table.OffsetToSector(offset);
    if (first == 0) {
        return false;
    }
    const core::Sector second = table.OffsetToSector(offset + 1);
    if (second == first + 1) {
        ReadZeroed(disk, first, 2, record);
    } else {
        ReadZeroed(disk, first, 1, record);
        const auto tail = record.subspan(core::kSectorSize, core::kSectorSize);
        if (second != 0) {
            ReadZeroed(disk, second, 1, tail);
        } else {
            std::fill(tail.begin(), tail.end(), std::uint8_t{0});
        }
    }
    if (!HasFileSignature(record)) {
        return false;
    }
    ApplyFixup(record.first(kFileRecordSize));
    return true;
}

enum class AppendResult
{
    Done,
    Cut,
    Full,
};

AppendResult AppendDataRuns(MftRunTable& table, std::span<const std::uint8_t> mappingPairs, core::Sector clusterBase,
                            std::uint32_t spc)
{
    bool cut = false;
    const auto runs = SectorRuns(mappingPairs, clusterBase, spc, MftRunTable::kMaxRuns + 1, cut);
    for (const SectorRun& run : runs) {
        if (!table.Append(run.start, run.length)) {
            return AppendResult::Full;
        }
    }
    return cut ? AppendResult::Cut : AppendResult::Done;
}

RunTableOutcome OutcomeOf(AppendResult result) noexcept
{
    switch (result) {
    case AppendResult::Done:
        return RunTableOutcome::Complete;
    case AppendResult::Cut:
        return RunTableOutcome::RunsCut;
    case AppendResult::Full:
        break;
    }
    return RunTableOutcome::TableFull;
}

// ---- The MFT walk ----------------------------------------------------------------------------

// The records of one ExtensionList, each fetched at most once per walk step: the base record from
// the walk's buffer, the others from disk through the run table, with the last few kept.
class RecordFetcher
{
public:
    RecordFetcher(disk::DiskState& disk, const MftRunTable& table) : m_disk(disk), m_table(table) {}

    struct Fetched
    {
        std::span<const std::uint8_t> bytes;
        core::Sector sector = 0;
    };

    void SetBase(std::uint32_t number, std::span<const std::uint8_t> bytes, core::Sector sector) noexcept
    {
        m_baseNumber = number;
        m_base = bytes;
        m_baseSector = sector;
    }

    // The record, or nothing when it maps to no sector or does not read as a FILE record.
    std::optional<Fetched> Get(std::uint32_t number)
    {
        if (number == m_baseNumber) {
            return Fetched{m_base, m_baseSector};
        }
        for (Slot& slot : m_slots) {
            if (slot.used && slot.number == number) {
                return slot.ok ? std::optional<Fetched>(Fetched{slot.bytes, slot.sector}) : std::nullopt;
            }
        }
        Slot& slot = m_slots[m_next];
        m_next = (m_next + 1) % m_slots.size();
        slot.used = true;
        slot.number = number;
        slot.sector = m_table.RecordToSector(number);
        slot.ok = slot.sector != 0 && ReadMappedRecord(m_disk, m_table, number, slot.bytes);
        return slot.ok ? std::optional<Fetched>(Fetched{slot.bytes, slot.sector}) : std::nullopt;
    }

private:
    struct Slot
    {
        bool used = false;
        bool ok = false;
        std::uint32_t number = 0;
        core::Sector sector = 0;
        std::array<std::uint8_t, kFileRecordSize> bytes{};
    };

    disk::DiskState& m_disk;
    const MftRunTable& m_table;
    std::uint32_t m_baseNumber = 0;
    std::span<const std::uint8_t> m_base;
    core::Sector m_baseSector = 0;
    std::array<Slot, 4> m_slots{};
    std::size_t m_next = 0;
};

// The file's name, chosen over its base record and the records its attribute list names for
// $FILE_NAME attributes (`holders`) in the order of kNameChoiceOrder. The other records are read
// only when the base record lacks a Win32 name, and one counts only when it is an extension
// record of this base record (a list naming a record since reused is stale).
std::optional<FileNameInfo> FindName(RecordFetcher& fetcher, std::uint32_t number,
                                     const std::vector<std::uint32_t>& holders)
{
    std::optional<FileNameInfo> best;
    if (const auto base = fetcher.Get(number)) {
        best = FindBestFileName(base->bytes);
    }
    for (const std::uint32_t holder : holders) {
        if (best && NameRank(best->nameSpace) == 0) {
            break;
        }
        const auto record = fetcher.Get(holder);
        if (!record || static_cast<std::uint32_t>(BaseRecordReference(record->bytes)) != number ||
            !IsExtensionRecord(record->bytes)) {
            continue;
        }
        auto name = FindBestFileName(record->bytes, best ? NameRank(best->nameSpace) : kNoNameRank);
        if (name && IsBetterName(best, *name)) {
            best = std::move(name);
        }
    }
    return best;
}

struct DataLocation
{
    std::uint64_t size = 0;
    core::Sector sector = 0;
};

// Size of the unnamed $DATA and the sector of the record that holds its first extent. When the
// record has extension records, an extent that starts past VCN 0 (which carries no size) is
// passed over.
DataLocation FindData(RecordFetcher& fetcher, const std::vector<std::uint32_t>& extensions)
{
    DataLocation location;
    for (const std::uint32_t number : extensions) {
        const auto record = fetcher.Get(number);
        if (!record) {
            continue;
        }
        location.sector = record->sector;
        location.size = 0;
        const auto size = GetDataSize(record->bytes);
        if (!size) {
            continue;
        }
        if (extensions.size() > 1) {
            const auto data = FindDataAttribute(record->bytes);
            if (data && data->nonResident && data->startVcn != 0) {
                continue;
            }
        }
        location.size = *size;
        return location;
    }
    return location;
}

// Appends the entries of a non-resident $ATTRIBUTE_LIST to the ExtensionList.
void CollectFromListValue(std::span<const std::uint8_t> value, std::vector<std::uint32_t>& extensions)
{
    AttributeListWalker walker(value);
    while (extensions.size() < kExtensionListCapacity) {
        const auto entry = walker.Next();
        if (!entry) {
            break;
        }
        extensions.push_back(entry->recordNumber);
    }
}

// The ExtensionList of a record: the record itself, then the records its resident
// $ATTRIBUTE_LIST names, or else those of its non-resident one. `nameHolders` gets the records
// other than itself that the list names for $FILE_NAME attributes.
void GatherExtensions(disk::DiskState& disk, const catalog::VolumeParams& params, std::uint32_t number,
                      std::span<const std::uint8_t> record, std::vector<std::uint32_t>& extensions,
                      std::vector<std::uint32_t>& nameHolders)
{
    extensions.clear();
    nameHolders.clear();
    extensions.push_back(number);
    CollectExtensionRecords(record, extensions, kExtensionListCapacity);
    const AttributeListInfo list = FindAttributeList(record);
    if (!list.present) {
        return;
    }
    if (list.resident) {
        CollectNameHolders(list.value, number, nameHolders, kExtensionListCapacity);
        return;
    }
    const Bytes value = ReadAttributeList(disk, record, params.clusterBase, params.sectorsPerCluster);
    if (extensions.size() < kExtensionListCapacity) {
        CollectFromListValue(value, extensions);
    }
    CollectNameHolders(value, number, nameHolders, kExtensionListCapacity);
}

// Sectors of the drive, or UINT64_MAX when its size is unknown.
std::uint64_t DiskSectors(const disk::DiskState& disk)
{
    const std::uint64_t size = disk.driveHandle ? disk.driveHandle->SizeBytes() : UINT64_MAX;
    return size == UINT64_MAX ? UINT64_MAX : size / core::kSectorSize;
}

// Most record slots the catalog makes room for ahead of the walk (a 4 GiB $MFT); a run table
// claiming more, damaged or not, leaves the rest to the lists' own growth.
constexpr std::uint64_t kMostReservedSlots = std::uint64_t{1} << 22;

// The record slots the walk will read: those of runs that are not sparse, up to the end of the
// drive, at most kMostReservedSlots.
std::uint64_t SlotsToRead(const MftRunTable& table, std::uint64_t diskSectors) noexcept
{
    std::uint64_t slots = 0;
    for (std::size_t i = 0; i < table.Count() && slots < kMostReservedSlots; ++i) {
        const std::uint64_t start = table.RunStart(i);
        if (start == 0 || start >= diskSectors) {
            continue;
        }
        const std::uint64_t usable = table.RunLength(i) & ~std::uint32_t{1};
        slots += std::min(usable, diskSectors - start) / kFileRecordSectors;
    }
    return std::min(slots, kMostReservedSlots);
}

class MftWalk
{
public:
    MftWalk(disk::DiskState& disk, catalog::Catalog& catalog, const MftRunTable& table, core::ProgressSink& sink,
            std::uint32_t readSectors, ClusterBitmap& bitmap)
        : m_disk(disk), m_catalog(catalog), m_table(table), m_sink(sink), m_fetcher(disk, table), m_bitmap(bitmap),
          m_readSectors(std::max<std::uint32_t>(2, readSectors & ~std::uint32_t{1})),
          m_total(table.TotalSectors()), m_totalText(std::to_string(m_total))
    {
        m_diskSectors = DiskSectors(disk);
        m_extensions.reserve(kExtensionListCapacity);
        m_nameHolders.reserve(kExtensionListCapacity);
    }

    // Returns false when the stop flag ended the walk.
    bool Run()
    {
        Bytes chunk(std::size_t{m_readSectors} * core::kSectorSize);
        for (std::size_t i = 0; i < m_table.Count(); ++i) {
            if (m_catalog.scanStopFlag.IsSet()) {
                return false;
            }
            const core::Sector start = m_table.RunStart(i);
            const std::uint32_t usable = m_table.RunLength(i) & ~std::uint32_t{1};  // an odd last sector is left
            std::uint32_t s = 0;
            while (s < usable && m_record <= UINT32_MAX) {
                const std::uint32_t count = std::min(m_readSectors, usable - s);
                if (start == 0 || std::uint64_t{start} + s >= m_diskSectors) {
                    // A sparse run, or sectors past the end of the drive: nothing to read, the
                    // slots only count, all at once.
                    Skip(usable - s);
                    s = usable;
                    continue;
                }
                ReadZeroed(m_disk, std::uint64_t{start} + s, count, chunk);
                for (std::uint32_t r = 0; r < count; r += kFileRecordSectors) {
                    if (m_catalog.scanStopFlag.IsSet()) {
                        return false;
                    }
                    const auto record =
                        std::span<std::uint8_t>(chunk).subspan(std::size_t{r} * core::kSectorSize, kFileRecordSize);
                    Examine(record, start + s + r);
                }
                s += count;
            }
        }
        return true;
    }

    std::uint64_t RecordsRead() const noexcept { return m_slotsRead; }

private:
    void Skip(std::uint32_t sectors)
    {
        m_sectorsDone += sectors;
        m_record += sectors / kFileRecordSectors;
    }

    void Examine(std::span<std::uint8_t> record, core::Sector sector)
    {
        m_sectorsDone += kFileRecordSectors;
        ++m_slotsRead;
        m_sink.PanelValue(kPanelRowCurrentSector, std::to_string(sector));
        m_sink.Amount(m_sectorsDone / kFileRecordSectors, m_total / kFileRecordSectors, core::AmountUnit::Records);
        if (m_record > UINT32_MAX) {
            return;  // record numbers are 32-bit: nothing past the last one is numbered
        }
        const auto number = static_cast<std::uint32_t>(m_record);
        ++m_record;
        if (!HasFileSignature(record)) {
            return;
        }
        ApplyFixup(record);
        if (IsExtensionRecord(record)) {
            return;  // a part of another file: its names and data are found from that file's base record
        }
        GatherExtensions(m_disk, m_catalog.volumeParams, number, record, m_extensions, m_nameHolders);
        m_fetcher.SetBase(number, record, sector);

        const std::uint8_t flags = record[kFileFlags];
        const bool folder = flags == (kFileFlagDirectory | kFileFlagInUse) || flags == kFileFlagDirectory;
        auto name = FindName(m_fetcher, number, m_nameHolders);
        if (!name) {
            return;
        }
        if (folder) {
            if (name->name == ".") {
                return;  // the root directory: the tree's Root item stands for it
            }
            catalog::NtfsFolderEntry entry;
            entry.name = std::move(name->name);
            entry.record = number;
            entry.parent = name->parent;
            entry.created = name->created;
            entry.changed = name->changed;
            entry.deleted = flags == kFileFlagDirectory ? 1 : 0;
            m_catalog.AddNtfsFolder(std::move(entry));
            m_sink.PanelValue(kPanelRowFolders, std::to_string(m_catalog.folderCount));
            Added(m_catalog.NtfsFolders().back().name);
        } else {
            const DataLocation data = FindData(m_fetcher, m_extensions);
            catalog::NtfsFileEntry entry;
            entry.name = std::move(name->name);
            entry.record = number;
            entry.parent = name->parent;
            entry.created = name->created;
            entry.changed = name->changed;
            entry.size = data.size;
            entry.deleted = flags == 0 ? 1 : 0;
            entry.dataRecordSector = data.sector;
            if (entry.deleted != 0) {
                entry.recoverable = Rate(number);
            }
            m_catalog.AddNtfsFile(std::move(entry));
            ++m_catalog.fileCount;
            m_sink.PanelValue(kPanelRowFiles, std::to_string(m_catalog.fileCount));
            Added(m_catalog.NtfsFiles().back().name);
        }
    }

    // The rating of the deleted file of base record `number`: its unnamed $DATA in the base
    // record and in the extension records its attribute list names (each counted once).
    std::uint8_t Rate(std::uint32_t number)
    {
        RecoverableTally tally;
        m_rated.clear();
        for (const std::uint32_t holder : m_extensions) {
            if (std::find(m_rated.begin(), m_rated.end(), holder) != m_rated.end()) {
                continue;
            }
            m_rated.push_back(holder);
            const auto record = m_fetcher.Get(holder);
            if (!record) {
                continue;
            }
            if (holder != number && (static_cast<std::uint32_t>(BaseRecordReference(record->bytes)) != number ||
                                     !IsExtensionRecord(record->bytes))) {
                continue;  // a list naming a record since reused is stale
            }
            tally.Add(m_bitmap, record->bytes);
        }
        return tally.Rating();
    }

    void Added(std::string_view name)
    {
        m_sink.PanelValue(kPanelRowLastName, name);
        const std::uint64_t percent = m_total == 0 ? 0 : 100 * m_sectorsDone / m_total;
        m_sink.Progress(static_cast<int>(std::min<std::uint64_t>(99, percent)));
        m_status.assign(core::msg::kReadingSectorPrefix);
        m_status += std::to_string(m_sectorsDone);
        m_status += core::msg::kReadingSectorOf;
        m_status += m_totalText;
        m_sink.Status(m_status);
    }

    disk::DiskState& m_disk;
    catalog::Catalog& m_catalog;
    const MftRunTable& m_table;
    core::ProgressSink& m_sink;
    RecordFetcher m_fetcher;
    ClusterBitmap& m_bitmap;
    std::vector<std::uint32_t> m_rated;
    std::uint32_t m_readSectors;
    std::uint64_t m_total;
    std::string m_totalText;
    std::uint64_t m_diskSectors = UINT64_MAX;
    std::uint64_t m_sectorsDone = 0;  // n: sectors of the slots passed so far
    std::uint64_t m_record = 0;       // k: the number of the next slot
    std::uint64_t m_slotsRead = 0;
    std::vector<std::uint32_t> m_extensions;
    std::vector<std::uint32_t> m_nameHolders;
    std::string m_status;
};

}  // namespace

// ---- Public routines -------------------------------------------------------------------------

bool ReadMftRecord(disk::DiskState& disk, const MftRunTable& table, std::uint32_t number,
                   std::span<std::uint8_t> record)
{
    return record.size() >= kFileRecordSize && ReadMappedRecord(disk, table, number, record);
}

RecordListing ListRecordAsTheWalk(disk::DiskState& disk, const catalog::VolumeParams& params, const MftRunTable& table,
                                  std::uint32_t number, RecordBytes record, core::Sector sector)
{
    RecordListing listing;
    std::vector<std::uint32_t> nameHolders;
    GatherExtensions(disk, params, number, record, listing.extensions, nameHolders);
    RecordFetcher fetcher(disk, table);
    fetcher.SetBase(number, record, sector);
    listing.name = FindName(fetcher, number, nameHolders);
    const DataLocation data = FindData(fetcher, listing.extensions);
    listing.size = data.size;
    listing.dataRecordSector = data.sector;
    return listing;
}

bool ComputeNtfsParameters(disk::DiskState& disk, const catalog::ScanTarget& target, catalog::VolumeParams& params)
{
    BootSectors boots(disk, target);
    if (!HasBootSignature(boots.Read(false)) && !HasBootSignature(boots.Read(true))) {
        return false;
    }
    auto spc = SectorsPerClusterOf(boots.Current());
    if (!spc) {
        spc = SectorsPerClusterOf(boots.ReadOther());  // the other copy's signature is not required
        if (!spc) {
            return false;
        }
    }
    const core::Sector clusterBase = target.scanStartSector;
    const core::Sector mft = ConfirmFileRecord(disk, boots, clusterBase, *spc, kBootMftCluster);
    const core::Sector mirror = ConfirmFileRecord(disk, boots, clusterBase, *spc, kBootMftMirrCluster);
    if (mft == 0 && mirror == 0) {
        return false;
    }
    core::LeView view(boots.Current());
    params.type = core::kFsNtfs;
    params.sectorsPerCluster = *spc;
    params.clusterBase = clusterBase;
    params.mftSector = static_cast<std::int64_t>(mft);
    params.mftMirrSector = static_cast<std::int64_t>(mirror);
    params.sectorsPerFileRecord = static_cast<std::int32_t>(kFileRecordSectors);
    const auto indexSectors = IndexBufferSectors(view.U32(kBootClustersPerIndexBuffer), *spc);
    params.indexRecordSectors = static_cast<std::int32_t>(indexSectors.value_or(0));
    return true;
}

void MftRunTable::Clear() noexcept
{
    m_runStart.clear();
    m_runLength.clear();
    m_runEnd.clear();
}

bool MftRunTable::Append(core::Sector start, std::uint32_t length)
{
    if (m_runStart.size() >= kMaxRuns) {
        return false;
    }
    if (m_runStart.size() == m_runStart.capacity()) {
        const std::size_t room = std::min(kMaxRuns, m_runStart.size() + kGrowthStep);
        m_runStart.reserve(room);
        m_runLength.reserve(room);
        m_runEnd.reserve(room);
    }
    m_runStart.push_back(start);
    m_runLength.push_back(length);
    m_runEnd.push_back(TotalSectors() + length);
    return true;
}

core::Sector MftRunTable::OffsetToSector(std::uint64_t offset) const noexcept
{
    // The first run whose end lies beyond the offset holds it (runs of length 0 hold nothing).
    const auto it = std::upper_bound(m_runEnd.begin(), m_runEnd.end(), offset);
    if (it == m_runEnd.end()) {
        return 0;
    }
    const auto i = static_cast<std::size_t>(it - m_runEnd.begin());
    if (m_runStart[i] == 0) {
        return 0;  // sparse: nothing on disk
    }
    return static_cast<core::Sector>(m_runStart[i] + (offset - SectorsBefore(i)));
}

core::Sector MftRunTable::RecordToSector(std::uint32_t record) const noexcept
{
    return OffsetToSector(2 * std::uint64_t{record});
}

std::size_t MftRunTable::MemoryBytes() const noexcept
{
    return m_runStart.capacity() * sizeof(std::uint32_t) + m_runLength.capacity() * sizeof(std::uint32_t) +
           m_runEnd.capacity() * sizeof(std::uint64_t);
}

namespace {

RunTableOutcome DecodeMftRunTable(disk::DiskState& disk, core::Sector clusterBase, core::Sector mftSector,
                                  std::uint32_t sectorsPerCluster, MftRunTable& table)
{
    table.Clear();
    std::array<std::uint8_t, kFileRecordSize> record{};
    ReadZeroed(disk, std::uint64_t{mftSector} + kRecord5SectorOffset, kFileRecordSectors, record);
    if (!HasFileSignature(record)) {
        return RunTableOutcome::NoRecord5;
    }
    ReadZeroed(disk, mftSector, kFileRecordSectors, record);
    if (!HasFileSignature(record)) {
        return RunTableOutcome::NoRecord0;
    }
    // Every sector of the record, not only the first: a run list crossing into the second sector
    // must not be read with the update sequence number in place of its own bytes.
    ApplyFixup(record);
    const auto data = FindDataAttribute(record);
    if (!data || !data->nonResident) {
        return RunTableOutcome::NoDataAttribute;
    }
    const RunTableOutcome first = OutcomeOf(AppendDataRuns(table, data->runs, clusterBase, sectorsPerCluster));

    // A fragmented $MFT keeps the rest of its runs in extension records named by its attribute list.
    const Bytes list = ReadAttributeList(disk, record, clusterBase, sectorsPerCluster);
    std::vector<std::uint32_t> extents;
    AttributeListWalker walker(list);
    while (extents.size() < kMaxMftDataExtensions) {
        const auto entry = walker.Next();
        if (!entry) {
            break;
        }
        if ((entry->type & 0xFF) == kAttrTypeData) {
            extents.push_back(entry->recordNumber);
        }
    }
    if (extents.empty()) {
        return first;
    }

    table.Clear();
    std::vector<std::uint32_t> done;
    for (std::size_t i = 0; i < extents.size(); ++i) {
        const std::uint32_t number = extents[i];
        if (std::find(done.begin(), done.end(), number) != done.end()) {
            continue;  // each record's runs are taken once
        }
        done.push_back(number);
        bool ok = false;
        if (i == 0) {
            ReadZeroed(disk, std::uint64_t{mftSector} + 2 * std::uint64_t{number}, kFileRecordSectors, record);
            ok = HasFileSignature(record);
            if (ok) {
                ApplyFixup(record);
            }
        } else {
            ok = ReadMappedRecord(disk, table, number, record);
        }
        if (!ok) {
            return RunTableOutcome::ExtensionRecordMissing;
        }
        const auto extent = FindDataAttribute(record);
        if (!extent || !extent->nonResident) {
            continue;
        }
        const AppendResult result = AppendDataRuns(table, extent->runs, clusterBase, sectorsPerCluster);
        if (result != AppendResult::Done) {
            return OutcomeOf(result);
        }
    }
    return RunTableOutcome::Complete;
}

// The part of [from, to) that no interval of `used` covers, as pieces in order: (start, end,
// free). `used` holds disjoint [start, end) intervals by start.
struct Piece
{
    core::Sector start;
    core::Sector end;
    bool free;
};

void SplitByUsed(const std::map<core::Sector, core::Sector>& used, core::Sector from, core::Sector to,
                 std::vector<Piece>& pieces)
{
    auto it = used.upper_bound(from);
    if (it != used.begin() && std::prev(it)->second > from)
        --it;
    core::Sector at = from;
    for (; it != used.end() && it->first < to && at < to; ++it) {
        if (it->first > at)
            pieces.push_back({at, it->first, true});
        const core::Sector end = std::min(it->second, to);
        if (end > at) {
            pieces.push_back({std::max(at, it->first), end, false});
            at = end;
        }
    }
    if (at < to)
        pieces.push_back({at, to, true});
}

void MarkUsed(std::map<core::Sector, core::Sector>& used, core::Sector from, core::Sector to)
{
    auto it = used.upper_bound(from);
    if (it != used.begin() && std::prev(it)->second >= from)
        --it;
    while (it != used.end() && it->first <= to) {
        from = std::min(from, it->first);
        to = std::max(to, it->second);
        it = used.erase(it);
    }
    used.emplace(from, to);
}

}  // namespace

bool ConfineMftRuns(MftRunTable& table, core::Sector firstSector, core::Sector lastSector)
{
    if (lastSector < firstSector)
        lastSector = firstSector;
    const std::uint64_t volumeSectors = lastSector - firstSector + 1;
    std::vector<std::pair<core::Sector, std::uint32_t>> runs;
    runs.reserve(table.Count());
    for (std::size_t i = 0; i < table.Count(); ++i)
        runs.emplace_back(table.RunStart(i), table.RunLength(i));

    std::vector<std::pair<core::Sector, std::uint64_t>> out;  // runs kept, sparse neighbours merged
    std::uint64_t total = 0;
    std::map<core::Sector, core::Sector> used;  // sectors given to records so far: [start, end)
    std::vector<Piece> pieces;
    bool changed = false;
    const auto append = [&out, &total](core::Sector start, std::uint64_t length) {
        total += length;
        if (start == 0 && !out.empty() && out.back().first == 0) {
            out.back().second += length;  // cut runs do not fill the table with sparse pieces
        } else {
            out.emplace_back(start, length);
        }
    };
    for (const auto& [start, length] : runs) {
        // The $MFT never numbers more records than the volume has room for.
        const std::uint64_t kept = std::min<std::uint64_t>(length, volumeSectors - std::min(volumeSectors, total));
        changed |= kept != length;
        if (kept == 0)
            break;
        if (start == 0) {
            append(0, kept);
            continue;
        }
        pieces.clear();
        const core::Sector end = start + kept;  // start <= kLastSector and kept < 2^32: no overflow
        const core::Sector inFrom = std::clamp(start, firstSector, lastSector + 1);
        const core::Sector inTo = std::clamp(end, firstSector, lastSector + 1);
        if (start < inFrom)
            pieces.push_back({start, std::min(end, inFrom), false});
        if (inFrom < inTo)
            SplitByUsed(used, inFrom, inTo, pieces);
        if (inTo < end)
            pieces.push_back({std::max(start, inTo), end, false});
        for (const Piece& piece : pieces) {
            changed |= !piece.free;
            append(piece.free ? piece.start : 0, piece.end - piece.start);
        }
        if (inFrom < inTo)
            MarkUsed(used, inFrom, inTo);
    }
    MftRunTable confined;
    for (auto [start, length] : out) {
        for (bool room = true; length != 0 && room; ) {
            const auto part = static_cast<std::uint32_t>(std::min<std::uint64_t>(length, 0xFFFFFFFEu));
            room = confined.Append(start, part);
            length -= part;
            start = start == 0 ? 0 : start + part;
        }
    }
    table = std::move(confined);
    return changed;
}

core::Sector MftLastSector(const disk::DiskState& disk, const catalog::Catalog& catalog) noexcept
{
    const catalog::VolumeParams& v = catalog.volumeParams;
    core::Sector last = v.endSector != 0 ? v.endSector : catalog.scanTarget.scanEndSector;
    if (last < v.clusterBase)
        last = core::kLastSector;
    const std::uint64_t diskSectors = DiskSectors(disk);
    return diskSectors == 0 || diskSectors == UINT64_MAX ? last : std::min<core::Sector>(last, diskSectors - 1);
}

RunTableOutcome BuildMftRunTable(disk::DiskState& disk, core::Sector clusterBase, core::Sector mftSector,
                                 std::uint32_t sectorsPerCluster, MftRunTable& table, core::Sector lastSector)
{
    const RunTableOutcome outcome = DecodeMftRunTable(disk, clusterBase, mftSector, sectorsPerCluster, table);
    ConfineMftRuns(table, clusterBase, lastSector);
    return outcome;
}

StandardScanResult StandardScan(disk::DiskState& disk, catalog::Catalog& catalog, MftRunTable& runTable,
                                FolderTree& tree, core::ProgressSink& sink, const StandardScanOptions& options)
{
    StandardScanResult result;
    const bool parameters = ComputeNtfsParameters(disk, catalog.scanTarget, catalog.volumeParams);
    if (!parameters) {
        sink.Status(core::msg::kCalculatingPartitionParameters);
        sink.Status("");
        result.outcome = catalog.scanStopFlag.IsSet() ? StandardScanOutcome::ParametersFailedStopped
                                                      : StandardScanOutcome::ParametersFailed;
        catalog.scanStopFlag.Clear();
        return result;
    }
    catalog.scanStopFlag.Clear();

    catalog.ClearNtfsLists();
    const catalog::VolumeParams& params = catalog.volumeParams;
    result.runTable = BuildMftRunTable(disk, params.clusterBase, MftSectorOf(params.mftSector),
                                       params.sectorsPerCluster, runTable, MftLastSector(disk, catalog));
    sink.Progress(0);
    // Every slot read may give an entry. Folders are a small share of most volumes; the hint for
    // them only spares the first few regrowths.
    const std::uint64_t slots = SlotsToRead(runTable, DiskSectors(disk));
    catalog.ReserveNtfsLists(static_cast<std::size_t>(slots / 8), static_cast<std::size_t>(slots));

    ClusterBitmap bitmap = ClusterBitmap::Open(disk, params, runTable, DiskSectors(disk));
    MftWalk walk(disk, catalog, runTable, sink, options.readSectors, bitmap);
    const bool finished = walk.Run();
    result.recordsRead = walk.RecordsRead();
    result.outcome = finished ? StandardScanOutcome::Completed : StandardScanOutcome::Stopped;

    // Finished or stopped, what was found is hung under the root and shown.
    catalog.scanStopFlag.Clear();
    sink.Progress(0);
    result.placeholders = SearchLostData(catalog, 0, true, catalog.scanStopFlag, sink);
    sink.Progress(0);
    sink.Status(core::msg::kCreatingDirectoryTree);
    BuildNtfsTree(catalog, tree, tree.Root(), kRootRecord, sink);
    sink.Progress(0);
    const NameAdmitter admitAll = [](std::string_view) { return true; };
    const TypeDescriber noType = [](std::string_view) { return std::string(); };
    result.rootRows = ListNtfsFolder(catalog, kRootRecord, options.admit ? options.admit : admitAll,
                                     options.describe ? options.describe : noType);
    catalog.scanStopFlag.Clear();
    return result;
}

}  // namespace ntfs
