// The window's parts on their own: the progress bridge's threading, the list and tree models,
// the desktop-entry reader of "Open With", the message box and the recovery dialogs.
#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QButtonGroup>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTreeView>
#include <atomic>
#include <algorithm>
#include <chrono>
#include <thread>

#include "core/messages.h"
#include "gui/preview_pane.h"
#include "gui/desktop_apps.h"
#include "gui/dialogs/message_box.h"
#include "gui/dialogs/open_with_dialog.h"
#include "gui/dialogs/recovery_settings_dialog.h"
#include "gui/dialogs/save_progress_dialog.h"
#include "gui/file_types.h"
#include "gui/formatted_tips.h"
#include "gui/main_window.h"
#include "gui/models/left_tree_model.h"
#include "gui/models/list_model.h"
#include "gui/progress_bridge.h"
#include "recovery/file_extraction.h"

class GuiPartsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bridgeShowsOnlyTheLatestValuesAndFlushesBeforeTheEnd();
    void bridgeRefusesASecondWorkerAndAsksFromTheWorker();
    void bridgeShowsTheRateAndTimeLeftWhileTheWorkerRuns();
    void bridgeReportsOutOfMemoryInsteadOfTheEnd();
    void windowShowsTheWorkersLastValuesBeforeItsEnd();
    void listModelShowsAHundredThousandRowsAtOnce();
    void listModelUtf8NamesAndRenameHandler();
    void treeModelRowsParentsAndBrokenItems();
    void desktopEntries();
    void execLineExpansion();
    void applicationsFromTheMimeCache();
    void openWithListsTheTypesApplications();
    void fileTypeNamesByExtension();
    void formattedTipsKeepTheirWordsAndShowTheIcon();
    void messageBoxButtonsByKind();
    void saveProgressButtonsSetTheFlagsAndDoNotClose();
    void settingsDialogHandsBackItsControls();
    void previewPaneChoosesImageTextOrHex();
};

void GuiPartsTest::bridgeShowsOnlyTheLatestValuesAndFlushesBeforeTheEnd()
{
    gui::ProgressBridge bridge;
    QStringList statuses;
    QList<int> progress;
    QString lastRow2;
    connect(&bridge, &gui::ProgressBridge::statusChanged, this, [&](const QString& s) { statuses << s; });
    connect(&bridge, &gui::ProgressBridge::progressChanged, this, [&](int p) { progress << p; });
    connect(&bridge, &gui::ProgressBridge::panelValueChanged, this, [&](int row, const QString& text) {
        if (row == 2)
            lastRow2 = text;
    });
    bool ended = false;
    QString statusAtEnd;
    std::thread::id workerThread;
    QVERIFY(bridge.start(
        [&] {
            workerThread = std::this_thread::get_id();
            for (int i = 0; i < 100000; ++i) {
                bridge.Progress(i % 100);
                bridge.PanelValue(2, std::to_string(i));
            }
            bridge.Status("Searching For Lost Data");
            bridge.PanelValue(9, "ignored");
        },
        [&] {
            ended = true;
            statusAtEnd = statuses.isEmpty() ? QString() : statuses.back();
        }));
    QVERIFY(bridge.running());
    QVERIFY(QTest::qWaitFor([&] { return ended; }, 10000));
    QVERIFY(!bridge.running());
    QVERIFY(workerThread != std::this_thread::get_id());
    // The last values were painted before the end ran; far fewer paints than reports.
    QCOMPARE(statusAtEnd, QStringLiteral("Searching For Lost Data"));
    QCOMPARE(lastRow2, QStringLiteral("99999"));
    QCOMPARE(progress.back(), 99);
    QVERIFY(progress.size() < 1000);
}

void GuiPartsTest::bridgeShowsTheRateAndTimeLeftWhileTheWorkerRuns()
{
    gui::ProgressBridge bridge;
    QStringList rates;
    connect(&bridge, &gui::ProgressBridge::rateChanged, this, [&](const QString& text) { rates << text; });
    bool ended = false;
    QVERIFY(bridge.start(
        [&] {
            bridge.Amount(0, 100'000'000, core::AmountUnit::Bytes);
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
            bridge.Amount(10'000'000, 100'000'000, core::AmountUnit::Bytes);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        },
        [&] { ended = true; }));
    QVERIFY(QTest::qWaitFor([&] { return ended; }, 10000));
    // Shown while running ("14.3 MB/s  0:06 left"), cleared once the worker has ended.
    QVERIFY2(std::any_of(rates.begin(), rates.end(),
                         [](const QString& r) { return r.contains(QStringLiteral(" MB/s")) && r.endsWith(QStringLiteral(" left")); }),
             qPrintable(rates.join(QStringLiteral(" | "))));
    QVERIFY(!rates.isEmpty());
    QCOMPARE(rates.back(), QString());
}

