// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The window on a port that ser2net serves on loopback, as a board on a lab's Raspberry Pi is
// served: COM1 is a link to the URL, ser2net holds the program side of a pseudo-terminal pair and
// the test plays the device on the other side.
#include "port/comnames.h"
#include "support/ser2net.h"
#include "support/windowfixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolTip>
#include <QtTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Ser2net::Protocol)

class Ser2netTest : public QObject, WindowFixture {
    Q_OBJECT
    std::unique_ptr<Ser2net> m_server;
    QByteArray m_received; // every byte of every receive event

    // ser2net serving a fresh pseudo-terminal as COM1, and the window on it.
    void serve(Ser2net::Protocol protocol, const std::function<void(FakePlatform&)>& before = {})
    {
        if (const QString missing = Ser2net::missing(); !missing.isEmpty())
            QSKIP(qPrintable(missing));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        pty = std::make_unique<PtyPair>();
        m_server = std::make_unique<Ser2net>();
        QVERIFY2(m_server->start(pty->slavePath(), protocol), qPrintable(m_server->output()));
        QCOMPARE(ComNames::writeLink(1, m_server->url()), QString());
        realSerial = std::make_unique<QtSerialComponent>();
        m_received.clear();
        connect(realSerial.get(), &SerialComponent::onComm, this,
            [this](int event, const QByteArray& bytes) {
                if (event == SerialComponent::EventReceive)
                    m_received += bytes;
            });
        start(before, realSerial.get());
        QCOMPARE(shown("TxtStatus"), u"串口：COM1 打开，9600,N,8,1"_s);
    }

