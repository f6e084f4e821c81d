// dravik-cli read --drive N SECTOR [COUNT]: a hex dump of sectors read through the sector reader.
#include <cinttypes>
#include <vector>

#include "cli/commands.h"
#include "core/types.h"

namespace cli {

namespace {

constexpr std::uint64_t kMaxReadSectors = 131072;  // 64 MiB in one dump
constexpr std::size_t kBytesPerLine = 16;

int Usage(CliContext& context, const char* problem)
{
    std::fprintf(context.err, "dravik-cli read: %s\nusage: dravik-cli read --drive N SECTOR [COUNT]\n", problem);
    return kExitUsage;
}

void HexDump(std::FILE* out, std::uint64_t firstByte, const std::vector<std::uint8_t>& bytes)
{
    for (std::size_t line = 0; line < bytes.size(); line += kBytesPerLine) {
        std::fprintf(out, "%012" PRIx64 " ", firstByte + line);
        std::string ascii;
        for (std::size_t i = 0; i < kBytesPerLine; ++i) {
            if (i == kBytesPerLine / 2) {
                std::fputc(' ', out);
            }
            if (line + i < bytes.size()) {
                const std::uint8_t b = bytes[line + i];
                std::fprintf(out, " %02x", b);
                ascii += (b >= 0x20 && b < 0x7f) ? static_cast<char>(b) : '.';
            } else {
                std::fputs("   ", out);
            }
        }
        std::fprintf(out, "  |%s|\n", ascii.c_str());
    }
}

}  // namespace

int RunRead(CliContext& context, std::span<const std::string> args)
{
    std::optional<std::uint64_t> drive;
    std::vector<std::uint64_t> numbers;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--drive") {
            if (i + 1 >= args.size() || !(drive = ParseUnsigned(args[i + 1]))) {
                return Usage(context, "--drive needs a drive number");
            }
            ++i;
        } else if (const auto n = ParseUnsigned(args[i])) {
            numbers.push_back(*n);
        } else {
            return Usage(context, ("unexpected argument '" + args[i] + "'").c_str());
        }
    }
    if (!drive || numbers.empty() || numbers.size() > 2) {
        return Usage(context, "a drive and a sector are needed");
    }
    const std::uint64_t sector = numbers[0];
    const std::uint64_t count = numbers.size() > 1 ? numbers[1] : 1;
    if (sector > core::kLastSector || count > core::kLastSector - sector + 1) {
        return Usage(context, "SECTOR lies beyond the last addressable sector");
    }
    if (count == 0 || count > kMaxReadSectors) {
        return Usage(context, "COUNT must be 1 to 131072 sectors");
    }
    int exitCode = kExitOk;
    Session* session = context.OpenSession(exitCode);
    if (session == nullptr) {
        return exitCode;
    }
    if (*drive >= session->Table().driveCount) {
        std::fprintf(context.err, "dravik-cli read: no drive %" PRIu64 " (%u offered)\n", *drive,
                     static_cast<unsigned>(session->Table().driveCount));
        return kExitDisk;
    }
    const auto opened = session->SelectDrive(static_cast<std::uint16_t>(*drive));
    if (!opened.opened) {
        std::fprintf(context.err, "dravik-cli read: %s\n", opened.reason.c_str());
        return kExitDisk;
    }
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(count) * core::kSectorSize, 0);
    const int ok = disk::ReadSectors(session->Disk(), sector, static_cast<std::uint32_t>(count), buffer);
    HexDump(context.out, core::SectorOffset(sector), buffer);
    if (ok == 0) {
        std::fprintf(context.err, "dravik-cli read: the read failed; unreadable sectors are shown as zeros\n");
        return kExitDisk;
    }
    return kExitOk;
}

}  // namespace cli
