// The orphan pass and the folder tree build.
#include "ntfs/tree_builder.h"

#include <algorithm>
#include <optional>
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

// The highest folder key below `next` that no folder carries and no folder or file names as its
// parent; `next` moves below it. Keys are taken from the top of the range, far above the record
// numbers of any volume.
std::uint32_t UnusedFolderKey(const catalog::Catalog& catalog, std::uint32_t& next)
{
    for (; next > kRootRecord; --next) {
        const std::uint32_t key = next;
        if (!catalog.NtfsFolderWithRecord(key) && catalog.NtfsFoldersWithParent(key).empty() &&
            catalog.NtfsFilesWithParent(key).empty() && catalog.FoundFilesWithParent(key).empty()) {
            --next;
            return key;
        }
    }
    return 0;  // unreachable: the lists hold fewer entries than there are keys
}

// Folders whose parent links never reach the root (a folder that is its own parent, two or more
// folders that are each other's ancestors, and everything below them) are hung under a
// placeholder of their own: each loop is cut at one folder, whose parent becomes the new
// placeholder's key. Linear in the folder list: every folder is walked up once and reached once.
std::uint32_t HangFolderLoops(catalog::Catalog& catalog, std::uint32_t counter)
{
    constexpr std::uint32_t kUnseen = 0;
    constexpr std::uint32_t kReached = 1;
    const std::size_t count = catalog.NtfsFolders().size();
    std::vector<std::uint32_t> state(count, kUnseen);  // kUnseen, kReached, or the number of a walk
    std::unordered_set<std::uint32_t> keysWalked;
    std::vector<std::uint32_t> keys;
    const auto reach = [&](std::uint32_t from) {
        if (!keysWalked.insert(from).second)
            return;
        keys.push_back(from);
        while (!keys.empty()) {
            const std::uint32_t key = keys.back();
            keys.pop_back();
            for (const std::size_t p : catalog.NtfsFoldersWithParent(key)) {
                if (p >= count || state[p] == kReached)
                    continue;
                state[p] = kReached;
                const std::uint32_t own = catalog.NtfsFolders()[p].record;
                if (keysWalked.insert(own).second)
                    keys.push_back(own);
            }
        }
    };
    reach(kRootRecord);

    std::vector<std::pair<std::size_t, std::uint32_t>> cuts;  // folder position, new parent key
    std::uint32_t walk = kReached;
    std::uint32_t nextKey = 0xFFFFFFFEu;
    for (std::size_t first = 0; first < count; ++first) {
        if (state[first] != kUnseen)
            continue;
        ++walk;
        // Up the parent links until the walk meets itself or finds no parent folder: every
        // folder met is unreached, since a reached parent would have reached its children.
        std::size_t at = first;
        bool loop = false;
        for (;;) {
            state[at] = walk;
            const std::optional<std::size_t> up = catalog.NtfsFolderWithRecord(catalog.NtfsFolders()[at].parent);
            if (!up || *up >= count || state[*up] != kUnseen) {
                // No parent folder (the pass was stopped), or the chain of an earlier such walk:
                // no loop, left as it is.
                loop = up && *up < count && state[*up] == walk;
                break;
            }
            at = *up;
        }
        if (!loop)
            continue;
        const std::uint32_t key = UnusedFolderKey(catalog, nextKey);
        if (key == 0)
            break;
        cuts.emplace_back(at, key);
        state[at] = kReached;
        reach(catalog.NtfsFolders()[at].record);
    }
    if (cuts.empty())
        return counter;

    catalog.SetNtfsFolderParents(cuts);
    for (const auto& cut : cuts) {
        catalog::NtfsFolderEntry placeholder;
        placeholder.name = std::string(core::msg::kPlaceholderFolderPrefix) + std::to_string(counter++);
        placeholder.record = cut.second;
        placeholder.parent = kRootRecord;
        catalog.AddNtfsFolder(std::move(placeholder));
    }
    return counter;
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

    counter = HangFolderLoops(catalog, counter);
    stop.Clear();
    return counter;
}

bool IsPlaceholderName(std::string_view name) noexcept
{
    const std::string_view prefix = core::msg::kPlaceholderFolderPrefix;
    if (!name.starts_with(prefix) || name.size() == prefix.size())
        return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

std::uint32_t NextPlaceholderNumber(const catalog::Catalog& catalog) noexcept
{
    std::uint32_t next = 0;
    const std::size_t prefix = core::msg::kPlaceholderFolderPrefix.size();
    for (const catalog::NtfsFolderEntry& f : catalog.NtfsFolders()) {
        if (f.parent != kRootRecord || !IsPlaceholderName(f.name) || f.name.size() - prefix > 9)
            continue;
        std::uint32_t number = 0;
        for (std::size_t i = prefix; i < f.name.size(); ++i)
            number = number * 10 + static_cast<std::uint32_t>(f.name[i] - '0');
        next = std::max(next, number + 1);
    }
    return next;
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
