// A wizard over a fixture image and the recording window.
#include "support/shell_fixture.h"

#include "shell/window_changes.h"

namespace testing_support {

void ShellRig::ToPartitionStep(bool advance)
{
    wizard.Start();
    if (advance) {
        window.CheckControl(shell::ctl::kAdvanceScan, true);
        wizard.ChooseAdvanceScan();
    }
    browse.OnTreeClick(shell::LeftTree::Drives, shell::DriveItemId(0));
    wizard.Next();
}

void ShellRig::ToBrowseStepStandard()
{
    ToPartitionStep();
    if (session.partitionList.partitionCount > 0) {
        browse.OnTreeClick(shell::LeftTree::Partitions, session.partitionList.records[0].treeItem);
    }
    wizard.Next();
}

std::optional<std::size_t> ShellRig::RowNamed(const std::string& name) const
{
    for (std::size_t i = 0; i < session.browse.rows.size(); ++i) {
        if (session.browse.rows[i].name == name) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace testing_support
