// The catalog of found entries: the NTFS and FAT folder and file lists, the sweep lists of the
// Advance Scan, their counters, the volume parameters and the scan target, with the indexes
// that answer the lookups of the tree, the listing, the Open command and the analysis.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/progress.h"
#include "core/types.h"
#include "catalog/position_index.h"
#include "catalog/volume_params.h"

namespace catalog {

// 64-bit FILETIME: 100 ns units since 1601-01-01 UTC.
using FileTime = std::uint64_t;

// How much of a deleted file's data the volume has not handed to another file: a whole
// percentage 0..100 of its clusters that the cluster bitmap no longer marks as used, or one of
// these two marks.
inline constexpr std::uint8_t kRecoverableUnknown = 254;   // the bitmap could not be read: "?"
inline constexpr std::uint8_t kRecoverableNotRated = 255;  // a live file, or no data clusters: "–"

// One NTFS directory (Standard Scan, mount of a found file system, placeholder, snapshot).
struct NtfsFolderEntry
{
    std::string name;
    std::uint32_t record = 0;        // own MFT record number
    std::uint32_t parent = 0;        // MFT record number of the parent (5 is the root)
    FileTime created = 0;            // $FILE_NAME creation time
    FileTime changed = 0;            // $FILE_NAME time at value offset 24; shown as "Modified"
    core::TreeItemId treeItem = 0;   // item showing it; 0 until the tree is built
    std::uint32_t deleted = 0;       // 1 deleted, 0 present
    std::uint16_t reserved = 0;      // carried through snapshots
};

// One NTFS file found by the Standard Scan.
struct NtfsFileEntry
{
    std::string name;
    std::uint32_t record = 0;
    std::uint32_t parent = 0;
    FileTime created = 0;
    FileTime changed = 0;
    std::uint64_t size = 0;                // bytes of the unnamed $DATA; 0 when none
    core::Sector dataRecordSector = 0;     // FILE record holding the unnamed $DATA; the "ID" column
    std::uint32_t deleted = 0;
    // Of a deleted file, rated by the scan; not stored in snapshots.
    std::uint8_t recoverable = kRecoverableNotRated;
};

// One FAT directory.
struct FatFolderEntry
{
    std::string name;
    std::uint32_t cluster = 0;        // its first cluster
    std::uint32_t parentCluster = 0;  // first cluster of the parent; 0 is the root
    std::uint16_t writeDate = 0;      // FAT date word; shown as "Created"
    std::uint16_t accessDate = 0;     // FAT date word; shown as "Modified"
    core::TreeItemId treeItem = 0;
    std::uint32_t deleted = 0;
    std::uint16_t reserved = 0;
};

// One FAT file.
struct FatFileEntry
{
    std::string name;
    std::uint32_t cluster = 0;
    std::uint32_t parentCluster = 0;
    std::uint16_t writeDate = 0;
    std::uint16_t accessDate = 0;
    std::uint32_t size = 0;           // bytes
    std::uint32_t deleted = 0;
    std::uint32_t serial = 0;         // fileCount when added; the "ID" column
};

// An INDX buffer found by the sweep.
struct FoundIndexRecord
{
    core::Sector sector = 0;          // where the buffer starts
    std::uint32_t owner = 0;          // MFT record of the directory it belongs to (> 4)
    std::uint32_t vcn = 0;            // low half of the buffer's own VCN
    std::int16_t fsNumber = -1;       // file system it was assigned to; -1 until assigned
    std::uint8_t sectors = 0;         // buffer length in sectors
};

// A directory FILE record found by the sweep.
struct FoundFolderRecord
{
    std::string name;
    core::Sector sector = 0;          // the FILE record
    std::uint32_t parent = 0;
    std::uint32_t record = 0;         // own MFT record number; 0 until known
    std::int16_t fsNumber = 0;        // 0 not placed, -1 cannot be placed alone, n >= 1 file system n
    FileTime created = 0;
    FileTime changed = 0;
    std::uint32_t indexStartCluster = 0;  // first cluster of its $I30 allocation; 0 when none
    std::uint32_t deleted = 0;
};

// A file FILE record found by the sweep.
struct FoundFileRecord
{
    std::string name;
    core::Sector sector = 0;          // the FILE record; also the "ID" column
    std::uint32_t parent = 0;
    std::uint32_t record = 0;
    FileTime created = 0;
    FileTime changed = 0;
    std::uint64_t size = 0;
    std::int16_t fsNumber = 0;
    // Of a deleted file, rated when its file system is mounted (SetFoundFileRecoverable).
    std::uint8_t recoverable = kRecoverableNotRated;
    std::uint32_t deleted = 0;
};

// A file system deduced by the analysis: the 14 fields of VolumeParams in their order, then the
// key by which the list of found file systems refers to it.
struct FileSystemRecord
{
    VolumeParams params;
    std::uint32_t key = 0;
};

// The sizes the memory budget of a large scan rests on (about 100 bytes per entry plus a name
// longer than the string's inline buffer).
static_assert(sizeof(NtfsFolderEntry) <= sizeof(std::string) + 40);
static_assert(sizeof(NtfsFileEntry) <= sizeof(std::string) + 48);
static_assert(sizeof(FatFolderEntry) <= sizeof(std::string) + 24);
static_assert(sizeof(FatFileEntry) <= sizeof(std::string) + 24);
static_assert(sizeof(FoundIndexRecord) <= 24);
static_assert(sizeof(FoundFolderRecord) <= sizeof(std::string) + 48);
static_assert(sizeof(FoundFileRecord) <= sizeof(std::string) + 48);

// Everything a scan has found, and the parameter blocks every step consults. One per session.
//
// Lists keep discovery order, grow at the tail and are cleared only as a whole. Lookups return
// list positions, in list order, exactly as a walk of the list from its head would find them;
// a returned range stays valid until the catalog is next changed.
//
// Fields written after an entry was added (treeItem of folders, record and fsNumber of sweep
// records) must be written through the Set... operations: the index keyed on such a field is
// then rebuilt once, at the first lookup on that field after the writes (the tree build and the
// analysis write first and look up afterwards, so each phase costs one rebuild). The index of
// NTFS files by data record sector is built at its first lookup and follows the appends after
// it. Every other index follows each append.
//
// Threads: one worker fills the catalog; others read it only after the worker has ended.
// Several readers may look up at once (the lazy rebuild is serialised inside).
// Allocation failures surface as std::bad_alloc, caught by core::RunGuardedAgainstOom.
class Catalog
{
public:
    VolumeParams volumeParams;
    ScanTarget scanTarget;
    // 1-based position in the FileSystemRecord list of the file system last loaded into
    // volumeParams; 0 when none.
    std::int16_t selectedFileSystem = 0;
    // ScanStopFlag: set after the user confirmed the stop question, polled by the worker,
    // cleared by the worker when it ends.
    core::StopFlag scanStopFlag;

