// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "plot/plotcanvas.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

namespace {

// Sixteen colours told apart on white, the first ten in the order plotting tools made familiar.
constexpr QRgb curveColours[]
    = { 0x1f77b4, 0xff7f0e, 0x2ca02c, 0xd62728, 0x9467bd, 0x8c564b, 0xe377c2, 0x7f7f7f, 0xbcbd22,
          0x17becf, 0x000080, 0x808000, 0x00c000, 0xff00ff, 0x00a0a0, 0x000000 };

constexpr int margin = 6;
constexpr int tickLength = 4;
constexpr int swatchWidth = 18;
constexpr int yIntervals = 4; // as PlotScale::fit rounds the ends
constexpr int pixelsPerXTick = 90;

} // namespace

PlotCanvas::PlotCanvas(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(240, 160);
    m_spokenLater.setSingleShot(true);
    connect(&m_spokenLater, &QTimer::timeout, this, &PlotCanvas::announce);
}

QColor PlotCanvas::colour(int curve)
{
    return QColor(curveColours[curve % std::size(curveColours)]);
}

QString PlotCanvas::shortNumber(double value) { return QString::number(value, 'g', 6); }

QString PlotCanvas::entryText(int curve) const
{
    const Curve& shown = curves[curve];
    return std::isnan(shown.latest) ? shown.name
                                    : shown.name + QStringLiteral("  ") + shortNumber(shown.latest);
}

void PlotCanvas::setScales(const PlotScale& x, const PlotScale& y, bool seconds)
{
    m_x = x;
    m_y = y;
    m_seconds = seconds;
    layOut();
    if (!m_spokenLater.isActive()) {
        const qint64 since = m_spokenAt.isValid() ? m_spokenAt.elapsed() : spokenMs;
        m_spokenLater.start(int(std::max<qint64>(0, spokenMs - since)));
    }
    update();
}

void PlotCanvas::clear()
{
    curves.clear();
    m_legendWidth = 0;
    m_current = -1;
    m_hoverLines.clear();
    announce();
}

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
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, shortNumber(value));
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
        painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop, text);
    }
    painter.setPen(axis);
    painter.drawRect(m_area);
}

void PlotCanvas::paintCurves(QPainter& painter)
{
    painter.save();
    painter.setClipRect(m_area);
    const double left = m_area.left();
    const double bottom = m_area.bottom();
    for (int curve = 0; curve < curves.size(); ++curve) {
        painter.setPen(QPen(colour(curve), 0));
        m_line.clear();
        for (const QPointF& point : std::as_const(curves[curve].points)) {
            if (std::isnan(point.y())) {
                painter.drawPolyline(m_line);
                m_line.clear();
                continue;
            }
            m_line.append(QPointF(left + m_x.fraction(point.x()) * m_area.width(),
                bottom - m_y.fraction(point.y()) * m_area.height()));
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

int PlotCanvas::entryAt(const QPoint& pos) const
{
    for (int curve = 0; curve < curves.size(); ++curve) {
        if (entryRect(curve).contains(pos))
            return curve;
    }
    return -1;
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
        painter.drawText(entry.adjusted(swatchWidth + 2 * margin, 0, 0, 0),
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

void PlotCanvas::hoverAt(const QPoint& pos)
{
    m_pointer = pos;
    m_hoverLines.clear();
    if (m_area.contains(pos) && describe)
        std::tie(m_hoverX, m_hoverLines)
            = describe(m_x.at((pos.x() - m_area.left()) / m_area.width()));
    update();
}

void PlotCanvas::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() != Qt::LeftButton)
        return;
    if (const int curve = entryAt(pos); curve >= 0) {
        setCurrent(curve);
        toggleCurve(curve);
    } else if (m_area.contains(pos)) {
        m_origin = pos;
        m_band.setGeometry(QRect(m_origin, QSize()));
        m_band.show();
    }
}

void PlotCanvas::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_band.isVisible())
        m_band.setGeometry(QRect(m_origin, pos).normalized());
    hoverAt(pos);
}

void PlotCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_band.isVisible())
        return;
    m_band.hide();
    const QRect band = m_band.geometry();
    // A click that moved a pixel or two is no rectangle.
    if (band.width() > 4 && band.height() > 4) {
        const auto fractionX = [&](double x) { return (x - m_area.left()) / m_area.width(); };
        const auto fractionY = [&](double y) { return (m_area.bottom() - y) / m_area.height(); };
        zoomBetween(m_x.at(fractionX(band.left())), m_x.at(fractionX(band.right())),
            m_y.at(fractionY(band.bottom())), m_y.at(fractionY(band.top())));
    }
}

