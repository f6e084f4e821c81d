// The recording main window of the shell tests.
#include "support/fake_window.h"

#include <utility>

namespace testing_support {

std::string FakeWindow::ControlText(int id) const
{
    const auto it = controls.find(id);
    return it == controls.end() ? std::string() : it->second.text;
}

int FakeWindow::SelectedListEntry(int id) const
{
    const auto it = controls.find(id);
    return it == controls.end() ? -1 : it->second.listEntry;
}

std::optional<shell::LeftTree> FakeWindow::ShownTree() const
{
    std::optional<shell::LeftTree> shown;
    for (const auto& [kind, tree] : trees) {
        if (tree.exists && tree.visible) {
            if (shown) {
                return std::nullopt;  // two trees in one place
            }
            shown = kind;
        }
    }
    return shown;
}

void FakeWindow::RebuildTree(shell::LeftTree tree, const shell::TreeModel& model)
{
    Tree& t = trees[tree];
    const bool visible = t.exists && t.visible;
    const bool enabled = t.exists ? t.enabled : true;
    t = Tree{};
    t.exists = true;
    t.model = model;
    t.visible = visible;
    t.enabled = enabled;
    for (const shell::TreeNode& node : model) {
        if (node.expanded) {
            t.expanded.insert(node.id);
        }
    }
}

void FakeWindow::ExpandTreeItems(shell::LeftTree tree, const std::vector<core::TreeItemId>& items)
{
    trees[tree].expanded.insert(items.begin(), items.end());
}

void FakeWindow::SetTreeItemText(shell::LeftTree tree, core::TreeItemId item, std::string_view text)
{
    trees[tree].renamed[item] = std::string(text);
}

void FakeWindow::SetListRows(const std::vector<ntfs::ListRow>& newRows)
{
    rows = newRows;
    selection.clear();
    selectionMark.reset();
}

void FakeWindow::SetListRowName(std::size_t row, std::string_view name)
{
    if (row < rows.size()) {
        rows[row].name = std::string(name);
    }
}

shell::Answer FakeWindow::MessageBox(std::string_view text, shell::MessageKind kind)
{
    messages.push_back({std::string(text), kind});
    if (kind != shell::MessageKind::Question) {
        return shell::Answer::Ok;
    }
    if (answers.empty()) {
        return shell::Answer::No;
    }
    const shell::Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakeWindow::StartWorker(std::function<void()> work, std::function<void()> onEnd)
{
    ++workersStarted;
    if (deferWorkers) {
        m_pending.emplace_back(std::move(work), std::move(onEnd));
        return;
    }
    work();
    onEnd();
}

bool FakeWindow::RunPendingWorker()
{
    if (m_pending.empty()) {
        return false;
    }
    auto [work, onEnd] = std::move(m_pending.front());
    m_pending.pop_front();
    work();
    onEnd();
    return true;
}

std::optional<recovery::SettingsChoice> FakeWindow::AskRecoverySettings(const recovery::SettingsChoice& current)
{
    settingsShown = current;
    return settingsAnswer;
}

void FakeWindow::RunFiltersDialog(shell::FileFiltersDialog& logic)
{
    if (filtersDialog) {
        filtersDialog(logic);
    }
}

void FakeWindow::RunFindDialog(shell::FindFilesDialog& logic)
{
    if (findDialog) {
        findDialog(logic);
    }
}

core::ProgressSink& FakeWindow::OpenSaveProgress(recovery::RecoveryState& state)
{
    ++saveProgressOpened;
    saveState = &state;
    return m_saveSink;
}

bool FakeWindow::OpenWithDefaultApplication(const std::filesystem::path& file)
{
    if (!defaultApplicationExists) {
        return false;
    }
    openedFiles.push_back(file);
    return true;
}

bool FakeWindow::OpenHelpFile(const std::filesystem::path& file)
{
    helpFiles.push_back(file);
    return true;
}

bool FakeWindow::StartProgram(const std::filesystem::path& program, std::string_view parameter)
{
    programs.emplace_back(program, std::string(parameter));
    return true;
}

void FakeWindow::Sink::Status(std::string_view text)
{
    m_window.SetControlText(shell::ctl::kStatus, text);
    if (m_window.onWorkerStatus) {
        m_window.onWorkerStatus(text);
    }
}

void FakeWindow::Sink::Progress(int percent) { m_window.SetProgressPosition(percent); }

void FakeWindow::Sink::PanelValue(int row, std::string_view text)
{
    m_window.SetControlText(shell::ctl::PanelValueId(row), text);
    if (m_window.onWorkerProgress) {
        auto hook = std::move(m_window.onWorkerProgress);
        m_window.onWorkerProgress = nullptr;
        hook();
    }
}

void FakeWindow::SaveSink::PanelValue(int row, std::string_view text)
{
    m_window.saveProgressRows[row] = std::string(text);
}

}  // namespace testing_support
