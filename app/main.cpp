// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/program.h"

int main(int argc, char* argv[]) { return runProgram(argc, argv); }
