// The user-facing texts of the system, verbatim (leading and trailing blanks belong to them).
#pragma once

#include <string_view>

namespace core::msg {

inline constexpr std::string_view kAppCaption = "Quorvel Dravik for NTFS";
inline constexpr std::string_view kOutOfMemory = "Out of memory, close other applications and run again";

// Drive enumeration.
inline constexpr std::string_view kStorageDevice = "Storage Device";
inline constexpr std::string_view kUsbDevice = "USB Device";
inline constexpr std::string_view kMediaMissing = "Media missing or not inserted";
inline constexpr std::string_view kModelUnknown = "Unknown";
inline constexpr std::string_view kCapacitySuffix = " MB ( Approx )";
inline constexpr std::string_view kVexaNotFound = "Vexa32.dll not found or corrupted";
inline constexpr std::string_view kVexaCorrupted = "Vexa32.dll is corrupted";
inline constexpr std::string_view kVexbNotFound = "Vexb2.dll is corrupted or not found.";
inline constexpr std::string_view kVexbCorrupted = "Vexb2.dll is corrupted";

}  // namespace core::msg
