// File extraction: copying one catalog entry's data out of the disk into an output file —
// ExtractNtfsFile over the FILE record's unnamed $DATA (resident bytes or clusters, every piece
// of a $DATA split over several records), ExtractFatFile over the FAT chain — with the batch
// admission (filters, deleted policy, duplicate policy), Stop and Skip, and progress.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/progress.h"
#include "core/types.h"
#include "disk/disk_state.h"
#include "ntfs/listing.h"
#include "ntfs/standard_scan.h"
#include "catalog/volume_params.h"
#include "recovery/compression_units.h"
#include "recovery/ntfs_data_map.h"
#include "recovery/output_file.h"
#include "recovery/recovery_settings.h"

namespace recovery {

// Shared by the copying worker and the progress dialog (or Ctrl-C): the dialog's buttons set the
// flags, the worker polls them before every file and at least every kMaxReadSectors sectors.
struct RecoveryState
{
    std::atomic<bool> stopRequested{false};   // "&Stop Saving", or "&No" to "Continue Recovery ?"
    std::atomic<bool> skipRequested{false};   // "S&kip File": ends the current file only
    std::atomic<std::uint32_t> filesSaved{0};  // files saved in batch mode ("Total Files")
};

// Rows of the save-progress dialog, shown through ProgressSink::PanelValue.
inline constexpr int kSaveRowPath = 1;        // "Path": the output location
inline constexpr int kSaveRowFileName = 2;    // "File Name": the name being written
inline constexpr int kSaveRowTotalFiles = 3;  // "Total Files": files saved so far

// Largest read of contiguous clusters, in sectors (1 MiB).
inline constexpr std::uint32_t kMaxReadSectors = 2048;

// What ExtractNtfsFile needs of an NtfsFileEntry or a FoundFileRecord.
// A file as the catalog knows it: its record number, and the parent and creation time of the
// $FILE_NAME that gave its name.
struct RecordIdentity
{
    std::uint32_t record = 0;
    std::uint32_t parent = 0;
    std::uint64_t created = 0;
};

struct NtfsExtractRequest
{
    std::filesystem::path destinationFolder;  // must exist
    std::string name;                         // catalog name (UTF-8)
    std::uint64_t size = 0;                   // bytes, as the catalog holds it
    core::Sector recordSector = 0;            // absolute sector of the FILE record holding the $DATA
    int batchMode = 0;                        // 1 batch (policies, filters, progress), 0 view
    int deleted = 0;
    bool nameIsFree = false;                  // the caller knows the folder holds nothing of this name
    // Who the file is by the catalog, when the record at recordSector must still be that file's
    // (a catalog from a snapshot may be older than the disk): checked before its runs are used.
    std::optional<RecordIdentity> expected;
};

// What ExtractFatFile needs of a FatFileEntry.
struct FatExtractRequest
{
    std::filesystem::path destinationFolder;
    std::uint32_t entryKey = 0;               // the entry's serial (carried only)
    int batchMode = 0;
    std::uint32_t firstCluster = 0;
    std::uint32_t size = 0;                   // bytes
    std::string name;                         // catalog name (UTF-8)
    int deleted = 0;
    bool nameIsFree = false;                  // the caller knows the folder holds nothing of this name
};

enum class ExtractOutcome
{
    Written,              // the whole file was written (see unreadableSectors and incomplete)
    CutByStop,            // Stop ended the copy; the file keeps the bytes written so far (batch mode:
                          // as "NAME.partial", see ExtractResult::partial)
    CutBySkip,            // Skip ended the copy; likewise
    NotStarted,           // Stop was already set: nothing created
    EmptyFile,            // NTFS entry of size 0: no output file
    FilteredOut,          // no filter pattern admits the name
    ExcludedDeleted,      // the deleted-file policy passes over the entry
    DuplicateSkipped,     // the file exists and the policy is Skip
    NoDataAttribute,      // no usable unnamed $DATA in the record
    ResidentTooLarge,     // the resident content is shorter than the size
    NoDecodableRun,       // non-resident $DATA with no run to copy
    CreateFailed,         // the output file (or a free rename candidate) could not be made
    WriteFailed,          // a write to the output file failed (the destination is full, ...); batch
                          // mode keeps what was written as "NAME.partial"
    NotReached,           // a batch was to take the file but its walk of the folders never came to it
    RecordNotFile,        // the FILE record the catalog names no longer carries "FILE"
    RecordTorn,           // ... its update sequence does not match: a torn or overwritten record
    RecordOfOtherFile,    // ... its record number, base record, parent or creation time is another file's
};

// Whether `record`, a FILE record just read and not yet fixed up, still holds the file the
// catalog knows as `expected`: it must carry "FILE", its update sequence must match (it is fixed
// up in place), its own number (NTFS 3.1 records, when set) must be the file's, or for an
// extension record its base record, and a base record without an attribute list that names a
// file must name it with the parent and creation time the catalog holds. (Not the name itself:
// the browse step lets the user rename an entry.) Empty when it holds the file, else the failure.
std::optional<ExtractOutcome> CheckRecordOfFile(std::span<std::uint8_t> record, const RecordIdentity& expected);

struct ExtractResult
{
    ExtractOutcome outcome = ExtractOutcome::NoDataAttribute;
    // The design's result: 1 when the output file was handled (written, or cut by Stop/Skip),
    // 0 when nothing was written.
    int result = 0;
    std::filesystem::path path;        // the output path (after renaming); empty before it is formed
    std::string name;                  // the output name (UTF-8)
    bool renamed = false;              // written under "Copy (n ) of name"
    // Cut short by Stop or Skip, or a write failed: the bytes written so far were set aside under
    // "NAME.partial" (name and path say which), never left under the name a whole file would have.
    bool partial = false;
    std::uint64_t bytesWritten = 0;    // the output file's length
    std::uint64_t unreadableSectors = 0;  // sectors that stayed unreadable and were written as zeros
    bool incomplete = false;           // some of the file's clusters could not be located (written as zeros)
    // With ExtractionContext::hashOutput: the SHA-256 of the bytes written, computed while writing;
    // empty when nothing was written or a write failed.
    std::optional<core::Sha256::Digest> sha256;
};

// The "Error creating file : " path ".  Continue Recovery ? " question: true for "&Yes".
using ContinueQuestion = std::function<bool(std::string_view message)>;

// The volume being copied from and how batch files are admitted.
struct ExtractionContext
{
    catalog::VolumeParams volume;              // type, sectorsPerCluster, clusterBase, fat1Start, fat2Start
    core::Sector lastSector = 0;            // last sector of the volume (inclusive); 0 unknown
    const ntfs::MftRunTable* mftMap = nullptr;  // the $MFT's map; nullptr when unknown (found files)
    RecoverySettings settings;              // duplicate and deleted policies (batch mode)
    ntfs::NameAdmitter admit;               // the file filters (batch mode); empty admits all
    ContinueQuestion askContinue;           // empty answers "&Yes"
    core::ProgressSink* sink = nullptr;     // the save-progress dialog (batch mode); nullptr shows nothing
    // Hash every output file while writing it (ExtractResult::sha256). Image sources are then
    // copied through user space instead of inside the kernel.
    bool hashOutput = false;
};

class Extractor
{
public:
    Extractor(disk::DiskState& disk, RecoveryState& state, ExtractionContext context);

