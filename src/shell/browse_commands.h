// The browse step and the commands of the menus, tool buttons, context menu and keys: opening
// folders and files, rename, properties, drive information, help, Live Update, About, recovery,
// snapshots, settings, and the logic of the "File Filters" and "Find File(s)" dialogs.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/progress.h"
#include "ntfs/shown_volume.h"
#include "recovery/batch_recovery.h"
#include "recovery/batch_report.h"
#include "shell/main_window.h"
#include "shell/session.h"
#include "shell/wizard.h"

namespace shell {

// The "File Filters" dialog: its list box (newest pattern first) over the session's table.
class FileFiltersDialog
{
public:
    FileFiltersDialog(Session& session, MainWindow& window);

    // What the dialog does with its edit box after "&Add".
    struct AddResult
    {
        bool added = false;
        bool clearEdit = false;           // empty the edit box
        std::size_t selectFrom = 0;       // then select this range of its text (length 0: none)
        std::size_t selectLength = 0;
    };
    AddResult Add(std::string_view text);

    // "&Remove" with the selected list-box entry (empty: none selected). Returns the entry to
    // select afterwards.
    std::optional<std::size_t> Remove(std::optional<std::size_t> selected);

    const std::vector<std::string>& Entries() const noexcept { return m_entries; }
    bool RemoveEnabled() const noexcept { return m_removeEnabled; }

private:
    Session& m_session;
    MainWindow& m_window;
    std::vector<std::string> m_entries;
    bool m_removeEnabled = true;
};

// The "Find File(s)" dialog's logic: the search runs on a worker, Stop pauses it at a gate while
// the question is open.
class FindFilesDialog
{
public:
    FindFilesDialog(Session& session, MainWindow& window);

    // Opening: Start offered, Stop greyed.
    void Open(FindDialogView& view);
    // "&Start Search" with the edit box's text.
    void StartSearch(std::string_view pattern);
    // "S&top Search": pauses the search and asks; Yes ends it (the rows found stay), No resumes.
    void StopSearch();
    // The close box and Escape: refused while a search runs.
    bool CanClose() const noexcept { return !m_searching; }
    bool Searching() const noexcept { return m_searching; }

private:
    Session& m_session;
    MainWindow& m_window;
    FindDialogView* m_view = nullptr;
    std::string m_pattern;
    bool m_searching = false;
    std::shared_ptr<core::PauseGate> m_gate;
    std::shared_ptr<core::StopFlag> m_stop;
};

enum class Key
{
    F1,
    Tab,
    Enter,
    F2,
    ContextMenu,
};

class BrowseCommands
{
public:
    BrowseCommands(Session& session, MainWindow& window, Wizard& wizard);

    // A left click on a tree item (0: beside every item) at any step.
    void OnTreeClick(LeftTree tree, core::TreeItemId item);
    // List notifications.
    void OnListClick();
    void OnListDoubleClick();
    void OnListRightClick();
    // Keys looked at before the window's own handling; true when the key was used here.
    bool OnKey(Key key);

    // A menu command (the window offers only enabled ones).
    void Command(MenuItem item);
    // Tool button 1..7: buttons 1-6 act only while their menu item is enabled.
    void ToolButton(int button);
    void ContextCommand(ContextItem item);

    // "&Open" (openWith 0) and "Open &With..." (1) on the tree's selected folder or the list's
    // marked row.
    void Open(int openWith);
    void StartRename();
    // The end of the in-place edit: the edited text, or empty when it was cancelled.
    void EndRename(std::optional<std::string> text);

    void Properties();
    void ShowDriveInformation();
    void Help();
    void LiveUpdate();
    void RecoverSelected();
    void RecoverAll();
    void SaveSnapshot();
    void LoadSnapshot();
    void Settings();
    void FileFilters();
    void FindFiles();
    // "Save Report...": the per-file report of the last batch into a file the user names (JSON
    // Lines when the name ends in ".jsonl", CSV otherwise).
    void SaveReport();

private:
    bool Browsing() const noexcept;
    bool FatVolume() const noexcept;
    bool AdvanceVolume() const noexcept;
    // The volume the browse step shows: the catalog's lists the volume type and scan method call for.
    ntfs::ShownVolume Shown() const noexcept;
    void EnterFolder(core::TreeItemId item);
    std::vector<ntfs::ListRow> ListFolder(core::TreeItemId item) const;
    void OpenFile(const ntfs::ListRow& row, int openWith);
    void OpenExtractedFile(const std::filesystem::path& file, int openWith);
    void RunRecovery(bool all);
    // What a batch left: its summary, its report and the log written from them.
    struct BatchOutcome
    {
        recovery::BatchSummary summary;
        recovery::BatchReport report;
        recovery::FileReport files;
        std::string log;
    };
    // After a batch: when a file was not written whole, the counts and the offer to open the log
    // (kept for "&Open Log"); otherwise the counts with the offer to save the per-file report, and
    // the log is dropped. The per-file report is kept for "Save Report..." either way.
    void ShowBatchOutcome(const BatchOutcome& outcome);
    void ShowRows(std::vector<ntfs::ListRow> rows);

    Session& m_session;
    MainWindow& m_window;
    Wizard& m_wizard;
};

}  // namespace shell
