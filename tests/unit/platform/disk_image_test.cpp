// Disk images of other formats than raw: detection by content, split raw pieces, the library
// sources' bounds and serialization, and the reasons given when an image cannot be opened.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <numeric>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/disk_image.h"
#include "platform/format_image_source.h"
#include "platform/image_format.h"
#include "platform/libyal_support.h"
#include "platform/split_raw_source.h"

namespace {

namespace fs = std::filesystem;
using platform::ImageFormat;

class ImageDir : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string tmpl = (fs::temp_directory_path() / "dravik-images-XXXXXX").string();
        m_dir = ::mkdtemp(tmpl.data());
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    // A file of `size` bytes whose byte i is (i * 7 + seed) mod 251, with `head` written at 0.
    fs::path Write(const std::string& name, std::size_t size, const std::string& head = {}, unsigned seed = 0)
    {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>((i * 7 + seed) % 251);
        }
        bytes.replace(0, std::min(head.size(), size), head.substr(0, size));
        const fs::path path = m_dir / name;
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    fs::path m_dir;
};

// ---- split raw names -----------------------------------------------------------------------

struct PieceName
{
    const char* name;
    bool first;
    const char* next;
};

void PrintTo(const PieceName& p, std::ostream* os) { *os << p.name; }

class SplitNames : public testing::TestWithParam<PieceName>
{
};

TEST_P(SplitNames, FirstPieceAndSuccessor)
{
    const PieceName& p = GetParam();
    EXPECT_EQ(platform::IsFirstPieceName(p.name), p.first) << p.name;
    EXPECT_EQ(platform::NextPieceName(p.name), p.next) << p.name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, SplitNames,
    testing::Values(PieceName{"disk.001", true, "disk.002"}, PieceName{"disk.000", true, "disk.001"},
                    PieceName{"disk.00", true, "disk.01"}, PieceName{"disk.009", false, "disk.010"},
                    PieceName{"disk.099", false, "disk.100"}, PieceName{"disk.999", false, ""},
                    PieceName{"disk.002", false, "disk.003"}, PieceName{"disk.1", false, ""},
                    PieceName{"disk.aa", true, "disk.ab"}, PieceName{"disk.aaa", true, "disk.aab"},
                    PieceName{"disk.az", false, "disk.ba"}, PieceName{"disk.zz", false, ""},
                    PieceName{"disk.a", false, ""}, PieceName{"disk.AA", false, ""},
                    PieceName{"disk.E01", false, ""}, PieceName{"disk", false, ""}, PieceName{"disk.", false, ""},
                    // The suffix is that of the file name, never of a folder.
                    PieceName{"set.001/disk", false, ""}, PieceName{"/images/set.aa", true, "/images/set.ab"}));

TEST_F(ImageDir, SplitPiecesRunWhileTheNextPieceExists)
{
    Write("d.001", 10);
    Write("d.002", 10);
    Write("d.003", 10);
    Write("d.005", 10);  // after a gap: not part of the set
    const auto pieces = platform::SplitPieces((m_dir / "d.001").string());
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[2], (m_dir / "d.003").string());
    // A later piece named first is a raw image of its own.
    EXPECT_EQ(platform::SplitPieces((m_dir / "d.002").string()).size(), 1u);
    EXPECT_EQ(platform::DetectImageFormat((m_dir / "d.001").string()), ImageFormat::SplitRaw);
    EXPECT_EQ(platform::DetectImageFormat((m_dir / "d.002").string()), ImageFormat::Raw);
    // A first piece alone is a raw image.
    Write("alone.aa", 10);
    EXPECT_EQ(platform::DetectImageFormat((m_dir / "alone.aa").string()), ImageFormat::Raw);
}

