// The file search: list choice, name matching, the path column, pause and stop.
#include "shell/find_files.h"

#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/types.h"
#include "shell/name_patterns.h"

namespace shell {
namespace {

constexpr int kAdvanceScan = 2;
constexpr std::uint32_t kNtfsRootRecord = 5;
constexpr std::uint32_t kFatRootCluster = 0;

// Walks parent links upwards from `key`; `lookup` gives the folder position carrying a key,
// `nameOf`/`parentOf` its name and parent key.
template <typename Lookup, typename NameOf, typename ParentOf>
std::string BuildPath(std::uint32_t key, std::uint32_t root, Lookup lookup, NameOf nameOf, ParentOf parentOf)
{
    std::vector<std::string_view> names;
    std::unordered_set<std::size_t> visited;
    while (key != root && names.size() < kMaxPathDepth) {
        const std::optional<std::size_t> pos = lookup(key);
        if (!pos || !visited.insert(*pos).second) {
            break;
        }
        names.push_back(nameOf(*pos));
        key = parentOf(*pos);
    }
    if (names.empty()) {
        return "\\";
    }
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        path += '\\';
        path += *it;
    }
    return path;
}

// The search over one list; `entryOf(i)` gives name, parent key and size of entry i, or nothing
// when the entry is not part of the shown file system.
class Search
{
public:
    Search(const FindRequest& request, const FindRowSink& sink, core::PauseGate& gate, const core::StopFlag& stop)
        : m_pattern(UpperCaseName(request.pattern)), m_sink(sink), m_gate(gate), m_stop(stop)
    {
    }

    template <typename List, typename Admit, typename PathOf, typename SizeOf, typename ParentOf>
    FindResult Run(const List& list, Admit admit, ParentOf parentOf, PathOf pathOf, SizeOf sizeOf)
    {
        FindResult result;
        for (const auto& entry : list) {
            m_gate.Pass();
            if (m_stop.IsSet()) {
                result.outcome = FindOutcome::Stopped;
                return result;
            }
            if (!admit(entry)) {
                continue;
            }
            std::string upper = UpperCaseName(entry.name);
            if (!MatchPattern(upper, m_pattern)) {
                continue;
            }
            const std::uint32_t parent = parentOf(entry);
            auto cached = m_paths.find(parent);
            if (cached == m_paths.end()) {
                cached = m_paths.emplace(parent, pathOf(parent)).first;
            }
            const FindRow row{std::move(upper), cached->second, sizeOf(entry)};
            ++result.rows;
            if (m_sink) {
                m_sink(row, result.rows);
            }
        }
        return result;
    }

private:
    std::string m_pattern;
    const FindRowSink& m_sink;
    core::PauseGate& m_gate;
    const core::StopFlag& m_stop;
    std::unordered_map<std::uint32_t, std::string> m_paths;  // path column by parent key
};

}  // namespace

std::string NtfsFolderPath(const ntfs::Catalog& catalog, std::uint32_t parentRecord)
{
    const auto& folders = catalog.NtfsFolders();
    return BuildPath(
        parentRecord, kNtfsRootRecord, [&](std::uint32_t k) { return catalog.NtfsFolderWithRecord(k); },
        [&](std::size_t p) { return std::string_view(folders[p].name); },
        [&](std::size_t p) { return folders[p].parent; });
}

std::string FatFolderPath(const ntfs::Catalog& catalog, std::uint32_t parentCluster)
{
    const auto& folders = catalog.FatFolders();
    return BuildPath(
        parentCluster, kFatRootCluster, [&](std::uint32_t k) { return catalog.FatFolderWithCluster(k); },
        [&](std::size_t p) { return std::string_view(folders[p].name); },
        [&](std::size_t p) { return folders[p].parentCluster; });
}

FindResult FindFiles(const ntfs::Catalog& catalog, const FindRequest& request, const FindRowSink& sink,
                     core::PauseGate& gate, const core::StopFlag& stop)
{
    Search search(request, sink, gate, stop);
    const auto all = [](const auto&) { return true; };
    const auto ntfsPath = [&](std::uint32_t parent) { return NtfsFolderPath(catalog, parent); };
    const auto size64 = [](const auto& e) { return static_cast<std::uint64_t>(e.size); };
    const auto parentOf = [](const auto& e) { return e.parent; };

    const core::FsTypeCode type = catalog.volumeParams.type;
    if (type == core::kFsFat16 || type == core::kFsFat32) {
        return search.Run(
            catalog.FatFiles(), all, [](const ntfs::FatFileEntry& e) { return e.parentCluster; },
            [&](std::uint32_t parent) { return FatFolderPath(catalog, parent); }, size64);
    }
    if (type != core::kFsNtfs) {
        return {};
    }
    if (request.scanMethod == kAdvanceScan) {
        const core::Sector first = catalog.volumeParams.clusterBase;
        const core::Sector last = catalog.volumeParams.endSector;
        const auto inVolume = [first, last](const ntfs::FoundFileRecord& e) {
            return e.sector >= first && e.sector <= last;
        };
        return search.Run(catalog.FoundFiles(), inVolume, parentOf, ntfsPath, size64);
    }
    return search.Run(catalog.NtfsFiles(), all, parentOf, ntfsPath, size64);
}

}  // namespace shell
