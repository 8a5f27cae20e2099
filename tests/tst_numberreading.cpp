#include "port/numberreading.h"

#include <QtTest>

#include <limits>

using namespace Qt::StringLiterals;

class NumberReadingTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void reading_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("leading"); // the number at the front of the text
        QTest::addColumn<bool>("whole"); // the text is that number and nothing else
        QTest::addColumn<double>("rounded"); // the leading number, halves to even
        const auto row
            = [](const char* name, const QString& text, double leading, bool whole,
                  double rounded) { QTest::newRow(name) << text << leading << whole << rounded; };
        const double inf = std::numeric_limits<double>::infinity();
        row("blanks, tabs and line feeds anywhere", u"\t1\n2 3\t"_s, 123, false, 123);
        row("blanks around a whole number", u" \t7\n "_s, 7, true, 7);
        row("unit after the digits", u"500ms"_s, 500, false, 500);
        row("carriage return is no blank", u"1\r2"_s, 1, false, 1);
        row("blank after the sign, half to even", u"- 2.5"_s, -2.5, false, -2);
        row("two signs", u"--5"_s, 0, false, 0);
        row("point first, half of zero", u".5"_s, 0.5, true, 0);
        row("half rounds up to even", u"3.5"_s, 3.5, true, 4);
        row("just above a half", u"2.5000001"_s, 2.5000001, true, 3);
        row("point last", u"3."_s, 3, true, 3);
        row("second point stops", u"1.2.3"_s, 1.2, false, 1);
        row("point alone", u"."_s, 0, false, 0);
        row("blanks inside the exponent", u"1 e + 2"_s, 100, false, 100);
        row("exponent letter without digits", u"7e"_s, 7, false, 7);
        row("exponent too large keeps the sign", u"-1e999"_s, -inf, true, -inf);
        row("exponent too small", u"1e-999"_s, 0, true, 0);
        row("four hexadecimal digits stay positive", u"&hFFFF"_s, 65535, true, 65535);
        row("hexadecimal stops at G", u"&H1G2"_s, 1, false, 1);
        row("hexadecimal prefix alone", u"&H"_s, 0, false, 0);
        row("octal stops at 8", u"&o18"_s, 1, false, 1);
        row("sign before the prefix", u"-&H10"_s, 0, false, 0);
        row("empty", QString(), 0, false, 0);
        row("full-width digits are no digits", u"１２"_s, 0, false, 0);
    }

    void reading()
    {
        QFETCH(QString, text);
        QFETCH(double, leading);
        QFETCH(bool, whole);
        QFETCH(double, rounded);
        QCOMPARE(NumberReading::leadingNumber(text), leading);
        QCOMPARE(NumberReading::wholeNumber(text), whole ? std::optional(leading) : std::nullopt);
        QCOMPARE(NumberReading::roundHalfEven(leading), rounded);
    }

    // A period box reads "5d2" as 5; a data-bits box takes D as an exponent letter.
    void exponentD()
    {
        QCOMPARE(NumberReading::leadingNumber(u"5d2"), 5.0);
        QCOMPARE(NumberReading::wholeNumber(u"25D-1"), std::optional(2.5));
    }
};

QTEST_APPLESS_MAIN(NumberReadingTest)
#include "tst_numberreading.moc"