    ExtractionContext& Context() noexcept { return m_context; }
    disk::DiskState& Disk() noexcept { return m_disk; }
    RecoveryState& State() noexcept { return m_state; }

    // Copies an NTFS entry. Size 0 writes nothing. The record at recordSector is read and fixed up;
    // resident content is written as is, clusters are read in requests of up to kMaxReadSectors
    // (sparse runs and bytes past the initialized size written as zeros without reading, unreadable
    // sectors as zeros), and the file gets exactly `size` bytes. Compressed data is decoded unit by
    // unit; a unit that cannot be decoded or located is written as zeros and the file marked
    // incomplete. In batch mode the admission
    // steps apply first and filesSaved rises for every file handled.
    ExtractResult ExtractNtfsFile(const NtfsExtractRequest& request);

    // Copies a FAT entry along its chain in FAT #1, else FAT #2, else from contiguous clusters.
    ExtractResult ExtractFatFile(const FatExtractRequest& request);

    // The chain from `firstCluster` in the FAT at `fatStart` (0: no FAT, the chain is the first
    // cluster alone), at most n + 1 clusters; ended by an end or free value, a value whose
    // cluster lies outside the volume, a read that failed, or either flag.
    std::vector<std::uint32_t> WalkFatChain(std::uint32_t firstCluster, std::uint32_t n, core::Sector fatStart);

