// Live files by path through the $I30 indexes.
#include "ntfs/live_path.h"

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <vector>

#include "core/checked_math.h"
#include "core/le_view.h"
#include "core/ntfs_names.h"
#include "ntfs/attribute_walk.h"
#include "ntfs/data_runs.h"
#include "ntfs/file_record.h"
#include "ntfs/fixup.h"
#include "ntfs/index_buffer.h"
#include "ntfs/ntfs_layout.h"
#include "ntfs/tree_builder.h"

namespace ntfs {

namespace {

using Record = std::array<std::uint8_t, kFileRecordSize>;

constexpr std::uint8_t kLiveFolderFlags = kFileFlagDirectory | kFileFlagInUse;

void ReadZeroed(disk::DiskState& disk, std::uint64_t sector, std::uint32_t count, std::span<std::uint8_t> out)
{
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    disk::ReadSectors(disk, sector, count, out.first(std::size_t{count} * core::kSectorSize));
}

// What the catalog makes of a record by its flags byte alone: a present folder (3), a deleted
// folder (2), a deleted file (0), a present file (anything else).
bool ListedAsPresent(std::uint8_t flags) noexcept { return flags != 0 && flags != kFileFlagDirectory; }

// The walk numbers record slots run by run, leaving a run's odd last sector; the table maps
// record n to sector offset 2n. The two agree only while no run has an odd length.
bool RunsNumberAsTheWalk(const MftRunTable& table) noexcept
{
    for (std::size_t i = 0; i < table.Count(); ++i) {
        if (table.RunLength(i) % kFileRecordSectors != 0) {
            return false;
        }
    }
    return true;
}

// The scan gathers extension records from a resident list (loosely walked) and reads a
// non-resident one; a file showing either is left to the scan.
bool HasAttributeList(RecordBytes record)
{
    std::vector<std::uint32_t> listed;
    if (CollectExtensionRecords(record, listed) != 0) {
        return true;
    }
    AttributeIterator it(record);
    while (const auto attribute = it.Next()) {
        if (attribute->type == kAttrTypeAttributeList) {
            return true;
        }
    }
    return false;
}

// The directory's $I30 attributes of `type`, looked for in its base record and its extension
// records (an allocation may be split in extents over several of them). False when there are
// more than kMaxIndexExtents.
bool FindI30(const std::vector<Record>& records, std::uint32_t type, std::vector<AttributeView>& found)
{
    found.clear();
    for (const Record& record : records) {
        AttributeIterator it(record);
        while (const auto attribute = it.Next()) {
            if (attribute->type == type && attribute->IsI30()) {
                if (found.size() == kMaxIndexExtents) {
                    return false;
                }
                found.push_back(*attribute);
            }
        }
    }
    return true;
}

// The sectors of a non-resident attribute's runs, in order, for mapping offsets into it.
class SectorMap
{
public:
    // Appends the runs of the next extent. False when a run cannot be placed in 64-bit sectors.
    bool Append(const RunList& list, const catalog::VolumeParams& params)
    {
        const std::uint64_t spc = params.sectorsPerCluster;
        std::uint64_t end = m_total;
        for (const DataRun& run : list.runs) {
            const auto length = core::CheckedMul<std::uint64_t>(run.lengthClusters, spc);
            const auto next = length ? core::CheckedAdd<std::uint64_t>(end, *length) : std::nullopt;
            if (!next) {
                return false;
            }
            std::uint64_t start = 0;
            if (!run.sparse) {
                const auto offset = core::CheckedMul<std::uint64_t>(static_cast<std::uint64_t>(run.lcn), spc);
                const auto absolute = offset ? core::CheckedAdd<std::uint64_t>(params.clusterBase, *offset) : std::nullopt;
                if (!absolute || !core::CheckedAdd<std::uint64_t>(*absolute, *length)) {
                    return false;
                }
                start = *absolute;
            }
            m_pieces.push_back(Piece{end, *next, start, run.sparse});
            end = *next;
        }
        m_total = end;
        return true;
    }

    std::uint64_t TotalSectors() const noexcept { return m_total; }

