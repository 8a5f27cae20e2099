// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QStringView>

#include <optional>

// Reading numbers out of what the user typed, with the forgiving rules of a classic Basic Val.
namespace NumberReading {

// The number at the front of the text: blanks, tabs and line feeds anywhere are ignored; an
// optional sign, digits, an optional decimal point with a fraction, an optional exponent (E,
// optional sign, digits); "&H" reads hexadecimal and "&O" octal digits instead. Reading stops at
// the first character that cannot continue the number; no number at all gives 0. A decimal
// exponent too large gives an infinity of the number's sign, one too small gives 0.
double leadingNumber(QStringView text);

// The text as one number and nothing else, in the forms leadingNumber reads, where the exponent
// may also be written with D; blanks, tabs and line feeds are allowed only before and after it.
// Empty when the text holds anything else or no digit at all.
std::optional<double> wholeNumber(QStringView text);

// Rounds to the nearest whole number, a half going to the even neighbour (2.5 -> 2, 3.5 -> 4).
// Infinities and NaN come back unchanged.
double roundHalfEven(double value);

} // namespace NumberReading
