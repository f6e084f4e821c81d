// A wizard over a fixture image and the recording window, for the shell tests.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "shell/browse_commands.h"
#include "shell/session.h"
#include "shell/wizard.h"
#include "support/fake_window.h"

namespace testing_support {

struct ShellRig
{
    shell::Session session;
    FakeWindow window;
    shell::Wizard wizard{session, window};
    shell::BrowseCommands browse{session, window, wizard};

    // The images become drives 0, 1, ...; the machine's disks are left out.
    explicit ShellRig(const std::vector<std::string>& images, const std::filesystem::path& startupFolder = {})
    {
        session.images = images;
        session.discoveryRoots.sysBlock = std::filesystem::path();
        session.startupFolder = startupFolder.empty() ? std::filesystem::temp_directory_path() : startupFolder;
    }

    // Start-up, a click on drive 0, Next.
    void ToPartitionStep(bool advance = false);
    // ... then a click on partition 1 and Next: the Standard Scan.
    void ToBrowseStepStandard();
    // The index of the first list row whose name is `name`.
    std::optional<std::size_t> RowNamed(const std::string& name) const;
};

}  // namespace testing_support
