// The browse step's commands, the File Filters and Find File(s) dialog logic.
#include "shell/browse_commands.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

#include "core/messages.h"
#include "core/ntfs_names.h"
#include "core/out_of_memory.h"
#include "partitions/partition_list.h"
#include "platform/temp_folder.h"
#include "recovery/batch_recovery.h"
#include "recovery/batch_report.h"
#include "recovery/file_extraction.h"
#include "shell/find_files.h"
#include "shell/window_changes.h"
#include "snapshot/snapshot_file.h"
#include "ntfs/tree_builder.h"
#include "snapshot/snapshot_finish.h"

namespace shell {

namespace msg = core::msg;

namespace {

template <typename T>
std::optional<T> ParseNumber(std::string_view text)
{
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    return UpperCaseName(a) == UpperCaseName(b);
}

void ShowAndEnable(MainWindow& window, int id, bool on)
{
    window.ShowControl(id, on);
    window.EnableControl(id, on);
}

}  // namespace

// ---- File Filters ------------------------------------------------------------------------------

FileFiltersDialog::FileFiltersDialog(Session& session, MainWindow& window) : m_session(session), m_window(window)
{
    // The list box shows the newest pattern at the top.
    const FilterPatterns& table = m_session.filterPatterns;
    for (std::uint32_t i = table.Count(); i > 0; --i) {
        m_entries.emplace_back(table.At(i - 1));
    }
}

FileFiltersDialog::AddResult FileFiltersDialog::Add(std::string_view typed)
{
    AddResult result;
    FilterPatterns& table = m_session.filterPatterns;
    if (table.Count() >= FilterPatterns::kMaxCount) {
        m_window.MessageBox(msg::kPatternTableFull, MessageKind::Information);
        return result;
    }
    const std::string_view text = typed.substr(0, 299);
    if (core::CodePointCount(text) > FilterPatterns::kMaxPatternLength) {
        m_window.MessageBox(msg::kPatternTooLong, MessageKind::Information);
        result.selectLength = FilterPatterns::kMaxPatternLength;
        return result;
    }
    if (text.empty()) {
        m_window.MessageBox(msg::kPatternBlank, MessageKind::Information);
        return result;
    }
    if (std::find(m_entries.begin(), m_entries.end(), text) != m_entries.end()) {
        m_window.MessageBox(msg::kPatternExists, MessageKind::Information);
        result.selectLength = text.size();
        return result;
    }
    if (table.Add(text) != FilterPatterns::AddOutcome::Added) {
        // A zero byte cannot be stored in a slot; the edit text stays for the user to correct.
        m_window.MessageBox(msg::kPatternBlank, MessageKind::Information);
        return result;
    }
    m_entries.insert(m_entries.begin(), std::string(text));
    m_removeEnabled = true;
    result.added = true;
    result.clearEdit = true;
    return result;
}

std::optional<std::size_t> FileFiltersDialog::Remove(std::optional<std::size_t> selected)
{
    if (m_entries.empty()) {
        m_removeEnabled = false;
        return std::nullopt;
    }
    if (!selected || *selected >= m_entries.size()) {
        return std::nullopt;
    }
    const std::string text = m_entries[*selected];
    m_session.filterPatterns.Remove(text);
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(*selected));
    if (m_entries.empty()) {
        return std::nullopt;
    }
    return std::size_t{0};
}

// ---- Find File(s) ------------------------------------------------------------------------------

FindFilesDialog::FindFilesDialog(Session& session, MainWindow& window) : m_session(session), m_window(window) {}

void FindFilesDialog::Open(FindDialogView& view)
{
    m_view = &view;
    m_view->EnableStart(true);
    m_view->EnableStop(false);
}

