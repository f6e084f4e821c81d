// The worker-to-widget bridge: latest values under a mutex, painted by a timer.
#include "gui/progress_bridge.h"

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <new>

#include "gui/qt_text.h"

namespace gui {

namespace {

double nowSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

ProgressBridge::ProgressBridge(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(kFlushIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &ProgressBridge::flush);
}

ProgressBridge::~ProgressBridge()
{
    if (m_thread.joinable())
        m_thread.join();
}

void ProgressBridge::Status(std::string_view text)
{
    std::lock_guard lock(m_mutex);
    m_pending.status = std::string(text);
}

void ProgressBridge::Progress(int percent)
{
    std::lock_guard lock(m_mutex);
    m_pending.progress = percent;
    m_meter.Percent(percent);
}

void ProgressBridge::Amount(std::uint64_t done, std::uint64_t total, core::AmountUnit unit)
{
    std::lock_guard lock(m_mutex);
    m_meter.Amount(done, total, unit, nowSeconds());
}

void ProgressBridge::PanelValue(int row, std::string_view text)
{
    if (row < 1 || row > kPanelRows)
        return;
    std::lock_guard lock(m_mutex);
    m_pending.panel[static_cast<std::size_t>(row - 1)] = std::string(text);
}

void ProgressBridge::flush()
{
    Pending now;
    std::string rate;
    {
        std::lock_guard lock(m_mutex);
        now = std::move(m_pending);
        m_pending = Pending{};
        if (m_running) {
            const double seconds = nowSeconds();
            rate = m_meter.RateText(seconds);
            if (const auto left = m_meter.SecondsLeft(seconds))
                rate += (rate.empty() ? "" : "  ") + core::FormatDuration(*left) + " left";
        }
    }
    const QString rateText = toQt(rate);
    if (rateText != m_rateShown) {
        m_rateShown = rateText;
        Q_EMIT rateChanged(rateText);
    }
    if (now.status)
        Q_EMIT statusChanged(toQt(*now.status));
    if (now.progress)
        Q_EMIT progressChanged(*now.progress);
    for (std::size_t i = 0; i < now.panel.size(); ++i) {
        if (now.panel[i])
            Q_EMIT panelValueChanged(static_cast<int>(i + 1), toQt(*now.panel[i]));
    }
}

bool ProgressBridge::start(std::function<void()> work, std::function<void()> onEnd)
{
    if (m_running)
        return false;
    if (m_thread.joinable())
        m_thread.join();
    m_running = true;
    m_outOfMemory = false;
    {
        std::lock_guard lock(m_mutex);
        m_meter.Start(nowSeconds());
    }
    m_onEnd = std::move(onEnd);
    m_timer.start();
    m_thread = std::thread([this, job = std::move(work)] {
        try {
            job();
        } catch (const std::bad_alloc&) {
            m_outOfMemory = true;
        }
        QMetaObject::invokeMethod(this, &ProgressBridge::finishWorker, Qt::QueuedConnection);
    });
    return true;
}

void ProgressBridge::finishWorker()
{
    if (m_thread.joinable())
        m_thread.join();
    m_timer.stop();
    flush();
    m_running = false;
    flush();  // the rate is cleared once the worker is gone
    std::function<void()> onEnd = std::move(m_onEnd);
    m_onEnd = nullptr;
    if (m_outOfMemory) {
        Q_EMIT outOfMemory();
        return;
    }
    if (onEnd)
        onEnd();
    Q_EMIT workerFinished();
}

void ProgressBridge::runOnGuiThread(const std::function<void()>& call)
{
    if (QThread::currentThread() == thread()) {
        call();
        return;
    }
    QMetaObject::invokeMethod(this, [&call] { call(); }, Qt::BlockingQueuedConnection);
}

}  // namespace gui