    // Reads `count` sectors from sector offset `first` into `out`. False when any of them lies
    // in a sparse run or past the runs.
    bool Read(disk::DiskState& disk, std::uint64_t first, std::uint32_t count, std::span<std::uint8_t> out) const
    {
        std::uint32_t done = 0;
        while (done < count) {
            const std::uint64_t offset = first + done;
            const auto it = std::upper_bound(m_pieces.begin(), m_pieces.end(), offset,
                                             [](std::uint64_t o, const Piece& p) { return o < p.end; });
            if (it == m_pieces.end() || it->sparse) {
                return false;
            }
            const auto take = static_cast<std::uint32_t>(std::min<std::uint64_t>(count - done, it->end - offset));
            ReadZeroed(disk, it->start + (offset - it->begin), take,
                       out.subspan(std::size_t{done} * core::kSectorSize, std::size_t{take} * core::kSectorSize));
            done += take;
        }
        return true;
    }

private:
    struct Piece
    {
        std::uint64_t begin = 0;  // sector offsets into the attribute: [begin, end)
        std::uint64_t end = 0;
        std::uint64_t start = 0;  // absolute sector of `begin`
        bool sparse = false;
    };
    std::vector<Piece> m_pieces;
    std::uint64_t m_total = 0;
};

// One record met on the way, judged as the scan would list it.
struct Listed
{
    std::uint32_t record = 0;
    bool folder = false;
    Record bytes{};
    RecordListing listing;
};

enum class Step
{
    Ok,
    Doubt,  // the scan's answer cannot be told from here
};

class LiveResolver
{
public:
    LiveResolver(disk::DiskState& disk, const catalog::VolumeParams& params, const MftRunTable& table)
        : m_disk(disk), m_params(params), m_table(table)
    {
    }

    std::optional<catalog::NtfsFileEntry> Resolve(const std::vector<std::string_view>& parts)
    {
        Listed root;
        root.record = kRootRecord;
        const core::Sector rootSector = m_table.RecordToSector(kRootRecord);
        if (!ReadRecord(kRootRecord, root.bytes) || root.bytes[kFileFlags] != kLiveFolderFlags) {
            return std::nullopt;
        }
        root.listing = ListRecordAsTheWalk(m_disk, m_params, m_table, kRootRecord, root.bytes, rootSector);
        Listed directory = std::move(root);
        m_visited.push_back(directory.record);
        for (std::size_t i = 0; i < parts.size(); ++i) {
            std::vector<std::uint32_t> candidates;
            if (OpenDirectory(directory) != Step::Ok || CollectCandidates(parts[i], candidates) != Step::Ok) {
                return std::nullopt;
            }
            std::vector<Listed> folders;
            std::vector<Listed> files;
            for (const std::uint32_t candidate : candidates) {
                if (Judge(candidate, directory.record, parts[i], folders, files) != Step::Ok) {
                    return std::nullopt;
                }
            }
            if (i + 1 < parts.size()) {
                if (folders.size() != 1) {
                    return std::nullopt;
                }
                directory = std::move(folders.front());
                m_visited.push_back(directory.record);
                continue;
            }
            // A path naming a folder as well selects the folder; one naming two files is unclear.
            // A file with extension records is left to the scan.
            if (!folders.empty() || files.size() != 1) {
                return std::nullopt;
            }
            const Listed& file = files.front();
            if ((file.bytes[kFileFlags] & kFileFlagInUse) == 0 || file.listing.extensions.size() != 1 ||
                HasAttributeList(file.bytes)) {
                return std::nullopt;
            }
            return EntryOf(file);
        }
        return std::nullopt;
    }

private:
    // Record `number` through the table, fixed up; false unless it reads as a FILE record whose
    // sector ends both carried the update sequence number.
    bool ReadRecord(std::uint32_t number, Record& bytes)
    {
        const core::Sector sector = m_table.RecordToSector(number);
        if (sector == 0) {
            return false;
        }
        ReadZeroed(m_disk, sector, kFileRecordSectors, bytes);
        if (!HasFileSignature(bytes)) {
            return false;
        }
        const FixupResult fixed = ApplyFixupChecked(bytes);
        return fixed.sequenceMatched && fixed.sectorsRestored == kFileRecordSectors;
    }

    // The directory's base record and the extension records of its list (a large directory
    // keeps its index attributes there), each of which must name it as its base.
    Step OpenDirectory(const Listed& directory)
    {
        m_records.assign(1, directory.bytes);
        std::vector<std::uint32_t> read = {directory.record};
        for (const std::uint32_t number : directory.listing.extensions) {
            if (std::find(read.begin(), read.end(), number) != read.end()) {
                continue;  // the list names a record once per attribute it holds
            }
            read.push_back(number);
            Record extension{};
            if (!ReadRecord(number, extension)) {
                return Step::Doubt;
            }
            core::LeView view(extension);
            if (view.U32(kFileBaseRecord) != directory.record || !view.Ok()) {
                return Step::Doubt;
            }
            m_records.push_back(extension);
        }
        return Step::Ok;
    }