void FindFilesDialog::StartSearch(std::string_view pattern)
{
    if (m_view == nullptr || m_searching) {
        return;
    }
    m_view->EnableStart(false);
    m_view->EnableStop(true);
    m_view->ClearRows();
    m_pattern.assign(pattern);
    m_searching = true;
    // Each search has its own gate and flag: a stopped search that is still winding down never
    // shares them with the next one.
    m_gate = std::make_shared<core::PauseGate>();
    m_stop = std::make_shared<core::StopFlag>();
    FindDialogView* view = m_view;
    m_window.StartWorker(
        [this, view, gate = m_gate, stop = m_stop] {
            FindRequest request;
            request.pattern = m_pattern;
            request.scanMethod = m_session.wizard.scanMethod;
            request.upCase = m_session.upCase ? &*m_session.upCase : nullptr;
            core::RunGuardedAgainstOom(
                [&] {
                    FindFiles(
                        m_session.catalog, request,
                        [view](const FindRow& row, std::size_t count) { view->AddRow(row, count); }, *gate, *stop);
                },
                [this](std::string_view text) { m_window.AskFromWorker(text, MessageKind::Error); });
        },
        [this, view] {
            m_searching = false;
            view->EnableStop(false);
            view->EnableStart(true);
        });
}

void FindFilesDialog::StopSearch()
{
    if (!m_searching || m_view == nullptr) {
        return;
    }
    m_view->EnableStop(false);
    m_gate->Close();
    const Answer answer = m_window.MessageBox(msg::kStopSearchQuestion, MessageKind::Question);
    if (answer == Answer::Yes) {
        // The search ends at the gate; "&Start Search" comes back when it has ended.
        m_stop->Request();
        m_gate->Open();
        return;
    }
    m_view->EnableStop(true);
    m_gate->Open();
}

// ---- browse commands ---------------------------------------------------------------------------

BrowseCommands::BrowseCommands(Session& session, MainWindow& window, Wizard& wizard)
    : m_session(session), m_window(window), m_wizard(wizard)
{
}

bool BrowseCommands::Browsing() const noexcept
{
    return m_session.wizard.wizardStep == 3 && !m_wizard.WorkerRunning() && m_session.folderTree.has_value();
}

bool BrowseCommands::FatVolume() const noexcept
{
    const core::FsTypeCode type = m_session.catalog.volumeParams.type;
    return type == core::kFsFat16 || type == core::kFsFat32;
}

bool BrowseCommands::AdvanceVolume() const noexcept
{
    return Shown().Kind() == ntfs::ShownKind::MountedFound;
}

ntfs::ShownVolume BrowseCommands::Shown() const noexcept
{
    return ntfs::ShownVolume(m_session.catalog, ntfs::ShownKindOf(m_session.catalog.volumeParams.type,
                                                                  m_session.wizard.scanMethod == kAdvanceScan));
}

void BrowseCommands::ShowRows(std::vector<ntfs::ListRow> rows)
{
    m_session.browse.rows = std::move(rows);
    m_session.browse.renameRow.reset();
    m_window.SetListRows(m_session.browse.rows);
}

std::vector<ntfs::ListRow> BrowseCommands::ListFolder(core::TreeItemId item) const
{
    const ntfs::ShownVolume volume = Shown();
    return ntfs::ListShownFolder(volume, volume.KeyOfTreeItem(item), ListingAdmitter(m_session), ListingDescriber());
}

void BrowseCommands::EnterFolder(core::TreeItemId item)
{
    if (!m_session.folderTree || m_session.folderTree->Find(item) == nullptr) {
        item = ntfs::FolderTree().Root();
    }
    ShowRows(ListFolder(item));
    m_session.browse.selectedFolder = item;
    m_window.SetFocus(Pane::Tree);
    m_window.SelectTreeItem(LeftTree::Folders, item);
    m_session.browse.treeFocus = true;
    if (m_session.folderTree) {
        m_session.folderTree->ExpandAncestors(item);
        m_window.ExpandTreeItems(LeftTree::Folders, m_session.folderTree->Ancestors(item));
    }
}

void BrowseCommands::OnTreeClick(LeftTree tree, core::TreeItemId item)
{
    switch (m_session.wizard.wizardStep) {
    case 0:
        if (tree == LeftTree::Drives) {
            m_wizard.SelectDriveItem(item);
        }
        break;
    case 1:
        if (tree == LeftTree::Partitions) {
            m_wizard.SelectPartitionItem(item);
        }
        break;
    case 2:
        if (tree == LeftTree::FileSystems && m_session.fileSystemTree) {
            const ntfs::TreeItem* found = m_session.fileSystemTree->Find(item);
            if (found != nullptr && found->text.rfind("File", 0) != 0) {
                m_wizard.SelectFileSystem(item);
            }
        }
        break;
    case 3:
        if (tree == LeftTree::Folders && Browsing()) {
            m_session.browse.openWith = 0;
            EnterFolder(item);
        }
        break;
    default:
        break;
    }
}

