// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QMap>
#include <QString>

#include <optional>

struct LineSettings;

// Modbus frames on a serial line. RTU: unit, function, data, CRC-16 low byte first, frames parted
// by 3.5 character times of silence. ASCII: ':' then the same bytes and an LRC as upper-case
// hexadecimal digits, then CR LF.
namespace Modbus {

enum class Mode { Off, Rtu, Ascii };

quint16 crc16(QByteArrayView data);
// The CRC as it follows the data on the line.
QByteArray crcBytes(QByteArrayView data);
quint8 lrc(QByteArrayView data);

// The silence that ends an RTU frame: 3.5 characters of start, data, parity and stop bits, as the
// standard fixes it at 1.75 ms above 19200 baud.
qint64 rtuGapNs(const LineSettings& line);
// An ASCII frame may pause up to a second between characters.
constexpr qint64 asciiGapNs = 1'000'000'000;
// The longest frames: 256 bytes in RTU, 513 characters in ASCII.
constexpr int longestRtu = 256;
constexpr int longestAscii = 513;

// A frame without its framing and check.
struct Adu {
    quint8 unit = 0;
    quint8 function = 0;
    QByteArray data; // after the function code
    bool operator==(const Adu& o) const
    {
        return unit == o.unit && function == o.function && data == o.data;
    }
};

// A frame read from the line: its content when the check holds.
struct Opened {
    enum class Check { Good, Bad, Short } check = Check::Short;
    Adu adu;
    QByteArray expected; // RTU with a bad CRC: the CRC the bytes call for
};
Opened open(QByteArrayView frame, Mode mode);
// The frame on the line for `adu`: with its CRC, or as ASCII with its LRC and CR LF.
QByteArray frame(const Adu& adu, Mode mode);

// Whether the bytes are a whole RTU frame: its CRC holds at the length its function gives a
// request or an answer. Then it ends without waiting for the silence.
bool wholeRtu(QByteArrayView bytes);

bool isException(const Adu& adu);
bool fitsRequest(const Adu& adu);
bool fitsAnswer(const Adu& adu);
// "读保持寄存器" for the eight common functions, else empty.
QString functionName(quint8 function);
// "非法数据地址" for the standard codes, else empty.
QString exceptionName(quint8 code);

// The annotation shown after each frame, read or sent; an answer is paired with the last request
// seen either way.
class Annotator {
public:
    QString annotate(QByteArrayView frame, Mode mode);
    void reset() { m_request.reset(); }

private:
    std::optional<Adu> m_request;
};

// How a frame stands to the request sent.
enum class Answer {
    Other, // not from the unit asked, or not of its function
    Good,
    Exception,
    BadCheck, // a frame from the unit asked whose check fails
};
Answer answerTo(const Adu& request, QByteArrayView frame, Mode mode);

// A slave's registers, address to value.
using Registers = QMap<quint16, quint16>;
// The answer to a request reading holding or input registers (03, 04), from the table: exception
// 02 when one of them is not in it, 03 for a count outside 1 to 125. Null for any other request.
std::optional<Adu> registerAnswer(const Adu& request, const Registers& registers);

} // namespace Modbus