    // Counters. folderCount rises in AddNtfsFolder/AddFatFolder, foundFolderCount and
    // foundFileCount in AddFoundFolder/AddFoundFile; the caller raises fileCount right after
    // AddNtfsFile/AddFatFile, bootHitCount after AddBootHit, indexRecordCount after
    // AddFoundIndexRecord and fileSystemCount after AddFileSystem.
    std::uint32_t folderCount = 0;
    std::uint32_t fileCount = 0;
    std::uint32_t bootHitCount = 0;
    std::uint32_t indexRecordCount = 0;
    std::uint32_t foundFolderCount = 0;
    std::uint32_t foundFileCount = 0;
    std::uint16_t fileSystemCount = 0;

    Catalog() = default;
    Catalog(const Catalog&) = delete;
    Catalog& operator=(const Catalog&) = delete;

    // Releases the NTFS folder and file lists; zeroes folderCount and fileCount.
    void ClearNtfsLists() noexcept;
    // Releases the FAT folder and file lists; zeroes folderCount and fileCount.
    void ClearFatLists() noexcept;
    // Releases the boot-sector hits and the found index, folder, file and file-system lists;
    // zeroes the five sweep counters.
    void ClearSweepLists() noexcept;

    // Makes room for about `folders` NTFS folders and `files` NTFS files (and their indexes)
    // before a scan adds them, so that the lists do not move their entries again and again as
    // they grow. Only a hint: nothing visible changes, counts are clipped to the position limit,
    // a list holding more already keeps its room, the lists still grow past the hint, and room
    // the memory cannot give is simply not taken.
    void ReserveNtfsLists(std::size_t folders, std::size_t files) noexcept;