void BrowseCommands::OnListClick() { m_session.browse.treeFocus = false; }

void BrowseCommands::OnListDoubleClick()
{
    m_session.browse.treeFocus = false;
    Open(0);
}

void BrowseCommands::OnListRightClick()
{
    m_session.browse.treeFocus = false;
    const auto mark = m_window.ListSelectionMark();
    if (!Browsing() || m_session.browse.rows.empty() || !mark || *mark >= m_session.browse.rows.size()) {
        return;
    }
    const std::string& type = m_session.browse.rows[*mark].type;
    const bool folder = EqualsIgnoringCase(type, ntfs::kFolderType) || EqualsIgnoringCase(type, ntfs::kDeletedFolderType);
    if (const auto chosen = m_window.TrackContextMenu(!folder)) {
        ContextCommand(*chosen);
    }
}

bool BrowseCommands::OnKey(Key key)
{
    const bool renaming = m_session.browse.renameRow.has_value();
    const bool browsing = m_session.wizard.wizardStep == 3;
    switch (key) {
    case Key::F1:
        Help();
        return true;
    case Key::Tab:
        if (!browsing || renaming) {
            return false;
        }
        m_session.browse.treeFocus = !m_session.browse.treeFocus;
        m_window.SetFocus(m_session.browse.treeFocus ? Pane::Tree : Pane::List);
        return true;
    case Key::Enter:
        if (!renaming && browsing) {
            Open(0);
        }
        return true;
    case Key::F2:
        if (browsing && !m_session.browse.treeFocus && !renaming) {
            StartRename();
            return true;
        }
        return false;
    case Key::ContextMenu:
        if (!m_session.browse.treeFocus) {
            OnListRightClick();
            return true;
        }
        return false;
    }
    return false;
}

void BrowseCommands::Command(MenuItem item)
{
    switch (item) {
    case MenuItem::RecoverSelected:
        RecoverSelected();
        break;
    case MenuItem::RecoverAll:
        RecoverAll();
        break;
    case MenuItem::SaveSnapshot:
        SaveSnapshot();
        break;
    case MenuItem::LoadSnapshot:
        LoadSnapshot();
        break;
    case MenuItem::Exit:
        m_wizard.Exit();
        break;
    case MenuItem::Icons:
        m_window.SetListStyle(ListStyle::Icons);
        break;
    case MenuItem::List:
        m_window.SetListStyle(ListStyle::List);
        break;
    case MenuItem::Details:
        m_window.SetListStyle(ListStyle::Details);
        break;
    case MenuItem::FindFiles:
        FindFiles();
        break;
    case MenuItem::FileFilters:
        FileFilters();
        break;
    case MenuItem::Settings:
        Settings();
        break;
    case MenuItem::SaveReport:
        SaveReport();
        break;
    case MenuItem::OpenLog:
        m_window.ShowPlainMessage(m_session.browse.batchLog.empty() ? msg::kOpenLogText
                                                                    : std::string_view(m_session.browse.batchLog));
        break;
    case MenuItem::DriveInformation:
        ShowDriveInformation();
        break;
    case MenuItem::LiveUpdate:
        LiveUpdate();
        break;
    case MenuItem::Contents:
        Help();
        break;
    case MenuItem::About:
        m_window.ShowAbout(msg::kAboutText);
        break;
    case MenuItem::OpenDiskImage:
        m_wizard.OpenDiskImage();
        break;
    }
}

void BrowseCommands::ToolButton(int button)
{
    static constexpr MenuItem kButtons[] = {MenuItem::RecoverSelected, MenuItem::RecoverAll, MenuItem::SaveSnapshot,
                                            MenuItem::LoadSnapshot,    MenuItem::FindFiles,  MenuItem::Settings};
    if (button == 7) {
        LiveUpdate();
        return;
    }
    if (button < 1 || button > 6) {
        return;
    }
    const MenuItem item = kButtons[button - 1];
    if (m_session.browse.menuEnabled[static_cast<std::size_t>(item)]) {
        Command(item);
    }
}

