// Restarting the wizard with administrator rights when a disk of the machine cannot be read for
// lack of them: the command line handed to pkexec.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace shell {

// Option of the wizard's command line that hands a display variable back after pkexec cleared
// the environment: --env NAME=VALUE.
inline constexpr std::string_view kEnvOption = "--env";

// `elevator` (pkexec), then the wizard `program`, one --env NAME=VALUE for each display variable
// that `getenv` finds set, then the images the wizard was started with, made absolute (so that they
// stay drives 0, 1, ...).
std::vector<std::string> ElevatedRestartCommand(const std::filesystem::path& elevator,
                                                const std::filesystem::path& program,
                                                const std::vector<std::string>& images,
                                                const std::function<const char*(const char*)>& getenv);

}  // namespace shell
