// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// PlotCanvas: laying out and painting the picture with QCustomPlot, tried against our own painting
// (PORTLARK_PLOT_QCUSTOMPLOT). The QCustomPlot widget covers the canvas and lets the mouse through
// to it, so zooming, hovering and the legend's clicks are the canvas's own.
#include "plot/plotcanvas.h"

#include <qcustomplot.h>

#include <cmath>

QCustomPlot* PlotCanvas::library()
{
    if (m_qcp)
        return m_qcp;
    m_qcp = new QCustomPlot(this);
    m_qcp->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_qcp->setFocusPolicy(Qt::NoFocus);
    m_qcp->setGeometry(rect());
    m_qcp->setNotAntialiasedElements(QCP::aeAll);
    m_qcp->xAxis->setNumberFormat(QStringLiteral("f"));
    m_qcp->yAxis->setNumberFormat(QStringLiteral("g"));
    m_qcp->yAxis->setNumberPrecision(6);
    // The legend on the right, its entries from the top.
    m_qcp->legend->setVisible(true);
    auto* side = new QCPLayoutGrid;
    m_qcp->plotLayout()->addElement(0, 1, side);
    m_qcp->plotLayout()->setColumnStretchFactor(1, 0.001);
    side->addElement(0, 0, m_qcp->legend);
    side->addElement(1, 0, new QCPLayoutElement(m_qcp));
    side->setRowStretchFactor(0, 0.001);
    m_hoverLine = new QCPItemStraightLine(m_qcp);
    m_hoverLine->setPen(QPen(Qt::gray, 0, Qt::DashLine));
    m_hoverText = new QCPItemText(m_qcp);
    m_hoverText->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_hoverText->position->setType(QCPItemPosition::ptAbsolute);
    m_hoverText->setTextAlignment(Qt::AlignLeft);
    m_hoverText->setPadding(QMargins(4, 2, 4, 2));
    m_hoverText->setBrush(QColor(255, 255, 224, 230));
    m_hoverText->setPen(QPen(Qt::gray));
    m_hoverText->setClipToAxisRect(false);
    return m_qcp;
}

void PlotCanvas::layOut()
{
    QCustomPlot* plot = library();
    if (plot->graphCount() > curves.size())
        plot->clearGraphs();
    while (plot->graphCount() < curves.size())
        plot->addGraph()->setPen(QPen(colour(plot->graphCount() - 1), 0));
    QVector<QCPGraphData> data;
    for (int curve = 0; curve < curves.size(); ++curve) {
        QCPGraph* graph = plot->graph(curve);
        const QString text = entryText(curve);
        if (graph->name() != text)
            graph->setName(text);
        graph->setVisible(curves[curve].shown);
        if (QCPAbstractLegendItem* item = plot->legend->item(curve))
            item->setTextColor(curves[curve].shown ? Qt::black : Qt::gray);
        data.resize(curves[curve].points.size());
        for (qsizetype k = 0; k < data.size(); ++k)
            data[k] = QCPGraphData(curves[curve].points[k].x(), curves[curve].points[k].y());
        graph->data()->set(data, true);
    }
    plot->xAxis->setNumberPrecision(m_seconds ? 1 : 0);
    plot->xAxis->setRange(m_x.low(), m_x.high());
    plot->yAxis->setRange(m_y.low(), m_y.high());
    m_area = plot->axisRect()->rect();
}

QRect PlotCanvas::entryRect(int curve) const
{
    QCPAbstractLegendItem* item = m_qcp ? m_qcp->legend->item(curve) : nullptr;
    return item ? item->outerRect() : QRect();
}

void PlotCanvas::paintEvent(QPaintEvent*) { }

// Laid out again at the next replot; the thinning needs the plot's width before that.
void PlotCanvas::resizeEvent(QResizeEvent*)
{
    QCustomPlot* plot = library();
    plot->setGeometry(rect());
    plot->setViewport(rect());
    for (const auto phase : { QCPLayoutElement::upPreparation, QCPLayoutElement::upMargins,
             QCPLayoutElement::upLayout })
        plot->plotLayout()->update(phase);
    m_area = plot->axisRect()->rect();
}

void PlotCanvas::refresh()
{
    QCustomPlot* plot = library();
    const bool hover = !m_hoverLines.isEmpty() && m_area.contains(m_pointer);
    m_hoverLine->setVisible(hover);
    m_hoverText->setVisible(hover);
    if (hover) {
        m_hoverLine->point1->setCoords(m_hoverX, 0);
        m_hoverLine->point2->setCoords(m_hoverX, 1);
        m_hoverText->setText(m_hoverLines.join(u'\n'));
        m_hoverText->position->setCoords(m_pointer.x() + 12, m_pointer.y() + 12);
    }
    plot->replot(QCustomPlot::rpQueuedReplot);
}
