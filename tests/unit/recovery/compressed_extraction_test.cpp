// Extraction of compressed $DATA on a volume built in memory (4 KiB clusters, units of 16
// clusters): stored, compressed and sparse units, damaged and unmapped units, the initialized
// size, compression values that cannot be decoded, and a $DATA split over two records.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "recovery/file_extraction.h"
#include "support/fixtures.h"
#include "support/mft_volume.h"

namespace {

namespace fs = std::filesystem;
using recovery::ExtractOutcome;
using testing_support::ByteBuffer;
using testing_support::FileRecordBuilder;
using testing_support::MftVolume;
using testing_support::NonResidentSpec;
using testing_support::RunSpec;

constexpr std::uint64_t kCluster = 4096;
constexpr std::uint64_t kUnit = 16 * kCluster;
constexpr std::uint16_t kLznt1 = 0x0001;

ByteBuffer Pattern(std::size_t n, std::uint8_t seed)
{
    ByteBuffer bytes(n);
    for (std::size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 4096);
    }
    return bytes;
}

// A compressed unit of two clusters: a chunk stored as is (4096 bytes of `seed`'s pattern), then
// a compressed chunk giving 4096 times `fill` (a literal and one overlapping back-reference).
struct PackedUnit
{
    ByteBuffer clusters;  // 2 clusters as they lie on disk
    ByteBuffer bytes;     // the 64 KiB it decompresses to
};

PackedUnit Packed(std::uint8_t seed, std::uint8_t fill)
{
    PackedUnit unit;
    const ByteBuffer raw = Pattern(4096, seed);
    unit.clusters = {0xFF, 0x3F};
    unit.clusters.insert(unit.clusters.end(), raw.begin(), raw.end());
    const ByteBuffer chunk{0x03, 0xB0, 0x02, fill, 0xFC, 0x0F};
    unit.clusters.insert(unit.clusters.end(), chunk.begin(), chunk.end());
    unit.clusters.resize(2 * kCluster, 0);
    unit.bytes = raw;
    unit.bytes.resize(2 * 4096, fill);
    unit.bytes.resize(kUnit, 0);
    return unit;
}

ByteBuffer ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return ByteBuffer(std::istreambuf_iterator<char>(in), {});
}

