// Disk images of the imaging tools and virtual machines (E01, VHD/VHDX, VMDK, QCOW2, split raw),
// made at test time from a raw fixture, read by dravik-cli exactly as the raw image is.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/fixtures.h"

namespace {

namespace fs = std::filesystem;
using testing_support::CliRun;
using testing_support::HashTree;
using testing_support::Quoted;
using testing_support::RunCommand;

constexpr const char* kRawFixture = "ntfs_basic.img";

bool HaveTool(const std::string& tool)
{
    return RunCommand("command -v " + tool + " >/dev/null 2>&1").exitCode == 0;
}

CliRun Cli(const fs::path& image, const std::string& args)
{
    return RunCommand(std::string(DRAVIK_CLI) + " --images-only --image " + Quoted(image.string()) + " " + args +
                      " 2>/dev/null");
}

// `drives --json` without the model, which is the file name of each image.
std::string DrivesWithoutModel(const std::string& json)
{
    return std::regex_replace(json, std::regex(R"("model":"[^"]*")"), R"("model":"")");
}

// What the raw image gives, and what every other format must give alike.
struct Outputs
{
    std::string drives;
    std::string partitions;
    std::string scan;
    std::map<std::string, std::string> recovered;  // path -> sha256
    std::string recoverLog;
};

Outputs Collect(const fs::path& image, const fs::path& recoverTo)
{
    Outputs o;
    o.drives = DrivesWithoutModel(Cli(image, "drives --json").out);
    o.partitions = Cli(image, "partitions --json").out;
    o.scan = Cli(image, "scan --partition 1 --json").out;
    const CliRun recover = Cli(image, "recover --partition 1 --all --jobs 2 --to " + Quoted(recoverTo.string()));
    o.recoverLog = recover.out;
    o.recovered = HashTree(recoverTo);
    return o;
}

// One folder for the whole suite, with the raw image's outputs made once.
class ImageFormats : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_raw = testing_support::FixturePath(kRawFixture);
        if (!fs::exists(s_raw)) {
            return;
        }
        std::string tmpl = (fs::temp_directory_path() / "dravik-formats-XXXXXX").string();
        s_dir = ::mkdtemp(tmpl.data());
        s_reference = Collect(s_raw, s_dir / "raw-out");
    }
    static void TearDownTestSuite()
    {
        std::error_code ec;
        if (!s_dir.empty()) {
            fs::remove_all(s_dir, ec);
        }
    }
    void SetUp() override
    {
        if (!fs::exists(s_raw)) {
            GTEST_SKIP() << s_raw << " missing";
        }
    }

    // A fresh folder for one case, holding a copy of the raw image named raw.img.
    static fs::path CaseFolder(const std::string& name)
    {
        const fs::path folder = s_dir / name;
        fs::create_directories(folder);
        fs::copy_file(s_raw, folder / "raw.img", fs::copy_options::overwrite_existing);
        return folder;
    }
    // Runs `script` in `folder` through /bin/sh; fails the test when it does not succeed.
    static void Shell(const fs::path& folder, const std::string& script)
    {
        const CliRun run = RunCommand("cd " + Quoted(folder.string()) + " && (" + script + ") >/dev/null 2>&1");
        ASSERT_EQ(run.exitCode, 0) << script;
    }

    static inline fs::path s_raw;
    static inline fs::path s_dir;
    static inline Outputs s_reference;
};

// How one image is made from raw.img in its folder, and which file is named to open it.
struct FormatCase
{
    const char* name;
    const char* tool;    // skipped without it
    const char* script;  // run in the case's folder
    const char* open;    // the file given to --image
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class ImageFormatEquality : public ImageFormats, public testing::WithParamInterface<FormatCase>
{
};

TEST_P(ImageFormatEquality, GivesWhatTheRawImageGives)
{
    const FormatCase& c = GetParam();
    if (!HaveTool(c.tool)) {
        GTEST_SKIP() << c.tool << " is not installed (Debian: qemu-utils, ewf-tools)";
    }
    const fs::path folder = CaseFolder(c.name);
    Shell(folder, c.script);
    fs::remove(folder / "raw.img");  // what is read is the image made from it, nothing else
    const Outputs got = Collect(folder / c.open, folder / "out");

    EXPECT_NE(got.drives.find(R"("opened":true)"), std::string::npos) << got.drives;
    EXPECT_EQ(got.drives, s_reference.drives);
    EXPECT_EQ(got.partitions, s_reference.partitions);
    EXPECT_EQ(got.scan, s_reference.scan);
    EXPECT_EQ(got.recoverLog, s_reference.recoverLog);
    EXPECT_EQ(got.recovered, s_reference.recovered);
    EXPECT_FALSE(got.recovered.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ImageFormatEquality,
    testing::Values(
        FormatCase{"qcow2", "qemu-img", "qemu-img convert -O qcow2 raw.img d.qcow2", "d.qcow2"},
        FormatCase{"qcow2_compressed", "qemu-img", "qemu-img convert -c -O qcow2 raw.img d.qcow2", "d.qcow2"},
        // A QCOW2 overlay that changed nothing reads through to its backing file beside it.
        FormatCase{"qcow2_overlay", "qemu-img",
                   "qemu-img convert -O qcow2 raw.img base.qcow2 && "
                   "qemu-img create -f qcow2 -b base.qcow2 -F qcow2 top.qcow2",
                   "top.qcow2"},
        // The format is told by content: a QCOW2 file named like a raw image is still QCOW2.
        FormatCase{"qcow2_named_img", "qemu-img", "qemu-img convert -O qcow2 raw.img disk.img", "disk.img"},
        FormatCase{"vhd_dynamic", "qemu-img", "qemu-img convert -O vpc -o force_size=on raw.img d.vhd", "d.vhd"},
        FormatCase{"vhd_fixed", "qemu-img", "qemu-img convert -O vpc -o subformat=fixed,force_size=on raw.img d.vhd",
                   "d.vhd"},
        FormatCase{"vhdx", "qemu-img", "qemu-img convert -O vhdx raw.img d.vhdx", "d.vhdx"},
        FormatCase{"vmdk_sparse", "qemu-img", "qemu-img convert -O vmdk raw.img d.vmdk", "d.vmdk"},
        FormatCase{"vmdk_split_sparse", "qemu-img",
                   "qemu-img convert -O vmdk -o subformat=twoGbMaxExtentSparse raw.img d.vmdk", "d.vmdk"},
        FormatCase{"vmdk_flat", "qemu-img", "qemu-img convert -O vmdk -o subformat=monolithicFlat raw.img d.vmdk",
                   "d.vmdk"},
        FormatCase{"vmdk_stream", "qemu-img", "qemu-img convert -O vmdk -o subformat=streamOptimized raw.img d.vmdk",
                   "d.vmdk"},
        FormatCase{"e01_compressed", "ewfacquire", "ewfacquire -u -q -t d -c deflate:fast raw.img", "d.E01"},
        FormatCase{"e01_segments", "ewfacquire", "ewfacquire -u -q -t d -c none -S 8M raw.img && test -e d.E04",
                   "d.E01"},
        FormatCase{"s01_smart", "ewfacquire", "ewfacquire -u -q -t d -f smart raw.img", "d.s01"},
        FormatCase{"split_numeric", "split", "split -b 10M -d -a 3 --numeric-suffixes=1 raw.img d.img.", "d.img.001"},
        FormatCase{"split_letters", "split", "split -b 7M raw.img d.img.", "d.img.aa"}),
    [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

// Every 512-byte sector of `got` equals that of `want` or is zero; returns how many are zero where
// `want` is not, and whether those form one run.
struct ZeroedSectors
{
    std::size_t count = 0;
    bool oneRun = true;
    bool otherwiseEqual = true;
};

ZeroedSectors CompareSectors(const std::string& got, const std::string& want)
{
    ZeroedSectors z;
    std::size_t lastZeroed = 0;
    for (std::size_t at = 0; at < want.size(); at += 512) {
        const std::string w = want.substr(at, 512);
        const std::string g = got.substr(at, 512);
        if (g == w) {
            continue;
        }
        if (g != std::string(w.size(), '\0')) {
            z.otherwiseEqual = false;
            continue;
        }
        if (z.count != 0 && lastZeroed + 512 != at) {
            z.oneRun = false;
        }
        lastZeroed = at;
        ++z.count;
    }
    return z;
}

std::string ReadWhole(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// One stored chunk of a file's data damaged in a segment file: that chunk's sectors come out as
// zeros and are counted, as unreadable sectors of a disk are; everything else is recovered whole.
TEST_F(ImageFormats, DamagedE01ChunkRecoversAsZerosAndIsCounted)
{
    if (!HaveTool("ewfacquire")) {
        GTEST_SKIP() << "ewfacquire is not installed (Debian: ewf-tools)";
    }
    const fs::path folder = CaseFolder("e01_damaged");
    // Uncompressed chunks, so the file's stamped text can be found in the segment files.
    Shell(folder, "ewfacquire -u -q -t d -c none -S 8M raw.img");
    const std::string stamp = "Documents/big.txt offset 0000065536";
    bool damaged = false;
    for (const char* segment : {"d.E01", "d.E02", "d.E03", "d.E04"}) {
        std::string bytes = ReadWhole(folder / segment);
        const auto at = bytes.find(stamp);
        if (at == std::string::npos) {
            continue;
        }
        std::fstream out(folder / segment, std::ios::in | std::ios::out | std::ios::binary);
        out.seekp(static_cast<std::streamoff>(at));
        out.write("XXXXXXXXXXXXXXXX", 16);
        damaged = true;
        break;
    }
    ASSERT_TRUE(damaged) << "the stamp of big.txt is in no segment file";

    const CliRun run =
        Cli(folder / "d.E01", "recover --partition 1 --all --to " + Quoted((folder / "out").string()));
    EXPECT_EQ(run.exitCode, 0) << run.out;  // written with zeros, as for a disk's unreadable sectors
    EXPECT_NE(run.out.find("written\tDocuments/big.txt\t(64 unreadable sectors written as zeros)\n"),
              std::string::npos)
        << run.out;  // ewfacquire's chunks are 64 sectors
    EXPECT_NE(run.out.find("\nwith unreadable sectors: 1\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nerrors: 0\n"), std::string::npos) << run.out;

    const auto got = HashTree(folder / "out");
    for (const auto& [path, sha] : s_reference.recovered) {
        if (path != "Documents/big.txt") {
            EXPECT_EQ(got.count(path) ? got.at(path) : "", sha) << path;
        }
    }
    const ZeroedSectors z = CompareSectors(ReadWhole(folder / "out" / "Documents" / "big.txt"),
                                           ReadWhole(s_dir / "raw-out" / "Documents" / "big.txt"));
    EXPECT_TRUE(z.otherwiseEqual);
    EXPECT_TRUE(z.oneRun);
    EXPECT_EQ(z.count, 64u);
}

// A segment file missing from the middle of a set: the sectors it held are unreadable, the rest
// of the disk is read.
TEST_F(ImageFormats, MissingE01SegmentLeavesItsSectorsUnreadable)
{
    if (!HaveTool("ewfacquire")) {
        GTEST_SKIP() << "ewfacquire is not installed (Debian: ewf-tools)";
    }
    const fs::path folder = CaseFolder("e01_missing_segment");
    Shell(folder, "ewfacquire -u -q -t d -c none -S 8M raw.img && rm d.E03");
    const CliRun run =
        Cli(folder / "d.E01", "recover --partition 1 --all --to " + Quoted((folder / "out").string()));
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("unreadable sectors written as zeros"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("\nwith unreadable sectors: 0\n"), std::string::npos) << run.out;
    // The volume's structures lie in the first segments: the whole tree is still there.
    EXPECT_EQ(HashTree(folder / "out").size(), s_reference.recovered.size());
}

// An image whose library cannot open it is listed like a disk that cannot be opened: with the
// library's reason, and a scan of it fails as a scan of such a disk does.
TEST_F(ImageFormats, ImageThatCannotBeOpenedTellsTheLibrarysReason)
{
    if (!HaveTool("qemu-img")) {
        GTEST_SKIP() << "qemu-img is not installed (Debian: qemu-utils)";
    }
    const fs::path folder = CaseFolder("missing_backing");
    Shell(folder,
          "qemu-img convert -O qcow2 raw.img base.qcow2 && qemu-img create -f qcow2 -b base.qcow2 -F qcow2 top.qcow2 "
          "&& rm base.qcow2 && qemu-img convert -O vhdx raw.img cut.vhdx && truncate -s 4096 cut.vhdx");

    const CliRun top = Cli(folder / "top.qcow2", "drives");
    EXPECT_NE(top.out.find("Model: top.qcow2\n"), std::string::npos) << top.out;
    EXPECT_NE(top.out.find("Opened: no (Cannot open " + (folder / "top.qcow2").string() + ": parent image " +
                           (folder / "base.qcow2").string() + ": no such file)"),
              std::string::npos)
        << top.out;
    EXPECT_EQ(Cli(folder / "top.qcow2", "scan --partition 1").exitCode, 2);

    const CliRun cut = Cli(folder / "cut.vhdx", "drives");
    EXPECT_NE(cut.out.find("Opened: no (Cannot open " + (folder / "cut.vhdx").string() + ": "), std::string::npos)
        << cut.out;
}

// An image of more segment files or pieces than the process may hold open at first (an E01 or a
// split image of a large disk has thousands, the usual first limit is 1024): the limit is raised
// to the most the process may have, and the whole disk is read.
TEST_F(ImageFormats, ImagesOfMoreFilesThanMayBeOpenAtFirstAreReadWhole)
{
    if (!HaveTool("ewfacquire")) {
        GTEST_SKIP() << "ewfacquire is not installed (Debian: ewf-tools)";
    }
    const fs::path folder = CaseFolder("many_files");
    // 48 pieces of 1 MiB: the fixture's disk with free space after its partition.
    Shell(folder, "truncate -s 48M raw.img && ewfacquire -u -q -t d -c none -S 1M raw.img && test -e d.E48 && "
                  "split -b 1M -a 3 -d raw.img piece. && test -e piece.047");
    for (const char* open : {"d.E01", "piece.000"}) {
        const fs::path out = folder / (std::string("out-") + open);
        const std::string cli = std::string("ulimit -S -n 24 && ") + DRAVIK_CLI + " --images-only --image " +
                                Quoted((folder / open).string());
        EXPECT_EQ(RunCommand(cli + " scan --partition 1 --json 2>/dev/null").out, s_reference.scan) << open;
        const CliRun recover =
            RunCommand(cli + " recover --partition 1 --all --jobs 2 --to " + Quoted(out.string()) + " 2>&1");
        EXPECT_EQ(recover.exitCode, 0) << open << "\n" << recover.out;
        EXPECT_EQ(HashTree(out), s_reference.recovered) << open;
    }
}

}  // namespace
