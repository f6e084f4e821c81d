// dravik-cli: the scriptable front end of the recovery engine.
#include <cstdio>
#include <string_view>

#include "cli/cli_app.h"
#include "cli/session.h"
#include "core/out_of_memory.h"

int main(int argc, char** argv)
{
    return core::RunGuardedAgainstOom([&] { return cli::Main(argc, argv); },
                                      [](std::string_view text) {
                                          std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
                                      },
                                      cli::kExitOutOfMemory);
}
