// Runs a shell command line (typically dravik-cli) and captures what it printed.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace testing_support {

struct CliRun
{
    int exitCode = -1; // the exit status, or -1 when the command did not exit normally
    std::string out;   // everything written to stdout
    std::string err;   // everything written to stderr (unless the command line redirects it)
};

// `text` as one single-quoted shell word; single quotes inside it are kept.
std::string Quoted(const std::string& text);

// Runs `commandLine` through /bin/sh. Redirections inside the command line (2>&1, 2>/dev/null)
// apply first; whatever still reaches stderr is captured separately through a temporary file.
CliRun RunCommand(const std::string& commandLine);

// sha256 (hex) of every file below `root`, by its path relative to `root`.
std::map<std::string, std::string> HashTree(const std::filesystem::path& root);
// sha256 (hex) of one file.
std::string HashFile(const std::filesystem::path& path);

} // namespace testing_support
