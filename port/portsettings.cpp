// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/portsettings.h"

#include "port/comnames.h"
#include "port/numberreading.h"

#include <limits>

namespace {

QString settingsTail(const SelectionTexts& texts)
{
    return texts.baud + QLatin1Char(',') + parityLetter(texts.parity) + QLatin1Char(',')
        + texts.dataBits + QLatin1Char(',') + texts.stopBits;
}

} // namespace

Conversion<quint8> convertPortNumber(const QString& portText)
{
    const double number = NumberReading::roundHalfEven(
        NumberReading::leadingNumber(QStringView(portText).mid(3, 2)));
    if (!(number >= 0 && number <= 255))
        return Conversion<quint8>::refused(
            QStringLiteral("串口号无效：“%1”（端口号应为0到255）").arg(portText));
    return { quint8(number), {} };
}

Conversion<qint16> convertDataBits(const QString& dataBitsText)
{
    const std::optional<double> number = NumberReading::wholeNumber(dataBitsText);
    if (!number)
        return Conversion<qint16>::refused(
            QStringLiteral("数据位无效：“%1”（应为数字）").arg(dataBitsText));
    const double rounded = NumberReading::roundHalfEven(*number);
    if (!(rounded >= -32768 && rounded <= 32767))
        return Conversion<qint16>::refused(
            QStringLiteral("数据位无效：“%1”（超出范围）").arg(dataBitsText));
    return { qint16(rounded), {} };
}

QString parityLetter(const QString& parityText) { return parityText.left(1); }

Conversion<PortArguments> convertSelection(const SelectionTexts& texts)
{
    const Conversion<quint8> port = convertPortNumber(texts.port);
    if (!port)
        return Conversion<PortArguments>::refused(port.refusal);
    const Conversion<qint16> dataBits = convertDataBits(texts.dataBits);
    if (!dataBits)
        return Conversion<PortArguments>::refused(dataBits.refusal);
    return { PortArguments {
                 *port, texts.baud, parityLetter(texts.parity), *dataBits, texts.stopBits },
        {} };
}

QString settingsString(const PortArguments& arguments)
{
    return arguments.baud + QLatin1Char(',') + arguments.parity + QLatin1Char(',')
        + QString::number(arguments.dataBits) + QLatin1Char(',') + arguments.stopBits;
}

std::optional<LineSettings> lineSettings(const PortArguments& arguments)
{
    LineSettings line;
    const QString baud = arguments.baud.trimmed();
    bool digitsOnly = !baud.isEmpty();
    for (const QChar c : baud)
        digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    bool ok = false;
    const qint64 rate = baud.toLongLong(&ok);
    if (!digitsOnly || !ok || rate <= 0 || rate > std::numeric_limits<qint32>::max())
        return std::nullopt;
    line.baud = qint32(rate);

    static const QString letters = QStringLiteral("NOESM");
    const QString parity = arguments.parity.trimmed().toUpper();
    const qsizetype index = parity.size() == 1 ? letters.indexOf(parity) : -1;
    if (index < 0)
        return std::nullopt;
    line.parity = LineSettings::Parity(index);

    if (arguments.dataBits < 5 || arguments.dataBits > 8)
        return std::nullopt;
    line.dataBits = arguments.dataBits;

    const QString stopBits = arguments.stopBits.trimmed();
    if (stopBits == QLatin1String("1.5") && line.dataBits == 5)
        line.twoStopBits = true;
    else if (stopBits == QLatin1String("2"))
        line.twoStopBits = true;
    else if (stopBits != QLatin1String("1"))
        return std::nullopt;
    return line;
}

QString portDeviceText(const QString& portText, const std::function<ComDevice(int port)>& locate)
{
    const Conversion<quint8> port = convertPortNumber(portText);
    if (!port)
        return port.refusal;
    const QString device = locate(*port).path;
    if (device.isEmpty())
        return QStringLiteral("COM%1：没有发现此串口").arg(*port);
    return QStringLiteral("COM%1 → %2").arg(*port).arg(device);
}

namespace StatusText {

QString open(const SelectionTexts& texts)
{
    return QStringLiteral("串口：") + texts.port + QStringLiteral(" 打开，") + settingsTail(texts);
}

QString applied(const SelectionTexts& texts)
{
    return QStringLiteral("串口状态：") + texts.port + QStringLiteral(" OPEND，")
        + settingsTail(texts);
}

QString closed() { return QStringLiteral("串口状态：COM Port 关闭"); }
QString shortClosed() { return QStringLiteral("串口状态：COM关闭"); }

} // namespace StatusText
