// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "send/replycheck.h"
#include "send/sendpath.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One stored command: sent as a send-box text would be, with its own hex choice and ending, then
// `delayMs` before the next row of a sequence. With an expectation, the row waits up to
// `timeoutMs` for a frame that matches and is sent again up to `retries` times while none does.
struct Command {
    static constexpr int longestDelayMs = 3600000;
    QString name;
    QString content;
    bool hex = false;
    LineEnding ending = LineEnding::None; // text sends only
    int delayMs = 1000;
    bool inSequence = true; // ticked: 循环发送 sends it
    static constexpr int longestTimeoutMs = 600000;
    static constexpr int mostRetries = 100;
    ReplyPattern expect {}; // 期望回复; Kind::None: none
    int timeoutMs = 1000;
    int retries = 0;

    bool operator==(const Command& o) const
    {
        return name == o.name && content == o.content && hex == o.hex && ending == o.ending
            && delayMs == o.delayMs && inSequence == o.inSequence && expect == o.expect
            && timeoutMs == o.timeoutMs && retries == o.retries;
    }
};

// What the command file keeps besides the commands.
struct CommandExtras {
    QList<AutoAnswer> answers; // 自动应答
    Modbus::Registers registers; // what 读寄存器 answers from
    bool stopAtFailure = false; // a 循环发送 run stops at its first failed or timed-out row

    bool operator==(const CommandExtras& o) const
    {
        return answers == o.answers && registers == o.registers && stopAtFailure == o.stopAtFailure;
    }
};

// The command file: UTF-8 JSON, an object with "format": "portlark-commands", "version": 2 (1 is
// read too) and "commands", an array of objects each with "content" (string, required), "name"
// (string), "hex" (bool), "ending" ("none", "cr", "lf" or "crlf"; ignored for hex), "delayMs" (0
// to 3600000), "sequence" (bool) and, from version 2, "expect": an object with "kind" ("hex",
// "text" or "modbus"), "pattern" (string), "regex" (bool), "timeoutMs" (1 to 600000) and
// "retries" (0 to 100). Version 2 adds at the top "answers", an array of objects with "enabled"
// (bool), "kind" and "pattern" and "regex" as in "expect", "replyKind" ("hex", "text" or
// "registers"), "reply" (string) and "delayMs" (0 to 60000); "registers", an object of register
// addresses ("0" to "65535") to values (0 to 65535); and "stopAtFailure" (bool). Absent members
// take their defaults, unknown ones are ignored.
namespace CommandList {

struct Read {
    QList<Command> commands;
    QString problem; // why the file is not a list of ours; the commands are then empty
    CommandExtras extras;
};
Read read(const QByteArray& json);
QByteArray write(const QList<Command>& commands, const CommandExtras& extras = {});

// The whole file or nothing: a failed write leaves what was there.
QString writeFile(
    const QString& path, const QList<Command>& commands, const CommandExtras& extras = {});
// A file larger than this is refused before it is read.
constexpr qint64 largestFile = qint64(16) << 20;
Read readFile(const QString& path);
// Asked before an import replaces a list that is not empty: OK replaces it, Cancel keeps it.
Message replaceQuestion(qsizetype replaced, qsizetype imported);

// What a send of the row would refuse or cut short, in a send's own words; empty when it sends
// as written.
Message problemOf(const Command& command);

} // namespace CommandList
