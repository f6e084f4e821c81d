// The preview of a file: the first bytes of an NTFS file's data read into memory, through the
// same record reading and data map as its recovery, with a size cap; nothing is written anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/types.h"
#include "disk/disk_state.h"
#include "ntfs/standard_scan.h"
#include "recovery/ntfs_data_map.h"

namespace recovery {

// Most bytes a preview reads (an image is shown whole up to this size).
inline constexpr std::uint64_t kMaxPreviewBytes = 16 * 1024 * 1024;

struct PreviewBytes
{
    std::vector<std::uint8_t> bytes;  // the first min(size, cap) bytes of the file
    bool cut = false;                 // the file is longer than the cap
    bool incomplete = false;          // some bytes could not be located or decoded: shown as zeros
    std::uint64_t unreadableSectors = 0;  // read as zeros
    bool readable = true;             // false: no usable unnamed $DATA (nothing to show)
};

// Reads the first min(size, cap) bytes of the NTFS file whose $DATA record lies at `recordSector`.
// Resident bytes are taken from the record; clusters are read sector by sector through the disk's
// reader (unreadable sectors, sparse runs and bytes past the initialized size read as zeros).
// Compressed data is not decoded: those files are marked incomplete and read as zeros.
PreviewBytes ReadNtfsPreview(disk::DiskState& disk, core::Sector recordSector, std::uint64_t size,
                             const ClusterGeometry& geometry, const ntfs::MftRunTable* mftMap,
                             std::uint64_t cap = kMaxPreviewBytes);

}  // namespace recovery
