// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

// A raw log of everything received, kept apart from the display: what the device sent, byte for
// byte, whether the display is stopped, cleared or shows hex. Bytes are buffered as they come and
// reach the file at least every flushMs, so a crash loses at most the last moment. A file that
// cannot be written stops the log and says why; the port is none of its business.
class CaptureLog : public QObject {
    Q_OBJECT
public:
    static constexpr int flushMs = 200;

    explicit CaptureLog(QObject* parent = nullptr);
    ~CaptureLog() override;

    // Starts logging to the file, appending to what it holds. False, with errorMessage() set,
    // when it cannot be opened; a log already running is stopped first either way.
    bool start(const QString& path);
    // Flushes and closes; nothing happens when no log runs.
    void stop();
    void append(QByteArrayView bytes);
    // Hands what is buffered to the system now (before quitting, on a device loss).
    void flush();

    bool isRunning() const { return m_file.isOpen(); }
    QString fileName() const { return m_file.fileName(); }
    // The file's size including what is still buffered.
    qint64 size() const { return m_size; }
    QString errorMessage() const { return m_error; }

Q_SIGNALS:
    // A write failed; the log has stopped and `message` says so in words for the user.
    void failed(const QString& message);

private:
    void fail();

    QFile m_file;
    QTimer m_flushTimer;
    qint64 m_size = 0;
    QString m_error;
};
