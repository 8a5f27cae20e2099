// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "plot/plotseries.h"

#include "port/codepage.h"

#include <QIODevice>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double none = std::numeric_limits<double>::quiet_NaN();
constexpr double gap = std::numeric_limits<double>::infinity();

// Shortest text that reads back as the same double.
QString exact(double value) { return QString::number(value, 'g', QLocale::FloatingPointShortest); }

} // namespace

PlotSeries::PlotSeries(qsizetype capacity)
    : m_capacity(std::clamp(capacity, fewestSamples, mostSamples))
{
}

double PlotSeries::x(Axis axis, qsizetype k) const
{
    if (axis == Axis::Seconds)
        return m_seconds[at(k)];
    return double(m_added - m_size + k);
}

void PlotSeries::setCapacity(qsizetype capacity)
{
    capacity = std::clamp(capacity, fewestSamples, mostSamples);
    if (capacity == m_capacity)
        return;
    const qsizetype keep = std::min(m_size, capacity);
    const auto newest = [&](const std::vector<double>& column) {
        std::vector<double> kept;
        kept.reserve(size_t(capacity));
        for (qsizetype k = m_size - keep; k < m_size; ++k)
            kept.push_back(column[at(k)]);
        return kept;
    };
    m_seconds = newest(m_seconds);
    for (auto& column : m_values)
        column = newest(column);
    m_capacity = capacity;
    m_size = keep;
    m_head = 0;
    ++m_revision;
}

int PlotSeries::seriesFor(const PlotLines::Value& value)
{
    QString positional;
    QStringView name = value.name;
    if (name.isEmpty()) {
        positional = QString::number(value.position);
        name = positional;
    }
    for (size_t series = 0; series < m_names.size(); ++series) {
        if (m_names[series] == name)
            return int(series);
    }
    if (m_names.size() == size_t(maxSeries))
        return -1;
    m_names.push_back(name.toString());
    m_latest.push_back(none);
    std::vector<double> column(m_seconds.size(), none);
    column.reserve(size_t(m_capacity));
    m_values.push_back(std::move(column));
    return int(m_names.size() - 1);
}

void PlotSeries::add(double seconds, const PlotLines::Values& values)
{
    int series[maxSeries * 4];
    const qsizetype count = std::min<qsizetype>(values.size(), std::size(series));
    for (qsizetype k = 0; k < count; ++k)
        series[k] = seriesFor(values[k]);

    size_t slot = 0;
    if (m_size == m_capacity) {
        slot = m_head;
        m_head = at(1);
        for (auto& column : m_values)
            column[slot] = none;
    } else {
        if (m_seconds.capacity() == 0)
            m_seconds.reserve(size_t(m_capacity));
        slot = size_t(m_size++);
        m_seconds.push_back(0);
        for (auto& column : m_values)
            column.push_back(none);
    }
    m_seconds[slot] = seconds;
    for (qsizetype k = 0; k < count; ++k) {
        if (series[k] < 0)
            continue;
        const double value = values[k].value;
        m_values[size_t(series[k])][slot] = std::isfinite(value) ? value : gap;
        if (std::isfinite(value))
            m_latest[size_t(series[k])] = value;
    }
    ++m_added;
    ++m_revision;
}

void PlotSeries::clear()
{
    m_names = {};
    m_latest = {};
    m_seconds = {};
    m_values = {};
    m_size = 0;
    m_head = 0;
    m_added = 0;
    ++m_revision;
}

std::pair<qsizetype, qsizetype> PlotSeries::within(Axis axis, double from, double to) const
{
    // x grows with k on either axis.
    const auto firstWhere = [&](auto&& past) {
        qsizetype low = 0;
        qsizetype high = m_size;
        while (low < high) {
            const qsizetype middle = low + (high - low) / 2;
            if (past(x(axis, middle)))
                high = middle;
            else
                low = middle + 1;
        }
        return low;
    };
    const qsizetype first = firstWhere([from](double x) { return x >= from; });
    const qsizetype end = firstWhere([to](double x) { return x > to; });
    return { first, std::max(first, end) };
}

void PlotSeries::decimated(
    QList<QPointF>& points, int series, Axis axis, double from, double to, int columns) const
{
    points.clear();
    auto [first, end] = within(axis, from, to);
    first = std::max<qsizetype>(0, first - 1);
    end = std::min(m_size, end + 1);
    const std::vector<double>& column = m_values[size_t(series)];
    const double perColumn = columns > 0 && to > from ? columns / (to - from) : 0;
    // x(), without its call for every sample of a large ring.
    const bool bySample = axis == Axis::Samples;
    const double firstSample = double(m_added - m_size);
    const auto xAt
        = [&](qsizetype k) { return bySample ? firstSample + double(k) : m_seconds[at(k)]; };

    qint64 bucket = std::numeric_limits<qint64>::min();
    qsizetype firstK = -1, lowK = -1, highK = -1, lastK = -1;
    double low = 0, high = 0;
    const auto flush = [&] {
        if (firstK < 0)
            return;
        // In order of x, each once.
        const qsizetype kept[] = { firstK, std::min(lowK, highK), std::max(lowK, highK), lastK };
        qsizetype previous = -1;
        for (const qsizetype k : kept) {
            if (k != previous)
                points.append(QPointF(xAt(k), column[at(k)]));
            previous = k;
        }
    };
    for (qsizetype k = first; k < end; ++k) {
        const double y = column[at(k)];
        if (std::isnan(y))
            continue;
        if (y == gap) {
            flush();
            firstK = -1;
            bucket = std::numeric_limits<qint64>::min();
            if (!points.isEmpty() && !std::isnan(points.constLast().y()))
                points.append(QPointF(xAt(k), none));
            continue;
        }
        // The pixel column; what lies outside the range shares one column each side.
        const double offset = (xAt(k) - from) * perColumn;
        const qint64 here = perColumn <= 0 ? k
            : offset < 0                   ? -1
            : offset >= columns            ? columns
                                           : qint64(offset);
        if (here != bucket) {
            flush();
            bucket = here;
            firstK = lowK = highK = lastK = k;
            low = high = y;
            continue;
        }
        if (y < low) {
            lowK = k;
            low = y;
        }
        if (y > high) {
            highK = k;
            high = y;
        }
        lastK = k;
    }
    flush();
}

bool PlotSeries::writeCsv(QIODevice& out) const
{
    QString text = QStringLiteral("t/s");
    for (const QString& name : m_names) {
        text += u',';
        if (name.contains(u'"'))
            text += u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"';
        else
            text += name;
    }
    text += u'\n';
    for (qsizetype k = 0; k < m_size; ++k) {
        text += QString::number(m_seconds[at(k)], 'f', 6);
        for (const auto& column : m_values) {
            text += u',';
            if (const double value = column[at(k)]; std::isfinite(value))
                text += exact(value);
        }
        text += u'\n';
        if (text.size() > 65536 || k + 1 == m_size) {
            if (out.write(CodePage::encode(text)) < 0)
                return false;
            text.clear();
        }
    }
    return m_size > 0 || out.write(CodePage::encode(text)) >= 0;
}
