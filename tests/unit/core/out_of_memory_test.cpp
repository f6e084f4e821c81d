// The out-of-memory guard: the system's text, then the exit code its caller chose (0 for the
// wizard, dravik-cli's own code for the command line); a run with memory enough passes through.
#include "core/out_of_memory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <new>
#include <string_view>

namespace {

int RunOutOfMemory(int exitCode)
{
    return core::RunGuardedAgainstOom([]() -> int { throw std::bad_alloc(); },
                                      [](std::string_view text) {
                                          std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
                                      },
                                      exitCode);
}

TEST(OutOfMemoryGuard, EndsWithTheTextAndTheChosenExitCode)
{
    EXPECT_EXIT(RunOutOfMemory(4), ::testing::ExitedWithCode(4),
                "Out of memory, close other applications and run again");
    EXPECT_EXIT(RunOutOfMemory(0), ::testing::ExitedWithCode(0), "Out of memory");
}

TEST(OutOfMemoryGuard, AWorkThatFinishesGivesItsResult)
{
    EXPECT_EQ(core::RunGuardedAgainstOom([] { return 7; }, [](std::string_view) {}, 4), 7);
}

}  // namespace
