// The catalog of found entries: appends, clears, the file-system record load and the indexed
// lookups.
#include "catalog/catalog.h"

#include <algorithm>
#include <cassert>
#include <limits>
#include <new>
#include <utility>

namespace catalog {

namespace {

// fsNumber is a signed 16-bit value; the index keys are its 32-bit bit pattern.
constexpr std::uint32_t FsKey(std::int16_t fsNumber) noexcept
{
    return static_cast<std::uint32_t>(static_cast<std::uint16_t>(fsNumber));
}

constexpr std::uint32_t ParentAndTimeKey(std::uint32_t parent, FileTime created) noexcept
{
    const auto low = static_cast<std::uint32_t>(created);
    const auto high = static_cast<std::uint32_t>(created >> 32);
    return parent ^ (low * 0x9E3779B1u) ^ (high * 0x85EBCA77u);
}

template <typename Key>
std::optional<std::size_t> FirstOf(const BasicPositionIndex<Key>& index, Key key) noexcept
{
    return index.Find(key).First();
}

template <typename List>
std::size_t ListBytes(const List& list) noexcept
{
    return list.capacity() * sizeof(typename List::value_type);
}

// Heap bytes of the names that do not fit the string's inline buffer.
template <typename List>
std::size_t NameBytes(const List& list) noexcept
{
    std::size_t bytes = 0;
    const std::string empty;
    for (const auto& entry : list) {
        if (entry.name.capacity() > empty.capacity())
            bytes += entry.name.capacity() + 1;
    }
    return bytes;
}

}  // namespace

template <typename Index, typename List, typename KeyOf>
const Index& Catalog::Fresh(BasicLazyIndex<Index>& lazy, const List& list, KeyOf keyOf) const
{
    if (lazy.stale) {
        lazy.index.Reset();
        for (std::size_t i = 0; i < list.size(); ++i)
            lazy.index.Append(keyOf(list[i]), i);
        lazy.stale = false;
    }
    return lazy.index;
}

void Catalog::ClearNtfsLists() noexcept
{
    m_ntfsFolders = {};
    m_ntfsFiles = {};
    m_ntfsFolderByParent.Clear();
    m_ntfsFolderByRecord.Clear();
    m_ntfsFileByParent.Clear();
    {
        std::lock_guard lock(m_lazyMutex);
        m_ntfsFolderByTreeItem = {};
        m_ntfsFileBySector = {.index = {}, .stale = true};
    }
    folderCount = 0;
    fileCount = 0;
}

void Catalog::ClearFatLists() noexcept
{
    m_fatFolders = {};
    m_fatFiles = {};
    m_fatFolderByParent.Clear();
    m_fatFolderByCluster.Clear();
    m_fatFileByParent.Clear();
    m_fatFileBySerial.Clear();
    {
        std::lock_guard lock(m_lazyMutex);
        m_fatFolderByTreeItem = {};
    }
    folderCount = 0;
    fileCount = 0;
}

void Catalog::ClearSweepLists() noexcept
{
    m_bootHits = {};
    m_foundIndexRecords = {};
    m_foundFolders = {};
    m_foundFiles = {};
    m_fileSystems = {};
    m_foundFileByParent.Clear();
    m_foundFileBySector.Clear();
    m_foundFolderByParentAndTime.Clear();
    m_foundIndexByOwner.Clear();
    m_foundIndexBySector.Clear();
    {
        std::lock_guard lock(m_lazyMutex);
        m_foundFolderByFsNumber = {};
        m_foundFileByFsNumber = {};
        m_foundIndexByFsNumber = {};
    }
    bootHitCount = 0;
    indexRecordCount = 0;
    foundFolderCount = 0;
    foundFileCount = 0;
    fileSystemCount = 0;
}

void Catalog::ReserveNtfsLists(std::size_t folders, std::size_t files) noexcept
{
    // Positions stay below PositionIndex::kNone, so no list can use more room than that.
    constexpr std::size_t kMost = PositionIndex::kNone - 1;
    folders = std::min(folders, kMost);
    files = std::min(files, kMost);
    try {
        m_ntfsFiles.reserve(files);
        m_ntfsFolders.reserve(folders);
        // Parents are folders and repeat; records are one per folder and need no successors.
        m_ntfsFileByParent.ReservePositions(files);
        m_ntfsFolderByParent.ReservePositions(folders);
    } catch (const std::bad_alloc&) {
        // The lists grow as they fill, as they would have without the hint.
    }
}

// Each add appends the entry first and then its keys: if an index runs out of memory the
// process ends anyway (the handler does not return), so no half state is ever read.

void Catalog::AddNtfsFolder(NtfsFolderEntry entry)
{
    const std::size_t pos = m_ntfsFolders.size();
    const std::uint32_t parent = entry.parent;
    const std::uint32_t record = entry.record;
    const core::TreeItemId item = entry.treeItem;
    AppendToList(m_ntfsFolders, std::move(entry));
    m_ntfsFolderByParent.Append(parent, pos);
    m_ntfsFolderByRecord.Append(record, pos);
    {
        std::lock_guard lock(m_lazyMutex);
        if (!m_ntfsFolderByTreeItem.stale)
            m_ntfsFolderByTreeItem.index.Append(item, pos);
    }
    ++folderCount;
}

void Catalog::AddNtfsFile(NtfsFileEntry entry)
{
    const std::size_t pos = m_ntfsFiles.size();
    const std::uint32_t parent = entry.parent;
    const core::Sector sector = entry.dataRecordSector;
    AppendToList(m_ntfsFiles, std::move(entry));
    m_ntfsFileByParent.Append(parent, pos);
    std::lock_guard lock(m_lazyMutex);
    if (!m_ntfsFileBySector.stale)
        m_ntfsFileBySector.index.Append(sector, pos);
}

bool Catalog::AddFatFolder(FatFolderEntry entry)
{
    if (!m_fatFolderByCluster.Find(entry.cluster).empty())
        return false;
    const std::size_t pos = m_fatFolders.size();
    const std::uint32_t parent = entry.parentCluster;
    const std::uint32_t cluster = entry.cluster;
    const core::TreeItemId item = entry.treeItem;
    AppendToList(m_fatFolders, std::move(entry));
    m_fatFolderByParent.Append(parent, pos);
    m_fatFolderByCluster.Append(cluster, pos);
    {
        std::lock_guard lock(m_lazyMutex);
        if (!m_fatFolderByTreeItem.stale)
            m_fatFolderByTreeItem.index.Append(item, pos);
    }
    ++folderCount;
    return true;
}

void Catalog::AddFatFile(FatFileEntry entry)
{
    const std::size_t pos = m_fatFiles.size();
    entry.serial = fileCount;
    const std::uint32_t parent = entry.parentCluster;
    AppendToList(m_fatFiles, std::move(entry));
    m_fatFileByParent.Append(parent, pos);
    m_fatFileBySerial.Append(fileCount, pos);
}

void Catalog::AddBootHit(core::Sector sector)
{
    AppendToList(m_bootHits, core::Sector{sector});
}

void Catalog::AddFoundIndexRecord(const FoundIndexRecord& record)
{
    const std::size_t pos = m_foundIndexRecords.size();
    AppendToList(m_foundIndexRecords, FoundIndexRecord{record});
    m_foundIndexByOwner.Append(record.owner, pos);
    m_foundIndexBySector.Append(record.sector, pos);
    std::lock_guard lock(m_lazyMutex);
    if (!m_foundIndexByFsNumber.stale)
        m_foundIndexByFsNumber.index.Append(FsKey(record.fsNumber), pos);
}

void Catalog::AddFoundFolder(FoundFolderRecord record)
{
    const std::size_t pos = m_foundFolders.size();
    const std::uint32_t timeKey = ParentAndTimeKey(record.parent, record.created);
    const std::int16_t fsNumber = record.fsNumber;
    AppendToList(m_foundFolders, std::move(record));
    m_foundFolderByParentAndTime.Append(timeKey, pos);
    {
        std::lock_guard lock(m_lazyMutex);
        if (!m_foundFolderByFsNumber.stale)
            m_foundFolderByFsNumber.index.Append(FsKey(fsNumber), pos);
    }
    ++foundFolderCount;
}

void Catalog::AddFoundFile(FoundFileRecord record)
{
    const std::size_t pos = m_foundFiles.size();
    const std::uint32_t parent = record.parent;
    const core::Sector sector = record.sector;
    const std::int16_t fsNumber = record.fsNumber;
    AppendToList(m_foundFiles, std::move(record));
    m_foundFileByParent.Append(parent, pos);
    m_foundFileBySector.Append(sector, pos);
    {
        std::lock_guard lock(m_lazyMutex);
        if (!m_foundFileByFsNumber.stale)
            m_foundFileByFsNumber.index.Append(FsKey(fsNumber), pos);
    }
    ++foundFileCount;
}

void Catalog::AddFileSystem(const FileSystemRecord& record)
{
    AppendToList(m_fileSystems, FileSystemRecord{record});
}

bool Catalog::LoadFileSystemRecord(std::size_t number)
{
    if (number == 0 || number > m_fileSystems.size() ||
        number > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max()))
        return false;
    const VolumeParams& from = m_fileSystems[number - 1].params;
    VolumeParams& to = volumeParams;
    switch (from.type) {
    case core::kFsFat16:
    case core::kFsFat32:
        to.type = from.type;
        to.fatSectors = from.fatSectors;
        to.sectorsPerCluster = from.sectorsPerCluster;
        to.rootDirSectors = from.rootDirSectors;
        to.rootDirStart = from.rootDirStart;
        to.reservedSectors = from.reservedSectors;
        to.clusterBase = from.clusterBase;
        to.fat1Start = from.fat1Start;
        to.fat2Start = from.fat2Start;
        to.endSector = from.endSector;
        break;
    case core::kFsNtfs:
        to.type = from.type;
        to.fatSectors = from.fatSectors;
        to.sectorsPerCluster = from.sectorsPerCluster;
        to.clusterBase = from.clusterBase;
        to.mftSector = from.mftSector;
        to.mftMirrSector = from.mftMirrSector;
        to.indexRecordSectors = from.indexRecordSectors;
        to.endSector = from.endSector;
        break;
    default:
        return false;
    }
    selectedFileSystem = static_cast<std::int16_t>(number);
    return true;
}

