// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The form's own kinds of control, placed by app/mainwindow.ui as promoted widgets, and the
// style that makes the setting boxes narrow.

#include <QComboBox>
#include <QLabel>
#include <QProxyStyle>

// A port setting box. A pick is a list item chosen with the mouse or the arrow keys; a wheel acts
// as the arrow keys do, but only on the box that has the focus, so that scrolling past a box never
// re-opens the port. Typed text stays as typed: no inline completion, and neither Enter nor
// leaving the box turns it into a pick.
class SettingBox : public QComboBox {
public:
    explicit SettingBox(QWidget* parent = nullptr);

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    void press(Qt::Key key);
    int m_wheel = 0;
};

// A label whose text wraps anywhere at a line pitch of one em, as the design's narrow hint column
// expects; the usual line spacing of a Chinese font would push its last line out of the box.
class WrappedLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The design's setting boxes are 53 pixels wide, made for a narrow drop-down button and thin
// borders; with the usual style's wide button a text like "COM1" would not fit.
class NarrowComboStyle : public QProxyStyle {
public:
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
        const QWidget* widget) const override;
};
