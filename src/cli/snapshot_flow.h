// Recovery snapshots for the commands of dravik-cli: a catalog loaded from a snapshot file in
// place of a scan (the images on the command line stay the drives it reads), and a scanned or
// loaded catalog saved to one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/scan_flow.h"
#include "catalog/catalog.h"

namespace cli {

// The folder entries of a loaded NTFS catalog that have the shape of the orphan pass's
// placeholders: named "Dir<n>", parent 5, both times 0, not deleted. A snapshot does not mark
// them, so this is how a summary of a loaded catalog leaves them out of its folder count.
std::uint32_t CountPlaceholderFolders(const catalog::Catalog& catalog);

// Loads the snapshot `file` into `out` as the wizard's "Load Recovery Snapshot" does, instead of
// a scan. On any load failure the system's message is shown (error kind), `out` stays as it was
// and kExitUsage is returned. A loaded catalog that is not NTFS is refused (kExitUsage, no drive
// opened) since the commands show NTFS folders only. Then drive `drive` is opened and FinishSnapshotLoad rebuilds
// the $MFT run table from it and builds the folder tree; when no drive can be opened the tree is
// still built, the run table stays empty and stderr says so, as it does when the drive's $MFT
// could not be followed whole. On success out.result holds the rebuilt table's outcome, the root
// rows and CountPlaceholderFolders; its scan outcome is meaningless.
int LoadSnapshotOfDrive(CliContext& context, std::string_view command, const std::string& file, std::uint64_t drive,
                        ScannedPartition& out);

// Saves `catalog` under SnapshotFileName(chosen) and names the file written on stderr. On failure
// shows the system's message (error kind) and returns kExitDisk when the file could not be
// created or written, kExitUsage when a name is too long to be stored (nothing was written).
int SaveSnapshotOfCatalog(CliContext& context, std::string_view command, const catalog::Catalog& catalog,
                          const std::string& chosen);

}  // namespace cli
