// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The simulated device as a script uses it: started as a process, reached as COM1 through the
// real serial component, stopped by a signal or by closing its stdin.
#include "port/codepage.h"
#include "port/comnames.h"
#include "port/qtserialbackend.h"
#include "tools/simdevice/streams.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class SimDeviceTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
        QVERIFY(QDir().mkpath(ComNames::devicesFolder()));
    }

    void session_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QByteArray>("written"); // by the program
        QTest::addColumn<QByteArray>("expected"); // all the program receives
        QTest::addColumn<bool>("closeStdin"); // to stop the device, else SIGTERM
        QTest::addColumn<QByteArray>("report"); // bytes the device received and their FNV-1a 64
        QTest::addColumn<QByteArray>("locale"); // the device's
        QByteArray text(30000, Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i)
            text[i] = SimStreams::textByte(quint64(i));
        QByteArray binary(700001, Qt::Uninitialized);
        SimStreams::BinaryStream().fill(binary.data(), std::size_t(binary.size()));
        const QByteArray nothing("0 cbf29ce484222325\n");
        QTest::newRow("binary as fast as the tty takes it")
            << QStringLiteral("--quiet --send-binary 700001") << QByteArray() << binary << false
            << nothing << "C"_ba;
        QTest::newRow("paced text") << QStringLiteral("--quiet --send-text 30000 --rate 100000")
                                    << QByteArray() << text << true << nothing << "C"_ba;
        // The heartbeat reads as the program reads it by default, whatever the locale.
        const QByteArray echo("5 a430d84680aabd0b\n");
        const auto beat = [&](const char* name, const char* locale, QStringView line) {
            QTest::newRow(name) << QString() << "hello"_ba
                                << "hello" + CodePage::encode(line, CodePage::forLocale(locale))
                                << false << echo << QByteArray(locale);
        };
        beat("echo, then a GBK heartbeat each second", "zh_CN.UTF-8", u"设备心跳 #1\r\n");
        beat("Big5 heartbeat", "zh_TW.UTF-8", u"設備心跳 #1\r\n");
        beat("English heartbeat where the code page holds no Chinese", "en_US.UTF-8",
            u"device heartbeat #1\r\n");
        beat("English heartbeat under C", "C", u"device heartbeat #1\r\n");
    }

    void session()
    {
        QFETCH(QString, options);
        QFETCH(QByteArray, written);
        QFETCH(QByteArray, expected);
        QFETCH(bool, closeStdin);
        QFETCH(QByteArray, report);
        QFETCH(QByteArray, locale);
        // A stale link of the same name is replaced, and the device's own goes when it stops.
        const QString link = ComNames::devicesFolder() + QStringLiteral("/com1");
        QFile::remove(link);
        QVERIFY(QFile::link(m_dir.filePath(QStringLiteral("old-device")), link));
        const QString reportPath = m_dir.filePath(QStringLiteral("report.txt"));
        QProcess device;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(locale));
        device.setProcessEnvironment(environment);
        device.start(QString::fromUtf8(SIMDEVICE_PROGRAM),
            QStringList { QStringLiteral("--report"), reportPath, QStringLiteral("--devices"),
                ComNames::devicesFolder(), QStringLiteral("--com"), QStringLiteral("1") }
                + options.split(u' ', Qt::SkipEmptyParts));
        QTRY_VERIFY(device.canReadLine());
        QVERIFY(device.readLine().startsWith("ready "));

        QtSerialComponent serial;
        QByteArray received;
        connect(&serial, &SerialComponent::onComm, this,
            [&](int, const QByteArray& bytes) { received += bytes; });
        QVERIFY(serial.setSettings(
            { 1, QStringLiteral("115200"), QStringLiteral("N"), 8, QStringLiteral("1") }));
        QVERIFY2(serial.setPortOpen(true), qPrintable(serial.errorString()));
        serial.output(written);
        // Everything the device sends comes within seconds; a wrong count fails at once when the
        // device falls silent instead of waiting out a long timeout.
        qsizetype before = -1;
        while (received.size() < expected.size() && received.size() != before) {
            before = received.size();
            QTest::qWait(1500); // the device sends at least once a second
        }
        QVERIFY2(received.size() >= expected.size(), qPrintable(QString::number(received.size())));
        QVERIFY(received.left(expected.size()) == expected);

        closeStdin ? device.closeWriteChannel() : device.terminate();
        QVERIFY(device.waitForFinished());
        QCOMPARE(device.exitStatus(), QProcess::NormalExit);
        QCOMPARE(device.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
        QFile file(reportPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), report);
    }
};

QTEST_GUILESS_MAIN(SimDeviceTest)
#include "tst_simdevice.moc"
