// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "send/checkbytes.h"

#include "modbus/modbus.h"
#include "send/sendlogic.h"

namespace {

quint16 ccittFalseCrc(QByteArrayView data)
{
    quint16 crc = 0xFFFF;
    for (const char byte : data) {
        crc ^= static_cast<quint16>(static_cast<quint8>(byte) << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? static_cast<quint16>((crc << 1) ^ 0x1021)
                                 : static_cast<quint16>(crc << 1);
    }
    return crc;
}

} // namespace

namespace CheckBytes {

QByteArray of(Kind kind, QByteArrayView data)
{
    switch (kind) {
    case Kind::ModbusCrc16:
        return Modbus::crcBytes(data);
    case Kind::CcittFalse: {
        const quint16 crc = ccittFalseCrc(data);
        const char bytes[] = { char(crc >> 8), char(crc & 0xFF) };
        return QByteArray(bytes, 2);
    }
    case Kind::Sum8: {
        quint8 sum = 0;
        for (const char byte : data)
            sum = static_cast<quint8>(sum + static_cast<quint8>(byte));
        return QByteArray(1, char(sum));
    }
    case Kind::Xor8: {
        quint8 combined = 0;
        for (const char byte : data)
            combined ^= static_cast<quint8>(byte);
        return QByteArray(1, char(combined));
    }
    }
    return {};
}

Appended appendedTo(QStringView hexText, Kind kind)
{
    if (const QString shortfall = SendLogic::hexShortfall(hexText); !shortfall.isEmpty())
        return { {}, QStringLiteral("未追加校验：") + shortfall };
    QByteArray frame = SendLogic::hexBytes(hexText);
    frame += of(kind, frame);
    return { QString::fromLatin1(frame.toHex(' ').toUpper()), {} };
}

} // namespace CheckBytes
