// The file search: name matching, the path column, pause and stop.
#include "shell/find_files.h"

#include <unordered_map>

#include "ntfs/shown_volume.h"
#include "shell/name_patterns.h"

namespace shell {
namespace {

constexpr int kAdvanceScan = 2;

std::string JoinedPath(const ntfs::ShownVolume& volume, std::uint32_t key)
{
    const std::vector<std::string_view> names = volume.FolderNames(key);
    if (names.empty()) {
        return "\\";
    }
    std::string path;
    for (const std::string_view name : names) {
        path += '\\';
        path += name;
    }
    return path;
}

}  // namespace

std::string NtfsFolderPath(const catalog::Catalog& catalog, std::uint32_t parentRecord)
{
    return JoinedPath(ntfs::ShownVolume(catalog, ntfs::ShownKind::NtfsLists), parentRecord);
}

std::string FatFolderPath(const catalog::Catalog& catalog, std::uint32_t parentCluster)
{
    return JoinedPath(ntfs::ShownVolume(catalog, ntfs::ShownKind::FatLists), parentCluster);
}

FindResult FindFiles(const catalog::Catalog& catalog, const FindRequest& request, const FindRowSink& sink,
                     core::PauseGate& gate, const core::StopFlag& stop)
{
    const ntfs::ShownVolume volume(
        catalog, ntfs::ShownKindOf(catalog.volumeParams.type, request.scanMethod == kAdvanceScan));
    const std::string pattern = UpperCaseName(request.pattern, request.upCase);
    std::unordered_map<std::uint32_t, std::string> paths;  // path column by parent key
    FindResult result;
    const std::size_t count = volume.FileListSize();
    for (std::size_t position = 0; position < count; ++position) {
        gate.Pass();
        if (stop.IsSet()) {
            result.outcome = FindOutcome::Stopped;
            return result;
        }
        if (!volume.Holds(position)) {
            continue;
        }
        const ntfs::ShownFile file = volume.File(position);
        std::string upper = UpperCaseName(file.name, request.upCase);
        if (!MatchPattern(upper, pattern)) {
            continue;
        }
        auto cached = paths.find(file.parent);
        if (cached == paths.end()) {
            cached = paths.emplace(file.parent, JoinedPath(volume, file.parent)).first;
        }
        const FindRow row{std::move(upper), cached->second, file.size, file.recoverable};
        ++result.rows;
        if (sink) {
            sink(row, result.rows);
        }
    }
    return result;
}

}  // namespace shell
