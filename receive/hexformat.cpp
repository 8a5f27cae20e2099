// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "receive/hexformat.h"

#include <array>
#include <cstring>

namespace {

// One entry per byte value: two digits, a space and one spare byte, so each byte is formatted by
// a single 4-byte store whose spare byte the next store overwrites.
using PairTable = std::array<std::array<char, 4>, 256>;

constexpr PairTable makeTable()
{
    constexpr char digits[] = "0123456789ABCDEF";
    PairTable table {};
    for (int value = 0; value < 256; ++value)
        table[value] = { digits[value >> 4], digits[value & 0xF], ' ', '\0' };
    return table;
}

constexpr PairTable pairTable = makeTable();

} // namespace

namespace HexFormat {

void appendPairs(QByteArray& out, QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    const qsizetype start = out.size();
    const qsizetype added = 3 * bytes.size();
    out.resize(start + added + 1); // room for the last store's spare byte
    char* to = out.data() + start;
    const auto* from = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype i = 0; i < bytes.size(); ++i, to += 3)
        std::memcpy(to, pairTable[from[i]].data(), 4);
    out.resize(start + added);
}

QByteArray pairs(QByteArrayView bytes)
{
    QByteArray out;
    appendPairs(out, bytes);
    return out;
}

} // namespace HexFormat