    // The records the directory's index names under `part` (distinct, at most
    // kMaxNameCandidates), from its root and every block of its allocation.
    Step CollectCandidates(std::string_view part, std::vector<std::uint32_t>& out)
    {
        std::vector<AttributeView> roots;
        std::vector<AttributeView> allocation;
        std::vector<AttributeView> bitmaps;
        if (!FindI30(m_records, kAttrTypeIndexRoot, roots) || !FindI30(m_records, kAttrTypeIndexAllocation, allocation) ||
            !FindI30(m_records, kAttrTypeBitmap, bitmaps) || roots.size() != 1 || bitmaps.size() > 1 ||
            roots.front().nonResident) {
            return Step::Doubt;
        }
        const AttributeView& root = roots.front();
        auto walker = WalkIndexRoot(root);
        if (!walker || !Collect(*walker, part, out)) {
            return Step::Doubt;
        }
        core::LeView view(root.value);
        const std::uint32_t blockSize = view.U32(kIrIndexBlockSize);
        const std::uint8_t headerFlags = view.U8(kIrIndexHeader + kIhFlags);
        if (!view.Ok()) {
            return Step::Doubt;
        }
        if (allocation.empty()) {
            return (headerFlags & 1) != 0 ? Step::Doubt : Step::Ok;
        }
        std::span<const std::uint8_t> inUse;
        if (!bitmaps.empty() && !bitmaps.front().nonResident) {
            inUse = bitmaps.front().value;
        }
        return WalkAllocation(allocation, blockSize, inUse, part, out);
    }

    // The sectors of the allocation's extents, which must follow one another from VCN 0, each
    // mapping exactly its VCN range.
    bool MapExtents(std::vector<AttributeView>& extents, SectorMap& map) const
    {
        std::sort(extents.begin(), extents.end(),
                  [](const AttributeView& a, const AttributeView& b) { return a.startVcn < b.startVcn; });
        std::uint64_t nextVcn = 0;
        for (const AttributeView& extent : extents) {
            if (!extent.nonResident || extent.startVcn != nextVcn) {
                return false;
            }
            const auto end = core::CheckedAdd<std::uint64_t>(extent.lastVcn, 1);
            const RunList runs = DecodeRunList(extent.runs, kMaxIndexAllocationRuns);
            std::uint64_t clusters = 0;
            for (const DataRun& run : runs.runs) {
                clusters += std::min<std::uint64_t>(run.lengthClusters, UINT64_MAX - clusters);
            }
            if (!end || *end < extent.startVcn || clusters != *end - extent.startVcn ||
                runs.status != RunListStatus::Complete || !map.Append(runs, m_params)) {
                return false;
            }
            nextVcn = *end;
        }
        return true;
    }

    Step WalkAllocation(std::vector<AttributeView>& extents, std::uint32_t blockSize,
                        std::span<const std::uint8_t> inUse, std::string_view part, std::vector<std::uint32_t>& out)
    {
        SectorMap map;
        if (!MapExtents(extents, map)) {
            return Step::Doubt;
        }
        // Only the first extent carries the sizes.
        const std::uint64_t dataSize = extents.front().dataSize;
        if (blockSize < core::kSectorSize || blockSize > kIndxMaxBytes || blockSize % core::kSectorSize != 0 ||
            dataSize % blockSize != 0) {
            return Step::Doubt;
        }
        const std::uint64_t blocks = dataSize / blockSize;
        const std::uint32_t blockSectors = blockSize / static_cast<std::uint32_t>(core::kSectorSize);
        if (blocks > kMaxIndexBlocksPerDirectory || map.TotalSectors() < blocks * blockSectors) {
            return Step::Doubt;
        }
        std::vector<std::uint8_t> buffer(blockSize);
        for (std::uint64_t b = 0; b < blocks; ++b) {
            // A block the bitmap calls free may hold anything; a block in use must read whole.
            const bool used = inUse.empty() || b / 8 >= inUse.size() || ((inUse[b / 8] >> (b % 8)) & 1) != 0;
            if (!map.Read(m_disk, b * blockSectors, blockSectors, buffer)) {
                return Step::Doubt;
            }
            const auto header = DecodeIndexBufferHeader(buffer);
            bool intact = header && header->totalBytes == blockSize;
            if (intact) {
                const FixupResult fixed = ApplyFixupChecked(buffer);
                intact = fixed.sequenceMatched && fixed.sectorsRestored == blockSectors;
            }
            if (!intact) {
                if (used) {
                    return Step::Doubt;
                }
                continue;
            }
            IndexEntryWalker walker = WalkIndexBuffer(buffer, *header);
            if (!Collect(walker, part, out)) {
                return Step::Doubt;
            }
        }
        return Step::Ok;
    }

