// A live file found by its path through the directory indexes, from the root down, without
// walking the whole $MFT: the quick route of a recovery that names its files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "disk/disk_state.h"
#include "catalog/catalog.h"
#include "ntfs/standard_scan.h"
#include "catalog/volume_params.h"

namespace ntfs {

// Most components of a path, INDX blocks read per directory, extents and runs (per extent) of
// one index allocation, and distinct records an index may offer for one name.
inline constexpr std::size_t kMaxLivePathComponents = 64;
inline constexpr std::size_t kMaxIndexBlocksPerDirectory = 4096;
inline constexpr std::size_t kMaxIndexExtents = 64;
inline constexpr std::size_t kMaxIndexAllocationRuns = 4096;
inline constexpr std::size_t kMaxNameCandidates = 16;

// The entry the Standard Scan would make of the live file at `path`: "/"-separated components
// (empty ones dropped), each compared with names as the catalog holds them (UTF-8),
// case counting. The walk starts at the root (record 5) and
// reads every directory's $I30 index root and all blocks of its allocation, in its base record
// or in the extension records its attribute list names. Every record an index entry of the
// sought name points at is read and judged by what the scan would list of it (its name, parent,
// size and data record found by the scan's own steps, and its flags byte). Each component must
// be a present folder (flags 3) and the last one a present file; exactly one such record may
// carry the name in its folder, and no folder of that name beside it.
//
// Empty whenever the answer could differ from the scan's catalog or cannot be told without it: a
// path that names nothing live, a folder, a file with an $ATTRIBUTE_LIST, a record the index
// names whose signature or fixup is doubtful, an index block that is damaged and marked in use,
// an allocation whose extents do not follow one another, a $MFT run of an odd number of sectors
// (the walk numbers records otherwise), a record met twice on the way, more than the limits
// above, or a disk not read through a device file or image.
std::optional<catalog::NtfsFileEntry> ResolveLiveFile(disk::DiskState& disk, const catalog::VolumeParams& params,
                                             const MftRunTable& table, std::string_view path);

}  // namespace ntfs
