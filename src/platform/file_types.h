// The type description of a file, looked up by its name only.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The upper-cased extension followed by " File" ("report.doc" gives "DOC File"), or "File" for a
// name without an extension. The GUI shows the desktop's MIME description instead.
std::string FileTypeDescription(std::string_view name);

}  // namespace platform
