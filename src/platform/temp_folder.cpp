// The temporary folder.
#include "platform/temp_folder.h"

#include <system_error>

namespace platform {

std::filesystem::path TemporaryFolder()
{
    std::error_code ec;
    auto dir = std::filesystem::temp_directory_path(ec);
    if (ec || !std::filesystem::is_directory(dir, ec)) {
        return "/tmp";
    }
    return dir;
}

}  // namespace platform
