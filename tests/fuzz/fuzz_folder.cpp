// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// Any folder text maps to a path or to nothing, and the save file is always named 1.txt. (The
// folder and its file need not agree: "\" names drive C's root, while "\" + "\1.txt" reads
// as a network share, as it would on Windows.)
#include "receive/saverecord.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    SaveRecord::folderPath(text);
    const QString file = SaveRecord::filePath(text);
    if (!file.isEmpty() && !file.endsWith(QLatin1String("1.txt")))
        std::abort();
    return 0;
}
