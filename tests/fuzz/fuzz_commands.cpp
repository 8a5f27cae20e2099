// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The command file reader takes any bytes: it either says why they are not a list of ours and
// gives no rows, or gives rows, automatic answers and registers that write and read back the same.
#include "send/commandlist.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const CommandList::Read read = CommandList::read(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!read.problem.isEmpty()) {
        if (!read.commands.isEmpty())
            std::abort();
        return 0;
    }
    const CommandList::Read again
        = CommandList::read(CommandList::write(read.commands, read.extras));
    if (!again.problem.isEmpty() || again.commands != read.commands
        || !(again.extras == read.extras))
        std::abort();
    return 0;
}