namespace {

template <typename Entry>
void SetName(std::vector<Entry>& list, std::size_t position, std::string name)
{
    if (position < list.size()) {
        list[position].name = std::move(name);
    }
}

}  // namespace

void Catalog::SetNtfsFolderName(std::size_t position, std::string name) { SetName(m_ntfsFolders, position, std::move(name)); }
void Catalog::SetNtfsFileName(std::size_t position, std::string name) { SetName(m_ntfsFiles, position, std::move(name)); }
void Catalog::SetFatFolderName(std::size_t position, std::string name) { SetName(m_fatFolders, position, std::move(name)); }
void Catalog::SetFatFileName(std::size_t position, std::string name) { SetName(m_fatFiles, position, std::move(name)); }
void Catalog::SetFoundFileName(std::size_t position, std::string name) { SetName(m_foundFiles, position, std::move(name)); }

void Catalog::SetNtfsFileRecoverable(std::size_t position, std::uint8_t recoverable) noexcept
{
    if (position < m_ntfsFiles.size())
        m_ntfsFiles[position].recoverable = recoverable;
}

void Catalog::SetFoundFileRecoverable(std::size_t position, std::uint8_t recoverable) noexcept
{
    if (position < m_foundFiles.size())
        m_foundFiles[position].recoverable = recoverable;
}

