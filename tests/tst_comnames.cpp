// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/adapterlatency.h"
#include "port/comnames.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

class ComNamesTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
        QVERIFY(ComNames::devicesFolder().startsWith(m_dir.path()));
    }

    void orderPresent_data()
    {
        QTest::addColumn<QString>("names");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* names, const char* expected) {
            QTest::newRow(name) << QString::fromLatin1(names) << QString::fromLatin1(expected);
        };
        row("on-board by number, not by text", "ttyS10 ttyS2 ttyS0", "ttyS0 ttyS2 ttyS10");
        row("on-board, USB serial, modem class, then the rest by name and number",
            "rfcomm0 ttyACM0 ttyAMA10 ttyUSB10 ttyAMA2 ttyUSB1 ttyS3",
            "ttyS3 ttyUSB1 ttyUSB10 ttyACM0 rfcomm0 ttyAMA2 ttyAMA10");
        row("longer name like ttyS is not on-board", "ttySAC0 ttyS1", "ttyS1 ttySAC0");
        row("paths by last part", "/dev/ttyUSB0 /dev/ttyS1", "/dev/ttyS1 /dev/ttyUSB0");
    }

    void orderPresent()
    {
        QFETCH(QString, names);
        QFETCH(QString, expected);
        QCOMPARE(ComNames::orderPresent(names.split(u' ')), expected.split(u' '));
    }

    void locate_data()
    {
        QTest::addColumn<QString>("link"); // "comN=file", the file made if its folder exists
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>(
            "expected"); // the linked file's name or a present port (identity)
        const auto row = [](const char* name, const char* link, int port, const char* to) {
            QTest::newRow(name) << QString::fromLatin1(link) << port << QString::fromLatin1(to);
        };
        row("a link wins, known by its target as written", "com1=adapter", 1, "adapter (hop)");
        row("no link: present ports in COM order, known by name", "", 1, "/dev/ttyS0 (ttyS0)");
        row("a link for another number changes nothing; USB known by serial number", "com1=adapter",
            2, "/dev/ttyUSB0 (USB 0403:6001 A10K1234)");
        row("USB without a serial number: known by name", "", 3, "/dev/ttyUSB3 (ttyUSB3)");
        row("beyond the present ports", "", 4, " ()");
        row("a dangling link keeps its number absent", "com1=gone/adapter", 1, " ()");
        row("port 0, even with a link", "com0=adapter", 0, " ()");
    }

    void locate()
    {
        QFETCH(QString, link);
        QFETCH(int, port);
        QFETCH(QString, expected);
        const QString devices = ComNames::devicesFolder();
        QVERIFY(QDir(devices).removeRecursively() && QDir().mkpath(devices));
        if (!link.isEmpty()) {
            // Through a second link, as /dev/serial/by-id gives: the port names the device itself.
            const QString target = m_dir.filePath(link.section(u'=', 1));
            QFile(target).open(QIODevice::WriteOnly);
            QVERIFY(QFile::link(target, devices + QStringLiteral("/hop")));
            QVERIFY(QFile::link(QStringLiteral("hop"), devices + u'/' + link.section(u'=', 0, 0)));
        }
        const QList<PresentPort> present { { QStringLiteral("/dev/ttyUSB3"), 0x1a86, 0x7523, {} },
            { QStringLiteral("/dev/ttyUSB0"), 0x0403, 0x6001, QStringLiteral("A10K1234") },
            { QStringLiteral("/dev/ttyS0"), -1, -1, {} } };
        const ComDevice found = ComNames::locate(port, present);
        const QString path
            = expected.startsWith(u'/') ? found.path : QFileInfo(found.path).fileName();
        QCOMPARE(path + QStringLiteral(" (") + found.identity.description() + u')', expected);
    }

    // A USB adapter's rhythm, from a sysfs tree of the test's own, through a chain of links as a
    // comN link to /dev/serial/by-id gives.
    void adapterLatency_data()
    {
        QTest::addColumn<QString>("device"); // where the chain ends
        QTest::addColumn<QByteArray>("timer"); // the latency_timer file of ttyUSB3; null: none
        QTest::addColumn<int>("expected"); // -1: nothing said
        QTest::newRow("FTDI at its default") << u"/dev/ttyUSB3"_s << "16\n"_ba << 16;
        QTest::newRow("set to 1 ms") << u"../../ttyUSB3"_s << "1\n"_ba << 1;
        QTest::newRow("a driver without the file") << u"/dev/ttyUSB3"_s << QByteArray() << -1;
        QTest::newRow("no USB serial adapter") << u"/dev/ttyACM0"_s << "16\n"_ba << -1;
    }

    void adapterLatency()
    {
        QFETCH(QString, device);
        QFETCH(QByteArray, timer);
        QFETCH(int, expected);
        QTemporaryDir root;
        const QString folder = root.filePath(u"sys/bus/usb-serial/devices/ttyUSB3"_s);
        QVERIFY(QDir().mkpath(folder) && QDir().mkpath(root.filePath(u"dev/serial/by-id"_s)));
        QFile file(folder + u"/latency_timer"_s);
        QVERIFY(timer.isNull() || (file.open(QIODevice::WriteOnly) && file.write(timer) > 0));
        file.close();
        const QString byId = root.filePath(u"dev/serial/by-id/usb-FTDI"_s);
        QVERIFY(QFile::link(device, byId) && QFile::link(byId, root.filePath(u"com1"_s)));
        QCOMPARE(adapterLatencyMs(root.filePath(u"com1"_s), root.filePath(u"sys"_s)).value_or(-1),
            expected);
    }
};

QTEST_GUILESS_MAIN(ComNamesTest)
#include "tst_comnames.moc"
