// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The plot's rules without a window: lines and the numbers in them, the ring of samples and the
// thinning of a curve to a few points per pixel column.
#include "plot/plotlines.h"
#include "plot/plotscale.h"
#include "plot/plotseries.h"
#include "port/codepage.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class PlotTest : public QObject {
    Q_OBJECT

    // Each line read as "name=value ...", lines joined by " | ".
    static QString linesOf(const QByteArray& fed, const QString& prefix, qsizetype piece)
    {
        PlotLines lines;
        lines.setPrefix(prefix);
        CodePageDecoder decoder;
        QStringList read;
        for (qsizetype at = 0; at < fed.size(); at += piece) {
            lines.feed(decoder.decode(fed.mid(at, piece)), [&](const PlotLines::Values& values) {
                QStringList line;
                for (const PlotLines::Value& value : values)
                    line << (value.name.isEmpty() ? QString::number(value.position)
                                                  : value.name.toString())
                            + u'=' + QString::number(value.value);
                read << line.join(u' ');
            });
        }
        return read.join(u" | "_s);
    }

private Q_SLOTS:
    void initTestCase() { CodePage::setSystemOverride("GBK"); }

    // Every input follows a line that is dropped (the plot may have opened in its middle), and is
    // fed whole and byte by byte.
    void lines_data()
    {
        QTest::addColumn<QByteArray>("fed");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("read");
        QTest::newRow("commas") << "1,2.5,-3\n"_ba << QString() << u"1=1 2=2.5 3=-3"_s;
        QTest::newRow("spaces, tabs, semicolons")
            << "4 \t5;;6\n"_ba << QString() << u"1=4 2=5 3=6"_s;
        QTest::newRow("pairs") << "a:1,b=2 c: 3\n"_ba << QString() << u"a=1 b=2 c=3"_s;
        QTest::newRow("exponents and signs")
            << "1.5e-3,-2E+2,+.5,7e\n"_ba << QString() << u"1=0.0015 2=-200 3=0.5 4=7"_s;
        QTest::newRow("junk around numbers")
            << "t=abc 12V hello,x:-,7 info nanny\n"_ba << QString() << u"1=12 2=7"_s;
        // What is not finite keeps its place, so the values after it stay in their series.
        for (const auto& [word, read] :
            { std::pair("nan", "nan"), { "-inf", "-inf" }, { "1e999", "inf" } }) {
            QTest::addRow("%s in each place", word)
                << "@,2,3\n1,@,3\n1,2,@\n"_ba.replace('@', word) << QString()
                << u"1=@ 2=2 3=3 | 1=1 2=@ 3=3 | 1=1 2=2 3=@"_s.replace(
                       u"@"_s, QLatin1String(read));
        }
        QTest::newRow("not finite, other spellings")
            << "NaN;+Infinity;a=-1E999;ovf;1e-999\n"_ba << QString()
            << u"1=nan 2=inf a=-inf 4=nan 5=0"_s;
        QTest::newRow("no number") << "hello world\n\n"_ba << QString() << QString();
        QTest::newRow("CR LF, lone CR, LF")
            << "1\r\n2\r3\n\r\n4\n"_ba << QString() << u"1=1 | 1=2 | 1=3 | 1=4"_s;
        QTest::newRow("unfinished line waits") << "1\n2"_ba << QString() << u"1=1"_s;
        QTest::newRow("prefix") << ">1,2\nlog 5\n> 3\n"_ba << u">"_s << u"1=1 2=2 | 1=3"_s;
        QTest::newRow("GBK, full-width comma")
            << "\xb5\xe7\xd1\xb9:3.3\xa3\xac\xb5\xe7\xc1\xf7\xa3\xba"
               "0.25\r\n"_ba
            << QString() << u"电压=3.3 电流=0.25"_s;
    }
    void lines()
    {
        QFETCH(QByteArray, fed);
        QFETCH(QString, prefix);
        QFETCH(QString, read);
        fed.prepend(">8,9\n");
        QCOMPARE(linesOf(fed, prefix, fed.size()), read);
        QCOMPARE(linesOf(fed, prefix, 1), read);
    }

    void ringKeepsTheNewest()
    {
        PlotSeries series(100);
        for (int k = 0; k < 250; ++k)
            series.add(k / 10.0, { { {}, 1, double(k) }, { u"b", 2, -double(k) } });
        QCOMPARE(series.size(), 100);
        QCOMPARE(series.x(PlotSeries::Axis::Samples, 0), 150.0);
        QCOMPARE(series.x(PlotSeries::Axis::Seconds, 99), 24.9);
        QCOMPARE(series.value(1, 0), -150.0);
        // Full, a line reuses the oldest slot: a series it does not name has nothing there.
        series.add(25, { { {}, 1, 250 } });
        QVERIFY(std::isnan(series.value(1, 99)));
        series.setCapacity(200); // nothing lost, room to grow
        series.add(25.1, { { {}, 1, 251 } });
        QCOMPARE(series.size(), 101);
        QVERIFY(std::isnan(series.value(1, 100)));
        QCOMPARE(series.latest(1), -249.0);
        series.setCapacity(100);
        QCOMPARE(series.x(PlotSeries::Axis::Samples, 0), 152.0);
        QCOMPARE(series.value(0, 99), 251.0);

        PlotLines::Values wide;
        for (int k = 1; k <= 20; ++k)
            wide.append({ {}, k, double(k) });
        series.add(26, wide);
        QCOMPARE(series.seriesCount(), PlotSeries::maxSeries);
    }

    // A series named with no finite number has a gap there: its curve breaks, its latest value is
    // the last finite one. A line that does not name it leaves no gap.
    void gapBreaksTheCurve()
    {
        PlotSeries series;
        const double inf = std::numeric_limits<double>::infinity();
        for (const double value : { 1.0, 2.0, qQNaN(), 4.0, -inf, 6.0, 7.0, inf })
            series.add(0, { { {}, 1, value }, { {}, 2, 0 } });
        series.add(0, { { {}, 2, 0 } });
        series.add(0, { { {}, 1, 10 } });
        QCOMPARE(series.latest(0), 10.0);
        QList<QPointF> points;
        series.decimated(points, 0, PlotSeries::Axis::Samples, 0, 9, 1000);
        QStringList drawn;
        for (const QPointF& point : points)
            drawn << QString::number(point.y());
        QCOMPARE(drawn.join(u' '), u"1 2 nan 4 nan 6 7 nan 10"_s);
        series.add(0, { { {}, 1, qQNaN() } });
        QCOMPARE(series.latest(0), 10.0);
    }

    // An axis fitted to any finite values has finite round ends that hold them, and ticks on it.
    void autoscale_data()
    {
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<QString>("shown"); // the fitted ends, then each tick
        constexpr double most = std::numeric_limits<double>::max();
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("round ends") << 0.3 << 9.7 << u"0 10: 0 2 4 6 8 10"_s;
        QTest::newRow("one value") << 5.0 << 5.0 << u"4 6: 4 4.5 5 5.5 6"_s;
        QTest::newRow("one value, large")
            << -3e300 << -3e300
            << u"-3.2e+300 -2.8e+300: -3.2e+300 -3.1e+300 -3e+300 -2.9e+300 -2.8e+300"_s;
        QTest::newRow("nothing finite") << inf << -inf << u"0 1: 0 0.2 0.4 0.6 0.8 1"_s;
        QTest::newRow("±1e308") << -1e308 << 1e308
                                << u"-1e+308 1e+308: -1e+308 -5e+307 0 5e+307 1e+308"_s;
        QTest::newRow("the largest doubles")
            << -most << most << u"-1.79769e+308 1.79769e+308: -1e+308 0 1e+308"_s;
        QTest::newRow("the largest double alone")
            << most << most
            << u"1.7e+308 1.79769e+308: 1.7e+308 1.72e+308 1.74e+308 1.76e+308 1.78e+308"_s;
    }
    void autoscale()
    {
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(QString, shown);
        const PlotScale fitted = PlotScale::fit(low, high);
        QString text = QString::number(fitted.low()) + u' ' + QString::number(fitted.high()) + u':';
        const PlotScale::Ticks ticks = fitted.ticks(4);
        for (int k = 0; k < ticks.count; ++k)
            text += u' ' + QString::number(ticks.at(k));
        QCOMPARE(text, shown);
        if (std::isfinite(low) && std::isfinite(high))
            QVERIFY(fitted.fraction(low) >= 0 && fitted.fraction(high) <= 1);
    }

    // However many samples fall into a pixel column, one of them that stands out is kept.
    void decimationKeepsSpikes()
    {
        PlotSeries series(PlotSeries::mostSamples);
        for (int k = 0; k < 100000; ++k)
            series.add(0, { { {}, 1, k == 54321 ? 7.0 : k == 77777 ? -3.0 : std::sin(k) } });
        QList<QPointF> points;
        series.decimated(points, 0, PlotSeries::Axis::Samples, 0, 99999, 100);
        QVERIFY(points.size() <= 4 * 100);
        QVERIFY(points.contains(QPointF(54321, 7)));
        QVERIFY(points.contains(QPointF(77777, -3)));
        QVERIFY(std::is_sorted(points.begin(), points.end(),
            [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));
        // Wider than the points: each kept once.
        series.decimated(points, 0, PlotSeries::Axis::Samples, 10, 19, 1000);
        QCOMPARE(points.size(), 12);
    }
};

QTEST_GUILESS_MAIN(PlotTest)
#include "tst_plot.moc"
