// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAccessibleWidget>
#include <QList>

class PlotCanvas;

// What a screen reader sees of the plot: a chart whose children are the legend's entries, in the
// legend's order. Each is a list item named with its series' name and latest value as the canvas
// last announced them ("temp 21.5"), checked while its curve is shown; its one action hides or
// shows the curve, as a click on the entry does.
class PlotCanvasAccessible : public QAccessibleWidget {
public:
    explicit PlotCanvasAccessible(PlotCanvas* canvas);
    ~PlotCanvasAccessible() override;
    // Has Qt make one of these for each plot canvas it is asked about; later calls do nothing.
    static void install();

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

private:
    PlotCanvas* canvas() const;

    mutable QList<QAccessible::Id> m_entries; // made when first asked for, kept until the end
};
