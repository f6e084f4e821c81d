// The drives of one dravik-cli run.
#include "cli/session.h"

#include <system_error>

#include "core/messages.h"
#include "disk/bios_loader.h"
#include "platform/drive_discovery.h"
#include "platform/os_identity.h"
#include "platform/shared_library.h"

namespace cli {

Session::Outcome Session::Start(const GlobalOptions& options)
{
    for (const std::string& image : options.images) {
        std::error_code ec;
        if (!std::filesystem::exists(image, ec)) {
            m_problem = "Cannot open " + image + ": No such file or directory";
            return Outcome::ImageMissing;
        }
    }
    m_disk.accessMode = platform::AccessModeFor(options.platformId.value_or(platform::QueryPlatformId()));
    m_disk.readChunkSectors = m_disk.accessMode == 'F' ? disk::kDefaultChunkSectorsF : disk::kDefaultChunkSectorsN;
    platform::DiscoveryRoots roots;
    if (options.imagesOnly) {
        roots.sysBlock = std::filesystem::path();  // nothing to list
    }
    m_probe = std::make_unique<disk::SystemDriveProbe>(options.images, roots);
    if (m_disk.accessMode == 'F') {
        const auto dir =
            options.biosDir.empty() ? platform::PrivateLibraryDirectory(disk::kVexaFileName) : options.biosDir;
        const auto outcome = disk::LoadBiosLibraries(dir, m_probe->DevicePaths(), m_bios);
        if (outcome != disk::BiosLoadOutcome::Loaded) {
            m_problem = disk::BiosLoadMessage(outcome);
            return Outcome::LibraryFatal;
        }
        m_disk.bios = &m_bios.entries;
        disk::EnumerateDrivesBios(m_table, m_tree, m_bios.entries);
    } else {
        disk::EnumerateDrives(m_table, m_tree, *m_probe);
    }
    return Outcome::Ready;
}

disk::OpenDriveOutcome Session::SelectDrive(std::uint16_t index)
{
    m_disk.selectedDrive = index;
    return disk::OpenSelectedDrive(m_disk, m_table, *m_probe);
}

Session* CliContext::OpenSession(int& exitCode)
{
    if (m_session) {
        return m_session.get();
    }
    auto session = std::make_unique<Session>();
    switch (session->Start(options)) {
    case Session::Outcome::Ready:
        m_session = std::move(session);
        return m_session.get();
    case Session::Outcome::ImageMissing:
        std::fprintf(err, "dravik-cli: %s\n", session->Problem().c_str());
        exitCode = kExitDisk;
        return nullptr;
    case Session::Outcome::LibraryFatal:
        std::fprintf(err, "%s: %s\n", std::string(core::msg::kAppCaption).c_str(), session->Problem().c_str());
        exitCode = kExitOk;
        return nullptr;
    }
    return nullptr;
}

}  // namespace cli
