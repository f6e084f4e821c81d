// A small NTFS volume built in memory for scan tests.
#include "support/mft_volume.h"

#include <stdexcept>

namespace testing_support {

MftVolume::MftVolume(MftVolumeLayout layout) : m_layout(std::move(layout))
{
    const std::uint64_t diskSectors = std::uint64_t{m_layout.volumeStart} + m_layout.volumeSectors + 16;
    auto raw = std::make_unique<FaultyDisk>(diskSectors * core::kSectorSize);
    m_raw = raw.get();
    m_disk.driveHandle = std::move(raw);

    BootSectorSpec boot;
    boot.sectorsPerCluster = m_layout.sectorsPerCluster;
    boot.totalSectors = m_layout.volumeSectors - 1;
    boot.mftCluster = m_layout.mftRuns.empty() || !m_layout.mftRuns.front().lcn ? 0
                                                                            : static_cast<std::uint64_t>(*m_layout.mftRuns.front().lcn);
    boot.mftMirrCluster = m_layout.mftMirrCluster;
    const ByteBuffer bootSector = BuildBootSector(boot);
    m_raw->WriteSector(m_layout.volumeStart, bootSector);
    m_raw->WriteSector(m_layout.volumeStart + m_layout.volumeSectors - 1, bootSector);

    const ByteBuffer record0 = MftRecord().Build();
    PutRecord(0, record0);
    m_raw->Write(core::SectorOffset(ClusterSector(m_layout.mftMirrCluster)), record0);
    PutRecord(5, FileRecordBuilder()
                     .Flags(3)
                     .RecordNumber(5)
                     .FileName({.name = ".", .parent = 5, .nameSpace = 3, .fileAttributes = 0x10000006})
                     .Build());
}

FileRecordBuilder MftVolume::MftRecord() const
{
    std::uint64_t clusters = 0;
    for (const RunSpec& run : m_layout.mftRuns) {
        clusters += run.length;
    }
    const std::uint64_t bytes = clusters * m_layout.sectorsPerCluster * core::kSectorSize;
    FileRecordBuilder record;
    record.Flags(1).RecordNumber(0).FileName({.name = "$MFT", .parent = 5, .nameSpace = 3, .fileAttributes = 6});
    record.NonResident({.type = 0x80,
                        .runs = EncodeRunList(m_layout.mftRuns),
                        .lastVcn = clusters == 0 ? 0 : clusters - 1,
                        .allocatedSize = bytes,
                        .dataSize = bytes,
                        .initializedSize = bytes});
    return record;
}

catalog::ScanTarget MftVolume::Target() const
{
    catalog::ScanTarget target;
    target.scanType = core::kFsNtfs;
    target.scanStartSector = m_layout.volumeStart;
    target.scanSectorCount = m_layout.volumeSectors;
    target.scanEndSector = m_layout.volumeStart + m_layout.volumeSectors - 1;
    return target;
}

core::Sector MftVolume::ClusterSector(std::uint64_t lcn) const
{
    return static_cast<core::Sector>(m_layout.volumeStart + lcn * m_layout.sectorsPerCluster);
}

core::Sector MftVolume::RecordSector(std::uint32_t number) const
{
    std::uint32_t slot = 0;
    for (const RunSpec& run : m_layout.mftRuns) {
        const std::uint64_t sectors = run.length * m_layout.sectorsPerCluster;
        const std::uint64_t slots = sectors / 2;
        if (number < slot + slots) {
            return run.lcn ? static_cast<core::Sector>(ClusterSector(static_cast<std::uint64_t>(*run.lcn)) +
                                                       2 * (number - slot))
                           : 0;
        }
        slot += static_cast<std::uint32_t>(slots);
    }
    return 0;
}

void MftVolume::PutRecord(std::uint32_t number, const ByteBuffer& record)
{
    const core::Sector sector = RecordSector(number);
    if (sector == 0) {
        throw std::out_of_range("no MFT slot for this record");
    }
    m_raw->Write(core::SectorOffset(sector), record);
}

void MftVolume::PutFile(std::uint32_t number, const std::string& name, std::uint32_t parent, std::uint16_t flags,
                        std::size_t dataBytes, std::uint8_t nameSpace)
{
    const ByteBuffer data(dataBytes, 'x');
    PutRecord(number, FileRecordBuilder()
                          .Flags(flags)
                          .RecordNumber(number)
                          .FileName({.name = name, .parent = parent, .nameSpace = nameSpace})
                          .ResidentData(data)
                          .Build());
}

void MftVolume::PutFolder(std::uint32_t number, const std::string& name, std::uint32_t parent, std::uint16_t flags)
{
    PutRecord(number, FileRecordBuilder()
                          .Flags(flags)
                          .RecordNumber(number)
                          .FileName({.name = name, .parent = parent, .nameSpace = 1, .fileAttributes = 0x10000000})
                          .IndexRoot({})
                          .Build());
}

}  // namespace testing_support
