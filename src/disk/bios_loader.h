// Loading the two BIOS disk libraries of mode F, in the order start-up checks them.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "disk/bios_libraries.h"
#include "platform/shared_library.h"

namespace disk {

inline constexpr std::string_view kVexaFileName = "libVexa32.so";
inline constexpr std::string_view kVexbFileName = "libVexb2.so";

enum class BiosLoadOutcome
{
    Loaded,
    VexaNotFound,   // the first library does not load
    VexaCorrupted,  // it lacks an entry point
    VexbNotFound,   // the second library does not load
    VexbCorrupted,  // it lacks get_drive_geometry32
};

// The fatal text of an outcome (empty for Loaded). Callers show it and end with exit code 0.
std::string_view BiosLoadMessage(BiosLoadOutcome outcome);

// The loaded libraries; they must outlive every use of `entries`.
struct LoadedBiosLibraries
{
    platform::SharedLibrary vexa;
    platform::SharedLibrary vexb;
    BiosLibraries entries;
};

// Loads both libraries from `dir` and resolves ReadDisk32, CheckInt13Extension32,
// get_drive_geometry32 and find_hard_disk32 in that order, then hands both libraries the drive
// list (`drivePaths`[k] is BIOS drive 0x80 + k) through their DravikBiosSetDrives.
BiosLoadOutcome LoadBiosLibraries(const std::filesystem::path& dir, std::span<const std::string> drivePaths,
                                  LoadedBiosLibraries& out);

}  // namespace disk
