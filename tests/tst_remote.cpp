// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// A remote port's rules: the telnet reader fed every split, the URL, COM links that hold one, and
// the remote backend against servers of the test's own that answer wrongly or not at all.
// (ser2net itself is in tst_ser2net.)
#include "port/comnames.h"
#include "port/remotebackend.h"
#include "port/serialcomponent.h"
#include "port/telnetcodec.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray sb(const QByteArray& payload) { return "\xff\xfa\x2c"_ba + payload + "\xff\xf0"_ba; }

// "1:0001c200 7:b0", the replies in order.
QString render(const QList<TelnetCodec::Reply>& replies)
{
    QStringList parts;
    for (const TelnetCodec::Reply& reply : replies)
        parts << u"%1:%2"_s.arg(reply.command).arg(QString::fromLatin1(reply.value.toHex()));
    return parts.join(u' ');
}

} // namespace

class RemoteTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_config;

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path())); }

    void codec_data()
    {
        QTest::addColumn<QByteArray>("wire"); // from the server
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("answer"); // what the client sends back
        QTest::addColumn<QString>("replies");
        QTest::addColumn<int>("comPort"); // TelnetCodec::ComPort
        // ser2net 4.3's greeting, then its answer to a baud rate.
        QTest::newRow("ser2net's greeting: go-ahead agreed, echo refused, COM port agreed")
            << "\xff\xfb\x03\xff\xfd\x03\xff\xfb\x01\xff\xfe\x01\xff\xfd\x00\xff\xfb\x00\xff\xfd\x2c"_ba
                + sb("\x65\x00\x01\xc2\x00"_ba) + "ok"_ba
            << "ok"_ba
            << "\xff\xfd\x03\xff\xfb\x03\xff\xfe\x01"_ba << u"1:0001c200"_s << 1;
        QTest::newRow("0xFF doubled in data and inside a subnegotiation")
            << "a\xff\xff"_ba + sb("\x65\x00\x00\xff\xff\x00"_ba) + "\xff\xff\x00"_ba
            << "a\xff\xff\x00"_ba << QByteArray() << u"1:0000ff00"_s << 0;
        QTest::newRow("an unknown option refused once, however often offered")
            << "\xff\xfb\x18x\xff\xfb\x18\xff\xfd\x1f\xff\xfd\x1fy"_ba
            << "xy"_ba
            << "\xff\xfe\x18\xff\xfc\x1f"_ba << QString() << 0;
        QTest::newRow("the COM port option refused")
            << "\xff\xfe\x2c"_ba << QByteArray() << QByteArray() << QString() << 2;
        QTest::newRow("modem state; another option's subnegotiation and commands are ignored")
            << sb("\x6b\xb0"_ba) + "\xff\xfa\x18\x00xterm\xff\xf0"_ba + "\xff\xf1\xff\xf9z"_ba
            << "z"_ba << QByteArray() << u"7:b0"_s << 0;
        // The bound is 64 bytes of payload: whatever lies beyond is data again.
        QTest::newRow("a subnegotiation too long is dropped, the rest read as data")
            << "\xff\xfa\x2c\x65"_ba + QByteArray(63, 'a') + "bcd\xff\xf0"_ba + sb("\x67\x02"_ba)
            << "bcd"_ba << QByteArray() << u"3:02"_s << 0;
        QTest::newRow("an unterminated subnegotiation ends at the next command")
            << "\xff\xfa\x2c\x65\x00\xff\xfb\x03"_ba + "after"_ba
            << "after"_ba
            << "\xff\xfd\x03"_ba << QString() << 0;
        QTest::newRow("a reply with no value; a client command's echo is not a reply")
            << sb("\x70"_ba) + sb("\x01\x00\x00\x25\x80"_ba) << QByteArray() << QByteArray()
            << u"12:"_s << 0;
    }

    // Whole, cut in two at every byte, and a byte at a time: the same every way.
    void codec()
    {
        QFETCH(QByteArray, wire);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, answer);
        QFETCH(QString, replies);
        QFETCH(int, comPort);
        const auto check = [&](const QList<QByteArray>& pieces, const QString& how) {
            TelnetCodec codec;
            TelnetCodec::Read read;
            for (const QByteArray& piece : pieces)
                codec.feed(piece, read);
            const QString got = QString::fromLatin1(read.data.toHex() + '|' + read.answer.toHex())
                + u'|' + render(read.replies) + u'|' + QString::number(int(codec.comPort()));
            const QString expected = QString::fromLatin1(data.toHex() + '|' + answer.toHex()) + u'|'
                + replies + u'|' + QString::number(comPort);
            QVERIFY2(got == expected, qPrintable(how + u": "_s + got));
        };
        check({ wire }, u"whole"_s);
        for (qsizetype cut = 1; cut < wire.size(); ++cut)
            check({ wire.left(cut), wire.mid(cut) }, u"cut at %1"_s.arg(cut));
        QList<QByteArray> bytes;
        for (const char c : std::as_const(wire))
            bytes << QByteArray(1, c);
        check(bytes, u"byte by byte"_s);
    }

    // A server that floods the same negotiations and subnegotiations that never end gets nothing
    // back after the first answer, holds nothing back and keeps the data flowing.
    void codecUnderFlood()
    {
        TelnetCodec codec;
        TelnetCodec::Read read;
        const QByteArray flood = "\xff\xfb\x01\xff\xfd\x05"_ba.repeated(10000)
            + "\xff\xfa\x2c\x65"_ba + QByteArray(100000, 'x');
        codec.feed(flood, read);
        QCOMPARE(read.answer, "\xff\xfe\x01\xff\xfc\x05"_ba);
        QCOMPARE(read.data.size(), 100000 - TelnetCodec::maxSubnegotiation + 1);
        QCOMPARE(TelnetCodec::escaped("a\xff\xff"_ba), "a\xff\xff\xff\xff"_ba);
        QCOMPARE(TelnetCodec::command(TelnetCodec::SetBaudRate, "\x00\x00\xff\x00"_ba),
            sb("\x01\x00\x00\xff\xff\x00"_ba));
    }

    void url_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parsed"); // "kind address", empty when refused
        const auto row = [](const char* name, const char* text, const char* parsed) {
            QTest::newRow(name) << QString::fromLatin1(text) << QString::fromLatin1(parsed);
        };
        row("RFC 2217 by name", "rfc2217://lab-pi:7777", "rfc2217 lab-pi:7777");
        row("raw TCP, scheme in capitals, a closing slash", "TCP://10.0.0.2:4001/",
            "tcp 10.0.0.2:4001");
        row("IPv6 in brackets", "rfc2217://[fe80::1%eth0]:7777", "rfc2217 [fe80::1%eth0]:7777");
        row("brackets around a name", "rfc2217://[lab-pi]:7777", "");
        row("no port", "rfc2217://lab-pi", "");
        row("port past 65535", "tcp://lab-pi:65536", "");
        row("another scheme", "telnet://lab-pi:7777", "");
        row("a user or a path", "rfc2217://me@lab-pi:7777/dev/ttyS0", "");
        row("no host", "rfc2217://:7777", "");
    }

    void url()
    {
        QFETCH(QString, text);
        QFETCH(QString, parsed);
        const std::optional<RemoteUrl> url = RemoteUrl::parse(text);
        const QString got = url
            ? (url->kind == RemoteUrl::Kind::Rfc2217 ? u"rfc2217 "_s : u"tcp "_s) + url->address()
            : QString();
        QCOMPARE(got, parsed);
    }

    // A link holds a URL as its text; the number is the URL's, as a link pins a device's. --com
    // with a URL takes a free number for the run and writes nothing.
    void linksToUrls()
    {
        const QString url = u"rfc2217://lab-pi:7777"_s;
        QCOMPARE(ComNames::writeLink(5, url), QString());
        const ComDevice device = ComNames::locate(5);
        QCOMPARE(device.path, url);
        QCOMPARE(device.identity.description(), url);
        QCOMPARE(ComNames::bindForRun(url), 5);
        const int free = ComNames::bindForRun(u"tcp://lab-pi:4001"_s);
        QCOMPARE(ComNames::locate(free).path, u"tcp://lab-pi:4001"_s);
        QVERIFY(
            free > 0 && !QFileInfo(ComNames::devicesFolder() + u"/com%1"_s.arg(free)).isSymLink());
        QCOMPARE(ComNames::writeLink(5, QString()), QString());
        QVERIFY(!QFileInfo(ComNames::devicesFolder() + u"/com5"_s).isSymLink());
        QFile plain(ComNames::devicesFolder() + u"/com6"_s);
        QVERIFY(plain.open(QIODevice::WriteOnly));
        QVERIFY(ComNames::writeLink(6, url).contains(u"不是链接"_s));
        QVERIFY(plain.exists());
    }

    // Servers of the test's own, each wrong in one way. What the client says first is checked
    // whole: the options, the four settings in order, then flow control, DTR and RTS.
    void scriptedServer_data()
    {
        QTest::addColumn<QByteArray>("says"); // what the server sends once connected
        QTest::addColumn<int>("event"); // the component's event after it, 0 for none
        QTest::addColumn<QString>("why"); // in errorString() after a failure
        QTest::newRow("never answers: nothing waits, data flows both ways")
            << "x\xff\xffy"_ba << 0 << QString();
        QTest::newRow("sets another baud rate: the open fails and says which")
            << sb("\x65\x00\x00\x25\x80"_ba) << int(SerialComponent::EventOpenFailed)
            << u"127.0.0.1:%1 把波特率设为 9600，不是所要的 115200"_s;
        QTest::newRow("refuses the COM port option")
            << "\xff\xfe\x2c"_ba << int(SerialComponent::EventOpenFailed)
            << u"不接受 RFC 2217 的设置，可改用 tcp://127.0.0.1:%1"_s;
        QTest::newRow("closes the connection: a lost device")
            << "close"_ba << int(SerialComponent::EventDeviceLost) << QString();
    }

    void scriptedServer()
    {
        QFETCH(QByteArray, says);
        QFETCH(int, event);
        QFETCH(QString, why);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QString url = u"rfc2217://127.0.0.1:%1"_s.arg(server.serverPort());
        QCOMPARE(ComNames::writeLink(1, url), QString());
        auto* backend = new RemoteBackend;
        SerialComponent serial { std::unique_ptr<SerialBackend>(backend) };
        QList<int> events;
        QByteArray received;
        connect(&serial, &SerialComponent::onComm, this, [&](int code, const QByteArray& bytes) {
            events << code;
            received += bytes;
        });
        QVERIFY(serial.setSettings({ 1, u"115200"_s, u"O"_s, 7, u"2"_s }));
        QVERIFY(serial.setPortOpen(true));
        // Written while connecting: it waits for the connection, behind the settings.
        QCOMPARE(serial.output("ab\xff"_ba), 3);
        QVERIFY(server.waitForNewConnection(3000));
        QTcpSocket* peer = server.nextPendingConnection();
        const QByteArray opening = "\xff\xfb\x2c\xff\xfb\x00\xff\xfd\x00"_ba
            + sb("\x01\x00\x01\xc2\x00"_ba) + sb("\x02\x07"_ba) + sb("\x03\x02"_ba)
            + sb("\x04\x02"_ba) + sb("\x05\x01"_ba) + sb("\x05\x08"_ba) + sb("\x05\x0b"_ba);
        QByteArray heard;
        QTRY_COMPARE(heard += peer->readAll(), opening + "ab\xff\xff"_ba);
        QVERIFY(backend->isConnected());
        if (says == "close")
            peer->close();
        else
            peer->write(says);
        if (event == 0) {
            QTRY_COMPARE(received, "x\xffy"_ba);
            QVERIFY(backend->awaitedReplies() > 0);
            QTRY_COMPARE_WITH_TIMEOUT(backend->awaitedReplies(), 0, 2 * RemoteBackend::replyMs);
            QVERIFY(serial.portOpen());
            return;
        }
        QTRY_COMPARE(events.value(events.size() - 1), event);
        QVERIFY(!serial.portOpen());
        QVERIFY2(why.isEmpty() || serial.errorString().contains(why.arg(server.serverPort())),
            qPrintable(serial.errorString()));
    }

    // The watch's question tries a connection and the open that follows takes it: the server's
    // device opens once. Nobody listening: the open fails with the reason, never blocking.
    void probeAndRefusal()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const quint16 port = server.serverPort();
        QCOMPARE(ComNames::writeLink(2, u"tcp://127.0.0.1:%1"_s.arg(port)), QString());
        auto* backend = new RemoteBackend;
        SerialComponent serial { std::unique_ptr<SerialBackend>(backend) };
        const ComDevice device = serial.locate(2);
        QVERIFY(!serial.answers(device));
        QTRY_VERIFY(serial.answers(device));
        QVERIFY(
            serial.setSettings({ 2, u"9600"_s, u"N"_s, 8, u"1"_s }) && serial.setPortOpen(true));
        QTRY_VERIFY(backend->isConnected());
        QVERIFY(server.nextPendingConnection());
        QVERIFY(!server.hasPendingConnections());
        QVERIFY(serial.lineControls() == SerialBackend::LineControls());
        QVERIFY(serial.setPortOpen(false));

        server.close();
        QList<int> events;
        connect(&serial, &SerialComponent::onComm, this, [&](int code) { events << code; });
        QVERIFY(serial.setPortOpen(true));
        QTRY_COMPARE(events, QList<int> { SerialComponent::EventOpenFailed });
        QCOMPARE(serial.errorString(), u"无法连接 127.0.0.1:%1：连接被拒绝"_s.arg(port));
    }
};

QTEST_GUILESS_MAIN(RemoteTest)
#include "tst_remote.moc"
