// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/formwidgets.h"

#include <QLineEdit>
#include <QPainter>
#include <QStyleOptionComplex>
#include <QTextLayout>
#include <QWheelEvent>

#include <limits>

namespace {
constexpr int notch = 120;
constexpr int arrowWidth = 14;
} // namespace

SettingBox::SettingBox(QWidget* parent)
    : QComboBox(parent)
{
    setEditable(true);
    setCompleter(nullptr);
    setInsertPolicy(QComboBox::NoInsert);
    setFocusPolicy(Qt::StrongFocus); // a wheel does not take the focus
    lineEdit()->setMaxLength(std::numeric_limits<int>::max());
    QObject::disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
    QObject::disconnect(lineEdit(), &QLineEdit::returnPressed, this, nullptr);
}

void SettingBox::wheelEvent(QWheelEvent* event)
{
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    // A fine-grained wheel or touchpad sends parts of a notch; a pick takes a whole one.
    m_wheel += event->angleDelta().y();
    for (; m_wheel >= notch; m_wheel -= notch)
        press(Qt::Key_Up);
    for (; m_wheel <= -notch; m_wheel += notch)
        press(Qt::Key_Down);
    event->accept();
}

void SettingBox::press(Qt::Key key)
{
    QKeyEvent arrow(QEvent::KeyPress, key, Qt::NoModifier);
    keyPressEvent(&arrow);
}

void WrappedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QTextLayout layout(text(), font());
    layout.setTextOption(option);
    const QRectF area = contentsRect();
    const qreal pitch = QFontInfo(font()).pixelSize();
    qreal y = area.top();
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(area.width());
        line.setPosition(QPointF(area.left(), y));
        y += pitch;
    }
    layout.endLayout();
    layout.draw(&painter, QPointF());
}

QRect NarrowComboStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
    SubControl sub, const QWidget* widget) const
{
    if (control == CC_ComboBox) {
        const QRect& r = option->rect;
        if (sub == SC_ComboBoxArrow)
            return QRect(r.right() - arrowWidth + 1, r.top(), arrowWidth, r.height());
        if (sub == SC_ComboBoxEditField)
            return QRect(r.left() + 2, r.top() + 2, r.width() - arrowWidth - 3, r.height() - 4);
    }
    return QProxyStyle::subControlRect(control, option, sub, widget);
}
