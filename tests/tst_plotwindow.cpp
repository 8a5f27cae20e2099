// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The plot window, opened from the receive box's menu and worked with the mouse.
#include "plot/plotcanvas.h"
#include "plot/plotwindow.h"
#include "support/windowfixture.h"

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QContextMenuEvent>
#include <QMenu>
#include <QtTest>

using namespace Qt::StringLiterals;

class PlotWindowTest : public QObject, WindowFixture {
    Q_OBJECT
    QTemporaryDir m_dir;

    PlotWindow* openPlot()
    {
        QWidget* area = control<QAbstractScrollArea>("TxtReceive")->viewport();
        QContextMenuEvent event(
            QContextMenuEvent::Mouse, QPoint(4, 4), area->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(area, &event);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        for (QAction* action : menu->actions()) {
            if (action->text() == u"波形图…"_s)
                menu->setActiveAction(action);
        }
        QTest::keyClick(menu, Qt::Key_Return);
        auto* plot = window->findChild<PlotWindow*>();
        return plot && QTest::qWaitForWindowExposed(plot) ? plot : nullptr;
    }

private Q_SLOTS:
    void cleanup() { QVERIFY(finish()); }

    // The plot hears the port, not the display: stopped, in hex, the lines still arrive. Closed,
    // it is gone and hears nothing.
    void feedWhileDisplayStopped()
    {
        startOnPty();
        PlotWindow* plot = openPlot();
        QVERIFY(plot);
        click("CmdStopdisp");
        QVERIFY(pty->writePumping("half a line 5\r\n1,2\r\nv:3,w:4\r\n") && pty->drainPumping());
        click("ChkHexReceive");
        QVERIFY(pty->writePumping("5,6\n") && pty->drainPumping());
        QTRY_COMPARE(plot->series().size(), 3);
        QCOMPARE(plot->series().seriesCount(), 4);
        QCOMPARE(plot->series().value(0, 2), 5.0);
        QCOMPARE(plot->series().latest(3), 4.0);
        QTRY_COMPARE(plot->drawnPoints(1).size(), 2);
        plot->close();
        QTRY_VERIFY(!window->findChild<PlotWindow*>());
    }

    // Paused, lines are still gathered but nothing is drawn; resumed, they are.
    void pauseGathersWithoutDrawing()
    {
        start();
        PlotWindow* plot = openPlot();
        fakes->device->deliver("\n1\n2\n");
        QTRY_COMPARE(plot->drawnPoints(0).size(), 2);
        click("PlotPause");
        const qint64 frames = plot->framesDrawn();
        fakes->device->deliver("3\n4\n");
        QCOMPARE(plot->series().size(), 4);
        QVERIFY(!QTest::qWaitFor([&] { return plot->framesDrawn() != frames; }, 300));
        QCOMPARE(plot->drawnPoints(0).size(), 2);
        click("PlotPause");
        QTRY_COMPARE(plot->drawnPoints(0).size(), 4);
    }

    // The wheel zooms in about the pointer and a dragged rectangle to itself; a double click goes
    // back to everything held.
    void zoomAndBack()
    {
        start();
        PlotWindow* plot = openPlot();
        QByteArray lines = "\n";
        for (int k = 0; k < 1000; ++k)
            lines += QByteArray::number(k % 50) + '\n';
        fakes->device->deliver(lines);
        QTRY_COMPARE(plot->drawnPoints(0).size(), 1000);
        QWidget* area = plot->canvas();
        const QPoint middle = area->rect().center();
        QWheelEvent wheel(middle, area->mapToGlobal(middle), {}, { 0, 120 }, Qt::NoButton, {},
            Qt::NoScrollPhase, false);
        QApplication::sendEvent(area, &wheel);
        QTRY_VERIFY(plot->drawnPoints(0).size() < 900);
        QTest::mouseDClick(area, Qt::LeftButton, {}, middle);
        QTRY_COMPARE(plot->drawnPoints(0).size(), 1000);
        // A rectangle dragged over the left half zooms to it.
        QTest::mousePress(area, Qt::LeftButton, {}, middle - QPoint(middle.x() / 2, 40));
        QTest::mouseMove(area, middle + QPoint(0, 40));
        QTest::mouseRelease(area, Qt::LeftButton, {}, middle + QPoint(0, 40));
        QTRY_VERIFY(plot->drawnPoints(0).size() < 700);
        QTest::mouseDClick(area, Qt::LeftButton, {}, middle);
        QTRY_COMPARE(plot->drawnPoints(0).size(), 1000);
    }

    // A value that is not a number breaks its curve, and the legend keeps the last finite one;
    // values as far apart as doubles go are drawn on finite axes.
    void notFiniteAndHuge()
    {
        start();
        PlotWindow* plot = openPlot();
        fakes->device->deliver("\n1,1e308\n2,-1e308\nnan,-1e999\n4,1.7e308\n");
        QTRY_COMPARE(plot->drawnPoints(0).size(), 4);
        QVERIFY(std::isnan(plot->drawnPoints(0)[2].y()));
        QAccessibleInterface* chart = QAccessible::queryAccessibleInterface(plot->canvas());
        QTRY_COMPARE(chart->childCount(), 2);
        QCOMPARE(chart->child(0)->text(QAccessible::Name), u"1 4"_s);
        QCOMPARE(chart->child(1)->text(QAccessible::Name), u"2 1.7e+308"_s);
        // The second curve falls from near the top to near the bottom between the first two
        // samples (of four): it is seen in most rows of the plot.
        const QImage shown = plot->canvas()->grab().toImage();
        const QRect area = plot->canvas()->plotArea().toRect();
        int drawn = 0;
        for (int y = area.top() + 1; y < area.bottom(); ++y) {
            for (int x = area.left() + 1; x < area.left() + area.width() / 3; ++x) {
                if (shown.pixel(x, y) == PlotCanvas::colour(1).rgb()) {
                    ++drawn;
                    break;
                }
            }
        }
        QVERIFY2(drawn > area.height() / 2, qPrintable(QString::number(drawn)));
    }

    // A click on a series' legend entry hides its curve, another shows it again; so does Space on
    // the entry chosen with the arrow keys. A reader finds the entries, in order, by their names
    // and latest values, each checked while its curve is shown.
    void legendHidesCurve()
    {
        start();
        PlotWindow* plot = openPlot();
        fakes->device->deliver("\na:1,b:2\na:3,b:4.25\n");
        QTRY_COMPARE(plot->drawnPoints(1).size(), 2);
        QAccessibleInterface* chart = QAccessible::queryAccessibleInterface(plot->canvas());
        QTRY_COMPARE(chart->childCount(), 2);
        QCOMPARE(chart->child(0)->text(QAccessible::Name), u"a 3"_s);
        QCOMPARE(chart->child(1)->text(QAccessible::Name), u"b 4.25"_s);
        QAccessibleInterface* b = chart->child(1);
        QVERIFY(b->state().checked);
        QTest::mouseClick(
            plot->canvas(), Qt::LeftButton, {}, plot->canvas()->mapFromGlobal(b->rect().center()));
        QTRY_VERIFY(plot->drawnPoints(1).isEmpty());
        QVERIFY(!b->state().checked);
        QCOMPARE(plot->drawnPoints(0).size(), 2);
        plot->canvas()->setFocus();
        QTest::keyClick(plot->canvas(), Qt::Key_Down);
        QVERIFY(b->state().focused);
        QTest::keyClick(plot->canvas(), Qt::Key_Space);
        QTRY_COMPARE(plot->drawnPoints(1).size(), 2);
    }

    // Every input of the window is named for a reader by the words a sighted user reads beside it.
    void readerNames()
    {
        start();
        PlotWindow* plot = openPlot();
        QStringList names;
        for (const char* name : { "PlotPoints", "PlotAxis", "PlotFixed", "PlotLow", "PlotHigh",
                 "PlotPrefix", "PlotPause", "PlotClear", "PlotPng", "PlotCsv", "PlotChart" }) {
            QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(
                plot->findChild<QWidget*>(QLatin1String(name)));
            const auto labels = reader->relations(QAccessible::Label);
            names << (labels.isEmpty() ? reader : labels.first().first)->text(QAccessible::Name);
        }
        QCOMPARE(names.join(u'|'),
            u"点数|横轴|固定纵轴|下限|上限|行前缀|暂停|清除|导出 PNG…|导出 CSV…|曲线"_s);
    }

    // A reader is told the legend's changes once a second at most, however fast the values come:
    // the names it reads change no more often.
    void legendSpokenOncePerSecond()
    {
        start();
        PlotWindow* plot = openPlot();
        QAccessibleInterface* chart = QAccessible::queryAccessibleInterface(plot->canvas());
        QStringList heard;
        int k = 0;
        QTimer feed;
        connect(&feed, &QTimer::timeout, this, [&] {
            fakes->device->deliver("\nv:" + QByteArray::number(k++) + '\n');
            const QString name
                = chart->childCount() ? chart->child(0)->text(QAccessible::Name) : QString();
            if (heard.value(heard.size() - 1) != name)
                heard << name;
        });
        QElapsedTimer clock;
        clock.start();
        feed.start(10);
        QTRY_VERIFY_WITH_TIMEOUT(plot->linesRead() >= 250, 20000);
        feed.stop();
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(heard.size() >= 2 && heard.size() <= elapsed / PlotCanvas::spokenMs + 2,
            qPrintable(heard.join(u", "_s) + u" in %1 ms"_s.arg(elapsed)));
    }

    // CSV holds every point; the PNG is the chart as shown.
    void exportReadBack()
    {
        start();
        PlotWindow* plot = openPlot();
        fakes->device->deliver("\na:1.5,b:-2\nb:1e-3\n");
        QTRY_COMPARE(plot->series().size(), 2);
        const QString csv = m_dir.filePath(u"plot.csv"_s);
        fakes->dialogs.nextSaveFile = csv;
        click("PlotCsv");
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> rows = file.readAll().split('\n');
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0], "t/s,a,b"_ba);
        QVERIFY(rows[1].endsWith(",1.5,-2") && rows[2].endsWith(",,0.001"));
        QVERIFY(
            qAbs(rows[1].split(',')[0].toDouble() - plot->series().x(PlotSeries::Axis::Seconds, 0))
            < 1e-6);

        const QString png = m_dir.filePath(u"plot.png"_s);
        fakes->dialogs.nextSaveFile = png;
        click("PlotPng");
        const QImage image(png);
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), plot->canvas()->size() * plot->canvas()->devicePixelRatio());
        QCOMPARE(fakes->dialogs.messages.size(), 0);
    }
};

QTEST_MAIN(PlotWindowTest)
#include "tst_plotwindow.moc"