void BrowseCommands::ContextCommand(ContextItem item)
{
    switch (item) {
    case ContextItem::Open:
        Open(0);
        break;
    case ContextItem::OpenWith:
        Open(1);
        break;
    case ContextItem::RecoverSelected:
        RecoverSelected();
        break;
    case ContextItem::RecoverAll:
        RecoverAll();
        break;
    case ContextItem::Icons:
        m_window.SetListStyle(ListStyle::Icons);
        break;
    case ContextItem::List:
        m_window.SetListStyle(ListStyle::List);
        break;
    case ContextItem::Details:
        m_window.SetListStyle(ListStyle::Details);
        break;
    case ContextItem::FindFiles:
        FindFiles();
        break;
    case ContextItem::Rename:
        StartRename();
        break;
    case ContextItem::Settings:
        Settings();
        break;
    case ContextItem::Properties:
        Properties();
        break;
    }
}

// ---- Open --------------------------------------------------------------------------------------

void BrowseCommands::Open(int openWith)
{
    if (!Browsing()) {
        return;
    }
    m_session.recoveryState.stopRequested = false;
    m_session.recoveryState.skipRequested = false;
    m_session.browse.openWith = openWith;
    if (m_session.browse.treeFocus) {
        EnterFolder(m_session.browse.selectedFolder);
        return;
    }
    const auto mark = m_window.ListSelectionMark();
    if (!mark || *mark >= m_session.browse.rows.size()) {
        return;
    }
    const ntfs::ListRow row = m_session.browse.rows[*mark];
    if (ntfs::IsFolderRowType(row.type)) {
        EnterFolder(ParseNumber<core::TreeItemId>(row.id).value_or(0));
        return;
    }
    OpenFile(row, openWith);
}

void BrowseCommands::OpenFile(const ntfs::ListRow& row, int openWith)
{
    const std::optional<std::filesystem::path> folder = platform::TemporaryFolder();
    if (!folder) {
        m_window.MessageBox(msg::kTemporaryFolderFailed, MessageKind::Error);
        return;
    }
    recovery::ExtractionContext context;
    context.volume = m_session.catalog.volumeParams;
    context.lastSector = m_session.catalog.volumeParams.endSector;
    context.mftMap = m_session.mftRunTable.Count() != 0 ? &m_session.mftRunTable : nullptr;
    recovery::Extractor extractor(m_session.disk, m_session.recoveryState, context);
    recovery::ExtractResult result;
    if (FatVolume()) {
        const auto serial = ParseNumber<std::uint32_t>(row.id);
        const auto position = serial ? m_session.catalog.FatFileWithSerial(*serial) : std::nullopt;
        if (!position) {
            return;
        }
        const catalog::FatFileEntry& entry = m_session.catalog.FatFiles()[*position];
        recovery::FatExtractRequest request;
        request.destinationFolder = *folder;
        request.entryKey = entry.serial;
        request.firstCluster = entry.cluster;
        request.size = entry.size;
        request.name = entry.name;
        request.deleted = static_cast<int>(entry.deleted);
        result = extractor.ExtractFatFile(request);
    } else {
        recovery::NtfsExtractRequest request;
        request.destinationFolder = *folder;
        request.name = row.name;
        request.size = ParseNumber<std::uint64_t>(row.size).value_or(0);
        request.recordSector = ParseNumber<core::Sector>(row.id).value_or(0);
        result = extractor.ExtractNtfsFile(request);
    }
    if (result.result == 1 && !result.path.empty()) {
        OpenExtractedFile(result.path, openWith);
    }
}

void BrowseCommands::OpenExtractedFile(const std::filesystem::path& file, int openWith)
{
    if (openWith == 1 || !m_window.OpenWithDefaultApplication(file)) {
        m_window.OpenWithChooser(file);
    }
}

// ---- Rename ------------------------------------------------------------------------------------

