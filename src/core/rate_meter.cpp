// Rate and time left of a long routine's work.
#include "core/rate_meter.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

namespace core {

namespace {

// A rate needs this much time behind it before it is shown (the first reads are not typical).
constexpr double kMinRateSeconds = 0.5;

}  // namespace

void RateMeter::Start(double seconds) noexcept
{
    *this = RateMeter{};
    m_start = seconds;
}

void RateMeter::Amount(std::uint64_t done, std::uint64_t total, AmountUnit unit, double seconds) noexcept
{
    if (!m_haveAmount || unit != m_unit || done < m_done) {
        m_haveAmount = true;
        m_unit = unit;
        m_firstDone = done;
        m_firstSeconds = seconds;
    }
    m_done = done;
    m_total = total;
}

std::optional<double> RateMeter::PerSecond(double seconds) const noexcept
{
    const double span = seconds - m_firstSeconds;
    if (!m_haveAmount || span < kMinRateSeconds || m_done <= m_firstDone) {
        return std::nullopt;
    }
    return static_cast<double>(m_done - m_firstDone) / span;
}

std::string RateMeter::RateText(double seconds) const
{
    const auto rate = PerSecond(seconds);
    if (!rate) {
        return {};
    }
    char text[48];
    if (m_unit == AmountUnit::Bytes) {
        std::snprintf(text, sizeof text, "%.1f MB/s", *rate / 1e6);
    } else {
        std::snprintf(text, sizeof text, "%.0f records/s", *rate);
    }
    return text;
}

std::optional<double> RateMeter::SecondsLeft(double seconds) const noexcept
{
    if (m_haveAmount && m_total > 0) {
        const auto rate = PerSecond(seconds);
        if (!rate) {
            return std::nullopt;
        }
        return m_done >= m_total ? 0.0 : static_cast<double>(m_total - m_done) / *rate;
    }
    const double elapsed = Elapsed(seconds);
    if (m_percent <= 0 || m_percent >= 100 || elapsed < kMinRateSeconds) {
        return std::nullopt;
    }
    return elapsed * (100.0 - m_percent) / m_percent;
}

std::string RateMeter::Line(double seconds) const
{
    std::string line = std::to_string(m_percent) + "%";
    const std::string rate = RateText(seconds);
    if (!rate.empty()) {
        line += "  " + rate;
    }
    line += "  " + FormatDuration(Elapsed(seconds)) + " elapsed";
    if (const auto left = SecondsLeft(seconds)) {
        line += "  " + FormatDuration(*left) + " left";
    }
    return line;
}

std::string FormatDuration(double seconds)
{
    const double bounded = std::isfinite(seconds) && seconds > 0 ? std::fmin(seconds, 359999.0) : 0.0;
    const auto total = static_cast<std::uint64_t>(std::llround(bounded));
    const std::uint64_t h = total / 3600;
    const std::uint64_t m = total / 60 % 60;
    const std::uint64_t s = total % 60;
    char text[32];
    if (h > 0) {
        std::snprintf(text, sizeof text, "%" PRIu64 ":%02" PRIu64 ":%02" PRIu64, h, m, s);
    } else {
        std::snprintf(text, sizeof text, "%" PRIu64 ":%02" PRIu64, m, s);
    }
    return text;
}

}  // namespace core
