// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The receive display's optional lines: a time stamp where each line begins, a new line after an
// idle gap, and in hexadecimal each frame's bytes as characters. All off, arrivals pass unchanged.
class ProtocolFormatter {
public:
    struct Choices {
        bool stamps = false;
        int frameMs = 0; // 0: no gap starts a line
        bool hexChars = false;
    };
    static constexpr int frameChoices[] = { 10, 20, 50, 100, 200, 500, 1000 };

    const Choices& choices() const { return m_choices; }
    void setChoices(const Choices& choices) { m_choices = choices; }
    bool active(bool hex) const
    {
        return m_choices.stamps || m_choices.frameMs > 0 || (hex && m_choices.hexChars);
    }

    // What to append for what arrived at the given time; every byte of one arrival shares it.
    QString text(const QString& text, const QDateTime& at);
    // A frame's character column is known only when the next frame begins, so it is appended
    // then, before that frame's line break.
    QByteArray hex(const QByteArray& bytes, const QDateTime& at);
    // The display was emptied: the next byte begins a line.
    void reset();

private:
    Choices m_choices;
    bool m_lineStart = true;
    bool m_afterCr = false; // a LF next belongs to the CR's line break
    qint64 m_lastMs = 0;
    QByteArray m_frame; // the open frame's bytes, for the character column
};
