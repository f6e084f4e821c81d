// Run-time loading of shared libraries (the BIOS disk libraries of mode F).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

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

// The running executable, and the directory holding it.
std::filesystem::path ExecutablePath();
std::filesystem::path ExecutableDirectory();

// Where the program's private libraries are: beside the executable when `probeFile` is there (the
// build tree), else the private library folder of the installed layout relative to it
// (bin/../lib/<arch>/dravik), when that exists; else beside the executable.
std::filesystem::path PrivateLibraryDirectory(std::string_view probeFile);

}  // namespace platform
