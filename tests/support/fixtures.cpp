// Where the fixture disk images live.
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace testing_support {

std::filesystem::path FixtureDir() { return DRAVIK_FIXTURE_DIR; }

std::filesystem::path FixturePath(const std::string& name) { return FixtureDir() / name; }

std::filesystem::path DataDir() { return std::filesystem::path(DRAVIK_SOURCE_DIR) / "tests" / "data"; }

std::vector<std::vector<std::string>> ManifestRows(const std::string& stem)
{
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(DataDir() / (stem + ".manifest.tsv"));
    std::string line;
    std::getline(in, line);  // the header
    while (std::getline(in, line)) {
        std::vector<std::string>& cells = rows.emplace_back();
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');) {
            cells.push_back(cell);
        }
    }
    return rows;
}

namespace {

// Copies the whole file `part` into `fd` at byte `offset`, skipping blocks of zeros so that the
// image stays sparse.
bool PutPart(int fd, const std::filesystem::path& part, std::uint64_t offset)
{
    std::ifstream in(part, std::ios::binary);
    if (!in) {
        return false;
    }
    std::vector<char> block(64 * 1024);
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0) {
            break;
        }
        const bool zeros = std::all_of(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(got),
                                       [](char c) { return c == 0; });
        if (!zeros && ::pwrite(fd, block.data(), got, static_cast<off_t>(offset)) != static_cast<ssize_t>(got)) {
            return false;
        }
        offset += got;
    }
    return true;
}

}  // namespace

bool AssembleBigGptDisk(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::ftruncate(fd, static_cast<off_t>(kBigGptSectors * 512)) == 0 &&
                    PutPart(fd, FixtureDir() / "big_gpt.head.bin", 0) &&
                    PutPart(fd, FixtureDir() / "big_gpt.part.img", kBigGptPartStart * 512) &&
                    PutPart(fd, FixtureDir() / "big_gpt.tail.bin", (kBigGptSectors - 33) * 512);
    ::close(fd);
    return ok;
}

std::filesystem::path FreshTestFolder(const std::string& prefix)
{
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(::getpid()) + "-" + test);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace testing_support
