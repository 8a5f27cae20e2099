// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// Lines cut at arbitrary places must read exactly as the same lines fed whole, and the values of
// a line must stand in their places, one after another.
#include "plot/plotlines.h"

#include <cstdint>
#include <cstdlib>

static QStringList readAll(PlotLines& lines, const QString& text, unsigned seed, bool cut)
{
    QStringList read;
    const auto take = [&](const PlotLines::Values& values) {
        QString line;
        int position = 0;
        for (const PlotLines::Value& value : values) {
            if (value.position != ++position)
                std::abort();
            line += value.name.toString() + u'@' + QString::number(value.position) + u'='
                + QString::number(value.value, 'g', 17) + u' ';
        }
        read << line;
    };
    qsizetype at = 0;
    while (at < text.size()) {
        seed = seed * 1103515245u + 12345u;
        const qsizetype length
            = cut ? qMin<qsizetype>(text.size() - at, 1 + (seed >> 16) % 9) : text.size();
        lines.feed(QStringView(text).sliced(at, length), take);
        at += length;
    }
    return read;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    // First byte seeds the cut points, the second is the prefix (none when it is a digit).
    const unsigned seed = data[0];
    const QChar prefix = QChar(char16_t(data[1]));
    const QString text
        = QString::fromUtf8(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    PlotLines whole;
    PlotLines pieces;
    if (!prefix.isDigit()) {
        whole.setPrefix(QString(prefix));
        pieces.setPrefix(QString(prefix));
    }
    if (readAll(whole, text, seed, false) != readAll(pieces, text, seed, true))
        std::abort();
    return 0;
}
