// The main window as the shell sees it: the operations through which the wizard, the workers and
// the browse commands change the window, show the system's dialogs and reach the desktop. The
// desktop wizard implements it with widgets; the tests implement it with a recording fake.
//
// Threads: every operation is called on the window's thread, except the ProgressSink returned by
// WorkerSink()/the save-progress sink, FindDialogView::AddRow, AskFromWorker and
// ChangeFromWorker, which the running worker calls from its own thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/progress.h"
#include "core/types.h"
#include "ntfs/listing.h"
#include "recovery/recovery_settings.h"
#include "shell/find_files.h"

namespace recovery {
struct RecoveryState;
}

namespace shell {

// Layout identifiers of the main window's controls.
namespace ctl {
inline constexpr int kList = 1000;
inline constexpr int kAdvanceScan = 1001;        // radio button
inline constexpr int kStandardScan = 1002;       // radio button
inline constexpr int kNext = 1003;
inline constexpr int kBack = 1004;
inline constexpr int kScanTypeFrame = 1007;
inline constexpr int kProgress = 1008;           // progress bar 0..100
inline constexpr int kSearchPartitions = 1009;   // link-style button
inline constexpr int kFileSystemList = 1010;     // "FAT16", "FAT32", "NTFS"
inline constexpr int kStartSectorBox = 1011;
inline constexpr int kEndSectorBox = 1012;
inline constexpr int kFileSystemCaption = 1013;  // "Select File System"
inline constexpr int kStartSectorCaption = 1014;
inline constexpr int kEndSectorCaption = 1015;
inline constexpr int kFileSystemFrame = 1016;
inline constexpr int kStop = 1017;
inline constexpr int kStatus = 1020;             // status line
inline constexpr int kScanTypeHelp = 1097;       // help icon with the "SCAN TYPE" tip
inline constexpr int kRangeHelp = 1098;          // help icon with the "Scan Control" tip
inline constexpr int kQuickHelp = 1100;
inline constexpr int kScanTypeCaption = 1101;    // "Scan Type"

// The information panel: rows 1..5, each a label and a value.
inline constexpr int kPanelRows = 5;
constexpr int PanelLabelId(int row) noexcept { return row == 1 ? 1018 : 1058 + 2 * (row - 2); }
constexpr int PanelValueId(int row) noexcept { return PanelLabelId(row) + 1; }

// The file-system group, in the order the pane changes show and hide it.
inline constexpr int kFileSystemGroup[] = {kFileSystemFrame, kFileSystemCaption, kFileSystemList, kStartSectorCaption,
                                           kStartSectorBox,  kEndSectorCaption,  kEndSectorBox};
}  // namespace ctl

// Entries of the "Select File System" list: index i stands for the code 100 * (i + 1).
inline constexpr int kFileSystemEntryFat16 = 0;
inline constexpr int kFileSystemEntryFat32 = 1;
inline constexpr int kFileSystemEntryNtfs = 2;

enum class MessageKind
{
    Information = 1,
    Error = 2,
    Question = 3,  // the only kind with "&Yes"/"&No"
};

// What the message dialog returns: Ok for the one-button form, Yes or No for a question.
// The buttons of a batch's summary.
enum class BatchSummaryChoice
{
    Close,
    OpenLog,
    SaveReport,
};

enum class Answer
{
    Ok,
    Yes,
    No,
};

// The commands of the menu bar whose enabled state the shell sets.
enum class MenuItem
{
    RecoverSelected,
    RecoverAll,
    SaveSnapshot,
    LoadSnapshot,
    Exit,
    Icons,
    List,
    Details,
    FindFiles,
    FileFilters,
    Settings,
    OpenLog,
    DriveInformation,
    LiveUpdate,
    Contents,
    About,
    OpenDiskImage,
    SaveReport,     // "Save Report...": enabled while the last batch's per-file report exists
};
inline constexpr std::size_t kMenuItemCount = 18;

// The items of the list's context menu.
enum class ContextItem
{
    Open,
    OpenWith,
    RecoverSelected,
    RecoverAll,
    Icons,
    List,
    Details,
    FindFiles,
    Rename,
    Settings,
    Properties,
};

// The four trees of the left pane; one is shown at a time.
enum class LeftTree
{
    Drives,       // root "My Computer"
    Partitions,   // root "Storage Device <n>"
    FileSystems,  // root "File Systems"
    Folders,      // root "Root"
};

// One item of a tree as the window shows it. Ids are the model's own: the window reports them
// back on clicks and the shell names them in SelectTreeItem and friends.
struct TreeNode
{
    core::TreeItemId id = 0;
    core::TreeItemId parent = 0;  // 0 for the root item
    std::string text;             // UTF-8 (catalog names)
    int image = 0;                // index into the left-pane image list (ntfs/folder_tree.h)
    int selectedImage = 0;
    bool expanded = false;
    bool deleted = false;         // a deleted folder: drawn greyed with a mark on its icon
};
// Items with every parent before its children, the root first.
using TreeModel = std::vector<TreeNode>;

enum class ViewDirection
{
    Forward,
    Back,
};

enum class ListStyle
{
    Icons,    // small icons, auto-arrange
    List,     // list, auto-arrange
    Details,  // report (columns), auto-arrange
};

struct ListColumn
{
    std::string title;
    int width = 0;  // pixels
    bool rightAligned = false;
};

enum class Pane
{
    Tree,
    List,
};

// The "File/Folder Properties" dialog's values.
struct PropertiesInfo
{
    std::string name;
    std::string size;      // "3 KB", "Less than 1 MB", ...
    std::string contains;  // empty for a file
    std::string created;
    std::string modified;
};

// The "Drive Information" dialog's values.
struct DriveInformation
{
    std::string fileSystem;
    std::string startSector;
    std::string directories;
    std::string files;
    std::string sectorsPerCluster;  // "SPC"
    std::string firstFat;
    std::string secondFat;
    std::string mftStart;
};

// What the "Find File(s)" dialog shows; implemented by the dialog.
class FindDialogView
{
public:
    virtual ~FindDialogView() = default;
    virtual void EnableStart(bool enabled) = 0;  // "&Start Search"
    virtual void EnableStop(bool enabled) = 0;   // "S&top Search"
    virtual void ClearRows() = 0;
    // A hit: append the row, set "Files Found" to rowsSoFar and "Last File" to the row's name.
    // Called from the search worker.
    virtual void AddRow(const FindRow& row, std::size_t rowsSoFar) = 0;
};

class FindFilesDialog;
class FileFiltersDialog;

class MainWindow
{
public:
    virtual ~MainWindow() = default;

