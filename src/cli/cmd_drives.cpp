// dravik-cli drives [--json]: the drives the drive step offers, with their information panel.
#include <cinttypes>

#include "cli/commands.h"
#include "cli/json_writer.h"

namespace cli {

namespace {

struct DriveReport
{
    std::uint16_t index;
    std::string item;
    disk::DriveInfo info;
    std::uint64_t totalSectors;
    std::uint64_t sizeBytes;
    bool opened;
    std::string reason;
};

}  // namespace

int RunDrives(CliContext& context, std::span<const std::string> args)
{
    bool json = false;
    for (const std::string& arg : args) {
        if (arg == "--json") {
            json = true;
        } else {
            std::fprintf(context.err, "dravik-cli drives: unexpected argument '%s'\nusage: dravik-cli drives [--json]\n",
                         arg.c_str());
            return kExitUsage;
        }
    }
    int exitCode = kExitOk;
    Session* session = context.OpenSession(exitCode);
    if (session == nullptr) {
        return exitCode;
    }
    std::vector<DriveReport> reports;
    const disk::DriveTable& table = session->Table();
    for (std::uint16_t i = 0; i < table.driveCount && i < table.slots.size(); ++i) {
        const auto info = disk::ShowDriveInfo(table, i);
        const auto open = session->SelectDrive(i);
        reports.push_back({i, session->Tree().items.at(i), info.value_or(disk::DriveInfo{}), table.slots[i].totalSectors,
                           table.slots[i].sizeBytes, open.opened, open.reason});
        disk::CloseDrive(session->Disk());
    }
    if (json) {
        JsonWriter w;
        w.BeginObject().Field("accessMode", std::string(1, session->Disk().accessMode)).Key("drives").BeginArray();
        for (const DriveReport& r : reports) {
            w.BeginObject()
                .Field("number", r.index)
                .Field("item", r.item)
                .Field("model", r.info.model)
                .Field("capacity", r.info.capacity)
                .Field("cylinders", r.info.cylinders)
                .Field("head", r.info.head)
                .Field("sectorsPerTrack", r.info.sectorsPerTrack)
                .Field("totalSectors", r.totalSectors)
                .Field("sizeBytes", r.sizeBytes)
                .Field("opened", r.opened);
            if (!r.opened) {
                w.Field("reason", r.reason);
            }
            w.EndObject();
        }
        w.EndArray().EndObject();
        std::fprintf(context.out, "%s\n", w.Text().c_str());
        return kExitOk;
    }
    if (reports.empty()) {
        std::fprintf(context.out, "No drives found.\n");
    }
    for (const DriveReport& r : reports) {
        std::fprintf(context.out,
                     "%s\n  Model: %s\n  Capacity: %s\n  Cylinders: %s\n  Head: %s\n  Sectors Per Track: %s\n"
                     "  Total sectors: %" PRIu64 "\n  Size: %" PRIu64 " bytes\n",
                     r.item.c_str(), r.info.model.c_str(), r.info.capacity.c_str(), r.info.cylinders.c_str(),
                     r.info.head.c_str(), r.info.sectorsPerTrack.c_str(), r.totalSectors, r.sizeBytes);
        if (r.opened) {
            std::fprintf(context.out, "  Opened: yes\n");
        } else {
            std::fprintf(context.out, "  Opened: no (%s)\n", r.reason.c_str());
        }
    }
    return kExitOk;
}

}  // namespace cli
