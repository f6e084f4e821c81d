// File-system identification after the sweep: MFT record numbers for the found folders, file
// systems confirmed from boot sectors and from pairs of folders whose index buffers lie where a
// geometry puts them, and the "NTFS @" items of the found-file-system tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/progress.h"
#include "core/types.h"
#include "disk/disk_state.h"
#include "catalog/catalog.h"
#include "ntfs/folder_tree.h"

namespace advscan {

// A new found-file-system tree: root "File Systems" with image 0.
ntfs::FolderTree NewFoundFileSystemTree();

// The item text of a found file system: "NTFS @" followed by its first sector.
std::string FoundFileSystemItemText(core::Sector start);

// Gives every found folder whose record is 0 a number. First from the index entries of the found
// INDX buffers (re-read from the disk, fixed up): a directory entry numbers the first folder in
// list order whose record is still 0 and whose parent, creation time and name (exact) are the
// entry's. Then by interpolation along the folder list: after a folder at sector p with number n,
// a folder at sector s receives n + (s - p) / 2, or n + 1 when s - p is odd or nothing came before
// (n starting at 1). Shows "Assign MFT numbers <k> \ <count>" and progress for each INDX buffer.
// Throws std::bad_alloc when memory runs out.
void AssignRecordNumbers(disk::DiskState& disk, catalog::Catalog& catalog, core::ProgressSink& sink);

// Confirms candidate geometries against the found folders and index buffers, and records each
// confirmed one as a file system. One instance serves one analysis: it remembers every candidate
// it has tried, since a candidate that was tried once can place nothing later (placing only takes
// folders and index buffers out of the pool, and a tried candidate has placed all it could).
//
// Folders and index buffers whose file system is assigned here get the number
// fileSystemCount + 1 of the candidate being confirmed; fsNumber is a 16-bit field, so once
// 32767 file systems are listed no candidate is confirmed any more.
class FileSystemIdentifier
{
public:
    FileSystemIdentifier(catalog::Catalog& catalog, ntfs::FolderTree& tree);

    // Walks the folders after `start` up to `end` (stopping at the first folder above `end` in
    // list order). Each folder not yet placed (fsNumber 0) whose $I30 allocation starts at a
    // non-zero cluster c is placed, together with the first index buffer with vcn 0, not yet
    // placed, owned by the folder's record and lying at start + spc * c. Returns true when any folder was placed.
    bool ConfirmFileSystem(core::Sector start, std::uint32_t sectorsPerCluster, core::Sector end);

    // One candidate per boot-sector hit, in order: its cluster size (1-128, a power of two), its
    // end (boot sector + the total sector count),
    // $MFT, $MFTMirr and index-buffer sectors. A confirmed one is listed with all of these.
    void IdentifyByBootSectors(disk::DiskState& disk);

    // Candidates from pairs of unplaced folders p, q (q after p) whose first index buffers lie at
    // sectorP, sectorQ: spc = |sectorP - sectorQ| / |lcnP - lcnQ| (remainder ignored; sectors
    // and clusters must rise together), start = sectorP - spc * lcnP, tried when spc is a power of two up to 128 and
    // start is not negative, with scanEndSector as end. A confirmed one is listed with $MFT and
    // $MFTMirr 0 and 8-sector index buffers. A folder p without allocation, or whose first index
    // buffer is missing or at sector 0, gets fsNumber -1.
    void IdentifyByIndexPairs();

    // Candidates tried so far (confirmed or not).
    std::size_t CandidatesTried() const noexcept { return m_tried.size(); }

private:
    struct Candidate
    {
        core::Sector start;
        std::uint32_t sectorsPerCluster;
        core::Sector end;
        bool operator==(const Candidate&) const = default;
    };
    struct CandidateHash
    {
        std::size_t operator()(const Candidate& c) const noexcept;
    };

    void RemoveFromPool(std::size_t position);
    // The pool slot at or after `slot` that is still in the pool (m_pool.size() when none).
    std::size_t NextInPool(std::size_t slot);
    // Position of the first index buffer with vcn 0, not yet placed, owned by the folder's
    // record; nothing when there is none.
    std::optional<std::size_t> FirstIndexOf(std::size_t folderPosition);
    bool Tried(const Candidate& candidate) const { return m_tried.count(candidate) != 0; }
    void ListFileSystem(core::Sector start, std::uint32_t sectorsPerCluster, std::int64_t mftSector,
                        std::int64_t mftMirrSector, std::int32_t indexRecordSectors, core::Sector end);

    catalog::Catalog& m_catalog;
    ntfs::FolderTree& m_tree;
    std::unordered_set<Candidate, CandidateHash> m_tried;

    bool m_sorted = true;                       // folders in ascending sector order
    std::vector<core::Sector> m_prefixMaxSector;  // highest folder sector up to each position
    // Folders that a candidate can still place (fsNumber 0, allocation cluster not 0), ascending;
    // a removed slot is skipped through m_nextSlot (path-halving successor links).
    std::vector<std::uint32_t> m_pool;
    std::vector<std::uint32_t> m_nextSlot;
    std::vector<std::uint8_t> m_inPool;
    // Index buffers with vcn 0, grouped by owner in list order; each group's cursor is at its
    // first buffer not yet placed (placing only moves it forward).
    std::vector<std::uint32_t> m_groupOfFolder;  // kNoGroup when no buffer has the folder's record
    std::vector<std::uint32_t> m_groupStart;
    std::vector<std::uint32_t> m_groupCursor;
    std::vector<std::uint32_t> m_groupMembers;
};

// The whole analysis: AssignRecordNumbers, "Identify the file system(s)", the boot-sector
// candidates, the pair candidates, then the orphan pass: a folder left with fsNumber -1 joins the
// file system of the folder before it in list order (file system 1 at the head of the list).
// Throws std::bad_alloc when memory runs out.
void AnalyseFoundStructures(disk::DiskState& disk, catalog::Catalog& catalog, ntfs::FolderTree& fileSystemTree,
                            core::ProgressSink& sink);

}  // namespace advscan