    // Controls by layout id (ctl::...). Texts are UTF-8 except where noted.
    virtual void SetControlText(int id, std::string_view text) = 0;
    virtual std::string ControlText(int id) const = 0;
    virtual void ShowControl(int id, bool visible) = 0;
    virtual void EnableControl(int id, bool enabled) = 0;
    virtual void CheckControl(int id, bool checked) = 0;             // the two radio buttons
    virtual void SelectListEntry(int id, int index) = 0;             // the "Select File System" list
    virtual int SelectedListEntry(int id) const = 0;                 // -1 when none
    virtual void SetProgressPosition(int percent) = 0;               // control 1008, 0..100

    // Menu commands: enabled or greyed.
    virtual void SetMenuItemEnabled(MenuItem item, bool enabled) = 0;

    // Left-pane trees. RebuildTree creates the tree anew from `model` (destroying any earlier
    // one of that kind); DestroyTree removes it. A tree is created hidden and enabled.
    virtual void RebuildTree(LeftTree tree, const TreeModel& model) = 0;
    virtual void DestroyTree(LeftTree tree) = 0;
    virtual void ShowTree(LeftTree tree, bool visible) = 0;
    virtual void EnableTree(LeftTree tree, bool enabled) = 0;
    virtual void SelectTreeItem(LeftTree tree, core::TreeItemId item) = 0;
    virtual void ExpandTreeItems(LeftTree tree, const std::vector<core::TreeItemId>& items) = 0;
    virtual void SetTreeItemText(LeftTree tree, core::TreeItemId item, std::string_view text) = 0;

    // The list (control 1000). Row texts are UTF-8.
    virtual void SetListColumns(const std::vector<ListColumn>& columns) = 0;
    virtual void SetListRows(const std::vector<ntfs::ListRow>& rows) = 0;  // replaces every row
    virtual void SetListRowName(std::size_t row, std::string_view name) = 0;
    virtual void SetListStyle(ListStyle style) = 0;
    virtual std::vector<std::size_t> SelectedListRows() const = 0;
    virtual std::optional<std::size_t> ListSelectionMark() const = 0;  // the focused row
    // Opens the in-place editor on a row's name; the window reports the end of the edit to
    // BrowseCommands::EndRename.
    virtual void BeginRename(std::size_t row) = 0;
    virtual void SetFocus(Pane pane) = 0;
    // The list's context menu at the mouse position (or under the selection mark when opened by
    // the keyboard); the item chosen, or empty when it was dismissed.
    virtual std::optional<ContextItem> TrackContextMenu(bool openWithEnabled) = 0;

