// A main window without widgets: it keeps the state the shell gives its controls, menus, trees and
// list, records the messages and dialogs, answers questions from a queue and runs workers at once
// (or on request).
#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/messages.h"
#include "shell/main_window.h"

namespace testing_support {

class FakeWindow : public shell::MainWindow
{
public:
    struct Control
    {
        std::string text;
        bool visible = true;
        bool enabled = true;
        bool checked = false;
        int listEntry = -1;
    };
    struct Tree
    {
        bool exists = false;
        shell::TreeModel model;
        bool visible = false;
        bool enabled = true;
        core::TreeItemId selected = 0;
        std::set<core::TreeItemId> expanded;
        std::map<core::TreeItemId, std::string> renamed;
    };
    struct Message
    {
        std::string text;
        shell::MessageKind kind;
    };

    // ---- what the shell left behind ----
    std::map<int, Control> controls;
    std::map<shell::MenuItem, bool> menu;
    std::map<shell::LeftTree, Tree> trees;
    std::vector<shell::ListColumn> columns;
    std::vector<ntfs::ListRow> rows;
    shell::ListStyle listStyle = shell::ListStyle::Details;
    std::optional<std::size_t> renameStarted;
    std::optional<shell::Pane> focus;
    std::vector<Message> messages;
    std::vector<std::string> plainMessages;
    std::vector<std::string> reportOffers;     // the summaries of batches not written whole
    shell::BatchSummaryChoice summaryChoice = shell::BatchSummaryChoice::Close;  // the answer to those offers
    std::optional<std::string> reportName;     // the name the report's save dialog gives
    std::vector<shell::PropertiesInfo> properties;
    std::vector<shell::DriveInformation> driveInformation;
    std::vector<std::string> aboutTexts;
    std::vector<std::filesystem::path> openedFiles;    // with the default application
    std::vector<std::filesystem::path> chooserFiles;   // Open With
    std::vector<std::filesystem::path> helpFiles;
    std::vector<std::pair<std::filesystem::path, std::string>> programs;
    std::vector<std::vector<std::string>> detached;  // StartDetached command lines
    bool ended = false;
    int saveProgressOpened = 0;
    int saveProgressClosed = 0;
    std::map<int, std::string> saveProgressRows;  // rows recovery::kSaveRow...
    int workersStarted = 0;
    std::vector<std::string> filePatterns;  // the patterns of the save and open dialogs, in order

    // ---- what the user does ----
    std::deque<shell::Answer> answers;             // questions; No when empty
    std::vector<std::size_t> selection;            // selected list rows
    std::optional<std::size_t> selectionMark;
    std::optional<std::filesystem::path> folderToChoose;
    std::optional<std::string> saveName;
    std::optional<std::string> openName;
    std::optional<recovery::SettingsChoice> settingsAnswer;  // empty: Cancel
    std::optional<recovery::SettingsChoice> settingsShown;
    bool defaultApplicationExists = true;
    std::optional<shell::ContextItem> contextChoice;
    int contextMenuShown = -1;  // -1 never, else 1 when "Open &With..." was enabled
    std::function<void(shell::FileFiltersDialog&)> filtersDialog;
    std::function<void(shell::FindFilesDialog&)> findDialog;
    // Workers run at once unless deferred; RunPendingWorker then runs the oldest.
    bool deferWorkers = false;
    // Called at every progress report of a worker (a test presses Stop from here).
    std::function<void()> onWorkerProgress;
    // Called at every status-line text of a worker.
    std::function<void(std::string_view text)> onWorkerStatus;
    bool RunPendingWorker();
    std::size_t PendingWorkers() const { return m_pending.size(); }

    // Helpers for assertions.
    const Control& At(int id) { return controls[id]; }
    bool Visible(int id) { return controls[id].visible; }
    bool Enabled(int id) { return controls[id].enabled; }
    std::string Text(int id) { return controls[id].text; }
    bool Offered(int id) { return Visible(id) && Enabled(id); }
    std::string LastMessage() const { return messages.empty() ? std::string() : messages.back().text; }
    // The tree shown in the left pane (the visible one), or empty.
    std::optional<shell::LeftTree> ShownTree() const;

