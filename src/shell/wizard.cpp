// The wizard's state machine over the session and the main window.
#include "shell/wizard.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

#include "advscan/advance_scan.h"
#include "advscan/analysis.h"
#include "advscan/mount.h"
#include "core/messages.h"
#include "core/out_of_memory.h"
#include "disk/bios_loader.h"
#include "disk/system_drive_probe.h"
#include "partitions/partition_select.h"
#include "partitions/partition_table.h"
#include "partitions/quick_search.h"
#include "platform/os_identity.h"
#include "platform/shared_library.h"
#include "recovery/recovery_settings.h"
#include "shell/elevation.h"
#include "shell/window_changes.h"

namespace shell {

namespace msg = core::msg;

namespace {

void ShowAndEnable(MainWindow& window, int id, bool on)
{
    window.ShowControl(id, on);
    window.EnableControl(id, on);
}

}  // namespace

// ---- start-up ----------------------------------------------------------------------------------

Wizard::StartOutcome Wizard::Start()
{
    if (m_session.startupFolder.empty()) {
        std::error_code ec;
        m_session.startupFolder = std::filesystem::current_path(ec);
    }

    const int platformId = m_session.platformId != 0 ? m_session.platformId : platform::QueryPlatformId();
    m_session.disk.accessMode = platform::AccessModeFor(platformId);
    m_session.wizard.wizardStep = -1;
    m_session.driveTree = disk::DriveTree{};
    m_window.RebuildTree(LeftTree::Drives, TreeModelOf(m_session.driveTree));
    if (!m_session.probe) {
        m_session.probe = std::make_unique<disk::SystemDriveProbe>(m_session.images, m_session.discoveryRoots);
    }
    if (m_session.disk.accessMode == 'F') {
        std::vector<std::string> paths;
        if (const auto* system = dynamic_cast<const disk::SystemDriveProbe*>(m_session.probe.get())) {
            paths = system->DevicePaths();
        }
        const auto dir =
            m_session.biosDir.empty() ? platform::PrivateLibraryDirectory(disk::kVexaFileName) : m_session.biosDir;
        const auto outcome = disk::LoadBiosLibraries(dir, paths, m_session.bios);
        if (outcome != disk::BiosLoadOutcome::Loaded) {
            m_fatal = std::string(disk::BiosLoadMessage(outcome));
            return StartOutcome::LibraryFatal;
        }
        m_session.disk.bios = &m_session.bios.entries;
    }
    m_session.wizard.wizardStep = 0;
    Enumerate();

    m_window.ShowControl(ctl::kSearchPartitions, false);
    for (const int id : ctl::kFileSystemGroup) {
        m_window.ShowControl(id, false);
    }
    m_window.ShowControl(ctl::kRangeHelp, false);
    m_window.ShowControl(ctl::kList, false);
    m_window.SetListColumns(DetailsColumns());
    SetLabels(m_window, 0);
    SetQuickHelp(QuickHelp(0));

    m_window.CheckControl(ctl::kStandardScan, true);
    m_window.CheckControl(ctl::kAdvanceScan, false);
    m_session.wizard.scanMethod = kStandardScan;
    m_window.ShowControl(ctl::kProgress, false);
    ShowAndEnable(m_window, ctl::kBack, false);
    ShowAndEnable(m_window, ctl::kNext, false);
    ShowAndEnable(m_window, ctl::kStop, false);
    recovery::SetDefaultSettings(m_session.disk, m_session.recoverySettings);
    SetMenuState(0);
    return StartOutcome::Ready;
}

void Wizard::Enumerate()
{
    m_session.driveTable = disk::DriveTable{};
    m_session.driveTree = disk::DriveTree{};
    if (m_session.disk.accessMode == 'F' && m_session.disk.bios != nullptr) {
        disk::EnumerateDrivesBios(m_session.driveTable, m_session.driveTree, m_session.bios.entries);
    } else {
        disk::EnumerateDrives(m_session.driveTable, m_session.driveTree, *m_session.probe);
    }
    m_window.RebuildTree(LeftTree::Drives, TreeModelOf(m_session.driveTree));
    m_window.ShowTree(LeftTree::Drives, true);
    m_window.EnableTree(LeftTree::Drives, true);
}

void Wizard::OpenDiskImage()
{
    if (m_session.wizard.wizardStep != 0 || m_workerRunning || m_session.disk.accessMode != 'N') {
        return;
    }
    const auto chosen = m_window.AskOpenFileName(msg::kDiskImagePatterns);
    if (!chosen || chosen->empty()) {
        return;
    }
    m_session.images.push_back(*chosen);
    m_session.probe = std::make_unique<disk::SystemDriveProbe>(m_session.images, m_session.discoveryRoots);
    m_session.disk.selectedDrive = 0;
    Enumerate();
    SetLabels(m_window, 0);
    OfferNext(false);
}

// ---- small helpers -----------------------------------------------------------------------------

void Wizard::SetQuickHelp(std::string_view text) { m_window.SetControlText(ctl::kQuickHelp, text); }

void Wizard::SetMenuState(int state)
{
    shell::SetMenuState(m_window, m_session.browse, state, m_session.wizard.wizardStep);
}

void Wizard::OfferNext(bool offered) { ShowAndEnable(m_window, ctl::kNext, offered); }

void Wizard::RebuildPartitionTree()
{
    if (m_session.partitionTree) {
        m_window.RebuildTree(LeftTree::Partitions, TreeModelOf(*m_session.partitionTree));
    }
}

void Wizard::ShowFromWorker(std::string_view text) { m_window.AskFromWorker(text, MessageKind::Error); }

void Wizard::RunWorker(std::function<void()> work, std::function<void()> onEnd)
{
    m_workerRunning = true;
    m_window.StartWorker(
        [this, work = std::move(work)] {
            core::RunGuardedAgainstOom(work, [this](std::string_view text) { ShowFromWorker(text); });
        },
        [this, onEnd = std::move(onEnd)] {
            m_workerRunning = false;
            onEnd();
        });
}

void Wizard::ChooseStandardScan()
{
    if (m_session.wizard.wizardStep == 0) {
        m_session.wizard.scanMethod = kStandardScan;
    }
}

void Wizard::ChooseAdvanceScan()
{
    if (m_session.wizard.wizardStep == 0) {
        m_session.wizard.scanMethod = kAdvanceScan;
    }
}

// ---- selections in the trees -------------------------------------------------------------------

void Wizard::SelectDriveItem(core::TreeItemId item)
{
    if (m_session.wizard.wizardStep != 0 || item < DriveItemId(0)) {
        return;
    }
    const std::size_t index = item - DriveItemId(0);
    if (index >= m_session.driveTree.items.size()) {
        return;
    }
    const auto drive = disk::SelectedDriveFromItem(m_session.driveTree.items[index]);
    if (!drive) {
        return;
    }
    m_session.disk.selectedDrive = *drive;
    m_window.SelectTreeItem(LeftTree::Drives, item);
    if (const auto info = disk::ShowDriveInfo(m_session.driveTable, *drive)) {
        const std::string* values[] = {&info->model, &info->capacity, &info->cylinders, &info->head,
                                       &info->sectorsPerTrack};
        for (int row = 1; row <= ctl::kPanelRows; ++row) {
            m_window.SetControlText(ctl::PanelValueId(row), *values[row - 1]);
        }
    }
    OfferNext(true);
}

void Wizard::SelectPartitionItem(core::TreeItemId item)
{
    if (m_session.wizard.wizardStep != 1 || m_workerRunning || !m_session.partitionTree) {
        return;
    }
    const disk::DriveSlot& slot = m_session.driveTable.slots[m_session.disk.selectedDrive % disk::kDriveSlots];
    const auto selection =
        partitions::SelectPartition(*m_session.partitionTree, m_session.partitionList, item,
                                    m_session.wizard.scanMethod == kAdvanceScan, slot.totalSectors,
                                    m_session.catalog.scanTarget);
    if (!selection) {
        return;
    }
    m_window.SelectTreeItem(LeftTree::Partitions, item);
    m_window.SelectListEntry(ctl::kFileSystemList, static_cast<int>(selection->fileSystemListIndex));
    m_window.SetControlText(ctl::kStartSectorBox, selection->startSectorText);
    m_window.SetControlText(ctl::kEndSectorBox, selection->endSectorText);
    for (int row = 1; row <= static_cast<int>(selection->info.size()); ++row) {
        m_window.SetControlText(ctl::PanelValueId(row), selection->info[static_cast<std::size_t>(row - 1)].value);
    }
    OfferNext(true);
}

void Wizard::SelectFileSystem(core::TreeItemId item)
{
    if (m_session.wizard.wizardStep != 2 || m_workerRunning) {
        return;
    }
    m_session.browse.rows.clear();
    m_window.SetListRows(m_session.browse.rows);
    SetLabels(m_window, 4);
    ControlSink sink(m_window);
    if (!advscan::SelectFileSystem(m_session.catalog, item, sink)) {
        return;
    }
    m_window.SelectTreeItem(LeftTree::FileSystems, item);
    OfferNext(true);
}

// ---- Next --------------------------------------------------------------------------------------

void Wizard::Next()
{
    if (m_workerRunning) {
        return;
    }
    m_session.filterPatterns.Clear();
    OfferNext(false);
    switch (m_session.wizard.wizardStep) {
    case 0:
        NextFromDriveStep();
        break;
    case 1:
        if (m_session.wizard.scanMethod == kAdvanceScan) {
            NextAdvanceScan();
        } else {
            NextStandardScan();
        }
        break;
    case 2:
        NextMount();
        break;
    default:
        break;
    }
}

void Wizard::NextFromDriveStep()
{
    const disk::OpenDriveOutcome opened =
        disk::OpenSelectedDrive(m_session.disk, m_session.driveTable, *m_session.probe);
    if (!opened.opened) {
        // The drive step stays, with the reason (and for missing rights, the remedy). When
        // pkexec can give the rights, the wizard offers to start again with them.
        if (opened.needsRights && m_session.elevationProgram) {
            const std::string question = opened.reason + std::string(msg::kRestartWithRightsQuestion);
            if (m_window.MessageBox(question, MessageKind::Question) == Answer::Yes &&
                m_window.StartDetached(ElevatedRestartCommand(*m_session.elevationProgram, m_session.programPath,
                                                              m_session.images, &std::getenv))) {
                m_window.EndProgram();
                return;
            }
        } else {
            m_window.MessageBox(opened.reason, MessageKind::Error);
        }
        OfferNext(true);
        return;
    }
    m_session.partitionTree.emplace(m_session.disk.selectedDrive);
    m_session.wizard.wizardStep = 1;
    const partitions::TablesWalk walk =
        partitions::WalkPartitionTables(m_session.disk, m_session.partitionList, *m_session.partitionTree);
    RebuildPartitionTree();
    m_window.ShowTree(LeftTree::Partitions, true);
    m_window.EnableTree(LeftTree::Partitions, true);
    ShowView(m_window, m_session, 1, ViewDirection::Forward);
    SetMenuState(1);
    SetLabels(m_window, 1);
    SetQuickHelp(QuickHelp(1));
    if (walk.gptBackupSector) {
        m_window.SetControlText(ctl::kStatus, partitions::GptBackupNote(*walk.gptBackupSector));
        m_window.ShowControl(ctl::kStatus, true);
    }
    if (m_session.partitionList.partitionCount == 0) {
        m_window.MessageBox(msg::kNoPartitionsQuickSearch, MessageKind::Error);
        StartQuickSearch();
    }
}

void Wizard::NextStandardScan()
{
    if (const std::string_view why = SelectedRecordRefusal(); !why.empty()) {
        // Next stays hidden until another partition is selected.
        m_window.MessageBox(why, MessageKind::Error);
        return;
    }
    if (m_session.catalog.scanTarget.scanType != core::kFsNtfs) {
        // Next stays hidden until another partition is selected.
        m_window.MessageBox(msg::kFatPartitionStandard, MessageKind::Error);
        return;
    }
    SetQuickHelp(msg::kQuickHelpStandardScan);
    m_session.folderTree.emplace();
    m_window.RebuildTree(LeftTree::Folders, TreeModelOf(*m_session.folderTree));
    StartStandardScan();
}

std::string_view Wizard::SelectedRecordRefusal() const
{
    const partitions::PartitionRecord* record =
        partitions::SelectedRecord(m_session.partitionList, m_session.catalog.scanTarget);
    return record != nullptr ? partitions::NoScanMessage(record->content) : std::string_view{};
}

void Wizard::NextAdvanceScan()
{
    // An encrypted volume holds nothing a sweep could find; other partitions may be swept.
    if (const partitions::PartitionRecord* record =
            partitions::SelectedRecord(m_session.partitionList, m_session.catalog.scanTarget);
        record != nullptr && record->content == partitions::PartitionContent::BitLocker) {
        m_window.MessageBox(partitions::NoScanMessage(record->content), MessageKind::Error);
        OfferNext(true);
        return;
    }
    const int index = m_window.SelectedListEntry(ctl::kFileSystemList);
    m_session.catalog.scanTarget.scanType = static_cast<core::FsTypeCode>(100 * (index + 1));
    std::string_view problem;
    advscan::ScanRange range;
    if (index != kFileSystemEntryNtfs) {
        problem = msg::kFatPartitionAdvance;
    } else {
        range = advscan::CheckScanRange(m_window.ControlText(ctl::kStartSectorBox),
                                        m_window.ControlText(ctl::kEndSectorBox));
        problem = advscan::RangeCheckMessage(range.check);
    }
    const std::uint64_t driveSectors =
        m_session.driveTable.slots[m_session.disk.selectedDrive % disk::kDriveSlots].totalSectors;
    const bool clipped = problem.empty() && advscan::ClipScanRange(range, driveSectors);
    if (range.check == advscan::RangeCheck::StartBeyondDrive) {
        m_window.MessageBox(advscan::RangeProblemMessage(range.check, driveSectors), MessageKind::Error);
        OfferNext(true);
        return;
    }
    if (!problem.empty()) {
        m_window.MessageBox(problem, MessageKind::Error);
        OfferNext(true);
        return;
    }
    if (clipped) {
        m_window.SetControlText(ctl::kEndSectorBox, std::to_string(range.end));
        m_window.MessageBox(advscan::RangeClippedMessage(range.end), MessageKind::Information);
    }
    m_session.catalog.scanTarget = advscan::AdvanceScanTarget(range.start, range.end);
    SetMenuState(0);
    SetQuickHelp(msg::kQuickHelpAdvanceScan);
    m_session.catalog.ClearSweepLists();
    m_session.fileSystemTree.emplace(advscan::NewFoundFileSystemTree());
    m_window.RebuildTree(LeftTree::FileSystems, TreeModelOf(*m_session.fileSystemTree));
    StartAdvanceScan();
}

void Wizard::NextMount()
{
    if (m_session.catalog.selectedFileSystem == 0) {
        return;
    }
    m_session.folderTree.emplace();
    m_window.RebuildTree(LeftTree::Folders, TreeModelOf(*m_session.folderTree));
    StartMount();
}

// ---- the workers -------------------------------------------------------------------------------

void Wizard::SearchPartitions()
{
    if (m_session.wizard.wizardStep == 1 && !m_workerRunning) {
        StartQuickSearch();
    }
}

void Wizard::StartQuickSearch()
{
    SetMenuState(0);
    SetQuickHelp(msg::kQuickHelpQuickSearch);
    m_session.catalog.scanStopFlag.Clear();
    ShowAndEnable(m_window, ctl::kBack, false);
    ShowAndEnable(m_window, ctl::kNext, false);
    ShowAndEnable(m_window, ctl::kSearchPartitions, false);
    m_window.EnableTree(LeftTree::Partitions, false);
    ShowAndEnable(m_window, ctl::kStop, true);
    m_window.SetControlText(ctl::kStatus, msg::kSearchingForPartitions);
    m_window.ShowControl(ctl::kStatus, true);
    partitions::ClearPartitions(m_session.partitionList, *m_session.partitionTree);
    RebuildPartitionTree();
    m_window.ShowTree(LeftTree::Partitions, true);
    m_window.EnableTree(LeftTree::Partitions, false);
    m_window.SetProgressPosition(0);
    m_window.ShowControl(ctl::kProgress, true);

    const disk::DriveSlot& slot = m_session.driveTable.slots[m_session.disk.selectedDrive % disk::kDriveSlots];
    const partitions::ReportedGeometry geometry{slot.cylinders, slot.heads, slot.sectorsPerTrack,
                                                 slot.sizeBytes / core::kSectorSize};
    RunWorker(
        [this, geometry] {
            partitions::QuickSearchPartitions(m_session.disk, geometry, m_session.partitionList,
                                              *m_session.partitionTree, m_session.catalog.scanStopFlag,
                                              m_window.WorkerSink());
        },
        [this] { EndQuickSearch(); });
}

void Wizard::EndQuickSearch()
{
    const bool advance = m_session.wizard.scanMethod == kAdvanceScan;
    m_window.ShowControl(ctl::kProgress, false);
    m_window.SetControlText(ctl::kStatus, "");
    m_window.ShowControl(ctl::kStatus, false);
    RebuildPartitionTree();
    m_window.ShowTree(LeftTree::Partitions, true);
    m_window.EnableTree(LeftTree::Partitions, false);
    if (m_session.partitionList.partitionCount == 0) {
        m_window.MessageBox(advance ? msg::kNoPartitionAdvance : msg::kNoPartitionStandard, MessageKind::Error);
    }
    if (advance) {
        OfferNext(true);
    }
    ShowAndEnable(m_window, ctl::kBack, true);
    ShowAndEnable(m_window, ctl::kSearchPartitions, true);
    ShowAndEnable(m_window, ctl::kStop, false);
    m_window.EnableTree(LeftTree::Partitions, true);
    m_session.catalog.scanStopFlag.Clear();
    SetQuickHelp(QuickHelp(1));
    SetMenuState(1);
}

void Wizard::StartStandardScan()
{
    m_window.EnableTree(LeftTree::Partitions, false);
    ShowAndEnable(m_window, ctl::kSearchPartitions, false);
    ShowAndEnable(m_window, ctl::kBack, false);
    ShowAndEnable(m_window, ctl::kNext, false);
    ShowAndEnable(m_window, ctl::kStop, true);
    m_window.SetProgressPosition(0);
    m_window.ShowControl(ctl::kProgress, true);

    // The volume parameters first: only when they are found does the wizard move to the browse
    // step and the walk begin.
    auto found = std::make_shared<bool>(false);
    RunWorker(
        [this, found] {
            catalog::VolumeParams params = m_session.catalog.volumeParams;
            *found = ntfs::ComputeNtfsParameters(m_session.disk, m_session.catalog.scanTarget, params);
            if (!*found) {
                m_window.WorkerSink().Status(msg::kCalculatingPartitionParameters);
            }
        },
        [this, found] { EndStandardScanParameters(*found); });
}

void Wizard::EndStandardScanParameters(bool found)
{
    if (!found) {
        m_window.SetControlText(ctl::kStatus, "");
        ShowAndEnable(m_window, ctl::kStop, false);
        m_window.ShowControl(ctl::kProgress, false);
        m_window.MessageBox(m_session.catalog.scanStopFlag.IsSet() ? msg::kRecoveryAbortedByUser
                                                                   : msg::kStandardScanNotPossible,
                            MessageKind::Error);
        m_window.EnableTree(LeftTree::Partitions, true);
        m_session.catalog.scanStopFlag.Clear();
        ShowAndEnable(m_window, ctl::kBack, true);
        ShowAndEnable(m_window, ctl::kSearchPartitions, true);
        OfferNext(true);
        return;
    }
    m_session.catalog.scanStopFlag.Clear();
    SetLabels(m_window, 2, m_session.catalog.scanTarget.scanType);
    m_session.wizard.wizardStep = 3;
    SetMenuState(0);

    auto result = std::make_shared<ntfs::StandardScanResult>();
    RunWorker(
        [this, result] {
            ntfs::StandardScanOptions options;
            options.admit = ListingAdmitter(m_session);
            options.describe = ListingDescriber();
            m_session.upCase.reset();
            *result = ntfs::StandardScan(m_session.disk, m_session.catalog, m_session.mftRunTable,
                                         *m_session.folderTree, m_window.WorkerSink(), options);
            if (result->outcome == ntfs::StandardScanOutcome::Completed ||
                result->outcome == ntfs::StandardScanOutcome::Stopped) {
                TakeVolumeUpCase(m_session, result->rootRows);
            }
        },
        [this, result] {
            if (result->outcome == ntfs::StandardScanOutcome::ParametersFailed ||
                result->outcome == ntfs::StandardScanOutcome::ParametersFailedStopped) {
                // The boot sector read differently the second time: back to the partition step.
                m_session.wizard.wizardStep = 1;
                SetLabels(m_window, 1);
                SetMenuState(1);
                EndStandardScanParameters(false);
                return;
            }
            EndStandardScan(result->rootRows);
        });
}

void Wizard::EndStandardScan(const std::vector<ntfs::ListRow>& rootRows)
{
    ShowView(m_window, m_session, 2, ViewDirection::Forward);
    m_window.RebuildTree(LeftTree::Folders, TreeModelOf(*m_session.folderTree));
    m_window.ShowTree(LeftTree::Folders, true);
    m_window.EnableTree(LeftTree::Folders, true);
    ShowAndEnable(m_window, ctl::kStop, false);
    SetLabels(m_window, kLabelSetBrowse);
    m_window.ShowControl(ctl::kList, true);
    m_window.SetProgressPosition(0);
    m_window.ShowControl(ctl::kProgress, false);
    ShowAndEnable(m_window, ctl::kBack, true);
    SetMenuState(3);
    m_session.browse.rows = rootRows;
    m_session.browse.treeFocus = false;
    m_session.browse.selectedFolder = m_session.folderTree->Root();
    m_session.browse.backOffered = true;
    m_window.SetListRows(m_session.browse.rows);
    m_window.MessageBox(msg::kStandardScanDone, MessageKind::Information);
    SetQuickHelp(QuickHelp(3));
    m_session.catalog.scanStopFlag.Clear();
}

void Wizard::StartAdvanceScan()
{
    ShowView(m_window, m_session, 3, ViewDirection::Forward);
    SetLabels(m_window, 3);
    ShowAndEnable(m_window, ctl::kNext, false);
    ShowAndEnable(m_window, ctl::kBack, false);
    ShowAndEnable(m_window, ctl::kStop, true);
    m_window.SetProgressPosition(0);
    m_window.ShowControl(ctl::kProgress, true);
    m_session.catalog.scanStopFlag.Clear();
    m_session.upCase.reset();  // the table comes with the volume a mount shows
    RunWorker(
        [this] {
            advscan::RunAdvanceScan(m_session.disk, m_session.catalog, *m_session.fileSystemTree,
                                    m_window.WorkerSink(), [this] {
                                        m_window.ChangeFromWorker(
                                            [this] { ShowAndEnable(m_window, ctl::kStop, false); });
                                    });
        },
        [this] { EndAdvanceScan(); });
}

void Wizard::EndAdvanceScan()
{
    ShowAndEnable(m_window, ctl::kStop, false);
    m_window.RebuildTree(LeftTree::FileSystems, TreeModelOf(*m_session.fileSystemTree));
    ShowView(m_window, m_session, 4, ViewDirection::Forward);
    m_window.EnableTree(LeftTree::FileSystems, true);
    SetLabels(m_window, 4);
    m_session.wizard.wizardStep = 2;
    if (m_session.catalog.fileSystemCount > 0) {
        SetMenuState(2);
    } else {
        OfferNext(false);
    }
    SetQuickHelp(QuickHelp(2));
    m_session.catalog.scanStopFlag.Clear();
}

void Wizard::StartMount()
{
    SetQuickHelp(msg::kQuickHelpMount);
    m_window.EnableTree(LeftTree::FileSystems, false);
    // No command may reach the catalog or go back while the mount rewrites it.
    ShowAndEnable(m_window, ctl::kBack, false);
    SetMenuState(0);
    m_window.SetProgressPosition(0);
    m_window.ShowControl(ctl::kProgress, true);
    auto rows = std::make_shared<std::vector<ntfs::ListRow>>();
    RunWorker(
        [this, rows] {
            m_session.upCase.reset();
            advscan::MapMountedMft(m_session.disk, m_session.catalog.volumeParams, m_session.mftRunTable);
            advscan::RateMountedFiles(m_session.disk, m_session.catalog, m_session.mftRunTable);
            *rows = advscan::MountFoundFileSystem(m_session.catalog, *m_session.folderTree, m_window.WorkerSink(),
                                                  ListingAdmitter(m_session), ListingDescriber())
                        .rootRows;
            TakeVolumeUpCase(m_session, *rows);
        },
        [this, rows] { EndMount(*rows); });
}

void Wizard::EndMount(const std::vector<ntfs::ListRow>& rootRows)
{
    ShowView(m_window, m_session, 5, ViewDirection::Forward);
    m_window.RebuildTree(LeftTree::Folders, TreeModelOf(*m_session.folderTree));
    m_window.ShowTree(LeftTree::Folders, true);
    m_window.EnableTree(LeftTree::Folders, true);
    m_window.SetProgressPosition(0);
    m_window.ShowControl(ctl::kProgress, false);
    m_window.SetControlText(ctl::kStatus, "");
    ShowAndEnable(m_window, ctl::kBack, true);
    m_session.wizard.wizardStep = 3;
    SetQuickHelp(QuickHelp(3));
    SetMenuState(3);
    SetLabels(m_window, kLabelSetBrowse);
    m_window.ShowControl(ctl::kList, true);
    m_session.browse.rows = rootRows;
    m_session.browse.treeFocus = false;
    m_session.browse.selectedFolder = m_session.folderTree->Root();
    m_session.browse.backOffered = true;
    m_window.SetListRows(m_session.browse.rows);
    m_session.catalog.scanStopFlag.Clear();
}

// ---- Back, Stop, Exit --------------------------------------------------------------------------

void Wizard::Back()
{
    if (m_workerRunning) {
        return;
    }
    m_window.SetListStyle(ListStyle::Details);
    m_window.ShowControl(ctl::kList, false);
    m_session.browse.rows.clear();
    m_session.browse.renameRow.reset();
    m_window.SetListRows(m_session.browse.rows);
    OfferNext(false);

    WizardState& wizard = m_session.wizard;
    if (wizard.wizardStep == 1) {
        disk::CloseDrive(m_session.disk);
        ShowView(m_window, m_session, 1, ViewDirection::Back);
        wizard.wizardStep = 0;
        SetMenuState(0);
        SetLabels(m_window, 0);
        SetQuickHelp(QuickHelp(0));
    } else if (wizard.wizardStep == 3 && wizard.scanMethod == kStandardScan) {
        ShowView(m_window, m_session, 2, ViewDirection::Back);
        wizard.wizardStep = 1;
        m_session.catalog.ClearNtfsLists();
        m_session.catalog.ClearFatLists();
        SetMenuState(1);
        SetLabels(m_window, 1);
        SetQuickHelp(QuickHelp(1));
    } else if (wizard.wizardStep == 3 && wizard.scanMethod == kAdvanceScan) {
        ShowView(m_window, m_session, 5, ViewDirection::Back);
        SetLabels(m_window, 4);
        wizard.wizardStep = 2;
        m_session.catalog.ClearNtfsLists();
        m_session.catalog.ClearFatLists();
        SetMenuState(2);
        SetQuickHelp(QuickHelp(2));
    } else if (wizard.wizardStep == 2 && wizard.scanMethod == kAdvanceScan) {
        wizard.wizardStep = 1;
        m_session.catalog.ClearSweepLists();
        m_window.DestroyTree(LeftTree::FileSystems);
        m_session.fileSystemTree.reset();
        ShowView(m_window, m_session, 8, ViewDirection::Back);
        SetMenuState(1);
        SetLabels(m_window, 1);
        SetQuickHelp(QuickHelp(1));
    }
}

void Wizard::Stop()
{
    if (m_window.MessageBox(msg::kStopQuestion, MessageKind::Question) == Answer::Yes) {
        m_session.catalog.scanStopFlag.Request();
    }
}

void Wizard::ClearCatalogForExit()
{
    if (m_workerRunning) {
        // The worker is still filling the catalog; it ends with the program.
        m_session.catalog.scanStopFlag.Request();
        return;
    }
    m_session.catalog.ClearFatLists();
    m_session.catalog.ClearNtfsLists();
    m_session.catalog.ClearSweepLists();
}

void Wizard::Exit()
{
    if (m_window.MessageBox(msg::kExitQuestion, MessageKind::Question) != Answer::Yes) {
        return;
    }
    ClearCatalogForExit();
    m_window.EndProgram();
}

bool Wizard::ConfirmClose()
{
    if (m_window.MessageBox(msg::kExitQuestion, MessageKind::Question) != Answer::Yes) {
        return false;
    }
    ClearCatalogForExit();
    return true;
}

}  // namespace shell
