// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "plot/plotscale.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double most = std::numeric_limits<double>::max();

double held(double value) { return std::clamp(value, -most, most); }

// high - low overflows for ends near the largest double; the difference of the halves cannot.
double halfSpan(double low, double high) { return high / 2 - low / 2; }

// A round step (1, 2 or 5 times a power of ten) for about `intervals` intervals over the range.
double roundStep(double low, double high, int intervals)
{
    const double raw = halfSpan(low, high) / std::max(intervals, 2) * 2;
    if (!(raw >= std::numeric_limits<double>::min()))
        return std::max(raw, std::numeric_limits<double>::denorm_min());
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double ratio = raw / magnitude;
    return held((ratio < 1.5 ? 1 : ratio < 3 ? 2 : ratio < 7 ? 5 : 10) * magnitude);
}

} // namespace

bool PlotScale::usable(double low, double high)
{
    return low < high && std::isfinite(low) && std::isfinite(high) && halfSpan(low, high) > 0;
}

PlotScale::PlotScale(double low, double high)
{
    if (usable(low, high)) {
        m_low = low;
        m_high = high;
    }
}

PlotScale PlotScale::fit(double low, double high)
{
    if (!(low <= high) || !std::isfinite(low) || !std::isfinite(high))
        return PlotScale(0, 1);
    // Values no axis label could tell apart count as one.
    if (halfSpan(low, high) <= std::max(std::abs(low), std::abs(high)) * 1e-12) {
        const double middle = low / 2 + high / 2;
        const double pad = std::max(1.0, std::abs(middle) * 0.05);
        low = held(middle - pad);
        high = held(middle + pad);
    }
    const double step = roundStep(low, high, 4);
    return PlotScale(held(std::floor(low / step) * step), held(std::ceil(high / step) * step));
}

PlotScale::Ticks PlotScale::ticks(int intervals) const
{
    Ticks ticks;
    ticks.step = roundStep(m_low, m_high, intervals);
    ticks.first = held(std::ceil(m_low / ticks.step) * ticks.step);
    if (ticks.first <= m_high)
        ticks.count = int(std::floor(halfSpan(ticks.first, m_high) / ticks.step * 2 + 1e-9)) + 1;
    return ticks;
}

double PlotScale::Ticks::at(int k) const { return held((first / 2 + k * (step / 2)) * 2); }

PlotScale::Pixels PlotScale::pixels(double from, double to) const
{
    return { from, m_low / 2, (to - from) / halfSpan(m_low, m_high) };
}

double PlotScale::fraction(double value) const
{
    return (value / 2 - m_low / 2) / halfSpan(m_low, m_high);
}

double PlotScale::at(double fraction) const
{
    return held((m_low / 2 + fraction * halfSpan(m_low, m_high)) * 2);
}