ByteBuffer Cat(ByteBuffer a, const ByteBuffer& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class CompressedExtraction : public ::testing::Test
{
protected:
    CompressedExtraction()
    {
        m_dir = testing_support::FreshTestFolder("dravik-compressed");
        map.Append(vol.ClusterSector(16), 64 * 8);
    }
    ~CompressedExtraction() override { fs::remove_all(m_dir); }

    recovery::ExtractionContext Context()
    {
        recovery::ExtractionContext context;
        context.volume.type = core::kFsNtfs;
        context.volume.sectorsPerCluster = 8;
        context.volume.clusterBase = vol.Layout().volumeStart;
        context.lastSector = vol.Layout().volumeStart + vol.Layout().volumeSectors - 1;
        context.mftMap = &map;
        return context;
    }

    void PutClusters(std::uint64_t lcn, const ByteBuffer& bytes)
    {
        vol.Raw().Write(core::SectorOffset(vol.ClusterSector(lcn)), bytes);
    }

    NonResidentSpec Layout(const std::vector<RunSpec>& runs, std::uint64_t size, std::uint16_t flags = kLznt1,
                         std::uint8_t unitShift = 4)
    {
        std::uint64_t clusters = 0;
        for (const RunSpec& r : runs) {
            clusters += r.length;
        }
        return NonResidentSpec{.runs = testing_support::EncodeRunList(runs),
                               .lastVcn = clusters - 1,
                               .allocatedSize = clusters * kCluster,
                               .dataSize = size,
                               .initializedSize = size,
                               .flags = flags,
                               .compressionUnit = unitShift};
    }

    void Put(std::uint32_t number, const NonResidentSpec& layout)
    {
        vol.PutRecord(number, FileRecordBuilder().RecordNumber(number).NonResident(layout).Build());
    }

    recovery::ExtractResult Extract(std::uint32_t number, std::uint64_t size, const std::string& name = "f.bin")
    {
        recovery::Extractor extractor(vol.Disk(), state, Context());
        return extractor.ExtractNtfsFile(recovery::NtfsExtractRequest{m_dir, name, size, vol.RecordSector(number), 0, 0});
    }

    ByteBuffer Output(const std::string& name = "f.bin") const { return ReadAll(m_dir / name); }

    MftVolume vol;
    ntfs::MftRunTable map;
    recovery::RecoveryState state;
    fs::path m_dir;
};

TEST_F(CompressedExtraction, EveryKindOfUnitComesBackInPlace)
{
    // Unit 0 compressed (2 clusters at 300), unit 1 stored as is (16 at 400), unit 2 sparse,
    // unit 3 compressed (2 at 320) and cut by the size in its second chunk.
    const PackedUnit a = Packed(1, 'a');
    const PackedUnit d = Packed(2, 'd');
    const ByteBuffer stored = Pattern(kUnit, 9);
    PutClusters(300, a.clusters);
    PutClusters(400, stored);
    PutClusters(320, d.clusters);
    const std::uint64_t size = 3 * kUnit + 6000;
    Put(50, Layout({{2, 300}, {14, std::nullopt}, {16, 400}, {16, std::nullopt}, {2, 320}, {14, std::nullopt}}, size));

    const auto r = Extract(50, size);
    EXPECT_EQ(r.outcome, ExtractOutcome::Written);
    EXPECT_FALSE(r.incomplete);
    EXPECT_EQ(r.bytesWritten, size);
    ByteBuffer expected = Cat(Cat(a.bytes, stored), ByteBuffer(kUnit, 0));
    expected.insert(expected.end(), d.bytes.begin(), d.bytes.begin() + 6000);
    EXPECT_EQ(Output(), expected);
}

TEST_F(CompressedExtraction, UnitsLyingSideBySideOnDiskAreDecodedFromOneRead)
{
    // Two compressed units whose clusters follow each other on disk, as ntfs-3g writes them.
    const PackedUnit a = Packed(3, 'x');
    const PackedUnit b = Packed(4, 'y');
    PutClusters(500, Cat(a.clusters, b.clusters));
    Put(51, Layout({{2, 500}, {14, std::nullopt}, {2, 502}, {14, std::nullopt}}, 2 * kUnit));
    const auto r = Extract(51, 2 * kUnit);
    EXPECT_FALSE(r.incomplete);
    EXPECT_EQ(Output(), Cat(a.bytes, b.bytes));
}

TEST_F(CompressedExtraction, DamagedUnitIsZerosAndTheRestIsDecoded)
{
    const PackedUnit good = Packed(5, 'g');
    ByteBuffer bad = Packed(6, 'b').clusters;
    bad[0] = 0x02;  // a first chunk that refers back before its start
    bad[1] = 0xB0;
    bad[2] = 0x01;
    bad[3] = 0x00;
    bad[4] = 0x00;
    PutClusters(600, bad);
    PutClusters(610, good.clusters);
    Put(52, Layout({{2, 600}, {14, std::nullopt}, {2, 610}, {14, std::nullopt}}, 2 * kUnit));
    const auto r = Extract(52, 2 * kUnit);
    EXPECT_EQ(r.outcome, ExtractOutcome::Written);
    EXPECT_TRUE(r.incomplete);
    EXPECT_EQ(Output(), Cat(ByteBuffer(kUnit, 0), good.bytes));
}

TEST_F(CompressedExtraction, RunsEndingInsideAUnitLeaveItUnmapped)
{
    // The run list maps unit 0 and only the first 2 clusters of unit 1.
    const PackedUnit a = Packed(7, 'p');
    const PackedUnit b = Packed(8, 'q');
    PutClusters(700, a.clusters);
    PutClusters(710, b.clusters);
    NonResidentSpec layout = Layout({{2, 700}, {14, std::nullopt}, {2, 710}}, 2 * kUnit);
    layout.allocatedSize = 2 * kUnit;
    Put(53, layout);
    const auto r = Extract(53, 2 * kUnit);
    EXPECT_EQ(r.outcome, ExtractOutcome::Written);
    EXPECT_TRUE(r.incomplete);
    EXPECT_EQ(Output(), Cat(a.bytes, ByteBuffer(kUnit, 0)));
}

TEST_F(CompressedExtraction, BytesPastTheInitializedSizeAreZeros)
{
    const PackedUnit a = Packed(9, 'i');
    const PackedUnit b = Packed(10, 'j');
    PutClusters(800, a.clusters);
    PutClusters(810, b.clusters);
    NonResidentSpec layout = Layout({{2, 800}, {14, std::nullopt}, {2, 810}, {14, std::nullopt}}, 2 * kUnit);
    layout.initializedSize = 5000;
    Put(54, layout);
    const auto r = Extract(54, 2 * kUnit);
    EXPECT_FALSE(r.incomplete);
    ByteBuffer expected(a.bytes.begin(), a.bytes.begin() + 5000);
    expected.resize(2 * kUnit, 0);
    const ByteBuffer out = Output();
    ASSERT_EQ(out.size(), expected.size());
    EXPECT_EQ(std::mismatch(out.begin(), out.end(), expected.begin()).first - out.begin(), out.end() - out.begin());
}

// Compression values the copier does not decode: the clusters are copied as stored.
struct StoredCase
{
    const char* label;
    std::uint16_t flags;
    std::uint8_t unitShift;
    bool incomplete;
};

class CompressionNotDecoded : public CompressedExtraction, public ::testing::WithParamInterface<StoredCase>
{
};

TEST_P(CompressionNotDecoded, ClustersAreCopiedAsStored)
{
    const ByteBuffer content = Pattern(3 * kCluster, 11);
    PutClusters(900, content);
    Put(55, Layout({{3, 900}}, 3 * kCluster, GetParam().flags, GetParam().unitShift));
    const auto r = Extract(55, 3 * kCluster);
    EXPECT_EQ(r.outcome, ExtractOutcome::Written);
    EXPECT_EQ(r.incomplete, GetParam().incomplete);
    EXPECT_EQ(Output(), content);
}

INSTANTIATE_TEST_SUITE_P(Values, CompressionNotDecoded,
                         ::testing::Values(StoredCase{"UnitZero", kLznt1, 0, false},
                                           StoredCase{"SparseOnlyWithUnit", 0x8000, 4, false},
                                           StoredCase{"UnknownFormat", 0x0002, 4, true},
                                           StoredCase{"UnitOf128KiB", kLznt1, 5, true},
                                           StoredCase{"AbsurdUnit", kLznt1, 200, true}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(CompressedExtraction, SplitDataTakesTheUnitFromTheFirstExtent)
{
    // Record 60 holds unit 0 and names record 61 for unit 1; the extension's header leaves the
    // compression unit 0, as NTFS writes it.
    const PackedUnit a = Packed(12, 'm');
    const PackedUnit b = Packed(13, 'n');
    PutClusters(1000, a.clusters);
    PutClusters(1010, b.clusters);
    NonResidentSpec first = Layout({{2, 1000}, {14, std::nullopt}}, 2 * kUnit);
    first.allocatedSize = 2 * kUnit;
    vol.PutRecord(60, FileRecordBuilder()
                          .RecordNumber(60)
                          .AttributeList({{.type = 0x80, .startVcn = 0, .record = 60},
                                          {.type = 0x80, .startVcn = 16, .record = 61}})
                          .NonResident(first)
                          .Build());
    NonResidentSpec second = Layout({{2, 1010}, {14, std::nullopt}}, 0, kLznt1, 0);
    second.startVcn = 16;
    second.lastVcn = 31;
    second.allocatedSize = 0;
    second.initializedSize = 0;
    ByteBuffer extension = FileRecordBuilder().RecordNumber(61).NonResident(second).Build();
    testing_support::PutLe(extension, 32, 60, 8);
    vol.PutRecord(61, extension);

    const auto r = Extract(60, 2 * kUnit);
    EXPECT_FALSE(r.incomplete);
    EXPECT_EQ(Output(), Cat(a.bytes, b.bytes));
}

TEST_F(CompressedExtraction, StopEndsTheCopyBetweenUnits)
{
    const PackedUnit a = Packed(14, 's');
    PutClusters(1100, a.clusters);
    Put(62, Layout({{2, 1100}, {14, std::nullopt}}, kUnit));
    state.stopRequested.store(true);
    const auto r = Extract(62, kUnit);
    EXPECT_EQ(r.outcome, ExtractOutcome::CutByStop);
    EXPECT_EQ(r.bytesWritten, 0u);
}

}  // namespace
