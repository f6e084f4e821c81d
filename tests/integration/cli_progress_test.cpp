// The progress line of dravik-cli: drawn on a terminal (a pseudo-terminal here), never on a pipe,
// and silenced by --quiet together with the hints, errors kept.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/fixtures.h"

namespace {

using testing_support::FixturePath;
using testing_support::Quoted;
using testing_support::RunCommand;

struct TerminalRun
{
    int exitCode = -1;
    std::string screen;  // what reached the terminal (stderr, and stdout sent to /dev/null)
};

// Runs dravik-cli with stderr on a pseudo-terminal and stdout discarded.
TerminalRun RunOnTerminal(const std::vector<std::string>& args)
{
    TerminalRun run;
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) {
        return run;
    }
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout)) {
            _exit(126);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(DRAVIK_CLI));
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(DRAVIK_CLI, argv.data());
        _exit(127);
    }
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got > 0) {
            run.screen.append(buffer, static_cast<std::size_t>(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // EIO once the child has closed the terminal
        }
    }
    close(master);
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string Image() { return FixturePath("ntfs_basic.img").string(); }

TEST(CliProgress, DrawnOnATerminalWithTimesAndWipedAtTheEnd)
{
    const auto run = RunOnTerminal({"--image", Image(), "--images-only", "scan", "--partition", "1"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.screen.find("\r\033[K"), std::string::npos);
    EXPECT_NE(run.screen.find(" elapsed"), std::string::npos) << run.screen;
    EXPECT_NE(run.screen.find("[1] "), std::string::npos);  // the closing hint
}

TEST(CliProgress, NeverOnAPipe)
{
    const auto run = RunCommand(Quoted(DRAVIK_CLI) + " --image " + Quoted(Image()) +
                                " --images-only scan --partition 1 >/dev/null");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err.find('\r'), std::string::npos);
    EXPECT_EQ(run.err.find("elapsed"), std::string::npos);
}

TEST(CliProgress, QuietSilencesProgressAndHintsButNotErrors)
{
    const auto quiet = RunOnTerminal({"--quiet", "--image", Image(), "--images-only", "scan", "--partition", "1"});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.screen.find("elapsed"), std::string::npos);
    EXPECT_EQ(quiet.screen.find("[1] "), std::string::npos) << quiet.screen;
    const auto error = RunOnTerminal({"-q", "--image", Image(), "--images-only", "scan", "--partition", "9"});
    EXPECT_NE(error.exitCode, 0);
    EXPECT_NE(error.screen.find("no partition 9"), std::string::npos) << error.screen;
}

}  // namespace
