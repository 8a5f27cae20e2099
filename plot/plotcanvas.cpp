// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "plot/plotcanvas.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

namespace {

// Sixteen colours told apart on white, the first ten in the order plotting tools made familiar.
constexpr QRgb curveColours[]
    = { 0x1f77b4, 0xff7f0e, 0x2ca02c, 0xd62728, 0x9467bd, 0x8c564b, 0xe377c2, 0x7f7f7f, 0xbcbd22,
          0x17becf, 0x000080, 0x808000, 0x00c000, 0xff00ff, 0x00a0a0, 0x000000 };

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

int PlotCanvas::entryAt(const QPoint& pos) const
{
    for (int curve = 0; curve < curves.size(); ++curve) {
        if (entryRect(curve).contains(pos))
            return curve;
    }
    return -1;
}

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
    if (last < 0)
        return QWidget::keyPressEvent(event);
    switch (event->key()) {
    case Qt::Key_Up:
        setCurrent(std::clamp(m_current - 1, 0, last));
        break;
    case Qt::Key_Down:
        setCurrent(std::min(last, m_current + 1));
        break;
    case Qt::Key_Space:
        if (m_current >= 0 && m_current <= last)
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
