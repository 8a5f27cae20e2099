// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "receive/saverecord.h"

#include "port/codepage.h"
#include "port/comnames.h"

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace {

const QLatin1Char backslash('\\');
const QLatin1Char slash('/');

bool isAsciiLetter(QChar c) { return c.isLetter() && c.unicode() < 0x80; }

// The folder a drive letter stands for, or an empty string when there is no such drive.
QString driveRoot(QChar letter)
{
    const QString devices = ComNames::devicesFolder();
    if (!devices.isEmpty()) {
        const QString entry = devices + slash + letter.toLower() + QLatin1Char(':');
        // A link whose target is gone still claims the drive: the save must fail there rather
        // than land in the home folder.
        const QFileInfo info(entry);
        if (info.exists() || info.isSymLink())
            return entry;
    }
    return letter.toLower() == QLatin1Char('c') ? QDir::homePath() : QString();
}

// Everything that is neither a drive path nor a native one follows the rules of a Windows
// process whose current drive is C.
QString windowsPath(const QString& text)
{
    QString root;
    QString rest;
    if (text.size() >= 2 && isAsciiLetter(text.at(0)) && text.at(1) == QLatin1Char(':')) {
        root = driveRoot(text.at(0));
        rest = text.mid(2);
    } else if (text.startsWith(QLatin1String("\\\\"))) {
        return {}; // a network share
    } else if (text.startsWith(backslash)) {
        root = driveRoot(QLatin1Char('c'));
        rest = text;
    } else {
        root = QDir::currentPath();
        rest = text;
    }
    if (root.isEmpty())
        return {};
    rest.replace(backslash, slash);
    if (rest.isEmpty())
        return root;
    return rest.startsWith(slash) ? root + rest : root + slash + rest;
}

// Why the file system refused, in the user's words, with the system's own text after it.
QString reasonText(const std::error_code& error)
{
    QString kind;
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted
        || error == std::errc::read_only_file_system)
        kind = QStringLiteral("没有写入权限");
    else if (error == std::errc::no_space_on_device)
        kind = QStringLiteral("磁盘已满");
    else if (error == std::errc::not_a_directory || error == std::errc::file_exists)
        kind = QStringLiteral("路径上有同名的文件");
    else
        kind = QStringLiteral("写入失败");
    return kind + QStringLiteral("（") + QString::fromStdString(error.message())
        + QStringLiteral("）");
}

// QSaveFile keeps no error number; what it reports is taken while errno still holds the cause.
QString reasonText(const QFileDevice& file)
{
    const int number = errno;
    if (number != 0)
        return reasonText(std::error_code(number, std::generic_category()));
    return QStringLiteral("写入失败（") + file.errorString() + QStringLiteral("）");
}

// The folder as typed, quoted, and where that is on this system when it reads differently.
QString shownFolder(const QString& folderText, const SaveRecord::Outcome& outcome)
{
    const QString quoted = QStringLiteral("“") + folderText + QStringLiteral("”");
    const QString local = QDir::toNativeSeparators(QDir::cleanPath(outcome.folder));
    if (outcome.folder.isEmpty() || local == folderText)
        return quoted;
    return quoted + QStringLiteral("（") + local + QStringLiteral("）");
}

} // namespace

namespace SaveRecord {

QString timeStamp(const QDateTime& when)
{
    const QDate date = when.date();
    const QTime time = when.time();
    return QStringLiteral("%1年%2月%3日%4时%5分%6秒")
        .arg(QString::number(date.year()), QString::number(date.month()),
            QString::number(date.day()), QString::number(time.hour()),
            QString::number(time.minute()), QString::number(time.second()));
}

QByteArray record(const QDateTime& when, QStringView display, const QByteArray& codePage)
{
    const QLatin1String lineEnd("\r\n");
    QString text = timeStamp(when);
    text.reserve(text.size() + display.size() + 2 * lineEnd.size());
    text.append(lineEnd).append(display).append(lineEnd);
    return CodePage::encode(text, codePage);
}

QString folderPath(const QString& folderText)
{
    return folderText.startsWith(slash) ? folderText : windowsPath(folderText);
}

QString filePath(const QString& folderText)
{
    if (folderText.startsWith(slash))
        return folderText + QLatin1String("/1.txt");
    return windowsPath(folderText + QLatin1String("\\1.txt"));
}

QString write(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return reasonText(file);
    if (file.write(bytes) != bytes.size()) {
        const QString reason = reasonText(file);
        file.cancelWriting();
        return reason;
    }
    return file.commit() ? QString() : reasonText(file);
}

Outcome save(const QString& folderText, const QByteArray& bytes, bool createFolder)
{
    const Outcome prepared = prepareFolder(folderText, createFolder);
    if (prepared.status != Outcome::Status::Written)
        return prepared;
    const QString reason = write(filePath(folderText), bytes);
    return { reason.isEmpty() ? Outcome::Status::Written : Outcome::Status::Failed, prepared.folder,
        reason };
}

Outcome prepareFolder(const QString& folderText, bool createFolder)
{
    const QString path = filePath(folderText);
    if (path.isEmpty())
        return { Outcome::Status::Failed, {}, QStringLiteral("没有这个驱动器") };
    const QString folder = QFileInfo(path).path();
    const QFileInfo info(folder);
    if (!info.exists() && !info.isSymLink()) {
        if (!createFolder)
            return { Outcome::Status::FolderMissing, folder, {} };
        std::error_code error;
        std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
        if (error)
            return { Outcome::Status::Failed, folder, reasonText(error) };
    } else if (!info.isDir()) {
        return { Outcome::Status::Failed, folder,
            reasonText(std::make_error_code(std::errc::not_a_directory)) };
    }
    return { Outcome::Status::Written, folder, {} };
}

Message createQuestion(const QString& folderText, const Outcome& outcome)
{
    return { QStringLiteral("文件夹%1不存在，是否创建？").arg(shownFolder(folderText, outcome)),
        Message::Icon::Question, true };
}

Message failure(const QString& folderText, const Outcome& outcome)
{
    return { QStringLiteral("无法保存到文件夹%1：%2")
                 .arg(shownFolder(folderText, outcome), outcome.reason) };
}

} // namespace SaveRecord

