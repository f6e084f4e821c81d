// The browse commands after a Standard Scan of the ntfs_basic fixture: entering folders, opening
// files, the context menu, rename, properties, drive information, help, tool buttons, the File
// Filters and Find File(s) dialogs, recovery and snapshots.
#include "shell/browse_commands.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/messages.h"
#include "platform/temp_folder.h"
#include "shell/window_changes.h"
#include "support/fixtures.h"
#include "support/shell_fixture.h"

namespace shell {
namespace {

using testing_support::FakeWindow;
using testing_support::ShellRig;
namespace msg = core::msg;

std::string BasicImage() { return testing_support::FixturePath("ntfs_basic.img").string(); }

// A folder of this test process alone: ctest runs the tests of this file side by side.
std::filesystem::path FreshFolder(const std::string& name)
{
    const auto dir = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

class BrowseTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rig.ToBrowseStepStandard();
        ASSERT_EQ(rig.session.wizard.wizardStep, 3);
    }
    void TearDown() override { std::filesystem::remove_all(rig.session.startupFolder); }
    // Marks the row named `name` as the list's focused and selected row.
    std::size_t Mark(const std::string& name)
    {
        const auto row = rig.RowNamed(name);
        EXPECT_TRUE(row.has_value()) << name;
        rig.window.selectionMark = row.value_or(0);
        rig.window.selection = {row.value_or(0)};
        return row.value_or(0);
    }
    void EnterFolder(const std::string& name)
    {
        Mark(name);
        rig.browse.OnListDoubleClick();
    }

