#pragma once

#include "app/platform.h"
#include "port/serialcomponent.h"

#include <QList>

// A serial component that records what the window does to it and can be told to deliver bytes,
// refuse an open or lose its device.
class FakeSerial : public SerialComponent {
    Q_OBJECT
public:
    using SerialComponent::SerialComponent;

    void setCommPort(int port) override;
    int commPort() const override { return m_commPort; }
    void setSettings(const QString& settings) override;
    QString settings() const override { return m_settings; }
    void setInBufferSize(int size) override { inBufferSize = size; }
    void setOutBufferSize(int size) override { outBufferSize = size; }
    void setSThreshold(int threshold) override { sThreshold = threshold; }
    void setRThreshold(int threshold) override { rThreshold = threshold; }
    void setInBufferCount(int count) override;
    void setOutBufferCount(int) override { }
    qint64 inBufferCount() const override { return m_waiting.size(); }
    void setPortOpen(bool open) override;
    bool portOpen() const override { return m_open; }
    void setInputMode(int mode) override { m_inputMode = mode; }
    int inputMode() const override { return m_inputMode; }
    void output(const QString& text) override;
    void output(const QByteArray& bytes) override;
    QString inputText(qint64* byteCount = nullptr) override;
    QByteArray inputBytes() override;

    // Test controls
    // Bytes arrive; raises the receive event unless told not to.
    void deliver(const QByteArray& bytes, bool raiseEvent = true);
    // Raises an event of the given code as the component would.
    void raise(int code) { raiseComm(code); }
    // The device goes away: the port closes and the loss event is raised.
    void loseDevice();

    // Opens of these ports are refused with SerialError; refuseAll refuses every open.
    QList<int> absentPorts;
    bool refuseAll = false;
    // Opens that succeed without error but leave the port closed.
    bool openSilentlyFails = false;

    struct Write {
        QByteArray bytes;
        bool wasText = false;
        int inputMode = 0;
    };
    QList<Write> writes;
    QByteArray written() const; // every byte written, in order
    QStringList calls; // "CommPort=1", "Settings=9600,N,8,1", "PortOpen=true", ...
    int inBufferSize = 0;
    int outBufferSize = 0;
    int sThreshold = 0;
    int rThreshold = 0;
    int openCount = 0;

private:
    int m_commPort = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    bool m_open = false;
    int m_inputMode = InputText;
    QByteArray m_waiting;
};

// Answers every box at once and remembers what was asked.
class FakeDialogs : public Dialogs {
public:
    struct Message {
        QString text;
        QString title;
        Icon icon;
        Buttons buttons;
    };
    Answer message(QWidget* parent, const QString& text, const QString& title, Icon icon,
        Buttons buttons) override;
    QString openFile(QWidget* parent, const QString& filter) override;
    QString chooseFolder(QWidget* parent, const QString& title, const QString& startDir) override;

    QList<Message> messages;
    Answer answer = Answer::Ok;
    // Called when a message box would show (for checks made at that moment).
    std::function<void(const Message&)> onMessage;
    QString nextFile; // empty: the user cancels
    QString lastFilter;
    QString nextFolder; // empty: the user cancels
    QString lastFolderTitle;
    QString lastFolderStart;
    int fileDialogs = 0;
    int folderDialogs = 0;
};

class FakeUrlOpener : public UrlOpener {
public:
    void open(const QUrl& url) override { opened.append(url); }
    QList<QUrl> opened;
};

class FakeClock : public Clock {
public:
    QDateTime now() const override { return time.isValid() ? time : QDateTime::currentDateTime(); }
    int saveNoticeMs() const override { return noticeMs; }
    QDateTime time;
    int noticeMs = 50;
};

// One of each fake, ready to hand to a window.
struct FakePlatform {
    FakeSerial serial;
    FakeDialogs dialogs;
    FakeUrlOpener urlOpener;
    FakeClock clock;
    Platform platform() { return { &serial, &dialogs, &urlOpener, &clock }; }
};
