#include "support/fakes.h"

#include "port/codepage.h"

void FakeSerial::setCommPort(int port)
{
    if (m_open)
        throw SerialError("CommPort written while open");
    m_commPort = port;
    calls << QStringLiteral("CommPort=%1").arg(port);
}

void FakeSerial::setSettings(const QString& settings)
{
    if (m_open)
        throw SerialError("Settings written while open");
    m_settings = settings;
    calls << QStringLiteral("Settings=") + settings;
}

void FakeSerial::setInBufferCount(int count)
{
    if (count == 0)
        m_waiting.clear();
}

void FakeSerial::setPortOpen(bool open)
{
    calls << (open ? QStringLiteral("PortOpen=true") : QStringLiteral("PortOpen=false"));
    if (!open) {
        m_open = false;
        return;
    }
    if (m_open)
        throw SerialError("already open");
    if (refuseAll || absentPorts.contains(m_commPort) || m_commPort == 0)
        throw SerialError("absent");
    if (openSilentlyFails)
        return;
    m_open = true;
    ++openCount;
}

void FakeSerial::output(const QString& text)
{
    if (!m_open)
        throw SerialError("port closed");
    writes.append({ CodePage::encode(text), true, m_inputMode });
}

void FakeSerial::output(const QByteArray& bytes)
{
    if (!m_open)
        throw SerialError("port closed");
    writes.append({ bytes, false, m_inputMode });
}

QString FakeSerial::inputText(qint64* byteCount)
{
    if (byteCount)
        *byteCount = m_waiting.size();
    const QString text = CodePage::decode(m_waiting);
    m_waiting.clear();
    return text;
}

QByteArray FakeSerial::inputBytes()
{
    QByteArray bytes;
    bytes.swap(m_waiting);
    return bytes;
}

void FakeSerial::deliver(const QByteArray& bytes, bool raiseEvent)
{
    m_waiting += bytes;
    if (raiseEvent)
        raiseComm(EventReceive);
}

void FakeSerial::loseDevice()
{
    m_open = false;
    raiseComm(EventDeviceLost);
}

QByteArray FakeSerial::written() const
{
    QByteArray all;
    for (const Write& write : writes)
        all += write.bytes;
    return all;
}

Dialogs::Answer FakeDialogs::message(
    QWidget*, const QString& text, const QString& title, Icon icon, Buttons buttons)
{
    messages.append({ text, title, icon, buttons });
    if (onMessage)
        onMessage(messages.last());
    return answer;
}

QString FakeDialogs::openFile(QWidget*, const QString& filter)
{
    ++fileDialogs;
    lastFilter = filter;
    return nextFile;
}

QString FakeDialogs::chooseFolder(QWidget*, const QString& title, const QString& startDir)
{
    ++folderDialogs;
    lastFolderTitle = title;
    lastFolderStart = startDir;
    return nextFolder;
}
