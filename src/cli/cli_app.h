// Command-line parsing and dispatch of dravik-cli.
#pragma once

namespace cli {

// Exit codes (session.h): 0 success, 1 bad usage, 2 the disk could not be opened or read, 3 some
// files not recovered whole, 4 out of memory (given by the guard around Main in main.cpp).
int Main(int argc, char** argv);

}  // namespace cli