void GuiPartsTest::bridgeRefusesASecondWorkerAndAsksFromTheWorker()
{
    gui::ProgressBridge bridge;
    std::atomic<bool> release{false};
    bool answeredOnGuiThread = false;
    bool ended = false;
    QVERIFY(bridge.start(
        [&] {
            bridge.runOnGuiThread([&] { answeredOnGuiThread = QThread::currentThread() == qApp->thread(); });
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        },
        [&] { ended = true; }));
    QVERIFY(!bridge.start([] {}, [] {}));
    QVERIFY(QTest::qWaitFor([&] { return answeredOnGuiThread; }, 5000));
    release = true;
    QVERIFY(QTest::qWaitFor([&] { return ended; }, 5000));
    QVERIFY(bridge.start([] {}, [] {}));
    QVERIFY(QTest::qWaitFor([&] { return !bridge.running(); }, 5000));
}

void GuiPartsTest::bridgeReportsOutOfMemoryInsteadOfTheEnd()
{
    gui::ProgressBridge bridge;
    bool oom = false;
    bool ended = false;
    connect(&bridge, &gui::ProgressBridge::outOfMemory, this, [&] { oom = true; });
    QVERIFY(bridge.start([] { throw std::bad_alloc(); }, [&] { ended = true; }));
    QVERIFY(QTest::qWaitFor([&] { return oom; }, 5000));
    QVERIFY(!ended);
}

void GuiPartsTest::windowShowsTheWorkersLastValuesBeforeItsEnd()
{
    gui::MainWindow window;
    window.SetControlText(shell::ctl::kStatus, "Searching For Lost Data");  // the shell's text first
    std::string statusAtEnd;
    std::string rowAtEnd;
    int progressAtEnd = -1;
    bool ended = false;
    window.StartWorker(
        [&window] {
            core::ProgressSink& sink = window.WorkerSink();
            sink.Status("Creating Tree Structure");
            sink.PanelValue(3, "123");
            sink.Progress(99);
        },
        [&] {
            statusAtEnd = window.ControlText(shell::ctl::kStatus);
            rowAtEnd = window.ControlText(shell::ctl::PanelValueId(3));
            progressAtEnd = qobject_cast<QProgressBar*>(window.control(shell::ctl::kProgress))->value();
            ended = true;
        });
    QVERIFY(window.workerRunning());
    QVERIFY(QTest::qWaitFor([&] { return ended; }, 5000));
    QCOMPARE(statusAtEnd, std::string("Creating Tree Structure"));
    QCOMPARE(rowAtEnd, std::string("123"));
    QCOMPARE(progressAtEnd, 99);
}

void GuiPartsTest::listModelShowsAHundredThousandRowsAtOnce()
{
    gui::FileTypes types;
    gui::ListModel model(types);
    model.setColumns({{QStringLiteral("Name"), 150, Qt::AlignLeft}, {QStringLiteral("Type"), 100, Qt::AlignLeft},
                      {QStringLiteral("Size"), 70, Qt::AlignRight}});
    std::vector<ntfs::ListRow> rows(100000);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].name = "file" + std::to_string(i) + (i % 3 == 0 ? ".txt" : i % 3 == 1 ? ".jpg" : ".qqq");
        rows[i].type = "File";
        rows[i].size = std::to_string(i);
    }
    QTreeView view;
    view.setUniformRowHeights(true);
    view.setModel(&model);
    view.resize(600, 400);
    view.show();
    QElapsedTimer timer;
    timer.start();
    model.setRows(std::move(rows));
    view.scrollToBottom();
    QApplication::processEvents();
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(model.rowCount(), 100000);
    QCOMPARE(model.data(model.index(99999, 2)).toString(), QStringLiteral("99999"));
    QCOMPARE(model.data(model.index(5, 2), Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::Alignment(Qt::AlignRight));
    QVERIFY(!model.data(model.index(5, 0), Qt::DecorationRole).value<QIcon>().isNull());
}

