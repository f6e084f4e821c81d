// The Standard Scan: the volume parameters from the boot sector (or its copy), the table of the
// $MFT's data runs, the walk over every FILE record into the catalog, and the closing orphan
// pass, folder tree and root listing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/progress.h"
#include "core/types.h"
#include "disk/disk_state.h"
#include "catalog/catalog.h"
#include "ntfs/file_record.h"
#include "ntfs/folder_tree.h"
#include "ntfs/listing.h"
#include "catalog/volume_params.h"

namespace ntfs {

// Rows of the information panel while the scan runs (label set 2).
inline constexpr int kPanelRowFolders = 1;        // "Folder(s) Found    "
inline constexpr int kPanelRowFiles = 2;          // "File(s) Found      "
inline constexpr int kPanelRowCurrentSector = 3;  // "Current Sector       "
inline constexpr int kPanelRowLastName = 4;       // "Last File/Folder       "

// Reads the partition's boot sector at scanStartSector (or its copy at scanEndSector), checks
// the cluster size and confirms $MFT and $MFTMirr by the "FILE" signature of the sector each
// boot sector points at. On success fills the NTFS fields of `params`: type 300,
// sectorsPerCluster, clusterBase (= scanStartSector), mftSector and mftMirrSector (absolute
// sectors, 0 for the one not confirmed), sectorsPerFileRecord 2 and indexRecordSectors. Returns
// false, leaving `params` untouched, when neither boot sector carries the signature, neither has
// a valid cluster size, or neither $MFT nor $MFTMirr is confirmed.
bool ComputeNtfsParameters(disk::DiskState& disk, const catalog::ScanTarget& target, catalog::VolumeParams& params);

// The absolute sector a signed sector field of VolumeParams stands for; 0 (unconfirmed) for a
// negative value.
constexpr core::Sector MftSectorOf(std::int64_t field) noexcept
{
    return field < 0 ? 0 : static_cast<core::Sector>(field);
}

// The data runs of the $MFT in absolute sectors. A run whose runStart is 0 is sparse: it counts
// for record numbering but holds nothing on disk. Holds at most kMaxRuns runs (the count of the
// on-disk structure it stands for is a 16-bit signed value); storage grows 1024 runs at a time.
class MftRunTable
{
public:
    static constexpr std::size_t kGrowthStep = 1024;
    static constexpr std::size_t kMaxRuns = 32767;

    void Clear() noexcept;
    // Appends a run of `length` sectors at `start` (0: sparse). False, storing nothing, when the
    // table is full.
    bool Append(core::Sector start, std::uint32_t length);

    std::size_t Count() const noexcept { return m_runStart.size(); }
    core::Sector RunStart(std::size_t i) const noexcept { return m_runStart[i]; }
    std::uint32_t RunLength(std::size_t i) const noexcept { return m_runLength[i]; }
    // Sum of all run lengths, in sectors.
    std::uint64_t TotalSectors() const noexcept { return m_runEnd.empty() ? 0 : m_runEnd.back(); }
    // Sectors of the runs before run i.
    std::uint64_t SectorsBefore(std::size_t i) const noexcept { return i == 0 ? 0 : m_runEnd[i - 1]; }

    // The absolute sector where record `record` starts: with o = 2 * record sectors into the
    // $MFT's data, the run holding offset o, its runStart plus o minus the lengths of the runs
    // before it. 0 when o lies beyond the last run or inside a sparse run.
    core::Sector RecordToSector(std::uint32_t record) const noexcept;
    // The same for any sector offset into the $MFT's data.
    core::Sector OffsetToSector(std::uint64_t offset) const noexcept;

