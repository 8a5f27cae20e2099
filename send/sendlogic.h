// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// What the send path makes of the send box, the period box and a loaded file.
namespace SendLogic {

// The send box as typed, from its document's raw text: its paragraph and line separators
// (U+2029, U+2028) become CR LF, as a Windows text box stores them; every other character, a
// no-break space too, stays as it is.
QString fromTextBox(QStringView rawText);

// Without the blanks (U+0020) at either end; tabs and line breaks stay.
QString trimBlanks(QStringView text);
// Without the 0x20 bytes at either end. Shares the data with `bytes` when nothing is trimmed,
// so a large file is not copied.
QByteArray trimBlankBytes(const QByteArray& bytes);

// The bytes written by a hexadecimal send: blanks anywhere are dropped, then the leading run of
// hexadecimal digits (either case) is taken in pairs; everything from the first other character
// on, and an unpaired last digit, is ignored. Linear in the length of the text.
QByteArray hexBytes(QStringView text);
// Why a hexadecimal send of the text would not send all of it (no digit at all, a character that
// ends the digits, an unpaired last digit), in the user's words; empty when it sends every digit.
QString hexShortfall(QStringView text);

// The automatic-send period in milliseconds: the leading number of the text rounded half to
// even. No value when the number does not fit a signed 32-bit integer.
std::optional<qint64> readPeriod(QStringView text);

} // namespace SendLogic
