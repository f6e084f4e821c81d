// The commands of dravik-cli. To add one: write cmd_<name>.cpp with its Run function, declare it
// here and add one line to the table in cli_app.cpp.
#pragma once

#include <span>
#include <string>

#include "cli/session.h"

namespace cli {

// Runs a command with the arguments that follow its name; returns the exit code.
using CommandFn = int (*)(CliContext& context, std::span<const std::string> args);

int RunDrives(CliContext& context, std::span<const std::string> args);
int RunRead(CliContext& context, std::span<const std::string> args);
int RunPartitions(CliContext& context, std::span<const std::string> args);
int RunSearchPartitions(CliContext& context, std::span<const std::string> args);
int RunScan(CliContext& context, std::span<const std::string> args);
int RunLs(CliContext& context, std::span<const std::string> args);
int RunAdvanceScan(CliContext& context, std::span<const std::string> args);
int RunFind(CliContext& context, std::span<const std::string> args);
int RunRecover(CliContext& context, std::span<const std::string> args);

// Strict decimal parse of a whole argument (no sign, no blanks); empty when it is not one.
std::optional<std::uint64_t> ParseUnsigned(const std::string& text);

}  // namespace cli
