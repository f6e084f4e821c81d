#include "support/cli_runner.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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

} // namespace testing_support
