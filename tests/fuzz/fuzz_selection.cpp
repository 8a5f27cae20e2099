// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// Any five setting texts either convert or are refused with a reason; nothing else may happen.
#include "port/portsettings.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList parts = text.split(QLatin1Char('\t'));
    SelectionTexts texts;
    texts.port = parts.value(0);
    texts.baud = parts.value(1);
    texts.parity = parts.value(2);
    texts.dataBits = parts.value(3);
    texts.stopBits = parts.value(4);
    const Conversion<PortArguments> arguments = convertSelection(texts);
    if (arguments) {
        if (arguments->parity.size() > 1)
            std::abort();
        if (!settingsString(*arguments).startsWith(texts.baud))
            std::abort();
    } else if (arguments.refusal.isEmpty()) {
        std::abort();
    }
    StatusText::open(texts);
    StatusText::applied(texts);
    return 0;
}
