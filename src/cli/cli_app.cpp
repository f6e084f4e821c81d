// Command-line parsing and dispatch of dravik-cli.
#include "cli/cli_app.h"

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "core/version.h"

namespace cli {

namespace {

struct Command
{
    std::string_view name;
    CommandFn run;
    std::string_view usage;
};

// One line per command.
constexpr Command kCommands[] = {
    {"drives", RunDrives, "drives [--json]                 the drives offered, with model and geometry"},
    {"read", RunRead, "read --drive N SECTOR [COUNT]   hex dump of COUNT sectors (default 1)"},
    {"partitions", RunPartitions, "partitions [--drive N] [--json]   the listed partitions (quick search when none)"},
    {"search-partitions", RunSearchPartitions, "search-partitions [--drive N] [--json]   the lost-partition quick search"},
    {"scan", RunScan, "scan [--drive N] (--partition K | --snapshot FILE) [--save-snapshot FILE] [--json] [--tree]   Standard Scan of partition K, or the catalog of a snapshot (drive N rebuilds its $MFT run table); --save-snapshot saves the catalog as FILE, \".QDN\" appended unless FILE ends so, and names the file written on stderr"},
    {"ls", RunLs, "ls [--drive N] (--partition K | --snapshot FILE) [PATH] [--filter PATTERN]... [--json]   folder PATH (default the root) of partition K or of a snapshot"},
    {"advance-scan", RunAdvanceScan, "advance-scan [--drive N] [--start S --end E | --partition K] [--chunk 1..100] [--fs K [--tree | --ls PATH] [--save-snapshot FILE]] [--json]   sweep a range, list the file systems found, mount one"},
    {"find", RunFind, "find PATTERN ([--drive N] --partition K | --snapshot FILE) [--json]   files matching PATTERN"},
    {"recover", RunRecover, "recover --to DIR ([--drive N] --partition K | --snapshot FILE) (PATH... | --all) [--deleted include|only|exclude] [--duplicates rename|overwrite|skip] [--filter PATTERN]... [--on-error continue|stop] [--chunk N] [--retries N] [--jobs N] [--report FILE] [--json]   copy files out; --report lists every file with its status and the SHA-256 of its output (CSV, or JSON Lines for .jsonl)"},
};

void PrintUsage(std::FILE* to)
{
    std::fputs("usage: dravik-cli [--image FILE]... [--images-only] [--quiet] COMMAND [ARGS]\n"
               "  --image FILE      a disk image, offered as the next drive (before the machine's disks):\n"
               "                    raw, split raw (the first piece, NAME.001 or NAME.aa), E01, VHD/VHDX,\n"
               "                    VMDK or QCOW2, told by content\n"
               "  --images-only     do not offer the machine's disks\n"
               "  --platform-id N   identify the OS as N (1: legacy BIOS libraries)\n"
               "  --bios-dir DIR    where the BIOS libraries are (default: where they were installed)\n"
               "  --quiet, -q       no progress line and no hints on stderr (errors are still shown)\n"
               "  --version         the program's version\n"
               "commands:\n",
               to);
    for (const Command& c : kCommands) {
        std::fprintf(to, "  %.*s\n", static_cast<int>(c.usage.size()), c.usage.data());
    }
    std::fputs("exit status: 0 done; 1 bad arguments, or a snapshot that cannot be loaded or has a name too long to\n"
               "  be saved; 2 a drive that cannot be opened or read, or a snapshot file that cannot be written;\n"
               "  3 recover: some files were not recovered whole (see the summary; those cut short or not written\n"
               "  to the end are kept as NAME.partial); 4 out of memory: the command did not finish\n"
               "names in text output: control characters are shown as \\xNN (JSON escapes them its own way)\n",
               to);
}

}  // namespace

std::optional<std::uint64_t> ParseUnsigned(const std::string& text)
{
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

int Main(int argc, char** argv)
{
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
    CliContext context;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--image" && hasValue) {
            context.options.images.push_back(args[++i]);
        } else if (a == "--images-only") {
            context.options.imagesOnly = true;
        } else if (a == "--quiet" || a == "-q") {
            context.options.quiet = true;
        } else if (a == "--platform-id" && hasValue) {
            const auto id = ParseUnsigned(args[++i]);
            if (!id || *id > 255) {
                std::fputs("dravik-cli: --platform-id needs a small number\n", stderr);
                return kExitUsage;
            }
            context.options.platformId = static_cast<int>(*id);
        } else if (a == "--bios-dir" && hasValue) {
            context.options.biosDir = args[++i];
        } else if (a == "--version") {
            std::printf("dravik-cli %s\n", core::kVersion);
            return kExitOk;
        } else if (a == "--help" || a == "-h") {
            PrintUsage(stdout);
            return kExitOk;
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "dravik-cli: unknown or incomplete option '%s'\n", a.c_str());
            PrintUsage(stderr);
            return kExitUsage;
        } else {
            break;
        }
    }
    if (i >= args.size()) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    for (const Command& c : kCommands) {
        if (c.name == args[i]) {
            const int code = c.run(context, std::span<const std::string>(args).subspan(i + 1));
            std::fflush(stdout);
            return code;
        }
    }
    std::fprintf(stderr, "dravik-cli: unknown command '%s'\n", args[i].c_str());
    PrintUsage(stderr);
    return kExitUsage;
}

}  // namespace cli
