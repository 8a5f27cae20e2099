// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The plot window, opened from the receive box's menu and worked with the mouse.
#include "plot/plotwindow.h"
#include "support/windowfixture.h"

#include <QAbstractScrollArea>
#include <QChartView>
#include <QContextMenuEvent>
#include <QGraphicsTextItem>
#include <QLegend>
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
    static QWidget* chartArea(PlotWindow* plot)
    {
        return static_cast<QAbstractScrollArea*>(plot->chartView())->viewport();
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
        QWidget* area = chartArea(plot);
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

    // A click on a series' legend entry hides its curve, another shows it again.
    void legendHidesCurve()
    {
        start();
        PlotWindow* plot = openPlot();
        fakes->device->deliver("\na:1,b:2\na:3,b:4\n");
        QTRY_COMPARE(plot->drawnPoints(1).size(), 2);
        auto* view = static_cast<QChartView*>(plot->chartView());
        const auto clickEntry = [&](const QString& name) {
            QList<QGraphicsItem*> items = view->chart()->legend()->childItems();
            while (!items.isEmpty()) {
                QGraphicsItem* item = items.takeFirst();
                items += item->childItems();
                auto* text = dynamic_cast<QGraphicsTextItem*>(item);
                if (text && text->toPlainText().startsWith(name))
                    return QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                        view->mapFromScene(text->sceneBoundingRect().center()));
            }
            QFAIL("no legend entry");
        };
        clickEntry(u"b "_s);
        QTRY_VERIFY(plot->drawnPoints(1).isEmpty());
        QCOMPARE(plot->drawnPoints(0).size(), 2);
        clickEntry(u"b "_s);
        QTRY_COMPARE(plot->drawnPoints(1).size(), 2);
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
        QCOMPARE(image.size(), plot->chartView()->size() * plot->chartView()->devicePixelRatio());
        QCOMPARE(fakes->dialogs.messages.size(), 0);
    }
};

QTEST_MAIN(PlotWindowTest)
#include "tst_plotwindow.moc"
