// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringView>

#include <memory>

// The Windows ANSI code page a user's locale would have, and the conversions that go through it.
// Everything the program exchanges with the device or writes to disk goes through here.
namespace CodePage {

// The code page name (as Qt/ICU know it) for a locale name such as "zh_CN.UTF-8".
QByteArray forLocale(const QByteArray& locale);
// The code page of this process, from LC_ALL, LC_CTYPE or LANG (first one set).
QByteArray system();
// Overrides system() (tests); an empty name restores the environment's choice.
void setSystemOverride(const QByteArray& name);

// The encodings a user may choose for text instead of the system code page, by the names users
// know them by. "EUC-KR" is read and written as Windows reads it (code page 949, a superset).
QByteArrayList choices();
// The code page a choice stands for: the system's when the choice is empty.
QByteArray resolve(const QByteArray& choice);
// A code page's name as the user sees it: "Windows-1252" for "windows-1252".
QString displayName(const QByteArray& codePage);

// In `codePage`, or the system code page when it is empty.
QByteArray encode(QStringView text, const QByteArray& codePage = {});
// Bytes that end in an incomplete character end in one U+FFFD.
QString decode(const QByteArray& bytes, const QByteArray& codePage = {});
// Length in bytes of the text once encoded in the system code page.
qint64 byteLength(QStringView text);

} // namespace CodePage

struct CodePageScheme;

// Decodes a byte stream that arrives in pieces: a character whose bytes are split between two
// pieces still comes out whole. Each byte sequence the code page does not hold comes out as one
// U+FFFD: the longest start of a valid sequence, or a two-byte pair that stands for nothing. The
// byte that cut a sequence short is read again, and so is an ASCII byte in an empty pair: an
// ASCII character is never swallowed.
class CodePageDecoder {
public:
    // In `codePage`, or the system code page when it is empty (followed through reset()).
    explicit CodePageDecoder(const QByteArray& codePage = {});
    ~CodePageDecoder();
    QString decode(QByteArrayView bytes);
    // The bytes of an incomplete character held back for the next piece; the decoder starts
    // afresh.
    QByteArray takeHeld();
    void reset();
    // What comes from now on; bytes held back are read again in the new code page.
    void setCodePage(const QByteArray& codePage);
    const QByteArray& codePage() const { return m_choice; }

private:
    QByteArray m_choice;
    std::shared_ptr<const CodePageScheme> m_scheme;
    QByteArray m_held;
};