void PlotCanvas::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_band.hide();
    if (entryAt(event->position().toPoint()) < 0)
        zoomReset();
}

// Zooms about the pointer: the value under it stays where it is.
void PlotCanvas::wheelEvent(QWheelEvent* event)
{
    if (event->angleDelta().y() == 0)
        return;
    const double factor = event->angleDelta().y() > 0 ? 0.8 : 1.25;
    const QPointF at = event->position();
    const double fx = (at.x() - m_area.left()) / m_area.width();
    const double fy = (m_area.bottom() - at.y()) / m_area.height();
    zoomBetween(m_x.at(fx * (1 - factor)), m_x.at(fx + (1 - fx) * factor),
        m_y.at(fy * (1 - factor)), m_y.at(fy + (1 - fy) * factor));
}

// Zoomed in or out as far as a double goes, the view stays where it is.
void PlotCanvas::zoomBetween(double x0, double x1, double y0, double y1)
{
    if (PlotScale::usable(x0, x1) && PlotScale::usable(y0, y1))
        zoomTo(PlotScale(x0, x1), PlotScale(y0, y1));
}

void PlotCanvas::toggleCurve(int curve)
{
    curves[curve].shown = !curves[curve].shown;
    if (curve < m_spoken.size()) {
        QAccessible::State checked;
        checked.checked = true;
        QAccessibleStateChangeEvent event(this, checked);
        event.setChild(curve);
        QAccessible::updateAccessibility(&event);
    }
    curvesToggled();
}

void PlotCanvas::leaveEvent(QEvent*) { hoverAt(QPoint(-1, -1)); }

void PlotCanvas::keyPressEvent(QKeyEvent* event)
{
    const int last = int(curves.size()) - 1;
    switch (event->key()) {
    case Qt::Key_Up:
        setCurrent(std::max(0, m_current - 1));
        break;
    case Qt::Key_Down:
        setCurrent(std::min(last, m_current + 1));
        break;
    case Qt::Key_Space:
        if (m_current >= 0)
            toggleCurve(m_current);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void PlotCanvas::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    setCurrent(m_current < 0 && !curves.isEmpty() ? 0 : m_current);
}

void PlotCanvas::setCurrent(int curve)
{
    m_current = curve;
    update();
    if (curve >= 0 && curve < m_spoken.size() && hasFocus()) {
        QAccessibleEvent focus(this, QAccessible::Focus);
        focus.setChild(curve);
        QAccessible::updateAccessibility(&focus);
    }
}

// What a reader is told: each entry's text as it stands, once a second at most, and only what
// changed.
void PlotCanvas::announce()
{
    m_spokenAt.start();
    const qsizetype before = m_spoken.size();
    m_spoken.resize(curves.size());
    for (int curve = 0; curve < curves.size(); ++curve) {
        const Curve& entry = curves[curve];
        const QString text
            = std::isnan(entry.latest) ? entry.name : entry.name + u' ' + shortNumber(entry.latest);
        if (text == m_spoken[curve])
            continue;
        m_spoken[curve] = text;
        QAccessibleEvent changed(
            this, curve < before ? QAccessible::NameChanged : QAccessible::ObjectCreated);
        changed.setChild(curve);
        QAccessible::updateAccessibility(&changed);
    }
    if (m_spoken.size() < before) {
        QAccessibleEvent reorder(this, QAccessible::ObjectReorder);
        QAccessible::updateAccessibility(&reorder);
    }
}
