// Batch recovery over the catalog.
#include "recovery/batch_recovery.h"

#include <unordered_set>

#include "core/messages.h"
#include "recovery/output_names.h"

namespace recovery {

namespace {

constexpr std::uint32_t kNtfsRootRecord = 5;
constexpr std::uint32_t kFatRootCluster = 0;

class BatchRun
{
public:
    BatchRun(Extractor& extractor, RecoveryState& state, const ntfs::Catalog& catalog, BatchSource source,
             const BatchObserver& observer)
        : m_extractor(extractor), m_state(state), m_catalog(catalog), m_source(source), m_observer(observer)
    {
    }

    BatchSummary& Summary() noexcept { return m_summary; }

    bool Stopped()
    {
        if (m_state.stopRequested.load()) {
            m_summary.stopped = true;
            return true;
        }
        return false;
    }

    // A file of the source's list at `position`, into `folder`.
    void File(std::size_t position, const std::filesystem::path& folder, const std::string& relativeFolder)
    {
        if (Stopped()) {
            return;
        }
        ExtractResult result;
        if (m_source == BatchSource::FatFiles) {
            const ntfs::FatFileEntry& f = m_catalog.FatFiles()[position];
            result = m_extractor.ExtractFatFile(
                FatExtractRequest{folder, f.serial, 1, f.cluster, f.size, f.name, f.deleted != 0 ? 1 : 0});
        } else if (m_source == BatchSource::FoundFiles) {
            const ntfs::FoundFileRecord& f = m_catalog.FoundFiles()[position];
            result = m_extractor.ExtractNtfsFile(
                NtfsExtractRequest{folder, f.name, f.size, f.sector, 1, f.deleted != 0 ? 1 : 0});
        } else {
            const ntfs::NtfsFileEntry& f = m_catalog.NtfsFiles()[position];
            result = m_extractor.ExtractNtfsFile(
                NtfsExtractRequest{folder, f.name, f.size, f.dataRecordSector, 1, f.deleted != 0 ? 1 : 0});
        }
        Count(result);
        if (m_observer) {
            const std::string name = SafeOutputName(FileName(position));
            m_observer(BatchEvent{relativeFolder.empty() ? name : relativeFolder + "/" + name, false, result});
        }
    }

    // A folder entry at `position` below `parent`, then everything below it.
    void FolderTree(std::size_t position, const std::filesystem::path& parent, const std::string& relativeParent)
    {
        struct Pending
        {
            std::size_t position;
            std::filesystem::path parent;
            std::string relativeParent;
        };
        std::vector<Pending> stack{{position, parent, relativeParent}};
        while (!stack.empty() && !Stopped()) {
            Pending item = std::move(stack.back());
            stack.pop_back();
            const std::string name = SafeOutputName(FolderName(item.position));
            const std::filesystem::path path = item.parent / name;
            const std::string relative = item.relativeParent.empty() ? name : item.relativeParent + "/" + name;
            if (!MakeBelow(path, relative)) {
                continue;
            }
            const std::uint32_t key = FolderKey(item.position);
            if (!m_expanded.insert(key).second) {
                continue;
            }
            Files(key, path, relative);
            const auto children = ChildFolders(key);
            for (auto it = children.rbegin(); it != children.rend(); ++it) {
                stack.push_back({*it, path, relative});
            }
        }
    }

    // The root's files into `destination`, then its folders with their trees.
    void Root(const std::filesystem::path& destination)
    {
        const std::uint32_t root = m_source == BatchSource::FatFiles ? kFatRootCluster : kNtfsRootRecord;
        m_expanded.insert(root);
        Files(root, destination, {});
        for (const std::size_t folder : ChildFolders(root)) {
            if (Stopped()) {
                return;
            }
            FolderTree(folder, destination, {});
        }
    }

    std::uint32_t FolderKey(std::size_t position) const
    {
        return m_source == BatchSource::FatFiles ? m_catalog.FatFolders()[position].cluster
                                                 : m_catalog.NtfsFolders()[position].record;
    }

    std::size_t FolderCount() const
    {
        return m_source == BatchSource::FatFiles ? m_catalog.FatFolders().size() : m_catalog.NtfsFolders().size();
    }

    std::size_t FileCount() const
    {
        switch (m_source) {
        case BatchSource::FatFiles:
            return m_catalog.FatFiles().size();
        case BatchSource::FoundFiles:
            return m_catalog.FoundFiles().size();
        case BatchSource::NtfsFiles:
            break;
        }
        return m_catalog.NtfsFiles().size();
    }

private:
    const std::string& FolderName(std::size_t position) const
    {
        return m_source == BatchSource::FatFiles ? m_catalog.FatFolders()[position].name
                                                 : m_catalog.NtfsFolders()[position].name;
    }

    const std::string& FileName(std::size_t position) const
    {
        switch (m_source) {
        case BatchSource::FatFiles:
            return m_catalog.FatFiles()[position].name;
        case BatchSource::FoundFiles:
            return m_catalog.FoundFiles()[position].name;
        case BatchSource::NtfsFiles:
            break;
        }
        return m_catalog.NtfsFiles()[position].name;
    }