    // False when more distinct records than kMaxNameCandidates carry the name.
    static bool Collect(IndexEntryWalker& walker, std::string_view part, std::vector<std::uint32_t>& out)
    {
        while (const auto entry = walker.Next()) {
            if (entry->name != part) {
                continue;
            }
            if (std::find(out.begin(), out.end(), entry->recordNumber) != out.end()) {
                continue;
            }
            if (out.size() >= kMaxNameCandidates) {
                return false;
            }
            out.push_back(entry->recordNumber);
        }
        return true;
    }

    // Reads a record the index names and sorts it by what the catalog would hold: nothing, a
    // deleted entry (neither matters: a path names a live entry when there is one), or a present
    // folder or file of `part` in `directory`.
    Step Judge(std::uint32_t number, std::uint32_t directory, std::string_view part, std::vector<Listed>& folders,
               std::vector<Listed>& files)
    {
        if (std::find(m_visited.begin(), m_visited.end(), number) != m_visited.end()) {
            return Step::Doubt;  // a loop through the indexes, or "." of the root
        }
        const core::Sector sector = m_table.RecordToSector(number);
        if (sector == 0) {
            return Step::Ok;  // no slot of the walk holds it
        }
        Listed listed;
        listed.record = number;
        ReadZeroed(m_disk, sector, kFileRecordSectors, listed.bytes);
        if (!HasFileSignature(listed.bytes) || !ListedAsPresent(listed.bytes[kFileFlags])) {
            return Step::Ok;
        }
        const FixupResult fixed = ApplyFixupChecked(listed.bytes);
        if (!fixed.sequenceMatched || fixed.sectorsRestored != kFileRecordSectors) {
            return Step::Doubt;
        }
        listed.listing = ListRecordAsTheWalk(m_disk, m_params, m_table, number, listed.bytes, sector);
        const auto& name = listed.listing.name;
        if (!name || name->parent != directory || name->name != part) {
            return Step::Ok;
        }
        listed.folder = listed.bytes[kFileFlags] == kLiveFolderFlags;
        if (listed.folder && name->name == ".") {
            return Step::Ok;  // the walk lists no folder of that name
        }
        (listed.folder ? folders : files).push_back(std::move(listed));
        return Step::Ok;
    }

    static catalog::NtfsFileEntry EntryOf(const Listed& file)
    {
        const FileNameInfo& name = *file.listing.name;
        catalog::NtfsFileEntry entry;
        entry.name = name.name;
        entry.record = file.record;
        entry.parent = name.parent;
        entry.created = name.created;
        entry.changed = name.changed;
        entry.size = file.listing.size;
        entry.deleted = 0;
        entry.dataRecordSector = file.listing.dataRecordSector;
        return entry;
    }

    disk::DiskState& m_disk;
    const catalog::VolumeParams& m_params;
    const MftRunTable& m_table;
    std::vector<std::uint32_t> m_visited;
    std::vector<Record> m_records;  // of the directory being read: its base record first
};

}  // namespace

std::optional<catalog::NtfsFileEntry> ResolveLiveFile(disk::DiskState& disk, const catalog::VolumeParams& params,
                                             const MftRunTable& table, std::string_view path)
{
    // The BIOS libraries zero a whole request when one sector fails; the walk reads in larger
    // requests than a record, so only the per-sector reader gives both the same bytes.
    if (disk.accessMode != 'N' || params.sectorsPerCluster == 0 || table.Count() == 0 || !RunsNumberAsTheWalk(table)) {
        return std::nullopt;
    }
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        if (slash > start) {
            if (parts.size() == kMaxLivePathComponents) {
                return std::nullopt;
            }
            parts.push_back(path.substr(start, slash - start));
        }
        start = slash + 1;
    }
    if (parts.empty()) {
        return std::nullopt;
    }
    return LiveResolver(disk, params, table).Resolve(parts);
}

}  // namespace ntfs
