// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "modbus/modbus.h"

#include "port/serialbackend.h"

#include <QStringList>

namespace Modbus {

namespace {

    quint16 word(const QByteArray& data, int at)
    {
        return quint16(quint8(data[at]) << 8 | quint8(data[at + 1]));
    }

    QString hexByte(quint8 value)
    {
        return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
    }

    int hexDigit(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    }

    // A long answer shows its first values only: a line of 125 registers helps no one.
    constexpr int valuesShown = 20;

    QString valueList(const QList<quint16>& values)
    {
        QStringList shown;
        for (qsizetype i = 0; i < values.size() && i < valuesShown; ++i)
            shown << QString::number(values[i]);
        if (values.size() > valuesShown)
            shown << QStringLiteral("…");
        return shown.join(QStringLiteral(", "));
    }

    QString coilValue(quint16 value)
    {
        if (value == 0xFF00)
            return QStringLiteral("ON");
        if (value == 0)
            return QStringLiteral("OFF");
        return hexByte(quint8(value >> 8)) + hexByte(quint8(value));
    }

    QString unitText(const Adu& adu) { return QStringLiteral("从站%1 ").arg(adu.unit); }

    QString describeRequest(const Adu& adu)
    {
        const QString name = functionName(adu.function);
        QString out = QStringLiteral("✓ ") + unitText(adu)
            + (name.isEmpty() ? QStringLiteral("功能%1").arg(hexByte(adu.function))
                              : QStringLiteral("%1(%2)").arg(name, hexByte(adu.function)));
        const QByteArray& d = adu.data;
        switch (adu.function) {
        case 0x01:
        case 0x02:
        case 0x03:
        case 0x04:
        case 0x0F:
            out += QStringLiteral(" 起始%1 数量%2").arg(word(d, 0)).arg(word(d, 2));
            break;
        case 0x05:
            out += QStringLiteral(" 地址%1 值%2").arg(word(d, 0)).arg(coilValue(word(d, 2)));
            break;
        case 0x06:
            out += QStringLiteral(" 地址%1 值%2").arg(word(d, 0)).arg(word(d, 2));
            break;
        case 0x10: {
            QList<quint16> values;
            for (int at = 5; at + 1 < d.size(); at += 2)
                values << word(d, at);
            out += QStringLiteral(" 起始%1 数量%2: %3")
                       .arg(word(d, 0))
                       .arg(word(d, 2))
                       .arg(valueList(values));
            break;
        }
        default:
            break;
        }
        return out;
    }

