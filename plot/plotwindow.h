// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "plot/plotlines.h"
#include "plot/plotseries.h"
#include "port/codepage.h"
#include "port/steadyclock.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <optional>

class Dialogs;
class QAction;
class QCheckBox;
class QComboBox;
class QGraphicsSimpleTextItem;
class QGraphicsRectItem;
class QGraphicsLineItem;
class QLineEdit;
class QPushButton;
class QSpinBox;
class SerialComponent;
class PlotView;
class CurvesItem;
class QChart;
class QLineSeries;
class QValueAxis;

// The receive box's "波形图…" item: opens the plot window, or raises it when it is open.
QAction* plotAction(SerialComponent& port, Dialogs& dialogs, QWidget& window);

// A window of its own that draws the numbers in the received lines as curves. It hears every
// receive event of the port while it is open, whatever the display does; closed, it is gone, and
// with it its share of the receive events. The lines are read and kept as they arrive (PlotLines,
// PlotSeries); the chart is redrawn at most 30 times a second, only when something changed, with
// the points already thinned to a few per pixel column.
class PlotWindow : public QWidget {
    Q_OBJECT
public:
    PlotWindow(SerialComponent& port, Dialogs& dialogs, QWidget* parent = nullptr);
    ~PlotWindow() override;

    static constexpr int framesPerSecond = 30;
    static constexpr int shortestFrameMs = 25;
    static constexpr int legendMs = 250;

    const PlotSeries& series() const { return m_series; }
    qint64 linesRead() const { return m_linesRead; }
    qint64 framesDrawn() const { return m_frames; }
    // The curve of a series as last drawn (thinned), and the chart.
    QList<QPointF> drawnPoints(int series) const;
    QWidget* chartView() const;
    // Draws now whatever there is (the benchmarks time it).
    void drawFrame();

private:
    void take(const QByteArray& received, qint64 atNs);
    void scheduleFrame();
    void addCurve(int series);
    void toggleCurve(int series);
    void setPaused(bool paused);
    void clearAll();
    void zoomTo(const QRectF& area);
    void zoomReset();
    void hover(const QPointF& at);
    void exportPng();
    void exportCsv();
    void refuse(const QString& text);
    PlotSeries::Axis axis() const;
    std::optional<std::pair<double, double>> fixedY() const;

    SerialComponent& m_port;
    Dialogs& m_dialogs;
    CodePageDecoder m_decoder;
    PlotLines m_lines;
    PlotSeries m_series;
    QElapsedTimer m_opened;
    qint64 m_openedNs = steadyNowNs(); // on the clock the port stamps reads on
    qint64 m_linesRead = 0;
    qint64 m_frames = 0;
    bool m_paused = false;

    QTimer m_frameTimer;
    double m_nextFrameAt = 0; // ms after opening
    QElapsedTimer m_legendShown;
    quint64 m_drawnRevision = 0;
    bool m_viewChanged = true; // something besides the samples needs drawing

    // The zoomed area in values, while zoomed; otherwise the view follows the newest samples.
    std::optional<QRectF> m_zoom;

    QPushButton* m_pause;
    QSpinBox* m_capacity;
    QComboBox* m_axis;
    QCheckBox* m_fixed;
    QLineEdit* m_low;
    QLineEdit* m_high;
    QLineEdit* m_prefix;
    PlotView* m_view;
    QChart* m_chart;
    QValueAxis* m_x;
    QValueAxis* m_y;
    QList<QLineSeries*> m_curves;
    QList<QString> m_legendTexts;
    CurvesItem* m_curveItem;
    QGraphicsLineItem* m_hoverLine;
    QGraphicsRectItem* m_hoverBox;
    QGraphicsSimpleTextItem* m_hoverText;
};
