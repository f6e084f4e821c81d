// The pkexec command line of the wizard's restart with administrator rights.
#include "shell/elevation.h"

#include <system_error>

#include "platform/elevation.h"

namespace shell {

std::vector<std::string> ElevatedRestartCommand(const std::filesystem::path& elevator,
                                                const std::filesystem::path& program,
                                                const std::vector<std::string>& images,
                                                const std::function<const char*(const char*)>& getenv)
{
    std::vector<std::string> command{elevator.string(), program.string()};
    for (const std::string_view name : platform::kDisplayEnvironment) {
        const std::string key(name);
        const char* value = getenv(key.c_str());
        if (value != nullptr && *value != '\0') {
            command.emplace_back(kEnvOption);
            command.push_back(key + "=" + value);
        }
    }
    // pkexec may start the program in another folder: images are named by absolute path.
    for (const std::string& image : images) {
        std::error_code ec;
        const auto absolute = std::filesystem::absolute(image, ec);
        command.push_back(ec ? image : absolute.string());
    }
    return command;
}

}  // namespace shell
