// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "port/comnames.h"
#include "port/openfailure.h"
#include "port/steadyclock.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

// A line as a UART can take it; what the settings text may say is decided before this is made
// (lineSettings() in port/portsettings.h).
struct LineSettings {
    enum class Parity { None, Odd, Even, Space, Mark };
    qint32 baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8; // 5 to 8
    bool twoStopBits = false; // with 5 data bits a UART sends 1.5 stop bits for this
};

enum class FlowControl { None, Hardware, Software }; // RTS/CTS, XON/XOFF

// The modem status lines the device drives, as the port reports them.
struct ModemLines {
    bool cts = false;
    bool dsr = false;
    bool dcd = false;
    bool ri = false;
    bool operator==(const ModemLines& o) const
    {
        return cts == o.cts && dsr == o.dsr && dcd == o.dcd && ri == o.ri;
    }
    bool operator!=(const ModemLines& o) const { return !(*this == o); }
};

// RS-485 direction control by the driver: RTS on while sending, held that long before the first
// byte and after the last.
struct Rs485Settings {
    static constexpr int maxDelayMs = 100; // what Linux holds at most
    bool enabled = false;
    int beforeMs = 0;
    int afterMs = 0;
    bool operator==(const Rs485Settings& o) const
    {
        return enabled == o.enabled && beforeMs == o.beforeMs && afterMs == o.afterMs;
    }
    bool operator!=(const Rs485Settings& o) const { return !(*this == o); }
};

// The part of the serial component that touches a device, and the only part a test replaces.
// Everything above it (the properties, input modes, the code page, the events) is shared by the
// real port and the fake, so tests run the product's own rules.
class SerialBackend : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Where COMn is now, as an open would find it.
    virtual ComDevice locate(int port) const = 0;
    // False when the port did not open; error() and errorString() then say why, the text in the
    // user's words. Both are cleared by an open that works.
    virtual bool open(int port, const LineSettings& line) = 0;
    OpenFailure::Reason error() const { return m_error; }
    QString errorString() const { return m_errorString; }
    // The device the open port uses, as located when it opened; null while closed.
    virtual ComDevice openedDevice() const = 0;
    // Discards what waits in both directions.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Queues the bytes and returns; the port must be open.
    virtual void write(const QByteArray& bytes) = 0;
    // Bytes queued that have not left yet.
    virtual qint64 pendingOutput() const = 0;
    // While timed, what arrives is read as the line delivers it, each read handed on with the
    // instant it was taken from the driver; untimed, reads may be gathered to save wake-ups.
    virtual void setTimed(bool /*timed*/) { }
    // Whether the device a lookup found answers now. A device that is there does; a remote port
    // can only tell by trying, so the first question starts a connection and a later one says
    // whether it was answered (the open that follows takes that connection).
    virtual bool answers(const ComDevice& /*device*/) { return true; }

Q_SIGNALS:
    // `atNs` (steadyNowNs()) is when the bytes were taken from the driver.
    void received(const QByteArray& bytes, qint64 atNs);
    // Bytes that left the queue for the device; bytes discarded are never reported.
    void sent(qint64 bytes);
    // Everything queued has left, at `atNs`.
    void drained(qint64 atNs);
    // The device went away while open; the port is closed by now.
    void lost();
    // An open that returned true could not be finished (a remote port's server did not answer or
    // refused a setting): the port is closed by now, and error() and errorString() say why.
    void failed();

public:
    // Line control on the open port. A port that cannot do one (a pseudo-terminal has no modem
    // lines) leaves it out of lineControls() and ignores the call.
    enum LineControl { Dtr = 1, Rts = 2, HardwareFlow = 4, SoftwareFlow = 8, Break = 16 };
    Q_DECLARE_FLAGS(LineControls, LineControl)
    virtual LineControls lineControls() const { return {}; }
    virtual void setLines(bool /*dtr*/, bool /*rts*/) { }
    virtual void setFlowControl(FlowControl /*flow*/) { }
    virtual void sendBreak(int /*ms*/) { }

    // The modem status lines now; nothing when the open port cannot report them (a
    // pseudo-terminal has none) or the port is closed. Asked only while someone shows them, so a
    // backend that hears of changes (a remote port's notices) may answer with the last it heard.
    virtual std::optional<ModemLines> modemLines() { return std::nullopt; }
    // Why the open port cannot do RS-485 direction control, in the user's words; empty when it
    // can. setRs485() answers the same way: empty when the driver took the settings.
    virtual QString rs485Refusal() const { return QStringLiteral("此串口不支持 RS-485 自动收发"); }
    virtual QString setRs485(const Rs485Settings& /*settings*/) { return rs485Refusal(); }

protected:
    // What an open ends with: true and no error, or false and why (the reason's own text unless
    // a fuller one is given).
    bool opened()
    {
        m_error = OpenFailure::Reason::None;
        m_errorString.clear();
        return true;
    }
    bool refused(OpenFailure::Reason reason, const QString& text = QString())
    {
        m_error = reason;
        m_errorString = text.isEmpty() ? OpenFailure::text(reason) : text;
        return false;
    }

private:
    OpenFailure::Reason m_error = OpenFailure::Reason::None;
    QString m_errorString;
};
Q_DECLARE_OPERATORS_FOR_FLAGS(SerialBackend::LineControls)
