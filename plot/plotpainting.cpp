// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// PlotCanvas: laying out and painting the picture.
#include "plot/plotcanvas.h"

#include <QPainter>
#include <QStaticText>

#include <cmath>

namespace {

constexpr int margin = 6;
constexpr int tickLength = 4;
constexpr int swatchWidth = 18;
constexpr int yIntervals = 4; // as PlotScale::fit rounds the ends
constexpr int pixelsPerXTick = 90;

} // namespace

// The plot area leaves room for the widest label of the vertical axis on the left, a row of
// labels below and the legend on the right.
void PlotCanvas::layOut()
{
    const QFontMetrics metrics = fontMetrics();
    int labels = 0;
    const PlotScale::Ticks ticks = m_y.ticks(yIntervals);
    for (int k = 0; k < ticks.count; ++k)
        labels = std::max(labels, metrics.horizontalAdvance(shortNumber(ticks.at(k))));
    for (int curve = 0; curve < curves.size(); ++curve)
        m_legendWidth = std::max(
            m_legendWidth, swatchWidth + 3 * margin + metrics.horizontalAdvance(entryText(curve)));
    const int left = margin + labels + tickLength + 2;
    const int bottom = metrics.height() + tickLength + margin;
    m_area = QRectF(left, margin + metrics.height() / 2,
        std::max(10, width() - left - m_legendWidth - margin),
        std::max(10, height() - bottom - margin - metrics.height() / 2));
}

// Labels are mostly the same from frame to frame; laid out once, they cost a copy of glyphs.
void PlotCanvas::drawLabel(
    QPainter& painter, const QRectF& box, Qt::Alignment align, const QString& text) const
{
    if (m_labels.size() > 256)
        m_labels.clear();
    auto found = m_labels.find(text);
    if (found == m_labels.end()) {
        found = m_labels.insert(text, QStaticText(text));
        found->setTextFormat(Qt::PlainText);
        found->prepare(QTransform(), font());
    }
    const QSizeF size = found->size();
    QPointF at = box.topLeft();
    if (align & Qt::AlignRight)
        at.rx() = box.right() - size.width();
    else if (align & Qt::AlignHCenter)
        at.rx() = box.center().x() - size.width() / 2;
    if (align & Qt::AlignVCenter)
        at.ry() = box.center().y() - size.height() / 2;
    painter.drawStaticText(at, *found);
}

void PlotCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    paintAxes(painter);
    paintCurves(painter);
    paintLegend(painter);
    paintHover(painter);
}

void PlotCanvas::paintAxes(QPainter& painter) const
{
    const QFontMetrics metrics = fontMetrics();
    const QPen grid(QColor(0xe0, 0xe0, 0xe0), 0);
    const QPen axis(QColor(0x60, 0x60, 0x60), 0);
    const PlotScale::Ticks yTicks = m_y.ticks(yIntervals);
    for (int k = 0; k < yTicks.count; ++k) {
        const double value = yTicks.at(k);
        const double y = std::round(m_area.bottom() - m_y.fraction(value) * m_area.height());
        painter.setPen(grid);
        painter.drawLine(QPointF(m_area.left(), y), QPointF(m_area.right(), y));
        painter.setPen(axis);
        painter.drawLine(QPointF(m_area.left() - tickLength, y), QPointF(m_area.left(), y));
        const QRectF label(
            0, y - metrics.height(), m_area.left() - tickLength - 2, 2 * metrics.height());
        drawLabel(painter, label, Qt::AlignRight | Qt::AlignVCenter, shortNumber(value));
    }
    const PlotScale::Ticks xTicks = m_x.ticks(std::max(2, int(m_area.width()) / pixelsPerXTick));
    for (int k = 0; k < xTicks.count; ++k) {
        const double value = xTicks.at(k);
        const double x = std::round(m_area.left() + m_x.fraction(value) * m_area.width());
        painter.setPen(grid);
        painter.drawLine(QPointF(x, m_area.top()), QPointF(x, m_area.bottom()));
        painter.setPen(axis);
        painter.drawLine(QPointF(x, m_area.bottom()), QPointF(x, m_area.bottom() + tickLength));
        const QString text = QString::number(value, 'f', m_seconds ? 1 : 0);
        const QRectF label(x - 100, m_area.bottom() + tickLength, 200, metrics.height());
        drawLabel(painter, label, Qt::AlignHCenter | Qt::AlignTop, text);
    }
    painter.setPen(axis);
    painter.drawRect(m_area);
}