void Catalog::SetNtfsFolderTreeItem(std::size_t position, core::TreeItemId item)
{
    assert(position < m_ntfsFolders.size());
    if (position >= m_ntfsFolders.size())
        return;
    m_ntfsFolders[position].treeItem = item;
    std::lock_guard lock(m_lazyMutex);
    m_ntfsFolderByTreeItem.stale = true;
}

void Catalog::SetNtfsFolderParents(std::span<const std::pair<std::size_t, std::uint32_t>> parents)
{
    if (parents.empty())
        return;
    for (const auto& [position, parent] : parents) {
        if (position < m_ntfsFolders.size())
            m_ntfsFolders[position].parent = parent;
    }
    m_ntfsFolderByParent.Reset();
    for (std::size_t i = 0; i < m_ntfsFolders.size(); ++i)
        m_ntfsFolderByParent.Append(m_ntfsFolders[i].parent, i);
}

void Catalog::SetFatFolderTreeItem(std::size_t position, core::TreeItemId item)
{
    assert(position < m_fatFolders.size());
    if (position >= m_fatFolders.size())
        return;
    m_fatFolders[position].treeItem = item;
    std::lock_guard lock(m_lazyMutex);
    m_fatFolderByTreeItem.stale = true;
}

void Catalog::SetFoundFolderRecord(std::size_t position, std::uint32_t record)
{
    // The record number is only filtered on (FirstUnnumberedFoundFolder), never a key.
    assert(position < m_foundFolders.size());
    if (position < m_foundFolders.size())
        m_foundFolders[position].record = record;
}