    ShellRig rig{{BasicImage()}, FreshFolder("dravik_shell_startup")};
};

TEST_F(BrowseTest, DoubleClickOnAFolderEntersItSelectsAndExpandsItsAncestors)
{
    EnterFolder("Documents");
    EnterFolder("Reports");
    EXPECT_TRUE(rig.RowNamed("readme.txt").has_value());
    const core::TreeItemId selected = rig.window.trees[LeftTree::Folders].selected;
    ASSERT_NE(selected, 0u);
    const auto ancestors = rig.session.folderTree->Ancestors(selected);
    ASSERT_EQ(ancestors.size(), 2u);  // Root, Documents
    for (const auto id : ancestors) {
        EXPECT_TRUE(rig.window.trees[LeftTree::Folders].expanded.count(id)) << id;
    }
    EXPECT_TRUE(rig.session.browse.treeFocus);

    // A tree click on the root lists it again.
    rig.browse.OnTreeClick(LeftTree::Folders, rig.session.folderTree->Root());
    EXPECT_TRUE(rig.RowNamed("Documents").has_value());
}

TEST_F(BrowseTest, OpenExtractsToTheTemporaryFolderAndFallsBackToTheChooser)
{
    EnterFolder("Documents");
    EnterFolder("Reports");
    Mark("readme.txt");
    rig.browse.OnListClick();
    rig.browse.Open(0);
    ASSERT_EQ(rig.window.openedFiles.size(), 1u);
    const std::filesystem::path opened = rig.window.openedFiles[0];
    EXPECT_EQ(std::filesystem::file_size(opened), 690u);
    // A folder of this run alone, never a shared path another user could foresee.
    const auto folder = opened.parent_path();
    EXPECT_NE(folder, std::filesystem::temp_directory_path());
    EXPECT_EQ(folder, platform::TemporaryFolder());
    using std::filesystem::perms;
    EXPECT_EQ(std::filesystem::status(folder).permissions() & perms::all, perms::owner_all);
    EXPECT_EQ(std::filesystem::status(opened).permissions() & perms::all, perms::owner_read | perms::owner_write);

    rig.window.defaultApplicationExists = false;
    rig.browse.Open(0);
    EXPECT_EQ(rig.window.chooserFiles.size(), 1u);
    rig.browse.Open(1);
    EXPECT_EQ(rig.window.chooserFiles.size(), 2u);
    EXPECT_EQ(rig.window.openedFiles.size(), 1u);
}

TEST_F(BrowseTest, ContextMenuGreysOpenWithOnFoldersOnly)
{
    Mark("Documents");
    rig.browse.OnListRightClick();
    EXPECT_EQ(rig.window.contextMenuShown, 0);
    EXPECT_FALSE(rig.session.browse.treeFocus);
    EnterFolder("Documents");
    EnterFolder("Reports");
    Mark("readme.txt");
    rig.window.contextChoice = ContextItem::Properties;
    rig.browse.OnListRightClick();
    EXPECT_EQ(rig.window.contextMenuShown, 1);
    ASSERT_EQ(rig.window.properties.size(), 1u);
    EXPECT_EQ(rig.window.properties[0].size, "1 KB");  // 690 bytes
    EXPECT_EQ(rig.window.properties[0].contains, "");
}

TEST_F(BrowseTest, RenameChangesTheRowAndTheCatalogAndAnEmptyTextKeepsTheName)
{
    EnterFolder("Documents");
    EnterFolder("Reports");
    const std::size_t row = Mark("readme.txt");
    rig.browse.OnKey(Key::F2);  // tree focus is 1 after entering: ignored
    EXPECT_FALSE(rig.window.renameStarted.has_value());
    rig.browse.OnListClick();
    rig.browse.OnKey(Key::F2);
    ASSERT_EQ(rig.window.renameStarted, row);
    rig.browse.EndRename(std::string("b.txt"));
    EXPECT_EQ(rig.window.rows[row].name, "b.txt");
    const auto sector = static_cast<core::Sector>(std::stoul(rig.session.browse.rows[row].id));
    const auto position = rig.session.catalog.NtfsFileWithDataRecordSector(sector);
    ASSERT_TRUE(position);
    EXPECT_EQ(rig.session.catalog.NtfsFiles()[*position].name, "b.txt");

    rig.browse.StartRename();
    rig.browse.EndRename(std::string());
    EXPECT_EQ(rig.window.rows[row].name, "b.txt");

    // A folder: the tree item takes the name too.
    rig.browse.OnTreeClick(LeftTree::Folders, rig.session.folderTree->Root());
    const std::size_t folderRow = Mark("Documents");
    rig.browse.OnListClick();
    rig.browse.StartRename();
    rig.browse.EndRename(std::string("Docs"));
    const auto item = static_cast<core::TreeItemId>(std::stoul(rig.session.browse.rows[folderRow].id));
    EXPECT_EQ(rig.window.trees[LeftTree::Folders].renamed[item], "Docs");
    EXPECT_EQ(rig.session.catalog.NtfsFolders()[*rig.session.catalog.NtfsFolderWithTreeItem(item)].name, "Docs");
}

TEST_F(BrowseTest, FolderPropertiesCountTheSubtreeAndDriveInformationShowsNtfs)
{
    Mark("Documents");
    rig.browse.Properties();
    ASSERT_EQ(rig.window.properties.size(), 1u);
    const PropertiesInfo& info = rig.window.properties[0];
    EXPECT_NE(info.contains.find(" File(s) and "), std::string::npos);
    EXPECT_EQ(info.contains.substr(info.contains.size() - 10), " Folder(s)");
    EXPECT_EQ(info.size.substr(info.size.size() - 3), " MB");

    rig.browse.Command(MenuItem::DriveInformation);
    ASSERT_EQ(rig.window.driveInformation.size(), 1u);
    const DriveInformation& drive = rig.window.driveInformation[0];
    EXPECT_EQ(drive.fileSystem, "NTFS");
    EXPECT_EQ(drive.startSector, "2048");
    EXPECT_EQ(drive.sectorsPerCluster, "8");
    EXPECT_EQ(drive.firstFat, msg::kNotApplicable);
    EXPECT_EQ(drive.secondFat, msg::kNotApplicable);
    EXPECT_EQ(drive.files, std::to_string(rig.session.catalog.fileCount));
}

TEST_F(BrowseTest, HelpAndLiveUpdateLookInTheStartUpFolder)
{
    rig.browse.OnKey(Key::F1);
    EXPECT_EQ(rig.window.LastMessage(), msg::kHelpFileMissing);
    rig.browse.ToolButton(7);
    EXPECT_EQ(rig.window.LastMessage(), msg::kUpdaterMissing);

    std::ofstream(rig.session.startupFolder / msg::kHelpFileName).put('x');
    std::ofstream(rig.session.startupFolder / msg::kUpdaterFileName).put('x');
    rig.browse.Command(MenuItem::Contents);
    EXPECT_EQ(rig.window.helpFiles.size(), 1u);
    rig.browse.Command(MenuItem::LiveUpdate);  // answered No
    EXPECT_EQ(rig.window.LastMessage(), msg::kUpdaterQuestion);
    EXPECT_TRUE(rig.window.programs.empty());
    rig.window.answers.push_back(Answer::Yes);
    rig.browse.Command(MenuItem::LiveUpdate);
    ASSERT_EQ(rig.window.programs.size(), 1u);
    EXPECT_EQ(rig.window.programs[0].second, "<QDNXD>");
    EXPECT_TRUE(rig.window.ended);
    EXPECT_TRUE(rig.session.catalog.NtfsFiles().empty());
}

TEST_F(BrowseTest, FileFiltersDialogRulesAndCloseListsTheRootFiltered)
{
    EnterFolder("Documents");
    rig.window.filtersDialog = [](FileFiltersDialog& dialog) {
        EXPECT_TRUE(dialog.Add("1234567890123456789").added);  // 19 characters
        const auto tooLong = dialog.Add("12345678901234567890");
        EXPECT_FALSE(tooLong.added);
        EXPECT_EQ(tooLong.selectLength, 19u);
        EXPECT_FALSE(dialog.Add("").added);
        EXPECT_TRUE(dialog.Add("*.doc").added);
        EXPECT_FALSE(dialog.Add("*.doc").added);
        EXPECT_TRUE(dialog.Add("*.DOC").added);
        EXPECT_EQ(dialog.Entries().front(), "*.DOC");  // newest on top
        EXPECT_EQ(dialog.Remove(std::size_t{2}), std::size_t{0});  // the 19-character pattern
        EXPECT_TRUE(dialog.Add("*.TXT").added);
    };
    rig.browse.Command(MenuItem::FileFilters);
    const auto& texts = rig.window.messages;
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[texts.size() - 3].text, msg::kPatternTooLong);
    EXPECT_EQ(texts[texts.size() - 2].text, msg::kPatternBlank);
    EXPECT_EQ(texts[texts.size() - 1].text, msg::kPatternExists);
    ASSERT_EQ(rig.session.filterPatterns.Count(), 3u);
    EXPECT_EQ(rig.session.filterPatterns.At(0), "*.doc");  // table keeps the oldest first
    // The root again, folders all listed, files only *.TXT / *.DOC.
    EXPECT_TRUE(rig.RowNamed("Documents").has_value());
    for (const ntfs::ListRow& row : rig.session.browse.rows) {
        if (!row.folder) {
            EXPECT_TRUE(AdmitByFilters(rig.session.filterPatterns, row.name)) << row.name;
        }
    }
    EXPECT_TRUE(rig.session.browse.treeFocus);
}

