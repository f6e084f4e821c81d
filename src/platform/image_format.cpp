// Disk image formats told by content, and the names of split raw pieces.
#include "platform/image_format.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>

#include <libewf.h>
#include <libqcow.h>
#include <libvhdi.h>
#include <libvmdk.h>

namespace platform {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool IsLower(char c)
{
    return c >= 'a' && c <= 'z';
}

// The suffix after the last '.' of the file name (not of a folder); empty when there is none.
std::string_view PieceSuffix(std::string_view name)
{
    const auto dot = name.rfind('.');
    const auto slash = name.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash) || dot + 1 == name.size()) {
        return {};
    }
    return name.substr(dot + 1);
}

bool AllDigitsSuffix(std::string_view s)
{
    return s.size() >= 2 && std::all_of(s.begin(), s.end(), IsDigit);
}

bool AllLowerSuffix(std::string_view s)
{
    return s.size() >= 2 && std::all_of(s.begin(), s.end(), IsLower);
}

// The library's signature test: 1 when it recognises the file. Its error, if any, is dropped:
// a file it cannot read is no image of its format.
template <typename Error>
bool Recognised(int (*check)(const char*, Error**), void (*release)(Error**), const std::string& path)
{
    Error* error = nullptr;
    const int rc = check(path.c_str(), &error);
    if (error != nullptr) {
        release(&error);
    }
    return rc == 1;
}

}  // namespace

std::string_view ImageFormatName(ImageFormat format)
{
    switch (format) {
    case ImageFormat::Ewf:
        return "E01";
    case ImageFormat::Vhdi:
        return "VHD/VHDX";
    case ImageFormat::Vmdk:
        return "VMDK";
    case ImageFormat::Qcow:
        return "QCOW";
    case ImageFormat::SplitRaw:
        return "split raw";
    case ImageFormat::Raw:
        break;
    }
    return "raw";
}

ImageFormat DetectImageFormat(const std::string& path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return ImageFormat::Raw;
    }
    if (Recognised(libewf_check_file_signature, libewf_error_free, path)) {
        return ImageFormat::Ewf;
    }
    if (Recognised(libqcow_check_file_signature, libqcow_error_free, path)) {
        return ImageFormat::Qcow;
    }
    if (Recognised(libvmdk_check_file_signature, libvmdk_error_free, path)) {
        return ImageFormat::Vmdk;
    }
    // Last of the four: a fixed VHD is known only by the footer in its last 512 bytes.
    if (Recognised(libvhdi_check_file_signature, libvhdi_error_free, path)) {
        return ImageFormat::Vhdi;
    }
    return SplitPieces(path).size() > 1 ? ImageFormat::SplitRaw : ImageFormat::Raw;
}

bool IsFirstPieceName(std::string_view name)
{
    const std::string_view suffix = PieceSuffix(name);
    if (AllDigitsSuffix(suffix)) {
        const std::string_view head = suffix.substr(0, suffix.size() - 1);
        return std::all_of(head.begin(), head.end(), [](char c) { return c == '0'; }) &&
               (suffix.back() == '0' || suffix.back() == '1');
    }
    return AllLowerSuffix(suffix) && std::all_of(suffix.begin(), suffix.end(), [](char c) { return c == 'a'; });
}

std::string NextPieceName(std::string_view piece)
{
    const std::string_view suffix = PieceSuffix(piece);
    const bool digits = AllDigitsSuffix(suffix);
    if (!digits && !AllLowerSuffix(suffix)) {
        return {};
    }
    std::string next(piece);
    const char first = digits ? '0' : 'a';
    const char last = digits ? '9' : 'z';
    // Count up in place from the last character; a suffix of all last characters has no successor.
    for (std::size_t i = next.size(); i-- > next.size() - suffix.size();) {
        if (next[i] != last) {
            ++next[i];
            return next;
        }
        next[i] = first;
    }
    return {};
}

std::vector<std::string> SplitPieces(const std::string& first)
{
    std::vector<std::string> pieces{first};
    if (!IsFirstPieceName(first)) {
        return pieces;
    }
    std::error_code ec;
    for (std::string next = NextPieceName(first); !next.empty() && pieces.size() < kMaxSplitPieces;
         next = NextPieceName(next)) {
        if (!std::filesystem::is_regular_file(next, ec)) {
            break;
        }
        pieces.push_back(next);
    }
    return pieces;
}

}  // namespace platform
