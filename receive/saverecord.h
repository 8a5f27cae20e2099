// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "port/message.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringView>

// What a save of the receive display writes, and where. The folder box holds Windows-style
// paths; they are read as Wine reads them: a drive letter is an entry such as "c:" (a link to a
// folder) in the devices folder, and drive C is the home folder when there is no such entry.
namespace SaveRecord {

// "2026年12月5日9时5分7秒": no padding in any field.
QString timeStamp(const QDateTime& when);
// The file's bytes in `codePage` (the system code page when empty): the time stamp, CR LF, the
// display text unchanged, CR LF.
QByteArray record(const QDateTime& when, QStringView display, const QByteArray& codePage = {});

// The local folder a folder text names, or an empty string when it names a drive that does not
// exist. Separators are not tidied: a trailing one stays.
QString folderPath(const QString& folderText);
// The path of "1.txt" in that folder, or an empty string.
QString filePath(const QString& folderText);

// Replaces the file with the bytes, all or nothing: a failed save leaves the old file whole.
// Empty when written, otherwise why not, in the user's words. No folder is created here.
QString write(const QString& path, const QByteArray& bytes);

// What a save of the display did. A folder that is missing is created only when the user says so.
struct Outcome {
    enum class Status { Written, FolderMissing, Failed };
    Status status = Status::Failed;
    QString folder; // the local folder the text names; empty for a drive that does not exist
    QString reason; // why it failed
};
Outcome save(const QString& folderText, const QByteArray& bytes, bool createFolder = false);
// The folder alone, found or made as save() does, for files received into it; Written when it is
// there.
Outcome prepareFolder(const QString& folderText, bool createFolder = false);
// The question a missing folder asks (OK creates it), and the warning of any other failure.
Message createQuestion(const QString& folderText, const Outcome& outcome);
Message failure(const QString& folderText, const Outcome& outcome);

} // namespace SaveRecord

namespace ClockText {

// A time-of-day format with seconds and no time zone, built from a locale's short time format
// (seconds added with the locale's own separator); the long format, without its zone, serves when
// the short one gives no plain separator to repeat.
QString timeOfDayFormat(const QString& shortFormat, const QString& longFormat);

} // namespace ClockText
