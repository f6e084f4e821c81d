// Finding pkexec for the wizard's restart with administrator rights.
#include "platform/elevation.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <system_error>

namespace platform {

std::optional<std::filesystem::path> ElevationProgram()
{
    if (::geteuid() == 0) {
        return std::nullopt;
    }
    const char* path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "/usr/bin:/bin";
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        if (dir.empty()) {
            continue;
        }
        const std::filesystem::path candidate = std::filesystem::path(dir) / "pkexec";
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

bool IsDisplayVariable(std::string_view name) noexcept
{
    return std::find(kDisplayEnvironment.begin(), kDisplayEnvironment.end(), name) != kDisplayEnvironment.end();
}

}  // namespace platform
