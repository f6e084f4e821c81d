// The wizard: start-up, Next and Back for both scan methods, the workers with the window changes
// around them, Stop, Exit and the close box, the choice of a found file system, and adding a disk
// image as a drive.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/types.h"
#include "shell/main_window.h"
#include "shell/session.h"

namespace shell {

class Wizard
{
public:
    enum class StartOutcome
    {
        Ready,
        LibraryFatal,  // mode F: a BIOS library is missing or broken; FatalText() says which
    };

    Wizard(Session& session, MainWindow& window) : m_session(session), m_window(window) {}
    Wizard(const Wizard&) = delete;
    Wizard& operator=(const Wizard&) = delete;

    // Start-up: remembers the start-up folder, chooses the access mode, creates the drive tree,
    // enumerates the drives and sets up step 0 with the default settings. On LibraryFatal the
    // caller shows FatalText() in the platform's plain message box and ends with exit code 0.
    StartOutcome Start();
    const std::string& FatalText() const noexcept { return m_fatal; }

    // The two radio buttons.
    void ChooseStandardScan();
    void ChooseAdvanceScan();

    void Next();
    void Back();
    // The Search Partitions link: the quick search of step 1.
    void SearchPartitions();
    // The Stop button: asks, and on Yes requests the stop of the running worker.
    void Stop();
    // "E&xit...": asks, and on Yes empties the catalog and ends the program.
    void Exit();
    // The close box: asks; true (after emptying the catalog) when the window may close.
    bool ConfirmClose();

    // Step 0: a drive item was clicked (not the root): selects the drive, shows its details and
    // offers Next.
    void SelectDriveItem(core::TreeItemId item);
    // Step 1: a partition-tree item was clicked.
    void SelectPartitionItem(core::TreeItemId item);
    // Step 2: an item of the found-file-system tree was clicked: loads that file system's
    // parameters, shows them (label set 4) and offers Next.
    void SelectFileSystem(core::TreeItemId item);

    // "Open Disk &Image..." at step 0: adds an image file as the next drive and rebuilds the
    // drive tree.
    void OpenDiskImage();

    bool WorkerRunning() const noexcept { return m_workerRunning; }

private:
    void SetQuickHelp(std::string_view text);
    void SetMenuState(int state);
    void Enumerate();
    void RunWorker(std::function<void()> work, std::function<void()> onEnd);
    void ShowFromWorker(std::string_view text);
    void RebuildPartitionTree();
    void OfferNext(bool offered);

    void NextFromDriveStep();
    void NextStandardScan();
    void NextAdvanceScan();
    // Why the partition the target was selected from cannot be scanned (empty when it can).
    std::string_view SelectedRecordRefusal() const;
    void NextMount();

    void StartQuickSearch();
    void EndQuickSearch();
    void StartStandardScan();
    void EndStandardScanParameters(bool found);
    void EndStandardScan(const std::vector<ntfs::ListRow>& rootRows);
    void StartAdvanceScan();
    void EndAdvanceScan();
    void StartMount();
    void EndMount(const std::vector<ntfs::ListRow>& rootRows);
    void ClearCatalogForExit();

    Session& m_session;
    MainWindow& m_window;
    std::string m_fatal;
    bool m_workerRunning = false;
};

}  // namespace shell