TEST_F(ImageDir, SplitRawReadsAcrossPiecesAndStopsAtTheEnd)
{
    // The disk is one pattern cut into pieces of 1000, 0, 1536 and 512 bytes.
    const std::size_t sizes[] = {1000, 0, 1536, 512};
    const std::size_t total = std::accumulate(std::begin(sizes), std::end(sizes), std::size_t{0});
    std::vector<std::uint8_t> whole(total);
    for (std::size_t i = 0; i < total; ++i) {
        whole[i] = static_cast<std::uint8_t>((i * 13) % 256);
    }
    std::vector<std::string> names;
    std::size_t at = 0;
    for (std::size_t k = 0; k < std::size(sizes); ++k) {
        const fs::path path = m_dir / ("p.00" + std::to_string(k + 1));
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(whole.data() + at), static_cast<std::streamsize>(sizes[k]));
        names.push_back(path.string());
        at += sizes[k];
    }
    const platform::ImageOpenResult opened = platform::OpenDiskImage(names.front());
    ASSERT_TRUE(opened.source) << opened.reason;
    EXPECT_EQ(opened.format, ImageFormat::SplitRaw);
    core::SectorSource& disk = *opened.source;
    EXPECT_EQ(disk.SizeBytes(), total);
    EXPECT_TRUE(disk.ConcurrentReads());

    struct Range
    {
        std::size_t offset;
        std::size_t length;
    };
    for (const Range r : {Range{0, total}, Range{990, 20}, Range{1000, 1536}, Range{2535, 2}, Range{2536, 512},
                          Range{3047, 1}, Range{3048, 0}}) {
        std::vector<std::uint8_t> out(r.length, 0xEE);
        EXPECT_TRUE(disk.ReadAt(r.offset, out)) << r.offset << "+" << r.length;
        EXPECT_TRUE(std::equal(out.begin(), out.end(), whole.begin() + static_cast<std::ptrdiff_t>(r.offset)))
            << r.offset << "+" << r.length;
    }
    std::vector<std::uint8_t> past(2);
    EXPECT_FALSE(disk.ReadAt(total - 1, past));
    EXPECT_FALSE(disk.ReadAt(UINT64_MAX, past));

    // A piece that cannot be opened is named in the reason.
    fs::remove(names[2]);
    fs::create_directory(names[2]);
    std::string reason;
    EXPECT_FALSE(platform::OpenSplitRaw(names, reason));
    EXPECT_NE(reason.find(names[2]), std::string::npos) << reason;
}

// ---- detection by content --------------------------------------------------------------------

struct Signature
{
    const char* name;  // the file's name: never what decides
    std::string head;  // bytes at offset 0
    std::string tail;  // bytes in the last 512
    ImageFormat format;
};

void PrintTo(const Signature& s, std::ostream* os) { *os << s.name; }

class Detection : public ImageDir, public testing::WithParamInterface<Signature>
{
};

TEST_P(Detection, ByContentNotByName)
{
    const Signature& s = GetParam();
    const fs::path path = Write(s.name, 8192, s.head);
    if (!s.tail.empty()) {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(8192 - 512);
        f.write(s.tail.data(), static_cast<std::streamsize>(s.tail.size()));
    }
    EXPECT_EQ(platform::DetectImageFormat(path.string()), s.format) << s.name;
}

INSTANTIATE_TEST_SUITE_P(
    Signatures, Detection,
    testing::Values(Signature{"a.img", "", "", ImageFormat::Raw},
                    Signature{"b.E01", "", "", ImageFormat::Raw},  // a name alone makes no format
                    Signature{"c.img", std::string("EVF\x09\x0d\x0a\xff\x00", 8), "", ImageFormat::Ewf},
                    Signature{"d.img", std::string("QFI\xfb\x00\x00\x00\x03", 8), "", ImageFormat::Qcow},
                    Signature{"e.img", "vhdxfile", "", ImageFormat::Vhdi},
                    Signature{"f.img", "", "conectix", ImageFormat::Vhdi},  // a fixed VHD: the footer only
                    Signature{"g.img", "KDMV", "", ImageFormat::Vmdk},
                    Signature{"h.img", "# Disk DescriptorFile\n", "", ImageFormat::Vmdk},
                    // Content wins over a piece name.
                    Signature{"i.001", std::string("QFI\xfb\x00\x00\x00\x03", 8), "", ImageFormat::Qcow}),
    [](const testing::TestParamInfo<Signature>& info) { return std::string(1, info.param.name[0]); });

