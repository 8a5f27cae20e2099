// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/boxzoom.h"

#include "app/options.h"

#include <QAbstractScrollArea>
#include <QKeyEvent>
#include <QWheelEvent>

#include <algorithm>

BoxZoom::BoxZoom(
    const QList<QWidget*>& boxes, std::function<void(int points)> changed, QObject* parent)
    : QObject(parent)
    , m_boxes(boxes)
    , m_changed(std::move(changed))
{
    // The wheel reaches a box's viewport, the keys the box.
    for (QWidget* box : m_boxes) {
        box->installEventFilter(this);
        if (auto* area = qobject_cast<QAbstractScrollArea*>(box))
            area->viewport()->installEventFilter(this);
    }
}

void BoxZoom::setPoints(int points) { apply(points); }

int BoxZoom::points() const { return m_points; }

// A box's own font is reset to the window's, so that 0 follows whatever that is.
void BoxZoom::apply(int points)
{
    m_points = points;
    for (QWidget* box : m_boxes) {
        box->setFont(QFont());
        if (points == 0)
            continue;
        QFont font = box->font();
        font.setPointSize(points);
        box->setFont(font);
    }
}

void BoxZoom::step(int steps)
{
    const int from = m_points ? m_points : m_boxes.first()->font().pointSize();
    const int to
        = steps == 0 ? 0 : std::clamp(from + steps, Options::minFontPoints, Options::maxFontPoints);
    if (to == m_points)
        return;
    apply(to);
    m_changed(to);
}

bool BoxZoom::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (!(wheel->modifiers() & Qt::ControlModifier) || wheel->angleDelta().y() == 0)
            return false;
        step(wheel->angleDelta().y() > 0 ? 1 : -1);
        return true;
    }
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (!(key->modifiers() & Qt::ControlModifier))
        return QObject::eventFilter(watched, event);
    int steps = 0;
    switch (key->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: // the plus key without Shift
        steps = 1;
        break;
    case Qt::Key_Minus:
        steps = -1;
        break;
    case Qt::Key_0:
        break;
    default:
        return QObject::eventFilter(watched, event);
    }
    // Claimed before any shortcut or the box's own keys see it.
    if (event->type() == QEvent::KeyPress)
        step(steps);
    event->accept();
    return true;
}
