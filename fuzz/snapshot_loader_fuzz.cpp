// Fuzz target for the snapshot loader, both versions: any bytes either load, or are refused leaving
// the catalog exactly as it was. A loaded NTFS or body-less file writes back to the same bytes when
// the writer picks the version it was read in, and to bytes that load to the same catalog always.
// For inputs of even size that claim version 2.0 the CRC-32 at the end is set right first, so the
// fuzzer reaches the records behind it; odd sizes keep the checksum test in play.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "core/types.h"
#include "catalog/catalog.h"
#include "snapshot/snapshot_codec.h"
#include "snapshot/snapshot_file.h"
#include "snapshot/snapshot_layout.h"

namespace {

void Fill(catalog::Catalog& c)
{
    c.scanTarget = {core::kFsNtfs, 63, 1000, 1062, 1};
    c.volumeParams.type = core::kFsNtfs;
    c.volumeParams.rootDirStart = 17;
    c.volumeParams.clusterBase = 63;
    c.selectedFileSystem = 2;
    c.AddNtfsFolder({"DOCS", 40, 5, 1, 2, 7, 0, 0});
    c.AddNtfsFile({.name = "a.txt", .record = 50, .parent = 40, .created = 3, .changed = 4, .size = 5,
                   .dataRecordSector = 100});
    ++c.fileCount;
    c.AddFatFolder({"FAT", 3, 0, 1, 2, 8, 1, 0});
    c.AddFatFile({"B.TXT", 9, 3, 1, 2, 6, 0, 0});
    ++c.fileCount;
}

std::string Fingerprint(const catalog::Catalog& c)
{
    std::string s;
    const auto add = [&s](std::uint64_t v) { s += std::to_string(v) + ','; };
    add(static_cast<std::uint16_t>(c.scanTarget.scanType));
    add(c.scanTarget.scanStartSector);
    add(c.scanTarget.scanSectorCount);
    add(c.scanTarget.scanEndSector);
    add(c.scanTarget.scanPartitionTag);
    add(static_cast<std::uint16_t>(c.volumeParams.type));
    add(c.volumeParams.rootDirStart);
    add(c.volumeParams.clusterBase);
    add(c.volumeParams.endSector);
    add(static_cast<std::uint16_t>(c.selectedFileSystem));
    add(c.folderCount);
    add(c.fileCount);
    for (const auto& e : c.NtfsFolders()) {
        s += e.name + ',';
        add(e.record);
        add(e.treeItem);
    }
    for (const auto& e : c.NtfsFiles()) {
        s += e.name + ',';
        add(e.size);
    }
    for (const auto& e : c.FatFolders()) {
        s += e.name + ',';
        add(e.cluster);
    }
    for (const auto& e : c.FatFiles()) {
        s += e.name + ',';
        add(e.serial);
    }
    return s;
}

std::uint32_t Crc32(std::span<const std::uint8_t> bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) {
            crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        }
    }
    return ~crc;
}

bool ClaimsVersion2(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= snapshot::kV2HeaderSize + snapshot::kV2ChecksumSize &&
           std::equal(snapshot::kVersion2.begin(), snapshot::kVersion2.end(), bytes.begin() + snapshot::kVersionOffset);
}

// The first 2.0 files held an $MFT or $MFTMirr sector of 2^31 .. 2^32 - 1 sign-extended; the
// writer puts the sector itself. The expected bytes take that one rewrite.
std::vector<std::uint8_t> AsWrittenNow(std::span<const std::uint8_t> bytes)
{
    std::vector<std::uint8_t> out(bytes.begin(), bytes.end());
    for (const std::size_t at : {snapshot::kV2MftSectorOffset, snapshot::kV2MftMirrSectorOffset}) {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < 8; ++i) {
            v |= std::uint64_t{out[at + i]} << (8 * i);
        }
        if (v >= 0xFFFFFFFF80000000u) {
            for (std::size_t i = 4; i < 8; ++i) {
                out[at + i] = 0;
            }
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> input(data, data + size);
    if (size % 2 == 0 && ClaimsVersion2(input)) {
        const std::uint32_t crc = Crc32(std::span(input).first(size - 4));
        for (std::size_t i = 0; i < 4; ++i) {
            input[size - 4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
        }
    }
    const std::span<const std::uint8_t> bytes(input);
    catalog::Catalog catalog;
    Fill(catalog);
    const std::string before = Fingerprint(catalog);

    const snapshot::LoadResult r = snapshot::LoadSnapshotBytes(bytes, catalog);
    if (r.outcome != snapshot::LoadOutcome::Loaded) {
        if (r.message.empty() || Fingerprint(catalog) != before) {
            std::abort();  // a refused load must say why and change nothing
        }
        return 0;
    }
    if (catalog.volumeParams.rootDirStart != 17) {
        std::abort();
    }
    std::vector<std::uint8_t> again;
    if (snapshot::SerializeSnapshot(catalog, again) != snapshot::SerializeOutcome::Serialized) {
        std::abort();  // the loader accepted a name the writer refuses
    }
    // FAT files get new serials and repeated FAT clusters are dropped; everything else is kept
    // byte for byte (the tag may have been read in another case).
    const core::FsTypeCode type = catalog.volumeParams.type;
    if (type == core::kFsFat16 || type == core::kFsFat32) {
        return 0;
    }
    if (ClaimsVersion2(bytes) == ClaimsVersion2(again)) {
        // The 2.0 checksum covers the tag, so it differs when the tag was read in another case.
        const std::size_t checksum = ClaimsVersion2(bytes) ? snapshot::kV2ChecksumSize : 0;
        const std::vector<std::uint8_t> expected = ClaimsVersion2(bytes) ? AsWrittenNow(bytes) : input;
        const auto tail = std::span<const std::uint8_t>(expected).subspan(
            snapshot::kScanTypeOffset, size - snapshot::kScanTypeOffset - checksum);
        if (again.size() != size || !std::equal(tail.begin(), tail.end(), again.begin() + snapshot::kScanTypeOffset)) {
            std::abort();
        }
        return 0;
    }
    // A 2.0 file whose names are all Latin-1 is written back in the classic format: it must load
    // to the same catalog.
    catalog::Catalog reloaded;
    if (snapshot::LoadSnapshotBytes(again, reloaded).outcome != snapshot::LoadOutcome::Loaded) {
        std::abort();
    }
    reloaded.volumeParams.rootDirStart = catalog.volumeParams.rootDirStart;
    if (Fingerprint(reloaded) != Fingerprint(catalog)) {
        std::abort();
    }
    return 0;
}
