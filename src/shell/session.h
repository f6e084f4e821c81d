// The records of one run of the desktop wizard: the disk state and drives, the partitions, the
// catalog with its trees, the recovery settings and state, the file filters, the wizard's step
// and scan method, and what the browse views remember between commands.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/case_map.h"
#include "recovery/file_report.h"
#include "disk/bios_loader.h"
#include "disk/disk_state.h"
#include "disk/drive_enumeration.h"
#include "disk/drive_table.h"
#include "catalog/catalog.h"
#include "ntfs/folder_tree.h"
#include "ntfs/listing.h"
#include "ntfs/standard_scan.h"
#include "partitions/partition_list.h"
#include "platform/drive_discovery.h"
#include "recovery/file_extraction.h"
#include "recovery/recovery_settings.h"
#include "shell/main_window.h"
#include "shell/name_patterns.h"

namespace shell {

inline constexpr std::int16_t kStandardScan = 1;
inline constexpr std::int16_t kAdvanceScan = 2;

struct WizardState
{
    std::int32_t wizardStep = -1;  // 0 drive, 1 partition or range, 2 file-system list, 3 browse; -1 at start-up
    std::int16_t scanMethod = kStandardScan;
};

// What the browse views remember between commands.
struct BrowseState
{
    bool treeFocus = false;                 // true after a tree click or a folder entered
    int openWith = 0;                       // 1 for "Open &With..."
    std::optional<std::size_t> renameRow;   // the row whose in-place rename is open
    std::string renameOldName;              // its name before the edit
    std::vector<ntfs::ListRow> rows;        // the rows the list shows, in order
    core::TreeItemId selectedFolder = 0;    // the folder-tree item whose entries the list shows
    bool backOffered = true;                // Back is offered at the browse step (not after a load)
    std::array<bool, kMenuItemCount> menuEnabled{};  // the menu items' state, for the tool buttons
    std::string batchLog;                   // the log of the last recovery when it did not write
                                            // every file whole ("&Open Log"); empty otherwise
    recovery::FileReport batchReport;       // the per-file report of the last recovery ("Save Report...")
};

struct Session
{
    // Start-up input.
    std::vector<std::string> images;         // disk images named on the command line (drives 0, 1, ...)
    platform::DiscoveryRoots discoveryRoots; // where the machine's disks are looked for
    int platformId = 0;                      // 0: the running system's; 1 selects the BIOS libraries
    std::filesystem::path biosDir;           // where the BIOS libraries are (mode F)
    std::filesystem::path startupFolder;     // the current folder at start-up (help file, updater)
    // pkexec, when a disk that cannot be opened for lack of rights may be read after a restart
    // with administrator rights (the GUI finds it; empty: no such offer); and the wizard program.
    std::optional<std::filesystem::path> elevationProgram;
    std::filesystem::path programPath;

    // Disk access.
    disk::DiskState disk;
    disk::DriveTable driveTable;
    disk::DriveTree driveTree;
    std::unique_ptr<disk::DriveProbe> probe;  // mode N: the drives; tests may put their own here
    disk::LoadedBiosLibraries bios;           // mode F

    // Partitions and the catalog with its trees.
    partitions::PartitionList partitionList;
    std::optional<partitions::PartitionTree> partitionTree;
    catalog::Catalog catalog;
    ntfs::MftRunTable mftRunTable;
    // The shown volume's $UpCase table, read after a Standard Scan, a mount or a snapshot load
    // with the drive at hand; names are compared through it (none: the built-in case map). It is
    // not part of a snapshot.
    std::optional<core::UpCaseTable> upCase;
    std::optional<ntfs::FolderTree> fileSystemTree;  // "File Systems"
    std::optional<ntfs::FolderTree> folderTree;      // "Root"

    // Recovery and filters.
    recovery::RecoverySettings recoverySettings;
    recovery::RecoveryState recoveryState;
    FilterPatterns filterPatterns;

    WizardState wizard;
    BrowseState browse;

    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

}  // namespace shell