TEST_F(ImageDir, WhatIsNotARegularFileIsRaw)
{
    EXPECT_EQ(platform::DetectImageFormat((m_dir / "none").string()), ImageFormat::Raw);
    EXPECT_EQ(platform::DetectImageFormat(m_dir.string()), ImageFormat::Raw);
}

// A file with a format's signature but nothing valid behind it: the library's reason, after the
// system's "Cannot open PATH: ".
TEST_F(ImageDir, BrokenFormatImageIsRefusedWithTheLibrarysReason)
{
    for (const auto& [name, head] : std::vector<std::pair<std::string, std::string>>{
             {"q.qcow2", std::string("QFI\xfb\x00\x00\x00\x03", 8)},
             {"x.vhdx", "vhdxfile"},
             {"k.vmdk", "KDMV"},
             {"e.E01", std::string("EVF\x09\x0d\x0a\xff\x00", 8)}}) {
        const fs::path path = Write(name, 4096, head);
        const platform::ImageOpenResult opened = platform::OpenDiskImage(path.string());
        EXPECT_FALSE(opened.source) << name;
        const std::string prefix = "Cannot open " + path.string() + ": ";
        EXPECT_EQ(opened.reason.substr(0, prefix.size()), prefix) << opened.reason;
        EXPECT_GT(opened.reason.size(), prefix.size()) << name;
        EXPECT_EQ(opened.reason.find('\n'), std::string::npos) << opened.reason;
    }
}

// ---- the library source --------------------------------------------------------------------

class RecordingHandle : public platform::FormatHandle
{
public:
    explicit RecordingHandle(std::vector<std::pair<std::uint64_t, std::size_t>>& calls) : m_calls(calls) {}
    bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override
    {
        m_calls.emplace_back(offset, out.size());
        std::fill(out.begin(), out.end(), std::uint8_t{0x5A});
        return offset != 4096;  // the library fails this one place
    }

private:
    std::vector<std::pair<std::uint64_t, std::size_t>>& m_calls;
};

TEST(FormatImageSource, PassesWholeRequestsInsideTheMediaOnly)
{
    std::vector<std::pair<std::uint64_t, std::size_t>> calls;
    platform::FormatImageSource source(std::make_unique<RecordingHandle>(calls), 1 << 20);
    std::vector<std::uint8_t> buffer(60 * 512);
    EXPECT_TRUE(source.ReadAt(512, buffer));
    EXPECT_FALSE(source.ReadAt(4096, buffer));
    EXPECT_TRUE(source.ReadAt((1 << 20) - buffer.size(), buffer));
    EXPECT_FALSE(source.ReadAt((1 << 20) - buffer.size() + 512, buffer));  // past the end: not asked
    EXPECT_FALSE(source.ReadAt(UINT64_MAX - 10, buffer));
    EXPECT_TRUE(source.ReadAt(1 << 20, std::span<std::uint8_t>()));
    ASSERT_EQ(calls.size(), 3u);  // one library read per request, never one per sector
    EXPECT_EQ(calls[0], std::make_pair(std::uint64_t{512}, buffer.size()));
}

// A handle whose reads wait, up to `patience`, until `want` reads are inside handles at once.
class GateHandle : public platform::FormatHandle
{
public:
    struct Shared
    {
        std::mutex lock;
        std::condition_variable changed;
        int inside = 0;
        int most = 0;
    };
    GateHandle(Shared& shared, int want, std::chrono::milliseconds patience)
        : m_shared(shared), m_want(want), m_patience(patience)
    {
    }
    bool Read(std::uint64_t, std::span<std::uint8_t>) override
    {
        std::unique_lock<std::mutex> hold(m_shared.lock);
        m_shared.most = std::max(m_shared.most, ++m_shared.inside);
        m_shared.changed.notify_all();
        m_shared.changed.wait_for(hold, m_patience, [&] { return m_shared.most >= m_want; });
        --m_shared.inside;
        return true;
    }

private:
    Shared& m_shared;
    int m_want;
    std::chrono::milliseconds m_patience;
};

