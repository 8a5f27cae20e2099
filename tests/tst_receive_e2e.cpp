// Bytes played by the device side of a pseudo-terminal cross a real tty into the window at full
// speed; the display and the count must hold exactly what was fed.
#include "app/mainwindow.h"
#include "port/codepage.h"
#include "port/qtserialbackend.h"
#include "receive/receiveview.h"
#include "support/fakes.h"
#include "support/pty.h"

#include <QtTest>
#include <QtWidgets>

#include <algorithm>

class ReceiveEndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // COM1 is the slave side of the pseudo-terminal.
        QVERIFY(QDir(config.path()).mkpath(QStringLiteral("portlark/devices")));
        QVERIFY(
            QFile::link(pty.slavePath(), config.filePath(QStringLiteral("portlark/devices/com1"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    }
    void cleanup() { CodePage::setSystemOverride(QByteArray()); }

    void fullSpeedFeed_data()
    {
        QTest::addColumn<QByteArray>("codePage");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QByteArray>("unit"); // repeated to 4 MiB
        // An odd length puts the two-byte characters across the boundaries of the reads.
        QTest::newRow("GBK text, all three line breaks") << QByteArray(
            "GBK") << false << QByteArray("\xb4\xae\xbf\xda abc\r\n\xb5\xf7\xca\xd4\n1\r");
        QByteArray every;
        for (int value = 0; value < 256; ++value)
            every.append(char(value));
        QTest::newRow("every byte value in the hex display") << QByteArray() << true << every;
    }
    void fullSpeedFeed()
    {
        QFETCH(QByteArray, codePage);
        QFETCH(bool, hex);
        QFETCH(QByteArray, unit);
        CodePage::setSystemOverride(codePage); // the component takes it when it is made
        FakePlatform fakes;
        QtSerialComponent serial;
        Platform platform = fakes.platform();
        platform.serial = &serial;
        MainWindow window(platform);
        window.show();
        QVERIFY(serial.portOpen());
        if (hex)
            QTest::mouseClick(
                window.findChild<QCheckBox*>(QStringLiteral("ChkHexReceive")), Qt::LeftButton);

        const QByteArray fed = unit.repeated(4 * 1024 * 1024 / unit.size() + 1);
        QVERIFY(pty.writePumping(fed));
        QVERIFY(pty.drainPumping());
        QCOMPARE(window.receivedCount(), qint64(fed.size()));
        const QString expected
            = hex ? QString::fromLatin1(fed.toHex(' ').toUpper() + ' ') : CodePage::decode(fed);
        const QString shown = window.findChild<ReceiveView*>(QStringLiteral("TxtReceive"))->text();
        // Compared from the first difference: a failure message of megabytes would help no one.
        const qsizetype at
            = std::mismatch(shown.cbegin(), shown.cend(), expected.cbegin(), expected.cend()).first
            - shown.cbegin();
        QCOMPARE(shown.mid(at, 40), expected.mid(at, 40));
        QCOMPARE(shown.size(), expected.size());
        QCOMPARE(window.findChild<QLineEdit*>(QStringLiteral("TxtRXCount"))->text(),
            QStringLiteral("RX:%1").arg(fed.size()));
    }

private:
    PtyPair pty;
    QTemporaryDir config;
};

QTEST_MAIN(ReceiveEndToEndTest)
#include "tst_receive_e2e.moc"
