// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The receive box's "波形图…" item. The plot window exists only while it is open, so a closed
// plot costs the receive path nothing.
#include "plot/plotwindow.h"

#include <QAction>

QAction* plotAction(SerialComponent& port, Dialogs& dialogs, QWidget& window)
{
    auto* action = new QAction(QStringLiteral("波形图…"), &window);
    QObject::connect(action, &QAction::triggered, &window, [&port, &dialogs, &window] {
        auto* plot = window.findChild<PlotWindow*>(QString(), Qt::FindDirectChildrenOnly);
        if (!plot) {
            plot = new PlotWindow(port, dialogs, &window);
            plot->setAttribute(Qt::WA_DeleteOnClose);
        }
        plot->show();
        plot->raise();
        plot->activateWindow();
    });
    return action;
}
