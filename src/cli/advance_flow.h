// The Advance Scan steps shared by the commands of dravik-cli: the range options
// ([--start S --end E | --partition K] [--chunk 1..100] [--fs K]), the range the partition step
// fills in, the sweep with terminal progress and Ctrl-C as Stop, and the mount of one found file
// system.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "advscan/advance_scan.h"
#include "advscan/mount.h"
#include "cli/session.h"
#include "catalog/catalog.h"
#include "ntfs/folder_tree.h"

namespace cli {

struct AdvanceOptions
{
    std::optional<std::string> start;
    std::optional<std::string> end;
    std::optional<std::uint64_t> partition;
    std::optional<std::uint32_t> chunk;
    std::optional<std::uint64_t> fileSystem;  // 1-based
};

// Everything one Advance Scan leaves.
struct AdvanceScan
{
    catalog::Catalog catalog;
    ntfs::FolderTree fileSystemTree = advscan::NewFoundFileSystemTree();
    ntfs::FolderTree folderTree;
    advscan::AdvanceScanResult result;
    advscan::MountResult mount;
    core::Sector rangeStart = 0;
    core::Sector rangeEnd = 0;
};

enum class OptionParse
{
    NotMine,   // args[i] is none of the Advance Scan options
    Taken,     // taken, i moved past its value
    Invalid,   // `problem` says why
};

// Takes the Advance Scan option at args[i] (--start, --end, --partition, --chunk, --fs).
OptionParse ParseAdvanceOption(std::span<const std::string> args, std::size_t& i, AdvanceOptions& options,
                               std::string& problem);

// The combinations the options allow; the problem when they do not.
std::optional<std::string> CheckAdvanceOptions(const AdvanceOptions& options);

// Runs the Advance Scan on the open drive of `session` over the range the options give (the
// whole drive by default), then mounts file system options.fileSystem when given. Returns kExitOk
// with `out` filled, otherwise the exit code after printing why, prefixed "dravik-cli <command>:".
int RunAdvanceFlow(CliContext& context, std::string_view command, Session& session, const AdvanceOptions& options,
                   AdvanceScan& out);

}  // namespace cli
