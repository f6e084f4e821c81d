// Run-time loading of shared libraries.
#include "platform/shared_library.h"

#include <system_error>
#include <utility>

#include <dlfcn.h>

namespace platform {

SharedLibrary::~SharedLibrary()
{
    if (m_handle != nullptr) {
        ::dlclose(m_handle);
    }
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_error(std::move(other.m_error))
{
}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept
{
    if (this != &other) {
        if (m_handle != nullptr) {
            ::dlclose(m_handle);
        }
        m_handle = std::exchange(other.m_handle, nullptr);
        m_error = std::move(other.m_error);
    }
    return *this;
}

bool SharedLibrary::Open(const std::filesystem::path& path)
{
    if (m_handle != nullptr) {
        ::dlclose(m_handle);
    }
    m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr) {
        const char* err = ::dlerror();
        m_error = err != nullptr ? err : "cannot load " + path.string();
        return false;
    }
    m_error.clear();
    return true;
}

void* SharedLibrary::Symbol(const char* name) const
{
    if (m_handle == nullptr) {
        return nullptr;
    }
    return ::dlsym(m_handle, name);
}

std::filesystem::path ExecutablePath()
{
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe;
}

std::filesystem::path ExecutableDirectory()
{
    const auto exe = ExecutablePath();
    if (exe.empty()) {
        std::error_code ec;
        return std::filesystem::current_path(ec);
    }
    return exe.parent_path();
}

std::filesystem::path PrivateLibraryDirectory(std::string_view probeFile)
{
    const auto exeDir = ExecutableDirectory();
    std::error_code ec;
    if (std::filesystem::exists(exeDir / probeFile, ec)) {
        return exeDir;
    }
    const auto installed = (exeDir / DRAVIK_PRIVATE_LIBDIR_FROM_BINDIR).lexically_normal();
    if (std::filesystem::is_directory(installed, ec)) {
        return installed;
    }
    return exeDir;
}

}  // namespace platform
