// The one way a worker's progress reaches the widgets. The worker writes the latest status
// text, progress position and information-panel values under a mutex (ProgressSink); a 50 ms
// timer on the GUI thread paints whatever changed, and a last flush runs when the worker ends.
// The worker's end comes back to the GUI thread by a queued call; nothing ever waits for it.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "core/progress.h"
#include "core/rate_meter.h"

namespace gui {

class ProgressBridge : public QObject, public core::ProgressSink
{
    Q_OBJECT

public:
    static constexpr int kFlushIntervalMs = 50;
    static constexpr int kPanelRows = 5;

    explicit ProgressBridge(QObject* parent = nullptr);
    // Waits for a worker still running (only at program end, when its window is gone).
    ~ProgressBridge() override;

    // ProgressSink, called from the worker (or any thread): keeps only the latest values.
    void Status(std::string_view text) override;
    void Progress(int percent) override;
    void PanelValue(int row, std::string_view text) override;
    void Amount(std::uint64_t done, std::uint64_t total, core::AmountUnit unit) override;

    // Runs `work` on a new thread; `onEnd` runs on the GUI thread after the last flush. False
    // (and nothing started) while another worker runs. `work` may throw std::bad_alloc: the
    // bridge then reports outOfMemory() instead of calling `onEnd`.
    bool start(std::function<void()> work, std::function<void()> onEnd);
    bool running() const noexcept { return m_running; }

    // Paints the pending values now (GUI thread).
    void flush();

    // Runs `call` on the GUI thread and waits for it, for a worker that must ask the user
    // something; on the GUI thread it simply runs.
    void runOnGuiThread(const std::function<void()>& call);

Q_SIGNALS:
    void statusChanged(const QString& text);
    void progressChanged(int percent);
    void panelValueChanged(int row, const QString& text);
    // The rate and the time left of the running worker ("12.5 MB/s  0:38 left"); empty when it ends.
    void rateChanged(const QString& text);
    void workerFinished();
    void outOfMemory();

private:
    void finishWorker();

    struct Pending
    {
        std::optional<std::string> status;
        std::optional<int> progress;
        std::array<std::optional<std::string>, kPanelRows> panel;
    };

    std::mutex m_mutex;
    Pending m_pending;
    core::RateMeter m_meter;  // under m_mutex
    QString m_rateShown;
    QTimer m_timer;
    std::thread m_thread;
    std::function<void()> m_onEnd;
    std::atomic<bool> m_outOfMemory{false};
    bool m_running = false;
};

}  // namespace gui