    // The system's message dialog, captioned "Quorvel Dravik for NTFS".
    virtual Answer MessageBox(std::string_view text, MessageKind kind) = 0;
    // The same dialog asked from a worker thread: the window asks on its own thread and the
    // worker waits for the answer. (The question "Continue Recovery ?" of batch recovery comes
    // this way, as kind Question.)
    virtual Answer AskFromWorker(std::string_view text, MessageKind kind) = 0;
    // The platform's plain message box ("&Open Log").
    virtual void ShowPlainMessage(std::string_view text) = 0;
    // The summary of a batch that left files not written whole, with "&Open Log" and
    // "Save Report..." beside the button that closes it; the button chosen.
    virtual BatchSummaryChoice OfferReport(std::string_view summary) = 0;

    // Runs `work` on a new worker thread and then `onEnd` on the window's thread, after the
    // last progress of the worker has been shown. Returns at once. At most one worker runs.
    virtual void StartWorker(std::function<void()> work, std::function<void()> onEnd) = 0;
    // Runs `change` (window operations) on the window's thread and returns when it has run;
    // called from a worker, for the window changes the worker makes between its steps.
    virtual void ChangeFromWorker(const std::function<void()>& change) = 0;
    // Where a worker reports: Status -> status line 1020, Progress -> progress bar 1008,
    // PanelValue(row) -> ctl::PanelValueId(row). Safe to call from the worker.
    virtual core::ProgressSink& WorkerSink() = 0;

    // Dialogs.
    virtual std::optional<std::filesystem::path> ChooseFolder() = 0;  // recovery destination
    // Save dialog with the single pattern given, asking before overwriting; the chosen path.
    virtual std::optional<std::string> AskSaveFileName(std::string_view pattern) = 0;
    // Save dialog of "Save Report..." (kReportPattern), asking before overwriting; the chosen path.
    virtual std::optional<std::string> AskReportFileName() = 0;
    // Open dialog with the single pattern given; the last of the selected paths.
    virtual std::optional<std::string> AskOpenFileName(std::string_view pattern) = 0;
    // "Recovery Settings": the controls' state at OK, or empty for Cancel.
    virtual std::optional<recovery::SettingsChoice> AskRecoverySettings(const recovery::SettingsChoice& current) = 0;
    virtual void ShowProperties(const PropertiesInfo& info) = 0;
    virtual void ShowDriveInformation(const DriveInformation& info) = 0;
    virtual void ShowAbout(std::string_view text) = 0;
    // Modal "File Filters" and "Find File(s)" dialogs, driven by the shell's logic; return when
    // the dialog has closed.
    virtual void RunFiltersDialog(FileFiltersDialog& logic) = 0;
    virtual void RunFindDialog(FindFilesDialog& logic) = 0;
    // The modal save-progress dialog "Saving the data please wait": its "&Stop Saving" and
    // "S&kip File" buttons set the state's flags. The returned sink shows "Path", "File Name"
    // and "Total Files" (PanelValue rows recovery::kSaveRow...) and the progress bar; the worker
    // calls it. CloseSaveProgress closes the dialog when the worker has ended.
    virtual core::ProgressSink& OpenSaveProgress(recovery::RecoveryState& state) = 0;
    virtual void CloseSaveProgress() = 0;

    // Desktop services. OpenWithDefaultApplication is false when no application is associated
    // with the file's type (the shell then offers the chooser).
    virtual bool OpenWithDefaultApplication(const std::filesystem::path& file) = 0;
    virtual void OpenWithChooser(const std::filesystem::path& file) = 0;
    virtual bool OpenHelpFile(const std::filesystem::path& file) = 0;
    virtual bool StartProgram(const std::filesystem::path& program, std::string_view parameter) = 0;
    // Starts argv[0] with the other arguments, detached; false when it could not be started.
    virtual bool StartDetached(const std::vector<std::string>& argv) = 0;
    // Ends the program at once with exit code 0.
    virtual void EndProgram() = 0;
};

}  // namespace shell