    // Appends; raises folderCount.
    void AddNtfsFolder(NtfsFolderEntry entry);
    // Appends (the caller raises fileCount).
    void AddNtfsFile(NtfsFileEntry entry);
    // Does nothing and returns false when a FAT folder with this cluster is listed already (the
    // first one wins); otherwise appends, raises folderCount and returns true.
    bool AddFatFolder(FatFolderEntry entry);
    // Appends with serial = fileCount (a serial in `entry` is ignored; the caller raises
    // fileCount).
    void AddFatFile(FatFileEntry entry);

    // Sweep lists. AddFoundFolder and AddFoundFile raise their counters; the others do not.
    void AddBootHit(core::Sector sector);
    void AddFoundIndexRecord(const FoundIndexRecord& record);
    void AddFoundFolder(FoundFolderRecord record);
    void AddFoundFile(FoundFileRecord record);
    void AddFileSystem(const FileSystemRecord& record);

    // Loads the `number`-th (1-based) FileSystemRecord into volumeParams: FAT16/FAT32 copy fields
    // 1-9 and 14, NTFS fields 1, 2, 3, 7, 10, 11, 13 and 14; the others keep their values.
    // selectedFileSystem becomes `number`. Returns false and changes nothing when there is no
    // such record, its type is none of the three, or `number` does not fit selectedFileSystem.
    bool LoadFileSystemRecord(std::size_t number);

    const std::vector<NtfsFolderEntry>& NtfsFolders() const noexcept { return m_ntfsFolders; }
    const std::vector<NtfsFileEntry>& NtfsFiles() const noexcept { return m_ntfsFiles; }
    const std::vector<FatFolderEntry>& FatFolders() const noexcept { return m_fatFolders; }
    const std::vector<FatFileEntry>& FatFiles() const noexcept { return m_fatFiles; }
    const std::vector<core::Sector>& BootSectorHits() const noexcept { return m_bootHits; }
    const std::vector<FoundIndexRecord>& FoundIndexRecords() const noexcept { return m_foundIndexRecords; }
    const std::vector<FoundFolderRecord>& FoundFolders() const noexcept { return m_foundFolders; }
    const std::vector<FoundFileRecord>& FoundFiles() const noexcept { return m_foundFiles; }
    const std::vector<FileSystemRecord>& FileSystems() const noexcept { return m_fileSystems; }

    // Writes after add. A position past the end of its list is ignored.
    void SetNtfsFolderTreeItem(std::size_t position, core::TreeItemId item);
    // Gives the NTFS folders at these positions new parents (position, parent pairs; positions
    // past the list are ignored) and rebuilds the index by parent once.
    void SetNtfsFolderParents(std::span<const std::pair<std::size_t, std::uint32_t>> parents);
    void SetFatFolderTreeItem(std::size_t position, core::TreeItemId item);
    void SetFoundFolderRecord(std::size_t position, std::uint32_t record);
    void SetFoundFolderFsNumber(std::size_t position, std::int16_t fsNumber);
    void SetFoundFileRecord(std::size_t position, std::uint32_t record);
    void SetFoundFileFsNumber(std::size_t position, std::int16_t fsNumber);
    void SetFoundIndexRecordFsNumber(std::size_t position, std::int16_t fsNumber);
    // No index is keyed on the ratings.
    void SetNtfsFileRecoverable(std::size_t position, std::uint8_t recoverable) noexcept;
    void SetFoundFileRecoverable(std::size_t position, std::uint8_t recoverable) noexcept;

    // Renaming (the Rename command). No index is keyed on the names of these lists.
    void SetNtfsFolderName(std::size_t position, std::string name);
    void SetNtfsFileName(std::size_t position, std::string name);
    void SetFatFolderName(std::size_t position, std::string name);
    void SetFatFileName(std::size_t position, std::string name);
    void SetFoundFileName(std::size_t position, std::string name);

    using Positions = PositionIndex::Range;

