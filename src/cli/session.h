// The drives of one dravik-cli run: access mode, enumeration and opening, shared by the commands.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "disk/bios_loader.h"
#include "disk/disk_state.h"
#include "disk/drive_enumeration.h"
#include "disk/drive_table.h"
#include "disk/system_drive_probe.h"

namespace cli {

// Exit codes of dravik-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitDisk = 2;
inline constexpr int kExitNotAllWritten = 3;  // recover: some files were not recovered whole
inline constexpr int kExitOutOfMemory = 4;    // memory ran out: the command did not finish

// Options given before the command.
struct GlobalOptions
{
    std::vector<std::string> images;    // --image FILE, repeatable: drives 0, 1, ... in this order
    bool imagesOnly = false;            // --images-only: leave the machine's disks out
    std::optional<int> platformId;      // --platform-id N: the OS identifier (1 selects the BIOS libraries)
    std::filesystem::path biosDir;      // --bios-dir DIR: where the BIOS libraries are (default: where installed)
    bool quiet = false;                 // --quiet: no progress line and no hints, errors still shown
};

class Session
{
public:
    enum class Outcome
    {
        Ready,
        ImageMissing,   // an --image names nothing; Problem() says which
        LibraryFatal,   // mode F: a BIOS library is missing or broken; Problem() is its fatal text
    };

    // Chooses the access mode, finds and enumerates the drives.
    Outcome Start(const GlobalOptions& options);
    const std::string& Problem() const noexcept { return m_problem; }

    // Makes drive `index` the selected one and opens it for reading (mode N).
    disk::OpenDriveOutcome SelectDrive(std::uint16_t index);

    disk::DiskState& Disk() noexcept { return m_disk; }
    const disk::DriveTable& Table() const noexcept { return m_table; }
    const disk::DriveTree& Tree() const noexcept { return m_tree; }

private:
    disk::DiskState m_disk;
    disk::DriveTable m_table;
    disk::DriveTree m_tree;
    std::unique_ptr<disk::SystemDriveProbe> m_probe;
    disk::LoadedBiosLibraries m_bios;
    std::string m_problem;
};

// What every command receives: the global options, a started session and where to print.
struct CliContext
{
    GlobalOptions options;
    std::FILE* out = stdout;
    std::FILE* err = stderr;

    // The session, started on first use. Empty after printing why it could not start; then
    // `exitCode` holds the code to end with (0 after a fatal library text, as the wizard does).
    Session* OpenSession(int& exitCode);

private:
    std::unique_ptr<Session> m_session;
};

}  // namespace cli
