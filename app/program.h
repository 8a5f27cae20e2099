// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The whole program as main() runs it, from the command line to the end of the event loop: the
// application, Qt's Chinese texts, the real platform pieces and the window. Returns the exit
// status. A test runs it as the program runs.
int runProgram(int argc, char* argv[]);
