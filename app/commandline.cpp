#include "app/commandline.h"

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
      "~/.config/portlark/devices/), otherwise the n-th serial port present.\n"
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
    parser.addOptions({ help, version });

    if (!parser.parse(arguments)) {
        std::fprintf(
            stderr, "portlark: %s Try 'portlark --help'.\n", qPrintable(parser.errorText()));
        return { 2 };
    }
    if (parser.isSet(help)) {
        // Without an application object Qt cannot name the program in its usage line.
        const QString text = parser.helpText();
        std::fputs(qPrintable(QStringLiteral("Usage: portlark [options]")
                       + text.mid(text.indexOf(QLatin1Char('\n')))),
            stdout);
        return { 0 };
    }
    if (parser.isSet(version)) {
        std::fputs("portlark " PORTLARK_VERSION "\n", stdout);
        return { 0 };
    }
    return {};
}
