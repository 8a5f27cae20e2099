// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Check bytes appended to a hexadecimal frame before it is sent, as protocols on a serial line
// expect them (Modbus RTU, CCITT framings, and the simple sums of home-made protocols).
namespace CheckBytes {

enum class Kind {
    ModbusCrc16, // CRC-16/MODBUS, low byte first on the line
    CcittFalse, // CRC-16/CCITT-FALSE, high byte first
    Sum8, // the bytes added, modulo 256
    Xor8, // the bytes combined with exclusive or
};

// The bytes to append to `data`, in line order.
QByteArray of(Kind kind, QByteArrayView data);

// The send box's hexadecimal text with the check appended: the frame the box would send now,
// read by the same rules as a hexadecimal send, then its check, all as upper-case pairs
// separated by blanks ("01 03 00 00 00 02" gives "01 03 00 00 00 02 C4 0B"). Only a box that
// such a send would send whole is rewritten; otherwise the text is null and `refusal` says why.
struct Appended {
    QString text;
    QString refusal;
};
Appended appendedTo(QStringView hexText, Kind kind);

} // namespace CheckBytes
