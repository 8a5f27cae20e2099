// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

class QWidget;
class SerialComponent;

// Modal conversations with the user. The real one shows Qt dialogs; tests answer at once.
class Dialogs {
public:
    enum class Icon { Warning, Error, Question };
    enum class Buttons { Ok, OkCancel };
    enum class Answer { Ok, Cancel };

    virtual ~Dialogs() = default;
    virtual Answer message(
        QWidget* parent, const QString& text, const QString& title, Icon icon, Buttons buttons)
        = 0;
    // The chosen file's path, or an empty string when the user cancels.
    virtual QString openFile(QWidget* parent, const QString& filter) = 0;
    // The chosen folder's path, or an empty string when the user cancels.
    virtual QString chooseFolder(QWidget* parent, const QString& title, const QString& startDir)
        = 0;
    // The path to write to (it may not exist yet), or an empty string when the user cancels. An
    // empty start folder leaves the dialog's own.
    virtual QString saveFile(QWidget* parent, const QString& title, const QString& startDir) = 0;
};

// Hands a web address to the desktop. Failures are not reported.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual void open(const QUrl& url) = 0;
};

// Local date and time, the monotonic clock the port stamps reads and writes on, and how long the
// save notice lasts.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // The same as milliseconds since the epoch; the system's clock answers without the time
    // zone's lookups that a local QDateTime costs.
    virtual qint64 nowMs() const { return now().toMSecsSinceEpoch(); }
    // The monotonic clock in nanoseconds, the one the port stamps reads and writes on.
    virtual qint64 steadyNs() const = 0;
    // What the wall clock read at an instant of the steady clock not long past: it now, less the
    // time since then.
    qint64 wallMsAt(qint64 atNs) const { return nowMs() - (steadyNs() - atNs) / 1'000'000; }
    virtual int saveNoticeMs() const { return 5000; }
};

// The pieces the window talks to the outside world through. The window does not own them.
struct Platform {
    SerialComponent* serial = nullptr;
    Dialogs* dialogs = nullptr;
    UrlOpener* urlOpener = nullptr;
    Clock* clock = nullptr;
    // The file that keeps the choices remembered between runs; empty: nothing is remembered.
    QString optionsFile;
};
