// Long work: the stop flag polled by workers, the progress sink they report through, and the
// pause gate a search waits at while a question is open.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string_view>

namespace core {

// Set by the Stop button (after its question) or Ctrl-C; polled by the worker between units of
// work; cleared by the worker when it ends.
class StopFlag
{
public:
    void Request() noexcept { m_set.store(true, std::memory_order_relaxed); }
    void Clear() noexcept { m_set.store(false, std::memory_order_relaxed); }
    bool IsSet() const noexcept { return m_set.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> m_set{false};
};

// What the amount of a long routine's work is counted in.
enum class AmountUnit
{
    Bytes,     // bytes read or copied (sectors x 512)
    Records,   // FILE records walked
};

// What a long routine shows while it runs. The window implements it by writing its controls
// (through a bridge, never from the worker directly); the CLI prints to a terminal; tests record.
// Every method has an empty default so a caller may ignore what it does not show.
class ProgressSink
{
public:
    virtual ~ProgressSink() = default;
    // The status line under the information panel.
    virtual void Status(std::string_view text) { (void)text; }
    // The progress bar, 0..100 (workers cap it at 99 while they run).
    virtual void Progress(int percent) { (void)percent; }
    // The value of information-panel row 1..5 (the counters, current sector, last name).
    virtual void PanelValue(int row, std::string_view text)
    {
        (void)row;
        (void)text;
    }
    // How much of the work is done, out of `total` (0: unknown), counted in `unit`: what the
    // rate and the time left beside the progress are computed from.
    virtual void Amount(std::uint64_t done, std::uint64_t total, AmountUnit unit)
    {
        (void)done;
        (void)total;
        (void)unit;
    }
};

// A sink that shows nothing.
inline ProgressSink& NullSink()
{
    static ProgressSink sink;
    return sink;
}

// A gate a worker passes between units of work; the window closes it while it asks a question
// and opens it again with the answer.
class PauseGate
{
public:
    void Close()
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    void Open()
    {
        {
            std::lock_guard lock(m_mutex);
            m_closed = false;
        }
        m_cv.notify_all();
    }
    // Blocks while the gate is closed.
    void Pass()
    {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [this] { return !m_closed; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_closed = false;
};

}  // namespace core
