// Broken builds of the BIOS disk libraries: each variant leaves out one entry point.
#include <cstdint>

#define STUB_EXPORT extern "C" __attribute__((visibility("default")))

#ifdef STUB_VEXA
#ifndef STUB_OMIT_READDISK
STUB_EXPORT int ReadDisk32(std::uint8_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, void*,
                           std::uint32_t, std::int32_t)
{
    return 0;
}
#endif
STUB_EXPORT std::int32_t CheckInt13Extension32(std::uint8_t) { return 0; }
#ifndef STUB_OMIT_FIND
STUB_EXPORT void find_hard_disk32(std::uint16_t* count) { *count = 0; }
#endif
#endif

#ifdef STUB_VEXB
#ifndef STUB_OMIT_GEOMETRY
STUB_EXPORT void get_drive_geometry32(std::uint8_t, std::uint32_t*, std::uint32_t*, std::uint32_t*) {}
#endif
#endif

STUB_EXPORT void DravikBiosSetDrives(const char* const*, std::uint32_t) {}
