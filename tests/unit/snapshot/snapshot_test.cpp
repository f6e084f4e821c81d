// Snapshot format, saving and loading: exact bytes, round trips, the tag and version checks, and
// refusal of damaged files without touching the catalog.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <stdlib.h>
#include <unistd.h>

#include "core/messages.h"
#include "core/types.h"
#include "catalog/catalog.h"
#include "snapshot/snapshot_codec.h"
#include "snapshot/snapshot_file.h"
#include "snapshot/snapshot_layout.h"

namespace snapshot {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class TempDir
{
public:
    TempDir()
    {
        std::string tmpl = (fs::temp_directory_path() / "dravik-snapshot-XXXXXX").string();
        m_path = ::mkdtemp(tmpl.data());
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

Bytes ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& p, const Bytes& bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Serialize(const catalog::Catalog& catalog)
{
    Bytes out;
    EXPECT_EQ(SerializeSnapshot(catalog, out), SerializeOutcome::Serialized);
    return out;
}

std::uint32_t U32At(const Bytes& b, std::size_t off)
{
    return static_cast<std::uint32_t>(b.at(off) | b.at(off + 1) << 8 | b.at(off + 2) << 16 | b.at(off + 3) << 24);
}
std::uint16_t U16At(const Bytes& b, std::size_t off) { return static_cast<std::uint16_t>(b.at(off) | b.at(off + 1) << 8); }
void PutU16(Bytes& b, std::size_t off, std::uint16_t v)
{
    b.at(off) = static_cast<std::uint8_t>(v);
    b.at(off + 1) = static_cast<std::uint8_t>(v >> 8);
}
void PutU32(Bytes& b, std::size_t off, std::uint32_t v)
{
    PutU16(b, off, static_cast<std::uint16_t>(v));
    PutU16(b, off + 2, static_cast<std::uint16_t>(v >> 16));
}

void SetHeader(catalog::Catalog& c, core::FsTypeCode type)
{
    c.scanTarget = {type, 63, 204800, 204862, 2};
    c.volumeParams.type = type;
    c.volumeParams.fatSectors = type == core::kFsNtfs ? 0 : 200;
    c.volumeParams.sectorsPerCluster = 8;
    c.volumeParams.rootDirSectors = 32;
    c.volumeParams.rootDirStart = 999;  // not stored
    c.volumeParams.reservedSectors = 4;
    c.volumeParams.clusterBase = 63;
    c.volumeParams.fat1Start = 67;
    c.volumeParams.fat2Start = 267;
    c.volumeParams.mftSector = 0xFFFFFFFB;  // a sector of 2^31 or above: classic files hold its bit pattern
    c.volumeParams.mftMirrSector = 1000;
    c.volumeParams.sectorsPerFileRecord = 2;
    c.volumeParams.indexRecordSectors = 8;
    c.volumeParams.endSector = 204862;
    c.selectedFileSystem = 3;
}

void AddNtfsFile(catalog::Catalog& c, std::string name, std::uint32_t record, std::uint32_t parent, std::uint64_t size,
                 std::uint32_t deleted = 0)
{
    c.AddNtfsFile({.name = std::move(name), .record = record, .parent = parent, .created = 0x01D0000000000001ULL,
                   .changed = 0x01D0000000000002ULL, .size = size, .dataRecordSector = record * 2 + 100,
                   .deleted = deleted});
    ++c.fileCount;
}

void AddFatFile(catalog::Catalog& c, std::string name, std::uint32_t cluster, std::uint32_t parent, std::uint32_t size)
{
    c.AddFatFile({std::move(name), cluster, parent, 0x3267, 0x3268, size, 1, 0});
    ++c.fileCount;
}

// An NTFS catalog as a Standard Scan leaves it: a folder, a subfolder, a placeholder, files.
void FillNtfs(catalog::Catalog& c)
{
    SetHeader(c, core::kFsNtfs);
    c.AddNtfsFolder({"DOCS", 40, 5, 11, 12, 0, 0, 0});
    c.AddNtfsFolder({"2005", 41, 40, 13, 14, 0, 1, 0});
    c.AddNtfsFolder({"Dir0", 77, 5, 0, 0, 0, 0, 0});
    AddNtfsFile(c, "a.doc", 50, 41, 0x1'0000'0001ULL);
    AddNtfsFile(c, "", 51, 5, 0, 1);  // an empty name still occupies a record
    AddNtfsFile(c, std::string(255, 'x'), 52, 77, 7);
}

void FillFat(catalog::Catalog& c, core::FsTypeCode type)
{
    SetHeader(c, type);
    c.AddFatFolder({"DOCS", 3, 0, 0x3261, 0x3262, 0, 0, 0});
    c.AddFatFolder({"OLD", 9, 3, 0x3263, 0x3264, 0, 1, 0});
    AddFatFile(c, "README.TXT", 20, 0, 1234);
    AddFatFile(c, "X.BIN", 21, 9, 0xFFFFFFFFu);
}

// Everything a load may change, as text, to see that a refused load changed nothing.
std::string Fingerprint(const catalog::Catalog& c)
{
    std::ostringstream s;
    const auto& t = c.scanTarget;
    const auto& v = c.volumeParams;
    s << t.scanType << ',' << t.scanStartSector << ',' << t.scanSectorCount << ',' << t.scanEndSector << ','
      << t.scanPartitionTag << '|' << v.type << ',' << v.fatSectors << ',' << v.sectorsPerCluster << ','
      << v.rootDirSectors << ',' << v.rootDirStart << ',' << v.reservedSectors << ',' << v.clusterBase << ','
      << v.fat1Start << ',' << v.fat2Start << ',' << v.mftSector << ',' << v.mftMirrSector << ','
      << v.sectorsPerFileRecord << ',' << v.indexRecordSectors << ',' << v.endSector << '|' << c.selectedFileSystem
      << '|' << c.folderCount << ',' << c.fileCount << '|';
    for (const auto& e : c.NtfsFolders()) {
        s << e.name << ',' << e.record << ',' << e.parent << ',' << e.treeItem << ';';
    }
    for (const auto& e : c.NtfsFiles()) {
        s << e.name << ',' << e.record << ',' << e.size << ';';
    }
    for (const auto& e : c.FatFolders()) {
        s << e.name << ',' << e.cluster << ';';
    }
    for (const auto& e : c.FatFiles()) {
        s << e.name << ',' << e.serial << ';';
    }
    return s.str();
}

// A catalog holding both kinds of lists, as no load could leave it.
void FillBeforeLoad(catalog::Catalog& c)
{
    FillFat(c, core::kFsFat16);
    c.AddNtfsFolder({"KEEP", 90, 5, 1, 2, 4, 0, 0});
    AddNtfsFile(c, "keep.txt", 91, 90, 5);
}

TEST(SnapshotFormat, EmptyNtfsCatalogIsHeaderAndTwoCounts)
{
    catalog::Catalog c;
    SetHeader(c, core::kFsNtfs);
    const Bytes b = Serialize(c);
    ASSERT_EQ(b.size(), 86u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 10), "dnx4.021.0");
    EXPECT_EQ(U16At(b, kScanTypeOffset), 300);
    EXPECT_EQ(U32At(b, kScanStartSectorOffset), 63u);
    EXPECT_EQ(U16At(b, kScanPartitionTagOffset), 2);
    EXPECT_EQ(U16At(b, kVolumeTypeOffset), 300);
    EXPECT_EQ(U32At(b, kFatSectorsOffset), 0u);
    EXPECT_EQ(U32At(b, kReservedSectorsOffset), 4u);  // rootDirStart is skipped
    EXPECT_EQ(U32At(b, kMftSectorOffset), 0xFFFFFFFBu);
    EXPECT_EQ(U32At(b, kEndSectorOffset), 204862u);
    EXPECT_EQ(U16At(b, kSelectedFileSystemOffset), 3);
    EXPECT_EQ(U32At(b, 78), 0u);
    EXPECT_EQ(U32At(b, 82), 0u);
}

TEST(SnapshotFormat, RecordLengthsCountNameAndFixedPart)
{
    catalog::Catalog c;
    SetHeader(c, core::kFsNtfs);
    c.AddNtfsFolder({"Dir0", 77, 5, 0, 0, 0, 1, 0});
    AddNtfsFile(c, "a.txt", 50, 77, 3);
    const Bytes b = Serialize(c);
    ASSERT_EQ(b.size(), 78u + 4 + 2 + 31 + 4 + 2 + 42);
    EXPECT_EQ(U32At(b, 78), 1u);
    EXPECT_EQ(U16At(b, 82), 31);
    EXPECT_EQ(std::string(b.begin() + 84, b.begin() + 88), "Dir0");
    EXPECT_EQ(U32At(b, 88), 77u);
    EXPECT_EQ(b.at(84 + 4 + 24), 1);  // deleted, one byte
    EXPECT_EQ(U32At(b, 115), 1u);
    EXPECT_EQ(U16At(b, 119), 42);
    EXPECT_EQ(U32At(b, 121), 200u);  // dataRecordSector comes before the name
    EXPECT_EQ(std::string(b.begin() + 125, b.begin() + 130), "a.txt");
}

TEST(SnapshotFormat, FatTypesWriteFatListsOtherTypesNoBody)
{
    catalog::Catalog fat;
    FillFat(fat, core::kFsFat32);
    const Bytes b = Serialize(fat);
    EXPECT_EQ(U32At(b, 78), 2u);
    EXPECT_EQ(U16At(b, 82), 4 + 15);
    const std::size_t filesAt = 78 + 4 + (2 + 19) + (2 + 18);
    EXPECT_EQ(U32At(b, filesAt), 2u);
    EXPECT_EQ(U16At(b, filesAt + 4), 10 + 21);
    EXPECT_EQ(U32At(b, b.size() - 4), 1u);  // the second file's serial

    catalog::Catalog none;
    SetHeader(none, 0);
    none.AddNtfsFolder({"X", 6, 5, 0, 0, 0, 0, 0});
    EXPECT_EQ(Serialize(none).size(), kHeaderSize);
}

TEST(SnapshotRoundTrip, NtfsSaveLoadSaveGivesTheSameBytes)
{
    catalog::Catalog source;
    FillNtfs(source);
    const Bytes first = Serialize(source);

    catalog::Catalog loaded;
    FillBeforeLoad(loaded);
    loaded.volumeParams.rootDirStart = 4242;
    const LoadResult r = LoadSnapshotBytes(first, loaded);
    ASSERT_EQ(r.outcome, LoadOutcome::Loaded) << r.message;
    EXPECT_TRUE(r.message.empty());
    EXPECT_EQ(Serialize(loaded), first);

    EXPECT_TRUE(loaded.FatFolders().empty());
    EXPECT_TRUE(loaded.FatFiles().empty());
    EXPECT_EQ(loaded.folderCount, 3u);
    EXPECT_EQ(loaded.fileCount, 3u);
    EXPECT_EQ(loaded.volumeParams.rootDirStart, 4242u);
    ASSERT_EQ(loaded.NtfsFolders().size(), 3u);
    EXPECT_EQ(loaded.NtfsFolders()[1].deleted, 1u);
    EXPECT_EQ(loaded.NtfsFolders()[0].treeItem, 0u);
    EXPECT_EQ(loaded.NtfsFiles()[0].size, 0x1'0000'0001ULL);
    EXPECT_EQ(loaded.NtfsFiles()[2].name.size(), 255u);
    EXPECT_EQ(loaded.NtfsFolderWithRecord(41), 1u);  // indexes follow the load
}

TEST(SnapshotRoundTrip, FatSaveLoadSaveGivesTheSameBytesAndRenumbersFiles)
{
    for (const core::FsTypeCode type : {core::kFsFat16, core::kFsFat32}) {
        catalog::Catalog source;
        FillFat(source, type);
        Bytes first = Serialize(source);

        catalog::Catalog loaded;
        FillBeforeLoad(loaded);
        ASSERT_EQ(LoadSnapshotBytes(first, loaded).outcome, LoadOutcome::Loaded);
        EXPECT_EQ(Serialize(loaded), first);
        EXPECT_TRUE(loaded.NtfsFolders().empty());
        EXPECT_EQ(loaded.folderCount, 2u);
        EXPECT_EQ(loaded.fileCount, 2u);

        // Stored serials are dropped; the catalog numbers the files from 0 as they are added.
        PutU32(first, first.size() - 4, 77);
        catalog::Catalog renumbered;
        ASSERT_EQ(LoadSnapshotBytes(first, renumbered).outcome, LoadOutcome::Loaded);
        EXPECT_EQ(renumbered.FatFiles()[1].serial, 1u);
    }
}

TEST(SnapshotRoundTrip, OtherTypeLoadsHeaderAndEmptiesTheLists)
{
    catalog::Catalog source;
    SetHeader(source, 0);
    catalog::Catalog loaded;
    FillBeforeLoad(loaded);
    ASSERT_EQ(LoadSnapshotBytes(Serialize(source), loaded).outcome, LoadOutcome::Loaded);
    EXPECT_EQ(loaded.folderCount, 0u);
    EXPECT_TRUE(loaded.NtfsFiles().empty());
    EXPECT_TRUE(loaded.FatFolders().empty());
    EXPECT_EQ(loaded.selectedFileSystem, 3);
}

TEST(SnapshotChecks, TagIsComparedWithoutCaseAndReportedWhenWrong)
{
    catalog::Catalog source;
    FillNtfs(source);
    Bytes b = Serialize(source);
    for (const char* tag : {"DNX4.02", "Dnx4.02"}) {
        std::copy(tag, tag + 7, b.begin());
        catalog::Catalog loaded;
        EXPECT_EQ(LoadSnapshotBytes(b, loaded).outcome, LoadOutcome::Loaded) << tag;
    }

    std::copy_n("dnx4.03", 7, b.begin());
    catalog::Catalog c;
    FillBeforeLoad(c);
    const std::string before = Fingerprint(c);
    LoadResult r = LoadSnapshotBytes(b, c);
    EXPECT_EQ(r.outcome, LoadOutcome::BadTag);
    EXPECT_EQ(r.message, "    Invalid version of the file found : dnx4.03");
    EXPECT_EQ(Fingerprint(c), before);

    r = LoadSnapshotBytes(Bytes{'a', 'b'}, c);  // fewer than seven bytes: those that were read
    EXPECT_EQ(r.message, std::string(core::msg::kInvalidSnapshotTag) + "ab");
    r = LoadSnapshotBytes(Bytes{'x', 0, 'y', 'z', 'z', 'z', 'z'}, c);  // text ends at a zero byte
    EXPECT_EQ(r.message, std::string(core::msg::kInvalidSnapshotTag) + "x");
}

TEST(SnapshotChecks, VersionMustBeOnePointZero)
{
    catalog::Catalog source;
    FillNtfs(source);
    for (const std::string bad : {"1.1", "10.", "1.0"}) {
        Bytes b = Serialize(source);
        std::copy(bad.begin(), bad.end(), b.begin() + kVersionOffset);
        if (bad == "1.0") {
            b.resize(9);  // the version itself cut short
        }
        catalog::Catalog c;
        FillBeforeLoad(c);
        const std::string before = Fingerprint(c);
        const LoadResult r = LoadSnapshotBytes(b, c);
        EXPECT_EQ(r.outcome, LoadOutcome::BadVersion) << bad;
        EXPECT_EQ(r.message, "              version of file does not match with current version 1.0");
        EXPECT_EQ(Fingerprint(c), before);
    }
}

TEST(SnapshotChecks, EveryTruncationIsRefusedAndLeavesTheCatalogAlone)
{
    for (const core::FsTypeCode type : {core::kFsNtfs, core::kFsFat32}) {
        catalog::Catalog source;
        type == core::kFsNtfs ? FillNtfs(source) : FillFat(source, type);
        const Bytes full = Serialize(source);
        catalog::Catalog c;
        FillBeforeLoad(c);
        const std::string before = Fingerprint(c);
        for (std::size_t n = 0; n < full.size(); ++n) {
            const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
            const LoadResult r = LoadSnapshotBytes(cut, c);
            ASSERT_NE(r.outcome, LoadOutcome::Loaded) << "length " << n;
            ASSERT_FALSE(r.message.empty());
            if (n >= kHeaderSize) {
                ASSERT_EQ(r.outcome, LoadOutcome::Damaged) << "length " << n;
                ASSERT_EQ(r.message, core::msg::kSnapshotDamaged);
            }
            ASSERT_EQ(Fingerprint(c), before) << "length " << n;
        }
    }
}

struct DamageCase
{
    const char* what;
    Defect defect;
    void (*damage)(Bytes&);
};

// The file of one folder "Dir0" (record at 82) and one file "a.txt" (count at 115, record at 119).
Bytes OneFolderOneFile()
{
    catalog::Catalog c;
    SetHeader(c, core::kFsNtfs);
    c.AddNtfsFolder({"Dir0", 77, 5, 0, 0, 0, 0, 0});
    AddNtfsFile(c, "a.txt", 50, 77, 3);
    return Serialize(c);
}

const DamageCase kDamageCases[] = {
    {"folder record below its fixed part", Defect::RecordTooShort, [](Bytes& b) { PutU16(b, 82, 26); }},
    {"file record below its fixed part", Defect::RecordTooShort, [](Bytes& b) { PutU16(b, 119, 36); }},
    {"folder name of 256 bytes", Defect::NameTooLong, [](Bytes& b) { PutU16(b, 82, 256 + 27); }},
    {"file name of 65498 bytes", Defect::NameTooLong, [](Bytes& b) { PutU16(b, 119, 0xFFFF); }},
    {"record longer than the file", Defect::Truncated, [](Bytes& b) { PutU16(b, 119, 42 + 8); }},
    {"folder count past the end", Defect::CountPastEnd, [](Bytes& b) { PutU32(b, 78, 0xFFFFFFFFu); }},
    {"file count past the end", Defect::CountPastEnd, [](Bytes& b) { PutU32(b, 115, 2); }},
    {"one trailing byte", Defect::TrailingBytes, [](Bytes& b) { b.push_back(0); }},
    {"body behind a type without one", Defect::TrailingBytes, [](Bytes& b) { PutU16(b, kVolumeTypeOffset, 400); }},
};

class SnapshotDamage : public ::testing::TestWithParam<DamageCase>
{
};

TEST_P(SnapshotDamage, IsRefusedWithoutTouchingTheCatalog)
{
    Bytes b = OneFolderOneFile();
    GetParam().damage(b);
    catalog::Catalog c;
    FillBeforeLoad(c);
    const std::string before = Fingerprint(c);
    const LoadResult r = LoadSnapshotBytes(b, c);
    EXPECT_EQ(r.outcome, LoadOutcome::Damaged);
    EXPECT_EQ(r.defect, GetParam().defect);
    EXPECT_EQ(r.message, core::msg::kSnapshotDamaged);
    EXPECT_EQ(Fingerprint(c), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, SnapshotDamage, ::testing::ValuesIn(kDamageCases),
                         [](const auto& info) {
                             std::string n;
                             for (const char* p = info.param.what; *p; ++p) {
                                 n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             }
                             return n;
                         });

TEST(SnapshotChecks, SoundFileStillLoadsAndLongestNameIsAccepted)
{
    Bytes b = OneFolderOneFile();
    catalog::Catalog c;
    EXPECT_EQ(LoadSnapshotBytes(b, c).outcome, LoadOutcome::Loaded);

    catalog::Catalog longest;
    SetHeader(longest, core::kFsFat16);
    longest.AddFatFolder({std::string(255, 'N'), 3, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(LoadSnapshotBytes(Serialize(longest), c).outcome, LoadOutcome::Loaded);
    EXPECT_EQ(c.FatFolders().at(0).name.size(), 255u);
}

TEST(SnapshotNaming, ExtensionIsAppendedUnlessTheNameEndsInCapitalQdn)
{
    EXPECT_EQ(SnapshotFileName("/tmp/scan.QDN"), "/tmp/scan.QDN");
    EXPECT_EQ(SnapshotFileName("/tmp/scan.qdn"), "/tmp/scan.qdn.QDN");
    EXPECT_EQ(SnapshotFileName("/tmp/scan.QDNX"), "/tmp/scan.QDNX.QDN");
    EXPECT_EQ(SnapshotFileName("scan"), "scan.QDN");
    EXPECT_EQ(SnapshotFileName("QDN"), "QDN.QDN");
}

TEST(SnapshotFile, SaveWritesTheNamedFileAndLoadReadsItBack)
{
    TempDir dir;
    catalog::Catalog source;
    FillNtfs(source);
    const SaveResult s = SaveSnapshot(source, (dir.path() / "disk1").string());
    ASSERT_EQ(s.outcome, SaveOutcome::Saved) << s.message;
    EXPECT_EQ(s.path, (dir.path() / "disk1.QDN").string());
    EXPECT_EQ(ReadFile(s.path), Serialize(source));

    catalog::Catalog loaded;
    ASSERT_EQ(LoadSnapshot(s.path, loaded).outcome, LoadOutcome::Loaded);
    EXPECT_EQ(Serialize(loaded), Serialize(source));

    // Saving again over the file truncates it.
    catalog::Catalog empty;
    SetHeader(empty, core::kFsNtfs);
    ASSERT_EQ(SaveSnapshot(empty, s.path).outcome, SaveOutcome::Saved);
    EXPECT_EQ(ReadFile(s.path).size(), 86u);
}

TEST(SnapshotFile, ReadOnlySnapshotLoads)
{
    TempDir dir;
    catalog::Catalog source;
    FillFat(source, core::kFsFat16);
    const fs::path file = dir.path() / "ro.QDN";
    WriteFile(file, Serialize(source));
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    // As root, permission bits do not stop an open for writing, so the load runs as nobody.
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
                std::_Exit(3);
            }
            catalog::Catalog loaded;
            const LoadResult r = LoadSnapshot(file.string(), loaded);
            std::_Exit(r.outcome == LoadOutcome::Loaded && loaded.fileCount == 2 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(SnapshotFile, OpenFailuresAreReportedAndChangeNothing)
{
    TempDir dir;
    catalog::Catalog c;
    FillBeforeLoad(c);
    const std::string before = Fingerprint(c);

    LoadResult r = LoadSnapshot((dir.path() / "missing.QDN").string(), c);
    EXPECT_EQ(r.outcome, LoadOutcome::OpenFailed);
    EXPECT_EQ(r.message, "Unable to open the file");
    r = LoadSnapshot(dir.path().string(), c);  // a directory is no snapshot
    EXPECT_EQ(r.outcome, LoadOutcome::OpenFailed);
    EXPECT_EQ(Fingerprint(c), before);

    const SaveResult s = SaveSnapshot(c, (dir.path() / "no" / "such" / "dir").string());
    EXPECT_EQ(s.outcome, SaveOutcome::OpenFailed);
    EXPECT_EQ(s.message, "Unable to open the file");
}

TEST(SnapshotFile, ShortWriteIsNotReportedAsSuccess)
{
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    TempDir dir;
    const fs::path link = dir.path() / "full.QDN";
    fs::create_symlink("/dev/full", link);
    catalog::Catalog c;
    FillNtfs(c);
    const SaveResult s = SaveSnapshot(c, link.string());
    EXPECT_EQ(s.outcome, SaveOutcome::WriteFailed);
    EXPECT_EQ(s.message, core::msg::kSnapshotWriteFailed);
}

TEST(SnapshotFile, NameOverTheLimitIsNotSavedAndKeepsAnExistingFile)
{
    TempDir dir;
    const fs::path file = dir.path() / "keep.QDN";
    WriteFile(file, Bytes{1, 2, 3});
    catalog::Catalog c;
    SetHeader(c, core::kFsNtfs);
    AddNtfsFile(c, std::string(766, 'L'), 60, 5, 1);  // past what even a 2.0 file holds
    const SaveResult s = SaveSnapshot(c, file.string());
    EXPECT_EQ(s.outcome, SaveOutcome::NameTooLong);
    EXPECT_EQ(s.message, core::msg::kSnapshotNameTooLong);
    EXPECT_EQ(ReadFile(file), (Bytes{1, 2, 3}));
}

// ---- names past Latin-1: version 2.0 ----

// CRC-32 bit by bit, as zlib computes it, independent of the writer's table.
std::uint32_t ReferenceCrc32(const Bytes& b, std::size_t n)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= b[i];
        for (int k = 0; k < 8; ++k) {
            crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        }
    }
    return ~crc;
}

void FixChecksum(Bytes& b) { PutU32(b, b.size() - 4, ReferenceCrc32(b, b.size() - 4)); }

std::string VersionOf(const Bytes& b) { return std::string(b.begin() + kVersionOffset, b.begin() + kVersionOffset + 3); }

// Cyrillic, CJK, an emoji (a surrogate pair on disk) and a replaced lone surrogate.
void FillUnicode(catalog::Catalog& c)
{
    SetHeader(c, core::kFsNtfs);
    c.AddNtfsFolder({"\xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe", 40, 5, 11, 12, 0, 0, 0});  // Фото
    c.AddNtfsFolder({"Caf\xc3\xa9", 41, 5, 13, 14, 0, 1, 0});
    AddNtfsFile(c, "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt", 50, 40, 10);      // 日本語.txt
    AddNtfsFile(c, "\xf0\x9f\x98\x80 smile.txt", 51, 5, 20, 1);                  // 😀
    AddNtfsFile(c, "a\xef\xbf\xbd.txt", 52, 41, 30);                              // a\uFFFD.txt
    // 255 three-byte characters: 765 bytes, the longest name a 2.0 file holds.
    std::string longest;
    for (int i = 0; i < 255; ++i) {
        longest += "\xe6\x97\xa5";
    }
    AddNtfsFile(c, longest, 54, 5, 1);
}

TEST(SnapshotVersions, LatinOneNamesKeepTheClassicFormatByteForByte)
{
    catalog::Catalog c;
    SetHeader(c, core::kFsNtfs);
    c.AddNtfsFolder({"Caf\xc3\xa9", 40, 5, 11, 12, 0, 0, 0});     // Café in the catalog (UTF-8)
    AddNtfsFile(c, "men\xc3\xba \xc3\xbf.txt", 50, 40, 10);       // menú ÿ.txt
    const Bytes b = Serialize(c);
    EXPECT_EQ(VersionOf(b), "1.0");
    // Header, folder count, then the folder record: length, the name one byte per character.
    EXPECT_EQ(U16At(b, kHeaderSize + 4), 4 + kNtfsFolderFixed);
    EXPECT_EQ(std::string(b.begin() + kHeaderSize + 6, b.begin() + kHeaderSize + 10), "Caf\xe9");
    const std::size_t file = kHeaderSize + 4 + 2 + 4 + kNtfsFolderFixed + 4;
    EXPECT_EQ(U16At(b, file), 10 + kNtfsFileFixed);
    EXPECT_EQ(std::string(b.begin() + file + 6, b.begin() + file + 16), "men\xfa \xff.txt");
    EXPECT_EQ(b.size(), file + 2 + 10 + kNtfsFileFixed);  // no checksum

    catalog::Catalog loaded;
    ASSERT_EQ(LoadSnapshotBytes(b, loaded).outcome, LoadOutcome::Loaded);
    EXPECT_EQ(loaded.NtfsFolders().at(0).name, "Caf\xc3\xa9");
    EXPECT_EQ(loaded.NtfsFiles().at(0).name, "men\xc3\xba \xc3\xbf.txt");
    EXPECT_EQ(Serialize(loaded), b);
}

TEST(SnapshotVersions, NamesPastLatinOneWriteVersionTwoAndComeBackExactly)
{
    catalog::Catalog source;
    FillUnicode(source);
    const Bytes b = Serialize(source);
    ASSERT_EQ(VersionOf(b), "2.0");
    EXPECT_EQ(U32At(b, b.size() - 4), ReferenceCrc32(b, b.size() - 4));
    // 64-bit sectors in the header.
    EXPECT_EQ(U32At(b, kV2ScanStartSectorOffset), 63u);
    EXPECT_EQ(U32At(b, kV2ScanStartSectorOffset + 4), 0u);
    EXPECT_EQ(U32At(b, kV2MftSectorOffset), 0xFFFFFFFBu);
    EXPECT_EQ(U32At(b, kV2MftSectorOffset + 4), 0u);
    EXPECT_EQ(U16At(b, kV2SelectedFileSystemOffset), 3u);
    // The first folder: its UTF-8 name as it stands.
    EXPECT_EQ(U16At(b, kV2HeaderSize + 4), 8 + kV2NtfsFolderFixed);
    EXPECT_EQ(std::string(b.begin() + kV2HeaderSize + 6, b.begin() + kV2HeaderSize + 14), "\xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe");

    catalog::Catalog loaded;
    FillBeforeLoad(loaded);
    const LoadResult r = LoadSnapshotBytes(b, loaded);
    ASSERT_EQ(r.outcome, LoadOutcome::Loaded) << r.message;
    EXPECT_EQ(Fingerprint(loaded).substr(Fingerprint(loaded).find('|')), Fingerprint(source).substr(Fingerprint(source).find('|')));
    ASSERT_EQ(loaded.NtfsFiles().size(), 4u);
    EXPECT_EQ(loaded.NtfsFiles()[1].name, "\xf0\x9f\x98\x80 smile.txt");
    EXPECT_EQ(loaded.NtfsFiles()[3].name.size(), 765u);
    EXPECT_EQ(loaded.NtfsFiles()[0].dataRecordSector, 200u);
    EXPECT_EQ(Serialize(loaded), b);

    // 2.0 files written while these fields were 32-bit signed hold such a sector sign-extended.
    Bytes older = b;
    PutU32(older, kV2MftSectorOffset + 4, 0xFFFFFFFF);
    FixChecksum(older);
    catalog::Catalog fromOlder;
    ASSERT_EQ(LoadSnapshotBytes(older, fromOlder).outcome, LoadOutcome::Loaded);
    EXPECT_EQ(fromOlder.volumeParams.mftSector, 0xFFFFFFFB);
}

// Every sector the engine addresses, up to the last one, is written and read back.
TEST(SnapshotVersions, SectorsUpToTheLastAddressableOneComeBack)
{
    catalog::Catalog c;
    SetHeader(c, core::kFsNtfs);
    c.scanTarget.scanStartSector = core::kLastSector - 10;
    c.scanTarget.scanSectorCount = core::kLastSector;
    c.scanTarget.scanEndSector = core::kLastSector;
    c.volumeParams.clusterBase = core::kLastSector - 10;
    c.volumeParams.mftSector = static_cast<std::int64_t>(core::kLastSector - 2);
    c.volumeParams.endSector = core::kLastSector;
    AddNtfsFile(c, "far.txt", 70, 5, 12);
    const Bytes b = Serialize(c);
    ASSERT_EQ(VersionOf(b), "2.0");
    catalog::Catalog loaded;
    const LoadResult r = LoadSnapshotBytes(b, loaded);
    ASSERT_EQ(r.outcome, LoadOutcome::Loaded) << r.message;
    EXPECT_EQ(loaded.scanTarget.scanStartSector, core::kLastSector - 10);
    EXPECT_EQ(loaded.volumeParams.mftSector, static_cast<std::int64_t>(core::kLastSector - 2));
    EXPECT_EQ(loaded.volumeParams.endSector, core::kLastSector);
    EXPECT_EQ(Serialize(loaded), b);
}

TEST(SnapshotVersions, EmptyVersionTwoCatalogIsHeaderCountsAndChecksum)
{
    catalog::Catalog c;
    SetHeader(c, core::kFsFat32);
    c.AddFatFolder({"\xce\xa3", 3, 0, 0, 0, 0, 0, 0});  // Σ forces 2.0; FAT records keep their layout
    const Bytes b = Serialize(c);
    ASSERT_EQ(VersionOf(b), "2.0");
    EXPECT_EQ(b.size(), kV2HeaderSize + 4 + 2 + 2 + kFatFolderFixed + 4 + 4);
    catalog::Catalog loaded;
    ASSERT_EQ(LoadSnapshotBytes(b, loaded).outcome, LoadOutcome::Loaded);
    EXPECT_EQ(loaded.FatFolders().at(0).name, "\xce\xa3");
}

struct V2Damage
{
    const char* what;
    Defect defect;
    void (*apply)(Bytes&);  // edits a sound 2.0 file
};

class SnapshotVersionTwoDamage : public ::testing::TestWithParam<V2Damage>
{
};

TEST_P(SnapshotVersionTwoDamage, IsRefusedWithoutTouchingTheCatalog)
{
    catalog::Catalog source;
    FillUnicode(source);
    Bytes b = Serialize(source);
    GetParam().apply(b);
    catalog::Catalog c;
    FillBeforeLoad(c);
    const std::string before = Fingerprint(c);
    const LoadResult r = LoadSnapshotBytes(b, c);
    EXPECT_EQ(r.outcome, LoadOutcome::Damaged);
    EXPECT_EQ(r.defect, GetParam().defect);
    EXPECT_EQ(Fingerprint(c), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SnapshotVersionTwoDamage,
    ::testing::Values(
        V2Damage{"one bit of a name flipped", Defect::BadChecksum, [](Bytes& b) { b[kV2HeaderSize + 7] ^= 0x01; }},
        V2Damage{"checksum flipped", Defect::BadChecksum, [](Bytes& b) { b.back() ^= 0x80; }},
        V2Damage{"last record cut", Defect::BadChecksum, [](Bytes& b) { b.resize(b.size() - 10); }},
        V2Damage{"cut inside the header", Defect::Truncated, [](Bytes& b) { b.resize(kV2HeaderSize + 3); }},
        V2Damage{"cut records, checksum fixed", Defect::Truncated,
                 [](Bytes& b) {
                     b.resize(b.size() - 20);
                     FixChecksum(b);
                 }},
        V2Damage{"name not UTF-8", Defect::BadName,
                 [](Bytes& b) {
                     b[kV2HeaderSize + 6] = 0xC0;  // an overlong lead byte
                     FixChecksum(b);
                 }},
        V2Damage{"name past 765 bytes", Defect::NameTooLong,
                 [](Bytes& b) {
                     PutU16(b, kV2HeaderSize + 4, static_cast<std::uint16_t>(766 + kV2NtfsFolderFixed));
                     FixChecksum(b);
                 }},
        V2Damage{"sector past the last addressable one", Defect::SectorTooLarge,
                 [](Bytes& b) {
                     PutU32(b, kV2ClusterBaseOffset + 4, 0x00400000);  // 2^54
                     FixChecksum(b);
                 }},
        V2Damage{"mft sector negative", Defect::SectorTooLarge,
                 [](Bytes& b) {
                     PutU32(b, kV2MftSectorOffset + 4, 0xFFFFFFFE);  // 0xFFFFFFFEFFFFFFFB
                     FixChecksum(b);
                 }},
        V2Damage{"trailing byte", Defect::TrailingBytes,
                 [](Bytes& b) {
                     b.insert(b.end() - 4, 0);
                     FixChecksum(b);
                 }}),
    [](const ::testing::TestParamInfo<V2Damage>& info) {
        std::string n;
        for (const char* p = info.param.what; *p; ++p) {
            n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        }
        return n;
    });

TEST(SnapshotVersions, LongLatinOneNameMovesToVersionTwo)
{
    // A renamed folder may hold more than 255 characters; the classic format cannot store it.
    catalog::Catalog c;
    SetHeader(c, core::kFsNtfs);
    c.AddNtfsFolder({std::string(300, 'N'), 40, 5, 0, 0, 0, 0, 0});
    const Bytes b = Serialize(c);
    EXPECT_EQ(VersionOf(b), "2.0");
    catalog::Catalog loaded;
    ASSERT_EQ(LoadSnapshotBytes(b, loaded).outcome, LoadOutcome::Loaded);
    EXPECT_EQ(loaded.NtfsFolders().at(0).name, std::string(300, 'N'));
}

}  // namespace
}  // namespace snapshot
