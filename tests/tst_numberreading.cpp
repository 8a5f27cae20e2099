#include "port/numberreading.h"

#include <QtTest>

#include <limits>

namespace {
const double inf = std::numeric_limits<double>::infinity();
}

class NumberReadingTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void leadingNumber_data();
    void leadingNumber();
    void wholeNumber_data();
    void wholeNumber();
    void notWholeNumber_data();
    void notWholeNumber();
    void roundHalfEven_data();
    void roundHalfEven();
};

void NumberReadingTest::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("whole number") << QStringLiteral("1000") << 1000.0;
    QTest::newRow("unit after digits") << QStringLiteral("500ms") << 500.0;
    QTest::newRow("blank between digits") << QStringLiteral("1 000") << 1000.0;
    QTest::newRow("tabs and line feeds anywhere") << QStringLiteral("\t1\n2 3\t") << 123.0;
    QTest::newRow("carriage return stops") << QStringLiteral("1\r2") << 1.0;
    QTest::newRow("minus") << QStringLiteral("-12") << -12.0;
    QTest::newRow("plus") << QStringLiteral("+7") << 7.0;
    QTest::newRow("blank after sign") << QStringLiteral("- 5") << -5.0;
    QTest::newRow("two signs") << QStringLiteral("--5") << 0.0;
    QTest::newRow("sign alone") << QStringLiteral("-") << 0.0;
    QTest::newRow("fraction") << QStringLiteral("2.5") << 2.5;
    QTest::newRow("point first") << QStringLiteral(".5") << 0.5;
    QTest::newRow("point last") << QStringLiteral("3.") << 3.0;
    QTest::newRow("second point stops") << QStringLiteral("1.2.3") << 1.2;
    QTest::newRow("point alone") << QStringLiteral(".") << 0.0;
    QTest::newRow("comma stops") << QStringLiteral("1,5") << 1.0;
    QTest::newRow("exponent") << QStringLiteral("1e3") << 1000.0;
    QTest::newRow("exponent letter D") << QStringLiteral("1D2") << 100.0;
    QTest::newRow("negative exponent") << QStringLiteral("25E-1") << 2.5;
    QTest::newRow("exponent with plus") << QStringLiteral("1e+2") << 100.0;
    QTest::newRow("blanks inside exponent") << QStringLiteral("1 e - 1") << 0.1;
    QTest::newRow("exponent letter without digits") << QStringLiteral("7e") << 7.0;
    QTest::newRow("exponent sign without digits") << QStringLiteral("7e-x") << 7.0;
    QTest::newRow("exponent too large") << QStringLiteral("1e999") << inf;
    QTest::newRow("negative, exponent too large") << QStringLiteral("-1e999") << -inf;
    QTest::newRow("exponent too small") << QStringLiteral("1e-999") << 0.0;
    QTest::newRow("tiny fraction, large exponent") << QStringLiteral("0.0001e3") << 0.1;
    QTest::newRow("hexadecimal") << QStringLiteral("&H1F") << 31.0;
    QTest::newRow("hexadecimal lower case") << QStringLiteral("&hff") << 255.0;
    QTest::newRow("hexadecimal four digits stay positive") << QStringLiteral("&HFFFF") << 65535.0;
    QTest::newRow("hexadecimal stops at G") << QStringLiteral("&H1G2") << 1.0;
    QTest::newRow("hexadecimal takes no point") << QStringLiteral("&H1.8") << 1.0;
    QTest::newRow("blanks inside hexadecimal") << QStringLiteral(" & H 1 0") << 16.0;
    QTest::newRow("hexadecimal prefix alone") << QStringLiteral("&H") << 0.0;
    QTest::newRow("octal") << QStringLiteral("&O17") << 15.0;
    QTest::newRow("octal stops at 8") << QStringLiteral("&o18") << 1.0;
    QTest::newRow("ampersand, other letter") << QStringLiteral("&X1") << 0.0;
    QTest::newRow("sign before prefix") << QStringLiteral("-&H10") << 0.0;
    QTest::newRow("empty") << QString() << 0.0;
    QTest::newRow("blanks only") << QStringLiteral(" \t\n") << 0.0;
    QTest::newRow("letters") << QStringLiteral("abc") << 0.0;
    QTest::newRow("full-width digits are no digits") << QStringLiteral("１２") << 0.0;
}

void NumberReadingTest::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(NumberReading::leadingNumber(text), expected);
}

void NumberReadingTest::wholeNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("digit") << QStringLiteral("8") << 8.0;
    QTest::newRow("blanks around") << QStringLiteral(" \t7\n ") << 7.0;
    QTest::newRow("fraction") << QStringLiteral("7.5") << 7.5;
    QTest::newRow("signs") << QStringLiteral("-3") << -3.0;
    QTest::newRow("point last") << QStringLiteral("5.") << 5.0;
    QTest::newRow("exponent") << QStringLiteral("1e1") << 10.0;
    QTest::newRow("hexadecimal") << QStringLiteral("&H8") << 8.0;
}

void NumberReadingTest::wholeNumber()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    const std::optional<double> number = NumberReading::wholeNumber(text);
    QVERIFY(number.has_value());
    QCOMPARE(*number, expected);
}

void NumberReadingTest::notWholeNumber_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << QString();
    QTest::newRow("blanks only") << QStringLiteral("  ");
    QTest::newRow("letters") << QStringLiteral("abc");
    QTest::newRow("letter after digit") << QStringLiteral("7x");
    QTest::newRow("blank inside") << QStringLiteral("7 5");
    QTest::newRow("exponent without digits") << QStringLiteral("1e");
    QTest::newRow("exponent sign without digits") << QStringLiteral("1e+");
    QTest::newRow("sign alone") << QStringLiteral("-");
    QTest::newRow("point alone") << QStringLiteral(".");
    QTest::newRow("hexadecimal prefix alone") << QStringLiteral("&H");
    QTest::newRow("not a hexadecimal digit") << QStringLiteral("&HG");
    QTest::newRow("full-width digit") << QStringLiteral("８");
}

void NumberReadingTest::notWholeNumber()
{
    QFETCH(QString, text);
    QCOMPARE(NumberReading::wholeNumber(text), std::nullopt);
}

void NumberReadingTest::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");

    QTest::newRow("half to even below") << 2.5 << 2.0;
    QTest::newRow("half to even above") << 3.5 << 4.0;
    QTest::newRow("half of zero") << 0.5 << 0.0;
    QTest::newRow("one and a half") << 1.5 << 2.0;
    QTest::newRow("negative half to even above") << -2.5 << -2.0;
    QTest::newRow("negative half to even below") << -1.5 << -2.0;
    QTest::newRow("just above a half") << 2.5000001 << 3.0;
    QTest::newRow("just below a half") << 2.4999999 << 2.0;
    QTest::newRow("negative, nearest") << -2.6 << -3.0;
    QTest::newRow("whole number unchanged") << 7.0 << 7.0;
    QTest::newRow("beyond 32 bits") << 1e20 << 1e20;
    QTest::newRow("infinity unchanged") << inf << inf;
}

void NumberReadingTest::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(double, expected);
    QCOMPARE(NumberReading::roundHalfEven(value), expected);
}

QTEST_APPLESS_MAIN(NumberReadingTest)
#include "tst_numberreading.moc"
