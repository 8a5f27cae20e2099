// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The real window on the real serial component over a pseudo-terminal: COM1 is a link to its
// program side in a private devices folder, and the test plays the device on the other side.
#include "port/codepage.h"
#include "support/windowfixture.h"

#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <thread>

using namespace Qt::StringLiterals;

class EndToEndTest : public QObject, WindowFixture {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // A Chinese desktop, before anything asks for the code page.
        qputenv("LC_ALL", "zh_CN.UTF-8");
        QCOMPARE(CodePage::system(), "GBK"_ba);
    }

    void cleanup()
    {
        QVERIFY(finish());
        CodePage::setSystemOverride(QByteArray());
    }

    // At full speed the display and the count hold exactly what was fed.
    void fullSpeedFeed_data()
    {
        QTest::addColumn<QByteArray>("codePage");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QByteArray>("unit"); // repeated to 4 MiB
        // An odd length puts the two-byte characters across the boundaries of the reads.
        QTest::newRow("GBK text, all three line breaks")
            << "GBK"_ba << false << "\xb4\xae\xbf\xda abc\r\n\xb5\xf7\xca\xd4\n1\r"_ba;
        QByteArray every;
        for (int value = 0; value < 256; ++value)
            every.append(char(value));
        QTest::newRow("every byte value in the hex display") << "UTF-8"_ba << true << every;
    }

    void fullSpeedFeed()
    {
        QFETCH(QByteArray, codePage);
        QFETCH(bool, hex);
        QFETCH(QByteArray, unit);
        CodePage::setSystemOverride(codePage); // the component takes it when it is made
        startOnPty();
        if (hex)
            click("ChkHexReceive");
        const QByteArray fed = unit.repeated(4 * 1024 * 1024 / unit.size() + 1);
        QVERIFY(pty->writePumping(fed));
        QVERIFY(pty->drainPumping());
        QCOMPARE(window->receivedCount(), qint64(fed.size()));
        const QString expected
            = hex ? QString::fromLatin1(fed.toHex(' ').toUpper() + ' ') : CodePage::decode(fed);
        const QString display = shown("TxtReceive");
        // Compared from the first difference: a failure message of megabytes would help no one.
        const qsizetype at
            = std::mismatch(display.cbegin(), display.cend(), expected.cbegin(), expected.cend())
                  .first
            - display.cbegin();
        QCOMPARE(display.mid(at, 40), expected.mid(at, 40));
        QCOMPARE(display.size(), expected.size());
        QTRY_COMPARE(shown("TxtRXCount"), u"RX:%1"_s.arg(fed.size())); // shown on a later frame
    }

    void sends_data()
    {
        QTest::addColumn<QString>("box"); // null: as start-up filled it
        QTest::addColumn<QString>("way"); // the send button, "hex" or "file"
        QTest::addColumn<QByteArray>("bytes"); // for a file, its content too
        QTest::newRow("start-up text in GBK")
            << QString() << QString()
            << QByteArray::fromHex("d4dab4cbb4a6cae4c8ebd2aab7a2cbcdb5c4cafdbedd");
        QTest::newRow("lines joined by CR LF, nothing after")
            << u"one\ntwo\nthree"_s << QString() << "one\r\ntwo\r\nthree"_ba;
        QTest::newRow("file of bytes that are not GBK")
            << QString() << u"file"_s << QByteArray("\x80\xff\x00\xa1\x81\x30\xfe", 7);
    }

    void sends()
    {
        QFETCH(QString, box);
        QFETCH(QString, way);
        QFETCH(QByteArray, bytes);
        startOnPty();
        if (!box.isNull())
            control<QPlainTextEdit>("TxtSend")->setPlainText(box);
        if (way == u"hex")
            click("ChkHexSend");
        if (way == u"file") {
            QFile chosen(config.filePath(u"file.txt"_s));
            QVERIFY(chosen.open(QIODevice::WriteOnly) && chosen.write(bytes) == bytes.size());
            chosen.close();
            fakes->dialogs.nextFile = chosen.fileName();
            click("CmdSelectFile");
        }
        click(way == u"file" ? "CmdSendFile" : "CmdSend");
        QCOMPARE(pty->readPumping(bytes.size()), bytes);
        QTRY_COMPARE(window->sentCount(), bytes.size());
        QCOMPARE(pty->readAvailable(), QByteArray());
    }

    // A device that writes each reply a byte or so at a time, a few ms apart, as one answering
    // from an interrupt does: every reply is one frame on a line of its own, while a quiet line's
    // read gathering would hold the rest of the reply back for a "gap" of its own making.
    void tricklingReplies_data()
    {
        QTest::addColumn<QByteArray>("view"); // the protocol view's remembered choices
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QByteArray>("reply"); // written a byte every 3 ms
        QTest::newRow("hex, 20 ms frames")
            << "frame-ms=20"_ba << true << "\x11\x22\x33\x44\x55\x66"_ba;
        QTest::newRow("hex, stamps alone: frames at 50 ms") << ""_ba << true << "\x11\x22\x33"_ba;
        QTest::newRow("text, 20 ms frames") << "frame-ms=20"_ba << false << "ABC"_ba;
    }

    void tricklingReplies()
    {
        QFETCH(QByteArray, view);
        QFETCH(bool, hex);
        QFETCH(QByteArray, reply);
        const QString options = config.filePath(u"view.conf"_s);
        QFile file(options);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[view]\ntimestamps=true\n" + view));
        file.close();
        startOnPty([&](FakePlatform& fakes) { fakes.optionsFile = options; });
        if (hex)
            click("ChkHexReceive");
        const QString stamped = u"\\[\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\] "_s
            + QRegularExpression::escape(hex ? QString::fromLatin1(reply.toHex(' ').toUpper() + ' ')
                                             : QString::fromLatin1(reply));
        const QRegularExpression twoReplies(u"^"_s + stamped + u"\n"_s + stamped + u"$"_s);
        // A device the machine kept waiting past the frame gap wrote no trickle: it tries again.
        for (int attempt = 0;; ++attempt) {
            click("CmdClearReceive");
            const qint64 expected = window->receivedCount() + 2 * reply.size();
            std::chrono::steady_clock::duration late {};
            std::thread device([&] {
                auto next = std::chrono::steady_clock::now();
                for (int k = 0; k < 2 * reply.size(); ++k) {
                    std::this_thread::sleep_until(next);
                    late = std::max(late, std::chrono::steady_clock::now() - next);
                    (void)pty->write(reply.mid(k % reply.size(), 1));
                    next += std::chrono::milliseconds(k == reply.size() - 1 ? 150 : 3);
                }
            });
            const bool arrived
                = QTest::qWaitFor([&] { return window->receivedCount() >= expected; });
            device.join();
            QVERIFY(arrived);
            if (late < std::chrono::milliseconds(12) || attempt == 3)
                break;
        }
        QVERIFY2(twoReplies.match(shown("TxtReceive")).hasMatch(), qPrintable(shown("TxtReceive")));
    }

    // A send every millisecond to a device that stops reading: the queue stays within one output
    // buffer, and after the untick only what was queued comes out, all of it counted.
    void autoSendToAReaderThatPauses()
    {
        startOnPty();
        control<QPlainTextEdit>("TxtSend")->setPlainText(QString(200, u'a'));
        type("TxtAutoSendTime", u"1"_s);
        qint64 mostPending = 0;
        QTimer sample;
        connect(&sample, &QTimer::timeout, this,
            [&] { mostPending = std::max(mostPending, realSerial->outBufferCount()); });
        sample.start(0);
        click("ChkAutoSend");
        QTRY_VERIFY(realSerial->outBufferCount() > 4096 - 200); // the pty is full, the queue too
        click("ChkAutoSend");
        // What the device side holds already, then what the program still had queued.
        const qsizetype delivered = pty->readAvailable().size();
        const qint64 queued = realSerial->outBufferCount();
        QCOMPARE(pty->readPumping(queued + 1, 500).size(), queued);
        QTRY_COMPARE(window->sentCount(), delivered + queued);
        QCOMPARE((delivered + queued) % 200, 0);
        QVERIFY(mostPending <= 4096);
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_e2e.moc"
