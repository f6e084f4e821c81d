// The desktop wizard's entry point: dravik [IMAGE...]; each image is a drive ahead of the
// machine's own disks.
#include <QApplication>
#include <QMessageBox>
#include <new>

#include "core/messages.h"
#include "gui/app_icons.h"
#include "gui/qt_text.h"
#include "gui/wizard_app.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
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
        return QApplication::exec();
    } catch (const std::bad_alloc&) {
        QMessageBox::critical(nullptr, gui::toQt(core::msg::kAppCaption), gui::toQt(core::msg::kOutOfMemory));
        return 0;
    }
}
