// File extraction on volumes built in memory: resident, non-resident, sparse and split $DATA,
// damaged run lists, unreadable sectors, names, the batch policies, Stop and Skip, FAT chains.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <iterator>
#include <string>
#include <vector>

#include "core/messages.h"
#include "recovery/batch_recovery.h"
#include "recovery/batch_report.h"
#include "recovery/file_extraction.h"
#include "recovery/output_names.h"
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

ByteBuffer Pattern(std::size_t n, std::uint8_t seed)
{
    ByteBuffer bytes(n);
    for (std::size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 4096);
    }
    return bytes;
}

ByteBuffer ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return ByteBuffer(std::istreambuf_iterator<char>(in), {});
}

// Records whatever the copier shows, and can press Stop or Skip at the n-th progress report.
class ScriptedSink : public core::ProgressSink
{
public:
    explicit ScriptedSink(recovery::RecoveryState& state) : m_state(state) {}
    void Progress(int percent) override
    {
        percents.push_back(percent);
        if (++m_reports == pressAt) {
            (pressStop ? m_state.stopRequested : m_state.skipRequested).store(true);
        }
    }
    void PanelValue(int row, std::string_view text) override { panel.emplace_back(row, std::string(text)); }

    int pressAt = -1;
    bool pressStop = false;
    std::vector<int> percents;
    std::vector<std::pair<int, std::string>> panel;

private:
    recovery::RecoveryState& m_state;
    int m_reports = 0;
};

class ExtractionTest : public ::testing::Test
{
protected:
    ExtractionTest()
    {
        m_dir = testing_support::FreshTestFolder("dravik-extract");
        map.Append(vol.ClusterSector(16), 64 * 8);  // the volume's $MFT: 64 clusters at LCN 16
    }
    ~ExtractionTest() override { fs::remove_all(m_dir); }

    recovery::ExtractionContext Context(bool withMap = true)
    {
        recovery::ExtractionContext context;
        context.volume.type = core::kFsNtfs;
        context.volume.sectorsPerCluster = 8;
        context.volume.clusterBase = vol.Layout().volumeStart;
        context.lastSector = vol.Layout().volumeStart + vol.Layout().volumeSectors - 1;
        context.mftMap = withMap ? &map : nullptr;
        return context;
    }

    void PutClusters(std::uint64_t lcn, const ByteBuffer& bytes)
    {
        vol.Raw().Write(core::SectorOffset(vol.ClusterSector(lcn)), bytes);
    }

    // A file record with an unnamed non-resident $DATA over `runs`.
    void PutNonResident(std::uint32_t number, const std::vector<RunSpec>& runs, std::uint64_t size,
                        std::uint64_t initialized = UINT64_MAX)
    {
        std::uint64_t clusters = 0;
        for (const RunSpec& r : runs) {
            clusters += r.length;
        }
        vol.PutRecord(number, FileRecordBuilder()
                                  .RecordNumber(number)
                                  .NonResident(NonResidentSpec{.runs = testing_support::EncodeRunList(runs),
                                                               .lastVcn = clusters - 1,
                                                               .allocatedSize = clusters * kCluster,
                                                               .dataSize = size,
                                                               .initializedSize = std::min(initialized, size)})
                                  .Build());
    }

    recovery::NtfsExtractRequest Request(std::uint32_t number, std::uint64_t size, const std::string& name = "f.bin",
                                         int batch = 0, int deleted = 0)
    {
        return recovery::NtfsExtractRequest{m_dir, name, size, vol.RecordSector(number), batch, deleted};
    }

    MftVolume vol;
    ntfs::MftRunTable map;
    recovery::RecoveryState state;
    fs::path m_dir;
};

TEST_F(ExtractionTest, ResidentContentIsWrittenExactlyAndOversizedIsRefused)
{
    const ByteBuffer content = Pattern(700, 3);
    vol.PutRecord(30, FileRecordBuilder().RecordNumber(30).ResidentData(content).Build());
    recovery::Extractor extractor(vol.Disk(), state, Context());

    const auto r = extractor.ExtractNtfsFile(Request(30, 700));
    EXPECT_EQ(r.outcome, ExtractOutcome::Written);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(ReadAll(m_dir / "f.bin"), content);

    const auto big = extractor.ExtractNtfsFile(Request(30, 900, "big.bin"));
    EXPECT_EQ(big.outcome, ExtractOutcome::ResidentTooLarge);
    EXPECT_EQ(big.result, 0);
    EXPECT_FALSE(fs::exists(m_dir / "big.bin"));

    const auto empty = extractor.ExtractNtfsFile(Request(30, 0, "empty.bin"));
    EXPECT_EQ(empty.outcome, ExtractOutcome::EmptyFile);
    EXPECT_FALSE(fs::exists(m_dir / "empty.bin"));
}

TEST_F(ExtractionTest, ClustersAreCopiedInRunOrderAndTheLastClusterIsCut)
{
    // Three runs, the second with a negative delta; 10000 bytes end inside the fifth cluster.
    const ByteBuffer content = Pattern(5 * kCluster, 9);
    PutClusters(300, ByteBuffer(content.begin(), content.begin() + 2 * kCluster));
    PutClusters(200, ByteBuffer(content.begin() + 2 * kCluster, content.begin() + 4 * kCluster));
    PutClusters(900, ByteBuffer(content.begin() + 4 * kCluster, content.end()));
    PutNonResident(31, {{2, 300}, {2, 200}, {1, 900}}, 4 * kCluster + 1808);
    recovery::Extractor extractor(vol.Disk(), state, Context());

    const auto r = extractor.ExtractNtfsFile(Request(31, 4 * kCluster + 1808));
    EXPECT_EQ(r.outcome, ExtractOutcome::Written);
    EXPECT_FALSE(r.incomplete);
    EXPECT_EQ(ReadAll(m_dir / "f.bin"), ByteBuffer(content.begin(), content.begin() + 4 * kCluster + 1808));
}

TEST_F(ExtractionTest, SparseRunsAndBytesPastTheInitializedSizeAreZeros)
{
    const ByteBuffer a = Pattern(kCluster, 1);
    const ByteBuffer b = Pattern(2 * kCluster, 2);
    PutClusters(400, a);
    PutClusters(500, b);
    PutNonResident(32, {{1, 400}, {3, std::nullopt}, {2, 500}}, 6 * kCluster, 5 * kCluster + 100);
    recovery::Extractor extractor(vol.Disk(), state, Context());

    const auto r = extractor.ExtractNtfsFile(Request(32, 6 * kCluster));
    ASSERT_EQ(r.outcome, ExtractOutcome::Written);
    ByteBuffer expected = a;
    expected.resize(4 * kCluster, 0);  // the hole, never the previous run's clusters
    expected.insert(expected.end(), b.begin(), b.begin() + kCluster + 100);
    expected.resize(6 * kCluster, 0);  // past the initialized size
    EXPECT_EQ(ReadAll(m_dir / "f.bin"), expected);
}

