// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "send/commandlist.h"

#include "send/sendlogic.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

const QString formatName = QStringLiteral("portlark-commands");
constexpr int formatVersion = 1;
// As written in the file, in the order of LineEnding.
const QString endingNames[] = { QStringLiteral("none"), QStringLiteral("cr"), QStringLiteral("lf"),
    QStringLiteral("crlf") };

QString rowProblem(qsizetype row, const QString& what)
{
    return QStringLiteral("第 %1 条命令%2").arg(row + 1).arg(what);
}

} // namespace

namespace CommandList {

Read read(const QByteArray& json)
{
    Read read;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        read.problem = QStringLiteral("不是 JSON 文件（第 %1 个字节：%2）")
                           .arg(error.offset + 1)
                           .arg(error.errorString());
        return read;
    }
    const QJsonObject top = document.object();
    if (!document.isObject() || top.value(u"format") != formatName) {
        read.problem = QStringLiteral("不是快捷发送的命令列表");
        return read;
    }
    const QJsonValue version = top.value(u"version");
    if (!version.isDouble() || version.toDouble() != formatVersion) {
        read.problem = QStringLiteral("命令列表的版本 %1 无法读取（只能读取版本 %2）")
                           .arg(version.toVariant().toString())
                           .arg(formatVersion);
        return read;
    }
    if (!top.value(u"commands").isArray()) {
        read.problem = QStringLiteral("命令列表里没有 commands 数组");
        return read;
    }
    const QJsonArray rows = top.value(u"commands").toArray();
    QList<Command> commands;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QJsonObject row = rows[i].toObject();
        Command command;
        const auto absentOr = [&](QStringView key, QJsonValue::Type type) {
            const QJsonValue value = row.value(key);
            return value.isUndefined() || value.type() == type;
        };
        const QJsonValue content = row.value(u"content");
        const QJsonValue ending = row.value(u"ending");
        const QJsonValue delay = row.value(u"delayMs");
        if (!rows[i].isObject() || !content.isString()) {
            read.problem = rowProblem(i, QStringLiteral("没有内容（content）"));
            return read;
        }
        if (!absentOr(u"name", QJsonValue::String) || !absentOr(u"hex", QJsonValue::Bool)
            || !absentOr(u"sequence", QJsonValue::Bool)) {
            read.problem = rowProblem(i, QStringLiteral("的 name、hex 或 sequence 类型不对"));
            return read;
        }
        command.name = row.value(u"name").toString();
        command.content = content.toString();
        command.hex = row.value(u"hex").toBool();
        command.inSequence = row.value(u"sequence").toBool(true);
        if (!ending.isUndefined()) {
            const auto* found
                = std::find(std::begin(endingNames), std::end(endingNames), ending.toString());
            if (found == std::end(endingNames)) {
                read.problem
                    = rowProblem(i, QStringLiteral("的结尾（ending）不是 none、cr、lf 或 crlf"));
                return read;
            }
            command.ending = LineEnding(found - std::begin(endingNames));
        }
        if (!delay.isUndefined()) {
            const double ms = delay.toDouble(-1);
            // The range first: a double past int's range has no int value to compare with.
            if (!delay.isDouble() || !(ms >= 0 && ms <= Command::longestDelayMs)
                || ms != std::floor(ms)) {
                read.problem = rowProblem(i,
                    QStringLiteral("的延时（delayMs）不是 0 到 %1 的整数")
                        .arg(Command::longestDelayMs));
                return read;
            }
            command.delayMs = int(ms);
        }
        commands.append(command);
    }
    read.commands = commands;
    return read;
}

QByteArray write(const QList<Command>& commands)
{
    QJsonArray rows;
    for (const Command& command : commands) {
        rows.append(QJsonObject {
            { QStringLiteral("name"), command.name },
            { QStringLiteral("content"), command.content },
            { QStringLiteral("hex"), command.hex },
            { QStringLiteral("ending"), endingNames[int(command.ending)] },
            { QStringLiteral("delayMs"), command.delayMs },
            { QStringLiteral("sequence"), command.inSequence },
        });
    }
    const QJsonObject top { { QStringLiteral("format"), formatName },
        { QStringLiteral("version"), formatVersion }, { QStringLiteral("commands"), rows } };
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

QString writeFile(const QString& path, const QList<Command>& commands)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(write(commands)) < 0 || !file.commit())
        return QStringLiteral("命令列表无法写入 %1（%2）").arg(path, file.errorString());
    return {};
}

Read readFile(const QString& path)
{
    QFile file(path);
    Read failed;
    if (!file.open(QIODevice::ReadOnly)) {
        failed.problem = QStringLiteral("无法打开 %1（%2）").arg(path, file.errorString());
        return failed;
    }
    // A device or a pipe tells no size: what it gives is cut off past the limit all the same.
    const QByteArray json = file.size() > largestFile ? QByteArray() : file.read(largestFile + 1);
    if (file.size() > largestFile || json.size() > largestFile) {
        failed.problem = QStringLiteral("文件太大（超过 %1 MiB）").arg(largestFile >> 20);
        return failed;
    }
    return read(json);
}

Message replaceQuestion(qsizetype replaced, qsizetype imported)
{
    return { QStringLiteral("导入的 %1 条命令将替换现有的 %2 条命令，是否继续？")
                 .arg(imported)
                 .arg(replaced),
        Message::Icon::Question, true };
}

Message problemOf(const Command& command)
{
    if (command.content.isEmpty())
        return SendMessages::emptyData();
    if (command.hex) {
        if (const QString shortfall = SendLogic::hexShortfall(command.content);
            !shortfall.isEmpty())
            return { shortfall, Message::Icon::Question, true };
    }
    return {};
}

} // namespace CommandList
