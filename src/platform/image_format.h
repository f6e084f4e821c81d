// Which kind of disk image a file holds, told by its content (split raw by the names of its pieces).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class ImageFormat {
    Raw,      // the disk's bytes as they are (dd, ddrescue), or a block device
    Ewf,      // Expert Witness: E01/Ex01/S01 and their further segments (libewf)
    Vhdi,     // VHD or VHDX, fixed, dynamic or differencing (libvhdi)
    Vmdk,     // VMDK descriptor or sparse extent (libvmdk)
    Qcow,     // QCOW version 1 to 3 (libqcow)
    SplitRaw,  // raw pieces NAME.001, NAME.002, ... or NAME.aa, NAME.ab, ...
};

// A short name of the format for messages ("E01", "VHD/VHDX", ...).
std::string_view ImageFormatName(ImageFormat format);

// The format of the image at `path` from its signature; a file whose content names no format
// is Raw, or SplitRaw when it is the first of two or more raw pieces. Block devices and files
// that cannot be read are Raw (opening them then tells why). The file's extension is never asked.
ImageFormat DetectImageFormat(const std::string& path);

// The name of the piece that follows `piece` in a split set ("disk.001" -> "disk.002",
// "disk.aa" -> "disk.ab", "disk.az" -> "disk.ba"); empty when the name has no piece suffix or
// the suffix is the last of its width.
std::string NextPieceName(std::string_view piece);

// True when `name` ends the way the first piece of a split set does: ".000"/".001" (any width of
// two digits or more, the last digit 0 or 1) or ".aa" (two letters or more, all "a").
bool IsFirstPieceName(std::string_view name);

// `first` and the pieces that follow it while they exist, in order; only `first` when it does not
// name the first piece of a split set or no second piece exists. At most kMaxSplitPieces.
inline constexpr std::size_t kMaxSplitPieces = 100000;
std::vector<std::string> SplitPieces(const std::string& first);

}  // namespace platform
