// Damaged copies of fixture disk images: a fixture is copied to a private temporary file and the
// copy is patched (sectors zeroed, bytes overwritten, the file cut short). The committed images
// stay untouched; the copy is removed when the DamagedImage goes out of scope.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace testing_support {

inline constexpr std::uint64_t kSectorBytes = 512;

class DamagedImage
{
public:
    // Copies `source` into a new temporary file; Ok() tells whether that worked.
    explicit DamagedImage(const std::filesystem::path& source);
    ~DamagedImage();
    DamagedImage(const DamagedImage&) = delete;
    DamagedImage& operator=(const DamagedImage&) = delete;
    DamagedImage(DamagedImage&& other) noexcept;
    DamagedImage& operator=(DamagedImage&& other) noexcept;

    bool Ok() const noexcept { return !m_path.empty(); }
    const std::filesystem::path& Path() const noexcept { return m_path; }
    std::uint64_t SizeBytes() const;

    // Each returns false when the copy could not be changed as asked (nothing is then guaranteed
    // about the part that was to be changed). Ranges past the end of the image are refused; they
    // never grow the file.
    bool ZeroSectors(std::uint64_t firstSector, std::uint64_t sectorCount);
    bool WriteBytes(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    bool TruncateToSectors(std::uint64_t sectorCount);

    // Empty when the range lies outside the image.
    std::optional<std::vector<std::uint8_t>> ReadBytes(std::uint64_t offset, std::size_t count) const;

private:
    std::filesystem::path m_path;
};

// Where a volume's FILE record lies, from the volume's boot sector: the first sector of record
// `record`, counted along the first run of $MFT (so only for records that lie in it, which holds
// for the system records and the first user records of every fixture). Empty when the boot
// sector is unusable.
std::optional<std::uint64_t> FileRecordSector(const DamagedImage& image, std::uint64_t volumeStartSector,
                                              std::uint64_t record);

// The named damages of tests/data/damage.md.
// The first sector of the volume is zeroed; the copy in the volume's last sector stays.
bool ZeroBootSector(DamagedImage& image, std::uint64_t volumeStartSector);
// The four entries of the master boot record (bytes 446..509 of sector 0) are zeroed; the 0x55 0xAA
// signature and the boot code stay.
bool WipePartitionTable(DamagedImage& image);
// One byte of the primary GPT header's CRC-32 field (sector 1, offset 16) is inverted, so the
// header fails its check and the backup table must be read.
bool BreakGptPrimaryHeader(DamagedImage& image);
// Both GPT headers and their entry arrays are zeroed: sectors 1..33 and the image's last 33
// sectors (where a table of 128 entries of 128 bytes lies). The protective MBR stays.
bool WipeGptTables(DamagedImage& image);
// The last two bytes of the record's first sector no longer equal its update sequence number, so
// the fixup check of that record fails.
bool BreakUpdateSequence(DamagedImage& image, std::uint64_t recordSector);
// The image ends after `sectorCount` sectors.
bool TruncateImage(DamagedImage& image, std::uint64_t sectorCount);

}  // namespace testing_support
