#include "receive/hexformat.h"

#include <QtTest>

class HexFormatTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pairs_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("nothing") << QByteArray() << QByteArray();
        QByteArray every;
        for (int value = 0; value < 256; ++value)
            every.append(char(value));
        QTest::newRow("every byte value, as Qt formats it")
            << every << every.toHex(' ').toUpper() + ' ';
    }
    void pairs()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, expected);
        QCOMPARE(HexFormat::pairs(bytes), expected);
        // Appended pairs simply continue whatever the display already holds.
        QByteArray out("AB\r\n41 ");
        HexFormat::appendPairs(out, bytes);
        QCOMPARE(out, "AB\r\n41 " + expected);
    }
};

QTEST_APPLESS_MAIN(HexFormatTest)
#include "tst_hexformat.moc"
