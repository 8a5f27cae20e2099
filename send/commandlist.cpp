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
constexpr int formatVersion = 2;
// As written in the file, in the order of LineEnding, ReplyPattern::Kind and AutoAnswer::Reply.
const QString endingNames[] = { QStringLiteral("none"), QStringLiteral("cr"), QStringLiteral("lf"),
    QStringLiteral("crlf") };
const QString kindNames[]
    = { QString(), QStringLiteral("hex"), QStringLiteral("text"), QStringLiteral("modbus") };
const QString replyNames[]
    = { QStringLiteral("hex"), QStringLiteral("text"), QStringLiteral("registers") };

QString rowProblem(qsizetype row, const QString& what)
{
    return QStringLiteral("第 %1 条命令%2").arg(row + 1).arg(what);
}

// A whole number from lowest to highest; absent, `value` is left as it is.
bool readWhole(const QJsonValue& json, int lowest, int highest, int& value)
{
    if (json.isUndefined())
        return true;
    const double number = json.toDouble(-1);
    // The range first: a double past int's range has no int value to compare with.
    if (!json.isDouble() || !(number >= lowest && number <= highest)
        || number != std::floor(number))
        return false;
    value = int(number);
    return true;
}

template <size_t N> int nameIndex(const QString (&names)[N], const QJsonValue& value)
{
    const auto* found = std::find(std::begin(names), std::end(names), value.toString());
    return value.isString() && found != std::end(names) ? int(found - std::begin(names)) : -1;
}

// "kind", "pattern" and "regex" of an expectation or an automatic answer; empty when they read.
QString readPattern(const QJsonObject& object, ReplyPattern& pattern)
{
    const int kind = nameIndex(kindNames, object.value(u"kind"));
    if (kind <= 0)
        return QStringLiteral("的 kind 不是 hex、text 或 modbus");
    if (!object.value(u"pattern").isUndefined() && !object.value(u"pattern").isString())
        return QStringLiteral("的 pattern 不是文字");
    if (!object.value(u"regex").isUndefined() && !object.value(u"regex").isBool())
        return QStringLiteral("的 regex 不是 true 或 false");
    pattern.kind = ReplyPattern::Kind(kind);
    pattern.pattern = object.value(u"pattern").toString();
    pattern.regex = object.value(u"regex").toBool();
    return {};
}

QJsonObject patternJson(const ReplyPattern& pattern)
{
    QJsonObject object { { QStringLiteral("kind"), kindNames[int(pattern.kind)] },
        { QStringLiteral("pattern"), pattern.pattern } };
    if (pattern.regex)
        object.insert(QStringLiteral("regex"), true);
    return object;
}

