// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/serialcomponent.h"

#include "port/serialbackend.h"

SerialComponent::SerialComponent(std::unique_ptr<SerialBackend> backend, QObject* parent)
    : QObject(parent)
    , m_backend(std::move(backend))
{
    connect(m_backend.get(), &SerialBackend::received, this,
        [this](const QByteArray& bytes, qint64 at) { Q_EMIT onComm(EventReceive, bytes, at); });
    connect(m_backend.get(), &SerialBackend::sent, this, &SerialComponent::sent);
    connect(m_backend.get(), &SerialBackend::drained, this,
        [this](qint64 at) { Q_EMIT onComm(EventSend, {}, at); });
    connect(m_backend.get(), &SerialBackend::lost, this, &SerialComponent::onLost);
    connect(m_backend.get(), &SerialBackend::failed, this, &SerialComponent::onFailed);
}

SerialComponent::~SerialComponent()
{
    m_backend->disconnect(this);
    m_backend->close();
}

bool SerialComponent::setSettings(const PortArguments& settings)
{
    if (portOpen())
        return false;
    m_settings = settings;
    return true;
}

qint64 SerialComponent::outBufferCount() const
{
    return portOpen() ? m_backend->pendingOutput() : 0;
}

bool SerialComponent::setPortOpen(bool open)
{
    m_error.clear();
    // A character half-decoded belongs to no later opening.
    m_decoder.reset();
    if (!open) {
        m_backend->close();
        return true;
    }
    if (portOpen())
        m_error = QStringLiteral("串口已经打开");
    else if (const std::optional<LineSettings> line = lineSettings(m_settings))
        m_error = m_backend->open(m_settings.port, *line) ? QString() : m_backend->errorString();
    else
        m_error = QStringLiteral("串口参数无效：") + settingsString(m_settings);
    if (!m_error.isEmpty())
        return false;
    applyLineControl();
    m_rs485Applied = false; // a fresh opening: the driver holds its own setting
    applyRs485();
    return true;
}

bool SerialComponent::portOpen() const { return m_backend->isOpen(); }

ComDevice SerialComponent::locate(int port) const { return m_backend->locate(port); }

ComDevice SerialComponent::openedDevice() const
{
    return portOpen() ? m_backend->openedDevice() : ComDevice();
}

qint64 SerialComponent::output(QStringView text)
{
    return portOpen() ? output(CodePage::encode(text, textCodePage())) : -1;
}

qint64 SerialComponent::output(const QByteArray& bytes)
{
    if (!portOpen())
        return -1;
    if (bytes.isEmpty())
        return 0; // nothing to queue, so nothing to refuse
    // Bounded, so a timer faster than the line cannot pile up output that flows on long after.
    const qint64 pending = m_backend->pendingOutput();
    if (pending > 0 && pending + bytes.size() > m_outBufferSize)
        return -1;
    m_backend->write(bytes);
    return bytes.size();
}

QString SerialComponent::textOf(const QByteArray& received) { return m_decoder.decode(received); }

QByteArray SerialComponent::bytesOf(const QByteArray& received)
{
    QByteArray bytes = m_decoder.takeHeld();
    return bytes.isEmpty() ? received : bytes + received;
}

void SerialComponent::onLost()
{
    m_decoder.reset();
    Q_EMIT onComm(EventDeviceLost, {}, steadyNowNs());
}

void SerialComponent::onFailed()
{
    m_decoder.reset();
    m_error = m_backend->errorString();
    Q_EMIT onComm(EventOpenFailed, {}, steadyNowNs());
}

void SerialComponent::needTiming(TimingUser user, bool needed)
{
    const int users = needed ? m_timingUsers | user : m_timingUsers & ~user;
    if (users == m_timingUsers)
        return;
    m_timingUsers = users;
    m_backend->setTimed(users != 0);
}

void SerialComponent::setLines(bool dtr, bool rts)
{
    m_dtr = dtr;
    m_rts = rts;
    if (portOpen())
        m_backend->setLines(dtr, rts);
}

void SerialComponent::setFlowControl(FlowControl flow)
{
    m_flow = flow;
    if (portOpen())
        applyLineControl();
}

SerialBackend::LineControls SerialComponent::lineControls() const
{
    return portOpen() ? m_backend->lineControls() : SerialBackend::LineControls();
}

void SerialComponent::sendBreak()
{
    if (portOpen())
        m_backend->sendBreak(breakMs);
}

std::optional<ModemLines> SerialComponent::modemLines()
{
    return portOpen() ? m_backend->modemLines() : std::nullopt;
}

void SerialComponent::setRs485(const Rs485Settings& settings)
{
    m_rs485 = settings;
    if (portOpen())
        applyRs485();
}

QString SerialComponent::rs485Refusal() const
{
    return portOpen() ? m_backend->rs485Refusal() : QString();
}

void SerialComponent::applyRs485()
{
    m_rs485Problem.clear();
    if (!m_rs485.enabled && !m_rs485Applied)
        return;
    const QString refusal = m_backend->setRs485(m_rs485);
    m_rs485Applied = m_rs485.enabled && refusal.isEmpty();
    if (m_rs485.enabled)
        m_rs485Problem = refusal;
}

void SerialComponent::applyLineControl()
{
    // Under RTS/CTS the driver holds RTS; leaving it gives RTS back to the wish.
    m_backend->setFlowControl(m_flow);
    m_backend->setLines(m_dtr, m_rts);
}