namespace {

// One piece of a QLocale format string: a run of one field letter, a quoted literal, or a single
// literal character.
struct FormatToken {
    QString text;
    QChar field; // the letter of a field; null for a literal

    bool isSpace() const { return field.isNull() && text.size() == 1 && text.at(0).isSpace(); }
    bool is(char c) const { return field.isNull() && text == QString(QLatin1Char(c)); }
};

QList<FormatToken> tokenize(const QString& format)
{
    QList<FormatToken> tokens;
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format.at(i);
        qsizetype end = i + 1;
        if (c == QLatin1Char('\'')) {
            // '' inside a quoted literal is an escaped quote
            while (end < format.size()) {
                if (format.at(end) == QLatin1Char('\'')) {
                    if (end + 1 < format.size() && format.at(end + 1) == QLatin1Char('\'')) {
                        end += 2;
                        continue;
                    }
                    ++end;
                    break;
                }
                ++end;
            }
            tokens.append({ format.mid(i, end - i), QChar() });
        } else if (isAsciiLetter(c)) {
            while (end < format.size() && format.at(end) == c)
                ++end;
            tokens.append({ format.mid(i, end - i), c });
        } else {
            tokens.append({ QString(c), QChar() });
        }
        i = end;
    }
    return tokens;
}

QString join(const QList<FormatToken>& tokens)
{
    QString text;
    for (const FormatToken& token : tokens)
        text += token.text;
    return text;
}

// Removes the time-zone fields, the brackets left empty around them and the spacing they leave.
QList<FormatToken> withoutZone(QList<FormatToken> tokens)
{
    tokens.removeIf([](const FormatToken& token) { return token.field == QLatin1Char('t'); });
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        if (!tokens[i].is('(') && !tokens[i].is('['))
            continue;
        const char close = tokens[i].is('(') ? ')' : ']';
        qsizetype j = i + 1;
        while (j < tokens.size() && tokens[j].isSpace())
            ++j;
        if (j < tokens.size() && tokens[j].is(close)) {
            tokens.remove(i, j - i + 1);
            i = -1;
        }
    }
    for (qsizetype i = 1; i < tokens.size(); ++i) {
        if (tokens[i].isSpace() && tokens[i - 1].isSpace())
            tokens.remove(i--);
    }
    while (!tokens.isEmpty() && tokens.first().isSpace())
        tokens.removeFirst();
    while (!tokens.isEmpty() && tokens.last().isSpace())
        tokens.removeLast();
    return tokens;
}

bool hasField(const QList<FormatToken>& tokens, char letter)
{
    return std::any_of(tokens.cbegin(), tokens.cend(),
        [letter](const FormatToken& token) { return token.field == QLatin1Char(letter); });
}

} // namespace

namespace ClockText {

QString timeOfDayFormat(const QString& shortFormat, const QString& longFormat)
{
    QList<FormatToken> tokens = withoutZone(tokenize(shortFormat));
    if (hasField(tokens, 's'))
        return join(tokens);

    qsizetype hour = -1;
    qsizetype minute = -1;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QChar field = tokens[i].field;
        if (field == QLatin1Char('h') || field == QLatin1Char('H'))
            hour = i;
        else if (field == QLatin1Char('m') && hour >= 0 && minute < 0)
            minute = i;
    }
    if (minute > hour + 1) {
        const QList<FormatToken> separator = tokens.mid(hour + 1, minute - hour - 1);
        const bool plain
            = std::all_of(separator.cbegin(), separator.cend(), [](const FormatToken& token) {
                  return token.text.size() == 1 && token.field.isNull()
                      && !token.text.at(0).isLetterOrNumber()
                      && token.text.at(0) != QLatin1Char('\'');
              });
        if (plain) {
            const QString seconds = join(separator) + QLatin1String("ss");
            return join(tokens.mid(0, minute + 1)) + seconds + join(tokens.mid(minute + 1));
        }
    }
    const QList<FormatToken> longTokens = withoutZone(tokenize(longFormat));
    if (hasField(longTokens, 's'))
        return join(longTokens);
    return join(tokens) + QLatin1String(":ss");
}

} // namespace ClockText
