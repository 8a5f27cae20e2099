#include "port/portsettings.h"

#include <QtTest>

using namespace Qt::StringLiterals;

// "COM1|9600|NONE|8|1": the five boxes' texts in one row cell.
static SelectionTexts boxes(const QString& row)
{
    const QStringList t = row.split(u'|');
    return { t.value(0), t.value(1), t.value(2), t.value(3), t.value(4) };
}

class PortSettingsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void conversion_data()
    {
        QTest::addColumn<QString>("texts");
        QTest::addColumn<QString>("expected"); // port number, blank, settings string
        QTest::newRow("start values") << u"COM1|9600|NONE|8|1"_s << u"1 9600,N,8,1"_s;
        QTest::newRow("COM12, even entry") << u"COM12|9600|ENEV|8|1"_s << u"12 9600,E,8,1"_s;
        QTest::newRow("COM15, odd, 7, 2") << u"COM15|19200|ODD|7|2"_s << u"15 19200,O,7,2"_s;
        QTest::newRow("blank before the digit") << u"COM 3|300|MARK|8|1.5"_s << u"3 300,M,8,1.5"_s;
        QTest::newRow("no number is port 0") << u"COMx|9600|SPACE|8|1"_s << u"0 9600,S,8,1"_s;
        QTest::newRow("COM2.5 reads only 2.") << u"COM2.5|9600|NONE|8|1"_s << u"2 9600,N,8,1"_s;
        QTest::newRow("COM3.5 reads only 3.") << u"COM3.5|9600|NONE|8|1"_s << u"3 9600,N,8,1"_s;
        QTest::newRow("too short, no parity") << u"CO|9600||8|1"_s << u"0 9600,,8,1"_s;
        QTest::newRow("typed baud kept") << u"COM1|1152 00|NONE|8|1"_s << u"1 1152 00,N,8,1"_s;
        QTest::newRow("data bits 7.5 to even 8") << u"COM1|9600|NONE|7.5|1"_s << u"1 9600,N,8,1"_s;
        QTest::newRow("data bits 6.5 to even 6") << u"COM1|9600|NONE|6.5|1"_s << u"1 9600,N,6,1"_s;
        QTest::newRow("16-bit top") << u"COM1|9600|NONE|32767|1"_s << u"1 9600,N,32767,1"_s;
        QTest::newRow("16-bit bottom") << u"COM1|9600|NONE|-32768.5|1"_s << u"1 9600,N,-32768,1"_s;
    }

    void conversion()
    {
        QFETCH(QString, texts);
        QFETCH(QString, expected);
        const PortArguments arguments = convertSelection(boxes(texts));
        QCOMPARE(QString::number(arguments.port) + u' ' + settingsString(arguments), expected);
    }

    void invalidSelection_data()
    {
        QTest::addColumn<QString>("texts");
        QTest::addColumn<QString>("named"); // the bad value the message must show
        QTest::newRow("negative port") << u"COM-1|9600|NONE|8|1"_s << u"“COM-1”"_s;
        QTest::newRow("data bits letters") << u"COM1|9600|NONE|abc|1"_s << u"“abc”"_s;
        QTest::newRow("data bits with a unit") << u"COM1|9600|NONE|7bit|1"_s << u"“7bit”"_s;
        QTest::newRow("rounds out of 16 bits") << u"COM1|9600|NONE|32767.5|1"_s << u"“32767.5”"_s;
        QTest::newRow("data bits below 16 bits") << u"COM1|9600|NONE|-32769|1"_s << u"“-32769”"_s;
    }

    void invalidSelection()
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
};

QTEST_APPLESS_MAIN(PortSettingsTest)
#include "tst_portsettings.moc"
