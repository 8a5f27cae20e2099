#include "port/portsettings.h"

#include <QtTest>

namespace {

// "COM1|9600|NONE|8|1": the five boxes' texts in one row cell.
SelectionTexts boxes(const QString& row)
{
    const QStringList texts = row.split(QLatin1Char('|'));
    return { texts.value(0), texts.value(1), texts.value(2), texts.value(3), texts.value(4) };
}

} // namespace

class PortSettingsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void conversion_data();
    void conversion();
    void invalidSelection_data();
    void invalidSelection();
};

void PortSettingsTest::conversion_data()
{
    QTest::addColumn<QString>("texts");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("settings");

    const QString start = QStringLiteral("9600,N,8,1");
    QTest::newRow("start values") << QStringLiteral("COM1|9600|NONE|8|1") << 1 << start;
    QTest::newRow("COM12") << QStringLiteral("COM12|9600|NONE|8|1") << 12 << start;
    QTest::newRow("COM15") << QStringLiteral("COM15|9600|NONE|8|1") << 15 << start;
    QTest::newRow("blank before the digit") << QStringLiteral("COM 3|9600|NONE|8|1") << 3 << start;
    QTest::newRow("no number gives port 0") << QStringLiteral("COMx|9600|NONE|8|1") << 0 << start;
    QTest::newRow("COM2.5 reads only \"2.\"")
        << QStringLiteral("COM2.5|9600|NONE|8|1") << 2 << start;
    QTest::newRow("COM3.5 reads only \"3.\"")
        << QStringLiteral("COM3.5|9600|NONE|8|1") << 3 << start;
    QTest::newRow("a half rounds to even 0") << QStringLiteral("COM.5|9600|NONE|8|1") << 0 << start;
    QTest::newRow("third digit not read") << QStringLiteral("COM123|9600|NONE|8|1") << 12 << start;
    QTest::newRow("text too short") << QStringLiteral("CO|9600|NONE|8|1") << 0 << start;
    QTest::newRow("negative zero") << QStringLiteral("COM-0|9600|NONE|8|1") << 0 << start;
    QTest::newRow("odd, 7 data bits, 2 stop bits")
        << QStringLiteral("COM1|19200|ODD|7|2") << 1 << QStringLiteral("19200,O,7,2");
    QTest::newRow("1.5 stop bits")
        << QStringLiteral("COM1|9600|NONE|8|1.5") << 1 << QStringLiteral("9600,N,8,1.5");
    QTest::newRow("even parity entry")
        << QStringLiteral("COM1|9600|ENEV|8|1") << 1 << QStringLiteral("9600,E,8,1");
    QTest::newRow("space and mark")
        << QStringLiteral("COM1|9600|SPACE|8|1") << 1 << QStringLiteral("9600,S,8,1");
    QTest::newRow("empty parity") << QStringLiteral("COM1|9600||8|1") << 1
                                  << QStringLiteral("9600,,8,1");
    QTest::newRow("typed parity keeps its case")
        << QStringLiteral("COM1|9600|odd|8|1") << 1 << QStringLiteral("9600,o,8,1");
    QTest::newRow("typed baud unchanged")
        << QStringLiteral("COM1|115200|NONE|8|1") << 1 << QStringLiteral("115200,N,8,1");
    QTest::newRow("baud with blanks unchanged")
        << QStringLiteral("COM1| 96 00|NONE|8|1") << 1 << QStringLiteral(" 96 00,N,8,1");
    QTest::newRow("data bits 7.5 to even 8")
        << QStringLiteral("COM1|9600|NONE|7.5|1") << 1 << QStringLiteral("9600,N,8,1");
    QTest::newRow("data bits 6.5 to even 6")
        << QStringLiteral("COM1|9600|NONE|6.5|1") << 1 << QStringLiteral("9600,N,6,1");
    QTest::newRow("data bits with blanks around")
        << QStringLiteral("COM1|9600|NONE| 5 |1") << 1 << QStringLiteral("9600,N,5,1");
    QTest::newRow("data bits at the 16-bit top")
        << QStringLiteral("COM1|9600|NONE|32767|1") << 1 << QStringLiteral("9600,N,32767,1");
    QTest::newRow("data bits rounding onto the 16-bit bottom")
        << QStringLiteral("COM1|9600|NONE|-32768.5|1") << 1 << QStringLiteral("9600,N,-32768,1");
}

void PortSettingsTest::conversion()
{
    QFETCH(QString, texts);
    QFETCH(int, port);
    QFETCH(QString, settings);

    const SelectionTexts selection = boxes(texts);
    const PortArguments arguments = convertSelection(selection);
    QCOMPARE(int(arguments.port), port);
    QCOMPARE(arguments.baud, selection.baud);
    QCOMPARE(arguments.stopBits, selection.stopBits);
    QCOMPARE(settingsString(arguments), settings);
}

void PortSettingsTest::invalidSelection_data()
{
    QTest::addColumn<QString>("texts");
    QTest::addColumn<QString>("named"); // the bad value the message must show

    QTest::newRow("negative port")
        << QStringLiteral("COM-1|9600|NONE|8|1") << QStringLiteral("“COM-1”");
    QTest::newRow("negative port, other digit")
        << QStringLiteral("COM-9|9600|NONE|8|1") << QStringLiteral("“COM-9”");
    QTest::newRow("data bits letters")
        << QStringLiteral("COM1|9600|NONE|abc|1") << QStringLiteral("“abc”");
    QTest::newRow("data bits empty") << QStringLiteral("COM1|9600|NONE||1") << QStringLiteral("“”");
    QTest::newRow("data bits with a unit")
        << QStringLiteral("COM1|9600|NONE|7bit|1") << QStringLiteral("“7bit”");
    QTest::newRow("data bits above 16 bits")
        << QStringLiteral("COM1|9600|NONE|40000|1") << QStringLiteral("“40000”");
    QTest::newRow("data bits below 16 bits")
        << QStringLiteral("COM1|9600|NONE|-32769|1") << QStringLiteral("“-32769”");
    QTest::newRow("data bits rounding out of 16 bits")
        << QStringLiteral("COM1|9600|NONE|32767.5|1") << QStringLiteral("“32767.5”");
    QTest::newRow("data bits, huge exponent")
        << QStringLiteral("COM1|9600|NONE|1e999|1") << QStringLiteral("“1e999”");
}

void PortSettingsTest::invalidSelection()
{
    QFETCH(QString, texts);
    QFETCH(QString, named);

    try {
        convertSelection(boxes(texts));
        QFAIL("the selection converted");
    } catch (const SelectionError& error) {
        QVERIFY2(error.message().contains(named), qPrintable(error.message()));
    }
}

QTEST_APPLESS_MAIN(PortSettingsTest)
#include "tst_portsettings.moc"
