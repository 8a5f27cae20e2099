// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// An axis of the plot: the range it shows, its round ticks, and the way from a value to a pixel
// and back. Values may be anywhere a double reaches; the arithmetic never overflows, so every
// limit, step and position it gives is finite.
class PlotScale {
public:
    struct Ticks {
        double first = 0; // the lowest tick
        double step = 1;
        int count = 0;
        // Tick k, 0 the lowest.
        double at(int k) const;
    };

    // The range of round numbers holding [low, high] that an axis fitted to the curves shows:
    // ends on steps of 1, 2 or 5 times a power of ten, about four of them. A single value gets a
    // range around it; nothing finite (low > high, or either not finite) gets 0 to 1.
    static PlotScale fit(double low, double high);

    // Whether [low, high] is a range a scale can show as it is: finite, and low below high by
    // more than the smallest step of a double.
    static bool usable(double low, double high);
    // The scale of [low, high] as it is; a range that is not usable is 0 to 1.
    PlotScale(double low, double high);
    PlotScale() = default;

    double low() const { return m_low; }
    double high() const { return m_high; }
    // Round ticks within the range, about `intervals` between the ends.
    Ticks ticks(int intervals) const;
    // The way from a value to a pixel, low at `from` and high at `to` (which may be the smaller).
    struct Pixels {
        double from;
        double halfLow;
        double perHalf;
        double operator()(double value) const { return from + (value / 2 - halfLow) * perHalf; }
    };
    Pixels pixels(double from, double to) const;
    // Where the value stands between the ends: 0 at low, 1 at high.
    double fraction(double value) const;
    // The value at that fraction, held within what a double can hold.
    double at(double fraction) const;

private:
    double m_low = 0;
    double m_high = 1;
};
