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

} // namespace

class RemoteTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_config;

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path())); }

    void codec_data()
    {
        QTest::addColumn<QByteArray>("wire"); // from the server
        // The data, what the client answers (both in hex), the replies and TelnetCodec::ComPort.
        QTest::addColumn<QString>("read");
        const auto row = [](const char* name, const QByteArray& wire, const char* read) {
            QTest::newRow(name) << wire << QString::fromLatin1(read);
        };
        // ser2net 4.3's greeting, then its answer to a baud rate.
        row("ser2net's greeting: go-ahead agreed, echo refused, COM port agreed",
            "\xff\xfb\x03\xff\xfd\x03\xff\xfb\x01\xff\xfe\x01\xff\xfd\x00\xff\xfb\x00\xff\xfd\x2c"_ba
                + sb("\x65\x00\x01\xc2\x00"_ba) + "ok"_ba,
            "6f6b|fffd03fffb03fffe01|1:0001c200|1");
        row("0xFF doubled in data and inside a subnegotiation",
            "a\xff\xff"_ba + sb("\x65\x00\x00\xff\xff\x00"_ba) + "\xff\xff\x00"_ba,
            "61ffff00||1:0000ff00|0");
        row("an unknown option refused once, however often offered",
            "\xff\xfb\x18x\xff\xfb\x18\xff\xfd\x1f\xff\xfd\x1fy"_ba, "7879|fffe18fffc1f||0");
        row("the COM port option refused", "\xff\xfe\x2c"_ba, "|||2");
        row("modem state; another option's subnegotiation and commands are ignored",
            sb("\x6b\xb0"_ba) + "\xff\xfa\x18\x00xterm\xff\xf0"_ba + "\xff\xf1\xff\xf9z"_ba,
            "7a||7:b0|0");
        // The bound is 64 bytes of payload: whatever lies beyond is data again.
        row("a subnegotiation too long is dropped, the rest read as data",
            "\xff\xfa\x2c\x65"_ba + QByteArray(63, 'a') + "bcd\xff\xf0"_ba + sb("\x67\x02"_ba),
            "626364||3:02|0");
        row("an unterminated subnegotiation ends at the next command",
            "\xff\xfa\x2c\x65\x00\xff\xfb\x03"_ba + "after"_ba, "6166746572|fffd03||0");
    }

    // Whole, cut in two at every byte, and a byte at a time: the same every way.
    void codec()
    {
        QFETCH(QByteArray, wire);
        QFETCH(QString, read);
        const auto check = [&](const QList<QByteArray>& pieces, const QString& how) {
            TelnetCodec codec;
            TelnetCodec::Read got;
            for (const QByteArray& piece : pieces)
                codec.feed(piece, got);
            QStringList replies;
            for (const TelnetCodec::Reply& reply : std::as_const(got.replies))
                replies << u"%1:%2"_s.arg(reply.command).arg(QLatin1String(reply.value.toHex()));
            const QString shown = QLatin1String(got.data.toHex() + '|' + got.answer.toHex() + '|')
                + replies.join(u' ') + u'|' + QString::number(int(codec.comPort()));
            QVERIFY2(shown == read, qPrintable(how + u": "_s + shown));
        };
        check({ wire }, u"whole"_s);
        for (qsizetype cut = 1; cut < wire.size(); ++cut)
            check({ wire.left(cut), wire.mid(cut) }, u"cut at %1"_s.arg(cut));
        QList<QByteArray> bytes;
        for (const char c : std::as_const(wire))
            bytes << QByteArray(1, c);
        check(bytes, u"byte by byte"_s);
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
        row("no port, or one past 65535", "tcp://lab-pi:65536", "");
        row("another scheme", "telnet://lab-pi:7777", "");
        row("a user or a path", "rfc2217://me@lab-pi:7777/dev/ttyS0", "");
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
        QCOMPARE(ComNames::locate(5).identity.description(), url);
        QCOMPARE(ComNames::bindForRun(url), 5);
        const int free = ComNames::bindForRun(u"tcp://lab-pi:4001"_s);
        QCOMPARE(ComNames::locate(free).path, u"tcp://lab-pi:4001"_s);
        QVERIFY(
            free > 0 && !QFileInfo(ComNames::devicesFolder() + u"/com%1"_s.arg(free)).isSymLink());
        QVERIFY(ComNames::writeLink(5, QString()).isEmpty() && ComNames::locate(5).path != url);
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
        peer->write(says);
        if (event == 0) {
            QTRY_COMPARE(received, "x\xffy"_ba);
            QVERIFY(backend->awaitedReplies() > 0);
            QTRY_COMPARE_WITH_TIMEOUT(backend->awaitedReplies(), 0, 2 * RemoteBackend::replyMs);
            QVERIFY(serial.portOpen());
            // The 线路状态 window's lights follow the server's modem-state notices.
            QVERIFY(!serial.modemLines());
            peer->write(sb("\x6b\x90"_ba)); // carrier detect and clear to send
            QTRY_VERIFY(serial.modemLines().has_value());
            const ModemLines lines = *serial.modemLines();
            QCOMPARE(QList<bool>({ lines.cts, lines.dsr, lines.dcd, lines.ri }),
                QList<bool>({ true, false, true, false }));
            return;
        }
        QTRY_COMPARE(events.value(events.size() - 1), event);
        QVERIFY(!serial.portOpen());
        QVERIFY2(serial.errorString().contains(why.arg(server.serverPort())),
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
        SerialComponent serial { std::make_unique<RemoteBackend>() };
        QVERIFY(serial.setSettings({ 2, u"9600"_s, u"N"_s, 8, u"1"_s }));
        QVERIFY(!serial.answers(serial.locate(2)));
        QTRY_VERIFY(serial.answers(serial.locate(2)));
        QVERIFY(serial.setPortOpen(true));
        QTRY_VERIFY(server.hasPendingConnections());
        QVERIFY(server.nextPendingConnection() && !server.waitForNewConnection(200));
        server.close();
        QVERIFY(serial.setPortOpen(false) && serial.setPortOpen(true));
        QTRY_COMPARE(serial.errorString(), u"无法连接 127.0.0.1:%1：连接被拒绝"_s.arg(port));
        QVERIFY(!serial.portOpen());
    }
};

QTEST_GUILESS_MAIN(RemoteTest)
#include "tst_remote.moc"
