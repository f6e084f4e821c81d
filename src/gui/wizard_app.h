// One run of the desktop wizard: the session, the main window, the wizard and the browse
// commands, and the wiring of the window's signals to them. main() and the GUI tests build it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gui/main_window.h"
#include "shell/browse_commands.h"
#include "shell/session.h"
#include "shell/wizard.h"

namespace gui {

class WizardApp
{
public:
    // `images` become drives 0, 1, ... ahead of the machine's disks. Tests may adjust the
    // session (say, to leave the machine's disks out) before start().
    explicit WizardApp(std::vector<std::string> images);
    ~WizardApp();

    // The wizard's start-up. False after a fatal start-up text was shown (the program then ends
    // with exit code 0).
    bool start();

    shell::Session& session() noexcept { return *m_session; }
    MainWindow& window() noexcept { return *m_window; }
    shell::Wizard& wizard() noexcept { return *m_wizard; }
    shell::BrowseCommands& commands() noexcept { return *m_commands; }

private:
    void connectWindow();

    std::unique_ptr<shell::Session> m_session;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<shell::Wizard> m_wizard;
    std::unique_ptr<shell::BrowseCommands> m_commands;
};

}  // namespace gui
