// Longest stall of the GUI thread while the desktop wizard runs a Standard Scan: a 10 ms timer
// records the largest gap between its ticks from Next until the browse step stands (the scan
// worker, the last flush, the tree build and the root listing included).
//   gui_responsiveness IMAGE   (bench/gui_responsiveness.sh builds and runs it)
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <unordered_map>
#include <vector>
#include <cstdio>

#include "wizard_driver.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: gui_responsiveness IMAGE\n");
        return 1;
    }
    gui_test::Rig rig(QString::fromLocal8Bit(argv[1]));
    if (!rig.started)
        return 1;
    rig.clickTree(shell::LeftTree::Drives, shell::DriveItemId(0));
    rig.click(gui_test::ctl::kNext);
    if (rig.s().partitionList.partitionCount == 0)
        return 1;
    rig.clickTree(shell::LeftTree::Partitions, rig.s().partitionList.records[0].treeItem);

    QElapsedTimer clock;
    qint64 last = 0;
    qint64 worst = 0;
    qint64 worstAt = 0;
    long ticks = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (now - last > worst) {
            worst = now - last;
            worstAt = now;
        }
        last = now;
        ++ticks;
    });
    clock.start();
    probe.start();
    // Next is clicked from the event loop, so the measurement covers its own handling too.
    QTimer::singleShot(0, [&] { rig.click(gui_test::ctl::kNext); });
    // The application's own event loop runs meanwhile, as it does for a user.
    QEventLoop loop;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (clock.elapsed() > 100 && !rig.w().workerRunning())
            loop.quit();
    });
    watch.start(20);
    loop.exec();
    const bool done = rig.s().wizard.wizardStep == 3;
    const qint64 total = clock.elapsed();
    if (total - last > worst)
        worst = total - last;
    std::printf("standard scan to browse step: %s in %lld ms, %ld ticks; %u folders, %u files, %zu rows in the root\n",
                done ? "reached" : "NOT reached", static_cast<long long>(total), ticks, rig.s().catalog.folderCount,
                rig.s().catalog.fileCount, rig.s().browse.rows.size());
    std::printf("longest GUI-thread stall: %lld ms (at %lld ms)\n", static_cast<long long>(worst),
                static_cast<long long>(worstAt));
    if (!done)
        return 1;

    // The folder with the most files, entered as a tree click enters it: its listing runs on the
    // GUI thread.
    std::vector<std::size_t> filesIn(rig.s().catalog.NtfsFolders().size() + 1, 0);
    std::unordered_map<std::uint32_t, std::size_t> byRecord;
    for (std::size_t i = 0; i < rig.s().catalog.NtfsFolders().size(); ++i)
        byRecord.emplace(rig.s().catalog.NtfsFolders()[i].record, i);
    for (const catalog::NtfsFileEntry& file : rig.s().catalog.NtfsFiles()) {
        const auto it = byRecord.find(file.parent);
        if (it != byRecord.end())
            ++filesIn[it->second];
    }
    const auto biggest = static_cast<std::size_t>(std::max_element(filesIn.begin(), filesIn.end()) - filesIn.begin());
    const catalog::NtfsFolderEntry& folder = rig.s().catalog.NtfsFolders()[biggest];
    QElapsedTimer enter;
    enter.start();
    rig.app.commands().OnTreeClick(shell::LeftTree::Folders, folder.treeItem);
    QApplication::processEvents();
    std::printf("entering the largest folder (%zu files, %zu rows listed): %lld ms on the GUI thread\n",
                filesIn[biggest], rig.s().browse.rows.size(), static_cast<long long>(enter.elapsed()));
    return 0;
}
