// Restarting the wizard with administrator rights: the offer after a disk refused for lack of
// rights, and the pkexec command line it starts.
#include "shell/elevation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "core/messages.h"
#include "disk/drive_enumeration.h"
#include "shell/window_changes.h"
#include "support/memory_disk.h"
#include "support/shell_fixture.h"

namespace shell {
namespace {

using testing_support::ShellRig;
namespace msg = core::msg;

TEST(ElevatedRestartCommand, HandsBackTheSetDisplayVariablesAndTheImagesByAbsolutePath)
{
    const std::map<std::string, std::string> env = {
        {"DISPLAY", ":1"}, {"XAUTHORITY", "/run/user/1000/xauth_AbC"}, {"WAYLAND_DISPLAY", ""}, {"HOME", "/home/u"}};
    const auto getenv = [&env](const char* name) -> const char* {
        const auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    };
    const auto command =
        ElevatedRestartCommand("/usr/bin/pkexec", "/usr/bin/dravik", {"/srv/disk.img", "rel.img"}, getenv);
    const std::vector<std::string> expected = {
        "/usr/bin/pkexec", "/usr/bin/dravik", "--env", "DISPLAY=:1", "--env", "XAUTHORITY=/run/user/1000/xauth_AbC",
        "/srv/disk.img", (std::filesystem::current_path() / "rel.img").string()};
    EXPECT_EQ(command, expected);  // an empty variable and HOME are not handed on
}

// One disk of the machine that refuses to open, as a disk the user may not read does.
class RefusingProbe : public disk::DriveProbe
{
public:
    explicit RefusingProbe(bool needsRights) : m_needsRights(needsRights) {}
    std::optional<disk::DriveDescriptor> QueryDescriptor(unsigned n) override
    {
        return n == 0 ? std::optional(disk::DriveDescriptor{"Disk A", false}) : std::nullopt;
    }
    std::optional<disk::DriveGeometry> QueryGeometry(unsigned) override
    {
        return disk::DriveGeometry{1024, 255, 63, 1024ull * 255 * 63 * 512};
    }
    disk::OpenedDrive Open(unsigned) override
    {
        return {nullptr, "Cannot open /dev/sdz: Permission denied", m_needsRights};
    }

private:
    bool m_needsRights;
};

struct OfferCase
{
    bool needsRights;
    bool pkexecFound;
    Answer answer;
    bool restarted;
};

class ElevationOffer : public ::testing::TestWithParam<OfferCase>
{
};

TEST_P(ElevationOffer, OnlyADiskRefusedForRightsWithPkexecAtHandIsOfferedAndYesRestarts)
{
    const OfferCase& c = GetParam();
    ShellRig rig({"/srv/images/disk.img"});
    rig.session.probe = std::make_unique<RefusingProbe>(c.needsRights);
    rig.session.programPath = "/usr/bin/dravik";
    if (c.pkexecFound) {
        rig.session.elevationProgram = "/usr/bin/pkexec";
    }
    rig.wizard.Start();
    rig.browse.OnTreeClick(LeftTree::Drives, DriveItemId(0));
    rig.window.answers.push_back(c.answer);
    rig.wizard.Next();

    ASSERT_EQ(rig.window.messages.size(), 1u);
    const auto& message = rig.window.messages.back();
    EXPECT_EQ(message.text.rfind("Cannot open /dev/sdz: Permission denied", 0), 0u);
    const bool offered = c.needsRights && c.pkexecFound;
    EXPECT_EQ(message.kind, offered ? MessageKind::Question : MessageKind::Error);
    EXPECT_EQ(message.text.find(msg::kRestartWithRightsQuestion) != std::string::npos, offered);
    EXPECT_EQ(rig.window.ended, c.restarted);
    if (c.restarted) {
        ASSERT_EQ(rig.window.detached.size(), 1u);
        const auto& argv = rig.window.detached.front();
        ASSERT_GE(argv.size(), 3u);
        EXPECT_EQ(argv[0], "/usr/bin/pkexec");
        EXPECT_EQ(argv[1], "/usr/bin/dravik");
        EXPECT_EQ(argv.back(), "/srv/images/disk.img");
    } else {
        EXPECT_TRUE(rig.window.detached.empty());
        EXPECT_EQ(rig.session.wizard.wizardStep, 0);
        EXPECT_TRUE(rig.window.Offered(ctl::kNext));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ElevationOffer,
                         ::testing::Values(OfferCase{true, true, Answer::Yes, true},
                                           OfferCase{true, true, Answer::No, false},
                                           OfferCase{true, false, Answer::Yes, false},
                                           OfferCase{false, true, Answer::Yes, false}));

}  // namespace
}  // namespace shell
