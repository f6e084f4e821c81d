// The rate of a long routine's work and the time it has left, from the amounts it reports (or,
// when it reports none, from its percentage): shown beside the progress by the CLI and the GUI.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/progress.h"

namespace core {

class RateMeter
{
public:
    // The work starts at `seconds` (any steady clock, in seconds).
    void Start(double seconds) noexcept;
    void Percent(int percent) noexcept { m_percent = percent; }
    void Amount(std::uint64_t done, std::uint64_t total, AmountUnit unit, double seconds) noexcept;

    // "12.5 MB/s" or "3400 records/s"; empty until a rate is known.
    std::string RateText(double seconds) const;
    // Seconds left: from the amounts when the total is known, else from the percentage; empty
    // until either gives an estimate.
    std::optional<double> SecondsLeft(double seconds) const noexcept;
    double Elapsed(double seconds) const noexcept { return seconds > m_start ? seconds - m_start : 0.0; }

    // "42%  12.5 MB/s  0:12 elapsed  1:03:05 left" (parts not known are left out).
    std::string Line(double seconds) const;

private:
    std::optional<double> PerSecond(double seconds) const noexcept;

    double m_start = 0;
    int m_percent = 0;
    bool m_haveAmount = false;
    AmountUnit m_unit = AmountUnit::Bytes;
    std::uint64_t m_firstDone = 0;  // the first amount reported, and when: the rate counts from there
    double m_firstSeconds = 0;
    std::uint64_t m_done = 0;
    std::uint64_t m_total = 0;
};

// "0:07", "12:34", "1:02:03".
std::string FormatDuration(double seconds);

}  // namespace core