    QString statusTip() const
    {
        QWidget* status = control("TxtStatus");
        QHelpEvent help(QEvent::ToolTip, QPoint(4, 4), status->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(status, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }

private Q_SLOTS:
    void cleanup()
    {
        QVERIFY(finish());
        m_server.reset();
        pty.reset();
    }

    // Every byte value both ways, a MiB each way, counted as the window counts. Raw TCP says in the
    // status tooltip whose settings count.
    void bytesBothWays_data()
    {
        QTest::addColumn<Ser2net::Protocol>("protocol");
        QTest::newRow("RFC 2217") << Ser2net::Protocol::Rfc2217;
        QTest::newRow("raw TCP") << Ser2net::Protocol::RawTcp;
    }

    void bytesBothWays()
    {
        QFETCH(Ser2net::Protocol, protocol);
        serve(protocol);
        QByteArray every;
        for (int value = 0; value < 256; ++value)
            every.append(char(value));
        const QByteArray mebibyte = every.repeated(4096);
        QVERIFY(pty->writePumping(mebibyte));
        QTRY_COMPARE(m_received.size(), mebibyte.size());
        QCOMPARE(m_received, mebibyte);
        QTRY_COMPARE(window->receivedCount(), mebibyte.size());

        QCOMPARE(realSerial->output(mebibyte), mebibyte.size());
        QCOMPARE(pty->readPumping(mebibyte.size()), mebibyte);
        QTRY_COMPARE(window->sentCount(), mebibyte.size());
        QCOMPARE(statusTip().contains(u"只传字节，波特率等参数和线路控制由服务器决定"_s),
            protocol == Ser2net::Protocol::RawTcp);
    }

    // A pseudo-terminal keeps the speed, stop bits and parity sense it is given, but always
    // reports 8 data bits and parity off; ser2net's echo of 7 data bits shows in the port staying
    // open with the status a pick gives.
    void settingsReachTheDevice_data()
    {
        QTest::addColumn<QString>("parity");
        QTest::addColumn<uint>("flags"); // of PARODD, CMSPAR and CSTOPB
        QTest::newRow("odd, 2 stop bits") << u"ODD"_s << uint(PARODD | CSTOPB);
        QTest::newRow("mark") << u"MARK"_s << uint(PARODD | CMSPAR | CSTOPB);
    }

    void settingsReachTheDevice()
    {
        QFETCH(QString, parity);
        QFETCH(uint, flags);
        serve(Ser2net::Protocol::Rfc2217);
        pick("CboBaudrate", u"19200"_s);
        pick("CboDatabit", u"7"_s);
        pick("CboStopbit", u"2"_s);
        pick("CboParitybit", parity);
        const auto line = [this] {
            const termios tty = pty->attributes();
            return u"%1 %2"_s.arg(cfgetospeed(&tty)).arg(tty.c_cflag & (PARODD | CMSPAR | CSTOPB));
        };
        QTRY_COMPARE(line(), u"%1 %2"_s.arg(B19200).arg(flags));
        // ser2net echoed each setting before it set the line, so the echoes were read before
        // anything the device sends now.
        QVERIFY(pty->write("after"));
        QTRY_COMPARE(m_received, "after"_ba);
        QCOMPARE(indicators(),
            u"串口状态：COM1 OPEND，19200,%1,7,2 | 关闭串口 | red"_s.arg(parity.at(0)));
    }

    // ser2net on a pseudo-terminal never answers DTR or RTS: the menu works, and the data does not
    // wait for the reply that never comes.
    void lineControlWithoutAnswers()
    {
        serve(Ser2net::Protocol::Rfc2217);
        choose(rightClick(control("Frame1")), u"DTR"_s);
        choose(rightClick(control("Frame1")), u"RTS"_s);
        QVERIFY(pty->write("still here"));
        QTRY_COMPARE(m_received, "still here"_ba);
    }

    // Killed, the server's port shows lost and the timed send stops counting; started again, the
    // port re-opens within 2 s of ser2net listening and the timed send goes on there.
    void serverKilledAndRestarted()
    {
        serve(Ser2net::Protocol::Rfc2217);
        control<QPlainTextEdit>("TxtSend")->setPlainText(u"ping"_s);
        type("TxtAutoSendTime", u"50"_s);
        click("ChkAutoSend");
        QCOMPARE(pty->readPumping(8).left(8), "pingping"_ba);
        m_server->kill();
        QTRY_COMPARE(indicators(), u"串口状态：COM Port 关闭 | 打开串口 | dark"_s);
        QCOMPARE(statusTip(), u"等待 COM1 原设备 (%1) 重新连接"_s.arg(m_server->url()));
        // While nobody answers, the watch's tries open nothing: the status line stays as it is.
        const qint64 sentWhileLost = window->sentCount();
        QStringList shownWhileLost;
        const auto tap = connect(control<QLineEdit>("TxtStatus"), &QLineEdit::textChanged, this,
            [&](const QString& text) { shownWhileLost << text; });
        (void)pty->readPumping(1 << 20, 3 * DeviceWatch::pollMs);
        disconnect(tap);
        QCOMPARE(shownWhileLost, QStringList());
        QCOMPARE(window->sentCount(), sentWhileLost);

        QVERIFY(m_server->restart());
        QElapsedTimer sinceListening;
        sinceListening.start();
        QTRY_COMPARE_WITH_TIMEOUT(
            indicators(), u"串口：COM1 打开，9600,N,8,1 | 关闭串口 | red"_s, 2000);
        qInfo("re-opened %lld ms after ser2net listened again", sinceListening.elapsed());
        QCOMPARE(pty->readPumping(8).left(8), "pingping"_ba);
        QVERIFY(window->sentCount() > sentWhileLost);
    }

    // 远程串口… binds a COM number to a URL and lists what each number names; the port box's
    // tooltip then names the URL.
    void remoteDialog()
    {
        serve(Ser2net::Protocol::RawTcp);
        choose(rightClick(control("Frame1")), u"远程串口…"_s);
        QWidget* dialog = nullptr;
        QTRY_VERIFY((dialog = window->findChild<QWidget*>(u"FrmRemote"_s)) && dialog->isVisible());
        auto* names = dialog->findChild<QListWidget*>(u"LstComNames"_s);
        QCOMPARE(names->item(0)->text(), u"COM1 → "_s + m_server->url());
        QTest::mouseClick(
            names->viewport(), Qt::LeftButton, {}, names->visualItemRect(names->item(2)).center());
        QTest::keyClicks(
            dialog->findChild<QLineEdit*>(u"TxtRemoteUrl"_s), u"rfc2217://lab-pi:7777"_s);
        QTest::mouseClick(dialog->findChild<QPushButton*>(u"CmdBind"_s), Qt::LeftButton);
        QCOMPARE(names->item(2)->text(), u"COM3 → rfc2217://lab-pi:7777"_s);
        QTest::mouseClick(dialog->findChild<QPushButton*>(u"CmdCloseRemote"_s), Qt::LeftButton);
        window->activateWindow();
        type("CboCom", u"COM3"_s);
        QCOMPARE(
            control<QComboBox>("CboCom")->lineEdit()->toolTip(), u"COM3 → rfc2217://lab-pi:7777"_s);
    }
};

QTEST_MAIN(Ser2netTest)
#include "tst_ser2net.moc"
