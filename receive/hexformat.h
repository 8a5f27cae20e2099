// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The hexadecimal receive display: every byte becomes two upper-case digits and one space, so a
// chunk of n bytes gives exactly 3n ASCII characters and chunks simply follow one another.
namespace HexFormat {

// Appends the pairs of `bytes` to `out`.
void appendPairs(QByteArray& out, QByteArrayView bytes);
QByteArray pairs(QByteArrayView bytes);

} // namespace HexFormat