TEST(FileFiltersDialogLimit, TheHundredthPatternIsRefused)
{
    Session session;
    FakeWindow window;
    FileFiltersDialog dialog(session, window);
    for (int i = 0; i < 99; ++i) {
        ASSERT_TRUE(dialog.Add("P" + std::to_string(i)).added) << i;
    }
    EXPECT_FALSE(dialog.Add("ONE MORE").added);
    EXPECT_EQ(window.LastMessage(), msg::kPatternTableFull);
}

class RecordingFindView : public FindDialogView
{
public:
    void EnableStart(bool on) override { start = on; }
    void EnableStop(bool on) override { stop = on; }
    void ClearRows() override { rows.clear(); }
    void AddRow(const FindRow& row, std::size_t) override { rows.push_back(row); }
    bool start = false;
    bool stop = false;
    std::vector<FindRow> rows;
};

TEST_F(BrowseTest, FindStopAnsweredNoResumesAndYesKeepsTheRowsFound)
{
    for (const Answer answer : {Answer::No, Answer::Yes}) {
        RecordingFindView view;
        bool closable = true;
        rig.window.deferWorkers = true;
        rig.window.findDialog = [&](FindFilesDialog& dialog) {
            dialog.Open(view);
            EXPECT_TRUE(view.start);
            EXPECT_FALSE(view.stop);
            dialog.StartSearch("*.txt");
            EXPECT_FALSE(view.start);
            EXPECT_TRUE(view.stop);
            EXPECT_FALSE(dialog.CanClose());
            rig.window.answers.push_back(answer);
            dialog.StopSearch();
            EXPECT_EQ(rig.window.LastMessage(), msg::kStopSearchQuestion);
            EXPECT_EQ(view.stop, answer == Answer::No);
            rig.window.RunPendingWorker();
            closable = dialog.CanClose();
        };
        rig.browse.Command(MenuItem::FindFiles);
        EXPECT_TRUE(closable);
        EXPECT_TRUE(view.start);
        EXPECT_FALSE(view.stop);
        if (answer == Answer::No) {
            EXPECT_GT(view.rows.size(), 10u);
            EXPECT_EQ(view.rows[0].name, UpperCaseName(view.rows[0].name));
        } else {
            EXPECT_TRUE(view.rows.empty());
        }
    }
}

