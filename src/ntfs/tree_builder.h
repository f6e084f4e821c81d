// The orphan pass that hangs folders and files with a missing parent under placeholder folders,
// and the building of the folder tree from the catalog's NTFS or FAT folder list.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/progress.h"
#include "core/types.h"
#include "catalog/catalog.h"
#include "ntfs/folder_tree.h"

namespace ntfs {

inline constexpr std::uint32_t kRootRecord = 5;   // the NTFS root directory
inline constexpr std::uint32_t kFatRootCluster = 0;

// Which files the orphan pass looks at after the folders.
enum class LostFiles : std::uint8_t
{
    None,          // folders only
    NtfsFiles,     // the NTFS file list (a Standard Scan)
    MountedFound,  // the found files of the mounted file system (clusterBase < sector <= endSector)
};

// The orphan pass, run after the MFT walk or the mount's folders and before the tree is built.
// For each NTFS folder entry in list order (then each file `files` names, in list order) whose
// parent is not 5 and is no folder's own record, appends a placeholder folder "Dir<counter>" with
// record = that parent, parent = 5, times 0, and raises the counter; a later folder or file
// missing the same parent shares it. Placeholders appended during the pass are walked too.
// Reports "Searching For Lost Data" and progress 0..99; ends early when `stop` is set, and clears
// `stop` when it ends. Returns the next counter. Throws std::bad_alloc when memory runs out.
std::uint32_t SearchLostData(catalog::Catalog& catalog, std::uint32_t counter, LostFiles files, core::StopFlag& stop,
                             core::ProgressSink& progress);
// Last, folders whose parent links never reach the root (loops, a folder that is its own
// parent) are cut at one folder each, which is hung under a placeholder "Dir<counter>" of its
// own (parent 5, record a key no entry uses, taken from the top of the 32-bit range): after the
// pass every folder and file is reachable from the root.
//
// The same with the NTFS files (`includeFiles`) or the folders only.
std::uint32_t SearchLostData(catalog::Catalog& catalog, std::uint32_t counter, bool includeFiles, core::StopFlag& stop,
                               core::ProgressSink& progress);

// A name the orphan pass gives its placeholders: "Dir" and decimal digits.
bool IsPlaceholderName(std::string_view name) noexcept;
// The counter for the next placeholder of a catalog that may hold some already (a loaded
// snapshot): one past the highest number of a placeholder folder under the root.
std::uint32_t NextPlaceholderNumber(const catalog::Catalog& catalog) noexcept;

// What a tree build did: folders placed, lookups of a parent's children, and child positions
// walked. The last two stay linear in the folder list whatever the records hold.
struct TreeBuildCounts
{
    std::uint32_t placed = 0;
    std::uint64_t childLookups = 0;
    std::uint64_t entriesVisited = 0;
};

// Places every NTFS folder whose parent is `parentRecord` under `item`, and their subfolders
// below them, children in catalog order, each with its name, image 2 and selected image 1; the
// item's id goes into the entry's treeItem. Reports progress min(99, 100 * placed / folderCount)
// and expands the tree's root item at the end.
//
// After an Advance Scan two folder entries can share a record number; each of them then
// receives the folders whose parent is that number. The build stays finite and linear: each
// folder entry is placed at most once (under the first of them to be reached), and the children
// of a record are looked up only once, so a record already on the path from `parentRecord` down
// is not descended into again and a folder is never placed inside its own subtree. Iterative,
// so the depth of the tree is bounded only by memory. Returns the number of folders placed;
// `counts`, when given, receives what the build did. Throws std::bad_alloc when memory runs out.
std::uint32_t BuildNtfsTree(catalog::Catalog& catalog, FolderTree& tree, core::TreeItemId item,
                            std::uint32_t parentRecord, core::ProgressSink& progress,
                            TreeBuildCounts* counts = nullptr);

// The same over the FAT folders, by parentCluster and cluster.
std::uint32_t BuildFatTree(catalog::Catalog& catalog, FolderTree& tree, core::TreeItemId item,
                           std::uint32_t parentCluster, core::ProgressSink& progress,
                           TreeBuildCounts* counts = nullptr);

}  // namespace ntfs