    // How many names the rename policy has looked at so far ("Copy (n ) of" candidates checked or
    // tried): one or two per renamed file, however many copies of the name the folder holds.
    std::uint64_t CopyNameProbes() const noexcept { return m_copyNameProbes; }

private:
    bool Admit(std::string_view catalogName, int deleted, int batchMode, const std::filesystem::path& folder,
               bool nameIsFree, ExtractResult& result);
    // Makes the output file at result.path: in batch mode never over an existing file unless the
    // policy is Overwrite, a name found taken only now getting the duplicate policy (Skip, or the
    // next free "Copy (n ) of" name); in view mode replacing an earlier copy, mode 0600. False
    // when nothing is to be written (the outcome says why).
    bool CreateOutput(ExtractResult& result, int batchMode);
    // The "Error creating file" question; false.
    bool CreateFailed(ExtractResult& result);
    // Batch mode: a file that could not be written whole (cut short, or a write failed) leaves
    // its name for "NAME.partial" (see PartialName); it keeps its name when no such name can be made.
    void SetAsidePartial(ExtractResult& result);
    void ShowFile(const ExtractResult& result);
    void CopyPieces(const std::vector<DataPiece>& pieces, std::uint64_t size, std::uint64_t initializedSize,
                    int batchMode, ExtractResult& result);
    void CopyCompressed(const DataMap& map, std::uint64_t size, int batchMode, ExtractResult& result);
    std::span<const std::uint8_t> UnitClusters(const UnitExtent& extent, std::span<const DataPiece> pieces,
                                               ExtractResult& result);
    // The rename policy's search for a free "Copy (n ) of" name goes on, per folder and name,
    // from where the last one ended, so a folder that gets thousands of files of one name costs
    // one or two checks per file rather than one per earlier copy.
    static std::string CopyKey(const std::filesystem::path& folder, std::string_view base);
    std::uint64_t FirstCopyToTry(const std::filesystem::path& folder, std::string_view base);
    void CopyFound(const std::filesystem::path& folder, std::string_view base, std::uint64_t n);
    bool FlushStage();
    bool CutRequested(ExtractResult& result) const;
    void Progress(std::uint64_t written, std::uint64_t size, int batchMode);
    ClusterGeometry Geometry() const noexcept;

    disk::DiskState& m_disk;
    RecoveryState& m_state;
    ExtractionContext m_context;
    OutputFile m_out;
    std::string m_outputBase;   // the current file's output name before any renaming
    std::unordered_map<std::string, std::uint64_t> m_nextCopy;  // CopyKey -> next n to try
    std::uint64_t m_copyNameProbes = 0;
    std::vector<std::uint8_t> m_buffer;
    // Compressed data: m_buffer holds clusters [m_windowLcn, m_windowLcn + m_windowClusters);
    // m_unit gathers the clusters of one unit, m_stage the decoded bytes not yet written.
    std::uint64_t m_windowLcn = 0;
    std::uint64_t m_windowClusters = 0;
    std::vector<std::uint8_t> m_unit;
    std::vector<std::uint8_t> m_stage;
    std::size_t m_staged = 0;
    std::vector<std::uint8_t> m_record;
    int m_lastPercent = -1;
};

}  // namespace recovery