TEST_F(BrowseTest, ToolButtonsActOnlyWhileTheirMenuItemIsEnabled)
{
    const auto out = FreshFolder("dravik_shell_recover");
    rig.window.folderToChoose = out;
    rig.browse.ToolButton(4);  // Load Snapshot is greyed at the browse step
    EXPECT_TRUE(rig.window.messages.empty() || rig.window.LastMessage() == msg::kStandardScanDone);
    rig.browse.ToolButton(2);  // Recover All
    EXPECT_EQ(rig.window.saveProgressOpened, 1);
    EXPECT_EQ(rig.window.saveProgressClosed, 1);
    EXPECT_TRUE(std::filesystem::exists(out / "Documents" / "Reports" / "readme.txt"));
    EXPECT_EQ(std::filesystem::file_size(out / "Documents" / "Reports" / "readme.txt"), 690u);
    EXPECT_TRUE(rig.window.menu[MenuItem::RecoverAll]);  // menu state 3 again
    EXPECT_TRUE(rig.window.Offered(ctl::kBack));
}

// A batch that leaves a file unwritten says so and offers its log (and its report), which "&Open
// Log" shows until a batch writes everything whole again; such a batch shows nothing.
TEST_F(BrowseTest, RecoveryThatMissesAFileOffersTheLogAndOpenLogShowsIt)
{
    const auto out = FreshFolder("dravik_shell_recover_log");
    std::filesystem::create_directories(out / "Documents" / "Reports" / "readme.txt");  // cannot be replaced
    rig.session.recoverySettings.duplicatePolicy = recovery::DuplicatePolicy::Overwrite;
    rig.window.folderToChoose = out;
    const std::size_t before = rig.window.messages.size();
    rig.window.answers = {Answer::Yes};  // "Continue Recovery ?"
    rig.window.summaryChoice = BatchSummaryChoice::OpenLog;
    rig.browse.RecoverAll();
    ASSERT_EQ(rig.window.messages.size(), before + 1);
    ASSERT_EQ(rig.window.reportOffers.size(), 1u);
    const std::string& summary = rig.window.reportOffers.back();
    EXPECT_TRUE(summary.starts_with(msg::kBatchNotWhole)) << summary;
    EXPECT_NE(summary.find("\nerrors: 1\n"), std::string::npos) << summary;
    ASSERT_EQ(rig.window.plainMessages.size(), 1u);
    const std::string log = rig.window.plainMessages[0];
    EXPECT_NE(log.find(std::string(msg::kOutcomeCannotCreate) + "\tDocuments/Reports/readme.txt\n"), std::string::npos)
        << log;
    EXPECT_EQ(log.find(std::string(msg::kOutcomeWritten) + "\t"), std::string::npos) << log;  // only what went wrong
    EXPECT_NE(log.find("\nerrors: 1\n"), std::string::npos) << log;

    rig.browse.Command(MenuItem::OpenLog);
    ASSERT_EQ(rig.window.plainMessages.size(), 2u);
    EXPECT_EQ(rig.window.plainMessages[1], log);

    // Everything written whole: no message, and the log is gone.
    rig.window.folderToChoose = FreshFolder("dravik_shell_recover_log_good");
    const std::size_t shown = rig.window.messages.size();
    rig.browse.RecoverAll();
    EXPECT_EQ(rig.window.messages.size(), shown);
    EXPECT_EQ(rig.window.reportOffers.size(), 1u);
    rig.browse.Command(MenuItem::OpenLog);
    ASSERT_EQ(rig.window.plainMessages.size(), 3u);
    EXPECT_EQ(rig.window.plainMessages[2], msg::kOpenLogText);
}

// "Save Report...": greyed until a batch has run; then in the Recovery menu (and in the summary of
// a batch not written whole); the name chosen decides CSV or JSON Lines; a file that cannot be
// written is said so.
TEST_F(BrowseTest, SaveReportAfterABatchWritesEveryFileWithItsHash)
{
    EXPECT_FALSE(rig.window.menu[MenuItem::SaveReport]);
    const auto out = FreshFolder("dravik_shell_report");
    rig.window.folderToChoose = out / "files";
    rig.window.reportName = (out / "r.csv").string();
    rig.browse.RecoverAll();
    EXPECT_TRUE(rig.window.reportOffers.empty());  // all written whole: no summary
    EXPECT_TRUE(rig.window.menu[MenuItem::SaveReport]);
    rig.browse.Command(MenuItem::SaveReport);
    EXPECT_EQ(rig.window.filePatterns.back(), msg::kReportPattern);

    std::ifstream csv(out / "r.csv");
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "source,output,size,status,unreadableSectors,sha256\r");
    bool readme = false;
    while (std::getline(csv, line)) {
        if (line.starts_with("Documents/Reports/readme.txt,")) {
            readme = true;
            EXPECT_EQ(line, "Documents/Reports/readme.txt," + (out / "files" / "Documents" / "Reports" / "readme.txt").string() +
                                ",690,written,0,87edd6e9505b5216705b6ad6513d8ed0e197ed41253e7e4b764521a4638be183\r");
        }
    }
    EXPECT_TRUE(readme);

    rig.window.reportName = (out / "r.jsonl").string();
    rig.browse.Command(MenuItem::SaveReport);
    std::ifstream jsonl(out / "r.jsonl");
    std::getline(jsonl, line);
    EXPECT_TRUE(line.starts_with("{\"source\":")) << line;

    const std::size_t before = rig.window.messages.size();
    rig.window.reportName = (out / "missing" / "r.csv").string();
    rig.browse.Command(MenuItem::SaveReport);
    ASSERT_EQ(rig.window.messages.size(), before + 1);
    EXPECT_EQ(rig.window.messages.back().text, std::string(msg::kReportNotSaved) + *rig.window.reportName);
    EXPECT_EQ(rig.window.messages.back().kind, MessageKind::Error);
    std::filesystem::remove_all(out);
}

