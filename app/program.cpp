// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/program.h"

#include "app/commandline.h"
#include "app/mainwindow.h"
#include "app/options.h"
#include "app/qtplatform.h"
#include "port/qtserialbackend.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

bool displayAvailable()
{
    for (const char* variable : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" }) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return true;
    }
    return false;
}

} // namespace

int runProgram(int argc, char* argv[])
{
    const CommandLine commandLine = readCommandLine(argc, argv);
    if (commandLine.exitCode)
        return *commandLine.exitCode;
    if (!displayAvailable()) {
        std::fprintf(
            stderr, "portlark: no display available (DISPLAY and WAYLAND_DISPLAY are unset)\n");
        return 1;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("portlark"));
    QApplication::setDesktopFileName(QStringLiteral("portlark"));
    if (!installChineseQtTexts())
        std::fprintf(stderr,
            "portlark: Qt's Chinese texts are not installed; dialog buttons "
            "show in English (install qt6-translations-l10n)\n");

    QtSerialComponent serial;
    QtDialogs dialogs;
    DesktopUrlOpener urlOpener;
    SystemClock clock;
    MainWindow window(
        { &serial, &dialogs, &urlOpener, &clock, Options::defaultPath() }, commandLine.start);
    window.show();
    return application.exec();
}
