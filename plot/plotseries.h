// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "plot/plotlines.h"

#include <QList>
#include <QPointF>
#include <QString>

#include <utility>
#include <vector>

class QIODevice;

// What the plot holds: the last N samples, one for each line that had values, with the time it
// arrived and a column of values for each series: NaN where the line did not name that series,
// which the curve passes over, and infinity where it named it with no finite number (a gap, where
// the curve breaks).
// The columns are ring buffers of N that share one head, so memory is bounded by N times the
// number of series, however long the plot runs.
class PlotSeries {
public:
    static constexpr int maxSeries = 16;
    static constexpr qsizetype fewestSamples = 100;
    static constexpr qsizetype mostSamples = 1'000'000;
    static constexpr qsizetype defaultSamples = 1000;

    enum class Axis { Samples, Seconds };

    explicit PlotSeries(qsizetype capacity = defaultSamples);

    // Keeps the newest samples that fit.
    void setCapacity(qsizetype capacity);
    qsizetype capacity() const { return m_capacity; }
    // One sample: the values of one line, `seconds` after the plot began. A series is named by
    // its name in the line, or else by its position ("1", "2", ...); names after the 16th are
    // dropped.
    void add(double seconds, const PlotLines::Values& values);
    // Forgets every sample and series; sample numbers start again from 0.
    void clear();
    // Grows with every change, so a viewer can tell whether there is anything new to draw.
    quint64 revision() const { return m_revision; }

    int seriesCount() const { return int(m_names.size()); }
    QString name(int series) const { return m_names[size_t(series)]; }
    // The finite value the series had in the newest line that named it with one; NaN before any.
    double latest(int series) const { return m_latest[size_t(series)]; }

    qsizetype size() const { return m_size; }
    // Sample k of those held, 0 the oldest.
    double x(Axis axis, qsizetype k) const;
    double value(int series, qsizetype k) const { return m_values[size_t(series)][at(k)]; }
    // The samples held whose x lies within [from, to], as [first, end).
    std::pair<qsizetype, qsizetype> within(Axis axis, double from, double to) const;

    // The series' points with x in [from, to] (and the one either side, so that a line reaches
    // the edges), thinned for a plot `columns` pixels wide: of the points that fall into one
    // column, only the first, the lowest, the highest and the last are kept, in their order. A gap
    // is one point whose y is NaN, where the curve breaks. Written over `into`, whose storage is
    // reused from frame to frame.
    void decimated(
        QList<QPointF>& into, int series, Axis axis, double from, double to, int columns) const;

    // A header row of the series' names, then one row for each sample held: its time in seconds,
    // then each series' value, empty where it had none or a gap. In the system code page.
    bool writeCsv(QIODevice& out) const;

private:
    size_t at(qsizetype k) const
    {
        const size_t index = m_head + size_t(k);
        return index >= size_t(m_capacity) ? index - size_t(m_capacity) : index;
    }
    int seriesFor(const PlotLines::Value& value);

    qsizetype m_capacity;
    qsizetype m_size = 0;
    size_t m_head = 0; // where the oldest sample is, once the buffers are full
    qint64 m_added = 0; // samples since the last clear: the sample number of the next one
    quint64 m_revision = 0;
    std::vector<QString> m_names;
    std::vector<double> m_latest;
    std::vector<double> m_seconds;
    std::vector<std::vector<double>> m_values;
};