void GuiPartsTest::listModelUtf8NamesAndRenameHandler()
{
    gui::FileTypes types;
    gui::ListModel model(types);
    model.setColumns({{QStringLiteral("Name"), 150, Qt::AlignLeft}});
    ntfs::ListRow row;
    row.name = "men\xc3\xba \xd0\xa4\xf0\x9f\x98\x80.txt";  // UTF-8 as the catalog keeps it: menú Ф😀.txt
    model.setRows({row});
    QCOMPARE(model.data(model.index(0, 0)).toString(), QString::fromUtf8("men\xc3\xba \xd0\xa4\xf0\x9f\x98\x80.txt"));

    // Editing reaches the handler only while a rename is open; the row changes only when told.
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
    QString renamed;
    model.setRenameHandler([&](int, const QString& text) { renamed = text; });
    model.setEditable(true);
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    QVERIFY(model.setData(model.index(0, 0), QStringLiteral("b.txt")));
    QCOMPARE(renamed, QStringLiteral("b.txt"));
    QCOMPARE(model.data(model.index(0, 0)).toString(), QString::fromUtf8("men\xc3\xba \xd0\xa4\xf0\x9f\x98\x80.txt"));
    model.setRowName(0, "b.txt");
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("b.txt"));
    // With no columns (the list between steps) nothing shows.
    model.setColumns({});
    QCOMPARE(model.rowCount(), 0);
}

void GuiPartsTest::treeModelRowsParentsAndBrokenItems()
{
    std::array<QIcon, 5> images;
    gui::LeftTreeModel model(images);
    shell::TreeModel items = {
        {1, 0, "Root", 4, 4, true},  {2, 1, "Documents", 2, 1, false}, {3, 1, "Photos", 2, 1, false},
        {4, 3, "2020", 2, 1, false}, {5, 99, "orphan", 2, 1, false},   {6, 0, "second root", 4, 4, false},
    };
    model.setItems(items);
    QCOMPARE(model.rowCount(), 1);
    const QModelIndex root = model.index(0, 0);
    QCOMPARE(model.rowCount(root), 2);
    const QModelIndex photos = model.indexForId(3);
    QCOMPARE(photos.row(), 1);
    QCOMPARE(model.parent(photos), root);
    QCOMPARE(model.index(0, 0, photos).data().toString(), QStringLiteral("2020"));
    QCOMPARE(model.parent(model.indexForId(4)), photos);
    QVERIFY(!model.indexForId(5).isValid());   // parent unknown
    QVERIFY(!model.indexForId(6).isValid());   // a second root
    QVERIFY(!model.indexForId(77).isValid());
    QCOMPARE(model.expandedIds(), std::vector<core::TreeItemId>{1});
    model.setItemText(2, QStringLiteral("Docs"));
    QCOMPARE(model.indexForId(2).data().toString(), QStringLiteral("Docs"));
    model.setItems({});
    QCOMPARE(model.rowCount(), 0);
}

void GuiPartsTest::desktopEntries()
{
    const gui::DesktopApp app = gui::parseDesktopEntry(
        QStringLiteral("ed.desktop"),
        QStringLiteral("[Desktop Entry]\nType=Application\nName=Editor\nExec=ed %F\nMimeType=text/plain;text/x-c;\n"
                       "[Desktop Action New]\nName=New Window\nExec=ed --new\n"));
    QCOMPARE(app.name, QStringLiteral("Editor"));
    QCOMPARE(app.exec, QStringLiteral("ed %F"));
    QCOMPARE(app.mimeTypes, (QStringList{QStringLiteral("text/plain"), QStringLiteral("text/x-c")}));
    QVERIFY(gui::parseDesktopEntry(QStringLiteral("h.desktop"),
                                   QStringLiteral("[Desktop Entry]\nType=Application\nName=H\nExec=h\nNoDisplay=true\n"))
                .name.isEmpty());
    QVERIFY(gui::parseDesktopEntry(QStringLiteral("l.desktop"),
                                   QStringLiteral("[Desktop Entry]\nType=Link\nName=L\nURL=http://x\n"))
                .name.isEmpty());
}

void GuiPartsTest::execLineExpansion()
{
    const QString file = QStringLiteral("/tmp/a b.txt");
    QCOMPARE(gui::commandForFile(QStringLiteral("gedit %U"), file),
             (QStringList{QStringLiteral("gedit"), QStringLiteral("file:///tmp/a b.txt")}));
    QCOMPARE(gui::commandForFile(QStringLiteral("\"/opt/my app/run\" --file=%f %i %c"), file),
             (QStringList{QStringLiteral("/opt/my app/run"), QStringLiteral("--file=/tmp/a b.txt")}));
    QCOMPARE(gui::commandForFile(QStringLiteral("viewer --zoom 100%%"), file),
             (QStringList{QStringLiteral("viewer"), QStringLiteral("--zoom"), QStringLiteral("100%"), file}));
}

