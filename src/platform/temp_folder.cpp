// The private temporary folder of a run.
#include "platform/temp_folder.h"


#include <cstdlib>
#include <mutex>
#include <string>
#include <system_error>

namespace platform {

namespace {

constexpr const char* kFolderTemplate = "dravik-XXXXXX";

std::optional<std::filesystem::path> MakeUnder(const char* base)
{
    if (base == nullptr || base[0] != '/') {
        return std::nullopt;
    }
    std::string pattern = (std::filesystem::path(base) / kFolderTemplate).string();
    if (::mkdtemp(pattern.data()) == nullptr) {  // mode 0700
        return std::nullopt;
    }
    return std::filesystem::path(pattern);
}

// The folder of this run; its destructor removes it when the program returns from main or exits.
class RunFolder
{
public:
    ~RunFolder() { Remove(); }

    std::optional<std::filesystem::path> Get()
    {
        std::lock_guard lock(m_mutex);
        if (!m_path) {
            m_path = MakePrivateFolder();
        }
        return m_path;
    }

    void Remove() noexcept
    {
        std::lock_guard lock(m_mutex);
        if (m_path) {
            std::error_code ec;
            std::filesystem::remove_all(*m_path, ec);
            m_path.reset();
        }
    }

private:
    std::mutex m_mutex;
    std::optional<std::filesystem::path> m_path;
};

RunFolder& TheRunFolder()
{
    static RunFolder folder;
    return folder;
}

}  // namespace

std::optional<std::filesystem::path> MakePrivateFolder()
{
    for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        if (auto made = MakeUnder(std::getenv(variable))) {
            return made;
        }
    }
    return MakeUnder("/tmp");
}

std::optional<std::filesystem::path> TemporaryFolder() { return TheRunFolder().Get(); }

void RemoveTemporaryFolder() noexcept { TheRunFolder().Remove(); }

}  // namespace platform