    // `request` is the one it answers, when known: it says how many coils were asked for.
    QString describeAnswer(const Adu& adu, const std::optional<Adu>& request)
    {
        const QString head = QStringLiteral("✓ ") + unitText(adu) + hexByte(adu.function);
        const QByteArray& d = adu.data;
        switch (adu.function) {
        case 0x01:
        case 0x02: {
            int count = (int(d.size()) - 1) * 8;
            if (request && fitsRequest(*request))
                count = qMin(count, int(word(request->data, 2)));
            QList<quint16> bits;
            for (int i = 0; i < count; ++i)
                bits << quint16(quint8(d[1 + i / 8]) >> (i % 8) & 1);
            return head
                + QStringLiteral(" 应答 %1个%2: %3")
                      .arg(count)
                      .arg(adu.function == 0x01 ? QStringLiteral("线圈") : QStringLiteral("输入"))
                      .arg(valueList(bits));
        }
        case 0x03:
        case 0x04: {
            QList<quint16> values;
            for (int at = 1; at + 1 < d.size(); at += 2)
                values << word(d, at);
            return head
                + QStringLiteral(" 应答 %1个寄存器: %2").arg(values.size()).arg(valueList(values));
        }
        case 0x05:
            return head
                + QStringLiteral(" 应答 地址%1 值%2").arg(word(d, 0)).arg(coilValue(word(d, 2)));
        case 0x06:
            return head + QStringLiteral(" 应答 地址%1 值%2").arg(word(d, 0)).arg(word(d, 2));
        case 0x0F:
        case 0x10:
            return head + QStringLiteral(" 应答 起始%1 数量%2").arg(word(d, 0)).arg(word(d, 2));
        default:
            return head + QStringLiteral(" 应答");
        }
    }

} // namespace

quint16 crc16(QByteArrayView data)
{
    quint16 crc = 0xFFFF;
    for (const char byte : data) {
        crc ^= static_cast<quint8>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

QByteArray crcBytes(QByteArrayView data)
{
    const quint16 crc = crc16(data);
    const char bytes[] = { char(crc & 0xFF), char(crc >> 8) };
    return QByteArray(bytes, 2);
}

quint8 lrc(QByteArrayView data)
{
    quint8 sum = 0;
    for (const char byte : data)
        sum = quint8(sum + quint8(byte));
    return quint8(-sum);
}

qint64 rtuGapNs(const LineSettings& line)
{
    if (line.baud > 19200)
        return 1'750'000;
    const int bits = 1 + line.dataBits + (line.parity == LineSettings::Parity::None ? 0 : 1)
        + (line.twoStopBits ? 2 : 1);
    return 35LL * bits * 100'000'000 / qMax(1, line.baud);
}

Opened open(QByteArrayView frame, Mode mode)
{
    Opened opened;
    QByteArray bytes;
    if (mode == Mode::Ascii) {
        if (frame.size() < 3 || frame[0] != ':' || !frame.endsWith("\r\n"))
            return opened;
        const QByteArrayView digits = frame.sliced(1, frame.size() - 3);
        if (digits.size() % 2 != 0) {
            opened.check = Opened::Check::Bad;
            return opened;
        }
        for (qsizetype i = 0; i < digits.size(); i += 2) {
            const int high = hexDigit(digits[i]), low = hexDigit(digits[i + 1]);
            if (high < 0 || low < 0) {
                opened.check = Opened::Check::Bad;
                return opened;
            }
            bytes += char(high << 4 | low);
        }
        if (bytes.size() < 3)
            return opened;
        const QByteArrayView body(bytes.constData(), bytes.size() - 1);
        if (lrc(body) != quint8(bytes.back())) {
            opened.check = Opened::Check::Bad;
            return opened;
        }
        bytes.chop(1);
    } else {
        if (frame.size() < 4)
            return opened;
        const QByteArrayView body = frame.first(frame.size() - 2);
        const QByteArray crc = crcBytes(body);
        if (frame.last(2) != crc) {
            opened.check = Opened::Check::Bad;
            opened.expected = crc;
            return opened;
        }
        bytes = body.toByteArray();
    }
    opened.check = Opened::Check::Good;
    opened.adu.unit = quint8(bytes[0]);
    opened.adu.function = quint8(bytes[1]);
    opened.adu.data = bytes.mid(2);
    return opened;
}

QByteArray frame(const Adu& adu, Mode mode)
{
    QByteArray body;
    body += char(adu.unit);
    body += char(adu.function);
    body += adu.data;
    if (mode == Mode::Ascii) {
        body += char(lrc(body));
        return ':' + body.toHex().toUpper() + "\r\n";
    }
    return body + crcBytes(body);
}

bool isException(const Adu& adu) { return (adu.function & 0x80) && adu.data.size() == 1; }

bool fitsRequest(const Adu& adu)
{
    const qsizetype n = adu.data.size();
    switch (adu.function) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x06:
        return n == 4;
    case 0x0F:
    case 0x10:
        return n >= 5 && quint8(adu.data[4]) == n - 5;
    default:
        return !(adu.function & 0x80);
    }
}

bool fitsAnswer(const Adu& adu)
{
    const qsizetype n = adu.data.size();
    switch (adu.function) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
        return n >= 1 && quint8(adu.data[0]) == n - 1;
    case 0x05:
    case 0x06:
    case 0x0F:
    case 0x10:
        return n == 4;
    default:
        return isException(adu) || !(adu.function & 0x80);
    }
}

bool wholeRtu(QByteArrayView bytes)
{
    const qsizetype n = bytes.size();
    if (n < 4)
        return false;
    const quint8 function = quint8(bytes[1]);
    qsizetype lengths[2] = { -1, -1 };
    switch (function) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
        lengths[0] = 8;
        lengths[1] = n >= 3 ? 5 + quint8(bytes[2]) : -1;
        break;
    case 0x05:
    case 0x06:
        lengths[0] = 8;
        break;
    case 0x0F:
    case 0x10:
        lengths[0] = 8;
        lengths[1] = n >= 7 ? 9 + quint8(bytes[6]) : -1;
        break;
    default:
        if (function & 0x80)
            lengths[0] = 5;
        break;
    }
    if (n != lengths[0] && n != lengths[1])
        return false;
    return crcBytes(bytes.first(n - 2)) == bytes.last(2);
}

