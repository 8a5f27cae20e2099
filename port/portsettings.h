// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "port/serialbackend.h"

#include <QString>

#include <functional>
#include <optional>

// The texts of the five setting boxes, as the user sees them.
struct SelectionTexts {
    QString port; // "COM1"
    QString baud; // "9600"
    QString parity; // "NONE"
    QString dataBits; // "8"
    QString stopBits; // "1"
};

// What every opening takes.
struct PortArguments {
    quint8 port = 0;
    QString baud;
    QString parity; // at most one character
    qint16 dataBits = 0;
    QString stopBits;
};

// What a setting text becomes: its value, or none and the warning that names the text.
template <typename T> struct Conversion {
    std::optional<T> value;
    QString refusal;

    explicit operator bool() const { return value.has_value(); }
    const T& operator*() const { return *value; }
    const T* operator->() const { return &*value; }
    static Conversion refused(const QString& why) { return { std::nullopt, why }; }
};

// Refused for a port number outside 0..255 or data bits that are not a number in the signed
// 16-bit range.
Conversion<PortArguments> convertSelection(const SelectionTexts& texts);
// The number in the fourth and fifth characters of the port text ("COM12" gives 12, "COMx" 0),
// rounded half to even; refused outside 0..255.
Conversion<quint8> convertPortNumber(const QString& portText);
// Numeric text only, rounded half to even; refused otherwise or outside 16 bits.
Conversion<qint16> convertDataBits(const QString& dataBitsText);
// The first character of the parity text ("ODD" gives "O", "" gives "").
QString parityLetter(const QString& parityText);
// "9600,N,8,1"
QString settingsString(const PortArguments& arguments);
// The line the arguments describe, or none when a UART cannot take it: baud a positive whole
// number of digits, parity N, O, E, S or M (either case), 5 to 8 data bits, stop bits 1 or 2, or
// 1.5 with 5 data bits only (Linux has no 1.5 otherwise). Blanks around a value are ignored;
// nothing is replaced by a default.
std::optional<LineSettings> lineSettings(const PortArguments& arguments);
// Which device the port text names, as `locate` finds COMn: "COM3 → /dev/ttyUSB0",
// "COM3：没有发现此串口", or why the text names no port.
QString portDeviceText(const QString& portText, const std::function<ComDevice(int port)>& locate);

namespace StatusText {
QString open(const SelectionTexts& texts); // 串口：COM1 打开，9600,N,8,1
QString applied(const SelectionTexts& texts); // 串口状态：COM1 OPEND，9600,N,8,1
QString closed(); // 串口状态：COM Port 关闭
QString shortClosed(); // 串口状态：COM关闭
} // namespace StatusText
