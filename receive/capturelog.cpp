// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "receive/capturelog.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The system's words are English; say the common cases in the window's language.
QString openFailure(const QFile& file)
{
    const QFileInfo info(file.fileName());
    QString reason;
    if (info.isDir())
        reason = QStringLiteral("这是一个文件夹");
    else if (!info.dir().exists())
        reason = QStringLiteral("文件夹不存在");
    else if (info.exists() ? !info.isWritable() : !QFileInfo(info.absolutePath()).isWritable())
        reason = QStringLiteral("没有写入权限");
    else
        reason = file.errorString();
    return QStringLiteral("无法打开记录文件：%1\n%2")
        .arg(QDir::toNativeSeparators(file.fileName()), reason);
}

} // namespace

CaptureLog::CaptureLog(QObject* parent)
    : QObject(parent)
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(flushMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &CaptureLog::flush);
}

CaptureLog::~CaptureLog() { stop(); }

bool CaptureLog::start(const QString& path)
{
    stop();
    m_error.clear();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        m_error = openFailure(m_file);
        return false;
    }
    m_size = m_file.size();
    return true;
}

void CaptureLog::stop()
{
    if (!isRunning())
        return;
    flush();
    m_flushTimer.stop();
    m_file.close();
}

void CaptureLog::append(QByteArrayView bytes)
{
    if (!isRunning() || bytes.isEmpty())
        return;
    if (m_file.write(bytes.data(), bytes.size()) != bytes.size()) {
        fail();
        return;
    }
    m_size += bytes.size();
    // The timer runs only while something waits, so an idle log costs nothing.
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void CaptureLog::flush()
{
    m_flushTimer.stop();
    if (isRunning() && !m_file.flush())
        fail();
}

void CaptureLog::fail()
{
    m_error = QStringLiteral("写入记录文件失败，记录已停止：%1\n%2")
                  .arg(QDir::toNativeSeparators(m_file.fileName()), m_file.errorString());
    m_flushTimer.stop();
    // What is buffered cannot be written either; closing must not try again.
    m_file.unsetError();
    m_file.close();
    Q_EMIT failed(m_error);
}
