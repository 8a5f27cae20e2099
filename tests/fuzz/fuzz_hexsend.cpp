// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The hex send reader takes any text: it never writes more than half the digits it was given, and
// what it writes reads back as the leading digit pairs.
#include "send/sendlogic.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray bytes = SendLogic::hexBytes(text);
    QString digits = text;
    digits.remove(QLatin1Char(' '));
    if (bytes.size() * 2 > digits.size())
        std::abort();
    if (!digits.left(bytes.size() * 2)
             .toUpper()
             .startsWith(QString::fromLatin1(bytes.toHex().toUpper())))
        std::abort();
    return 0;
}