void BrowseCommands::StartRename()
{
    if (m_session.browse.treeFocus || !Browsing()) {
        return;
    }
    const auto mark = m_window.ListSelectionMark();
    if (!mark || *mark >= m_session.browse.rows.size()) {
        return;
    }
    m_session.browse.renameRow = *mark;
    m_session.browse.renameOldName = m_session.browse.rows[*mark].name;
    m_window.BeginRename(*mark);
}

void BrowseCommands::EndRename(std::optional<std::string> text)
{
    if (!m_session.browse.renameRow) {
        return;
    }
    const std::size_t index = *m_session.browse.renameRow;
    m_session.browse.renameRow.reset();
    if (index >= m_session.browse.rows.size()) {
        return;
    }
    std::string name = text.value_or(std::string());
    if (name.empty() || m_session.wizard.wizardStep != 3) {
        name = m_session.browse.renameOldName;
    }
    ntfs::ListRow& row = m_session.browse.rows[index];
    row.name = name;
    m_window.SetListRowName(index, name);

    catalog::Catalog& catalog = m_session.catalog;
    if (ntfs::IsFolderRowType(row.type)) {
        const auto item = ParseNumber<core::TreeItemId>(row.id);
        if (!item) {
            return;
        }
        m_window.SetTreeItemText(LeftTree::Folders, *item, name);
        if (FatVolume()) {
            if (const auto position = catalog.FatFolderWithTreeItem(*item)) {
                catalog.SetFatFolderName(*position, name);
            }
        } else if (const auto position = catalog.NtfsFolderWithTreeItem(*item)) {
            catalog.SetNtfsFolderName(*position, name);
        }
        return;
    }
    const ntfs::ShownVolume volume = Shown();
    const auto id = ParseNumber<std::uint64_t>(row.id);
    const auto position = id ? volume.FileWithId(*id) : std::nullopt;
    if (!position) {
        return;
    }
    switch (volume.Kind()) {
    case ntfs::ShownKind::FatLists:
        catalog.SetFatFileName(*position, name);
        break;
    case ntfs::ShownKind::MountedFound:
        catalog.SetFoundFileName(*position, name);
        break;
    case ntfs::ShownKind::NtfsLists:
        catalog.SetNtfsFileName(*position, name);
        break;
    case ntfs::ShownKind::None:
        break;
    }
}

// ---- Properties and Drive Information ----------------------------------------------------------

void BrowseCommands::Properties()
{
    const auto mark = m_window.ListSelectionMark();
    if (!Browsing() || !mark || *mark >= m_session.browse.rows.size()) {
        return;
    }
    const ntfs::ListRow& row = m_session.browse.rows[*mark];
    PropertiesInfo info{row.name, {}, {}, row.created, row.modified};
    if (!ntfs::IsFolderRowType(row.type)) {
        info.size = std::to_string(ParseNumber<std::uint64_t>(row.size).value_or(0) / 1024 + 1) +
                    std::string(msg::kSizeKbSuffix);
        m_window.ShowProperties(info);
        return;
    }
    const ntfs::ShownVolume shown = Shown();
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    std::uint64_t total = 0;
    std::vector<core::TreeItemId> pending{ParseNumber<core::TreeItemId>(row.id).value_or(0)};
    std::set<core::TreeItemId> visited;
    while (!pending.empty()) {
        const core::TreeItemId item = pending.back();
        pending.pop_back();
        const ntfs::TreeItem* node = m_session.folderTree->Find(item);
        if (node == nullptr || !visited.insert(item).second) {
            continue;
        }
        ++folders;
        pending.insert(pending.end(), node->children.rbegin(), node->children.rend());
        for (const std::size_t f : shown.FilesIn(shown.KeyOfTreeItem(item))) {
            ++files;
            total += shown.File(f).size;
        }
    }
    info.contains = std::to_string(files) + std::string(msg::kContainsFiles) +
                    std::to_string(folders > 0 ? folders - 1 : 0) + std::string(msg::kContainsFolders);
    const std::uint64_t megabytes = total / 1048576;
    info.size = (megabytes == 0 ? std::string(msg::kLessThanOne) : std::to_string(megabytes)) +
                std::string(msg::kSizeMbSuffix);
    m_window.ShowProperties(info);
}

