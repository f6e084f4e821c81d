// The type description of a file by its name: the command-line stand-in for the desktop's.
#include "platform/file_types.h"

namespace platform {

std::string FileTypeDescription(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot + 1 == name.size())
        return "File";
    std::string text;
    for (const char c : name.substr(dot + 1))
        text += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    text += " File";
    return text;
}

}  // namespace platform
