// A small NTFS volume built in memory for scan tests: an unpartitioned disk holding the volume at
// a chosen sector, its boot sector and the copy at its last sector, an $MFT in chosen runs with
// records 0 ($MFT) and 5 (the root), and any further FILE record placed by its number.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/types.h"
#include "disk/disk_state.h"
#include "catalog/volume_params.h"
#include "support/memory_disk.h"
#include "support/ntfs_builder.h"

namespace testing_support {

struct MftVolumeLayout
{
    core::Sector volumeStart = 63;
    std::uint32_t volumeSectors = 16384;
    std::uint8_t sectorsPerCluster = 8;
    std::vector<RunSpec> mftRuns = {{64, 16}};   // clusters of the $MFT's data
    std::uint64_t mftMirrCluster = 2;
};

class MftVolume
{
public:
    explicit MftVolume(MftVolumeLayout layout = {});

    // A disk state reading this volume's disk (which it owns).
    disk::DiskState& Disk() noexcept { return m_disk; }
    FaultyDisk& Raw() noexcept { return *m_raw; }
    const MftVolumeLayout& Layout() const noexcept { return m_layout; }

    // The scan target of the whole volume.
    catalog::ScanTarget Target() const;

    // Absolute sector of record `number` through the $MFT's runs, as a walk over 1024-byte slots
    // numbers them; 0 when no slot has that number or it lies in a sparse run.
    core::Sector RecordSector(std::uint32_t number) const;
    // Absolute sector of cluster `lcn`.
    core::Sector ClusterSector(std::uint64_t lcn) const;
    // Writes a record (as built, update sequence stamped) into slot `number`.
    void PutRecord(std::uint32_t number, const ByteBuffer& record);
    // A present (flags 1) or other file with one Win32 name in `parent` and resident data.
    void PutFile(std::uint32_t number, const std::string& name, std::uint32_t parent = 5, std::uint16_t flags = 1,
                 std::size_t dataBytes = 10, std::uint8_t nameSpace = 1);
    // A folder (flags 3 unless said otherwise) with one Win32 name.
    void PutFolder(std::uint32_t number, const std::string& name, std::uint32_t parent = 5, std::uint16_t flags = 3);
    // Record 0 as it is first written: $STANDARD_INFORMATION-free, "$MFT" name, unnamed $DATA over
    // the layout's runs. Exposed so a test can rebuild it with extra attributes.
    FileRecordBuilder MftRecord() const;

private:
    MftVolumeLayout m_layout;
    disk::DiskState m_disk;
    FaultyDisk* m_raw = nullptr;
};

}  // namespace testing_support
