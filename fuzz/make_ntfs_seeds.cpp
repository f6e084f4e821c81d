// Writes the seed inputs of the NTFS decoder fuzz targets into fuzz/corpus/<target>/.
// Build and run from the source root:
//   c++ -std=c++20 -Isrc -Itests fuzz/make_ntfs_seeds.cpp tests/support/ntfs_builder.cpp -o /tmp/seeds
//   /tmp/seeds fuzz/corpus
#include <filesystem>
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/ntfs_builder.h"

namespace {

namespace ts = testing_support;

void Write(const std::filesystem::path& dir, const std::string& name, const ts::ByteBuffer& bytes)
{
    std::filesystem::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

ts::FileNameSpec Name(const std::string& name, std::uint8_t nameSpace)
{
    ts::FileNameSpec s;
    s.name = name;
    s.nameSpace = nameSpace;
    return s;
}

// A disk for the whole_scan target: sectors by number, written as its input (the chunk byte,
// then a 16-bit sector number and 512 bytes for every sector that holds something).
class SeedDisk
{
public:
    void Put(std::uint32_t sector, const ts::ByteBuffer& bytes)
    {
        for (std::size_t at = 0; at < bytes.size(); at += 512, ++sector) {
            auto& s = m_sectors[static_cast<std::uint16_t>(sector)];
            s.assign(512, 0);
            std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), std::min<std::size_t>(512, bytes.size() - at),
                        s.begin());
        }
    }
    ts::ByteBuffer Input(std::uint8_t chunk) const
    {
        ts::ByteBuffer out{chunk};
        for (const auto& [sector, bytes] : m_sectors) {
            out.push_back(static_cast<std::uint8_t>(sector));
            out.push_back(static_cast<std::uint8_t>(sector >> 8));
            out.insert(out.end(), bytes.begin(), bytes.end());
        }
        return out;
    }

private:
    std::map<std::uint16_t, ts::ByteBuffer> m_sectors;
};

// An NTFS volume at sector 63 (8 sectors per cluster, $MFT at cluster 4 over `mftRuns`), with
// the root and the folders and files given: (record, name, parent, folder).
struct Entry
{
    std::uint32_t record;
    const char* name;
    std::uint32_t parent;
    bool folder;
};

ts::ByteBuffer CraftedVolume(const std::vector<ts::RunSpec>& mftRuns, const std::vector<Entry>& entries)
{
    constexpr std::uint32_t kStart = 63;
    constexpr std::uint32_t kMftSector = kStart + 4 * 8;
    SeedDisk disk;
    ts::BootSectorSpec boot;
    boot.totalSectors = 16384;
    disk.Put(kStart, ts::BuildBootSector(boot));
    std::uint64_t clusters = 0;
    for (const ts::RunSpec& r : mftRuns) {
        clusters += r.length;
    }
    ts::NonResidentSpec data;
    data.runs = ts::EncodeRunList(mftRuns);
    data.lastVcn = clusters - 1;
    data.allocatedSize = data.dataSize = data.initializedSize = clusters * 4096;
    ts::FileRecordBuilder mft;
    mft.Flags(1).RecordNumber(0).FileName(Name("$MFT", 3)).NonResident(data);
    disk.Put(kMftSector, mft.Build());
    disk.Put(kStart + 2 * 8, mft.Build());  // $MFTMirr
    ts::FileNameSpec root = Name(".", 3);
    root.fileAttributes = 0x10000006;
    disk.Put(kMftSector + 10, ts::FileRecordBuilder().Flags(3).RecordNumber(5).FileName(root).IndexRoot({}).Build());
    for (const Entry& e : entries) {
        ts::FileNameSpec name = Name(e.name, 1);
        name.parent = e.parent;
        ts::FileRecordBuilder record;
        record.Flags(e.folder ? 3 : 1).RecordNumber(e.record);
        if (e.folder) {
            name.fileAttributes = 0x10000000;
            record.FileName(name).IndexRoot({});
        } else {
            record.FileName(name).ResidentData(ts::ByteBuffer(40, 'q'));
        }
        disk.Put(kMftSector + 2 * e.record, record.Build());
    }
    disk.Put(kStart + 16383, ts::BuildBootSector(boot));
    return disk.Input(60);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path root = argc > 1 ? argv[1] : "fuzz/corpus";

    Write(root / "boot_sector", "ntfs_spc8", ts::BuildBootSector());
    ts::BootSectorSpec small;
    small.sectorsPerCluster = 1;
    small.clustersPerIndexBuffer = 8;
    Write(root / "boot_sector", "ntfs_spc1", ts::BuildBootSector(small));

    Write(root / "data_runs", "three_runs", ts::EncodeRunList({{16, 0x1000}, {4, std::nullopt}, {300, 0x20}}));
    Write(root / "data_runs", "wide", ts::EncodeRunList({{0x1'0000'0000ULL, 0x12'3456'789AULL}, {1, 1}}));

    ts::FileRecordBuilder file;
    file.FileName(Name("REPORT~1.DOC", 2)).FileName(Name("report.doc", 1)).ResidentData(ts::ByteBuffer(300, 'x'));
    Write(root / "file_record", "resident_file", file.Build());

    ts::NonResidentSpec data;
    data.runs = ts::EncodeRunList({{16, 0x100}, {8, 0x80}});
    data.lastVcn = 23;
    data.allocatedSize = 24 * 4096;
    data.dataSize = data.initializedSize = 24 * 4096 - 10;
    ts::FileRecordBuilder big;
    big.AttributeList({{.type = 0x30, .record = 40}, {.type = 0x80, .record = 41}})
        .FileName(Name("movie.avi", 1))
        .ResidentData(ts::ByteBuffer(20, 'z'), "Zone.Identifier")
        .NonResident(data);
    Write(root / "file_record", "nonresident_with_list", big.Build());

    ts::IndexEntrySpec entry;
    entry.record = 0x40;
    entry.key = Name("a.txt", 1);
    entry.key.parent = 0x27;
    ts::FileRecordBuilder dir;
    dir.Flags(3).FileName(Name("Documents", 1)).IndexRoot({entry}, true).IndexAllocation({{1, 0x1234}});
    Write(root / "file_record", "directory", dir.Build());

    ts::IndexEntrySpec second = entry;
    second.record = 0x41;
    second.key = Name("Beta", 3);
    second.key.fileAttributes = 0x10000000;
    Write(root / "indx", "indx_4096", ts::BuildIndexBuffer(0, {entry, second}));
    Write(root / "indx", "indx_1024", ts::BuildIndexBuffer(3, {entry}, 1024));

    // Crafted volumes of damaged disks, reduced to the sectors that hold something.
    Write(root / "whole_scan", "parent_loops",
          CraftedVolume({{16, 4}}, {{20, "A", 21, true},
                                    {21, "B", 20, true},
                                    {22, "Self", 22, true},
                                    {23, "under B", 21, true},
                                    {30, "in A.txt", 20, false},
                                    {31, "in Self.txt", 22, false},
                                    {32, "top.txt", 5, false}}));
    std::vector<ts::RunSpec> overlapping{{16, 4}};
    for (int i = 0; i < 61; ++i) {
        overlapping.push_back({4, 4 + i % 2});
    }
    overlapping.push_back({4, 100000});  // past the volume and the disk
    Write(root / "whole_scan", "overlapping_mft_runs",
          CraftedVolume(overlapping, {{20, "folder", 5, true}, {30, "file.txt", 20, false}}));
    return 0;
}
