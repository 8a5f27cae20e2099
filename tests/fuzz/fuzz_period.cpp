// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The period reader takes any text and either refuses it or gives a period in the timer's range.
#include "port/numberreading.h"
#include "send/sendlogic.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    NumberReading::wholeNumber(text);
    const std::optional<qint64> period = SendLogic::readPeriod(text);
    if (period
        && (*period < std::numeric_limits<qint32>::min()
            || *period > std::numeric_limits<qint32>::max()))
        std::abort();
    return 0;
}
