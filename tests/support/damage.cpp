// Damaged copies of fixture disk images.
#include "support/damage.h"

#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <fstream>
#include <string>
#include <system_error>

namespace testing_support {

namespace {

constexpr std::size_t kTableOffset = 446;          // first of the four 16-byte partition entries
constexpr std::size_t kTableBytes = 4 * 16;
constexpr std::size_t kBootBytesPerSector = 11;    // le16
constexpr std::size_t kBootSectorsPerCluster = 13;  // u8
constexpr std::size_t kBootMftCluster = 48;        // le64
constexpr std::size_t kBootClustersPerRecord = 64;  // s8: clusters, or 2^-n bytes when negative
constexpr std::size_t kRecordUsaOffset = 4;        // le16: offset of the update sequence array

std::uint64_t Le(std::span<const std::uint8_t> bytes, std::size_t off, std::size_t width)
{
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;) {
        value = (value << 8) | bytes[off + i];
    }
    return value;
}

}  // namespace

DamagedImage::DamagedImage(const std::filesystem::path& source)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "dravik-damaged-XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        return;
    }
    close(fd);
    std::error_code ec;
    std::filesystem::copy_file(source, pattern, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
        std::filesystem::remove(pattern, ec);
        return;
    }
    m_path = pattern;
}

DamagedImage::~DamagedImage()
{
    if (!m_path.empty()) {
        std::error_code ec;
        std::filesystem::remove(m_path, ec);
    }
}

DamagedImage::DamagedImage(DamagedImage&& other) noexcept : m_path(std::move(other.m_path))
{
    other.m_path.clear();
}

DamagedImage& DamagedImage::operator=(DamagedImage&& other) noexcept
{
    if (this != &other) {
        if (!m_path.empty()) {
            std::error_code ec;
            std::filesystem::remove(m_path, ec);
        }
        m_path = std::move(other.m_path);
        other.m_path.clear();
    }
    return *this;
}

std::uint64_t DamagedImage::SizeBytes() const
{
    std::error_code ec;
    const auto size = Ok() ? std::filesystem::file_size(m_path, ec) : 0;
    return ec ? 0 : size;
}

bool DamagedImage::WriteBytes(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    const std::uint64_t size = SizeBytes();
    if (!Ok() || offset > size || bytes.size() > size - offset) {
        return false;
    }
    std::fstream file(m_path, std::ios::in | std::ios::out | std::ios::binary);
    if (!file) {
        return false;
    }
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.flush();
    return static_cast<bool>(file);
}

bool DamagedImage::ZeroSectors(std::uint64_t firstSector, std::uint64_t sectorCount)
{
    const std::uint64_t sectorsInImage = SizeBytes() / kSectorBytes;
    if (!Ok() || firstSector > sectorsInImage || sectorCount > sectorsInImage - firstSector) {
        return false;
    }
    const std::array<std::uint8_t, kSectorBytes> zeros{};
    for (std::uint64_t s = 0; s < sectorCount; ++s) {
        if (!WriteBytes((firstSector + s) * kSectorBytes, zeros)) {
            return false;
        }
    }
    return true;
}

bool DamagedImage::TruncateToSectors(std::uint64_t sectorCount)
{
    if (!Ok() || sectorCount > SizeBytes() / kSectorBytes) {
        return false;
    }
    std::error_code ec;
    std::filesystem::resize_file(m_path, sectorCount * kSectorBytes, ec);
    return !ec;
}

std::optional<std::vector<std::uint8_t>> DamagedImage::ReadBytes(std::uint64_t offset, std::size_t count) const
{
    const std::uint64_t size = SizeBytes();
    if (!Ok() || offset > size || count > size - offset) {
        return std::nullopt;
    }
    std::ifstream file(m_path, std::ios::binary);
    std::vector<std::uint8_t> bytes(count);
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    if (!file) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::uint64_t> FileRecordSector(const DamagedImage& image, std::uint64_t volumeStartSector,
                                              std::uint64_t record)
{
    const auto boot = image.ReadBytes(volumeStartSector * kSectorBytes, kSectorBytes);
    if (!boot) {
        return std::nullopt;
    }
    const std::uint64_t bytesPerSector = Le(*boot, kBootBytesPerSector, 2);
    const std::uint64_t sectorsPerCluster = Le(*boot, kBootSectorsPerCluster, 1);
    const std::uint64_t mftCluster = Le(*boot, kBootMftCluster, 8);
    const auto perRecord = static_cast<std::int8_t>((*boot)[kBootClustersPerRecord]);
    if (bytesPerSector != kSectorBytes || sectorsPerCluster == 0 || perRecord == 0 || mftCluster > (1ULL << 40)) {
        return std::nullopt;
    }
    std::uint64_t recordBytes = 0;
    if (perRecord < 0) {
        if (perRecord < -31) {
            return std::nullopt;
        }
        recordBytes = 1ULL << static_cast<unsigned>(-perRecord);
    } else {
        recordBytes = static_cast<std::uint64_t>(perRecord) * sectorsPerCluster * kSectorBytes;
    }
    if (recordBytes < kSectorBytes || record > (1ULL << 32)) {
        return std::nullopt;
    }
    return volumeStartSector + mftCluster * sectorsPerCluster + record * (recordBytes / kSectorBytes);
}

bool ZeroBootSector(DamagedImage& image, std::uint64_t volumeStartSector)
{
    return image.ZeroSectors(volumeStartSector, 1);
}

bool WipePartitionTable(DamagedImage& image)
{
    const std::array<std::uint8_t, kTableBytes> zeros{};
    return image.WriteBytes(kTableOffset, zeros);
}

bool BreakGptPrimaryHeader(DamagedImage& image)
{
    constexpr std::uint64_t kHeaderCrcOffset = kSectorBytes + 16;
    const auto crc = image.ReadBytes(kHeaderCrcOffset, 1);
    if (!crc) {
        return false;
    }
    const std::array<std::uint8_t, 1> flipped{static_cast<std::uint8_t>(~(*crc)[0])};
    return image.WriteBytes(kHeaderCrcOffset, flipped);
}

bool WipeGptTables(DamagedImage& image)
{
    constexpr std::uint64_t kTableSectors = 33;  // header and 32 sectors of entries
    const std::uint64_t sectors = image.SizeBytes() / kSectorBytes;
    return sectors > 2 * kTableSectors && image.ZeroSectors(1, kTableSectors) &&
           image.ZeroSectors(sectors - kTableSectors, kTableSectors);
}

bool BreakUpdateSequence(DamagedImage& image, std::uint64_t recordSector)
{
    const auto sector = image.ReadBytes(recordSector * kSectorBytes, kSectorBytes);
    if (!sector) {
        return false;
    }
    const std::uint64_t usaOffset = Le(*sector, kRecordUsaOffset, 2);
    if (usaOffset + 2 > kSectorBytes - 2) {
        return false;
    }
    // The sector's last two bytes become the complement of the update sequence number.
    const std::array<std::uint8_t, 2> broken{static_cast<std::uint8_t>(~(*sector)[usaOffset]),
                                             static_cast<std::uint8_t>(~(*sector)[usaOffset + 1])};
    return image.WriteBytes(recordSector * kSectorBytes + kSectorBytes - 2, broken);
}

bool TruncateImage(DamagedImage& image, std::uint64_t sectorCount)
{
    return image.TruncateToSectors(sectorCount);
}

}  // namespace testing_support
