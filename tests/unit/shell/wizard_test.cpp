// The wizard over the recording window: start-up, every step transition of both scan methods,
// the workers' window changes, the range checks, Stop, Back, Exit and the close box.
#include "shell/wizard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/messages.h"
#include "shell/window_changes.h"
#include "partitions/partition_table.h"
#include "support/damage.h"
#include "support/fixtures.h"
#include "support/shell_fixture.h"

namespace shell {
namespace {

using testing_support::FakeWindow;
using testing_support::ShellRig;
namespace msg = core::msg;

std::string BasicImage() { return testing_support::FixturePath("ntfs_basic.img").string(); }

// A disk of zeros: no table, no boot sector anywhere.
std::filesystem::path BlankImage()
{
    const auto path = std::filesystem::temp_directory_path() / "dravik_shell_blank.img";
    std::ofstream(path, std::ios::binary | std::ios::trunc).close();
    std::filesystem::resize_file(path, 2u * 1024 * 1024);
    return path;
}

void ExpectLabelSet(FakeWindow& w, const std::vector<std::string_view>& labels, bool statusShown)
{
    for (int row = 1; row <= ctl::kPanelRows; ++row) {
        const std::size_t i = static_cast<std::size_t>(row - 1);
        const bool named = i < labels.size();
        EXPECT_EQ(w.Visible(ctl::PanelLabelId(row)), named) << "row " << row;
        if (named) {
            EXPECT_EQ(w.Text(ctl::PanelLabelId(row)), labels[i]) << "row " << row;
        }
    }
    EXPECT_EQ(w.Visible(ctl::kStatus), statusShown);
}

void ExpectMenuState(FakeWindow& w, int state, bool settings)
{
    const bool browse = state == 3;
    for (const MenuItem item : {MenuItem::RecoverSelected, MenuItem::RecoverAll, MenuItem::SaveSnapshot,
                                MenuItem::Icons, MenuItem::List, MenuItem::Details, MenuItem::FindFiles,
                                MenuItem::FileFilters, MenuItem::DriveInformation}) {
        EXPECT_EQ(w.menu[item], browse) << static_cast<int>(item);
    }
    EXPECT_EQ(w.menu[MenuItem::LoadSnapshot], state == 1 || state == 2);
    EXPECT_EQ(w.menu[MenuItem::Settings], settings);
    EXPECT_TRUE(w.menu[MenuItem::Exit]);
}

TEST(WizardStartUp, StandsAtTheDriveStepWithItsDefaults)
{
    ShellRig rig({BasicImage()});
    ASSERT_EQ(rig.wizard.Start(), Wizard::StartOutcome::Ready);
    FakeWindow& w = rig.window;
    EXPECT_EQ(rig.session.wizard.wizardStep, 0);
    EXPECT_EQ(rig.session.wizard.scanMethod, kStandardScan);
    EXPECT_TRUE(w.At(ctl::kStandardScan).checked);
    EXPECT_EQ(w.ShownTree(), LeftTree::Drives);
    ASSERT_EQ(w.trees[LeftTree::Drives].model.size(), 2u);
    EXPECT_EQ(w.trees[LeftTree::Drives].model[0].text, "My Computer");
    EXPECT_EQ(w.trees[LeftTree::Drives].model[1].text, "Storage Device0");
    for (const int id : {ctl::kNext, ctl::kBack, ctl::kStop, ctl::kSearchPartitions, ctl::kProgress, ctl::kList,
                         ctl::kFileSystemFrame, ctl::kStartSectorBox, ctl::kRangeHelp}) {
        EXPECT_FALSE(w.Visible(id)) << id;
    }
    ExpectLabelSet(w, {msg::kModelLabel, msg::kCapacityLabel, msg::kCylindersLabel, msg::kHeadLabel,
                       msg::kSectorsPerTrackLabel},
                   false);
    ExpectMenuState(w, 0, true);
    EXPECT_EQ(w.Text(ctl::kQuickHelp), msg::kQuickHelpStep0);
    EXPECT_EQ(rig.session.disk.readChunkSectors, 60u);
    EXPECT_EQ(rig.session.disk.readRetryCount, 3);

    // A click on the drive shows its details and offers Next; the root selects nothing.
    rig.browse.OnTreeClick(LeftTree::Drives, 1);
    EXPECT_FALSE(w.Offered(ctl::kNext));
    rig.browse.OnTreeClick(LeftTree::Drives, DriveItemId(0));
    EXPECT_TRUE(w.Offered(ctl::kNext));
    EXPECT_EQ(w.Text(ctl::PanelValueId(1)), "ntfs_basic.img");
    EXPECT_EQ(w.Text(ctl::PanelValueId(2)), "26 MB ( Approx )");
}

// The Open Disk Image dialog offers the accepted image formats and every file; the image chosen
// becomes a drive after the ones already listed.
TEST(WizardStartUp, OpenDiskImageOffersTheFormatsAndListsTheChosenImage)
{
    ShellRig rig({BasicImage()});
    ASSERT_EQ(rig.wizard.Start(), Wizard::StartOutcome::Ready);
    rig.window.openName = testing_support::FixturePath("multi_part.img").string();
    rig.wizard.OpenDiskImage();
    ASSERT_FALSE(rig.window.filePatterns.empty());
    EXPECT_EQ(rig.window.filePatterns.back(), msg::kDiskImagePatterns);
    for (const std::string_view type : {"*.E01", "*.vhdx", "*.vmdk", "*.qcow2", "*.001", "All files (*)"}) {
        EXPECT_NE(rig.window.filePatterns.back().find(type), std::string::npos) << type;
    }
    const auto& drives = rig.window.trees[LeftTree::Drives].model;
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[2].text, "Storage Device1");
}

TEST(WizardStandardScan, NextToTheBrowseStepAndBackToTheDriveStep)
{
    ShellRig rig({BasicImage()});
    FakeWindow& w = rig.window;
    rig.ToPartitionStep();
    ASSERT_EQ(rig.session.wizard.wizardStep, 1);
    ASSERT_EQ(rig.session.partitionList.partitionCount, 1u);
    EXPECT_EQ(w.ShownTree(), LeftTree::Partitions);
    EXPECT_EQ(w.trees[LeftTree::Partitions].model[0].text, "Storage Device 0");
    EXPECT_TRUE(w.Offered(ctl::kBack));
    EXPECT_TRUE(w.Offered(ctl::kSearchPartitions));
    EXPECT_FALSE(w.Visible(ctl::kNext));
    EXPECT_FALSE(w.Visible(ctl::kStandardScan));
    EXPECT_FALSE(w.Visible(ctl::kFileSystemFrame));  // Standard Scan: no range
    ExpectLabelSet(w, {msg::kPartitionTypeLabel, msg::kPartitionStartLabel, msg::kPartitionEndLabel,
                       msg::kPartitionSizeLabel},
                   false);
    ExpectMenuState(w, 1, true);
    EXPECT_EQ(w.Text(ctl::kQuickHelp), msg::kQuickHelpStep1);

    rig.session.filterPatterns.Add("*.DOC");
    rig.browse.OnTreeClick(LeftTree::Partitions, rig.session.partitionList.records[0].treeItem);
    EXPECT_TRUE(w.Offered(ctl::kNext));
    EXPECT_EQ(w.Text(ctl::PanelValueId(1)), "NTFS");
    rig.wizard.Next();

    EXPECT_EQ(rig.session.filterPatterns.Count(), 0u);  // Next forgets the filters
    EXPECT_EQ(rig.session.wizard.wizardStep, 3);
    EXPECT_EQ(w.ShownTree(), LeftTree::Folders);
    EXPECT_TRUE(w.trees[LeftTree::Folders].enabled);
    EXPECT_GT(w.trees[LeftTree::Folders].model.size(), 5u);
    EXPECT_TRUE(w.Visible(ctl::kList));
    // The six columns of the listing, then the share of a deleted file's data still free.
    ASSERT_EQ(w.columns.size(), 7u);
    EXPECT_TRUE(w.columns[2].rightAligned);
    EXPECT_EQ(w.columns[6].title, msg::kColumnRecoverable);
    EXPECT_TRUE(rig.RowNamed("Documents").has_value());
    EXPECT_EQ(w.LastMessage(), msg::kStandardScanDone);
    EXPECT_EQ(w.messages.back().kind, MessageKind::Information);
    ExpectLabelSet(w, {}, false);
    ExpectMenuState(w, 3, true);
    EXPECT_TRUE(w.Offered(ctl::kBack));
    EXPECT_FALSE(w.Visible(ctl::kStop));
    EXPECT_FALSE(w.Visible(ctl::kProgress));
    EXPECT_EQ(w.Text(ctl::kQuickHelp), msg::kQuickHelpStep3);
    EXPECT_FALSE(rig.session.catalog.scanStopFlag.IsSet());
    EXPECT_GT(rig.session.catalog.fileCount, 50u);  // ntfs_basic holds 55 files

    rig.wizard.Back();
    EXPECT_EQ(rig.session.wizard.wizardStep, 1);
    EXPECT_EQ(w.ShownTree(), LeftTree::Partitions);
    EXPECT_EQ(rig.session.catalog.NtfsFiles().size(), 0u);
    EXPECT_FALSE(w.Visible(ctl::kList));
    ASSERT_EQ(w.columns.size(), 1u);
    EXPECT_EQ(w.columns[0].title, msg::kDetailsColumn);
    ExpectMenuState(w, 1, true);
    EXPECT_TRUE(w.Offered(ctl::kSearchPartitions));

    rig.wizard.Back();
    EXPECT_EQ(rig.session.wizard.wizardStep, 0);
    EXPECT_EQ(w.ShownTree(), LeftTree::Drives);
    EXPECT_EQ(rig.session.disk.driveHandle, nullptr);
    EXPECT_TRUE(w.Visible(ctl::kStandardScan));
    EXPECT_FALSE(w.Visible(ctl::kBack));
    ExpectMenuState(w, 0, true);
    EXPECT_EQ(w.Text(ctl::kQuickHelp), msg::kQuickHelpStep0);
}

TEST(WizardStandardScan, StopAnsweredNoContinuesAndYesStopsTheWalk)
{
    for (const Answer answer : {Answer::No, Answer::Yes}) {
        ShellRig rig({BasicImage()});
        FakeWindow& w = rig.window;
        rig.ToPartitionStep();
        rig.browse.OnTreeClick(LeftTree::Partitions, rig.session.partitionList.records[0].treeItem);
        w.deferWorkers = true;
        rig.wizard.Next();
        // While the parameters are worked out: the navigation is hidden, Stop offered.
        EXPECT_TRUE(rig.wizard.WorkerRunning());
        EXPECT_FALSE(w.Visible(ctl::kNext));
        EXPECT_FALSE(w.Visible(ctl::kBack));
        EXPECT_FALSE(w.Visible(ctl::kSearchPartitions));
        EXPECT_FALSE(w.trees[LeftTree::Partitions].enabled);
        EXPECT_TRUE(w.Offered(ctl::kStop));
        ASSERT_TRUE(w.RunPendingWorker());
        // The walk is next: label set 2, browse step, menu state 0.
        EXPECT_EQ(rig.session.wizard.wizardStep, 3);
        ExpectLabelSet(w, {msg::kFoldersFoundLabel, msg::kFilesFoundLabel, msg::kCurrentSectorLabel,
                           msg::kLastFileFolderLabel},
                       true);
        ExpectMenuState(w, 0, false);
        ASSERT_EQ(w.PendingWorkers(), 1u);

        // Stop pressed while the walk reports its first counter.
        bool stopRequested = false;
        w.onWorkerProgress = [&] {
            w.answers.push_back(answer);
            rig.wizard.Stop();
            EXPECT_EQ(w.LastMessage(), msg::kStopQuestion);
            stopRequested = rig.session.catalog.scanStopFlag.IsSet();
        };
        ASSERT_TRUE(w.RunPendingWorker());
        EXPECT_EQ(stopRequested, answer == Answer::Yes);
        EXPECT_FALSE(rig.session.catalog.scanStopFlag.IsSet());
        EXPECT_EQ(rig.session.wizard.wizardStep, 3);
        if (answer == Answer::Yes) {
            EXPECT_LT(rig.session.catalog.fileCount + rig.session.catalog.folderCount, 10u);  // stopped early
        } else {
            EXPECT_GT(rig.session.catalog.fileCount, 50u);  // ntfs_basic holds 55 files
        }
        EXPECT_TRUE(w.Offered(ctl::kBack));
    }
}

TEST(WizardPartitionStep, NoTableLeadsToTheQuickSearchAndItsMessages)
{
    const auto blank = BlankImage().string();
    for (const bool advance : {false, true}) {
        ShellRig rig({blank});
        FakeWindow& w = rig.window;
        rig.ToPartitionStep(advance);
        EXPECT_EQ(rig.session.wizard.wizardStep, 1);
        ASSERT_GE(w.messages.size(), 2u);
        EXPECT_EQ(w.messages[w.messages.size() - 2].text, msg::kNoPartitionsQuickSearch);
        EXPECT_EQ(w.LastMessage(), advance ? msg::kNoPartitionAdvance : msg::kNoPartitionStandard);
        EXPECT_EQ(w.messages.back().kind, MessageKind::Error);
        EXPECT_EQ(w.workersStarted, 1);
        // The quick search's end.
        EXPECT_FALSE(w.Visible(ctl::kProgress));
        EXPECT_FALSE(w.Visible(ctl::kStatus));
        EXPECT_EQ(w.Text(ctl::kStatus), "");
        EXPECT_TRUE(w.Offered(ctl::kBack));
        EXPECT_TRUE(w.Offered(ctl::kSearchPartitions));
        EXPECT_FALSE(w.Visible(ctl::kStop));
        EXPECT_EQ(w.Offered(ctl::kNext), advance);
        EXPECT_TRUE(w.trees[LeftTree::Partitions].enabled);
        ExpectMenuState(w, 1, true);
        EXPECT_EQ(w.Text(ctl::kQuickHelp), msg::kQuickHelpStep1);
        if (advance) {
            // No partition: the whole disk, FAT32 preselected.
            EXPECT_EQ(w.SelectedListEntry(ctl::kFileSystemList), kFileSystemEntryFat32);
            EXPECT_EQ(w.Text(ctl::kStartSectorBox), "0");
        }
    }
    std::filesystem::remove(blank);
}

// A GPT disk whose primary header is broken: the records come from the backup, the status line
// says so, and Next refuses the BitLocker and reserved partitions with their own messages.
TEST(WizardPartitionStep, GptBackupIsNotedAndPartitionsWithoutFileSystemAreRefused)
{
    testing_support::DamagedImage damaged(testing_support::FixturePath("gpt.img"));
    ASSERT_TRUE(damaged.Ok());
    ASSERT_TRUE(testing_support::BreakGptPrimaryHeader(damaged));
    ShellRig rig({damaged.Path().string()});
    FakeWindow& w = rig.window;
    rig.ToPartitionStep();
    ASSERT_EQ(rig.session.partitionList.partitionCount, 6u);
    EXPECT_EQ(w.trees[LeftTree::Partitions].model[5].text, "Partition 5 - BitLocker");
    EXPECT_TRUE(w.Visible(ctl::kStatus));
    EXPECT_EQ(w.Text(ctl::kStatus), partitions::GptBackupNote(40959));
    EXPECT_EQ(w.workersStarted, 0);

    const auto& records = rig.session.partitionList.records;
    struct Refused
    {
        std::size_t record;
        std::string_view type;
        std::string_view message;
    };
    for (const Refused r : {Refused{4, "BitLocker", msg::kBitLockerPartition},
                            Refused{1, "Microsoft Reserved", msg::kNoReadableFileSystem}}) {
        rig.browse.OnTreeClick(LeftTree::Partitions, records[r.record].treeItem);
        EXPECT_EQ(w.Text(ctl::PanelValueId(1)), r.type);
        ASSERT_TRUE(w.Offered(ctl::kNext));
        rig.wizard.Next();
        EXPECT_EQ(w.LastMessage(), r.message);
        EXPECT_EQ(rig.session.wizard.wizardStep, 1);
        EXPECT_FALSE(w.Offered(ctl::kNext));
        EXPECT_EQ(w.workersStarted, 0);
    }

    rig.browse.OnTreeClick(LeftTree::Partitions, records[2].treeItem);
    EXPECT_EQ(w.Text(ctl::PanelValueId(1)), "NTFS");
    rig.wizard.Next();
    EXPECT_EQ(rig.session.wizard.wizardStep, 3);
    EXPECT_TRUE(rig.RowNamed("Work").has_value());

    // Back at the drive step the note is gone.
    rig.wizard.Back();
    rig.wizard.Back();
    EXPECT_EQ(w.Text(ctl::kStatus), "");
}

TEST(WizardPartitionStep, DriveThatCannotBeOpenedKeepsTheDriveStepAndSaysWhy)
{
    const auto copy = std::filesystem::temp_directory_path() / "dravik_shell_vanishing.img";
    std::filesystem::copy_file(BasicImage(), copy, std::filesystem::copy_options::overwrite_existing);
    ShellRig rig({copy.string()});
    rig.wizard.Start();
    rig.browse.OnTreeClick(LeftTree::Drives, DriveItemId(0));
    std::filesystem::remove(copy);
    rig.wizard.Next();
    EXPECT_EQ(rig.session.wizard.wizardStep, 0);
    ASSERT_EQ(rig.window.messages.size(), 1u);
    EXPECT_NE(rig.window.LastMessage().find(copy.filename().string()), std::string::npos);
    EXPECT_TRUE(rig.window.Offered(ctl::kNext));
}

struct RangeCase
{
    int entry;
    const char* start;
    const char* end;
    std::string_view message;
};

class WizardRangeInput : public ::testing::TestWithParam<RangeCase>
{
};

TEST_P(WizardRangeInput, RefusedWithItsMessageAndNextOfferedAgain)
{
    ShellRig rig({BasicImage()});
    FakeWindow& w = rig.window;
    rig.ToPartitionStep(true);
    ASSERT_EQ(rig.session.wizard.wizardStep, 1);
    const RangeCase& c = GetParam();
    w.SelectListEntry(ctl::kFileSystemList, c.entry);
    w.SetControlText(ctl::kStartSectorBox, c.start);
    w.SetControlText(ctl::kEndSectorBox, c.end);
    const int workers = w.workersStarted;
    rig.wizard.Next();
    EXPECT_EQ(w.LastMessage(), c.message);
    EXPECT_EQ(w.messages.back().kind, MessageKind::Error);
    EXPECT_EQ(rig.session.wizard.wizardStep, 1);
    EXPECT_EQ(w.workersStarted, workers);
    EXPECT_TRUE(w.Offered(ctl::kNext));
    EXPECT_EQ(w.Text(ctl::kStartSectorBox), c.start);  // inputs unchanged
}

INSTANTIATE_TEST_SUITE_P(
    Checks, WizardRangeInput,
    ::testing::Values(RangeCase{kFileSystemEntryNtfs, "-5", "100", msg::kStartSectorNotValid},
                      RangeCase{kFileSystemEntryNtfs, "", "100", msg::kStartSectorNotValid},
                      RangeCase{kFileSystemEntryNtfs, "18014398509481984", "18014398509481985",
                                msg::kStartSectorNotValid},
                      RangeCase{kFileSystemEntryNtfs, "0", "1x", msg::kEndSectorNotValid},
                      RangeCase{kFileSystemEntryNtfs, "100", "100", msg::kEndBeforeStart},
                      RangeCase{kFileSystemEntryNtfs, "200", "100", msg::kEndBeforeStart},
                      RangeCase{kFileSystemEntryFat32, "0", "100", msg::kFatPartitionAdvance},
                      RangeCase{kFileSystemEntryFat16, "0", "100", msg::kFatPartitionAdvance}));

// The range boxes take sector numbers past 32 bits; a range past the drive is clipped to it with
// a note, and one that starts past it is refused.
TEST(WizardAdvanceScan, RangePastTheDriveIsClippedWithANote)
{
    ShellRig rig({BasicImage()});
    FakeWindow& w = rig.window;
    rig.ToPartitionStep(true);
    const std::uint64_t sectors = rig.session.driveTable.slots[rig.session.disk.selectedDrive].totalSectors;
    ASSERT_GT(sectors, 100u);
    w.SelectListEntry(ctl::kFileSystemList, kFileSystemEntryNtfs);
    w.SetControlText(ctl::kStartSectorBox, "4294967296");
    w.SetControlText(ctl::kEndSectorBox, "4294969344");
    int workers = w.workersStarted;
    rig.wizard.Next();
    EXPECT_EQ(w.workersStarted, workers);
    EXPECT_EQ(w.LastMessage(),
              "Start sector lies beyond the end of the drive (" + std::to_string(sectors) + " sectors)");

    w.SetControlText(ctl::kStartSectorBox, "100");
    workers = w.workersStarted;
    rig.wizard.Next();
    EXPECT_EQ(w.workersStarted, workers + 1);
    EXPECT_EQ(w.messages.back().kind, MessageKind::Information);
    EXPECT_EQ(w.LastMessage(), "The end sector lies beyond the end of the drive: the scan ends at sector " +
                                   std::to_string(sectors));
    EXPECT_EQ(w.Text(ctl::kEndSectorBox), std::to_string(sectors));
    EXPECT_EQ(rig.session.catalog.scanTarget.scanStartSector, 100u);
    EXPECT_EQ(rig.session.catalog.scanTarget.scanEndSector, sectors);
    EXPECT_EQ(rig.session.catalog.scanTarget.scanSectorCount, sectors - 100);
}

// The analysis after the sweep does not look at the stop flag, so Stop is not offered while it
// runs.
TEST(WizardAdvanceScan, StopIsHiddenOnceTheSweepEndsAndBeforeTheAnalysisStarts)
{
    ShellRig rig({BasicImage()});
    FakeWindow& w = rig.window;
    rig.ToPartitionStep(true);
    std::vector<std::pair<std::string, bool>> statuses;  // status text, Stop offered then
    bool stopSeenDuringSweep = false;
    w.onWorkerProgress = [&] { stopSeenDuringSweep = w.Offered(ctl::kStop); };
    w.onWorkerStatus = [&](std::string_view text) {
        statuses.emplace_back(std::string(text), w.Visible(ctl::kStop) || w.Enabled(ctl::kStop));
    };
    rig.wizard.Next();
    EXPECT_TRUE(stopSeenDuringSweep);
    bool analysisSeen = false;
    for (const auto& [text, stopShown] : statuses) {
        if (text.starts_with(msg::kIdentifyFileSystems) || text.starts_with(msg::kAssignMftNumbers)) {
            analysisSeen = true;
            EXPECT_FALSE(stopShown) << text;
        }
    }
    EXPECT_TRUE(analysisSeen);
    EXPECT_EQ(rig.session.wizard.wizardStep, 2);
    EXPECT_GE(rig.session.catalog.fileSystemCount, 1u);
    EXPECT_FALSE(rig.session.catalog.scanStopFlag.IsSet());
}

TEST(WizardAdvanceScan, SweepMountBrowseAndBackThroughTheFileSystemList)
{
    ShellRig rig({BasicImage()});
    FakeWindow& w = rig.window;
    rig.ToPartitionStep(true);
    // The range is preset from the first partition.
    EXPECT_TRUE(w.Visible(ctl::kFileSystemFrame));
    EXPECT_TRUE(w.Visible(ctl::kRangeHelp));
    EXPECT_EQ(w.SelectedListEntry(ctl::kFileSystemList), kFileSystemEntryNtfs);
    EXPECT_EQ(w.Text(ctl::kStartSectorBox), "2048");
    EXPECT_EQ(w.Text(ctl::kEndSectorBox), std::to_string(2048 + 49152));
    EXPECT_TRUE(w.Offered(ctl::kNext));

    rig.wizard.Next();
    EXPECT_EQ(rig.session.wizard.wizardStep, 2);
    EXPECT_EQ(w.ShownTree(), LeftTree::FileSystems);
    ASSERT_GE(rig.session.catalog.fileSystemCount, 1u);
    ExpectMenuState(w, 2, true);
    ExpectLabelSet(w, {msg::kFileSystemStartLabel, msg::kSectorsPerClusterLabel, msg::kMftStartLabel,
                       msg::kMftMirrorStartLabel, msg::kFileSystemSizeLabel},
                   true);
    EXPECT_FALSE(w.Visible(ctl::kStop));
    EXPECT_FALSE(w.Visible(ctl::kNext));
    EXPECT_FALSE(w.Visible(ctl::kFileSystemFrame));
    EXPECT_TRUE(w.Offered(ctl::kBack));
    EXPECT_EQ(w.Text(ctl::kQuickHelp), msg::kQuickHelpStep2);

    // The root "File Systems" selects nothing; an "NTFS @" item shows its parameters.
    const TreeModel& found = w.trees[LeftTree::FileSystems].model;
    ASSERT_GE(found.size(), 2u);
    rig.browse.OnTreeClick(LeftTree::FileSystems, found[0].id);
    EXPECT_FALSE(w.Visible(ctl::kNext));
    rig.browse.OnTreeClick(LeftTree::FileSystems, found[1].id);
    EXPECT_EQ(found[1].text, "NTFS @2048");
    EXPECT_EQ(w.Text(ctl::PanelValueId(1)), "2048");
    EXPECT_EQ(w.Text(ctl::PanelValueId(2)), "8");
    EXPECT_TRUE(w.Offered(ctl::kNext));

    rig.wizard.Next();
    EXPECT_EQ(rig.session.wizard.wizardStep, 3);
    EXPECT_EQ(w.ShownTree(), LeftTree::Folders);
    EXPECT_FALSE(w.columns[2].rightAligned);
    EXPECT_TRUE(rig.RowNamed("Documents").has_value());
    ExpectMenuState(w, 3, true);
    ExpectLabelSet(w, {}, false);
    EXPECT_TRUE(w.Offered(ctl::kBack));
    EXPECT_EQ(w.Text(ctl::kQuickHelp), msg::kQuickHelpStep3);

    const auto systems = rig.session.catalog.fileSystemCount;
    rig.wizard.Back();
    EXPECT_EQ(rig.session.wizard.wizardStep, 2);
    EXPECT_EQ(w.ShownTree(), LeftTree::FileSystems);
    EXPECT_TRUE(w.trees[LeftTree::FileSystems].enabled);
    EXPECT_FALSE(w.trees[LeftTree::Folders].exists);
    EXPECT_EQ(rig.session.catalog.fileSystemCount, systems);
    EXPECT_EQ(rig.session.catalog.NtfsFolders().size(), 0u);
    ExpectMenuState(w, 2, true);

    rig.wizard.Back();
    EXPECT_EQ(rig.session.wizard.wizardStep, 1);
    EXPECT_EQ(w.ShownTree(), LeftTree::Partitions);
    EXPECT_FALSE(w.trees[LeftTree::FileSystems].exists);
    EXPECT_EQ(rig.session.catalog.fileSystemCount, 0u);
    EXPECT_TRUE(rig.session.catalog.FoundFolders().empty());
    EXPECT_TRUE(w.Visible(ctl::kFileSystemFrame));
    EXPECT_TRUE(w.Offered(ctl::kNext));
    ExpectMenuState(w, 1, true);
}

TEST(WizardExit, ExitAndTheCloseBoxAskFirst)
{
    ShellRig rig({BasicImage()});
    rig.ToBrowseStepStandard();
    ASSERT_GT(rig.session.catalog.NtfsFiles().size(), 0u);

    rig.wizard.Exit();  // answered No
    EXPECT_EQ(rig.window.LastMessage(), msg::kExitQuestion);
    EXPECT_FALSE(rig.window.ended);
    EXPECT_FALSE(rig.wizard.ConfirmClose());
    EXPECT_GT(rig.session.catalog.NtfsFiles().size(), 0u);

    rig.window.answers.push_back(Answer::Yes);
    EXPECT_TRUE(rig.wizard.ConfirmClose());
    EXPECT_TRUE(rig.session.catalog.NtfsFiles().empty());

    rig.window.answers.push_back(Answer::Yes);
    rig.wizard.Exit();
    EXPECT_TRUE(rig.window.ended);
}

TEST(WizardExit, CloseWhileAWorkerRunsLeavesTheCatalogToIt)
{
    ShellRig rig({BasicImage()});
    rig.ToPartitionStep();
    rig.browse.OnTreeClick(LeftTree::Partitions, rig.session.partitionList.records[0].treeItem);
    rig.window.deferWorkers = true;
    rig.wizard.Next();
    rig.window.answers.push_back(Answer::Yes);
    EXPECT_TRUE(rig.wizard.ConfirmClose());
    EXPECT_TRUE(rig.session.catalog.scanStopFlag.IsSet());
    // Next and Back do nothing while the worker runs.
    rig.wizard.Back();
    EXPECT_EQ(rig.session.wizard.wizardStep, 1);
}

}  // namespace
}  // namespace shell
