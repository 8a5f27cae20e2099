// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/fakes.h"

ComDevice FakeBackend::locate(int port) const
{
    if (port <= 0 || port > 255 || absentPorts.contains(port))
        return {};
    const QString name = QStringLiteral("ttyFAKE%1").arg(port);
    return plugged.value(
        port, ComDevice { QStringLiteral("/dev/") + name, { DeviceIdentity::Kind::Name, name } });
}

bool FakeBackend::open(int port, const LineSettings& line)
{
    static const char parity[] = "NOESM";
    calls << QStringLiteral("open %1 %2,%3,%4,%5")
                 .arg(port)
                 .arg(line.baud)
                 .arg(QLatin1Char(parity[int(line.parity)]))
                 .arg(line.dataBits)
                 .arg(line.twoStopBits ? 2 : 1);
    if (m_open)
        return refused(OpenFailure::Reason::Busy, QStringLiteral("already open"));
    m_opened = locate(port);
    if (m_opened.path.isEmpty())
        return refused(OpenFailure::Reason::NoDevice, QStringLiteral("absent"));
    m_open = !openSilentlyFails;
    openCount += m_open;
    return opened();
}

void FakeBackend::close()
{
    if (m_open)
        calls << QStringLiteral("close");
    m_open = false;
    m_queued = 0;
}

void FakeBackend::leave(qint64 bytes)
{
    bytes = std::min(bytes, m_queued);
    m_queued -= bytes;
    if (bytes > 0)
        Q_EMIT sent(bytes);
}

void FakeBackend::loseDevice()
{
    m_open = false;
    m_queued = 0;
    Q_EMIT lost();
}

void FakeBackend::failOpen(const QString& why)
{
    m_open = false;
    m_queued = 0;
    refused(OpenFailure::Reason::NoDevice, why);
    Q_EMIT failed();
}

Dialogs::Answer FakeDialogs::message(
    QWidget*, const QString& text, const QString&, Icon, Buttons buttons)
{
    messages.append({ text, buttons });
    if (onMessage)
        onMessage(messages.last());
    return buttons == Buttons::OkCancel ? answer : Answer::Ok;
}

QString FakeDialogs::openFile(QWidget*, const QString& filter)
{
    lastFilter = filter;
    return nextFile;
}

QString FakeDialogs::chooseFolder(QWidget*, const QString& title, const QString&)
{
    lastFolderTitle = title;
    return nextFolder;
}
