// Error texts of the format libraries and the files an image names beside itself.
#include "platform/libyal_support.h"

#include <filesystem>
#include <system_error>

#include "core/messages.h"

namespace platform {

std::string LibraryReasonFromBacktrace(std::string_view backtrace)
{
    // Lines run from the innermost call outwards: "libbfio_file_open: unable to open file: x."
    std::string_view line = backtrace.substr(0, backtrace.find('\n'));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '.')) {
        line.remove_suffix(1);
    }
    const auto colon = line.find(": ");
    if (colon != std::string_view::npos && line.substr(0, colon).find(' ') == std::string_view::npos) {
        line.remove_prefix(colon + 2);  // the function name
    }
    return std::string(line);
}

std::string LibraryOpenFailure(const std::string& path, std::string_view why)
{
    return "Cannot open " + path + ": " + std::string(why.empty() ? core::msg::kImageNotReadable : why);
}

std::string SiblingFile(const std::string& image, std::string_view reference)
{
    const std::filesystem::path folder = std::filesystem::path(image).parent_path();
    std::error_code ec;
    if (!reference.empty() && reference.front() == '/' && std::filesystem::exists(std::string(reference), ec)) {
        return std::string(reference);
    }
    if (!reference.empty() && reference.front() != '/' && reference.find('\\') == std::string_view::npos) {
        const std::filesystem::path relative = folder / std::string(reference);
        if (std::filesystem::exists(relative, ec)) {
            return relative.string();
        }
    }
    const auto cut = reference.find_last_of("/\\");
    const std::string_view name = cut == std::string_view::npos ? reference : reference.substr(cut + 1);
    return (folder / std::string(name)).string();
}

bool ParentChainGrows(const std::vector<std::string>& chain, const std::string& next)
{
    if (chain.size() >= kMaxParentChain) {
        return false;
    }
    for (const std::string& seen : chain) {
        if (seen == next) {
            return false;
        }
    }
    return true;
}

std::string ParentFailure(const std::string& parent, std::string_view why)
{
    std::error_code ec;
    const bool missing = !std::filesystem::exists(parent, ec);
    return std::string(core::msg::kParentImagePrefix) + parent + ": " +
           std::string(missing ? core::msg::kParentImageMissing : (why.empty() ? core::msg::kImageNotReadable : why));
}

}  // namespace platform
