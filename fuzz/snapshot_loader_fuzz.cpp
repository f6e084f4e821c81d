// Fuzz target for the snapshot loader: any bytes either load, or are refused leaving the catalog
// exactly as it was. A loaded NTFS or body-less file writes back to the same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "core/types.h"
#include "ntfs/catalog.h"
#include "snapshot/snapshot_codec.h"
#include "snapshot/snapshot_file.h"
#include "snapshot/snapshot_layout.h"

namespace {

void Fill(ntfs::Catalog& c)
{
    c.scanTarget = {core::kFsNtfs, 63, 1000, 1062, 1};
    c.volumeParams.type = core::kFsNtfs;
    c.volumeParams.rootDirStart = 17;
    c.volumeParams.clusterBase = 63;
    c.selectedFileSystem = 2;
    c.AddNtfsFolder({"DOCS", 40, 5, 1, 2, 7, 0, 0});
    c.AddNtfsFile({"a.txt", 50, 40, 3, 4, 5, 0, 100});
    ++c.fileCount;
    c.AddFatFolder({"FAT", 3, 0, 1, 2, 8, 1, 0});
    c.AddFatFile({"B.TXT", 9, 3, 1, 2, 6, 0, 0});
    ++c.fileCount;
}

std::string Fingerprint(const ntfs::Catalog& c)
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    ntfs::Catalog catalog;
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
    if (type != core::kFsFat16 && type != core::kFsFat32) {
        const auto tail = bytes.subspan(snapshot::kScanTypeOffset);
        if (again.size() != size || !std::equal(tail.begin(), tail.end(), again.begin() + snapshot::kScanTypeOffset)) {
            std::abort();
        }
    }
    return 0;
}