// Reads from several threads at once: a further handle is opened when every open one is busy, up
// to the limit, so the library works on both reads at the same time. Without a way to open more,
// or when opening again fails, the reads take turns on the one handle.
TEST(FormatImageSource, ConcurrentReadsGetTheirOwnHandlesUpToTheLimit)
{
    struct Case
    {
        unsigned maxHandles;
        bool reopenWorks;
        int mostAtOnce;
        unsigned handles;
    };
    for (const Case c : {Case{2, true, 2, 2}, Case{1, true, 1, 1}, Case{4, false, 1, 1}}) {
        GateHandle::Shared shared;
        const auto patience = std::chrono::milliseconds(c.mostAtOnce == 2 ? 10000 : 100);
        int reopened = 0;
        platform::FormatImageSource source(
            std::make_unique<GateHandle>(shared, 2, patience), 1 << 20,
            [&]() -> std::unique_ptr<platform::FormatHandle> {
                ++reopened;
                return c.reopenWorks ? std::make_unique<GateHandle>(shared, 2, patience) : nullptr;
            },
            c.maxHandles);
        bool read[2] = {false, false};
        {
            std::jthread a([&] {
                std::vector<std::uint8_t> buffer(512);
                read[0] = source.ReadAt(0, buffer);
            });
            std::jthread b([&] {
                std::vector<std::uint8_t> buffer(512);
                read[1] = source.ReadAt(512, buffer);
            });
        }
        EXPECT_TRUE(read[0] && read[1]) << c.maxHandles;
        EXPECT_EQ(shared.most, c.mostAtOnce) << c.maxHandles << c.reopenWorks;
        EXPECT_EQ(source.HandleCount(), c.handles) << c.maxHandles << c.reopenWorks;
        EXPECT_LE(reopened, 1);  // a failed reopen is not tried again
    }
}

// ---- library texts and referenced files --------------------------------------------------------

TEST(LibrarySupport, ReasonIsTheInnermostMessageWithoutItsFunction)
{
    EXPECT_EQ(platform::LibraryReasonFromBacktrace("libbfio_file_open: unable to open file: /x/p.vhd.\n"
                                                   "libvhdi_file_open: unable to open file: /x/c.vhd.\n"),
              "unable to open file: /x/p.vhd");
    EXPECT_EQ(platform::LibraryReasonFromBacktrace("missing segment file"), "missing segment file");
    EXPECT_EQ(platform::LibraryReasonFromBacktrace(""), "");
}

TEST_F(ImageDir, ParentReferencesAreLookedForBesideTheImage)
{
    const std::string image = (m_dir / "child.vhd").string();
    const fs::path parent = Write("parent.vhd", 512);
    EXPECT_EQ(platform::SiblingFile(image, "C:\\VMs\\Disks\\parent.vhd"), parent.string());
    EXPECT_EQ(platform::SiblingFile(image, "/elsewhere/parent.vhd"), parent.string());
    EXPECT_EQ(platform::SiblingFile(image, parent.string()), parent.string());
    fs::create_directories(m_dir / "base");
    const fs::path nested = Write("base/p2.qcow2", 512);
    EXPECT_EQ(fs::path(platform::SiblingFile(image, "base/p2.qcow2")), nested);
    EXPECT_EQ(platform::SiblingFile(image, ".\\p3.vhd"), (m_dir / "p3.vhd").string());
}

TEST(LibrarySupport, ParentChainsAreBounded)
{
    std::vector<std::string> chain{"a", "b"};
    EXPECT_TRUE(platform::ParentChainGrows(chain, "c"));
    EXPECT_FALSE(platform::ParentChainGrows(chain, "a"));  // a loop
    chain.resize(platform::kMaxParentChain, "x");
    EXPECT_FALSE(platform::ParentChainGrows(chain, "new"));
}

}  // namespace
