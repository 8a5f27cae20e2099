#pragma once

#include <QStringView>

// Reading numbers out of what the user typed, the way the original program's runtime did.
namespace NumberReading {

// The number at the front of the text: blanks, tabs and line feeds anywhere are ignored; an
// optional sign, digits, an optional decimal point with a fraction, an optional exponent (E or D,
// optional sign, digits); "&H" reads hexadecimal and "&O" octal digits instead. Reading stops at
// the first character that cannot continue the number; no number at all gives 0.
double leadingNumber(QStringView text);

// Rounds to the nearest whole number, a half going to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

} // namespace NumberReading
