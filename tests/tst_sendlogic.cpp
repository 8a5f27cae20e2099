#include "send/sendlogic.h"

#include <QtTest>

class SendLogicTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void hexBytes_data();
    void hexBytes();
    void hexBytesOfALargePaste();
    void trimBlanks_data();
    void trimBlanks();
    void trimBlankBytes_data();
    void trimBlankBytes();
    void untrimmedBytesAreNotCopied();
    void readPeriod_data();
    void readPeriod();
};

void SendLogicTest::hexBytes_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("pairs with blanks") << QStringLiteral("01 02 03") << QByteArray("\x01\x02\x03");
    QTest::newRow("lower-case run") << QStringLiteral("0102ff") << QByteArray("\x01\x02\xff");
    QTest::newRow("blanks inside pairs") << QStringLiteral("a b c d") << QByteArray("\xab\xcd");
    QTest::newRow("odd digit dropped") << QStringLiteral("1 2 3") << QByteArray("\x12");
    QTest::newRow("comma stops") << QStringLiteral("12,34") << QByteArray("\x12");
    QTest::newRow("line break stops") << QStringLiteral("12\r\n34") << QByteArray("\x12");
    QTest::newRow("0x prefix stops at x") << QStringLiteral("0x12") << QByteArray();
    QTest::newRow("letter past F stops") << QStringLiteral("123G45") << QByteArray("\x12");
    QTest::newRow("only blanks") << QStringLiteral("    ") << QByteArray();
    QTest::newRow("start-up text") << QStringLiteral("在此处输入要发送的数据") << QByteArray();
    QTest::newRow("one run, not tokens") << QStringLiteral("1 02") << QByteArray("\x10");
    QTest::newRow("tab stops") << QStringLiteral("AB\tCD") << QByteArray("\xab");
    QTest::newRow("full-width digit stops") << QStringLiteral("AB１２") << QByteArray("\xab");
    QTest::newRow("zero bytes kept") << QStringLiteral("00 00") << QByteArray(2, '\0');
    QTest::newRow("empty") << QString() << QByteArray();
}

void SendLogicTest::hexBytes()
{
    QFETCH(QString, box);
    QFETCH(QByteArray, bytes);
    QCOMPARE(SendLogic::hexBytes(box), bytes);
}

void SendLogicTest::hexBytesOfALargePaste()
{
    // Far past what a 16-bit length could hold; every byte value, in order, in both cases.
    const char lower[] = "0123456789abcdef";
    const char upper[] = "0123456789ABCDEF";
    QString paste;
    QByteArray expected;
    for (int i = 0; i < 4 * 1024 * 1024 / 3; ++i) {
        const int value = i & 0xff;
        const char* digits = (i / 256) % 2 ? upper : lower;
        paste += QLatin1Char(digits[value >> 4]);
        paste += QLatin1Char(digits[value & 0xf]);
        paste += QLatin1Char(' ');
        expected.append(static_cast<char>(value));
    }
    QCOMPARE(SendLogic::hexBytes(paste), expected);
}

void SendLogicTest::trimBlanks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("trimmed");

    QTest::newRow("blanks both ends") << QStringLiteral("  AB  ") << QStringLiteral("AB");
    QTest::newRow("inner blanks kept") << QStringLiteral(" A B ") << QStringLiteral("A B");
    QTest::newRow("tabs kept") << QStringLiteral("\tA\t") << QStringLiteral("\tA\t");
    QTest::newRow("line breaks kept") << QStringLiteral(" A\r\n ") << QStringLiteral("A\r\n");
    QTest::newRow("ideographic space kept") << QStringLiteral("　中　") << QStringLiteral("　中　");
    QTest::newRow("only blanks") << QStringLiteral("   ") << QString();
}

void SendLogicTest::trimBlanks()
{
    QFETCH(QString, text);
    QFETCH(QString, trimmed);
    QCOMPARE(SendLogic::trimBlanks(text), trimmed);
}

void SendLogicTest::trimBlankBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("trimmed");

    QTest::newRow("blanks both ends") << QByteArray("  AB  ") << QByteArray("AB");
    QTest::newRow("zero bytes kept") << QByteArray(" \0A\0 ", 5) << QByteArray("\0A\0", 3);
    QTest::newRow("high bytes kept") << QByteArray("\xa0 \xff") << QByteArray("\xa0 \xff");
    QTest::newRow("line breaks kept") << QByteArray("\r\nA\r\n ") << QByteArray("\r\nA\r\n");
    QTest::newRow("only blanks") << QByteArray("    ") << QByteArray();
}

void SendLogicTest::trimBlankBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, trimmed);
    QCOMPARE(SendLogic::trimBlankBytes(bytes), trimmed);
}

void SendLogicTest::untrimmedBytesAreNotCopied()
{
    const QByteArray file(1 << 20, 'x');
    QCOMPARE(SendLogic::trimBlankBytes(file).constData(), file.constData());
}

void SendLogicTest::readPeriod_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<qint64>("period");

    QTest::newRow("plain") << QStringLiteral("1000") << true << qint64(1000);
    QTest::newRow("unit after the number") << QStringLiteral("500ms") << true << qint64(500);
    QTest::newRow("blank inside") << QStringLiteral("1 000") << true << qint64(1000);
    QTest::newRow("tab and line feed inside") << QStringLiteral("\t1\n0") << true << qint64(10);
    QTest::newRow("half to even, down") << QStringLiteral("2.5") << true << qint64(2);
    QTest::newRow("half to even, up") << QStringLiteral("3.5") << true << qint64(4);
    QTest::newRow("fraction below half") << QStringLiteral("7.49") << true << qint64(7);
    QTest::newRow("exponent") << QStringLiteral("1E3") << true << qint64(1000);
    QTest::newRow("hexadecimal prefix") << QStringLiteral("&H10") << true << qint64(16);
    QTest::newRow("octal prefix") << QStringLiteral("&O17") << true << qint64(15);
    QTest::newRow("plus sign") << QStringLiteral("+20") << true << qint64(20);
    QTest::newRow("negative") << QStringLiteral("-5") << true << qint64(-5);
    QTest::newRow("no number") << QStringLiteral("abc") << true << qint64(0);
    QTest::newRow("nothing") << QString() << true << qint64(0);
    QTest::newRow("largest 32-bit") << QStringLiteral("2147483647") << true << qint64(2147483647);
    QTest::newRow("past 32 bits") << QStringLiteral("2147483648") << false << qint64(0);
    QTest::newRow("far past 64 bits") << QStringLiteral("1E300") << false << qint64(0);
}

void SendLogicTest::readPeriod()
{
    QFETCH(QString, text);
    QFETCH(bool, fits);
    QFETCH(qint64, period);
    const std::optional<qint64> read = SendLogic::readPeriod(text);
    QCOMPARE(read.has_value(), fits);
    if (fits)
        QCOMPARE(*read, period);
}

QTEST_APPLESS_MAIN(SendLogicTest)
#include "tst_sendlogic.moc"
