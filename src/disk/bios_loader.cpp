// Loading the BIOS disk libraries of mode F.
#include "disk/bios_loader.h"

#include <cstdint>
#include <vector>

#include "core/messages.h"

namespace disk {

namespace {

using SetDrivesFn = void (*)(const char* const* paths, std::uint32_t count);

template <typename Fn>
Fn Resolve(const platform::SharedLibrary& lib, const char* name)
{
    return reinterpret_cast<Fn>(lib.Symbol(name));
}

}  // namespace

std::string_view BiosLoadMessage(BiosLoadOutcome outcome)
{
    switch (outcome) {
    case BiosLoadOutcome::Loaded:
        return {};
    case BiosLoadOutcome::VexaNotFound:
        return core::msg::kVexaNotFound;
    case BiosLoadOutcome::VexaCorrupted:
        return core::msg::kVexaCorrupted;
    case BiosLoadOutcome::VexbNotFound:
        return core::msg::kVexbNotFound;
    case BiosLoadOutcome::VexbCorrupted:
        return core::msg::kVexbCorrupted;
    }
    return {};
}

BiosLoadOutcome LoadBiosLibraries(const std::filesystem::path& dir, std::span<const std::string> drivePaths,
                                  LoadedBiosLibraries& out)
{
    out = LoadedBiosLibraries{};
    if (!out.vexa.Open(dir / kVexaFileName)) {
        return BiosLoadOutcome::VexaNotFound;
    }
    out.entries.ReadDisk32 = Resolve<ReadDisk32Fn>(out.vexa, "ReadDisk32");
    out.entries.CheckInt13Extension32 = Resolve<CheckInt13Extension32Fn>(out.vexa, "CheckInt13Extension32");
    if (out.entries.ReadDisk32 == nullptr || out.entries.CheckInt13Extension32 == nullptr) {
        return BiosLoadOutcome::VexaCorrupted;
    }
    if (!out.vexb.Open(dir / kVexbFileName)) {
        return BiosLoadOutcome::VexbNotFound;
    }
    out.entries.get_drive_geometry32 = Resolve<GetDriveGeometry32Fn>(out.vexb, "get_drive_geometry32");
    const auto setDrivesB = Resolve<SetDrivesFn>(out.vexb, "DravikBiosSetDrives");
    if (out.entries.get_drive_geometry32 == nullptr || setDrivesB == nullptr) {
        return BiosLoadOutcome::VexbCorrupted;
    }
    out.entries.find_hard_disk32 = Resolve<FindHardDisk32Fn>(out.vexa, "find_hard_disk32");
    const auto setDrivesA = Resolve<SetDrivesFn>(out.vexa, "DravikBiosSetDrives");
    if (out.entries.find_hard_disk32 == nullptr || setDrivesA == nullptr) {
        return BiosLoadOutcome::VexaCorrupted;
    }
    std::vector<const char*> paths;
    for (const std::string& p : drivePaths) {
        paths.push_back(p.c_str());
    }
    const auto count = static_cast<std::uint32_t>(paths.size());
    setDrivesA(paths.data(), count);
    setDrivesB(paths.data(), count);
    return BiosLoadOutcome::Loaded;
}

}  // namespace disk
