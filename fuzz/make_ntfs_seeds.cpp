// Writes the seed inputs of the NTFS decoder fuzz targets into fuzz/corpus/<target>/.
// Build and run from the source root:
//   c++ -std=c++20 -Isrc -Itests fuzz/make_ntfs_seeds.cpp tests/support/ntfs_builder.cpp -o /tmp/seeds
//   /tmp/seeds fuzz/corpus
#include <filesystem>
#include <fstream>
#include <string>

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
    return 0;
}
