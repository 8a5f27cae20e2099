#include "receive/hexformat.h"

#include <QRandomGenerator>
#include <QtTest>

class HexFormatTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void appendPairs_data();
    void appendPairs();
};

void HexFormatTest::appendPairs_data()
{
    QTest::addColumn<QByteArray>("already");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("empty chunk adds nothing")
        << QByteArray("7F ") << QByteArray() << QByteArray("7F ");
    QTest::newRow("leading zeros, boundaries, upper case")
        << QByteArray() << QByteArray::fromHex("000F10FFab") << QByteArray("00 0F 10 FF AB ");
    QTest::newRow("line breaks and NUL are only bytes")
        << QByteArray() << QByteArray("\r\n\0", 3) << QByteArray("0D 0A 00 ");
    QTest::newRow("a chunk continues the run after earlier text")
        << QByteArray("AB\r\n41 ") << QByteArray("B") << QByteArray("AB\r\n41 42 ");

    // Against Qt's own formatter, over every byte value and a large chunk.
    QByteArray every;
    for (int value = 0; value < 256; ++value)
        every.append(char(value));
    QByteArray noise(1 << 20, Qt::Uninitialized);
    QRandomGenerator(20240611).fillRange(
        reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    for (const QByteArray& bytes : { every, noise }) {
        QTest::addRow("%lld bytes against toHex", qlonglong(bytes.size()))
            << QByteArray() << bytes << bytes.toHex(' ').toUpper() + ' ';
    }
}

void HexFormatTest::appendPairs()
{
    QFETCH(QByteArray, already);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, expected);
    QByteArray out = already;
    HexFormat::appendPairs(out, bytes);
    QCOMPARE(out, expected);
    if (already.isEmpty())
        QCOMPARE(HexFormat::pairs(bytes), expected);
}

QTEST_APPLESS_MAIN(HexFormatTest)
#include "tst_hexformat.moc"
