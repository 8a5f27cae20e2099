// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "port/message.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

class SerialComponent;
class SendHistory;

// What a text send gets at its end. Hexadecimal sends are never changed.
enum class LineEnding { None, Cr, Lf, CrLf };
QStringView lineEndingText(LineEnding ending);
// As the menus name it: 无, CR, LF, CR LF.
QString lineEndingName(LineEnding ending);

// Sending the send box as text or hexadecimal bytes, and a chosen file as it was read.
class SendPath {
public:
    explicit SendPath(SerialComponent& serial)
        : m_serial(serial)
    {
    }

    // The send button (and a stored command's): refused with a message when the port is closed,
    // the box is empty or the output still pending leaves no room for it.
    Message send(QStringView box, bool hexSend) { return send(box, hexSend, m_lineEnding); }
    Message send(QStringView box, bool hexSend, LineEnding ending);
    // The send itself, shared with the automatic send, which stays silent when refused (that is
    // its throttle). False when the component refused the write. Nothing is counted here,
    // hexadecimal bytes included: the counters take bytes as they leave, so a refused write or a
    // close that drops it counts nothing.
    bool sendBox(QStringView box, bool hexSend) { return sendBox(box, hexSend, m_lineEnding); }
    bool sendBox(QStringView box, bool hexSend, LineEnding ending);
    // Bytes as they are, as a hexadecimal send's (an automatic answer); false when refused.
    bool sendBytes(const QByteArray& bytes) { return output(bytes, false, true); }
    // What the last send the port took wrote.
    const QByteArray& lastSent() const { return m_lastSent; }
    // The ending the send box's text sends (the button and the automatic send) get.
    void setLineEnding(LineEnding ending) { m_lineEnding = ending; }

    // Where a send of send() is remembered when the port takes it.
    void setHistory(SendHistory* history) { m_history = history; }

    // Told of every send the port took, with its bytes, whether they are a file's and whether
    // they were typed as hexadecimal.
    using SentListener = std::function<void(const QByteArray&, bool file, bool hex)>;
    void setSentListener(SentListener listener) { m_sentListener = std::move(listener); }

    // Reads the whole file by its length; false, and the earlier content kept, when it cannot.
    bool chooseFile(const QString& path);
    // Sends the content read at the last choice, only 0x20 trimmed at the ends.
    Message sendFile();

private:
    bool output(const QByteArray& bytes, bool file, bool hex);

    SerialComponent& m_serial;
    QByteArray m_fileText;
    QByteArray m_lastSent;
    LineEnding m_lineEnding = LineEnding::None;
    SendHistory* m_history = nullptr;
    SentListener m_sentListener;
};

// The state table of automatic sending.
//   Off:     box unticked, timer off.
//   Running: box ticked, timer on with a period P > 0: a send every P ms.
//   Silent:  box ticked, timer on with period 0 or a period the timer refuses: nothing is sent.
class AutoSend {
public:
    enum class State { Off, Running, Silent };
    // What ticking the box does: untick it again (and say why), or start the timer with a period.
    struct Start {
        bool untick = false;
        Message message;
        std::optional<qint64> period;
    };
    enum class Tick { Send, Skip, Stop };

    // The period is read only here, never while sending runs.
    Start ticked(bool portOpen, QStringView periodText);
    void unticked() { m_state = State::Off; }
    // Stop: the box unticks itself, then says the send box is empty. With the port closed nothing
    // could leave, so nothing is written or counted; the ticks go on and sending resumes once the
    // port is open again.
    Tick tick(bool sendBoxEmpty, bool portOpen) const;
    State state() const { return m_state; }

private:
    State m_state = State::Off;
};

namespace SendMessages {
Message portClosed(); // 串口没有打开，请打开串口
Message emptyData(); // 发送数据不能为空
Message outputFull(); // the output still pending leaves no room
} // namespace SendMessages
