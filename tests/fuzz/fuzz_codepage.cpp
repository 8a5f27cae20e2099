// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// Decoding a stream cut at arbitrary places must give exactly what decoding it whole gives.
#include "port/codepage.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    static const char* const pages[]
        = { "GBK", "Big5", "Shift_JIS", "windows-949", "windows-1252", "windows-1251" };
    // First byte picks the code page, second seeds the cut points.
    CodePage::setSystemOverride(QByteArray(pages[data[0] % std::size(pages)]));
    unsigned seed = data[1];
    const QByteArray input(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));

    CodePageDecoder whole;
    const QString expected = whole.decode(input);

    CodePageDecoder pieces;
    QString joined;
    qsizetype at = 0;
    while (at < input.size()) {
        seed = seed * 1103515245u + 12345u;
        const qsizetype length = qMin<qsizetype>(input.size() - at, 1 + (seed >> 16) % 7);
        joined += pieces.decode(QByteArrayView(input.constData() + at, length));
        at += length;
    }
    if (joined != expected)
        std::abort();
    return 0;
}
