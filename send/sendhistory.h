// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The texts sent from the send box and the command list, newest first, each once. The menu shows
// the newest few; more are kept, so that clearing the menu's view of a busy session is not the
// only way back to an older frame.
class SendHistory {
public:
    struct Entry {
        QString text; // as it stood in the box or the row, before any trim
        bool hex = false;
        bool operator==(const Entry& other) const { return text == other.text && hex == other.hex; }
    };
    static constexpr int shownCount = 20;
    static constexpr int keptCount = 100;

    // An entry sent again moves to the front. Ends any walk.
    void add(const Entry& entry);
    void clear();
    const QList<Entry>& entries() const { return m_entries; }
    QList<Entry> shown() const { return m_entries.mid(0, shownCount); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    // How the menu names an entry: one line, long texts cut, a hexadecimal one marked, control
    // characters shown as their pictures (␁) and the ones that reorder text as �.
    static QString menuText(const Entry& entry);
    // The text as the send box holds it: line breaks as LF.
    static QString boxText(const Entry& entry);

    // Ctrl+Up and Ctrl+Down: one step older or newer, nothing past either end. An entry that
    // would put back what the box already shows is passed over.
    std::optional<Entry> older(const Entry& shown);
    std::optional<Entry> newer(const Entry& shown);

    // {"version": 1, "history": [{"text": ..., "hex": ...}, ...]}; a file that does not read so
    // gives a problem and an empty history.
    QByteArray toJson() const;
    struct Read;
    static Read fromJson(const QByteArray& json);

private:
    QList<Entry> m_entries;
    int m_walk = -1; // the entry the last walk step showed; -1: none
};

struct SendHistory::Read {
    SendHistory history;
    QString problem;
};