    // Children of a parent record (NTFS) or parent cluster (FAT), in list order.
    Positions NtfsFoldersWithParent(std::uint32_t parent) const noexcept;
    Positions NtfsFilesWithParent(std::uint32_t parent) const noexcept;
    Positions FatFoldersWithParent(std::uint32_t parentCluster) const noexcept;
    Positions FatFilesWithParent(std::uint32_t parentCluster) const noexcept;
    Positions FoundFilesWithParent(std::uint32_t parent) const noexcept;

    // First entry carrying the value; nothing when none does.
    std::optional<std::size_t> NtfsFolderWithRecord(std::uint32_t record) const noexcept;
    std::optional<std::size_t> NtfsFolderWithTreeItem(core::TreeItemId item) const;
    std::optional<std::size_t> NtfsFileWithDataRecordSector(core::Sector sector) const;
    std::optional<std::size_t> FatFolderWithCluster(std::uint32_t cluster) const noexcept;
    std::optional<std::size_t> FatFolderWithTreeItem(core::TreeItemId item) const;
    std::optional<std::size_t> FatFileWithSerial(std::uint32_t serial) const noexcept;
    std::optional<std::size_t> FoundFileWithSector(core::Sector sector) const noexcept;

    // Sweep records assigned to a file system, in list order.
    Positions FoundFoldersWithFsNumber(std::int16_t fsNumber) const;
    Positions FoundFilesWithFsNumber(std::int16_t fsNumber) const;
    Positions FoundIndexRecordsWithFsNumber(std::int16_t fsNumber) const;

    // Index records by their owner directory and by their sector, in list order.
    Positions FoundIndexRecordsWithOwner(std::uint32_t owner) const noexcept;
    Positions FoundIndexRecordsAtSector(core::Sector sector) const noexcept;

    // The first found folder whose record is still 0 and whose parent, creation time and name
    // (exact, case counts) are these.
    std::optional<std::size_t> FirstUnnumberedFoundFolder(std::uint32_t parent, FileTime created,
                                                          std::string_view name) const noexcept;

    // Heap and object bytes held by the lists, their names and their indexes.
    std::size_t MemoryBytes() const noexcept;

private:
    // An index on a field that may be written after add: rebuilt at the next lookup after such
    // a write.
    template <typename Index>
    struct BasicLazyIndex
    {
        Index index;
        bool stale = false;
    };
    using LazyIndex = BasicLazyIndex<PositionIndex>;
    template <typename Index, typename List, typename KeyOf>
    const Index& Fresh(BasicLazyIndex<Index>& lazy, const List& list, KeyOf keyOf) const;

    std::vector<NtfsFolderEntry> m_ntfsFolders;
    std::vector<NtfsFileEntry> m_ntfsFiles;
    std::vector<FatFolderEntry> m_fatFolders;
    std::vector<FatFileEntry> m_fatFiles;
    std::vector<core::Sector> m_bootHits;
    std::vector<FoundIndexRecord> m_foundIndexRecords;
    std::vector<FoundFolderRecord> m_foundFolders;
    std::vector<FoundFileRecord> m_foundFiles;
    std::vector<FileSystemRecord> m_fileSystems;

    PositionIndex m_ntfsFolderByParent;
    PositionIndex m_ntfsFolderByRecord;
    PositionIndex m_ntfsFileByParent;
    PositionIndex m_fatFolderByParent;
    PositionIndex m_fatFolderByCluster;
    PositionIndex m_fatFileByParent;
    PositionIndex m_fatFileBySerial;
    PositionIndex m_foundFileByParent;
    SectorPositionIndex m_foundFileBySector;
    PositionIndex m_foundFolderByParentAndTime;
    PositionIndex m_foundIndexByOwner;
    SectorPositionIndex m_foundIndexBySector;

    mutable std::mutex m_lazyMutex;
    mutable LazyIndex m_ntfsFolderByTreeItem;
    // Only the Open and ID commands look files up by sector: built at the first of them, not
    // entry by entry while the scan fills the list.
    mutable BasicLazyIndex<SectorPositionIndex> m_ntfsFileBySector{.index = {}, .stale = true};
    mutable LazyIndex m_fatFolderByTreeItem;
    mutable LazyIndex m_foundFolderByFsNumber;
    mutable LazyIndex m_foundFileByFsNumber;
    mutable LazyIndex m_foundIndexByFsNumber;
};

}  // namespace catalog
