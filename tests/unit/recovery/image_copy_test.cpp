// Copying straight from an image file: which reads may take the kernel copy, and how a short or
// refused copy is completed so the output keeps its exact bytes and holes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "disk/disk_state.h"
#include "platform/file_source.h"
#include "core/sha256.h"
#include "recovery/output_file.h"
#include "support/memory_disk.h"

namespace {

namespace fs = std::filesystem;

class ImageCopyTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("dravik-image-copy-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
        m_bytes.resize(8 * 512);
        for (std::size_t i = 0; i < m_bytes.size(); ++i) {
            m_bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 512);
        }
        std::ofstream(m_dir / "image.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(m_bytes.data()), static_cast<std::streamsize>(m_bytes.size()));
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::vector<std::uint8_t> Contents(const fs::path& path) const
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path m_dir;
    std::vector<std::uint8_t> m_bytes;
};

TEST_F(ImageCopyTest, OnlyWholeRangesInsideARegularImageQualify)
{
    disk::DiskState state;
    auto opened = platform::OpenReadOnly((m_dir / "image.bin").string());
    ASSERT_TRUE(opened.source);
    const int fd = opened.source->Fd();
    state.driveHandle = std::move(opened.source);
    EXPECT_EQ(disk::ImageFileFdFor(state, 0, 8), fd);
    EXPECT_EQ(disk::ImageFileFdFor(state, 7, 1), fd);
    EXPECT_EQ(disk::ImageFileFdFor(state, 7, 2), -1);  // the last sector lies past the end
    EXPECT_EQ(disk::ImageFileFdFor(state, UINT64_MAX / 512, 2), -1);
    EXPECT_EQ(disk::ImageFileFdFor(state, 0, 0), -1);
    state.accessMode = 'F';
    EXPECT_EQ(disk::ImageFileFdFor(state, 0, 1), -1);

    disk::DiskState memory;
    memory.driveHandle = std::make_unique<testing_support::FaultyDisk>(m_bytes);
    EXPECT_EQ(disk::ImageFileFdFor(memory, 0, 1), -1);  // may have unreadable sectors
}

// Into the image's own file system (copy_file_range) and, where /dev/shm is another file system,
// across file systems (copy_file_range refuses, sendfile copies).
TEST_F(ImageCopyTest, ShortCopyAfterAHoleIsCompletedByWrites)
{
    std::vector<fs::path> folders{m_dir};
    struct stat image{};
    struct stat shm{};
    if (::stat(m_dir.c_str(), &image) == 0 && ::stat("/dev/shm", &shm) == 0 && image.st_dev != shm.st_dev) {
        folders.push_back(fs::path("/dev/shm") / ("dravik-image-copy-" + std::to_string(::getpid())));
        fs::create_directories(folders.back());
    }
    for (const fs::path& folder : folders) {
        const int in = ::open((m_dir / "image.bin").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(in, 0);
        recovery::OutputFile out;
        ASSERT_EQ(out.Create(folder / "out.bin", recovery::CreateMode::New), recovery::CreateStatus::Created);
        ASSERT_TRUE(out.Zeros(1000));
        // Asked past the end of the image: only what is there comes across.
        const std::uint64_t copied = out.CopyFrom(in, 3000, 2000);
        EXPECT_EQ(copied, m_bytes.size() - 3000) << folder;
        EXPECT_EQ(out.Position(), 1000 + copied);
        EXPECT_EQ(out.CopyFrom(in, 512, 700), 700u) << folder;  // a second copy, from the middle
        ASSERT_TRUE(out.Write(std::span<const std::uint8_t>(m_bytes).first(100)));
        EXPECT_EQ(out.CopyFrom(-1, 0, 10), 0u);  // a refusal appends nothing and fails nothing
        EXPECT_FALSE(out.Failed());
        ASSERT_TRUE(out.Zeros(50));
        ASSERT_TRUE(out.Close());
        ::close(in);

        std::vector<std::uint8_t> expected(1000, 0);
        expected.insert(expected.end(), m_bytes.begin() + 3000, m_bytes.end());
        expected.insert(expected.end(), m_bytes.begin() + 512, m_bytes.begin() + 1212);
        expected.insert(expected.end(), m_bytes.begin(), m_bytes.begin() + 100);
        expected.resize(expected.size() + 50, 0);
        EXPECT_EQ(Contents(folder / "out.bin"), expected) << folder;
        if (folder != m_dir) {
            fs::remove_all(folder);
        }
    }
}

// While hashing, the kernel copy is refused (the caller then writes the bytes itself), and the
// digest covers holes as zeros, a trailing hole included; each new file starts a new digest.
TEST_F(ImageCopyTest, HashingRefusesTheKernelCopyAndCountsHolesAsZeros)
{
    const int in = ::open((m_dir / "image.bin").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(in, 0);
    recovery::OutputFile out;
    out.SetHashing(true);
    for (int round = 0; round < 2; ++round) {
        const fs::path path = m_dir / ("hashed" + std::to_string(round) + ".bin");
        ASSERT_EQ(out.Create(path, recovery::CreateMode::New), recovery::CreateStatus::Created);
        ASSERT_TRUE(out.Zeros(700));
        EXPECT_EQ(out.CopyFrom(in, 0, 512), 0u);
        ASSERT_TRUE(out.Write(std::span<const std::uint8_t>(m_bytes).first(1500 + static_cast<std::size_t>(round))));
        ASSERT_TRUE(out.Zeros(5000));
        ASSERT_TRUE(out.Close());
        const std::vector<std::uint8_t> written = Contents(path);
        ASSERT_EQ(written.size(), 700u + 1500u + static_cast<unsigned>(round) + 5000u);
        core::Sha256 hash;
        hash.Update(written);
        EXPECT_EQ(out.Digest(), hash.Final()) << round;
    }
    ::close(in);

    recovery::OutputFile plain;
    ASSERT_EQ(plain.Create(m_dir / "plain.bin", recovery::CreateMode::New), recovery::CreateStatus::Created);
    ASSERT_TRUE(plain.Write(std::span<const std::uint8_t>(m_bytes).first(10)));
    ASSERT_TRUE(plain.Close());
    EXPECT_FALSE(plain.Digest().has_value());
}

}  // namespace