void BrowseCommands::ShowDriveInformation()
{
    if (!Browsing()) {
        return;
    }
    const catalog::Catalog& catalog = m_session.catalog;
    const catalog::VolumeParams& volume = catalog.volumeParams;
    const bool fat = FatVolume();
    DriveInformation info;
    info.fileSystem = std::string(partitions::FsTypeName(volume.type));
    info.startSector = std::to_string(volume.clusterBase);
    info.directories = std::to_string(catalog.folderCount);
    info.files = std::to_string(AdvanceVolume() ? catalog.foundFileCount : catalog.fileCount);
    info.sectorsPerCluster = std::to_string(volume.sectorsPerCluster);
    info.firstFat = fat ? std::to_string(volume.fat1Start) : std::string(msg::kNotApplicable);
    info.secondFat = fat ? std::to_string(volume.fat2Start) : std::string(msg::kNotApplicable);
    info.mftStart = fat ? std::string(msg::kNotApplicable) : std::to_string(ntfs::MftSectorOf(volume.mftSector));
    m_window.ShowDriveInformation(info);
}

// ---- Help and Live Update ----------------------------------------------------------------------

void BrowseCommands::Help()
{
    const std::filesystem::path file = m_session.startupFolder / msg::kHelpFileName;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        m_window.MessageBox(msg::kHelpFileMissing, MessageKind::Error);
        return;
    }
    m_window.OpenHelpFile(file);
}

void BrowseCommands::LiveUpdate()
{
    const std::filesystem::path updater = m_session.startupFolder / msg::kUpdaterFileName;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(updater, ec)) {
        m_window.MessageBox(msg::kUpdaterMissing, MessageKind::Error);
        return;
    }
    if (m_window.MessageBox(msg::kUpdaterQuestion, MessageKind::Question) != Answer::Yes) {
        return;
    }
    m_window.StartProgram(updater, msg::kUpdaterParameter);
    if (!m_wizard.WorkerRunning()) {
        m_session.catalog.ClearFatLists();
        m_session.catalog.ClearNtfsLists();
        m_session.catalog.ClearSweepLists();
    }
    m_window.EndProgram();
}

// ---- recovery ----------------------------------------------------------------------------------

void BrowseCommands::RecoverSelected() { RunRecovery(false); }

void BrowseCommands::RecoverAll() { RunRecovery(true); }

void BrowseCommands::RunRecovery(bool all)
{
    if (!Browsing()) {
        return;
    }
    const catalog::Catalog& catalog = m_session.catalog;
    const ntfs::ShownVolume volume = Shown();
    recovery::BatchSelection selection;
    selection.all = all;
    if (!all) {
        for (const std::size_t index : m_window.SelectedListRows()) {
            if (index >= m_session.browse.rows.size()) {
                continue;
            }
            const ntfs::ListRow& row = m_session.browse.rows[index];
            std::optional<std::size_t> position;
            if (ntfs::IsFolderRowType(row.type)) {
                const auto item = ParseNumber<core::TreeItemId>(row.id).value_or(0);
                position = volume.FolderWithTreeItem(item);
                if (position) {
                    selection.folders.push_back(*position);
                }
                continue;
            }
            const auto id = ParseNumber<std::uint64_t>(row.id);
            if (!id) {
                continue;
            }
            position = volume.FileWithId(*id);
            if (position) {
                selection.files.push_back(*position);
            }
        }
        if (selection.folders.empty() && selection.files.empty()) {
            return;
        }
    }
    const auto destination = m_window.ChooseFolder();
    if (!destination || destination->empty()) {
        return;
    }
    recovery::RecoveryState& state = m_session.recoveryState;
    state.stopRequested = false;
    state.skipRequested = false;
    state.filesSaved = 0;

    recovery::ExtractionContext context;
    context.volume = catalog.volumeParams;
    context.lastSector = catalog.volumeParams.endSector;
    context.mftMap = m_session.mftRunTable.Count() != 0 ? &m_session.mftRunTable : nullptr;
    context.settings = m_session.recoverySettings;
    context.admit = ListingAdmitter(m_session);
    context.askContinue = [this](std::string_view message) {
        return m_window.AskFromWorker(message, MessageKind::Question) == Answer::Yes;
    };
    context.sink = &m_window.OpenSaveProgress(state);
    // Hashed while written: the per-file report may be asked for once the batch has ended.
    context.hashOutput = true;
    auto extractor = std::make_shared<recovery::Extractor>(m_session.disk, state, std::move(context));
    // Menu state 0 while the copy runs: nothing else may read the disk or change the catalog.
    SetMenuState(m_window, m_session.browse, 0, m_session.wizard.wizardStep);
    ShowAndEnable(m_window, ctl::kBack, false);
    // Filled on the worker, read on the window's thread once the worker has ended.
    auto report = std::make_shared<BatchOutcome>();
    m_window.StartWorker(
        [this, extractor, volume, selection, report, target = *destination] {
            core::RunGuardedAgainstOom(
                [&] {
                    report->summary = recovery::RecoverBatch(
                        *extractor, m_session.recoveryState, volume, selection, target,
                        [&report](const recovery::BatchEvent& event) {
                            report->report.Add(event);
                            report->files.Add(event);
                        });
                    report->log = report->report.Text(target, report->summary);
                },
                [this](std::string_view text) { m_window.AskFromWorker(text, MessageKind::Error); });
        },
        [this, report] {
            m_window.CloseSaveProgress();
            m_session.browse.batchReport = std::move(report->files);
            SetMenuState(m_window, m_session.browse, 3, m_session.wizard.wizardStep);
            ShowAndEnable(m_window, ctl::kBack, m_session.browse.backOffered);
            ShowBatchOutcome(*report);
        });
}

