// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/commandline.h"

#include "port/comnames.h"
#include "port/remoteurl.h"

#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>

namespace {

const char* const description
    = "A serial port debugging assistant: one window to open a serial port (COM1 to\n"
      "COM15), watch what arrives as text or hexadecimal bytes, send text, bytes or a\n"
      "file once or periodically, count the bytes and save what was received.\n"
      "\n"
      "COMn is the link comN in $XDG_CONFIG_HOME/portlark/devices/ (normally\n"
      "~/.config/portlark/devices/), otherwise the n-th serial port present. A link\n"
      "may hold a URL, rfc2217://HOST:PORT or tcp://HOST:PORT, for a port served over\n"
      "the network (by ser2net, for one).\n"
      "See portlark(1).";

bool isQtOption(const QString& argument)
{
    return argument.size() > 2 && argument.startsWith(QLatin1Char('-'))
        && !argument.startsWith(QLatin1String("--"));
}

} // namespace

CommandLine readCommandLine(int argc, const char* const argv[])
{
    QStringList arguments { QStringLiteral("portlark") };
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (!isQtOption(argument))
            arguments.append(argument);
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(description));
    const QCommandLineOption help({ QStringLiteral("h"), QStringLiteral("help") },
        QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({ QStringLiteral("v"), QStringLiteral("version") },
        QStringLiteral("Show the version and exit."));
    const QCommandLineOption com(QStringLiteral("com"),
        QStringLiteral("Open COMn at start-up instead of COM1; a URL (rfc2217://HOST:PORT or "
                       "tcp://HOST:PORT) opens that remote port as a free COM number."),
        QStringLiteral("N|URL"));
    const QCommandLineOption settings(QStringLiteral("settings"),
        QStringLiteral("Open with these settings instead of 9600,N,8,1: baud, parity (N, O, E, S "
                       "or M), data bits and stop bits."),
        QStringLiteral("BAUD,P,D,S"));
    const QCommandLineOption log(QStringLiteral("log"),
        QStringLiteral("Write every byte received, as received, to FILE (appending)."),
        QStringLiteral("FILE"));
    parser.addOptions({ com, settings, log, help, version });

    if (!parser.parse(arguments)) {
        std::fprintf(
            stderr, "portlark: %s Try 'portlark --help'.\n", qPrintable(parser.errorText()));
        return { 2, {} };
    }
    const auto refuse = [](const QString& what) {
        std::fprintf(stderr, "portlark: %s Try 'portlark --help'.\n", qPrintable(what));
        return CommandLine { 2, {} };
    };
    bool number = true;
    if (parser.isSet(com) && !RemoteUrl::isRemote(parser.value(com).trimmed()))
        (void)parser.value(com).toUInt(&number);
    if (!number)
        return refuse(QStringLiteral("--com takes a port number, as in --com 3, or a URL, as in "
                                     "--com rfc2217://lab-pi:7777."));
    if (parser.isSet(settings) && parser.value(settings).split(QLatin1Char(',')).size() != 4)
        return refuse(QStringLiteral("--settings takes four values, as in --settings 9600,N,8,1."));
    if (parser.isSet(help)) {
        // Without an application object Qt cannot name the program in its usage line.
        const QString text = parser.helpText();
        std::fputs(qPrintable(QStringLiteral("Usage: portlark [options]")
                       + text.mid(text.indexOf(QLatin1Char('\n')))),
            stdout);
        return { 0, {} };
    }
    if (parser.isSet(version)) {
        std::fputs("portlark " PORTLARK_VERSION "\n", stdout);
        return { 0, {} };
    }
    return { {}, { parser.value(log), parser.value(com), parser.value(settings) } };
}

Conversion<SelectionTexts> startSelection(
    const StartOptions& options, const SelectionTexts& defaults)
{
    SelectionTexts boxes = defaults;
    if (!options.com.isEmpty()) {
        QString number = options.com.trimmed();
        if (RemoteUrl::isRemote(number)) {
            const int port = ComNames::bindForRun(number);
            if (port == 0)
                return Conversion<SelectionTexts>::refused(
                    QStringLiteral("没有空闲的串口号可以指向 %1").arg(number));
            number = QString::number(port);
        }
        boxes.port = QStringLiteral("COM") + number;
        // The port box reads two digits; a longer number would open another port.
        if (number.size() > 2)
            return Conversion<SelectionTexts>::refused(
                QStringLiteral("串口号无效：“%1”（端口号应为0到99）").arg(boxes.port));
    }
    if (!options.settings.isEmpty()) {
        const QStringList values = options.settings.split(QLatin1Char(','));
        boxes.baud = values.value(0);
        const QString letter = values.value(1).trimmed().toUpper();
        static const QStringList entries { QStringLiteral("NONE"), QStringLiteral("ODD"),
            QStringLiteral("ENEV"), QStringLiteral("SPACE"), QStringLiteral("MARK") };
        const qsizetype entry = letter.size() == 1 ? QStringLiteral("NOESM").indexOf(letter) : -1;
        boxes.parity = entry >= 0 ? entries.at(entry) : values.value(1);
        boxes.dataBits = values.value(2);
        boxes.stopBits = values.value(3);
    }
    // A pick converts the texts first, then the port refuses what a UART cannot take.
    const Conversion<PortArguments> arguments = convertSelection(boxes);
    if (!arguments)
        return Conversion<SelectionTexts>::refused(arguments.refusal);
    if (!lineSettings(*arguments))
        return Conversion<SelectionTexts>::refused(
            QStringLiteral("没有成功，请重试【检查端口是否被占用，或者端口号正确】"));
    return { boxes, {} };
}
