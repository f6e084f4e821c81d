// Command-line parsing and dispatch of dravik-cli.
#include "cli/cli_app.h"

#include <cstdio>

namespace cli {

int Main(int argc, char** argv)
{
    (void)argc;
    (void)argv;
    std::fputs("usage: dravik-cli [--image FILE]... COMMAND\n", stderr);
    return 1;
}

}  // namespace cli
