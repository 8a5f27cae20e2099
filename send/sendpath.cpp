// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "send/sendpath.h"

#include "port/codepage.h"
#include "port/serialcomponent.h"
#include "send/sendhistory.h"
#include "send/sendlogic.h"

#include <QFile>

#include <limits>

namespace SendMessages {
Message portClosed() { return { QStringLiteral("串口没有打开，请打开串口") }; }
Message emptyData() { return { QStringLiteral("发送数据不能为空"), Message::Icon::Error }; }
Message outputFull() { return { QStringLiteral("发送缓冲区已满，请等上一次发送完成后再发送") }; }
} // namespace SendMessages

QString lineEndingName(LineEnding ending)
{
    switch (ending) {
    case LineEnding::Cr:
        return QStringLiteral("CR");
    case LineEnding::Lf:
        return QStringLiteral("LF");
    case LineEnding::CrLf:
        return QStringLiteral("CR LF");
    case LineEnding::None:
        break;
    }
    return QStringLiteral("无");
}

QStringView lineEndingText(LineEnding ending)
{
    switch (ending) {
    case LineEnding::Cr:
        return u"\r";
    case LineEnding::Lf:
        return u"\n";
    case LineEnding::CrLf:
        return u"\r\n";
    case LineEnding::None:
        break;
    }
    return {};
}

Message SendPath::send(QStringView box, bool hexSend, LineEnding ending)
{
    if (!m_serial.portOpen())
        return SendMessages::portClosed();
    if (box.isEmpty())
        return SendMessages::emptyData();
    if (!sendBox(box, hexSend, ending))
        return SendMessages::outputFull();
    if (m_history)
        m_history->add({ box.toString(), hexSend });
    return {};
}

bool SendPath::sendBox(QStringView box, bool hexSend, LineEnding ending)
{
    if (hexSend)
        return output(SendLogic::hexBytes(box), false, true);
    return output(CodePage::encode(SendLogic::trimBlanks(box).append(lineEndingText(ending)),
                      m_serial.textCodePage()),
        false, false);
}

bool SendPath::output(const QByteArray& bytes, bool file, bool hex)
{
    if (m_serial.output(bytes) < 0)
        return false;
    m_lastSent = bytes;
    if (m_sentListener && !bytes.isEmpty())
        m_sentListener(bytes, file, hex);
    return true;
}

bool SendPath::chooseFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    // Read by length: a device that never ends gives nothing instead of filling memory.
    const qint64 length = file.size();
    QByteArray bytes(length, Qt::Uninitialized);
    qint64 done = 0;
    while (done < length) {
        const qint64 n = file.read(bytes.data() + done, length - done);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        done += n;
    }
    bytes.truncate(done);
    m_fileText = bytes;
    return true;
}

Message SendPath::sendFile()
{
    if (!m_serial.portOpen())
        return SendMessages::portClosed();
    if (m_fileText.isEmpty())
        return { QStringLiteral("发送的文件为空"), Message::Icon::Error };
    if (!output(SendLogic::trimBlankBytes(m_fileText), true, false))
        return SendMessages::outputFull();
    return {};
}

AutoSend::Start AutoSend::ticked(bool portOpen, QStringView periodText)
{
    if (!portOpen) {
        m_state = State::Off;
        return { true, SendMessages::portClosed(), std::nullopt };
    }
    const std::optional<qint64> period = SendLogic::readPeriod(periodText);
    if (!period || *period < 0 || *period > std::numeric_limits<qint32>::max()) {
        m_state = State::Silent; // the timer refuses it; the box stays ticked
        return {};
    }
    m_state = *period > 0 ? State::Running : State::Silent;
    return { false, {}, period };
}

AutoSend::Tick AutoSend::tick(bool sendBoxEmpty, bool portOpen) const
{
    if (sendBoxEmpty)
        return Tick::Stop;
    return portOpen ? Tick::Send : Tick::Skip;
}
