#include "support/cli_runner.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

std::string Quoted(const std::string& text)
{
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

CliRun RunCommand(const std::string& commandLine)
{
    CliRun run;
    std::string errPath = (std::filesystem::temp_directory_path() / "dravik-stderr-XXXXXX").string();
    const int fd = ::mkstemp(errPath.data());
    if (fd < 0)
        return run;
    ::close(fd);

    // The group keeps the command line's own redirections ahead of the capture of stderr.
    const std::string command = "{ " + commandLine + "\n} 2>" + Quoted(errPath);
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe != nullptr) {
        std::array<char, 4096> buf{};
        for (std::size_t got; (got = std::fread(buf.data(), 1, buf.size(), pipe)) > 0;)
            run.out.append(buf.data(), got);
        const int status = ::pclose(pipe);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream in(errPath, std::ios::binary);
        run.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::error_code ec;
    std::filesystem::remove(errPath, ec);
    return run;
}

std::map<std::string, std::string> HashTree(const std::filesystem::path& root)
{
    const CliRun run = RunCommand("cd " + Quoted(root.string()) + " && find . -type f -print0 | xargs -0 -r sha256sum");
    std::map<std::string, std::string> hashes;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.size() > 68)
            hashes[line.substr(68)] = line.substr(0, 64); // "<hash>  ./<path>"
    }
    return hashes;
}

std::string HashFile(const std::filesystem::path& path)
{
    const std::string out = RunCommand("sha256sum " + Quoted(path.string())).out;
    return out.substr(0, 64);
}

} // namespace testing_support
