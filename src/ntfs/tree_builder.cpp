// The orphan pass and the folder tree build.
#include "ntfs/tree_builder.h"

#include <algorithm>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/messages.h"
#include "ntfs/shown_volume.h"

namespace ntfs {
namespace {

// Passes min(99, 100 * done / total) to the sink whenever it changes; a total of 0 counts as 1.
class PercentReporter
{
public:
    explicit PercentReporter(core::ProgressSink& sink) noexcept : m_sink(sink) {}

    void Report(std::uint64_t done, std::uint64_t total)
    {
        // done and total stay below 2^33, so 100 * done cannot overflow.
        const std::uint64_t percent = std::min<std::uint64_t>(99, 100 * done / std::max<std::uint64_t>(total, 1));
        if (static_cast<int>(percent) != m_last) {
            m_last = static_cast<int>(percent);
            m_sink.Progress(m_last);
        }
    }

private:
    core::ProgressSink& m_sink;
    int m_last = -1;
};

// Appends the placeholder folder for a missing parent record when no folder carries that
// record yet; returns the counter for the next placeholder.
std::uint32_t PlaceholderFor(catalog::Catalog& catalog, std::uint32_t parent, std::uint32_t counter)
{
    if (catalog.NtfsFolderWithRecord(parent))
        return counter;
    catalog::NtfsFolderEntry placeholder;
    placeholder.name = std::string(core::msg::kPlaceholderFolderPrefix) + std::to_string(counter);
    placeholder.record = parent;
    placeholder.parent = kRootRecord;
    catalog.AddNtfsFolder(std::move(placeholder));
    return counter + 1;
}

// The depth-first build shared by the NTFS and FAT trees. `folders` is the folder list,
// `childrenOf(key)` the positions of the folders whose parent is key, `ownKey(entry)` the key
// its children refer to, `setItem(position, id)` stores the item id in the entry.
template <typename Folders, typename ChildrenOf, typename OwnKey, typename SetItem>
TreeBuildCounts BuildTree(const Folders& folders, std::uint32_t folderCount, FolderTree& tree, core::TreeItemId item,
                          std::uint32_t rootKey, ChildrenOf childrenOf, OwnKey ownKey, SetItem setItem,
                          core::ProgressSink& progress)
{
    TreeBuildCounts counts;
    if (tree.Find(item) == nullptr)
        return counts;

    PercentReporter reporter(progress);
    reporter.Report(0, folderCount);

    using Iterator = catalog::Catalog::Positions::Iterator;
    struct Frame
    {
        core::TreeItemId item;
        Iterator next;
        Iterator end;
    };

    // A key whose children have been looked up is never looked up again: its children are then
    // placed already, or are being placed by a frame further up the path.
    std::unordered_set<std::uint32_t> keysWalked;
    std::vector<bool> placed(folders.size(), false);
    std::vector<Frame> path;

    keysWalked.insert(rootKey);
    const catalog::Catalog::Positions top = childrenOf(rootKey);
    ++counts.childLookups;
    path.push_back({item, top.begin(), top.end()});

    while (!path.empty()) {
        Frame& frame = path.back();
        if (frame.next == frame.end) {
            path.pop_back();
            continue;
        }
        const std::size_t position = *frame.next;
        ++frame.next;
        ++counts.entriesVisited;
        if (position >= folders.size() || placed[position])
            continue;
        placed[position] = true;

        const auto& entry = folders[position];
        const core::TreeItemId child = tree.Insert(frame.item, entry.name, kTreeImageFolder, kTreeImageFolderOpen,
                                                      entry.deleted != 0);
        setItem(position, child);
        ++counts.placed;
        reporter.Report(counts.placed, folderCount);

        const std::uint32_t key = ownKey(entry);
        if (!keysWalked.insert(key).second)
            continue;
        const catalog::Catalog::Positions below = childrenOf(key);
        ++counts.childLookups;
        if (!below.empty())
            path.push_back({child, below.begin(), below.end()});  // `frame` is not used past here
    }

    tree.Expand(tree.Root());
    return counts;
}

}  // namespace

std::uint32_t SearchLostData(catalog::Catalog& catalog, std::uint32_t counter, LostFiles files, core::StopFlag& stop,
                             core::ProgressSink& progress)
{
    progress.Status(core::msg::kSearchingForLostData);
    PercentReporter reporter(progress);

    // Indices rather than references: placeholders are appended to the list being walked.
    std::uint64_t examined = 0;
    for (std::size_t i = 0; i < catalog.NtfsFolders().size() && !stop.IsSet(); ++i) {
        const std::uint32_t parent = catalog.NtfsFolders()[i].parent;
        if (parent == kRootRecord)
            continue;
        ++examined;
        reporter.Report(examined, catalog.NtfsFolders().size());
        counter = PlaceholderFor(catalog, parent, counter);
    }

    // The file lists do not change while placeholders are added: references stay valid.
    const auto walkFiles = [&](const auto& list, auto belongs) {
        examined = 0;
        for (std::size_t i = 0; i < list.size() && !stop.IsSet(); ++i) {
            const std::uint32_t parent = list[i].parent;
            if (parent == kRootRecord || !belongs(list[i]))
                continue;
            ++examined;
            reporter.Report(examined, list.size());
            counter = PlaceholderFor(catalog, parent, counter);
        }
    };
    switch (files) {
    case LostFiles::None:
        break;
    case LostFiles::NtfsFiles:
        walkFiles(catalog.NtfsFiles(), [](const catalog::NtfsFileEntry&) { return true; });
        break;
    case LostFiles::MountedFound: {
        const catalog::VolumeParams volume = catalog.volumeParams;
        walkFiles(catalog.FoundFiles(),
                  [&volume](const catalog::FoundFileRecord& file) { return InMountedVolume(volume, file.sector); });
        break;
    }
    }

    stop.Clear();
    return counter;
}

std::uint32_t SearchLostData(catalog::Catalog& catalog, std::uint32_t counter, bool includeFiles, core::StopFlag& stop,
                             core::ProgressSink& progress)
{
    return SearchLostData(catalog, counter, includeFiles ? LostFiles::NtfsFiles : LostFiles::None, stop, progress);
}

std::uint32_t BuildNtfsTree(catalog::Catalog& catalog, FolderTree& tree, core::TreeItemId item,
                            std::uint32_t parentRecord, core::ProgressSink& progress, TreeBuildCounts* counts)
{
    const TreeBuildCounts done = BuildTree(
        catalog.NtfsFolders(), catalog.folderCount, tree, item, parentRecord,
        [&catalog](std::uint32_t key) { return catalog.NtfsFoldersWithParent(key); },
        [](const catalog::NtfsFolderEntry& entry) { return entry.record; },
        [&catalog](std::size_t position, core::TreeItemId id) { catalog.SetNtfsFolderTreeItem(position, id); },
        progress);
    if (counts != nullptr)
        *counts = done;
    return done.placed;
}

std::uint32_t BuildFatTree(catalog::Catalog& catalog, FolderTree& tree, core::TreeItemId item,
                           std::uint32_t parentCluster, core::ProgressSink& progress, TreeBuildCounts* counts)
{
    const TreeBuildCounts done = BuildTree(
        catalog.FatFolders(), catalog.folderCount, tree, item, parentCluster,
        [&catalog](std::uint32_t key) { return catalog.FatFoldersWithParent(key); },
        [](const catalog::FatFolderEntry& entry) { return entry.cluster; },
        [&catalog](std::size_t position, core::TreeItemId id) { catalog.SetFatFolderTreeItem(position, id); },
        progress);
    if (counts != nullptr)
        *counts = done;
    return done.placed;
}

}  // namespace ntfs
