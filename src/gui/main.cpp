// The desktop wizard's entry point: dravik [IMAGE...]; each image is a drive ahead of the
// machine's own disks.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>

#include "core/messages.h"
#include "core/version.h"
#include "gui/app_icons.h"
#include "gui/qt_text.h"
#include "gui/wizard_app.h"
#include "platform/elevation.h"
#include "platform/temp_folder.h"
#include "shell/elevation.h"

namespace {

void showOutOfMemory()
{
    QMessageBox::critical(nullptr, gui::toQt(core::msg::kAppCaption), gui::toQt(core::msg::kOutOfMemory));
    std::fflush(nullptr);
    std::_Exit(0);
}

// Memory running out in any handler of the window's thread (a listing, a tree, a dialog) ends
// the program with the out-of-memory message, as it does in a worker.
class Application : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::bad_alloc&) {
            showOutOfMemory();
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    // Answered before any display is needed, so that it works from a plain terminal.
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::printf("dravik %s\n", core::kVersion);
        return 0;
    }
    // After a restart through pkexec: the display variables handed back (--env NAME=VALUE), set
    // before Qt connects to the display, and taken out of the arguments.
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == shell::kEnvOption && i + 1 < argc) {
            const std::string_view assignment(argv[++i]);
            const auto eq = assignment.find('=');
            if (eq != std::string_view::npos && platform::IsDisplayVariable(assignment.substr(0, eq)))
                ::setenv(std::string(assignment.substr(0, eq)).c_str(), argv[i] + eq + 1, 1);
            continue;
        }
        argv[kept++] = argv[i];
    }
    argc = kept;
    Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dravik"));
    QApplication::setApplicationVersion(QString::fromLatin1(core::kVersion));
    QApplication::setWindowIcon(gui::applicationIcon());

    std::vector<std::string> images;
    for (const QString& argument : QApplication::arguments().mid(1))
        images.push_back(argument.toStdString());

    try {
        gui::WizardApp wizard(std::move(images));
        wizard.window().show();
        if (!wizard.start())
            return 0;
        const int code = QApplication::exec();
        // Closed while a worker runs ("&Yes" to the exit question): the worker ends with the
        // process rather than being waited for.
        if (wizard.window().workerRunning()) {
            std::fflush(nullptr);
            platform::RemoveTemporaryFolder();
            std::_Exit(0);
        }
        return code;
    } catch (const std::bad_alloc&) {
        showOutOfMemory();
    }
    return 0;
}
