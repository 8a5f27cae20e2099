// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QObject>

#include <functional>

class QWidget;

// The text size of the receive and send boxes, changed together: Ctrl with the wheel, Ctrl++,
// Ctrl+- and Ctrl+0 (back to the window's size) on either box. Only the boxes' text changes
// size; the boxes themselves keep their place and size.
class BoxZoom : public QObject {
    Q_OBJECT
public:
    // `changed` hears every new size the user picks (0: the window's own size).
    BoxZoom(const QList<QWidget*>& boxes, std::function<void(int points)> changed,
        QObject* parent = nullptr);
    // Sets the boxes' size without telling `changed`: a remembered size at start-up, which
    // Options has already kept within its bounds (0: the window's own size).
    void setPoints(int points);
    int points() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void step(int steps);
    void apply(int points);

    QList<QWidget*> m_boxes;
    std::function<void(int)> m_changed;
    int m_points = 0;
};
