// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "send/sendpath.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One stored command: sent as a send-box text would be, with its own hex choice and ending, then
// `delayMs` before the next row of a sequence.
struct Command {
    static constexpr int longestDelayMs = 3600000;
    QString name;
    QString content;
    bool hex = false;
    LineEnding ending = LineEnding::None; // text sends only
    int delayMs = 1000;
    bool inSequence = true; // ticked: 循环发送 sends it

    bool operator==(const Command& o) const
    {
        return name == o.name && content == o.content && hex == o.hex && ending == o.ending
            && delayMs == o.delayMs && inSequence == o.inSequence;
    }
};

// The command file: UTF-8 JSON, an object with "format": "portlark-commands", "version": 1 and
// "commands", an array of objects each with "content" (string, required), "name" (string),
// "hex" (bool), "ending" ("none", "cr", "lf" or "crlf"; ignored for hex), "delayMs" (0 to
// 3600000) and "sequence" (bool); absent members take their defaults, unknown ones are ignored.
namespace CommandList {

struct Read {
    QList<Command> commands;
    QString problem; // why the file is not a list of ours; the commands are then empty
};
Read read(const QByteArray& json);
QByteArray write(const QList<Command>& commands);

// The whole file or nothing: a failed write leaves what was there.
QString writeFile(const QString& path, const QList<Command>& commands);
// A file larger than this is refused before it is read.
constexpr qint64 largestFile = qint64(16) << 20;
Read readFile(const QString& path);
// Asked before an import replaces a list that is not empty: OK replaces it, Cancel keeps it.
Message replaceQuestion(qsizetype replaced, qsizetype imported);

// What a send of the row would refuse or cut short, in a send's own words; empty when it sends
// as written.
Message problemOf(const Command& command);

} // namespace CommandList
