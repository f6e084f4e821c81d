// The window changes the wizard and the commands share: label sets of the information panel,
// menu states, the pane changes between steps, the list's column sets and the left-pane trees as
// models the window shows.
#pragma once

#include <string_view>
#include <vector>

#include "core/progress.h"
#include "core/types.h"
#include "disk/drive_table.h"
#include "ntfs/folder_tree.h"
#include "ntfs/listing.h"
#include "partitions/partition_list.h"
#include "shell/main_window.h"
#include "shell/session.h"

namespace shell {

inline constexpr int kLabelSetBrowse = -1;

// Writes the panel labels of set 0 (drive), 1 (partition), 2 (Standard Scan), 3 (Advance Scan),
// 4 (file-system list) or -1 (browse): named rows shown with their label and an empty value
// (set 3: "0" in rows 1-4), other rows hidden; the status line shown (sets 2, 3, 4) or hidden.
// Set 2 puts "Mounting volume, please wait..." in the status line unless `scanType` is NTFS.
void SetLabels(MainWindow& window, int set, core::FsTypeCode scanType = core::kFsNtfs);

// Enables and greys the menu commands of state 0 (start-up, drive step, worker running), 1 and 2
// (partition and file-system list steps) or 3 (browse step), and remembers them in `browse` for
// the tool buttons. "Se&ttings..." stays available in state 0 only at step 0, and so does
// "Open Disk &Image...".
void SetMenuState(MainWindow& window, BrowseState& browse, int state, int wizardStep);

// The pane changes: 1, 2, 3, 4, 5 forward and 1, 2, 5, 8 back. Other combinations do nothing.
void ShowView(MainWindow& window, Session& session, int transition, ViewDirection direction);

// The quick help of wizard step 0..3.
std::string_view QuickHelp(int step);

// The six columns of the browse list; "Size" right-aligned after a Standard Scan, left-aligned
// after a mount.
std::vector<ListColumn> BrowseColumns(bool sizeRightAligned);
// The single "Details" column of the earlier steps.
std::vector<ListColumn> DetailsColumns();

// The trees as the window shows them.
TreeModel TreeModelOf(const disk::DriveTree& tree);
TreeModel TreeModelOf(const partitions::PartitionTree& tree);
TreeModel TreeModelOf(const ntfs::FolderTree& tree);

// The id of drive item k in TreeModelOf(DriveTree); the root is 1.
constexpr core::TreeItemId DriveItemId(std::size_t index) noexcept
{
    return static_cast<core::TreeItemId>(index + 2);
}

// How listings admit files (the session's file filters) and name their types.
ntfs::NameAdmitter ListingAdmitter(const Session& session);
ntfs::TypeDescriber ListingDescriber();

// Reads the shown NTFS volume's $UpCase table into session.upCase through session.mftRunTable
// (none when it cannot be read, or for a FAT volume). The root listing `rootRows` was formed
// before the table was at hand: when filters are set and a table was read, the root is listed
// again so that it admits as every later listing does. Runs on the scan's or the load's worker.
void TakeVolumeUpCase(Session& session, std::vector<ntfs::ListRow>& rootRows);

// A progress sink that writes straight into the window's controls, for short work done on the
// window's thread.
class ControlSink : public core::ProgressSink
{
public:
    explicit ControlSink(MainWindow& window) : m_window(window) {}
    void Status(std::string_view text) override;
    void Progress(int percent) override;
    void PanelValue(int row, std::string_view text) override;

private:
    MainWindow& m_window;
};

}  // namespace shell
