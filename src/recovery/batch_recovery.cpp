// Batch recovery over the catalog: the folder tree is made first, then the files are copied,
// by one worker or by several taking whole output folders at a time.
#include "recovery/batch_recovery.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "core/messages.h"
#include "recovery/output_names.h"

namespace recovery {

namespace {

// A folder the files of the batch go into.
struct OutputFolder
{
    std::filesystem::path path;
    std::string relative;  // below the destination, "/"-joined; empty for the destination itself
    // A folder this run made holds only what the run put there: the folders made in it and the
    // files its one worker wrote. While every such name is ASCII, `names` (lower-cased, so that a
    // destination that ignores case is covered too) tells which names are taken without asking
    // the file system; otherwise, or for a folder that was there before, it is asked.
    bool madeNow = false;
    bool asciiOnly = true;
    std::unordered_set<std::string> names;
    // Output folders that are one folder on disk (names differing only in case, on a destination
    // that ignores case) share a lane: one worker writes them all, and none knows its names.
    std::uint32_t lane = 0;
};

bool IsAscii(std::string_view name) noexcept
{
    return std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string LowerAscii(std::string_view name)
{
    std::string lower(name);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

// Records that `name` is taken in `folder`.
void Take(OutputFolder& folder, std::string_view name)
{
    if (!folder.madeNow || !folder.asciiOnly) {
        return;
    }
    if (!IsAscii(name)) {
        folder.asciiOnly = false;
        folder.names.clear();
        return;
    }
    folder.names.insert(LowerAscii(name));
}

// True when `name` is known to be free in `folder`.
bool KnownFree(const OutputFolder& folder, std::string_view name)
{
    return folder.madeNow && folder.asciiOnly && IsAscii(name) && !folder.names.contains(LowerAscii(name));
}

// One event of the batch in the order a single worker meets it: a file to copy, or a folder
// that could not be made (its event filled in while the tree is made).
struct Step
{
    enum class State : std::uint8_t
    {
        Pending,   // a file not yet copied
        Done,      // event ready
        NotRun,    // Stop came first: no event
    };
    std::size_t position = 0;   // file: position in the source's list
    std::uint32_t folder = 0;   // file: index into the output folders
    bool isFile = true;
    State state = State::Pending;
    // A file's result, kept small: the worker's own strings and paths die on the worker's thread
    // (handing them to another thread to free made the workers' heaps grow page by page); the
    // event's path and name are formed again where the event is handed on.
    ExtractOutcome outcome = ExtractOutcome::NotStarted;
    std::int8_t result = 0;    // ExtractResult::result
    bool named = false;        // the result had its output name (and path) formed
    bool renamed = false;
    bool partial = false;
    bool incomplete = false;
    std::uint64_t bytesWritten = 0;
    std::uint64_t unreadableSectors = 0;
    std::optional<core::Sha256::Digest> sha256;
    std::string renamedName;   // the "Copy (n ) of" or ".partial" name, when renamed or partial
    std::unique_ptr<BatchEvent> event;  // a folder that could not be made
};

// The progress sink as seen by several workers: one call at a time.
class SerializedSink : public core::ProgressSink
{
public:
    SerializedSink(core::ProgressSink& inner, std::mutex& mutex) : m_inner(inner), m_mutex(mutex) {}
    void Status(std::string_view text) override
    {
        std::lock_guard lock(m_mutex);
        m_inner.Status(text);
    }
    void Progress(int percent) override
    {
        std::lock_guard lock(m_mutex);
        m_inner.Progress(percent);
    }
    void PanelValue(int row, std::string_view text) override
    {
        std::lock_guard lock(m_mutex);
        m_inner.PanelValue(row, text);
    }
    void Amount(std::uint64_t done, std::uint64_t total, core::AmountUnit unit) override
    {
        std::lock_guard lock(m_mutex);
        m_inner.Amount(done, total, unit);
    }

private:
    core::ProgressSink& m_inner;
    std::mutex& m_mutex;
};

class BatchRun
{
public:
    BatchRun(Extractor& extractor, RecoveryState& state, const ntfs::ShownVolume& volume, const BatchObserver& observer)
        : m_extractor(extractor), m_state(state), m_volume(volume), m_observer(observer),
          m_progress(extractor.Context().sink)
    {
    }

    BatchSummary& Summary() noexcept { return m_summary; }

    // Stop, or "&No" to a folder that could not be made, ends the making of the tree.
    bool Stopped()
    {
        if (m_state.stopRequested.load() || m_treeStopped) {
            m_summary.stopped = true;
            return true;
        }
        return false;
    }

    // ---- making the tree and the list of steps ----

    // The output folder at `path`; `made` tells whether this run made it.
    std::uint32_t Folder(const std::filesystem::path& path, const std::string& relative, bool made)
    {
        const auto [it, added] = m_folderIndex.try_emplace(path.native(), static_cast<std::uint32_t>(m_folders.size()));
        if (!added) {
            return it->second;
        }
        OutputFolder folder{path, relative, made, true, {}, static_cast<std::uint32_t>(m_folders.size())};
        struct stat st{};
        if (::stat(path.c_str(), &st) == 0) {
            const auto [same, first] =
                m_folderByIdentity.try_emplace(std::make_pair(st.st_dev, st.st_ino), static_cast<std::uint32_t>(m_folders.size()));
            if (!first) {
                OutputFolder& earlier = m_folders[same->second];
                folder.lane = earlier.lane;
                folder.madeNow = false;
                earlier.madeNow = false;
                earlier.names.clear();
            }
        }
        m_folders.push_back(std::move(folder));
        return it->second;
    }

    // A file of the source's list at `position`, into `folder`.
    void File(std::size_t position, std::uint32_t folder)
    {
        if (Stopped()) {
            return;
        }
        Step step;
        step.position = position;
        step.folder = folder;
        m_steps.push_back(std::move(step));
    }

    // A folder entry at `position` below `parent`, then everything below it.
    void FolderTree(std::size_t position, std::uint32_t parent)
    {
        struct Pending
        {
            std::size_t position;
            std::uint32_t parent;
        };
        std::vector<Pending> stack{{position, parent}};
        while (!stack.empty() && !Stopped()) {
            const Pending item = stack.back();
            stack.pop_back();
            const std::string name = SafeOutputName(FolderName(item.position));
            const OutputFolder& above = m_folders[item.parent];
            std::filesystem::path path = above.path / name;
            std::string relative = above.relative.empty() ? name : above.relative + "/" + name;
            Take(m_folders[item.parent], name);
            const FolderOutcome made = MakeBelow(path, relative);
            if (made == FolderOutcome::Failed) {
                continue;
            }
            const std::uint32_t folder = Folder(path, relative, made == FolderOutcome::Created);
            const std::uint32_t key = FolderKey(item.position);
            if (!m_expanded.insert(key).second) {
                continue;
            }
            Files(key, folder);
            const auto children = ChildFolders(key);
            for (auto it = children.rbegin(); it != children.rend(); ++it) {
                stack.push_back({*it, folder});
            }
        }
    }

    // The root's files into `destination`, then its folders with their trees.
    void Root(std::uint32_t destination)
    {
        const std::uint32_t root = m_volume.RootKey();
        m_expanded.insert(root);
        Files(root, destination);
        for (const std::size_t folder : ChildFolders(root)) {
            if (Stopped()) {
                return;
            }
            FolderTree(folder, destination);
        }
    }

    // The last check of the plan: a file the selection was to take (Recover All: every file of
    // the volume; a folder: every file whose parent links lead into it) that no step takes
    // becomes a failed step of its own. Nothing is left out silently when damaged parent links
    // keep a file from every folder the walk came through.
    void CheckEveryFileTaken(const BatchSelection& selection)
    {
        if (Stopped()) {
            return;
        }
        std::vector<bool> taken(FileCount(), false);
        for (const Step& step : m_steps) {
            if (step.isFile && step.position < taken.size()) {
                taken[step.position] = true;
            }
        }
        std::unordered_map<std::uint32_t, bool> inside;  // folder key -> lies in the selection
        std::unordered_map<std::uint32_t, std::uint32_t> parentOf;
        if (!selection.all) {
            for (const std::size_t p : selection.folders) {
                if (p < FolderCount()) {
                    inside[m_volume.Folder(p).key] = true;
                }
            }
            if (inside.empty()) {
                return;  // single files only: each one is a step already
            }
            for (std::size_t p = 0; p < FolderCount(); ++p) {
                const ntfs::ShownFolder f = m_volume.Folder(p);
                parentOf.try_emplace(f.key, f.parent);
            }
        }
        const auto inSelection = [&](std::uint32_t key) {
            std::vector<std::uint32_t> path;
            bool answer = false;
            for (;;) {
                if (const auto known = inside.find(key); known != inside.end()) {
                    answer = known->second;
                    break;
                }
                const auto up = parentOf.find(key);
                if (key == m_volume.RootKey() || up == parentOf.end() || path.size() > parentOf.size()) {
                    break;
                }
                path.push_back(key);
                key = up->second;
            }
            for (const std::uint32_t k : path) {
                inside.emplace(k, answer);
            }
            return answer;
        };
        for (std::size_t p = 0; p < taken.size(); ++p) {
            if (taken[p] || !m_volume.Holds(p) || (!selection.all && !inSelection(m_volume.File(p).parent))) {
                continue;
            }
            // Where the file's parent links lead, for the report.
            std::string relative;
            for (const std::string_view folder : m_volume.FolderNames(m_volume.File(p).parent)) {
                relative += SafeOutputName(folder);
                relative += '/';
            }
            relative += SafeOutputName(FileName(p));
            ExtractResult result;
            result.outcome = ExtractOutcome::NotReached;
            Step step;
            step.isFile = false;
            step.state = Step::State::Done;
            step.position = p;
            step.event = std::make_unique<BatchEvent>(BatchEvent{std::move(relative), false, std::move(result)});
            m_steps.push_back(std::move(step));
        }
    }

    std::size_t FolderCount() const { return m_volume.FolderListSize(); }

    std::size_t FileCount() const { return m_volume.FileListSize(); }

    // ---- copying ----

    // Copies every file step, then ends the run when the tree was cut short by "&No".
    void CopyFiles(unsigned workers)
    {
        std::size_t files = 0;
        for (const Step& step : m_steps) {
            files += step.isFile ? 1 : 0;
            m_plannedBytes += step.isFile ? m_volume.File(step.position).size : 0;
        }
        if (workers > 1 && files > 1 && m_folders.size() > 1) {
            CopyParallel(workers);
        } else {
            CopyInOrder();
        }
        if (m_treeStopped) {
            m_state.stopRequested.store(true);
            m_summary.stopped = true;
        }
    }

private:
    std::string_view FolderName(std::size_t position) const { return m_volume.Folder(position).name; }

    std::string_view FileName(std::size_t position) const { return m_volume.File(position).name; }

    std::uint32_t FolderKey(std::size_t position) const { return m_volume.Folder(position).key; }

    std::vector<std::size_t> ChildFolders(std::uint32_t key) const
    {
        const auto range = m_volume.FoldersIn(key);
        return std::vector<std::size_t>(range.begin(), range.end());
    }

    void Files(std::uint32_t key, std::uint32_t folder)
    {
        for (const std::size_t p : m_volume.FilesIn(key)) {
            File(p, folder);
        }
    }

    // Makes a folder of the tree. A failure is a step of its own, reported in order, and asks
    // whether to go on; "&No" ends the tree here, the files met so far are still copied.
    FolderOutcome MakeBelow(const std::filesystem::path& path, const std::string& relative)
    {
        const FolderOutcome made = MakeFolder(path);
        if (made == FolderOutcome::Created) {
            ++m_summary.foldersCreated;
        }
        if (made != FolderOutcome::Failed) {
            return made;
        }
        ExtractResult result;
        result.outcome = ExtractOutcome::CreateFailed;
        result.path = path;
        result.name = path.filename().string();
        Step step;
        step.isFile = false;
        step.state = Step::State::Done;
        step.event = std::make_unique<BatchEvent>(BatchEvent{relative, true, std::move(result)});
        m_steps.push_back(std::move(step));
        std::string message(core::msg::kErrorCreatingFile);
        message += path.string();
        message += core::msg::kContinueRecovery;
        const ContinueQuestion& ask = m_extractor.Context().askContinue;
        if (ask && !ask(message)) {
            m_treeStopped = true;
        }
        return made;
    }

    // Copies the file of `step` through `extractor` and fills in its event.
    void Run(Extractor& extractor, Step& step)
    {
        if (m_state.stopRequested.load()) {
            step.state = Step::State::NotRun;
            return;
        }
        OutputFolder& out = m_folders[step.folder];
        ExtractResult result;
        const std::size_t position = step.position;
        const std::string name = SafeOutputName(FileName(position));
        const bool free = KnownFree(out, name);
        const ntfs::ShownFile f = m_volume.File(position);
        const std::string fileName(f.name);
        const int deleted = f.deleted ? 1 : 0;
        if (BelowMinimumRecoverable(f.recoverable, extractor.Context().settings.minRecoverable)) {
            // The minimum share belongs with the deleted-file policy: only deleted files are rated.
            result.outcome = ExtractOutcome::ExcludedDeleted;
        } else if (m_volume.Fat()) {
            result = extractor.ExtractFatFile(FatExtractRequest{out.path, static_cast<std::uint32_t>(f.id), 1,
                                                                f.firstCluster, static_cast<std::uint32_t>(f.size),
                                                                fileName, deleted, free});
        } else {
            std::optional<RecordIdentity> identity;
            if (f.record) {
                identity = RecordIdentity{*f.record, f.parent, f.created};
            }
            result = extractor.ExtractNtfsFile(
                NtfsExtractRequest{out.path, fileName, f.size, f.recordSector, 1, deleted, free, identity});
        }
        if (!result.name.empty()) {
            Take(out, result.name);  // made or not, later files of this name ask the file system
        }
        step.outcome = result.outcome;
        step.result = static_cast<std::int8_t>(result.result);
        step.named = !result.name.empty();
        step.renamed = result.renamed;
        step.partial = result.partial;
        step.incomplete = result.incomplete;
        step.bytesWritten = result.bytesWritten;
        step.unreadableSectors = result.unreadableSectors;
        step.sha256 = result.sha256;
        if (result.renamed || result.partial) {
            step.renamedName = std::move(result.name);
        }
        step.state = Step::State::Done;
    }

    // Counts a finished step and hands its event to the observer.
    void Deliver(Step& step)
    {
        if (step.state != Step::State::Done) {
            m_summary.stopped = true;
            return;
        }
        if (!step.isFile) {
            ++m_summary.errors;
            if (m_observer && step.event) {
                m_observer(*step.event);
            }
            step.event.reset();
            return;
        }
        // The batch's amount for the rate and the time left: the planned bytes of each file
        // handled (written, skipped or failed alike).
        m_handledBytes += m_volume.File(step.position).size;
        if (m_progress != nullptr) {
            m_progress->Amount(m_handledBytes, m_plannedBytes, core::AmountUnit::Bytes);
        }
        ExtractResult result;
        result.outcome = step.outcome;
        result.result = step.result;
        result.renamed = step.renamed;
        result.partial = step.partial;
        result.incomplete = step.incomplete;
        result.bytesWritten = step.bytesWritten;
        result.unreadableSectors = step.unreadableSectors;
        result.sha256 = step.sha256;
        Count(result);
        if (!m_observer) {
            return;
        }
        const OutputFolder& out = m_folders[step.folder];
        std::string name = SafeOutputName(FileName(step.position));
        std::string relative = out.relative.empty() ? name : out.relative + "/" + name;
        if (step.named) {
            result.name = step.renamed || step.partial ? std::move(step.renamedName) : std::move(name);
            result.path = out.path / result.name;
        }
        m_observer(BatchEvent{std::move(relative), false, std::move(result)});
    }

    // One file after the other on this thread.
    void CopyInOrder()
    {
        for (Step& step : m_steps) {
            if (step.isFile) {
                Run(m_extractor, step);
            }
            Deliver(step);
        }
    }

    // Workers take whole output folders (lanes) in the order the tree met them; this thread
    // hands the events on in step order as they become ready.
    void CopyParallel(unsigned workers)
    {
        std::vector<std::vector<std::size_t>> lanes(m_folders.size());
        std::vector<std::uint32_t> laneOrder;
        for (std::size_t i = 0; i < m_steps.size(); ++i) {
            if (!m_steps[i].isFile) {
                continue;
            }
            const std::uint32_t id = m_folders[m_steps[i].folder].lane;
            if (lanes[id].empty()) {
                laneOrder.push_back(id);
            }
            lanes[id].push_back(i);
        }
        workers = static_cast<unsigned>(std::min<std::size_t>(workers, laneOrder.size()));

        std::mutex sinkMutex;
        std::mutex questionMutex;
        std::optional<SerializedSink> sink;
        ExtractionContext context = m_extractor.Context();
        if (context.sink != nullptr) {
            sink.emplace(*context.sink, sinkMutex);
            context.sink = &*sink;
        }
        context.askContinue = [ask = context.askContinue, &questionMutex, this](std::string_view message) {
            std::lock_guard lock(questionMutex);
            if (m_state.stopRequested.load()) {
                return false;  // an earlier answer already ended the run
            }
            const bool goOn = !ask || ask(message);
            if (!goOn) {
                m_state.stopRequested.store(true);  // before another worker may ask
            }
            return goOn;
        };

        // A worker marks each step done and wakes this thread only every kWakeEvery steps and at
        // the end of a lane: waking it for every file cost more than the copying of small files.
        constexpr std::size_t kWakeEvery = 64;
        std::mutex doneMutex;
        std::condition_variable doneChanged;
        std::vector<std::atomic<std::uint8_t>> done(m_steps.size());
        for (std::size_t i = 0; i < m_steps.size(); ++i) {
            done[i].store(m_steps[i].isFile ? 0 : 1, std::memory_order_relaxed);
        }
        std::size_t nextLane = 0;
        std::exception_ptr failure;
        const auto wake = [&] {
            std::lock_guard lock(doneMutex);
            doneChanged.notify_one();
        };

        auto work = [&] {
            try {
                Extractor extractor(m_extractor.Disk(), m_extractor.State(), context);
                for (;;) {
                    std::size_t lane = 0;
                    {
                        std::lock_guard lock(doneMutex);
                        if (nextLane == laneOrder.size() || failure) {
                            return;
                        }
                        lane = laneOrder[nextLane++];
                    }
                    std::size_t sinceWake = 0;
                    for (const std::size_t i : lanes[lane]) {
                        Run(extractor, m_steps[i]);
                        done[i].store(1, std::memory_order_release);
                        if (++sinceWake == kWakeEvery) {
                            sinceWake = 0;
                            wake();
                        }
                    }
                    wake();
                }
            } catch (...) {
                std::lock_guard lock(doneMutex);
                if (!failure) {
                    failure = std::current_exception();
                }
                doneChanged.notify_one();
            }
        };
        std::vector<std::jthread> threads;
        threads.reserve(workers);
        for (unsigned w = 0; w < workers; ++w) {
            try {
                threads.emplace_back(work);
            } catch (const std::system_error&) {
                break;  // the system gives no more threads: fewer workers
            }
        }
        if (threads.empty()) {
            CopyInOrder();
            return;
        }
        // While the workers run, the batch's amounts reach the sink through the same lock.
        struct SinkWhileWorkersRun
        {
            core::ProgressSink*& slot;
            core::ProgressSink* outer;
            ~SinkWhileWorkersRun() { slot = outer; }
        } const sinkWhileWorkersRun{m_progress, std::exchange(m_progress, sink ? &*sink : m_progress)};
        try {
            for (std::size_t i = 0; i < m_steps.size(); ++i) {
                if (done[i].load(std::memory_order_acquire) == 0) {
                    std::unique_lock lock(doneMutex);
                    doneChanged.wait(lock, [&] { return done[i].load(std::memory_order_acquire) != 0 || failure; });
                    if (failure) {
                        m_state.stopRequested.store(true);  // the other workers end at their next file
                        break;
                    }
                }
                Deliver(m_steps[i]);
            }
        } catch (...) {
            m_state.stopRequested.store(true);  // the workers end at their next file before they are joined
            throw;
        }
        threads.clear();  // joined: `failure` is read alone from here
        if (failure) {
            std::rethrow_exception(failure);
        }
    }

    void Count(const ExtractResult& result)
    {
        switch (result.outcome) {
        case ExtractOutcome::Written:
            m_summary.written += result.incomplete ? 0 : 1;
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
        case ExtractOutcome::NotReached:
        case ExtractOutcome::RecordNotFile:
        case ExtractOutcome::RecordTorn:
        case ExtractOutcome::RecordOfOtherFile:
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
        if (result.partial) {
            ++m_summary.partial;
        }
    }

    Extractor& m_extractor;
    RecoveryState& m_state;
    const ntfs::ShownVolume& m_volume;
    const BatchObserver& m_observer;
    BatchSummary m_summary;
    std::unordered_set<std::uint32_t> m_expanded;
    std::vector<OutputFolder> m_folders;
    std::unordered_map<std::string, std::uint32_t> m_folderIndex;
    std::map<std::pair<dev_t, ino_t>, std::uint32_t> m_folderByIdentity;  // the first folder of each on disk
    std::vector<Step> m_steps;
    bool m_treeStopped = false;
    core::ProgressSink* m_progress = nullptr;  // the extractor's sink: the amounts of the batch
    std::uint64_t m_plannedBytes = 0;
    std::uint64_t m_handledBytes = 0;
};

}  // namespace

unsigned DefaultRecoveryWorkers(const disk::DiskState& disk)
{
    if (disk.accessMode != 'N' || disk.driveHandle == nullptr || !disk.driveHandle->ConcurrentReads()) {
        return 1;
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(cores, 1u, kMaxRecoveryWorkers);
}

ntfs::ShownKind ShownKindOf(BatchSource source) noexcept
{
    switch (source) {
    case BatchSource::FoundFiles:
        return ntfs::ShownKind::MountedFound;
    case BatchSource::FatFiles:
        return ntfs::ShownKind::FatLists;
    case BatchSource::NtfsFiles:
        break;
    }
    return ntfs::ShownKind::NtfsLists;
}

BatchSummary RecoverBatch(Extractor& extractor, RecoveryState& state, const catalog::Catalog& catalog,
                          BatchSource source, const BatchSelection& selection, const std::filesystem::path& destination,
                          const BatchObserver& observer, unsigned workers)
{
    return RecoverBatch(extractor, state, ntfs::ShownVolume(catalog, ShownKindOf(source)), selection, destination,
                        observer, workers);
}

BatchSummary RecoverBatch(Extractor& extractor, RecoveryState& state, const ntfs::ShownVolume& volume,
                          const BatchSelection& selection, const std::filesystem::path& destination,
                          const BatchObserver& observer, unsigned workers)
{
    state.stopRequested.store(false);
    state.skipRequested.store(false);
    state.filesSaved.store(0);
    BatchRun run(extractor, state, volume, observer);
    const FolderOutcome made = MakeFolders(destination);
    if (made == FolderOutcome::Failed) {
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
    const std::uint32_t top = run.Folder(destination, {}, made == FolderOutcome::Created);
    if (selection.all) {
        run.Root(top);
    } else {
        for (const std::size_t file : selection.files) {
            if (run.Stopped()) {
                break;
            }
            if (file < run.FileCount()) {
                run.File(file, top);
            }
        }
        for (const std::size_t folder : selection.folders) {
            if (run.Stopped()) {
                break;
            }
            if (folder < run.FolderCount()) {
                run.FolderTree(folder, top);
            }
        }
    }
    run.CheckEveryFileTaken(selection);
    run.CopyFiles(workers);
    return run.Summary();
}

}  // namespace recovery
