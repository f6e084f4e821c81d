// Administrator rights for the desktop wizard: the program that grants them (pkexec) and the
// environment a graphical program needs to reach the user's display once restarted through it.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string_view>

namespace platform {

// pkexec clears the environment; these are handed back to the restarted wizard.
inline constexpr std::array<std::string_view, 4> kDisplayEnvironment = {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY",
                                                                        "XDG_RUNTIME_DIR"};

// The path of pkexec when the process runs without root rights and pkexec is on PATH; empty
// otherwise (already root, or no way to ask).
std::optional<std::filesystem::path> ElevationProgram();

// Whether `name` is one of kDisplayEnvironment.
bool IsDisplayVariable(std::string_view name) noexcept;

}  // namespace platform
