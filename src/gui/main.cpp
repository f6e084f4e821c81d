// The desktop wizard's entry point: dravik [IMAGE...]; each image is a drive ahead of the
// machine's own disks.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "core/messages.h"
#include "gui/app_icons.h"
#include "gui/qt_text.h"
#include "gui/wizard_app.h"
#include "platform/temp_folder.h"

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
    Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dravik"));
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