void BrowseCommands::ShowBatchOutcome(const BatchOutcome& outcome)
{
    // A batch written whole shows nothing, as always; its report stays in the Recovery menu.
    if (outcome.summary.AllWrittenWhole()) {
        m_session.browse.batchLog.clear();
        return;
    }
    m_session.browse.batchLog = outcome.log;
    std::string text(msg::kBatchNotWhole);
    text += recovery::SummaryText(outcome.summary);
    switch (m_window.OfferReport(text)) {
    case BatchSummaryChoice::OpenLog:
        m_window.ShowPlainMessage(m_session.browse.batchLog);
        break;
    case BatchSummaryChoice::SaveReport:
        SaveReport();
        break;
    case BatchSummaryChoice::Close:
        break;
    }
}

void BrowseCommands::SaveReport()
{
    if (m_session.browse.batchReport.Empty()) {
        return;
    }
    const auto chosen = m_window.AskReportFileName();
    if (!chosen || chosen->empty()) {
        return;
    }
    if (!m_session.browse.batchReport.Save(*chosen)) {
        std::string text(msg::kReportNotSaved);
        text += *chosen;
        m_window.MessageBox(text, MessageKind::Error);
    }
}

// ---- snapshots ---------------------------------------------------------------------------------

void BrowseCommands::SaveSnapshot()
{
    if (!Browsing()) {
        return;
    }
    const auto chosen = m_window.AskSaveFileName(msg::kSnapshotPattern);
    if (!chosen || chosen->empty()) {
        return;
    }
    // The file written is the chosen name with ".QDN" appended unless it ends so already: that
    // file, not the one the dialog was shown, is the one asked about.
    const std::string target = snapshot::SnapshotFileName(*chosen);
    std::error_code ec;
    if (std::filesystem::symlink_status(target, ec).type() != std::filesystem::file_type::not_found && !ec) {
        std::string question(msg::kReplaceFilePrefix);
        question += target;
        question += msg::kReplaceFileSuffix;
        if (m_window.MessageBox(question, MessageKind::Question) != Answer::Yes) {
            return;
        }
    }
    const snapshot::SaveResult result = snapshot::SaveSnapshot(m_session.catalog, *chosen);
    if (result.outcome != snapshot::SaveOutcome::Saved) {
        m_window.MessageBox(result.message, MessageKind::Error);
    }
}

