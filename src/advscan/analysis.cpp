// File-system identification after the sweep. The walks over the found lists are answered from
// indexes built once per analysis (index buffers by sector and by owner, the folders a candidate
// can still place, the candidates already tried), so the results are those of the plain walks
// at a cost linear in what each step examines.
#include "advscan/analysis.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <optional>
#include <unordered_map>

#include "core/checked_math.h"
#include "core/le_view.h"
#include "core/messages.h"
#include "ntfs/boot_sector.h"
#include "ntfs/fixup.h"
#include "ntfs/index_buffer.h"
#include "ntfs/ntfs_layout.h"

namespace advscan {

namespace {

constexpr std::uint32_t kNoGroup = 0xFFFFFFFFu;
constexpr std::uint32_t kMaxSectorsPerCluster = 128;
constexpr std::int32_t kPairIndexRecordSectors = 8;
constexpr std::uint16_t kMaxFileSystems = static_cast<std::uint16_t>(std::numeric_limits<std::int16_t>::max());
constexpr std::uint64_t kLastSector = core::kLastSector;
constexpr unsigned kClusterSizes = 8;  // 1, 2, 4, ..., 128
constexpr unsigned kAllClusterSizes = (1u << kClusterSizes) - 1;

// Shows a progress value only when it changes.
class ProgressSteps
{
public:
    explicit ProgressSteps(core::ProgressSink& sink) : m_sink(sink) {}
    void Show(std::uint64_t done, std::uint64_t total)
    {
        const int percent = total == 0 ? 0 : static_cast<int>(std::min<std::uint64_t>(100, done * 100 / total));
        if (percent != m_last) {
            m_sink.Progress(percent);
            m_last = percent;
        }
    }

private:
    core::ProgressSink& m_sink;
    int m_last = -1;
};

// A signed sector field of VolumeParams holding an absolute sector; 0 when the sector cannot be
// formed (its computation overflowed) or lies beyond the last addressable sector.
std::int64_t SectorField(std::optional<std::uint64_t> sector) noexcept
{
    return sector && *sector <= kLastSector ? static_cast<std::int64_t>(*sector) : 0;
}

// boot + spc * cluster, or nothing when it overflows.
std::optional<std::uint64_t> ClusterSector(core::Sector boot, std::uint64_t spc, std::uint64_t cluster) noexcept
{
    const auto offset = core::CheckedMul(spc, cluster);
    return offset ? core::CheckedAdd(std::uint64_t{boot}, *offset) : std::nullopt;
}

}  // namespace

ntfs::FolderTree NewFoundFileSystemTree()
{
    return ntfs::FolderTree(std::string(core::msg::kFileSystemsRoot), ntfs::kTreeImageDevice,
                            ntfs::kTreeImageDevice);
}

std::string FoundFileSystemItemText(core::Sector start)
{
    return std::string(core::msg::kFoundFileSystemPrefix) + std::to_string(start);
}

void AssignRecordNumbers(disk::DiskState& disk, catalog::Catalog& catalog, core::ProgressSink& sink)
{
    sink.Progress(0);
    sink.Status(core::msg::kAssignMftNumbers);
    const std::vector<catalog::FoundIndexRecord>& indexRecords = catalog.FoundIndexRecords();
    const std::string countText = std::to_string(catalog.indexRecordCount);
    ProgressSteps progress(sink);
    std::vector<std::uint8_t> buffer;
    for (std::size_t k = 1; k <= indexRecords.size(); ++k) {
        std::string status(core::msg::kAssignMftNumbers);
        status += std::to_string(k);
        status += core::msg::kAssignMftNumbersOf;
        status += countText;
        sink.Status(status);
        progress.Show(k, catalog.indexRecordCount);

        const catalog::FoundIndexRecord record = indexRecords[k - 1];
        buffer.assign(std::size_t{record.sectors} * core::kSectorSize, 0);
        disk::ReadSectors(disk, record.sector, record.sectors, buffer);
        const core::LeView view(buffer);
        if (!view.Matches(ntfs::kIndxSignature, "INDX")) {
            continue;
        }
        ntfs::ApplyFixup(buffer);
        core::LeView header(buffer);
        const std::size_t firstEntry = std::size_t{header.U32(ntfs::kIndxEntriesOffset)} + ntfs::kIndxHeader;
        ntfs::IndexEntryWalker walker(buffer, firstEntry);
        while (const std::optional<ntfs::IndexEntryView> entry = walker.Next()) {
            if (!entry->IsDirectory()) {
                continue;
            }
            if (const auto folder = catalog.FirstUnnumberedFoundFolder(entry->parent, entry->created, entry->name)) {
                catalog.SetFoundFolderRecord(*folder, entry->recordNumber);
            }
        }
    }

    // Within one contiguous stretch of the MFT a FILE record (two sectors) further gives the next
    // number.
    const std::vector<catalog::FoundFolderRecord>& folders = catalog.FoundFolders();
    ProgressSteps interpolation(sink);
    core::Sector prevSector = 0;
    std::uint32_t prevNumber = 1;
    for (std::size_t position = 0; position < folders.size(); ++position) {
        interpolation.Show(position, catalog.foundFolderCount);
        const catalog::FoundFolderRecord& folder = folders[position];
        if (folder.record == 0) {
            // Low 32 bits of the distance: record numbers are 32-bit and wrap with it.
            const auto distance = static_cast<std::uint32_t>(folder.sector - prevSector);
            const std::uint32_t number =
                prevSector == 0 || distance % 2 != 0 ? prevNumber + 1 : prevNumber + distance / 2;
            catalog.SetFoundFolderRecord(position, number);
        }
        prevSector = folder.sector;
        prevNumber = folder.record;
    }
}

std::size_t FileSystemIdentifier::CandidateHash::operator()(const Candidate& c) const noexcept
{
    const std::uint64_t a = c.start ^ std::rotl(std::uint64_t{c.end}, 32);
    return std::hash<std::uint64_t>{}(a * 0x9E3779B97F4A7C15ULL ^ c.sectorsPerCluster);
}

FileSystemIdentifier::FileSystemIdentifier(catalog::Catalog& catalog, ntfs::FolderTree& tree)
    : m_catalog(catalog), m_tree(tree)
{
    const std::vector<catalog::FoundFolderRecord>& folders = catalog.FoundFolders();
    m_prefixMaxSector.reserve(folders.size());
    m_inPool.assign(folders.size(), 0);
    core::Sector highest = 0;
    for (std::size_t position = 0; position < folders.size(); ++position) {
        const catalog::FoundFolderRecord& folder = folders[position];
        if (position > 0 && folder.sector < highest) {
            m_sorted = false;
        }
        highest = std::max(highest, folder.sector);
        m_prefixMaxSector.push_back(highest);
        if (folder.fsNumber == 0 && folder.indexStartCluster != 0) {
            m_pool.push_back(static_cast<std::uint32_t>(position));
            m_inPool[position] = 1;
        }
    }
    m_nextSlot.resize(m_pool.size() + 1);
    for (std::size_t slot = 0; slot < m_nextSlot.size(); ++slot) {
        m_nextSlot[slot] = static_cast<std::uint32_t>(slot);
    }

    // Index buffers with vcn 0 by owner, in list order (a counting sort over the groups).
    const std::vector<catalog::FoundIndexRecord>& indexRecords = catalog.FoundIndexRecords();
    std::unordered_map<std::uint32_t, std::uint32_t> groupOfOwner;
    std::vector<std::uint32_t> groupOfRecord(indexRecords.size(), kNoGroup);
    std::vector<std::uint32_t> groupSize;
    for (std::size_t i = 0; i < indexRecords.size(); ++i) {
        if (indexRecords[i].vcn != 0) {
            continue;
        }
        const auto [it, added] =
            groupOfOwner.try_emplace(indexRecords[i].owner, static_cast<std::uint32_t>(groupSize.size()));
        if (added) {
            groupSize.push_back(0);
        }
        groupOfRecord[i] = it->second;
        ++groupSize[it->second];
    }
    m_groupStart.assign(groupSize.size() + 1, 0);
    for (std::size_t g = 0; g < groupSize.size(); ++g) {
        m_groupStart[g + 1] = m_groupStart[g] + groupSize[g];
    }
    m_groupCursor.assign(m_groupStart.begin(), m_groupStart.end() - 1);
    m_groupMembers.resize(m_groupStart.back());
    std::vector<std::uint32_t> fill(m_groupCursor);
    for (std::size_t i = 0; i < indexRecords.size(); ++i) {
        if (groupOfRecord[i] != kNoGroup) {
            m_groupMembers[fill[groupOfRecord[i]]++] = static_cast<std::uint32_t>(i);
        }
    }
    m_groupOfFolder.assign(folders.size(), kNoGroup);
    for (std::size_t position = 0; position < folders.size(); ++position) {
        const auto it = groupOfOwner.find(folders[position].record);
        if (it != groupOfOwner.end()) {
            m_groupOfFolder[position] = it->second;
        }
    }
}

std::size_t FileSystemIdentifier::NextInPool(std::size_t slot)
{
    auto s = static_cast<std::uint32_t>(slot);
    while (m_nextSlot[s] != s) {
        m_nextSlot[s] = m_nextSlot[m_nextSlot[s]];
        s = m_nextSlot[s];
    }
    return s;
}

void FileSystemIdentifier::RemoveFromPool(std::size_t position)
{
    if (position >= m_inPool.size() || m_inPool[position] == 0) {
        return;
    }
    m_inPool[position] = 0;
    const auto slot = static_cast<std::size_t>(
        std::lower_bound(m_pool.begin(), m_pool.end(), static_cast<std::uint32_t>(position)) - m_pool.begin());
    m_nextSlot[slot] = static_cast<std::uint32_t>(slot + 1);
}

std::optional<std::size_t> FileSystemIdentifier::FirstIndexOf(std::size_t folderPosition)
{
    const std::uint32_t group = m_groupOfFolder[folderPosition];
    if (group == kNoGroup) {
        return std::nullopt;
    }
    const std::vector<catalog::FoundIndexRecord>& indexRecords = m_catalog.FoundIndexRecords();
    std::uint32_t& cursor = m_groupCursor[group];
    while (cursor < m_groupStart[group + 1] && indexRecords[m_groupMembers[cursor]].fsNumber != -1) {
        ++cursor;
    }
    if (cursor == m_groupStart[group + 1]) {
        return std::nullopt;
    }
    return m_groupMembers[cursor];
}

bool FileSystemIdentifier::ConfirmFileSystem(core::Sector start, std::uint32_t sectorsPerCluster, core::Sector end)
{
    if (m_catalog.fileSystemCount >= kMaxFileSystems || !m_tried.insert({start, sectorsPerCluster, end}).second) {
        return false;
    }
    const auto number = static_cast<std::int16_t>(m_catalog.fileSystemCount + 1);
    const std::vector<catalog::FoundFolderRecord>& folders = m_catalog.FoundFolders();
    const std::vector<catalog::FoundIndexRecord>& indexRecords = m_catalog.FoundIndexRecords();
    // The walk stops at the first folder above `end`; in a sorted list every folder before the
    // first one above `start` is skipped.
    const auto stop = static_cast<std::size_t>(
        std::upper_bound(m_prefixMaxSector.begin(), m_prefixMaxSector.end(), end) - m_prefixMaxSector.begin());
    const std::size_t first =
        m_sorted ? static_cast<std::size_t>(std::upper_bound(m_prefixMaxSector.begin(), m_prefixMaxSector.end(),
                                                             start) -
                                            m_prefixMaxSector.begin())
                 : 0;
    bool placed = false;
    auto slot = static_cast<std::size_t>(
        std::lower_bound(m_pool.begin(), m_pool.end(), static_cast<std::uint32_t>(std::min(first, stop))) -
        m_pool.begin());
    for (slot = NextInPool(slot); slot < m_pool.size() && m_pool[slot] < stop; slot = NextInPool(slot + 1)) {
        const std::size_t position = m_pool[slot];
        const catalog::FoundFolderRecord& folder = folders[position];
        if (folder.sector <= start) {
            continue;
        }
        const std::uint64_t target = std::uint64_t{start} + std::uint64_t{sectorsPerCluster} * folder.indexStartCluster;
        if (target > kLastSector) {
            continue;
        }
        for (const std::size_t i : m_catalog.FoundIndexRecordsAtSector(static_cast<core::Sector>(target))) {
            const catalog::FoundIndexRecord& index = indexRecords[i];
            if (index.vcn == 0 && index.fsNumber == -1 && index.owner == folder.record) {
                m_catalog.SetFoundIndexRecordFsNumber(i, number);
                m_catalog.SetFoundFolderFsNumber(position, number);
                RemoveFromPool(position);
                placed = true;
                break;
            }
        }
    }
    return placed;
}

void FileSystemIdentifier::ListFileSystem(core::Sector start, std::uint32_t sectorsPerCluster, std::int64_t mftSector,
                                          std::int64_t mftMirrSector, std::int32_t indexRecordSectors,
                                          core::Sector end)
{
    ++m_catalog.fileSystemCount;
    const core::TreeItemId item = m_tree.Insert(m_tree.Root(), FoundFileSystemItemText(start),
                                                ntfs::kTreeImagePartition, ntfs::kTreeImagePartition);
    m_tree.Expand(m_tree.Root());
    catalog::FileSystemRecord record;
    record.params.type = core::kFsNtfs;
    record.params.sectorsPerCluster = sectorsPerCluster;
    record.params.clusterBase = start;
    record.params.mftSector = mftSector;
    record.params.mftMirrSector = mftMirrSector;
    record.params.indexRecordSectors = indexRecordSectors;
    record.params.endSector = end;
    record.key = item;
    m_catalog.AddFileSystem(record);
}

void FileSystemIdentifier::IdentifyByBootSectors(disk::DiskState& disk)
{
    std::array<std::uint8_t, core::kSectorSize> sector{};
    const std::vector<core::Sector>& hits = m_catalog.BootSectorHits();
    for (std::size_t h = 0; h < hits.size(); ++h) {
        const core::Sector boot = hits[h];
        sector.fill(0);
        disk::ReadSectors(disk, boot, 1, sector);
        core::LeView view(sector);
        const std::uint32_t spc = view.U8(ntfs::kBootSectorsPerCluster);
        if (!ntfs::IsValidSectorsPerCluster(spc)) {
            continue;
        }
        const core::Sector end = std::min<std::uint64_t>(
            core::CheckedAdd(std::uint64_t{boot}, view.U64(ntfs::kBootTotalSectors)).value_or(kLastSector),
            kLastSector);
        const std::uint32_t rawIndex = view.U32(ntfs::kBootClustersPerIndexBuffer);
        const std::uint64_t indexSectors = rawIndex == ntfs::kIndexBufferCode4096
                                               ? ntfs::kIndexBufferCode4096Sectors
                                               : std::uint64_t{spc} * rawIndex;
        const auto indexField = indexSectors > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())
                                    ? 0
                                    : static_cast<std::int32_t>(indexSectors);
        const std::int64_t mft = SectorField(ClusterSector(boot, spc, view.U64(ntfs::kBootMftCluster)));
        const std::int64_t mirror = SectorField(ClusterSector(boot, spc, view.U64(ntfs::kBootMftMirrCluster)));
        if (ConfirmFileSystem(boot, spc, end)) {
            ListFileSystem(boot, spc, mft, mirror, indexField, end);
        }
    }
}

