// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringView>

// The Windows ANSI code page a user's locale would have, and the conversions that go through it.
// Everything the program exchanges with the device or writes to disk goes through here.
namespace CodePage {

// The code page name (as Qt/ICU know it) for a locale name such as "zh_CN.UTF-8".
QByteArray forLocale(const QByteArray& locale);
// The code page of this process, from LC_ALL, LC_CTYPE or LANG (first one set).
QByteArray system();
// Overrides system() (tests); an empty name restores the environment's choice.
void setSystemOverride(const QByteArray& name);

QByteArray encode(QStringView text);
QString decode(const QByteArray& bytes);
// Length in bytes of the text once encoded in the system code page.
qint64 byteLength(QStringView text);

} // namespace CodePage

// Decodes a byte stream that arrives in pieces: a character whose bytes are split between two
// pieces still comes out whole.
class CodePageDecoder {
public:
    CodePageDecoder();
    QString decode(QByteArrayView bytes);
    // The bytes of an incomplete character held back for the next piece; the decoder starts
    // afresh.
    QByteArray takeHeld();
    void reset();

private:
    QByteArray m_name;
    QStringDecoder m_decoder;
    QByteArray m_tail; // the last bytes fed, as many as a held character can have
};
