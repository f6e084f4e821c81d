// Names in dravik-cli's text output: control characters shown escaped, so that a name from a
// damaged or hostile volume can neither break a line or a column nor send the terminal an
// escape sequence. JSON output escapes them by its own rules and does not use this.
#pragma once

#include <string>
#include <string_view>

namespace cli {

// `text` with every C0 control character (0x00-0x1F) and DEL (0x7F) written as "\xNN" (two
// lower-case hex digits); every other byte, UTF-8 sequences included, as it is.
std::string EscapeControls(std::string_view text);

}  // namespace cli