    std::size_t MemoryBytes() const noexcept;

private:
    std::vector<core::Sector> m_runStart;
    std::vector<std::uint32_t> m_runLength;
    std::vector<std::uint64_t> m_runEnd;  // prefix sums of m_runLength: sectors up to the end of run i
};

enum class RunTableOutcome
{
    Complete,              // every run of record 0 (or of its extension records) is in the table
    NoRecord5,             // record 5 lacks the "FILE" signature: the table stays empty
    NoRecord0,             // record 0 lacks the "FILE" signature: the table stays empty
    NoDataAttribute,       // record 0 has no unnamed non-resident $DATA: the table stays empty
    ExtensionRecordMissing,  // an extension record lacked "FILE": the runs decoded before it stay
    RunsCut,               // a run list ended early (damaged, a field wider than 4 bytes, or a run
                           // beyond the last addressable sector); the runs before it stay
    TableFull,             // kMaxRuns reached; the runs decoded so far stay
};

// Most runs of a non-resident $ATTRIBUTE_LIST that are read, and most bytes of its value.
inline constexpr std::size_t kMaxAttributeListRuns = 300;
inline constexpr std::size_t kMaxAttributeListBytes = 256 * 1024;
// Most $DATA extension records of record 0 that are followed.
inline constexpr std::size_t kMaxMftDataExtensions = 96;

// Fills `table` with the runs of the $MFT's unnamed $DATA: checks record 5 (at mftSector + 10),
// reads record 0 (fixed up over both sectors), decodes its runs, and when its $ATTRIBUTE_LIST
// (resident, or read from its clusters) names $DATA extents in other records, rebuilds the table
// from those records in list order, the first at mftSector + 2 * number, the later ones located
// through the runs decoded so far. runStart = clusterBase + sectorsPerCluster * LCN; a sparse run
// gets runStart 0. A run list ends at the first run whose length or offset field is wider than
// 4 bytes, or whose sectors do not fit 32-bit sector numbers. The runs are then confined to the
// volume, clusterBase .. lastSector (ConfineMftRuns).
RunTableOutcome BuildMftRunTable(disk::DiskState& disk, core::Sector clusterBase, core::Sector mftSector,
                                 std::uint32_t sectorsPerCluster, MftRunTable& table,
                                 core::Sector lastSector = core::kLastSector);

// Makes a decoded run table safe to walk: a run, or the part of one, that lies outside the
// volume (firstSector .. lastSector) or on sectors an earlier run already holds becomes sparse,
// so that its records keep their numbers but nothing outside the volume is read and no sector is
// read as two records; the table numbers no more sectors than the volume has. True when anything
// was changed.
bool ConfineMftRuns(MftRunTable& table, core::Sector firstSector, core::Sector lastSector);

// The last sector the $MFT of the catalog's volume may lie on: the volume's end when known, else
// the scanned range's, never past the end of the disk.
core::Sector MftLastSector(const disk::DiskState& disk, const catalog::Catalog& catalog) noexcept;

// Reads record `number` of the $MFT that `table` maps (its two sectors, wherever each lies) into
// `record` (1024 bytes) and applies the fixup. False when it maps to no sector or lacks "FILE".
bool ReadMftRecord(disk::DiskState& disk, const MftRunTable& table, std::uint32_t number,
                   std::span<std::uint8_t> record);

// What the walk makes of one record.
struct RecordListing
{
    std::vector<std::uint32_t> extensions;    // the record itself, then those its attribute list names
    std::optional<FileNameInfo> name;         // none: the walk lists nothing
    std::uint64_t size = 0;                   // of a file: its unnamed $DATA
    core::Sector dataRecordSector = 0;        // of a file: the record holding that $DATA
};

// The walk's steps for record `number`, read at `sector` and fixed up, on their own: its
// extension records gathered, read through `table`, and searched for the name and the data as
// the walk searches them. Whether it becomes a folder or a file, and a deleted one, the caller
// tells from the flags byte as the walk does; an extension record (IsExtensionRecord) the walk
// does not list at all.
RecordListing ListRecordAsTheWalk(disk::DiskState& disk, const catalog::VolumeParams& params, const MftRunTable& table,
                                  std::uint32_t number, RecordBytes record, core::Sector sector);

enum class StandardScanOutcome
{
    Completed,                // the walk went through every run; tree built, root listed
    Stopped,                  // the stop flag ended the walk; what was found is kept, tree built
    ParametersFailed,         // no usable boot sector / cluster size / $MFT: catalog untouched
    ParametersFailedStopped,  // the same while a stop was requested
};

struct StandardScanOptions
{
    // Sectors per read along the $MFT's runs (clipped to the run; at least 2). The catalog does
    // not depend on it: 2 reads record by record.
    std::uint32_t readSectors = 2048;
    // How the root listing admits files and names their types (the shell's filters and file-type
    // lookup); empty functions admit every file and give an empty type.
    NameAdmitter admit;
    TypeDescriber describe;
};

struct StandardScanResult
{
    StandardScanOutcome outcome = StandardScanOutcome::ParametersFailed;
    RunTableOutcome runTable = RunTableOutcome::NoRecord5;
    std::uint64_t recordsRead = 0;     // FILE-record slots examined along the runs
    std::uint32_t placeholders = 0;    // "Dir<n>" folders the orphan pass added
    std::vector<ListRow> rootRows;     // the listing of the root (record 5) after the tree build
};

// The whole Standard Scan of the partition in catalog.scanTarget. Computes the parameters into
// catalog.volumeParams; on failure shows "Calculating partition parameters", clears the status
// and returns ParametersFailed (or ParametersFailedStopped when catalog.scanStopFlag was set).
// Otherwise clears the NTFS lists, builds `runTable`, and walks every 1024-byte slot of every run
// in order, numbering records by position (the k-th slot is record k; a run's odd last sector is
// not read). An extension record (base-record reference not 0) is a part of another file and adds
// nothing, though it keeps its number. Every other record that yields a name becomes a folder
// (flags byte 2 or 3; deleted when 2; the root "." excepted) or a file (any other flags byte;
// deleted when 0) with the size and dataRecordSector of the first of its records holding the
// unnamed $DATA; a deleted file is rated against the volume's cluster bitmap (record 6, read
// piece by piece as deleted files need it). The name is chosen over the base record and the extension records its attribute
// list names for $FILE_NAME, by namespace first: Win32, then Win32+DOS, then DOS, then POSIX; its
// parent and times come from the same $FILE_NAME.
// The stop flag is polled before every run and every record. Afterwards (finished or stopped):
// the orphan pass (placeholders numbered from 0, files included), the folder tree under
// `tree`'s root from record 5, and the listing of the root. Reports the counters, the current
// sector and the last name in panel rows 1-4, "Reading Sector n Of total" and progress 0..99.
// catalog.scanStopFlag is clear when this returns. Throws std::bad_alloc when memory runs out.
StandardScanResult StandardScan(disk::DiskState& disk, catalog::Catalog& catalog, MftRunTable& runTable,
                                FolderTree& tree, core::ProgressSink& sink, const StandardScanOptions& options = {});

}  // namespace ntfs