QString functionName(quint8 function)
{
    switch (function) {
    case 0x01:
        return QStringLiteral("读线圈");
    case 0x02:
        return QStringLiteral("读离散输入");
    case 0x03:
        return QStringLiteral("读保持寄存器");
    case 0x04:
        return QStringLiteral("读输入寄存器");
    case 0x05:
        return QStringLiteral("写单个线圈");
    case 0x06:
        return QStringLiteral("写单个寄存器");
    case 0x0F:
        return QStringLiteral("写多个线圈");
    case 0x10:
        return QStringLiteral("写多个寄存器");
    default:
        return {};
    }
}

QString exceptionName(quint8 code)
{
    switch (code) {
    case 0x01:
        return QStringLiteral("非法功能");
    case 0x02:
        return QStringLiteral("非法数据地址");
    case 0x03:
        return QStringLiteral("非法数据值");
    case 0x04:
        return QStringLiteral("从站设备故障");
    case 0x05:
        return QStringLiteral("确认");
    case 0x06:
        return QStringLiteral("从站设备忙");
    case 0x08:
        return QStringLiteral("存储奇偶性差错");
    case 0x0A:
        return QStringLiteral("不可用网关路径");
    case 0x0B:
        return QStringLiteral("网关目标设备响应失败");
    default:
        return {};
    }
}

QString Annotator::annotate(QByteArrayView frame, Mode mode)
{
    const Opened opened = open(frame, mode);
    if (opened.check == Opened::Check::Short)
        return QStringLiteral("✗ 不完整");
    if (opened.check == Opened::Check::Bad) {
        if (mode == Mode::Ascii)
            return QStringLiteral("✗ LRC 错");
        return QStringLiteral("✗ CRC 错 (应为 %1 %2)")
            .arg(hexByte(quint8(opened.expected[0])), hexByte(quint8(opened.expected[1])));
    }
    const Adu& adu = opened.adu;
    const bool pending = m_request && m_request->unit == adu.unit
        && (m_request->function == adu.function || m_request->function == (adu.function & 0x7F));
    if (isException(adu)) {
        if (pending)
            m_request.reset();
        const quint8 code = quint8(adu.data[0]);
        QString text = QStringLiteral("✗ ") + unitText(adu) + hexByte(adu.function & 0x7F)
            + QStringLiteral(" 异常 ") + hexByte(code);
        if (const QString name = exceptionName(code); !name.isEmpty())
            text += QLatin1Char(' ') + name;
        return text;
    }
    // A write of one coil or register is answered by its own echo.
    const bool echo = adu.function == 0x05 || adu.function == 0x06;
    if (pending && fitsAnswer(adu) && (!echo || m_request->data == adu.data)) {
        const std::optional<Adu> request = std::exchange(m_request, std::nullopt);
        return describeAnswer(adu, request);
    }
    if (fitsRequest(adu)) {
        m_request = adu;
        return describeRequest(adu);
    }
    if (fitsAnswer(adu))
        return describeAnswer(adu, std::nullopt);
    const QString name = functionName(adu.function);
    return QStringLiteral("✗ ") + unitText(adu) + name
        + QStringLiteral("(%1) 长度不符").arg(hexByte(adu.function));
}

Answer answerTo(const Adu& request, QByteArrayView frame, Mode mode)
{
    const Opened opened = open(frame, mode);
    if (opened.check != Opened::Check::Good) {
        // Whose it is can only be guessed from its first byte.
        const bool ours = mode == Mode::Rtu && !frame.isEmpty() && quint8(frame[0]) == request.unit;
        return ours ? Answer::BadCheck : Answer::Other;
    }
    const Adu& adu = opened.adu;
    if (adu.unit != request.unit || (adu.function & 0x7F) != request.function)
        return Answer::Other;
    if (isException(adu))
        return Answer::Exception;
    if (!fitsAnswer(adu))
        return Answer::BadCheck;
    return Answer::Good;
}

std::optional<Adu> registerAnswer(const Adu& request, const Registers& registers)
{
    if ((request.function != 0x03 && request.function != 0x04) || request.data.size() != 4)
        return std::nullopt;
    const quint16 start = word(request.data, 0), count = word(request.data, 2);
    Adu answer { request.unit, request.function, {} };
    const auto exception = [&](quint8 code) {
        return Adu { request.unit, quint8(request.function | 0x80), QByteArray(1, char(code)) };
    };
    if (count < 1 || count > 125)
        return exception(0x03);
    answer.data += char(2 * count);
    for (int address = start; address < start + count; ++address) {
        const auto found = registers.constFind(quint16(address));
        if (address > 0xFFFF || found == registers.cend())
            return exception(0x02);
        answer.data += char(*found >> 8);
        answer.data += char(*found & 0xFF);
    }
    return answer;
}

} // namespace Modbus