void BrowseCommands::LoadSnapshot()
{
    const int step = m_session.wizard.wizardStep;
    if ((step != 1 && step != 2) || m_wizard.WorkerRunning()) {
        return;
    }
    const auto chosen = m_window.AskOpenFileName(msg::kSnapshotOpenPatterns);
    if (!chosen || chosen->empty()) {
        return;
    }
    const snapshot::LoadResult result = snapshot::LoadSnapshot(*chosen, m_session.catalog);
    if (result.outcome != snapshot::LoadOutcome::Loaded) {
        m_window.MessageBox(result.message, MessageKind::Error);
        return;
    }

    m_window.ShowTree(LeftTree::Partitions, false);
    m_window.EnableTree(LeftTree::Partitions, false);
    if (m_session.fileSystemTree) {
        m_window.ShowTree(LeftTree::FileSystems, false);
        m_window.EnableTree(LeftTree::FileSystems, false);
    }
    ShowAndEnable(m_window, ctl::kSearchPartitions, false);
    ShowAndEnable(m_window, ctl::kBack, false);
    ShowAndEnable(m_window, ctl::kNext, false);
    SetLabels(m_window, 2, m_session.catalog.volumeParams.type);
    SetMenuState(m_window, m_session.browse, 0, step);

    m_session.folderTree.emplace();
    snapshot::FinishOptions options;
    options.scanMethod = m_session.wizard.scanMethod;
    options.admit = ListingAdmitter(m_session);
    options.describe = ListingDescriber();
    ControlSink sink(m_window);
    m_session.upCase.reset();
    snapshot::FinishResult finished = core::RunGuardedAgainstOom(
        [&] {
            snapshot::FinishResult done = snapshot::FinishSnapshotLoad(
                m_session.disk, m_session.catalog, m_session.mftRunTable, *m_session.folderTree, sink, options);
            // With the snapshot's drive at hand its volume's $UpCase table is read as after a scan.
            TakeVolumeUpCase(m_session, done.rootRows);
            return done;
        },
        [this](std::string_view text) { m_window.MessageBox(text, MessageKind::Error); });

    m_session.wizard.wizardStep = 3;
    m_session.catalog.scanStopFlag.Clear();
    SetLabels(m_window, kLabelSetBrowse);
    ShowAndEnable(m_window, ctl::kStop, false);
    ShowView(m_window, m_session, 2, ViewDirection::Forward);
    if (FatVolume()) {
        ShowView(m_window, m_session, 3, ViewDirection::Forward);
    }
    m_window.RebuildTree(LeftTree::Folders, TreeModelOf(*m_session.folderTree));
    m_window.ShowTree(LeftTree::Folders, true);
    m_window.EnableTree(LeftTree::Folders, true);
    m_window.ShowControl(ctl::kList, true);
    m_window.SetProgressPosition(0);
    m_window.ShowControl(ctl::kProgress, false);
    SetMenuState(m_window, m_session.browse, 3, 3);
    m_session.browse.treeFocus = false;
    ShowRows(finished.rootRows);
    // A loaded catalog has no scan to go back to.
    m_session.browse.backOffered = false;
    m_window.SetControlText(ctl::kQuickHelp, QuickHelp(3));
}

// ---- dialogs -----------------------------------------------------------------------------------

void BrowseCommands::Settings()
{
    if (m_wizard.WorkerRunning() || !m_session.browse.menuEnabled[static_cast<std::size_t>(MenuItem::Settings)]) {
        return;
    }
    const recovery::SettingsChoice current =
        recovery::ChoiceFromSettings(m_session.disk, m_session.recoverySettings);
    if (const auto choice = m_window.AskRecoverySettings(current)) {
        recovery::ApplyChoice(*choice, m_session.disk, m_session.recoverySettings);
    }
}

void BrowseCommands::FileFilters()
{
    if (!Browsing()) {
        return;
    }
    FileFiltersDialog dialog(m_session, m_window);
    m_window.RunFiltersDialog(dialog);
    // "&Close": the root listed again so that the changed filters show at once.
    const core::TreeItemId root = ntfs::FolderTree().Root();
    m_window.SetFocus(Pane::Tree);
    m_window.SelectTreeItem(LeftTree::Folders, root);
    m_session.browse.treeFocus = true;
    m_session.browse.selectedFolder = root;
    ShowRows(ListFolder(root));
}

void BrowseCommands::FindFiles()
{
    if (!Browsing()) {
        return;
    }
    FindFilesDialog dialog(m_session, m_window);
    m_window.RunFindDialog(dialog);
}

}  // namespace shell
