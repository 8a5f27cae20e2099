// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "port/portsettings.h"

#include <QString>

#include <optional>

// What the window is to do at start-up besides what it always does. Empty values leave the
// window as built.
struct StartOptions {
    QString logFile; // --log: a capture log runs from the start
    QString com; // --com N or URL: "N", "rfc2217://lab-pi:7777"
    QString settings; // --settings: "115200,N,8,1", four fields
};

// What the command line asks for, read before anything of the window exists, so that --help and
// --version work without a display.
struct CommandLine {
    // Set when the program is to end at once with this status: after --help or --version (0), or
    // after a bad option (2).
    std::optional<int> exitCode;
    StartOptions start;
};

// Answers --help and --version on standard output and a bad option in one line on standard error.
// Qt's own single-dash options (-platform, -style, ...) are left for QApplication to take.
CommandLine readCommandLine(int argc, const char* const argv[]);

// The setting boxes' texts that --com and --settings ask for, the parity letter as its list entry
// ("E" shows as "ENEV"), the rest as the boxes' defaults. A URL is bound to a free COM number for
// this run (ComNames::bindForRun) and the boxes show that number. Refused with the warning a pick
// of those texts would give when the boxes could not open them.
Conversion<SelectionTexts> startSelection(
    const StartOptions& options, const SelectionTexts& defaults);