void PlotCanvas::paintCurves(QPainter& painter)
{
    painter.save();
    painter.setClipRect(m_area.toAlignedRect());
    const PlotScale::Pixels x = m_x.pixels(m_area.left(), m_area.right());
    const PlotScale::Pixels y = m_y.pixels(m_area.bottom(), m_area.top());
    for (int curve = 0; curve < curves.size(); ++curve) {
        painter.setPen(QPen(colour(curve), 0));
        m_line.clear();
        for (const QPointF& point : std::as_const(curves[curve].points)) {
            if (std::isnan(point.y())) {
                painter.drawPolyline(m_line);
                m_line.clear();
                continue;
            }
            m_line.append(QPointF(x(point.x()), y(point.y())));
        }
        painter.drawPolyline(m_line);
    }
    painter.restore();
}

QRect PlotCanvas::entryRect(int curve) const
{
    const int height = fontMetrics().height() + 4;
    return QRect(width() - m_legendWidth, int(m_area.top()) + curve * height,
        m_legendWidth - margin, height);
}

// A hidden curve keeps its entry, greyed, so that it can be clicked back.
void PlotCanvas::paintLegend(QPainter& painter) const
{
    for (int curve = 0; curve < curves.size(); ++curve) {
        const QRect entry = entryRect(curve);
        QColor swatch = colour(curve);
        swatch.setAlpha(curves[curve].shown ? 255 : 60);
        const int middle = entry.center().y();
        painter.fillRect(QRect(entry.left() + margin, middle - 1, swatchWidth, 3), swatch);
        painter.setPen(curves[curve].shown ? Qt::black : Qt::gray);
        drawLabel(painter, entry.adjusted(swatchWidth + 2 * margin, 0, 0, 0),
            Qt::AlignLeft | Qt::AlignVCenter, entryText(curve));
        if (curve == m_current && hasFocus()) {
            painter.setPen(QPen(Qt::black, 0, Qt::DotLine));
            painter.drawRect(entry.adjusted(0, 0, -1, -1));
        }
    }
}

void PlotCanvas::paintHover(QPainter& painter) const
{
    if (m_hoverLines.isEmpty() || !m_area.contains(m_pointer))
        return;
    const double x = m_area.left() + m_x.fraction(m_hoverX) * m_area.width();
    if (x >= m_area.left() && x <= m_area.right()) {
        painter.setPen(QPen(Qt::gray, 0, Qt::DashLine));
        painter.drawLine(QPointF(x, m_area.top()), QPointF(x, m_area.bottom()));
    }
    const QString text = m_hoverLines.join(u'\n');
    QRectF box = QRectF(fontMetrics().boundingRect(QRect(0, 0, 1000, 1000), 0, text))
                     .adjusted(-4, -2, 4, 2);
    QPointF corner = QPointF(m_pointer) + QPointF(12, 12);
    if (corner.x() + box.width() > m_area.right())
        corner.rx() = m_pointer.x() - 12 - box.width();
    if (corner.y() + box.height() > m_area.bottom())
        corner.ry() = m_area.bottom() - box.height();
    box.moveTopLeft(corner);
    painter.setPen(Qt::gray);
    painter.setBrush(QColor(255, 255, 224, 230));
    painter.drawRect(box);
    painter.setPen(Qt::black);
    painter.drawText(box.adjusted(4, 2, -4, -2), Qt::AlignLeft | Qt::AlignTop, text);
}

void PlotCanvas::resizeEvent(QResizeEvent*) { layOut(); }
