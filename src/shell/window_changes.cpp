// Label sets, menu states, pane changes, column sets and tree models of the main window.
#include "shell/window_changes.h"

#include <array>
#include <string>

#include "core/messages.h"
#include "platform/file_types.h"
#include "recovery/upcase_reader.h"

namespace shell {

namespace {

using namespace core::msg;

struct LabelSet
{
    int set;
    std::array<std::string_view, ctl::kPanelRows> labels;  // empty: row hidden
    bool statusShown;
};

constexpr std::array<LabelSet, 6> kLabelSets = {{
    {0, {kModelLabel, kCapacityLabel, kCylindersLabel, kHeadLabel, kSectorsPerTrackLabel}, false},
    {1, {kPartitionTypeLabel, kPartitionStartLabel, kPartitionEndLabel, kPartitionSizeLabel, {}}, false},
    {2, {kFoldersFoundLabel, kFilesFoundLabel, kCurrentSectorLabel, kLastFileFolderLabel, {}}, true},
    {3,
     {kBootSectorsFoundLabel, kIndexEntriesFoundLabel, kSweepFilesFoundLabel, kSweepFoldersFoundLabel,
      kSweepCurrentSectorLabel},
     true},
    {4, {kFileSystemStartLabel, kSectorsPerClusterLabel, kMftStartLabel, kMftMirrorStartLabel, kFileSystemSizeLabel},
     true},
    {kLabelSetBrowse, {}, false},
}};

void Show(MainWindow& window, int id, bool on)
{
    window.ShowControl(id, on);
    window.EnableControl(id, on);
}

void ShowFileSystemGroup(MainWindow& window, bool visible)
{
    for (const int id : ctl::kFileSystemGroup) {
        window.ShowControl(id, visible);
    }
}

void ShowScanMethodControls(MainWindow& window, bool visible)
{
    for (const int id : {ctl::kAdvanceScan, ctl::kStandardScan, ctl::kScanTypeCaption, ctl::kScanTypeFrame}) {
        window.ShowControl(id, visible);
    }
}

void EmptyList(MainWindow& window, Session& session)
{
    session.browse.rows.clear();
    session.browse.renameRow.reset();
    window.SetListRows(session.browse.rows);
}

void DetailsOnly(MainWindow& window, Session& session)
{
    EmptyList(window, session);
    window.SetListColumns(DetailsColumns());
}

// The presets of the file-system group when the partition step opens with the Advance Scan.
void PresetRange(MainWindow& window, const Session& session)
{
    if (session.partitionList.partitionCount > 0) {
        const partitions::PartitionRecord& first = session.partitionList.records[0];
        // A GPT record holding no FAT or NTFS volume presets NTFS, the file system the sweep looks for.
        window.SelectListEntry(ctl::kFileSystemList,
                               first.fsType >= core::kFsFat16 ? first.fsType / 100 - 1 : kFileSystemEntryNtfs);
        window.SetControlText(ctl::kStartSectorBox, std::to_string(first.startSector));
        window.SetControlText(ctl::kEndSectorBox,
                              std::to_string(std::uint64_t{first.startSector} + first.sectorCount));
    } else {
        const disk::DriveSlot& slot = session.driveTable.slots[session.disk.selectedDrive % disk::kDriveSlots];
        window.SelectListEntry(ctl::kFileSystemList, kFileSystemEntryFat32);
        window.SetControlText(ctl::kStartSectorBox, "0");
        window.SetControlText(ctl::kEndSectorBox, std::to_string(slot.totalSectors));
    }
}

void ShowViewForward(MainWindow& window, Session& session, int transition)
{
    const bool advance = session.wizard.scanMethod == kAdvanceScan;
    switch (transition) {
    case 1:
        window.ShowTree(LeftTree::Drives, false);
        window.EnableTree(LeftTree::Drives, false);
        EmptyList(window, session);
        ShowScanMethodControls(window, false);
        Show(window, ctl::kSearchPartitions, true);
        Show(window, ctl::kBack, true);
        window.ShowControl(ctl::kScanTypeHelp, false);
        if (advance) {
            ShowFileSystemGroup(window, true);
            window.ShowControl(ctl::kRangeHelp, true);
            PresetRange(window, session);
            Show(window, ctl::kNext, true);
        }
        break;
    case 2:
        window.ShowTree(LeftTree::Partitions, false);
        window.EnableTree(LeftTree::Partitions, false);
        window.ShowTree(LeftTree::Folders, true);
        window.EnableTree(LeftTree::Folders, false);
        EmptyList(window, session);
        window.SetListColumns(BrowseColumns(true));
        break;
    case 3:
        ShowFileSystemGroup(window, false);
        window.SetControlText(ctl::kStatus, "");
        window.SetControlText(ctl::PanelValueId(1), "");
        window.SetProgressPosition(0);
        window.ShowControl(ctl::kProgress, false);
        Show(window, ctl::kSearchPartitions, false);
        window.EnableTree(LeftTree::Partitions, false);
        window.ShowControl(ctl::kRangeHelp, false);
        break;
    case 4:
        window.ShowControl(ctl::PanelLabelId(1), false);
        window.SetControlText(ctl::PanelValueId(1), "");
        window.SetControlText(ctl::kStatus, "");
        EmptyList(window, session);
        Show(window, ctl::kBack, true);
        window.ShowTree(LeftTree::Partitions, false);
        window.ShowTree(LeftTree::FileSystems, true);
        window.SetProgressPosition(0);
        window.ShowControl(ctl::kProgress, false);
        break;
    case 5:
        window.ShowTree(LeftTree::Partitions, false);
        window.EnableTree(LeftTree::Partitions, false);
        window.ShowTree(LeftTree::Folders, true);
        window.EnableTree(LeftTree::Folders, false);
        window.ShowTree(LeftTree::FileSystems, false);
        window.EnableTree(LeftTree::FileSystems, false);
        EmptyList(window, session);
        window.SetListColumns(BrowseColumns(false));
        break;
    default:
        break;
    }
}

void ShowViewBack(MainWindow& window, Session& session, int transition)
{
    const bool advance = session.wizard.scanMethod == kAdvanceScan;
    switch (transition) {
    case 1:
        window.ShowTree(LeftTree::Drives, true);
        window.EnableTree(LeftTree::Drives, true);
        window.ShowTree(LeftTree::Partitions, false);
        window.EnableTree(LeftTree::Partitions, false);
        EmptyList(window, session);
        ShowScanMethodControls(window, true);
        Show(window, ctl::kSearchPartitions, false);
        Show(window, ctl::kBack, false);
        window.ShowControl(ctl::kScanTypeHelp, true);
        if (advance) {
            ShowFileSystemGroup(window, false);
            window.ShowControl(ctl::kRangeHelp, false);
        }
        break;
    case 2:
        window.ShowTree(LeftTree::Partitions, true);
        window.EnableTree(LeftTree::Partitions, true);
        window.ShowTree(LeftTree::Folders, false);
        Show(window, ctl::kSearchPartitions, true);
        DetailsOnly(window, session);
        break;
    case 5:
        window.ShowTree(LeftTree::Folders, false);
        window.ShowTree(LeftTree::FileSystems, true);
        window.EnableTree(LeftTree::FileSystems, true);
        session.catalog.ClearFatLists();
        window.DestroyTree(LeftTree::Folders);
        session.folderTree.reset();
        DetailsOnly(window, session);
        break;
    case 8:
        window.ShowTree(LeftTree::Partitions, true);
        window.EnableTree(LeftTree::Partitions, true);
        Show(window, ctl::kSearchPartitions, true);
        window.ShowControl(ctl::kRangeHelp, true);
        DetailsOnly(window, session);
        ShowFileSystemGroup(window, true);
        Show(window, ctl::kNext, true);
        break;
    default:
        break;
    }
}

}  // namespace

void SetLabels(MainWindow& window, int set, core::FsTypeCode scanType)
{
    for (const LabelSet& labels : kLabelSets) {
        if (labels.set != set) {
            continue;
        }
        for (int row = 1; row <= ctl::kPanelRows; ++row) {
            const std::string_view label = labels.labels[static_cast<std::size_t>(row - 1)];
            const bool shown = !label.empty();
            window.SetControlText(ctl::PanelLabelId(row), label);
            window.SetControlText(ctl::PanelValueId(row), set == 3 && row <= 4 ? "0" : "");
            window.ShowControl(ctl::PanelLabelId(row), shown);
            window.ShowControl(ctl::PanelValueId(row), shown);
        }
        window.SetControlText(ctl::kStatus, set == 2 && scanType != core::kFsNtfs ? kMountingVolume : "");
        window.ShowControl(ctl::kStatus, labels.statusShown);
        return;
    }
}

void SetMenuState(MainWindow& window, BrowseState& browse, int state, int wizardStep)
{
    const auto set = [&](MenuItem item, bool enabled) {
        browse.menuEnabled[static_cast<std::size_t>(item)] = enabled;
        window.SetMenuItemEnabled(item, enabled);
    };
    const bool browsing = state == 3;
    for (const MenuItem item : {MenuItem::RecoverSelected, MenuItem::RecoverAll, MenuItem::SaveSnapshot,
                                MenuItem::Icons, MenuItem::List, MenuItem::Details, MenuItem::FindFiles,
                                MenuItem::FileFilters, MenuItem::DriveInformation}) {
        set(item, browsing);
    }
    set(MenuItem::LoadSnapshot, state == 1 || state == 2);
    set(MenuItem::Settings, state != 0 || wizardStep == 0);
    set(MenuItem::OpenDiskImage, state == 0 && wizardStep == 0);
    set(MenuItem::SaveReport, state != 0 && !browse.batchReport.Empty());
    for (const MenuItem item : {MenuItem::Exit, MenuItem::OpenLog, MenuItem::LiveUpdate, MenuItem::Contents,
                                MenuItem::About}) {
        set(item, true);
    }
}

void ShowView(MainWindow& window, Session& session, int transition, ViewDirection direction)
{
    if (direction == ViewDirection::Forward) {
        ShowViewForward(window, session, transition);
    } else {
        ShowViewBack(window, session, transition);
    }
}

std::string_view QuickHelp(int step)
{
    switch (step) {
    case 0:
        return kQuickHelpStep0;
    case 1:
        return kQuickHelpStep1;
    case 2:
        return kQuickHelpStep2;
    case 3:
        return kQuickHelpStep3;
    default:
        return {};
    }
}

std::vector<ListColumn> BrowseColumns(bool sizeRightAligned)
{
    return {{"Name", 150, false},    {"Type", 100, false},    {"Size", 70, sizeRightAligned},
            {"Created", 100, false}, {"Modified", 70, false}, {"ID", 70, false},
            {std::string(core::msg::kColumnRecoverable), 80, true}};
}

std::vector<ListColumn> DetailsColumns() { return {{std::string(kDetailsColumn), 500, false}}; }

TreeModel TreeModelOf(const disk::DriveTree& tree)
{
    TreeModel model;
    model.reserve(tree.items.size() + 1);
    model.push_back({1, 0, tree.rootText, ntfs::kTreeImageRoot, ntfs::kTreeImageRoot, tree.rootExpanded});
    for (std::size_t i = 0; i < tree.items.size(); ++i) {
        model.push_back({DriveItemId(i), 1, tree.items[i], ntfs::kTreeImageDevice, ntfs::kTreeImageDevice, false});
    }
    return model;
}

TreeModel TreeModelOf(const partitions::PartitionTree& tree)
{
    TreeModel model;
    model.reserve(tree.Items().size());
    for (const partitions::PartitionTreeItem& item : tree.Items()) {
        const bool root = item.id == tree.Root();
        model.push_back({item.id, root ? 0 : tree.Root(), item.text,
                         root ? ntfs::kTreeImageDevice : ntfs::kTreeImagePartition,
                         root ? ntfs::kTreeImageDevice : ntfs::kTreeImagePartition, root && tree.RootExpanded()});
    }
    return model;
}

TreeModel TreeModelOf(const ntfs::FolderTree& tree)
{
    TreeModel model;
    model.reserve(tree.Size());
    // Ids are given in insertion order and a child is inserted after its parent, so walking the
    // ids in order lists every parent before its children.
    for (core::TreeItemId id = 1; id <= tree.Size(); ++id) {
        const ntfs::TreeItem* item = tree.Find(id);
        if (item != nullptr) {
            model.push_back({item->id, item->parent, item->text, item->image, item->selectedImage, item->expanded,
                             item->deleted});
        }
    }
    return model;
}

ntfs::NameAdmitter ListingAdmitter(const Session& session)
{
    // The table is looked up at each call: a scan reads it only after its walk.
    return [&session](std::string_view name) {
        return AdmitByFilters(session.filterPatterns, name, session.upCase ? &*session.upCase : nullptr);
    };
}

ntfs::TypeDescriber ListingDescriber()
{
    return [](std::string_view name) { return platform::FileTypeDescription(name); };
}

void TakeVolumeUpCase(Session& session, std::vector<ntfs::ListRow>& rootRows)
{
    session.upCase = recovery::ReadVolumeUpCase(session.disk, session.catalog.volumeParams, session.mftRunTable);
    if (!session.upCase || session.filterPatterns.Count() == 0) {
        return;
    }
    const ntfs::ShownVolume shown(session.catalog, ntfs::ShownKindOf(session.catalog.volumeParams.type,
                                                                     session.wizard.scanMethod == kAdvanceScan));
    if (shown.Kind() != ntfs::ShownKind::None) {
        rootRows = ntfs::ListShownFolder(shown, shown.RootKey(), ListingAdmitter(session), ListingDescriber());
    }
}

void ControlSink::Status(std::string_view text) { m_window.SetControlText(ctl::kStatus, text); }

void ControlSink::Progress(int percent) { m_window.SetProgressPosition(percent); }

void ControlSink::PanelValue(int row, std::string_view text)
{
    if (row >= 1 && row <= ctl::kPanelRows) {
        m_window.SetControlText(ctl::PanelValueId(row), text);
    }
}

}  // namespace shell
