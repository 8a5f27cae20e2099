#include "port/devicewatch.h"
#include "port/openfailure.h"

#include <QSignalSpy>
#include <QTemporaryFile>
#include <QtTest>

class DeviceWatchTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void reportsOnceWhenThePortReturns()
    {
        QString present;
        int asked = 0;
        DeviceWatch watch([&](int port) {
            ++asked;
            return port == 3 ? present : QString();
        });
        QSignalSpy returned(&watch, &DeviceWatch::returned);
        watch.watch(3);
        QTRY_VERIFY(asked >= 2);
        QCOMPARE(returned.size(), 0);
        present = QStringLiteral("/dev/ttyUSB0");
        QTRY_COMPARE(returned.size(), 1);
        QCOMPARE(returned.at(0).at(0).toInt(), 3);
        QCOMPARE(returned.at(0).at(1).toString(), present);
        QVERIFY(!watch.isWatching());
    }

    void cancelledWatchAsksNothing()
    {
        int asked = 0;
        DeviceWatch watch([&](int) {
            ++asked;
            return QString();
        });
        watch.watch(1);
        watch.cancel();
        QVERIFY(!watch.isWatching());
        QTest::qWait(2 * DeviceWatch::pollMs);
        QCOMPARE(asked, 0);
    }

    void openFailureReasons_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("fileExists");
        QTest::addColumn<QString>("text");
        QTest::newRow("unresolved port")
            << int(QSerialPort::NoError) << false << QStringLiteral("设备不存在");
        QTest::newRow("vanished between lookup and open")
            << int(QSerialPort::PermissionError) << false << QStringLiteral("设备不存在");
        QTest::newRow("accessible file refused: held elsewhere")
            << int(QSerialPort::PermissionError) << true << QStringLiteral("设备正被占用");
        QTest::newRow("settings") << int(QSerialPort::UnsupportedOperationError) << true
                                  << QStringLiteral("设备不支持这些串口参数");
    }
    void openFailureReasons()
    {
        QFETCH(int, error);
        QFETCH(bool, fileExists);
        QFETCH(QString, text);
        QTemporaryFile device;
        QVERIFY(device.open());
        const QString path
            = fileExists ? device.fileName() : device.fileName() + QStringLiteral(".gone");
        const auto reason = OpenFailure::classify(QSerialPort::SerialPortError(error), path);
        QCOMPARE(OpenFailure::text(reason), text);
    }
};

QTEST_GUILESS_MAIN(DeviceWatchTest)
#include "tst_devicewatch.moc"