void FileSystemIdentifier::IdentifyByIndexPairs()
{
    const std::vector<catalog::FoundFolderRecord>& folders = m_catalog.FoundFolders();
    const std::vector<catalog::FoundIndexRecord>& indexRecords = m_catalog.FoundIndexRecords();
    const core::Sector end = m_catalog.scanTarget.scanEndSector;
    for (std::size_t p = 0; p < folders.size(); ++p) {
        if (folders[p].fsNumber != 0) {
            continue;
        }
        const std::uint32_t lcnP = folders[p].indexStartCluster;
        const std::optional<std::size_t> firstP = lcnP == 0 ? std::nullopt : FirstIndexOf(p);
        if (!firstP || indexRecords[*firstP].sector == 0) {
            m_catalog.SetFoundFolderFsNumber(p, -1);
            RemoveFromPool(p);
            continue;
        }
        const core::Sector sectorP = indexRecords[*firstP].sector;
        if (m_catalog.fileSystemCount >= kMaxFileSystems) {
            continue;  // no candidate can be numbered any more
        }
        // Each cluster size gives p one candidate; once all eight were tried (or start before
        // sector 0), no further q can change anything.
        unsigned done = 0;
        for (unsigned k = 0; k < kClusterSizes; ++k) {
            const std::uint64_t spc = 1u << k;
            if (spc * lcnP > sectorP ||
                Tried({static_cast<core::Sector>(sectorP - spc * lcnP), static_cast<std::uint32_t>(spc), end})) {
                done |= 1u << k;
            }
        }
        for (std::size_t slot = NextInPool(static_cast<std::size_t>(
                 std::upper_bound(m_pool.begin(), m_pool.end(), static_cast<std::uint32_t>(p)) - m_pool.begin()));
             slot < m_pool.size() && done != kAllClusterSizes; slot = NextInPool(slot + 1)) {
            const std::size_t q = m_pool[slot];
            const std::optional<std::size_t> firstQ = FirstIndexOf(q);
            if (!firstQ) {
                continue;
            }
            const core::Sector sectorQ = indexRecords[*firstQ].sector;
            const std::uint32_t lcnQ = folders[q].indexStartCluster;
            if (sectorQ == 0 || sectorQ == sectorP || lcnQ == lcnP) {
                continue;
            }
            // Sectors that run against the clusters give no cluster size.
            if ((lcnQ < lcnP) != (sectorQ < sectorP)) {
                continue;
            }
            const std::uint64_t ratio = lcnQ < lcnP ? (sectorP - sectorQ) / (lcnP - lcnQ)
                                                    : (sectorQ - sectorP) / (lcnQ - lcnP);
            if (ratio == 0 || ratio > kMaxSectorsPerCluster || !std::has_single_bit(ratio)) {
                continue;
            }
            const auto spc = static_cast<std::uint32_t>(ratio);
            const unsigned bit = 1u << std::countr_zero(spc);
            if ((done & bit) != 0) {
                continue;
            }
            done |= bit;
            const auto start = static_cast<core::Sector>(sectorP - std::uint64_t{spc} * lcnP);
            if (ConfirmFileSystem(start, spc, end)) {
                ListFileSystem(start, spc, 0, 0, kPairIndexRecordSectors, end);
            }
        }
    }
}

void AnalyseFoundStructures(disk::DiskState& disk, catalog::Catalog& catalog, ntfs::FolderTree& fileSystemTree,
                            core::ProgressSink& sink)
{
    AssignRecordNumbers(disk, catalog, sink);
    sink.Status(core::msg::kIdentifyFileSystems);
    {
        FileSystemIdentifier identifier(catalog, fileSystemTree);
        identifier.IdentifyByBootSectors(disk);
        identifier.IdentifyByIndexPairs();
    }
    // A folder no geometry placed joins the file system of the folder before it.
    const std::vector<catalog::FoundFolderRecord>& folders = catalog.FoundFolders();
    std::int16_t previous = 1;
    for (std::size_t position = 0; position < folders.size(); ++position) {
        if (folders[position].fsNumber == -1) {
            catalog.SetFoundFolderFsNumber(position, previous);
        }
        previous = folders[position].fsNumber;
    }
}

}  // namespace advscan