    // ---- the port ----
    void SetControlText(int id, std::string_view text) override { controls[id].text = std::string(text); }
    std::string ControlText(int id) const override;
    void ShowControl(int id, bool visible) override { controls[id].visible = visible; }
    void EnableControl(int id, bool enabled) override { controls[id].enabled = enabled; }
    void CheckControl(int id, bool checked) override { controls[id].checked = checked; }
    void SelectListEntry(int id, int index) override { controls[id].listEntry = index; }
    int SelectedListEntry(int id) const override;
    void SetProgressPosition(int percent) override { controls[shell::ctl::kProgress].text = std::to_string(percent); }
    void SetMenuItemEnabled(shell::MenuItem item, bool enabled) override { menu[item] = enabled; }
    void RebuildTree(shell::LeftTree tree, const shell::TreeModel& model) override;
    void DestroyTree(shell::LeftTree tree) override { trees[tree] = Tree{}; }
    void ShowTree(shell::LeftTree tree, bool visible) override { trees[tree].visible = visible; }
    void EnableTree(shell::LeftTree tree, bool enabled) override { trees[tree].enabled = enabled; }
    void SelectTreeItem(shell::LeftTree tree, core::TreeItemId item) override { trees[tree].selected = item; }
    void ExpandTreeItems(shell::LeftTree tree, const std::vector<core::TreeItemId>& items) override;
    void SetTreeItemText(shell::LeftTree tree, core::TreeItemId item, std::string_view text) override;
    void SetListColumns(const std::vector<shell::ListColumn>& newColumns) override { columns = newColumns; }
    void SetListRows(const std::vector<ntfs::ListRow>& newRows) override;
    void SetListRowName(std::size_t row, std::string_view name) override;
    void SetListStyle(shell::ListStyle style) override { listStyle = style; }
    std::vector<std::size_t> SelectedListRows() const override { return selection; }
    std::optional<std::size_t> ListSelectionMark() const override { return selectionMark; }
    void BeginRename(std::size_t row) override { renameStarted = row; }
    void SetFocus(shell::Pane pane) override { focus = pane; }
    std::optional<shell::ContextItem> TrackContextMenu(bool openWithEnabled) override
    {
        contextMenuShown = openWithEnabled ? 1 : 0;
        return contextChoice;
    }
    shell::Answer MessageBox(std::string_view text, shell::MessageKind kind) override;
    shell::Answer AskFromWorker(std::string_view text, shell::MessageKind kind) override { return MessageBox(text, kind); }
    void ChangeFromWorker(const std::function<void()>& change) override { change(); }
    void ShowPlainMessage(std::string_view text) override { plainMessages.emplace_back(text); }
    shell::BatchSummaryChoice OfferReport(std::string_view summary) override
    {
        reportOffers.emplace_back(summary);
        return summaryChoice;
    }
    std::optional<std::string> AskReportFileName() override
    {
        filePatterns.emplace_back(core::msg::kReportPattern);
        return reportName;
    }
    void StartWorker(std::function<void()> work, std::function<void()> onEnd) override;
    core::ProgressSink& WorkerSink() override { return m_sink; }
    std::optional<std::filesystem::path> ChooseFolder() override { return folderToChoose; }
    std::optional<std::string> AskSaveFileName(std::string_view pattern) override
    {
        filePatterns.emplace_back(pattern);
        return saveName;
    }
    std::optional<std::string> AskOpenFileName(std::string_view pattern) override
    {
        filePatterns.emplace_back(pattern);
        return openName;
    }
    std::optional<recovery::SettingsChoice> AskRecoverySettings(const recovery::SettingsChoice& current) override;
    void ShowProperties(const shell::PropertiesInfo& info) override { properties.push_back(info); }
    void ShowDriveInformation(const shell::DriveInformation& info) override { driveInformation.push_back(info); }
    void ShowAbout(std::string_view text) override { aboutTexts.emplace_back(text); }
    void RunFiltersDialog(shell::FileFiltersDialog& logic) override;
    void RunFindDialog(shell::FindFilesDialog& logic) override;
    core::ProgressSink& OpenSaveProgress(recovery::RecoveryState& state) override;
    void CloseSaveProgress() override { ++saveProgressClosed; }
    bool OpenWithDefaultApplication(const std::filesystem::path& file) override;
    void OpenWithChooser(const std::filesystem::path& file) override { chooserFiles.push_back(file); }
    bool OpenHelpFile(const std::filesystem::path& file) override;
    bool StartProgram(const std::filesystem::path& program, std::string_view parameter) override;
    bool StartDetached(const std::vector<std::string>& argv) override
    {
        detached.push_back(argv);
        return true;
    }
    void EndProgram() override { ended = true; }

    recovery::RecoveryState* saveState = nullptr;

private:
    // Writes worker progress into the controls, as the window's bridge does.
    class Sink : public core::ProgressSink
    {
    public:
        explicit Sink(FakeWindow& window) : m_window(window) {}
        void Status(std::string_view text) override;
        void Progress(int percent) override;
        void PanelValue(int row, std::string_view text) override;

    private:
        FakeWindow& m_window;
    };
    class SaveSink : public core::ProgressSink
    {
    public:
        explicit SaveSink(FakeWindow& window) : m_window(window) {}
        void PanelValue(int row, std::string_view text) override;

    private:
        FakeWindow& m_window;
    };

    Sink m_sink{*this};
    SaveSink m_saveSink{*this};
    std::deque<std::pair<std::function<void()>, std::function<void()>>> m_pending;
};

}  // namespace testing_support
