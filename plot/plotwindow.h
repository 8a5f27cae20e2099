// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "plot/plotlines.h"
#include "plot/plotscale.h"
#include "plot/plotseries.h"
#include "port/codepage.h"
#include "port/steadyclock.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <optional>
#include <utility>

class Dialogs;
class PlotCanvas;
class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class SerialComponent;

// The receive box's "波形图…" item: opens the plot window, or raises it when it is open.
QAction* plotAction(SerialComponent& port, Dialogs& dialogs, QWidget& window);

// A window of its own that draws the numbers in the received lines as curves. It hears every
// receive event of the port while it is open, whatever the display does; closed, it is gone, and
// with it its share of the receive events. The lines are read and kept as they arrive (PlotLines,
// PlotSeries); a frame is drawn at most 30 times a second, only when something changed, with the
// points already thinned to a few per pixel column, and painted by PlotCanvas.
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
    // The curve of a series as last drawn (thinned), and the picture.
    QList<QPointF> drawnPoints(int series) const;
    PlotCanvas* canvas() const { return m_canvas; }
    // Draws now whatever there is (the benchmarks time it).
    void drawFrame();

private:
    void take(const QByteArray& received, qint64 atNs);
    void scheduleFrame();
    void redraw();
    void setPaused(bool paused);
    void clearAll();
    std::pair<double, QStringList> describe(double x) const;
    void exportPng();
    void exportCsv();
    void refuse(const QString& text);
    PlotSeries::Axis axis() const;
    PlotScale xScale() const;
    PlotScale yScale(double low, double high) const;

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

    // The zoomed ranges, while zoomed; otherwise the view follows the newest samples.
    std::optional<std::pair<PlotScale, PlotScale>> m_zoom;

    QPushButton* m_pause;
    QSpinBox* m_capacity;
    QComboBox* m_axis;
    QCheckBox* m_fixed;
    QLineEdit* m_low;
    QLineEdit* m_high;
    QLineEdit* m_prefix;
    PlotCanvas* m_canvas;
};
