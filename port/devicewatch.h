// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "port/comnames.h"

#include <QObject>
#include <QString>
#include <QTimer>

class SerialComponent;

// Waits for a lost COMn to come back as the same device. It asks the same lookup an open uses, at
// most twice a second and only while it waits, and reports the first time the port resolves to a
// device with the identity it had and that device answers (a remote port's server takes a
// connection); another device there (a link pointed elsewhere, the next adapter moving up into the
// number) is not news. The watch then ends, and whoever re-opens the port starts it again should
// that open fail.
class DeviceWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int pollMs = 500;

    explicit DeviceWatch(const SerialComponent& serial, QObject* parent = nullptr);

    void watch(int port, const DeviceIdentity& identity);
    void cancel();
    bool isWatching() const { return m_poll.isActive(); }
    int port() const { return m_port; }
    // One look now; the timer calls it while watching.
    void poll();

Q_SIGNALS:
    void returned(int port, const QString& devicePath);

private:
    const SerialComponent& m_serial;
    QTimer m_poll;
    int m_port = 0;
    DeviceIdentity m_identity;
};
