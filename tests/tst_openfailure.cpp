#include "port/openfailure.h"

#include <QTemporaryFile>
#include <QtTest>

class OpenFailureTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
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

QTEST_GUILESS_MAIN(OpenFailureTest)
#include "tst_openfailure.moc"
