// Where the unpacked fixture disk images and their expected outputs live.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// Directory the fixture archives were unpacked into.
std::filesystem::path FixtureDir();
// A fixture image by file name; the test is skipped with a message when it is absent.
std::filesystem::path FixturePath(const std::string& name);
// The committed tests/data directory (manifests, oracle listings, golden outputs).
std::filesystem::path DataDir();
// An empty folder for the running test: PREFIX-<pid>-<test name> in the temporary directory,
// removed first when a run before left it.
std::filesystem::path FreshTestFolder(const std::string& prefix);

// An NTFS volume of a fixture image: its partition number and where it lies.
struct FixtureVolume
{
    const char* image;
    unsigned part;
    std::uint64_t start;    // first sector
    std::uint32_t sectors;  // length in sectors
};

// Every NTFS volume of the fixture images, as the partition tables give them.
inline constexpr std::array<FixtureVolume, 10> kNtfsFixtureVolumes{{
    {"ntfs_basic.img", 1, 2048, 49152},
    {"multi_part.img", 1, 63, 16002},
    {"multi_part.img", 3, 96453, 16002},
    {"multi_part.img", 4, 112518, 16002},
    {"mft_runs.img", 1, 2048, 32768},
    {"reformatted.img", 1, 2048, 49152},
    {"compressed.img", 1, 2048, 32768},
    {"unicode.img", 1, 2048, 16384},
    {"gpt.img", 3, 6144, 12288},
    {"gpt.img", 4, 18432, 12288},
}};

// A test-name suffix for a volume: "ntfs_basic_p1".
// The rows of tests/data/<stem>.manifest.tsv below its header, each split at its tabs (columns as
// tests/data/MANIFEST.md lists them: part, start, type, path, size, sha256, deleted, state, record,
// names).
std::vector<std::vector<std::string>> ManifestRows(const std::string& stem);

inline std::string VolumeTestName(const FixtureVolume& v)
{
    return std::filesystem::path(v.image).stem().string() + "_p" + std::to_string(v.part);
}

// The 3 TiB GPT disk whose NTFS partition starts beyond sector 2^32, assembled as a sparse file
// from its committed parts (the partition image and the sectors of both tables).
inline constexpr std::uint64_t kBigGptSectors = 6442450944;      // 3 TiB
inline constexpr std::uint64_t kBigGptPartStart = 4294969344;    // 2^32 + 2048
inline constexpr std::uint64_t kBigGptPartSectors = 32768;
// Writes the disk to `path` (sparse: a few MB on disk). False when a part is missing or the file
// system cannot hold a sparse file of 3 TiB.
bool AssembleBigGptDisk(const std::filesystem::path& path);

}  // namespace testing_support
