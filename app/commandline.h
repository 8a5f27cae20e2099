#pragma once

#include <optional>

// What the command line asks for, read before anything of the window exists, so that --help and
// --version work without a display.
struct CommandLine {
    // Set when the program is to end at once with this status: after --help or --version (0), or
    // after a bad option (2).
    std::optional<int> exitCode;
};

// Answers --help and --version on standard output and a bad option in one line on standard error.
// Qt's own single-dash options (-platform, -style, ...) are left for QApplication to take.
CommandLine readCommandLine(int argc, const char* const argv[]);
