// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// Decoding a stream cut at arbitrary places must give exactly what decoding it whole gives, in
// every encoding a user can choose and in the system code pages; valid UTF-8 must read as Qt
// reads it.
#include "port/codepage.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    static const QByteArrayList pages = CodePage::choices() + QByteArrayList { "windows-1251" };
    // First byte picks the code page, second seeds the cut points.
    const QByteArray page = pages.at(data[0] % pages.size());
    unsigned seed = data[1];
    const QByteArray input(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));

    CodePageDecoder whole(page);
    const QString expected = whole.decode(input);
    const QByteArray held = whole.takeHeld();
    if (expected.size() > input.size() || held.size() > 3 || !input.endsWith(held))
        std::abort();

    CodePageDecoder pieces(page);
    QString joined;
    qsizetype at = 0;
    while (at < input.size()) {
        seed = seed * 1103515245u + 12345u;
        const qsizetype length = qMin<qsizetype>(input.size() - at, 1 + (seed >> 16) % 7);
        joined += pieces.decode(QByteArrayView(input.constData() + at, length));
        at += length;
    }
    if (joined != expected || pieces.takeHeld() != held)
        std::abort();
    if (page == "UTF-8" && held.isEmpty() && QString::fromUtf8(input).toUtf8() == input
        && expected != QString::fromUtf8(input))
        std::abort();
    return 0;
}