TEST_F(BrowseTest, SnapshotSavedAndLoadedBringsTheBrowseStepBack)
{
    const auto dir = FreshFolder("dravik_shell_snapshot");
    rig.window.saveName = (dir / "scan.qdn").string();
    rig.browse.ToolButton(3);
    const auto saved = dir / "scan.qdn.QDN";
    ASSERT_TRUE(std::filesystem::exists(saved));
    const std::size_t rootRows = rig.session.browse.rows.size();

    ShellRig other({BasicImage()});
    other.ToPartitionStep();
    other.window.openName = saved.string();
    other.browse.ToolButton(4);
    EXPECT_EQ(other.session.wizard.wizardStep, 3);
    EXPECT_EQ(other.session.browse.rows.size(), rootRows);
    EXPECT_EQ(other.window.ShownTree(), LeftTree::Folders);
    EXPECT_FALSE(other.window.Visible(ctl::kBack));
    EXPECT_FALSE(other.window.menu[MenuItem::LoadSnapshot]);
    EXPECT_TRUE(other.window.menu[MenuItem::SaveSnapshot]);
    EXPECT_EQ(other.window.Text(ctl::kQuickHelp), msg::kQuickHelpStep3);

    other.window.openName = (dir / "missing.QDN").string();
    other.session.wizard.wizardStep = 1;
    other.browse.LoadSnapshot();
    EXPECT_EQ(other.window.LastMessage(), msg::kUnableToOpenFile);
}

// The file asked about is the one written ("scan" is saved as "scan.QDN"); the open dialog
// shows those files too.
TEST_F(BrowseTest, SnapshotSaveAsksBeforeReplacingTheFileReallyWritten)
{
    const auto dir = FreshFolder("dravik_shell_snapshot_replace");
    const auto written = dir / "scan.QDN";
    std::ofstream(written) << "earlier";
    rig.window.saveName = (dir / "scan").string();
    const std::string question =
        std::string(msg::kReplaceFilePrefix) + written.string() + std::string(msg::kReplaceFileSuffix);

    rig.window.answers = {Answer::No};
    rig.browse.SaveSnapshot();
    EXPECT_EQ(rig.window.LastMessage(), question);
    EXPECT_EQ(std::filesystem::file_size(written), 7u);  // left as it was
    EXPECT_FALSE(std::filesystem::exists(dir / "scan"));

    rig.window.answers = {Answer::Yes};
    rig.browse.SaveSnapshot();
    EXPECT_EQ(rig.window.LastMessage(), question);
    EXPECT_GT(std::filesystem::file_size(written), 7u);

    // A name that is free is written without a question.
    const std::size_t asked = rig.window.messages.size();
    rig.window.saveName = (dir / "other.QDN").string();
    rig.browse.SaveSnapshot();
    EXPECT_EQ(rig.window.messages.size(), asked);
    EXPECT_TRUE(std::filesystem::exists(dir / "other.QDN"));
    EXPECT_EQ(rig.window.filePatterns.back(), msg::kSnapshotPattern);

    ShellRig other({BasicImage()});
    other.ToPartitionStep();
    other.window.openName = written.string();
    other.browse.LoadSnapshot();
    EXPECT_EQ(other.session.wizard.wizardStep, 3);
    ASSERT_FALSE(other.window.filePatterns.empty());
    const std::string& shown = other.window.filePatterns.back();
    EXPECT_NE(shown.find("*.QDNX"), std::string::npos) << shown;
    EXPECT_NE((" " + shown + " ").find(" *.QDN "), std::string::npos) << shown;
}

}  // namespace
}  // namespace shell