// The version 2 members at the top: the automatic answers, the registers and the stop tick.
QString readExtras(const QJsonObject& top, CommandExtras& extras)
{
    const QJsonValue answers = top.value(u"answers");
    if (!answers.isUndefined() && !answers.isArray())
        return QStringLiteral("命令列表的 answers 不是数组");
    const QJsonArray rows = answers.toArray();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QJsonObject row = rows[i].toObject();
        const auto problem = [i](const QString& what) {
            return QStringLiteral("第 %1 条自动应答%2").arg(i + 1).arg(what);
        };
        AutoAnswer answer;
        if (!rows[i].isObject())
            return problem(QStringLiteral("不是对象"));
        if (const QString why = readPattern(row, answer.when); !why.isEmpty())
            return problem(why);
        const int reply = nameIndex(replyNames, row.value(u"replyKind"));
        if (reply < 0 && !row.value(u"replyKind").isUndefined())
            return problem(QStringLiteral("的 replyKind 不是 hex、text 或 registers"));
        if (!row.value(u"reply").isUndefined() && !row.value(u"reply").isString())
            return problem(QStringLiteral("的 reply 不是文字"));
        if (!row.value(u"enabled").isUndefined() && !row.value(u"enabled").isBool())
            return problem(QStringLiteral("的 enabled 不是 true 或 false"));
        if (!readWhole(row.value(u"delayMs"), 0, AutoAnswer::longestDelayMs, answer.delayMs))
            return problem(QStringLiteral("的延时（delayMs）不是 0 到 %1 的整数")
                               .arg(AutoAnswer::longestDelayMs));
        answer.replyKind = reply < 0 ? AutoAnswer::Reply::Hex : AutoAnswer::Reply(reply);
        answer.reply = row.value(u"reply").toString();
        answer.enabled = row.value(u"enabled").toBool(true);
        extras.answers.append(answer);
    }
    const QJsonValue registers = top.value(u"registers");
    if (!registers.isUndefined() && !registers.isObject())
        return QStringLiteral("命令列表的 registers 不是对象");
    const QJsonObject table = registers.toObject();
    for (auto it = table.begin(); it != table.end(); ++it) {
        bool ok = false;
        const uint address = it.key().toUInt(&ok);
        int value = 0;
        if (!ok || address > 0xFFFF || it.key() != QString::number(address)
            || !readWhole(it.value(), 0, 0xFFFF, value) || it.value().isUndefined())
            return QStringLiteral("寄存器 %1 不是 0 到 65535 的地址和值").arg(it.key());
        extras.registers.insert(quint16(address), quint16(value));
    }
    const QJsonValue stop = top.value(u"stopAtFailure");
    if (!stop.isUndefined() && !stop.isBool())
        return QStringLiteral("命令列表的 stopAtFailure 不是 true 或 false");
    extras.stopAtFailure = stop.toBool();
    return {};
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
    if (!version.isDouble() || (version.toDouble() != 1 && version.toDouble() != formatVersion)) {
        read.problem = QStringLiteral("命令列表的版本 %1 无法读取（只能读取版本 1 和 %2）")
                           .arg(version.toVariant().toString())
                           .arg(formatVersion);
        return read;
    }
    const bool second = version.toDouble() == formatVersion;
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
        if (const QJsonValue expect = row.value(u"expect"); second && !expect.isUndefined()) {
            const QJsonObject object = expect.toObject();
            QString why = expect.isObject() ? readPattern(object, command.expect)
                                            : QStringLiteral("的期望回复（expect）不是对象");
            if (why.isEmpty()
                && !readWhole(
                    object.value(u"timeoutMs"), 1, Command::longestTimeoutMs, command.timeoutMs))
                why = QStringLiteral("的超时（timeoutMs）不是 1 到 %1 的整数")
                          .arg(Command::longestTimeoutMs);
            if (why.isEmpty()
                && !readWhole(object.value(u"retries"), 0, Command::mostRetries, command.retries))
                why = QStringLiteral("的重试（retries）不是 0 到 %1 的整数")
                          .arg(Command::mostRetries);
            if (!why.isEmpty()) {
                read.problem = rowProblem(i, why);
                return read;
            }
        }
        commands.append(command);
    }
    if (second) {
        if (const QString why = readExtras(top, read.extras); !why.isEmpty()) {
            read.problem = why;
            read.extras = {};
            return read;
        }
    }
    read.commands = commands;
    return read;
}

QByteArray write(const QList<Command>& commands, const CommandExtras& extras)
{
    QJsonArray rows;
    for (const Command& command : commands) {
        QJsonObject row {
            { QStringLiteral("name"), command.name },
            { QStringLiteral("content"), command.content },
            { QStringLiteral("hex"), command.hex },
            { QStringLiteral("ending"), endingNames[int(command.ending)] },
            { QStringLiteral("delayMs"), command.delayMs },
            { QStringLiteral("sequence"), command.inSequence },
        };
        if (command.expect.kind != ReplyPattern::Kind::None) {
            QJsonObject expect = patternJson(command.expect);
            expect.insert(QStringLiteral("timeoutMs"), command.timeoutMs);
            expect.insert(QStringLiteral("retries"), command.retries);
            row.insert(QStringLiteral("expect"), expect);
        }
        rows.append(row);
    }
    QJsonArray answers;
    for (const AutoAnswer& answer : extras.answers) {
        QJsonObject row = patternJson(answer.when);
        row.insert(QStringLiteral("enabled"), answer.enabled);
        row.insert(QStringLiteral("replyKind"), replyNames[int(answer.replyKind)]);
        row.insert(QStringLiteral("reply"), answer.reply);
        row.insert(QStringLiteral("delayMs"), answer.delayMs);
        answers.append(row);
    }
    QJsonObject registers;
    for (auto it = extras.registers.cbegin(); it != extras.registers.cend(); ++it)
        registers.insert(QString::number(it.key()), int(it.value()));
    const QJsonObject top { { QStringLiteral("format"), formatName },
        { QStringLiteral("version"), formatVersion }, { QStringLiteral("commands"), rows },
        { QStringLiteral("answers"), answers }, { QStringLiteral("registers"), registers },
        { QStringLiteral("stopAtFailure"), extras.stopAtFailure } };
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

QString writeFile(const QString& path, const QList<Command>& commands, const CommandExtras& extras)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(write(commands, extras)) < 0
        || !file.commit())
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
    if (const QString why = command.expect.problem(); !why.isEmpty())
        return { why };
    if (command.hex) {
        if (const QString shortfall = SendLogic::hexShortfall(command.content);
            !shortfall.isEmpty())
            return { shortfall, Message::Icon::Question, true };
    }
    return {};
}

} // namespace CommandList
