// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "plot/plotscale.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QPointF>
#include <QRubberBand>
#include <QStaticText>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <utility>

// The plot's picture, painted in one pass: the axes with round ticks and a grid, the curves, the
// legend on the right and the values under the pointer. The window hands it each frame's scales
// and the curves' points, already thinned, in values; the canvas maps them to pixels as it paints.
// The mouse and the keys are told back to the window: a dragged rectangle or the wheel zooms, a
// double click goes back, a click on a legend entry (or Space on the entry chosen with the arrow
// keys) hides the curve or shows it again.
//
// A screen reader reaches each legend entry as an item named with the series' name and latest
// value ("temp 21.5"), in the legend's order; the names it is told change at most once a second.
class PlotCanvas : public QWidget {
    Q_OBJECT
public:
    struct Curve {
        QString name;
        double latest = qQNaN(); // as the legend shows it; NaN: none yet
        QList<QPointF> points; // in values; a y of NaN is a gap, where the line breaks
        bool shown = true;
    };

    static constexpr int spokenMs = 1000;

    explicit PlotCanvas(QWidget* parent = nullptr);

    // What the next paint shows; the window writes the curves in place.
    QList<Curve> curves;
    void setScales(const PlotScale& x, const PlotScale& y, bool seconds);
    const PlotScale& xScale() const { return m_x; }
    // Where the curves are drawn, in the canvas's pixels, as laid out for the last frame.
    QRectF plotArea() const { return m_area; }
    // Forgets the curves and what the legend was.
    void clear();

    // Hides the curve or shows it again.
    void toggleCurve(int curve);

    std::function<void(const PlotScale& x, const PlotScale& y)> zoomTo;
    std::function<void()> zoomReset;
    std::function<void()> curvesToggled;
    // The sample nearest to x (in values): its own x and a line of text for each value shown.
    std::function<std::pair<double, QStringList>(double x)> describe;

    // What a screen reader is told of the legend: an entry's text as last announced, and where the
    // entry is. The entry the arrow keys chose, -1 for none.
    QString spokenEntry(int curve) const { return m_spoken.value(curve); }
    qsizetype spokenCount() const { return m_spoken.size(); }
    QRect entryRect(int curve) const;
    int currentEntry() const { return m_current; }

    // The colours of the curves, in order.
    static QColor colour(int curve);
    // A value as the legend and the hover box show it.
    static QString shortNumber(double value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    QString entryText(int curve) const;
    void layOut();
    void drawLabel(
        QPainter& painter, const QRectF& box, Qt::Alignment align, const QString& text) const;
    void paintAxes(QPainter& painter) const;
    void paintCurves(QPainter& painter);
    void paintLegend(QPainter& painter) const;
    void paintHover(QPainter& painter) const;
    void hoverAt(const QPoint& pos);
    int entryAt(const QPoint& pos) const;
    void setCurrent(int curve);
    void zoomBetween(double x0, double x1, double y0, double y1);
    void announce();

    PlotScale m_x;
    PlotScale m_y;
    bool m_seconds = false;
    QRectF m_area;
    int m_legendWidth = 0; // grows with the widest entry, so the plot does not shift each frame
    QPolygonF m_line; // reused from frame to frame
    mutable QHash<QString, QStaticText> m_labels;

    QRubberBand m_band { QRubberBand::Rectangle, this };
    QPoint m_origin;
    QPoint m_pointer { -1, -1 }; // outside: no hover
    double m_hoverX = 0;
    QStringList m_hoverLines;

    int m_current = -1;
    QStringList m_spoken;
    QElapsedTimer m_spokenAt;
    QTimer m_spokenLater;
};
