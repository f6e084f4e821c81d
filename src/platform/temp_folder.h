// The temporary folder, where opened files are extracted before they are shown.
#pragma once

#include <filesystem>

namespace platform {

// $TMPDIR when it names a directory, else /tmp.
std::filesystem::path TemporaryFolder();

}  // namespace platform
