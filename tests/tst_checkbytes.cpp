#include "send/checkbytes.h"

#include <QtTest>

using CheckBytes::Kind;

class CheckBytesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Published check values over "123456789", and the line order of each.
    void of_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("check");
        const QByteArray digits("123456789");
        QTest::newRow("modbus, low byte first")
            << Kind::ModbusCrc16 << digits << QByteArray("\x37\x4b");
        QTest::newRow("ccitt-false, high byte first")
            << Kind::CcittFalse << digits << QByteArray("\x29\xb1");
        QTest::newRow("sum wraps at 256") << Kind::Sum8 << digits << QByteArray("\xdd");
        QTest::newRow("xor") << Kind::Xor8 << digits << QByteArray("\x31");
        QTest::newRow("modbus of nothing is the seed")
            << Kind::ModbusCrc16 << QByteArray() << QByteArray("\xff\xff");
        QTest::newRow("sum of nothing") << Kind::Sum8 << QByteArray() << QByteArray(1, '\0');
    }
    void of()
    {
        QFETCH(Kind, kind);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, check);
        QCOMPARE(CheckBytes::of(kind, data), check);
    }

    // The box is read as a hexadecimal send reads it, so what is appended checks what is sent.
    void appendedTo_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("result");
        QTest::newRow("unspaced lower case") << QStringLiteral("0103000000 0a") << Kind::ModbusCrc16
                                             << QStringLiteral("01 03 00 00 00 0A C5 CD");
        QTest::newRow("text after the frame is not sent, so not checked")
            << QStringLiteral("AA BB zz 11") << Kind::Xor8 << QStringLiteral("AA BB 11");
        QTest::newRow("empty box gets the check of nothing")
            << QString() << Kind::Sum8 << QStringLiteral("00");
    }
    void appendedTo()
    {
        QFETCH(QString, box);
        QFETCH(Kind, kind);
        QFETCH(QString, result);
        QCOMPARE(CheckBytes::appendedTo(box, kind), result);
    }
};

QTEST_GUILESS_MAIN(CheckBytesTest)
#include "tst_checkbytes.moc"
