// Run-time loading of shared libraries (the BIOS disk libraries of mode F).
#pragma once

#include <filesystem>
#include <string>

namespace platform {

// A library loaded with dlopen; unloaded when the object goes.
class SharedLibrary
{
public:
    SharedLibrary() noexcept = default;
    ~SharedLibrary();
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // Loads `path`; false (with Error() set) when it is missing or not a loadable library.
    bool Open(const std::filesystem::path& path);
    bool IsOpen() const noexcept { return m_handle != nullptr; }
    // The address of the exported symbol `name`, or null.
    void* Symbol(const char* name) const;
    const std::string& Error() const noexcept { return m_error; }

private:
    void* m_handle = nullptr;
    std::string m_error;
};

// The directory holding the running executable (where the BIOS libraries are installed).
std::filesystem::path ExecutableDirectory();

}  // namespace platform