TEST_F(ExtractionTest, UnreadableSectorsBecomeZerosInPlace)
{
    const ByteBuffer content = Pattern(3 * kCluster, 5);
    PutClusters(600, content);
    PutNonResident(33, {{3, 600}}, 3 * kCluster);
    const core::Sector bad = vol.ClusterSector(601) + 3;
    vol.Raw().MarkBad(bad);
    recovery::Extractor extractor(vol.Disk(), state, Context());

    const auto r = extractor.ExtractNtfsFile(Request(33, 3 * kCluster));
    EXPECT_EQ(r.outcome, ExtractOutcome::Written);
    EXPECT_EQ(r.unreadableSectors, 1u);
    ByteBuffer expected = content;
    std::fill_n(expected.begin() + static_cast<std::ptrdiff_t>(kCluster + 3 * 512), 512, 0);
    EXPECT_EQ(ReadAll(m_dir / "f.bin"), expected);
}

// Run lists that must end the file's runs rather than produce wrong data.
struct BrokenRuns
{
    const char* label;
    ByteBuffer runs;
    ExtractOutcome outcome;
    bool incomplete;
};

class BrokenRunListTest : public ExtractionTest, public ::testing::WithParamInterface<BrokenRuns>
{
};

TEST_P(BrokenRunListTest, EndsTheRunsWithoutReadingElsewhere)
{
    const ByteBuffer content = Pattern(kCluster, 4);
    PutClusters(700, content);
    vol.PutRecord(34, FileRecordBuilder()
                          .NonResident(NonResidentSpec{.runs = GetParam().runs,
                                                       .lastVcn = 2,
                                                       .allocatedSize = 3 * kCluster,
                                                       .dataSize = 3 * kCluster,
                                                       .initializedSize = 3 * kCluster})
                          .Build());
    recovery::Extractor extractor(vol.Disk(), state, Context());
    const auto r = extractor.ExtractNtfsFile(Request(34, 3 * kCluster));
    EXPECT_EQ(r.outcome, GetParam().outcome);
    EXPECT_EQ(r.incomplete, GetParam().incomplete);
    if (r.outcome == ExtractOutcome::Written) {
        ByteBuffer expected = content;
        expected.resize(3 * kCluster, 0);
        EXPECT_EQ(ReadAll(m_dir / "f.bin"), expected);
    } else {
        EXPECT_EQ(r.result, 0);
        EXPECT_FALSE(fs::exists(m_dir / "f.bin"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, BrokenRunListTest,
    ::testing::Values(
        // 1 cluster at 700, then a run whose offset field is 5 bytes wide.
        BrokenRuns{"WideOffset", {0x21, 0x01, 0xBC, 0x02, 0x51, 0x02, 0x01, 0, 0, 0, 0, 0}, ExtractOutcome::Written, true},
        // 1 cluster at 700, then 2 clusters far beyond the volume's last sector.
        BrokenRuns{"LeavesVolume", {0x21, 0x01, 0xBC, 0x02, 0x31, 0x02, 0x00, 0x00, 0x10, 0}, ExtractOutcome::Written,
                   true},
        // A header whose fields run past the end of the attribute.
        BrokenRuns{"FieldsPastAttribute", {0x44, 0x01, 0x00}, ExtractOutcome::NoDecodableRun, false},
        // A wide length field as the only run.
        BrokenRuns{"OnlyWideRun", {0x15, 1, 0, 0, 0, 0, 0xBC, 0}, ExtractOutcome::NoDecodableRun, false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ExtractionTest, DataSplitOverTwoRecordsIsCopiedFromEveryPiece)
{
    // Record 40 holds VCN 0-1 and an attribute list naming itself and record 41 (VCN 2-3).
    const ByteBuffer content = Pattern(4 * kCluster, 8);
    PutClusters(800, ByteBuffer(content.begin(), content.begin() + 2 * kCluster));
    PutClusters(850, ByteBuffer(content.begin() + 2 * kCluster, content.end()));
    vol.PutRecord(40, FileRecordBuilder()
                          .RecordNumber(40)
                          .AttributeList({{.type = 0x80, .startVcn = 0, .record = 40},
                                          {.type = 0x80, .startVcn = 2, .record = 41}})
                          .NonResident(NonResidentSpec{.runs = testing_support::EncodeRunList({{2, 800}}),
                                                       .lastVcn = 1,
                                                       .allocatedSize = 4 * kCluster,
                                                       .dataSize = 4 * kCluster,
                                                       .initializedSize = 4 * kCluster})
                          .Build());
    ByteBuffer extension = FileRecordBuilder()
                               .RecordNumber(41)
                               .NonResident(NonResidentSpec{.runs = testing_support::EncodeRunList({{2, 850}}),
                                                            .startVcn = 2,
                                                            .lastVcn = 3,
                                                            .allocatedSize = 0,
                                                            .dataSize = 0,
                                                            .initializedSize = 0})
                               .Build();
    testing_support::PutLe(extension, 32, 40, 8);  // base record reference
    vol.PutRecord(41, extension);

    recovery::Extractor withMap(vol.Disk(), state, Context(true));
    const auto r = withMap.ExtractNtfsFile(Request(40, 4 * kCluster));
    EXPECT_EQ(r.outcome, ExtractOutcome::Written);
    EXPECT_FALSE(r.incomplete);
    EXPECT_EQ(ReadAll(m_dir / "f.bin"), content);

    // The extension record as the entry's record: its base is found through the map.
    const auto fromExtension = withMap.ExtractNtfsFile(Request(41, 4 * kCluster, "g.bin"));
    EXPECT_FALSE(fromExtension.incomplete);
    EXPECT_EQ(ReadAll(m_dir / "g.bin"), content);

    // A found file without the $MFT's map: the first piece, zeros after it, marked incomplete.
    recovery::Extractor noMap(vol.Disk(), state, Context(false));
    const auto partial = noMap.ExtractNtfsFile(Request(40, 4 * kCluster, "h.bin"));
    EXPECT_EQ(partial.outcome, ExtractOutcome::Written);
    EXPECT_TRUE(partial.incomplete);
    ByteBuffer expected(content.begin(), content.begin() + 2 * kCluster);
    expected.resize(4 * kCluster, 0);
    EXPECT_EQ(ReadAll(m_dir / "h.bin"), expected);
}

TEST(OutputNames, NamesAreMadeSafeAndKeptAsUtf8)
{
    EXPECT_EQ(recovery::SafeOutputName("a/b"), "a_b");
    EXPECT_EQ(recovery::SafeOutputName(std::string("a\0b", 3)), "a_b");
    EXPECT_EQ(recovery::SafeOutputName("."), "_.");
    EXPECT_EQ(recovery::SafeOutputName(".."), "_..");
    EXPECT_EQ(recovery::SafeOutputName(""), "_");
    EXPECT_EQ(recovery::SafeOutputName("caf\xC3\xA9.txt"), "caf\xC3\xA9.txt");
    EXPECT_EQ(recovery::SafeOutputName("\xD0\xA4/\xF0\x9F\x98\x80"), "\xD0\xA4_\xF0\x9F\x98\x80");
    EXPECT_EQ(recovery::CopyCandidateName(1, "report.doc"), "Copy (1 ) of report.doc");
}

struct ControlNameCase
{
    const char* label;
    std::string catalogName;
    std::string outputName;
};

class ControlNameTest : public ::testing::TestWithParam<ControlNameCase>
{
};

// Control characters would garble every listing of the destination (a line break, an escape
// sequence) and some destinations refuse them: each becomes '_', UTF-8 is kept as it is.
TEST_P(ControlNameTest, ControlCharactersBecomeUnderscores)
{
    EXPECT_EQ(recovery::SafeOutputName(GetParam().catalogName), GetParam().outputName);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ControlNameTest,
    ::testing::Values(ControlNameCase{"Soh", "a\x01" "b", "a_b"}, ControlNameCase{"Tab", "a\tb.txt", "a_b.txt"},
                      ControlNameCase{"LineBreaks", "x\r\ny", "x__y"},
                      ControlNameCase{"Escape", "\x1b[31mred", "_[31mred"},
                      ControlNameCase{"UnitSeparatorAndDelete", "\x1f\x7f", "__"},
                      ControlNameCase{"Utf8Kept", "\xC3\xA9\x7F\xE2\x82\xAC", "\xC3\xA9_\xE2\x82\xAC"},
                      ControlNameCase{"BlankKept", " a ", " a "}),
    [](const auto& info) { return std::string(info.param.label); });

std::string Repeat(std::string_view text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

struct PartialNameCase
{
    const char* label;
    std::string name;
    std::uint32_t n;
    std::string expected;
};

class PartialNameTest : public ::testing::TestWithParam<PartialNameCase>
{
};

TEST_P(PartialNameTest, FitsALinuxNameAndNeverCutsACharacter)
{
    const std::string got = recovery::PartialName(GetParam().name, GetParam().n);
    EXPECT_EQ(got, GetParam().expected);
    EXPECT_LE(got.size(), 255u);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PartialNameTest,
    ::testing::Values(PartialNameCase{"First", "a.txt", 1, "a.txt.partial"},
                      PartialNameCase{"Later", "a.txt", 7, "a.txt.7.partial"},
                      PartialNameCase{"LongAscii", std::string(255, 'x'), 1, std::string(247, 'x') + ".partial"},
                      // 127 two-byte characters: the cut at byte 247 falls inside the 124th.
                      PartialNameCase{"LongUtf8", Repeat("\xC3\xA9", 127), 1, Repeat("\xC3\xA9", 123) + ".partial"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ExtractionTest, DuplicatePoliciesRenameSkipOrOverwrite)
{
    const ByteBuffer content = Pattern(300, 6);
    vol.PutRecord(30, FileRecordBuilder().ResidentData(content).Build());
    std::ofstream(m_dir / "a.txt") << "old";
    std::ofstream(m_dir / "Copy (1 ) of a.txt") << "old copy";

    auto context = Context();
    context.settings.duplicatePolicy = recovery::DuplicatePolicy::Rename;
    recovery::Extractor rename(vol.Disk(), state, context);
    const auto renamed = rename.ExtractNtfsFile(Request(30, 300, "a.txt", 1));
    EXPECT_TRUE(renamed.renamed);
    EXPECT_EQ(renamed.name, "Copy (2 ) of a.txt");
    EXPECT_EQ(ReadAll(m_dir / "Copy (2 ) of a.txt"), content);

    context.settings.duplicatePolicy = recovery::DuplicatePolicy::Skip;
    recovery::Extractor skip(vol.Disk(), state, context);
    EXPECT_EQ(skip.ExtractNtfsFile(Request(30, 300, "a.txt", 1)).outcome, ExtractOutcome::DuplicateSkipped);
    EXPECT_EQ(ReadAll(m_dir / "a.txt"), ByteBuffer({'o', 'l', 'd'}));

    context.settings.duplicatePolicy = recovery::DuplicatePolicy::Overwrite;
    recovery::Extractor overwrite(vol.Disk(), state, context);
    EXPECT_EQ(overwrite.ExtractNtfsFile(Request(30, 300, "a.txt", 1)).outcome, ExtractOutcome::Written);
    EXPECT_EQ(ReadAll(m_dir / "a.txt"), content);
    EXPECT_EQ(state.filesSaved.load(), 2u);
}

struct TakenNameCase
{
    const char* name;
    recovery::DuplicatePolicy policy;
    ExtractOutcome outcome;
    const char* written;   // the file that holds the new bytes afterwards; "" none
};

class TakenNameTest : public ExtractionTest, public ::testing::WithParamInterface<TakenNameCase>
{
};

// The caller took the name for free (a batch's own folder) but a file is there: it is never
// truncated, the duplicate policy decides.
TEST_P(TakenNameTest, AFileFoundAtCreationGetsTheDuplicatePolicy)
{
    const TakenNameCase& c = GetParam();
    const ByteBuffer content = Pattern(300, 6);
    vol.PutRecord(30, FileRecordBuilder().ResidentData(content).Build());
    std::ofstream(m_dir / "a.txt") << "old";
    auto context = Context();
    context.settings.duplicatePolicy = c.policy;
    recovery::Extractor extractor(vol.Disk(), state, context);
    auto request = Request(30, 300, "a.txt", 1);
    request.nameIsFree = true;
    const auto result = extractor.ExtractNtfsFile(request);
    EXPECT_EQ(result.outcome, c.outcome);
    if (c.policy != recovery::DuplicatePolicy::Overwrite) {
        EXPECT_EQ(ReadAll(m_dir / "a.txt"), ByteBuffer({'o', 'l', 'd'}));
    }
    if (*c.written != '\0') {
        EXPECT_EQ(result.path, m_dir / c.written);
        EXPECT_EQ(ReadAll(m_dir / c.written), content);
    } else {
        EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Policies, TakenNameTest,
    ::testing::Values(TakenNameCase{"Rename", recovery::DuplicatePolicy::Rename, ExtractOutcome::Written,
                                    "Copy (1 ) of a.txt"},
                      TakenNameCase{"Skip", recovery::DuplicatePolicy::Skip, ExtractOutcome::DuplicateSkipped, ""},
                      TakenNameCase{"Overwrite", recovery::DuplicatePolicy::Overwrite, ExtractOutcome::Written,
                                    "a.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

// A link left at the output name is not followed, whatever the policy.
TEST_F(ExtractionTest, ALinkAtTheOutputNameIsNeverWrittenThrough)
{
    vol.PutRecord(30, FileRecordBuilder().ResidentData(Pattern(10, 1)).Build());
    const fs::path target = m_dir / "target";
    std::ofstream(target) << "keep";
    fs::create_symlink(target, m_dir / "a.txt");
    auto context = Context();
    context.settings.duplicatePolicy = recovery::DuplicatePolicy::Overwrite;
    recovery::Extractor extractor(vol.Disk(), state, context);
    auto request = Request(30, 10, "a.txt", 1);
    request.nameIsFree = true;
    EXPECT_EQ(extractor.ExtractNtfsFile(request).outcome, ExtractOutcome::CreateFailed);
    EXPECT_EQ(ReadAll(target), ByteBuffer({'k', 'e', 'e', 'p'}));
}

// Overwrite replaces the entry: a hard link in the destination to a file outside it gets a new
// file in its place, and the file outside keeps its bytes. A folder at the name is not removed.
TEST_F(ExtractionTest, OverwriteNeverWritesIntoTheExistingFile)
{
    const ByteBuffer content = Pattern(300, 6);
    vol.PutRecord(30, FileRecordBuilder().ResidentData(content).Build());
    const fs::path outside = m_dir / "outside.txt";
    const fs::path destination = m_dir / "dest";
    fs::create_directories(destination / "folder.txt" / "inside");
    std::ofstream(outside) << "keep";
    fs::create_hard_link(outside, destination / "a.txt");
    auto context = Context();
    context.settings.duplicatePolicy = recovery::DuplicatePolicy::Overwrite;
    recovery::Extractor extractor(vol.Disk(), state, context);
    for (const bool nameIsFree : {false, true}) {
        auto request = Request(30, 300, "a.txt", 1);
        request.destinationFolder = destination;
        request.nameIsFree = nameIsFree;
        EXPECT_EQ(extractor.ExtractNtfsFile(request).outcome, ExtractOutcome::Written);
        EXPECT_EQ(ReadAll(outside), ByteBuffer({'k', 'e', 'e', 'p'}));
        EXPECT_EQ(ReadAll(destination / "a.txt"), content);
        EXPECT_EQ(fs::hard_link_count(outside), 1u);
    }
    auto request = Request(30, 300, "folder.txt", 1);
    request.destinationFolder = destination;
    EXPECT_EQ(extractor.ExtractNtfsFile(request).outcome, ExtractOutcome::CreateFailed);
    EXPECT_TRUE(fs::is_directory(destination / "folder.txt" / "inside"));
}

// Files extracted to be opened are the user's alone, and a second Open replaces the first copy.
TEST_F(ExtractionTest, ViewModeFilesAreReadableByTheUserAlone)
{
    vol.PutRecord(30, FileRecordBuilder().ResidentData(Pattern(10, 1)).Build());
    recovery::Extractor extractor(vol.Disk(), state, Context());
    for (int round = 0; round < 2; ++round) {
        const auto result = extractor.ExtractNtfsFile(Request(30, 10, "v.txt"));
        ASSERT_EQ(result.outcome, ExtractOutcome::Written);
        EXPECT_EQ(result.path, m_dir / "v.txt");
        EXPECT_EQ(fs::status(result.path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    }
}

TEST_F(ExtractionTest, FiltersAndDeletedPolicyComeFirst)
{
    vol.PutRecord(30, FileRecordBuilder().ResidentData(Pattern(10, 1)).Build());
    auto context = Context();
    context.admit = [](std::string_view name) { return name.ends_with(".txt"); };
    context.settings.deletedPolicy = recovery::DeletedPolicy::OnlyDeleted;
    recovery::Extractor extractor(vol.Disk(), state, context);
    EXPECT_EQ(extractor.ExtractNtfsFile(Request(30, 10, "x.doc", 1, 1)).outcome, ExtractOutcome::FilteredOut);
    EXPECT_EQ(extractor.ExtractNtfsFile(Request(30, 10, "x.txt", 1, 0)).outcome, ExtractOutcome::ExcludedDeleted);
    EXPECT_EQ(extractor.ExtractNtfsFile(Request(30, 10, "x.txt", 1, 1)).outcome, ExtractOutcome::Written);
    extractor.Context().settings.deletedPolicy = recovery::DeletedPolicy::Exclude;
    EXPECT_EQ(extractor.ExtractNtfsFile(Request(30, 10, "y.txt", 1, 1)).outcome, ExtractOutcome::ExcludedDeleted);
    // View mode applies neither.
    EXPECT_EQ(extractor.ExtractNtfsFile(Request(30, 10, "z.doc", 0, 1)).outcome, ExtractOutcome::Written);
}

TEST_F(ExtractionTest, SkipEndsOnlyTheCurrentFileAndStopEndsTheRun)
{
    const std::uint64_t size = 3 * 1024 * 1024;  // three 1 MiB requests
    PutNonResident(35, {{size / kCluster, 1000}}, size);
    vol.PutRecord(36, FileRecordBuilder().ResidentData(Pattern(50, 1)).Build());
    ScriptedSink sink(state);
    auto context = Context();
    context.sink = &sink;
    recovery::Extractor extractor(vol.Disk(), state, context);

    sink.pressAt = 2;  // Skip after the first 1 MiB was written
    const auto cut = extractor.ExtractNtfsFile(Request(35, size, "big.bin", 1));
    EXPECT_EQ(cut.outcome, ExtractOutcome::CutBySkip);
    // Never left under the name of a whole file: the bytes so far are kept as "NAME.partial".
    EXPECT_FALSE(fs::exists(m_dir / "big.bin"));
    EXPECT_TRUE(cut.partial);
    EXPECT_EQ(cut.name, "big.bin.partial");
    EXPECT_EQ(cut.path, m_dir / "big.bin.partial");
    EXPECT_EQ(fs::file_size(m_dir / "big.bin.partial"), 1024u * 1024u);
    const auto next = extractor.ExtractNtfsFile(Request(35, size, "next.bin", 1));
    EXPECT_EQ(next.outcome, ExtractOutcome::Written);
    EXPECT_EQ(fs::file_size(m_dir / "next.bin"), size);

    state.stopRequested.store(true);
    EXPECT_EQ(extractor.ExtractNtfsFile(Request(35, size, "late.bin", 1)).outcome, ExtractOutcome::NotStarted);
    EXPECT_FALSE(fs::exists(m_dir / "late.bin"));
}

// A write that fails midway (here the file-size limit, as a full destination would) leaves the
// bytes written as "NAME.partial"; a ".partial" name already taken moves on to the next one.
TEST_F(ExtractionTest, AFileWhoseWriteFailsIsKeptAsPartial)
{
    const std::uint64_t size = 3 * 1024 * 1024;
    PutNonResident(35, {{size / kCluster, 1000}}, size);
    std::ofstream(m_dir / "w.bin.partial") << "an earlier one";
    recovery::Extractor extractor(vol.Disk(), state, Context());

    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = before;
    limited.rlim_cur = 1024 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const auto result = extractor.ExtractNtfsFile(Request(35, size, "w.bin", 1));
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(result.outcome, ExtractOutcome::WriteFailed);
    EXPECT_TRUE(result.partial);
    EXPECT_EQ(result.name, "w.bin.2.partial");
    EXPECT_FALSE(fs::exists(m_dir / "w.bin"));
    EXPECT_EQ(fs::file_size(m_dir / "w.bin.2.partial"), 1024u * 1024u);
    EXPECT_EQ(ReadAll(m_dir / "w.bin.partial").size(), 14u);
}

// In a batch the files cut short are counted, named in their events and in the log.
TEST_F(ExtractionTest, ABatchSaysWhichFilesWereLeftPartial)
{
    const std::uint64_t size = 3 * 1024 * 1024;
    PutNonResident(35, {{size / kCluster, 1000}}, size);
    catalog::Catalog catalog;
    catalog.AddNtfsFile({.name = "big.bin", .record = 35, .parent = 5, .size = size, .dataRecordSector = vol.RecordSector(35)});
    catalog.AddNtfsFile({.name = "next.bin", .record = 35, .parent = 5, .size = size, .dataRecordSector = vol.RecordSector(35)});
    ScriptedSink sink(state);
    sink.pressAt = 2;  // Skip after the first 1 MiB of big.bin
    auto context = Context();
    context.sink = &sink;
    recovery::Extractor extractor(vol.Disk(), state, context);
    recovery::BatchReport report;
    std::vector<std::string> names;
    const auto summary = recovery::RecoverBatch(extractor, state, catalog, recovery::BatchSource::NtfsFiles,
                                                {.all = true}, m_dir / "out", [&](const recovery::BatchEvent& e) {
                                                    report.Add(e);
                                                    names.push_back(e.result.name);
                                                });
    EXPECT_EQ(names, (std::vector<std::string>{"big.bin.partial", "next.bin"}));
    EXPECT_EQ(summary.partial, 1u);
    EXPECT_EQ(summary.cutShort, 1u);
    EXPECT_EQ(summary.written, 1u);
    EXPECT_FALSE(fs::exists(m_dir / "out" / "big.bin"));
    EXPECT_EQ(fs::file_size(m_dir / "out" / "big.bin.partial"), 1024u * 1024u);
    const std::string log = report.Text(m_dir / "out", summary);
    EXPECT_NE(log.find("cut short\tbig.bin\t-> big.bin.partial\n"), std::string::npos) << log;
    EXPECT_NE(log.find("left as .partial: 1\n"), std::string::npos) << log;
}

TEST_F(ExtractionTest, CreationFailureAsksAndNoStopsTheRecovery)
{
    vol.PutRecord(30, FileRecordBuilder().ResidentData(Pattern(10, 1)).Build());
    std::vector<std::string> asked;
    auto context = Context();
    context.askContinue = [&asked](std::string_view message) {
        asked.emplace_back(message);
        return false;
    };
    recovery::Extractor extractor(vol.Disk(), state, context);
    auto request = Request(30, 10, "f.txt", 1);
    request.destinationFolder = m_dir / "missing";
    const auto r = extractor.ExtractNtfsFile(request);
    EXPECT_EQ(r.outcome, ExtractOutcome::CreateFailed);
    EXPECT_EQ(r.result, 0);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "Error creating file : " + (m_dir / "missing" / "f.txt").string() + ".  Continue Recovery ? ");
    EXPECT_TRUE(state.stopRequested.load());
}

TEST_F(ExtractionTest, RecoverAllRecreatesTheFolderTree)
{
    vol.PutRecord(30, FileRecordBuilder().ResidentData(Pattern(20, 1)).Build());
    vol.PutRecord(31, FileRecordBuilder().ResidentData(Pattern(30, 2)).Build());
    catalog::Catalog catalog;
    catalog.AddNtfsFolder({.name = "Docs", .record = 50, .parent = 5});
    catalog.AddNtfsFolder({.name = "..", .record = 51, .parent = 50, .deleted = 1});
    catalog.AddNtfsFolder({.name = "Loop", .record = 52, .parent = 52});  // not below the root
    catalog.AddNtfsFile({.name = "top.txt", .record = 30, .parent = 5, .size = 20, .dataRecordSector = vol.RecordSector(30)});
    catalog.AddNtfsFile({.name = "a/b.txt", .record = 31, .parent = 51, .size = 30,
                         .dataRecordSector = vol.RecordSector(31), .deleted = 1});
    catalog.AddNtfsFile({.name = "none.txt", .record = 32, .parent = 50, .size = 5, .dataRecordSector = vol.RecordSector(60)});
    recovery::Extractor extractor(vol.Disk(), state, Context());
    std::vector<std::string> seen;
    state.stopRequested.store(true);  // cleared by the run
    const auto summary = recovery::RecoverBatch(extractor, state, catalog, recovery::BatchSource::NtfsFiles,
                                                {.all = true}, m_dir / "out",
                                                [&seen](const recovery::BatchEvent& e) { seen.push_back(e.relativePath); });
    EXPECT_EQ(ReadAll(m_dir / "out" / "top.txt"), Pattern(20, 1));
    EXPECT_EQ(ReadAll(m_dir / "out" / "Docs" / "_.." / "a_b.txt"), Pattern(30, 2));
    EXPECT_FALSE(fs::exists(m_dir / "out" / "Loop"));
    EXPECT_EQ(summary.written, 2u);
    EXPECT_EQ(summary.errors, 1u);  // none.txt: no record at that sector
    EXPECT_EQ(summary.foldersCreated, 2u);
    EXPECT_FALSE(summary.AllWritten());
    EXPECT_EQ(seen, (std::vector<std::string>{"top.txt", "Docs/none.txt", "Docs/_../a_b.txt"}));

    // Recover Selected: one folder with its subtree, one file, into a fresh destination.
    const auto selected = recovery::RecoverBatch(extractor, state, catalog, recovery::BatchSource::NtfsFiles,
                                                 {.folders = {1}, .files = {0}}, m_dir / "sel");
    EXPECT_EQ(selected.written, 2u);
    EXPECT_TRUE(fs::exists(m_dir / "sel" / "top.txt"));
    EXPECT_TRUE(fs::exists(m_dir / "sel" / "_.." / "a_b.txt"));
}

// Every file and folder below `root` with its bytes ("<folder>" for folders).
std::map<std::string, ByteBuffer> TreeContents(const fs::path& root)
{
    std::map<std::string, ByteBuffer> contents;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string relative = fs::relative(entry.path(), root).string();
        contents[relative] = entry.is_directory() ? ByteBuffer{'<', '>'} : ReadAll(entry.path());
    }
    return contents;
}

struct BatchRecord
{
    std::vector<std::string> events;  // path, outcome, output name
    recovery::BatchSummary summary;
    std::vector<std::string> asked;
};

// A catalog whose output folders merge ("Docs" live and deleted under the root), whose merged
// folders hold files of one name (renamed in catalog order), with a file without data, nested
// folders and enough files that several workers really run at once.
class ParallelBatchTest : public ExtractionTest
{
protected:
    ParallelBatchTest()
    {
        catalog.AddNtfsFolder({.name = "Docs", .record = 50, .parent = 5});
        catalog.AddNtfsFolder({.name = "Docs", .record = 51, .parent = 5, .deleted = 1});
        catalog.AddNtfsFolder({.name = "Pics", .record = 52, .parent = 5});
        catalog.AddNtfsFolder({.name = "Deep", .record = 53, .parent = 52});
        catalog.AddNtfsFolder({.name = "Last", .record = 54, .parent = 5});
        const std::uint32_t parents[] = {5, 50, 51, 52, 53, 54};
        std::uint32_t record = 30;
        for (int i = 0; i < 60; ++i, ++record) {
            const std::uint32_t parent = parents[i % 6];
            const std::size_t size = 100 + static_cast<std::size_t>(i) * 11;
            vol.PutRecord(record, FileRecordBuilder().ResidentData(Pattern(size, static_cast<std::uint8_t>(i))).Build());
            // Files 1, 2, 7, 8, ... share names between the two "Docs" folders.
            const std::string name = (parent == 50 || parent == 51) ? "same" + std::to_string(i / 6) + ".txt"
                                                                    : "f" + std::to_string(i) + ".bin";
            catalog.AddNtfsFile({.name = name, .record = record, .parent = parent, .size = size,
                                 .dataRecordSector = vol.RecordSector(record)});
        }
        catalog.AddNtfsFile({.name = "nodata.bin", .record = 99, .parent = 52, .size = 5,
                             .dataRecordSector = vol.RecordSector(200)});  // no record there
    }

    BatchRecord Run(unsigned workers, const fs::path& to, bool answerYes = true,
                    recovery::DuplicatePolicy duplicates = recovery::DuplicatePolicy::Rename)
    {
        BatchRecord record;
        auto context = Context();
        context.settings.duplicatePolicy = duplicates;
        context.askContinue = [&record, answerYes](std::string_view message) {
            record.asked.emplace_back(message);
            return answerYes;
        };
        recovery::Extractor extractor(vol.Disk(), state, context);
        record.summary = recovery::RecoverBatch(
            extractor, state, catalog, recovery::BatchSource::NtfsFiles, {.all = true}, to,
            [&record](const recovery::BatchEvent& e) {
                record.events.push_back(e.relativePath + " " + std::to_string(static_cast<int>(e.result.outcome)) +
                                        " " + e.result.name);
            },
            workers);
        return record;
    }

    catalog::Catalog catalog;
};

// The batch's amounts (for the rate and the time left): every planned byte, handled in order, also
// when several workers report through the same sink.
TEST_F(ParallelBatchTest, AmountsReachThePlannedBytesInOrder)
{
    class AmountSink : public core::ProgressSink
    {
    public:
        void Amount(std::uint64_t done, std::uint64_t total, core::AmountUnit unit) override
        {
            amounts.emplace_back(done, total);
            EXPECT_EQ(unit, core::AmountUnit::Bytes);
        }
        std::vector<std::pair<std::uint64_t, std::uint64_t>> amounts;
    };
    std::uint64_t planned = 0;
    for (const auto& file : catalog.NtfsFiles()) {
        planned += file.size;
    }
    for (const unsigned workers : {1u, 4u}) {
        AmountSink sink;
        auto context = Context();
        context.sink = &sink;
        recovery::Extractor extractor(vol.Disk(), state, context);
        recovery::RecoverBatch(extractor, state, catalog, recovery::BatchSource::NtfsFiles, {.all = true},
                               m_dir / ("amounts" + std::to_string(workers)), {}, workers);
        ASSERT_EQ(sink.amounts.size(), catalog.NtfsFiles().size()) << workers;
        for (std::size_t i = 1; i < sink.amounts.size(); ++i) {
            EXPECT_LE(sink.amounts[i - 1].first, sink.amounts[i].first);
        }
        EXPECT_EQ(sink.amounts.back(), std::make_pair(planned, planned)) << workers;
    }
}

TEST_F(ParallelBatchTest, SeveralWorkersGiveWhatOneWorkerGives)
{
    const BatchRecord one = Run(1, m_dir / "one");
    for (const unsigned workers : {2u, 4u}) {
        const fs::path to = m_dir / ("w" + std::to_string(workers));
        const BatchRecord many = Run(workers, to);
        EXPECT_EQ(many.events, one.events) << workers;
        EXPECT_EQ(many.summary.written, one.summary.written);
        EXPECT_EQ(many.summary.renamed, one.summary.renamed);
        EXPECT_EQ(many.summary.errors, one.summary.errors);
        EXPECT_EQ(many.summary.foldersCreated, one.summary.foldersCreated);
        EXPECT_EQ(TreeContents(to), TreeContents(m_dir / "one")) << workers;
    }
    EXPECT_EQ(one.summary.written, 60u);
    EXPECT_EQ(one.summary.renamed, 10u);  // the deleted "Docs" comes second: its files are the copies
    EXPECT_EQ(one.summary.errors, 1u);
    EXPECT_EQ(ReadAll(m_dir / "one" / "Docs" / "Copy (1 ) of same0.txt"), Pattern(100 + 2 * 11, 2));
    EXPECT_EQ(ReadAll(m_dir / "one" / "Pics" / "Deep" / "f4.bin"), Pattern(100 + 4 * 11, 4));
}

TEST_F(ParallelBatchTest, NoToAFolderFailureCopiesOnlyWhatCameBeforeIt)
{
    for (const unsigned workers : {1u, 3u}) {
        const fs::path to = m_dir / ("w" + std::to_string(workers));
        fs::create_directories(to);
        std::ofstream(to / "Pics") << "a file where the folder goes";
        const BatchRecord r = Run(workers, to, false);
        ASSERT_EQ(r.asked.size(), 1u) << workers;
        EXPECT_EQ(r.asked[0], "Error creating file : " + (to / "Pics").string() + ".  Continue Recovery ? ");
        EXPECT_TRUE(r.summary.stopped);
        EXPECT_TRUE(state.stopRequested.load());
        // The root's files and both "Docs" come before "Pics"; nothing after it is made.
        EXPECT_EQ(r.summary.written, 30u) << workers;
        EXPECT_TRUE(fs::exists(to / "Docs" / "same9.txt"));
        EXPECT_FALSE(fs::exists(to / "Last"));
        EXPECT_EQ(r.events.back(), "Pics 11 Pics");
    }
}

TEST_F(ParallelBatchTest, AfterNoNoOtherWorkerAsks)
{
    // A link where an output file goes cannot be opened (links are never followed): with
    // "overwrite" every such file asks. One "&No" ends the run; the other workers do not ask again.
    const fs::path to = m_dir / "links";
    for (const char* folder : {"", "Docs", "Pics", "Pics/Deep", "Last"}) {
        fs::create_directories(to / folder);
    }
    for (int i = 0; i < 60; ++i) {
        const std::uint32_t parents[] = {5, 50, 51, 52, 53, 54};
        const char* folders[] = {"", "Docs", "Docs", "Pics", "Pics/Deep", "Last"};
        const std::uint32_t parent = parents[i % 6];
        if (parent == 50 || parent == 51) {
            continue;
        }
        fs::create_symlink(m_dir / "elsewhere", to / folders[i % 6] / ("f" + std::to_string(i) + ".bin"));
    }
    const BatchRecord r = Run(4, to, false, recovery::DuplicatePolicy::Overwrite);
    EXPECT_EQ(r.asked.size(), 1u);
    EXPECT_TRUE(r.summary.stopped);
    EXPECT_FALSE(fs::exists(m_dir / "elsewhere"));
}

// Thousands of files of one name in one folder: each renamed file costs a check or two, not one
// per earlier copy (20,000 files would otherwise take some 200 million checks).
TEST_F(ExtractionTest, ManyFilesOfOneNameAreRenamedInLinearTime)
{
    constexpr std::uint32_t kFiles = 20000;
    vol.PutRecord(30, FileRecordBuilder().ResidentData(Pattern(8, 1)).Build());
    catalog::Catalog catalog;
    for (std::uint32_t i = 0; i < kFiles; ++i) {
        catalog.AddNtfsFile({.name = "same.txt", .record = 30, .parent = 5, .size = 8,
                             .dataRecordSector = vol.RecordSector(30)});
    }
    // In memory where the machine offers it: making and removing 20,000 files is the slow part.
    const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : m_dir;
    const fs::path out = base / ("dravik-same-name-" + std::to_string(::getpid()));
    fs::remove_all(out);
    recovery::Extractor extractor(vol.Disk(), state, Context());
    const auto summary =
        recovery::RecoverBatch(extractor, state, catalog, recovery::BatchSource::NtfsFiles, {.all = true}, out);
    EXPECT_EQ(summary.written, kFiles);
    EXPECT_EQ(summary.renamed, kFiles - 1);
    EXPECT_LE(extractor.CopyNameProbes(), 2u * kFiles);
    EXPECT_TRUE(fs::exists(out / "Copy (19999 ) of same.txt"));
    EXPECT_FALSE(fs::exists(out / "Copy (20000 ) of same.txt"));
    fs::remove_all(out);
}

// The search goes on from where it ended only while the copies it made are there: once they are
// gone, the first free name is "Copy (1 )" again.
TEST_F(ExtractionTest, RenamingStartsAgainWhenTheCopiesAreGone)
{
    vol.PutRecord(30, FileRecordBuilder().ResidentData(Pattern(8, 1)).Build());
    std::ofstream(m_dir / "a.txt") << "old";
    recovery::Extractor extractor(vol.Disk(), state, Context());
    EXPECT_EQ(extractor.ExtractNtfsFile(Request(30, 8, "a.txt", 1)).name, "Copy (1 ) of a.txt");
    EXPECT_EQ(extractor.ExtractNtfsFile(Request(30, 8, "a.txt", 1)).name, "Copy (2 ) of a.txt");
    fs::remove(m_dir / "Copy (1 ) of a.txt");
    fs::remove(m_dir / "Copy (2 ) of a.txt");
    EXPECT_EQ(extractor.ExtractNtfsFile(Request(30, 8, "a.txt", 1)).name, "Copy (1 ) of a.txt");
}

// Names the run itself took (a folder it made, a file it wrote, one differing only in case) and
// names that were there before the run are all seen, whichever way the check is made.
TEST_F(ExtractionTest, TakenNamesAreSeenInFoldersOldAndNew)
{
    for (std::uint32_t r = 30; r < 35; ++r) {
        vol.PutRecord(r, FileRecordBuilder().ResidentData(Pattern(10 + r, static_cast<std::uint8_t>(r))).Build());
    }
    catalog::Catalog catalog;
    catalog.AddNtfsFolder({.name = "Sub", .record = 50, .parent = 5});
    catalog.AddNtfsFolder({.name = "Inner", .record = 51, .parent = 50});
    const auto file = [&](const char* name, std::uint32_t record, std::uint32_t parent) {
        catalog.AddNtfsFile({.name = name, .record = record, .parent = parent, .size = 10 + record,
                             .dataRecordSector = vol.RecordSector(record)});
    };
    file("keep.txt", 30, 5);
    file("Case.txt", 31, 50);
    file("CASE.TXT", 32, 50);
    file("Inner", 33, 50);
    file("Case.txt", 34, 50);
    for (const unsigned workers : {1u, 2u}) {
        const fs::path to = m_dir / ("w" + std::to_string(workers));
        fs::create_directories(to);
        std::ofstream(to / "keep.txt") << "there before";
        recovery::Extractor extractor(vol.Disk(), state, Context());
        const auto summary = recovery::RecoverBatch(extractor, state, catalog, recovery::BatchSource::NtfsFiles,
                                                    {.all = true}, to, {}, workers);
        EXPECT_EQ(summary.written, 5u);
        EXPECT_EQ(summary.renamed, 3u) << workers;
        EXPECT_EQ(ReadAll(to / "Copy (1 ) of keep.txt"), Pattern(40, 30));
        EXPECT_EQ(ReadAll(to / "Sub" / "Case.txt"), Pattern(41, 31));
        EXPECT_EQ(ReadAll(to / "Sub" / "CASE.TXT"), Pattern(42, 32));  // this file system heeds case
        EXPECT_EQ(ReadAll(to / "Sub" / "Copy (1 ) of Inner"), Pattern(43, 33));
        EXPECT_EQ(ReadAll(to / "Sub" / "Copy (1 ) of Case.txt"), Pattern(44, 34));
    }
}

// A vfat file system on a small image, mounted by the kernel (which folds case and drops
// trailing dots) or, where the kernel has no vfat, by fusefat (which folds case). Needs root;
// skipped where neither can mount it.
class VfatDestinationTest : public ExtractionTest, public ::testing::WithParamInterface<TakenNameCase>
{
protected:
    void SetUp() override
    {
        const fs::path image = m_dir / "vfat.img";
        m_mount = m_dir / "mnt";
        fs::create_directories(m_mount);
        const std::string make = "truncate -s 4M '" + image.string() + "' && mkfs.vfat '" + image.string() +
                                 "' >/dev/null 2>&1";
        if (std::system(make.c_str()) != 0) {
            GTEST_SKIP() << "mkfs.vfat is not available";
        }
        const std::string kernel = "mount -o loop '" + image.string() + "' '" + m_mount.string() + "' 2>/dev/null";
        const std::string fuse = "fusefat -o rw+ '" + image.string() + "' '" + m_mount.string() + "' >/dev/null 2>&1";
        if (std::system(kernel.c_str()) == 0) {
            m_unmount = "umount '" + m_mount.string() + "'";
        } else if (std::system(fuse.c_str()) == 0) {
            m_unmount = "fusermount -u '" + m_mount.string() + "'";
        } else {
            GTEST_SKIP() << "a vfat image cannot be mounted here (needs root, and vfat in the kernel or fusefat)";
        }
    }
    void TearDown() override
    {
        if (!m_unmount.empty()) {
            EXPECT_EQ(std::system(m_unmount.c_str()), 0);
        }
    }

    fs::path m_mount;
    std::string m_unmount;
};

// Through a whole batch, whose own folders it believes free of a name it has not written: the
// second of two names that are one on vfat gets the duplicate policy and never overwrites the
// first's bytes unless the policy is Overwrite. Names the destination keeps apart each keep their
// own bytes.
TEST_P(VfatDestinationTest, NamesTheDestinationFoldsGetTheDuplicatePolicy)
{
    const TakenNameCase& c = GetParam();
    catalog::Catalog catalog;
    catalog.AddNtfsFolder({.name = "Out", .record = 50, .parent = 5});
    const std::vector<std::pair<std::string, std::string>> pairs{{"Case.txt", "CASE.TXT"}, {"dot.txt", "dot.txt."}};
    std::uint32_t record = 30;
    for (const auto& [first, second] : pairs) {
        for (const std::string& name : {first, second}) {
            vol.PutRecord(record, FileRecordBuilder().ResidentData(Pattern(100, static_cast<std::uint8_t>(record))).Build());
            catalog.AddNtfsFile({.name = name, .record = record, .parent = 50, .size = 100,
                                 .dataRecordSector = vol.RecordSector(record)});
            ++record;
        }
    }
    auto context = Context();
    context.settings.duplicatePolicy = c.policy;
    recovery::Extractor extractor(vol.Disk(), state, context);
    const auto summary =
        recovery::RecoverBatch(extractor, state, catalog, recovery::BatchSource::NtfsFiles, {.all = true}, m_mount);
    EXPECT_EQ(summary.errors, 0u);
    const fs::path out = m_mount / "Out";
    std::uint32_t folded = 0;
    record = 30;
    for (const auto& [first, second] : pairs) {
        const ByteBuffer firstBytes = Pattern(100, static_cast<std::uint8_t>(record));
        const ByteBuffer secondBytes = Pattern(100, static_cast<std::uint8_t>(record + 1));
        record += 2;
        // Kept apart when the folder lists both names (an overwrite that folds leaves one entry,
        // under the name of the file that replaced the other).
        const auto listed = [&out](const fs::path& name) {
            return std::any_of(fs::directory_iterator(out), fs::directory_iterator(),
                               [&name](const fs::directory_entry& e) { return e.path().filename() == name; });
        };
        const bool keptApart = listed(first) && listed(second);
        if (keptApart) {
            EXPECT_EQ(ReadAll(out / first), firstBytes) << first;  // kept apart by this driver
            EXPECT_EQ(ReadAll(out / second), secondBytes) << second;
            continue;
        }
        ++folded;
        switch (c.policy) {
        case recovery::DuplicatePolicy::Rename:
            EXPECT_EQ(ReadAll(out / first), firstBytes) << first;
            EXPECT_EQ(ReadAll(out / recovery::CopyCandidateName(1, second)), secondBytes) << second;
            break;
        case recovery::DuplicatePolicy::Skip:
            EXPECT_EQ(ReadAll(out / first), firstBytes) << first;
            break;
        case recovery::DuplicatePolicy::Overwrite:
            EXPECT_EQ(ReadAll(out / first), secondBytes) << first;
            break;
        }
    }
    EXPECT_GE(folded, 1u);  // case folds on every vfat driver
    EXPECT_EQ(summary.renamed, c.policy == recovery::DuplicatePolicy::Rename ? folded : 0u);
    EXPECT_EQ(summary.skipped, c.policy == recovery::DuplicatePolicy::Skip ? folded : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Policies, VfatDestinationTest,
    ::testing::Values(TakenNameCase{"Rename", recovery::DuplicatePolicy::Rename, ExtractOutcome::Written, ""},
                      TakenNameCase{"Skip", recovery::DuplicatePolicy::Skip, ExtractOutcome::DuplicateSkipped, ""},
                      TakenNameCase{"Overwrite", recovery::DuplicatePolicy::Overwrite, ExtractOutcome::Written, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExtractionTest, FatChainFromFat1ElseContiguousClusters)
{
    // A FAT32 volume inside the same disk: FAT #1 at 100, FAT #2 at 200, cluster 2 at sector 1000.
    auto context = Context();
    context.volume.type = core::kFsFat32;
    context.volume.sectorsPerCluster = 1;
    context.volume.clusterBase = 998;
    context.volume.fat1Start = 100;
    context.volume.fat2Start = 200;
    ByteBuffer fat(512, 0);
    testing_support::PutLe(fat, 100 * 4, 101, 4);
    testing_support::PutLe(fat, 101 * 4, 105, 4);
    testing_support::PutLe(fat, 105 * 4, 0x0FFFFFFF, 4);
    vol.Raw().WriteSector(100, fat);
    for (std::uint32_t c = 100; c <= 105; ++c) {
        vol.Raw().WriteSector(998 + c, ByteBuffer(512, static_cast<std::uint8_t>(c)));
    }
    recovery::Extractor extractor(vol.Disk(), state, context);
    EXPECT_EQ(extractor.WalkFatChain(100, 3, 100), (std::vector<std::uint32_t>{100, 101, 105}));
    const auto r = extractor.ExtractFatFile({m_dir, 1, 0, 100, 1400, "fat.bin", 0});
    EXPECT_EQ(r.outcome, ExtractOutcome::Written);
    ByteBuffer expected(512, 100);
    expected.insert(expected.end(), 512, 101);
    expected.insert(expected.end(), 376, 105);
    EXPECT_EQ(ReadAll(m_dir / "fat.bin"), expected);

    // Deleted: both FATs hold 0 after the first cluster, so clusters 102, 103 follow 102 in order.
    extractor.ExtractFatFile({m_dir, 2, 0, 102, 1024, "del.bin", 1});
    ByteBuffer contiguous(512, 102);
    contiguous.insert(contiguous.end(), 512, 103);
    EXPECT_EQ(ReadAll(m_dir / "del.bin"), contiguous);
    // A chain longer than the size needs is not used: 3 clusters found for a 1-cluster file.
    EXPECT_EQ(extractor.WalkFatChain(100, 1, 100).size(), 2u);

    // A FAT file of size 0 still gets its (empty) output file.
    EXPECT_EQ(extractor.ExtractFatFile({m_dir, 3, 0, 104, 0, "zero.bin", 0}).outcome, ExtractOutcome::Written);
    EXPECT_EQ(fs::file_size(m_dir / "zero.bin"), 0u);
}

}  // namespace