void GuiPartsTest::applicationsFromTheMimeCache()
{
    QTemporaryDir dir;
    auto write = [&](const QString& name, const QByteArray& text) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    write(QStringLiteral("mimeinfo.cache"), "[MIME Cache]\ntext/plain=zed.desktop;\n");
    write(QStringLiteral("zed.desktop"), "[Desktop Entry]\nType=Application\nName=Zed\nExec=zed %f\n");
    write(QStringLiteral("abc.desktop"),
          "[Desktop Entry]\nType=Application\nName=Abc\nExec=abc %f\nMimeType=text/plain;\n");
    write(QStringLiteral("img.desktop"),
          "[Desktop Entry]\nType=Application\nName=Img\nExec=img %f\nMimeType=image/png;\n");
    const auto apps = gui::applicationsForMimeTypes({QStringLiteral("text/plain")}, {dir.path()});
    QCOMPARE(apps.size(), std::size_t{2});
    QCOMPARE(apps[0].name, QStringLiteral("Abc"));
    QCOMPARE(apps[1].name, QStringLiteral("Zed"));
}

void GuiPartsTest::openWithListsTheTypesApplications()
{
    QTemporaryDir dir;
    QFile entry(dir.filePath(QStringLiteral("viewer.desktop")));
    QVERIFY(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Text Viewer\nExec=textview --open %f\nMimeType=text/plain;\n");
    entry.close();
    const QString file = dir.filePath(QStringLiteral("notes.txt"));
    gui::OpenWithDialog dialog(file, nullptr, {dir.path()});
    QCOMPARE(dialog.list()->count(), 1);
    QCOMPARE(dialog.list()->item(0)->text(), QStringLiteral("Text Viewer"));
    QCOMPARE(dialog.chosenCommand(), (QStringList{QStringLiteral("textview"), QStringLiteral("--open"), file}));

    // A C source is text/plain by ancestry, so the viewer is offered for it too.
    gui::OpenWithDialog source(dir.filePath(QStringLiteral("main.c")), nullptr, {dir.path()});
    QCOMPARE(source.list()->count(), 1);
}

void GuiPartsTest::fileTypeNamesByExtension()
{
    gui::FileTypes types;
    QCOMPARE(types.describe("archive.qqqzz"), std::string("QQQZZ File"));
    QCOMPARE(types.describe("NOEXTENSION"), std::string("File"));
    QVERIFY(types.describe("letter.txt") != "TXT File");  // the MIME database knows text files
    QCOMPARE(types.describe("A.TXT"), types.describe("b.txt"));
}

void GuiPartsTest::formattedTipsKeepTheirWordsAndShowTheIcon()
{
    for (const QString& tip : {gui::scanTypeTip(), gui::rangeTip()}) {
        QTextDocument doc;
        doc.setHtml(tip);
        const qsizetype at = tip.indexOf(QStringLiteral("data:image/png"));
        QVERIFY(at > 0);
        const QUrl image(tip.mid(at, tip.indexOf(QLatin1Char('"'), at) - at));
        QVERIFY(!doc.resource(QTextDocument::ImageResource, image).isNull());
    }
    QTextDocument scan;
    scan.setHtml(gui::scanTypeTip());
    const QString text = scan.toPlainText();
    for (const char* words : {"SCAN TYPE", "Standard Scan", "This is fast mode for recovering data.",
                              " select this for cases like:- File deletion,", "Partition deletion, Bad Sectors etc.",
                              "Advence Mode", "or where Standard Scan fails to recover the data."})
        QVERIFY2(text.contains(QString::fromLatin1(words)), words);
    QTextDocument range;
    range.setHtml(gui::rangeTip());
    QVERIFY(range.toPlainText().contains(QStringLiteral("Here select the file system to recover and")));
    QVERIFY(range.toPlainText().contains(QStringLiteral(" the range of the disk area to scan.")));
}

void GuiPartsTest::messageBoxButtonsByKind()
{
    gui::MessageBox info(QStringLiteral(" No partitions found"), gui::MessageKind::Information);
    QCOMPARE(info.windowTitle(), QStringLiteral("Quorvel Dravik for NTFS"));
    QCOMPARE(info.text(), QStringLiteral(" No partitions found"));
    QVERIFY(info.okButton());
    QCOMPARE(info.okButton()->text(), QStringLiteral("&Ok"));
    QVERIFY(!info.yesButton());
    QVERIFY(!info.findChild<QLabel*>(QStringLiteral("messageIcon"))->pixmap().isNull());

    gui::MessageBox question(QStringLiteral("Do you really want to exit ?"), gui::MessageKind::Question);
    QVERIFY(!question.okButton());
    QCOMPARE(question.yesButton()->text(), QStringLiteral("&Yes"));
    QCOMPARE(question.noButton()->text(), QStringLiteral("&No"));
    QTimer::singleShot(0, &question, [&] { question.noButton()->click(); });
    QCOMPARE(question.exec(), int(QDialog::Rejected));

    gui::MessageBox plain(QStringLiteral("x"), gui::MessageKind::None);
    QVERIFY(plain.findChild<QLabel*>(QStringLiteral("messageIcon"))->pixmap().isNull());
}

void GuiPartsTest::saveProgressButtonsSetTheFlagsAndDoNotClose()
{
    recovery::RecoveryState state;
    gui::SaveProgressDialog dialog(state);
    dialog.open();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Saving the data please wait"));
    QCOMPARE(dialog.stopButton()->text(), QStringLiteral("&Stop Saving"));
    QCOMPARE(dialog.skipButton()->text(), QStringLiteral("S&kip File"));
    QVERIFY(dialog.stopButton()->isDefault());
    dialog.skipButton()->click();
    QVERIFY(state.skipRequested);
    QVERIFY(!state.stopRequested);
    dialog.stopButton()->click();
    QVERIFY(state.stopRequested);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    dialog.close();
    QVERIFY(dialog.isVisible());

    std::thread worker([&] {
        dialog.sink().PanelValue(recovery::kSaveRowFileName, "b.txt");
        dialog.sink().PanelValue(recovery::kSaveRowTotalFiles, "3");
    });
    worker.join();
    dialog.finish();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.fileNameText(), QStringLiteral("b.txt"));
    QCOMPARE(dialog.totalFilesText(), QStringLiteral("3"));
}

