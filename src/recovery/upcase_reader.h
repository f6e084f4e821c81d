// Reading a volume's $UpCase table (MFT record 10) into memory, so that names are compared the
// way NTFS compares them on that volume.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/case_map.h"
#include "disk/disk_state.h"
#include "ntfs/standard_scan.h"
#include "catalog/volume_params.h"
#include "recovery/ntfs_data_map.h"

namespace recovery {

inline constexpr std::uint32_t kUpCaseRecord = 10;

// The first `maxBytes` bytes of the unnamed $DATA of the FILE record at `recordSector`, read into
// memory through the same map the extraction uses (resident bytes, or clusters along the runs).
// Empty when the record is unreadable or not a FILE record, when the data is compressed, when a
// piece of the first `maxBytes` is unmapped, sparse, past the initialized size or unreadable, or
// when the data is shorter than `maxBytes`: the caller gets all of it or nothing.
std::vector<std::uint8_t> ReadNtfsDataPrefix(disk::DiskState& disk, core::Sector recordSector,
                                             const ClusterGeometry& geometry, const ntfs::MftRunTable* mftMap,
                                             std::size_t maxBytes);

// The $UpCase table of the NTFS volume `params` whose $MFT `mftMap` maps: record 10's data, 128 KiB
// at most, checked by UpCaseTable::FromBytes. None when the volume is not NTFS, the map is empty,
// or the table cannot be read whole or is refused; callers then compare through the built-in case
// map. One read of 128 KiB: callers keep the table for the volume, never read it per comparison.
std::optional<core::UpCaseTable> ReadVolumeUpCase(disk::DiskState& disk, const catalog::VolumeParams& params,
                                                  const ntfs::MftRunTable& mftMap);

} // namespace recovery
