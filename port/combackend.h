// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "port/qtserialbackend.h"
#include "port/remotebackend.h"

// COMn as it is named: a device opens on the local port (QtSerialBackend), a URL on the remote one
// (RemoteBackend). Everything above sees one backend and never asks which.
class ComBackend : public SerialBackend {
    Q_OBJECT
public:
    explicit ComBackend(QObject* parent = nullptr);

    ComDevice locate(int port) const override { return ComNames::locate(port); }
    bool open(int port, const LineSettings& line) override;
    ComDevice openedDevice() const override { return m_active->openedDevice(); }
    void close() override { m_active->close(); }
    bool isOpen() const override { return m_active->isOpen(); }
    void write(const QByteArray& bytes) override { m_active->write(bytes); }
    qint64 pendingOutput() const override { return m_active->pendingOutput(); }
    void setTimed(bool timed) override;
    bool answers(const ComDevice& device) override;

    LineControls lineControls() const override { return m_active->lineControls(); }
    void setLines(bool dtr, bool rts) override { m_active->setLines(dtr, rts); }
    void setFlowControl(FlowControl flow) override { m_active->setFlowControl(flow); }
    void sendBreak(int ms) override { m_active->sendBreak(ms); }
    std::optional<ModemLines> modemLines() override { return m_active->modemLines(); }
    QString rs485Refusal() const override { return m_active->rs485Refusal(); }
    QString setRs485(const Rs485Settings& settings) override
    {
        return m_active->setRs485(settings);
    }

    // The remote side, for what only it has (the modem lines a server reports).
    const RemoteBackend& remote() const { return m_remote; }

private:
    void adopt(SerialBackend& backend);

    QtSerialBackend m_local;
    RemoteBackend m_remote;
    SerialBackend* m_active = &m_local;
};
