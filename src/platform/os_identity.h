// Operating-system identification, which picks the disk access mode.
#pragma once

namespace platform {

// Platform identifiers in the sense of the Windows version query: 1 the 95/98/ME family,
// 2 the NT family.
inline constexpr int kPlatformNt = 2;
inline constexpr int kPlatform9x = 1;

// This system's identifier: Linux reads its devices directly, as the NT family does.
constexpr int QueryPlatformId() noexcept { return kPlatformNt; }

// 'F' (BIOS libraries) for an odd identifier, else 'N' (device files).
constexpr char AccessModeFor(int platformId) noexcept { return (platformId % 2 != 0) ? 'F' : 'N'; }

}  // namespace platform