void GuiPartsTest::settingsDialogHandsBackItsControls()
{
    recovery::SettingsChoice current;
    current.sectorsIndex = 59;
    current.retriesIndex = 2;
    current.duplicate = recovery::DuplicatePolicy::Rename;
    gui::RecoverySettingsDialog dialog(current);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Recovery Settings"));
    QCOMPARE(dialog.sectorsList()->count(), 100);
    QCOMPARE(dialog.sectorsList()->currentText(), QStringLiteral("60"));
    QCOMPARE(dialog.retriesList()->count(), 10);
    QCOMPARE(dialog.retriesList()->currentText(), QStringLiteral("3"));
    QCOMPARE(dialog.deletedGroup()->checkedId(), -1);

    dialog.sectorsList()->setCurrentIndex(7);
    dialog.duplicateGroup()->button(3)->click();
    const recovery::SettingsChoice chosen = dialog.choice();
    QCOMPARE(chosen.sectorsIndex, std::size_t{7});
    QCOMPARE(chosen.retriesIndex, std::size_t{2});
    QVERIFY(chosen.duplicate == recovery::DuplicatePolicy::Skip);
    QVERIFY(!chosen.deleted.has_value());
}

void GuiPartsTest::previewPaneChoosesImageTextOrHex()
{
    gui::PreviewPane pane;
    recovery::PreviewBytes preview;
    QImage image(7, 5, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(image.save(&buffer, "PNG"));
    preview.bytes.assign(png.begin(), png.end());
    pane.showBytes(QStringLiteral("photo.png"), preview);
    QCOMPARE(pane.kind(), gui::PreviewPane::Kind::Image);
    QCOMPARE(pane.imageLabel()->pixmap().size(), QSize(7, 5));

    // The same bytes under a text name are not text (NUL bytes): hex.
    pane.showBytes(QStringLiteral("photo.txt"), preview);
    QCOMPARE(pane.kind(), gui::PreviewPane::Kind::Hex);
    QVERIFY(pane.shownText().startsWith(QStringLiteral("00000000  89 50 4e 47")));

    // Encodings: UTF-8, UTF-16 with its mark, Latin-1.
    const auto show = [&](const QByteArray& bytes) {
        preview.bytes.assign(bytes.begin(), bytes.end());
        pane.showBytes(QStringLiteral("a.txt"), preview);
        return pane.shownText();
    };
    QCOMPARE(show(QByteArray("caf\xC3\xA9\n")), QStringLiteral("caf\u00e9\n"));
    QCOMPARE(show(QByteArray("\xFF\xFEh\0i\0", 6)), QStringLiteral("hi"));
    QCOMPARE(show(QByteArray("ni\xF1o a\xF1o")), QStringLiteral("ni\u00f1o a\u00f1o"));
    QCOMPARE(pane.kind(), gui::PreviewPane::Kind::Text);
    preview.readable = false;
    pane.showBytes(QStringLiteral("a.txt"), preview);
    QCOMPARE(pane.kind(), gui::PreviewPane::Kind::Message);
}

QTEST_MAIN(GuiPartsTest)
#include "gui_parts_test.moc"
