// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <functional>

// Received text cut into lines, and the numbers each line holds, for the plot.
//
// A line ends at LF, CR LF or a lone CR. In a line, fields are separated by commas, semicolons,
// spaces or tabs (the full-width comma and semicolon too); a field is a number, or a name and a
// number joined by ':' or '=' (full-width '：' too). A name followed by its separator alone names
// the next field's number, so "温度: 21.5" reads as one named value. A number has an optional sign,
// digits with an optional decimal point and an optional exponent; what follows it in the field (a
// unit) is ignored, and so is a field that does not start with a number. A number past the
// largest double, or nan, inf, infinity or ovf (any case, with a sign or not), is read as a value
// that is not finite: it keeps its place among the line's values, so the ones after it stay in
// their series.
class PlotLines {
public:
    struct Value {
        QStringView name; // empty: the series is the value's position in the line, from 1
        int position = 0;
        double value = 0; // may be infinite or NaN
    };
    using Values = QList<Value>;
    static constexpr qsizetype longestLine = 65536;

    // Only lines that start with the prefix are read (the prefix is not part of the line's
    // fields); an empty prefix reads every line.
    void setPrefix(const QString& prefix) { m_prefix = prefix; }
    QString prefix() const { return m_prefix; }

    // Cuts the text into lines and calls `line` with the values of each complete line that holds
    // any. The line before the first line end seen is dropped: it may have begun before the plot
    // was listening. The views in the values live until `line` returns.
    void feed(QStringView text, const std::function<void(const Values&)>& line);

    // The values of one line, without its line end.
    static void read(QStringView line, Values& into);

private:
    void finishLine(QStringView line, const std::function<void(const Values&)>& take);

    QString m_prefix;
    QString m_partial;
    Values m_values; // reused from line to line
    bool m_seenEnd = false;
    bool m_afterCr = false; // an LF right after a CR ends no second line
};