void Catalog::SetFoundFolderFsNumber(std::size_t position, std::int16_t fsNumber)
{
    assert(position < m_foundFolders.size());
    if (position >= m_foundFolders.size())
        return;
    m_foundFolders[position].fsNumber = fsNumber;
    std::lock_guard lock(m_lazyMutex);
    m_foundFolderByFsNumber.stale = true;
}

void Catalog::SetFoundFileRecord(std::size_t position, std::uint32_t record)
{
    assert(position < m_foundFiles.size());
    if (position < m_foundFiles.size())
        m_foundFiles[position].record = record;
}

void Catalog::SetFoundFileFsNumber(std::size_t position, std::int16_t fsNumber)
{
    assert(position < m_foundFiles.size());
    if (position >= m_foundFiles.size())
        return;
    m_foundFiles[position].fsNumber = fsNumber;
    std::lock_guard lock(m_lazyMutex);
    m_foundFileByFsNumber.stale = true;
}

void Catalog::SetFoundIndexRecordFsNumber(std::size_t position, std::int16_t fsNumber)
{
    assert(position < m_foundIndexRecords.size());
    if (position >= m_foundIndexRecords.size())
        return;
    m_foundIndexRecords[position].fsNumber = fsNumber;
    std::lock_guard lock(m_lazyMutex);
    m_foundIndexByFsNumber.stale = true;
}

Catalog::Positions Catalog::NtfsFoldersWithParent(std::uint32_t parent) const noexcept
{
    return m_ntfsFolderByParent.Find(parent);
}

Catalog::Positions Catalog::NtfsFilesWithParent(std::uint32_t parent) const noexcept
{
    return m_ntfsFileByParent.Find(parent);
}

Catalog::Positions Catalog::FatFoldersWithParent(std::uint32_t parentCluster) const noexcept
{
    return m_fatFolderByParent.Find(parentCluster);
}

Catalog::Positions Catalog::FatFilesWithParent(std::uint32_t parentCluster) const noexcept
{
    return m_fatFileByParent.Find(parentCluster);
}

Catalog::Positions Catalog::FoundFilesWithParent(std::uint32_t parent) const noexcept
{
    return m_foundFileByParent.Find(parent);
}

std::optional<std::size_t> Catalog::NtfsFolderWithRecord(std::uint32_t record) const noexcept
{
    return FirstOf(m_ntfsFolderByRecord, record);
}

std::optional<std::size_t> Catalog::NtfsFolderWithTreeItem(core::TreeItemId item) const
{
    std::lock_guard lock(m_lazyMutex);
    return FirstOf(Fresh(m_ntfsFolderByTreeItem, m_ntfsFolders, [](const NtfsFolderEntry& e) { return e.treeItem; }),
                   item);
}

std::optional<std::size_t> Catalog::NtfsFileWithDataRecordSector(core::Sector sector) const
{
    std::lock_guard lock(m_lazyMutex);
    return FirstOf(Fresh(m_ntfsFileBySector, m_ntfsFiles, [](const NtfsFileEntry& e) { return e.dataRecordSector; }),
                   sector);
}

std::optional<std::size_t> Catalog::FatFolderWithCluster(std::uint32_t cluster) const noexcept
{
    return FirstOf(m_fatFolderByCluster, cluster);
}

std::optional<std::size_t> Catalog::FatFolderWithTreeItem(core::TreeItemId item) const
{
    std::lock_guard lock(m_lazyMutex);
    return FirstOf(Fresh(m_fatFolderByTreeItem, m_fatFolders, [](const FatFolderEntry& e) { return e.treeItem; }),
                   item);
}