    std::vector<std::size_t> ChildFolders(std::uint32_t key) const
    {
        const auto range = m_source == BatchSource::FatFiles ? m_catalog.FatFoldersWithParent(key)
                                                             : m_catalog.NtfsFoldersWithParent(key);
        return std::vector<std::size_t>(range.begin(), range.end());
    }

    void Files(std::uint32_t key, const std::filesystem::path& folder, const std::string& relative)
    {
        if (m_source == BatchSource::FatFiles) {
            for (const std::size_t p : m_catalog.FatFilesWithParent(key)) {
                File(p, folder, relative);
            }
        } else if (m_source == BatchSource::FoundFiles) {
            const ntfs::VolumeParams& v = m_catalog.volumeParams;
            for (const std::size_t p : m_catalog.FoundFilesWithParent(key)) {
                const core::Sector sector = m_catalog.FoundFiles()[p].sector;
                if (sector > v.clusterBase && sector <= v.endSector) {
                    File(p, folder, relative);
                }
            }
        } else {
            for (const std::size_t p : m_catalog.NtfsFilesWithParent(key)) {
                File(p, folder, relative);
            }
        }
    }

    bool MakeBelow(const std::filesystem::path& path, const std::string& relative)
    {
        const FolderOutcome made = MakeFolder(path);
        if (made == FolderOutcome::Created) {
            ++m_summary.foldersCreated;
        }
        if (made != FolderOutcome::Failed) {
            return true;
        }
        ++m_summary.errors;
        ExtractResult result;
        result.outcome = ExtractOutcome::CreateFailed;
        result.path = path;
        result.name = path.filename().string();
        if (m_observer) {
            m_observer(BatchEvent{relative, true, result});
        }
        std::string message(core::msg::kErrorCreatingFile);
        message += path.string();
        message += core::msg::kContinueRecovery;
        const ContinueQuestion& ask = m_extractor.Context().askContinue;
        if (ask && !ask(message)) {
            m_state.stopRequested.store(true);
        }
        return false;
    }

    void Count(const ExtractResult& result)
    {
        switch (result.outcome) {
        case ExtractOutcome::Written:
            ++m_summary.written;
            m_summary.renamed += result.renamed ? 1 : 0;
            break;
        case ExtractOutcome::CutByStop:
        case ExtractOutcome::CutBySkip:
            ++m_summary.cutShort;
            break;
        case ExtractOutcome::NotStarted:
            m_summary.stopped = true;
            break;
        case ExtractOutcome::EmptyFile:
        case ExtractOutcome::FilteredOut:
        case ExtractOutcome::ExcludedDeleted:
        case ExtractOutcome::DuplicateSkipped:
            ++m_summary.skipped;
            break;
        case ExtractOutcome::NoDataAttribute:
        case ExtractOutcome::ResidentTooLarge:
        case ExtractOutcome::NoDecodableRun:
        case ExtractOutcome::CreateFailed:
        case ExtractOutcome::WriteFailed:
            ++m_summary.errors;
            break;
        }
        const bool output = result.outcome == ExtractOutcome::Written || result.outcome == ExtractOutcome::CutByStop ||
                            result.outcome == ExtractOutcome::CutBySkip;
        if (output && result.unreadableSectors != 0) {
            ++m_summary.withUnreadableSectors;
        }
        if (output && result.incomplete) {
            ++m_summary.incomplete;
        }
    }

    Extractor& m_extractor;
    RecoveryState& m_state;
    const ntfs::Catalog& m_catalog;
    BatchSource m_source;
    const BatchObserver& m_observer;
    BatchSummary m_summary;
    std::unordered_set<std::uint32_t> m_expanded;
};

}  // namespace

BatchSummary RecoverBatch(Extractor& extractor, RecoveryState& state, const ntfs::Catalog& catalog, BatchSource source,
                          const BatchSelection& selection, const std::filesystem::path& destination,
                          const BatchObserver& observer)
{
    state.stopRequested.store(false);
    state.skipRequested.store(false);
    state.filesSaved.store(0);
    BatchRun run(extractor, state, catalog, source, observer);
    if (MakeFolders(destination) == FolderOutcome::Failed) {
        ++run.Summary().errors;
        std::string message(core::msg::kErrorCreatingFile);
        message += destination.string();
        message += core::msg::kContinueRecovery;
        if (extractor.Context().askContinue) {
            extractor.Context().askContinue(message);
        }
        run.Summary().stopped = true;
        return run.Summary();
    }
    if (selection.all) {
        run.Root(destination);
        return run.Summary();
    }
    for (const std::size_t file : selection.files) {
        if (run.Stopped()) {
            break;
        }
        if (file < run.FileCount()) {
            run.File(file, destination, {});
        }
    }
    for (const std::size_t folder : selection.folders) {
        if (run.Stopped()) {
            break;
        }
        if (folder < run.FolderCount()) {
            run.FolderTree(folder, destination, {});
        }
    }
    return run.Summary();
}

}  // namespace recovery
