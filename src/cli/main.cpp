// dravik-cli: the scriptable front end of the recovery engine.
#include "cli/cli_app.h"

int main(int argc, char** argv) { return cli::Main(argc, argv); }