std::optional<std::size_t> Catalog::FatFileWithSerial(std::uint32_t serial) const noexcept
{
    return FirstOf(m_fatFileBySerial, serial);
}

std::optional<std::size_t> Catalog::FoundFileWithSector(core::Sector sector) const noexcept
{
    return FirstOf(m_foundFileBySector, sector);
}

Catalog::Positions Catalog::FoundFoldersWithFsNumber(std::int16_t fsNumber) const
{
    std::lock_guard lock(m_lazyMutex);
    return Fresh(m_foundFolderByFsNumber, m_foundFolders, [](const FoundFolderRecord& r) { return FsKey(r.fsNumber); })
        .Find(FsKey(fsNumber));
}

Catalog::Positions Catalog::FoundFilesWithFsNumber(std::int16_t fsNumber) const
{
    std::lock_guard lock(m_lazyMutex);
    return Fresh(m_foundFileByFsNumber, m_foundFiles, [](const FoundFileRecord& r) { return FsKey(r.fsNumber); })
        .Find(FsKey(fsNumber));
}

Catalog::Positions Catalog::FoundIndexRecordsWithFsNumber(std::int16_t fsNumber) const
{
    std::lock_guard lock(m_lazyMutex);
    return Fresh(m_foundIndexByFsNumber, m_foundIndexRecords,
                 [](const FoundIndexRecord& r) { return FsKey(r.fsNumber); })
        .Find(FsKey(fsNumber));
}

Catalog::Positions Catalog::FoundIndexRecordsWithOwner(std::uint32_t owner) const noexcept
{
    return m_foundIndexByOwner.Find(owner);
}

Catalog::Positions Catalog::FoundIndexRecordsAtSector(core::Sector sector) const noexcept
{
    return m_foundIndexBySector.Find(sector);
}

std::optional<std::size_t> Catalog::FirstUnnumberedFoundFolder(std::uint32_t parent, FileTime created,
                                                               std::string_view name) const noexcept
{
    // The key mixes parent and time, so a chain may hold other folders: compare every field.
    for (std::size_t pos : m_foundFolderByParentAndTime.Find(ParentAndTimeKey(parent, created))) {
        const FoundFolderRecord& folder = m_foundFolders[pos];
        if (folder.record == 0 && folder.parent == parent && folder.created == created && folder.name == name)
            return pos;
    }
    return std::nullopt;
}

std::size_t Catalog::MemoryBytes() const noexcept
{
    std::size_t bytes = sizeof(Catalog);
    bytes += ListBytes(m_ntfsFolders) + NameBytes(m_ntfsFolders);
    bytes += ListBytes(m_ntfsFiles) + NameBytes(m_ntfsFiles);
    bytes += ListBytes(m_fatFolders) + NameBytes(m_fatFolders);
    bytes += ListBytes(m_fatFiles) + NameBytes(m_fatFiles);
    bytes += ListBytes(m_bootHits) + ListBytes(m_foundIndexRecords) + ListBytes(m_fileSystems);
    bytes += ListBytes(m_foundFolders) + NameBytes(m_foundFolders);
    bytes += ListBytes(m_foundFiles) + NameBytes(m_foundFiles);
    for (const PositionIndex* index :
         {&m_ntfsFolderByParent, &m_ntfsFolderByRecord, &m_ntfsFileByParent, &m_fatFolderByParent,
          &m_fatFolderByCluster, &m_fatFileByParent, &m_fatFileBySerial, &m_foundFileByParent,
          &m_foundFolderByParentAndTime, &m_foundIndexByOwner})
        bytes += index->MemoryBytes();
    bytes += m_foundFileBySector.MemoryBytes() + m_foundIndexBySector.MemoryBytes();
    std::lock_guard lock(m_lazyMutex);
    for (const LazyIndex* lazy : {&m_ntfsFolderByTreeItem, &m_fatFolderByTreeItem, &m_foundFolderByFsNumber,
                                  &m_foundFileByFsNumber, &m_foundIndexByFsNumber})
        bytes += lazy->index.MemoryBytes();
    bytes += m_ntfsFileBySector.index.MemoryBytes();
    return bytes;
}

}  // namespace catalog
