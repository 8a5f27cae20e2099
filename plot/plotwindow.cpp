// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "plot/plotwindow.h"

#include "plot/plotscale.h"

#include "platform/platform.h"
#include "port/serialcomponent.h"

#include <QBrush>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGraphicsItem>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QPushButton>
#include <QRubberBand>
#include <QSaveFile>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>

#include <cmath>
#include <functional>
#include <limits>

namespace {

// Sixteen colours told apart on white, the first ten in the order plotting tools made familiar.
constexpr QRgb curveColours[PlotSeries::maxSeries]
    = { 0x1f77b4, 0xff7f0e, 0x2ca02c, 0xd62728, 0x9467bd, 0x8c564b, 0xe377c2, 0x7f7f7f, 0xbcbd22,
          0x17becf, 0x000080, 0x808000, 0x00c000, 0xff00ff, 0x00a0a0, 0x000000 };

QString shortNumber(double value) { return QString::number(value, 'g', 6); }

} // namespace

// The curves, drawn over the chart's plot area as plain polylines. Qt's line series strokes an
// outline of the whole curve on every update (for its hit testing), which at 30 frames a second
// of eight curves costs more than everything else together; the chart keeps the axes and the
// legend, whose markers stand on empty series of the same colours.
class CurvesItem : public QGraphicsItem {
public:
    CurvesItem(QChart* chart, const QValueAxis* x, const QValueAxis* y)
        : QGraphicsItem(chart)
        , m_chart(chart)
        , m_x(x)
        , m_y(y)
    {
    }
    QRectF boundingRect() const override { return m_chart->plotArea(); }
    // Mapped here, with the plot area and ranges the chart has at the paint. A point whose y is
    // NaN is a gap: the curve breaks there.
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override
    {
        const QRectF plot = m_chart->plotArea();
        const PlotScale x(m_x->min(), m_x->max());
        const PlotScale y(m_y->min(), m_y->max());
        painter->setClipRect(plot);
        for (qsizetype series = 0; series < curves.size(); ++series) {
            painter->setPen(QPen(QColor(curveColours[series]), 0));
            const QList<QPointF>& points = curves[series];
            m_line.clear();
            for (const QPointF& point : points) {
                if (std::isnan(point.y())) {
                    painter->drawPolyline(m_line);
                    m_line.clear();
                    continue;
                }
                m_line.append(QPointF(plot.left() + x.fraction(point.x()) * plot.width(),
                    plot.bottom() - y.fraction(point.y()) * plot.height()));
            }
            painter->drawPolyline(m_line);
        }
    }
    void changed()
    {
        prepareGeometryChange();
        update();
    }

    QList<QList<QPointF>> curves; // thinned, in values; a hidden one empty

private:
    QChart* m_chart;
    const QValueAxis* m_x;
    const QValueAxis* m_y;
    QPolygonF m_line;
};

// The chart, with the mouse doing what a plot's user expects: a dragged rectangle or the wheel
// zooms, a double click goes back, the pointer's position is reported for the values under it.
class PlotView : public QChartView {
public:
    using QChartView::QChartView;

    std::function<void(const QRectF&)> zoomTo; // in the chart's coordinates
    std::function<void()> zoomReset;
    std::function<void(const QPointF&)> hover; // in the chart's coordinates; none: left

protected:
    QPointF onChart(const QPoint& pos) const { return chart()->mapFromScene(mapToScene(pos)); }

    void mousePressEvent(QMouseEvent* event) override
    {
        // Outside the plot area the chart has the click: the legend's entries take it.
        if (event->button() != Qt::LeftButton
            || !chart()->plotArea().contains(onChart(event->position().toPoint())))
            return QChartView::mousePressEvent(event);
        m_origin = event->position().toPoint();
        m_band.setGeometry(QRect(m_origin, QSize()));
        m_band.show();
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        const QPoint pos = event->position().toPoint();
        if (m_band.isVisible())
            m_band.setGeometry(QRect(m_origin, pos).normalized());
        hover(onChart(pos));
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton || !m_band.isVisible())
            return QChartView::mouseReleaseEvent(event);
        m_band.hide();
        const QRect band = m_band.geometry();
        // A click that moved a pixel or two is no rectangle.
        if (band.width() > 4 && band.height() > 4)
            zoomTo(QRectF(onChart(band.topLeft()), onChart(band.bottomRight())));
    }
    void mouseDoubleClickEvent(QMouseEvent*) override
    {
        m_band.hide();
        zoomReset();
    }
    void wheelEvent(QWheelEvent* event) override
    {
        if (event->angleDelta().y() == 0)
            return;
        const double factor = event->angleDelta().y() > 0 ? 0.8 : 1.25;
        const QRectF area = chart()->plotArea();
        const QPointF at = onChart(event->position().toPoint());
        zoomTo(QRectF(at.x() - (at.x() - area.left()) * factor,
            at.y() - (at.y() - area.top()) * factor, area.width() * factor,
            area.height() * factor));
    }
    void leaveEvent(QEvent*) override
    {
        hover(QPointF(std::numeric_limits<double>::quiet_NaN(), 0));
    }

private:
    QRubberBand m_band { QRubberBand::Rectangle, this };
    QPoint m_origin;
};

PlotWindow::PlotWindow(SerialComponent& port, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_port(port)
    , m_dialogs(dialogs)
    , m_pause(new QPushButton(QStringLiteral("暂停")))
    , m_capacity(new QSpinBox)
    , m_axis(new QComboBox)
    , m_fixed(new QCheckBox(QStringLiteral("固定纵轴")))
    , m_low(new QLineEdit)
    , m_high(new QLineEdit)
    , m_prefix(new QLineEdit)
    , m_chart(new QChart)
    , m_x(new QValueAxis)
    , m_y(new QValueAxis)
{
    setWindowTitle(QStringLiteral("波形图"));
    setObjectName(QStringLiteral("PlotWindow"));
    m_opened.start();

    m_view = new PlotView(m_chart);
    m_view->setMouseTracking(true);
    m_view->setRenderHint(QPainter::Antialiasing, false);
    m_chart->addAxis(m_x, Qt::AlignBottom);
    m_chart->addAxis(m_y, Qt::AlignLeft);
    m_chart->legend()->setAlignment(Qt::AlignRight);
    m_chart->setAnimationOptions(QChart::NoAnimation);
    m_chart->setBackgroundRoundness(0);
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    m_x->setLabelFormat(QStringLiteral("%.0f"));
    m_y->setLabelFormat(QStringLiteral("%g"));

    m_curveItem = new CurvesItem(m_chart, m_x, m_y);
    m_curveItem->setZValue(50);
    m_hoverLine = new QGraphicsLineItem(m_chart);
    m_hoverLine->setPen(QPen(Qt::gray, 0, Qt::DashLine));
    m_hoverBox = new QGraphicsRectItem(m_chart);
    m_hoverBox->setBrush(QColor(255, 255, 224, 230));
    m_hoverBox->setPen(QPen(Qt::gray));
    m_hoverText = new QGraphicsSimpleTextItem(m_hoverBox);
    for (QGraphicsItem* item :
        { static_cast<QGraphicsItem*>(m_hoverLine), static_cast<QGraphicsItem*>(m_hoverBox) }) {
        item->setZValue(100);
        item->hide();
    }

    m_capacity->setRange(int(PlotSeries::fewestSamples), int(PlotSeries::mostSamples));
    m_capacity->setValue(int(PlotSeries::defaultSamples));
    m_capacity->setSingleStep(1000);
    m_capacity->setGroupSeparatorShown(true);
    // Typing 5000 must not pass through 5 and throw away what it held.
    m_capacity->setKeyboardTracking(false);
    m_capacity->setObjectName(QStringLiteral("PlotPoints"));
    m_axis->addItems({ QStringLiteral("样本"), QStringLiteral("秒") });
    m_axis->setObjectName(QStringLiteral("PlotAxis"));
    m_low->setPlaceholderText(QStringLiteral("下限"));
    m_high->setPlaceholderText(QStringLiteral("上限"));
    m_low->setObjectName(QStringLiteral("PlotLow"));
    m_high->setObjectName(QStringLiteral("PlotHigh"));
    m_fixed->setObjectName(QStringLiteral("PlotFixed"));
    m_prefix->setPlaceholderText(QStringLiteral("如 >"));
    m_prefix->setObjectName(QStringLiteral("PlotPrefix"));
    m_pause->setObjectName(QStringLiteral("PlotPause"));
    m_view->setObjectName(QStringLiteral("PlotChart"));
    for (QLineEdit* edit : { m_low, m_high, m_prefix })
        edit->setMaximumWidth(70);
    auto* clear = new QPushButton(QStringLiteral("清除"));
    clear->setObjectName(QStringLiteral("PlotClear"));
    auto* png = new QPushButton(QStringLiteral("导出 PNG…"));
    png->setObjectName(QStringLiteral("PlotPng"));
    auto* csv = new QPushButton(QStringLiteral("导出 CSV…"));
    csv->setObjectName(QStringLiteral("PlotCsv"));

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_pause);
    bar->addWidget(clear);
    bar->addWidget(new QLabel(QStringLiteral("点数")));
    bar->addWidget(m_capacity);
    bar->addWidget(new QLabel(QStringLiteral("横轴")));
    bar->addWidget(m_axis);
    bar->addWidget(m_fixed);
    bar->addWidget(m_low);
    bar->addWidget(m_high);
    bar->addWidget(new QLabel(QStringLiteral("行前缀")));
    bar->addWidget(m_prefix);
    bar->addStretch();
    bar->addWidget(png);
    bar->addWidget(csv);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_view, 1);
    resize(960, 540);

    m_frameTimer.setSingleShot(true);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_frameTimer, &QTimer::timeout, this, &PlotWindow::drawFrame);
    const auto redraw = [this] {
        m_viewChanged = true;
        scheduleFrame();
    };
    connect(m_pause, &QPushButton::clicked, this, [this] { setPaused(!m_paused); });
    connect(clear, &QPushButton::clicked, this, &PlotWindow::clearAll);
    connect(m_capacity, &QSpinBox::valueChanged, this, [this, redraw](int samples) {
        m_series.setCapacity(samples);
        redraw();
    });
    connect(m_axis, &QComboBox::currentIndexChanged, this, [this, redraw] {
        m_x->setLabelFormat(
            axis() == PlotSeries::Axis::Seconds ? QStringLiteral("%.1f") : QStringLiteral("%.0f"));
        m_zoom.reset();
        redraw();
    });
    connect(m_fixed, &QCheckBox::toggled, this, redraw);
    connect(m_low, &QLineEdit::textChanged, this, redraw);
    connect(m_high, &QLineEdit::textChanged, this, redraw);
    connect(m_prefix, &QLineEdit::textChanged, this,
        [this](const QString& prefix) { m_lines.setPrefix(prefix); });
    connect(png, &QPushButton::clicked, this, &PlotWindow::exportPng);
    connect(csv, &QPushButton::clicked, this, &PlotWindow::exportCsv);
    m_view->zoomTo = [this](const QRectF& area) { zoomTo(area); };
    m_view->zoomReset = [this] { zoomReset(); };
    m_view->hover = [this](const QPointF& at) { hover(at); };

    connect(
        &m_port, &SerialComponent::onComm, this, [this](int commEvent, const QByteArray& received) {
            if (commEvent == SerialComponent::EventReceive)
                take(received);
        });
    drawFrame();
}

PlotWindow::~PlotWindow() = default;

QWidget* PlotWindow::chartView() const { return m_view; }

QList<QPointF> PlotWindow::drawnPoints(int series) const
{
    return m_curveItem->curves.value(series);
}

PlotSeries::Axis PlotWindow::axis() const
{
    return m_axis->currentIndex() == 1 ? PlotSeries::Axis::Seconds : PlotSeries::Axis::Samples;
}

void PlotWindow::take(const QByteArray& received)
{
    const double seconds = double(m_opened.nsecsElapsed()) / 1e9;
    // Read as the text display reads: a change of 字符编码 applies from the next byte.
    if (m_decoder.codePage() != m_port.textCodePage())
        m_decoder.setCodePage(m_port.textCodePage());
    m_lines.feed(m_decoder.decode(received), [&](const PlotLines::Values& values) {
        m_series.add(seconds, values);
        ++m_linesRead;
    });
    scheduleFrame();
}

void PlotWindow::scheduleFrame()
{
    if (m_paused || m_frameTimer.isActive())
        return;
    if (!m_viewChanged && m_drawnRevision == m_series.revision())
        return;
    const double now = double(m_opened.nsecsElapsed()) / 1e6;
    m_frameTimer.start(int(std::max(0.0, std::ceil(m_nextFrameAt - now))));
}

void PlotWindow::addCurve(int series)
{
    auto* curve = new QLineSeries;
    QPen pen(QColor(curveColours[series]));
    pen.setWidth(1);
    curve->setPen(pen);
    m_chart->addSeries(curve);
    curve->attachAxis(m_x);
    curve->attachAxis(m_y);
    for (QLegendMarker* marker : m_chart->legend()->markers(curve))
        connect(marker, &QLegendMarker::clicked, this, [this, series] { toggleCurve(series); });
    m_curves.append(curve);
    m_legendTexts.append(QString());
    m_curveItem->curves.append(QList<QPointF>());
}

void PlotWindow::toggleCurve(int series)
{
    QLineSeries* curve = m_curves[series];
    curve->setVisible(!curve->isVisible());
    // A hidden curve keeps its legend entry, greyed, so that it can be clicked back.
    for (QLegendMarker* marker : m_chart->legend()->markers(curve)) {
        marker->setVisible(true);
        marker->setLabelBrush(curve->isVisible() ? QBrush(Qt::black) : QBrush(Qt::gray));
        QColor colour(curveColours[series]);
        colour.setAlpha(curve->isVisible() ? 255 : 60);
        marker->setBrush(colour);
    }
    m_viewChanged = true;
    scheduleFrame();
}

void PlotWindow::drawFrame()
{
    m_frameTimer.stop();
    // Frames keep to a 30 a second beat even when the event loop is late for one, but never
    // come closer together than shortestFrameMs.
    const double now = double(m_opened.nsecsElapsed()) / 1e6;
    m_nextFrameAt = std::max(now + shortestFrameMs, m_nextFrameAt + 1000.0 / framesPerSecond);
    while (m_curves.size() < m_series.seriesCount())
        addCurve(int(m_curves.size()));

    const PlotSeries::Axis along = axis();
    double from = 0;
    double to = 1;
    if (m_zoom) {
        from = m_zoom->left();
        to = m_zoom->right();
    } else if (m_series.size() > 0) {
        from = m_series.x(along, 0);
        to = std::max(m_series.x(along, m_series.size() - 1), from + 1e-3);
    }
    const int columns = std::max(1, int(m_chart->plotArea().width()));
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    // The legend's latest values change at every frame, faster than anyone reads them, and each
    // change lays the legend out again.
    const bool legendDue = !m_legendShown.isValid() || m_legendShown.elapsed() >= legendMs;
    if (legendDue)
        m_legendShown.start();
    for (int series = 0; series < m_series.seriesCount(); ++series) {
        QLineSeries* curve = m_curves[series];
        QString legend = m_series.name(series);
        if (const double latest = m_series.latest(series); !std::isnan(latest))
            legend += QStringLiteral("  ") + shortNumber(latest);
        if ((legendDue || m_legendTexts[series].isEmpty()) && legend != m_legendTexts[series]) {
            curve->setName(legend);
            m_legendTexts[series] = legend;
        }
        QList<QPointF>& points = m_curveItem->curves[series];
        if (!curve->isVisible()) {
            points.clear();
            continue;
        }
        m_series.decimated(points, series, along, from, to, columns);
        for (const QPointF& point : std::as_const(points)) {
            if (point.x() >= from && point.x() <= to && !std::isnan(point.y())) {
                low = std::min(low, point.y());
                high = std::max(high, point.y());
            }
        }
    }
    if (const auto fixed = fixedY()) {
        low = fixed->first;
        high = fixed->second;
    } else if (m_zoom) {
        low = m_zoom->top();
        high = m_zoom->bottom();
    } else {
        // Round ends, so the axis (and its labels, costly to lay out) change only when the
        // curves outgrow them.
        const PlotScale fitted = PlotScale::fit(low, high);
        low = fitted.low();
        high = fitted.high();
        m_y->setTickCount(fitted.ticks(4).count);
    }
    m_x->setRange(from, to);
    m_y->setRange(low, high);
    m_curveItem->changed();
    m_drawnRevision = m_series.revision();
    m_viewChanged = false;
    ++m_frames;
}

std::optional<std::pair<double, double>> PlotWindow::fixedY() const
{
    bool lowOk = false;
    bool highOk = false;
    const double low = m_low->text().trimmed().toDouble(&lowOk);
    const double high = m_high->text().trimmed().toDouble(&highOk);
    if (!m_fixed->isChecked() || !lowOk || !highOk || !(low < high) || !std::isfinite(low)
        || !std::isfinite(high))
        return std::nullopt;
    return std::make_pair(low, high);
}

void PlotWindow::setPaused(bool paused)
{
    m_paused = paused;
    m_pause->setText(paused ? QStringLiteral("继续") : QStringLiteral("暂停"));
    m_viewChanged = true;
    scheduleFrame();
}

void PlotWindow::clearAll()
{
    m_series.clear();
    m_chart->removeAllSeries();
    m_curves.clear();
    m_curveItem->curves.clear();
    m_legendTexts.clear();
    m_zoom.reset();
    drawFrame();
}

void PlotWindow::zoomTo(const QRectF& area)
{
    const QRectF plot = m_chart->plotArea();
    if (plot.width() <= 0 || plot.height() <= 0)
        return;
    const PlotScale x(m_x->min(), m_x->max());
    const PlotScale y(m_y->min(), m_y->max());
    const auto valueAt = [&](const QPointF& at) {
        return QPointF(x.at((at.x() - plot.left()) / plot.width()),
            y.at((plot.bottom() - at.y()) / plot.height()));
    };
    const QRectF zoom = QRectF(valueAt(area.topLeft()), valueAt(area.bottomRight())).normalized();
    // Zoomed in or out as far as a double goes, the view stays where it is.
    if (!PlotScale::usable(zoom.left(), zoom.right())
        || !PlotScale::usable(zoom.top(), zoom.bottom()))
        return;
    m_zoom = zoom;
    m_viewChanged = true;
    scheduleFrame();
}

void PlotWindow::zoomReset()
{
    m_zoom.reset();
    m_viewChanged = true;
    scheduleFrame();
}

void PlotWindow::hover(const QPointF& at)
{
    const QRectF plot = m_chart->plotArea();
    const PlotSeries::Axis along = axis();
    if (!plot.contains(at) || m_series.size() == 0) {
        m_hoverLine->hide();
        m_hoverBox->hide();
        return;
    }
    const PlotScale scale(m_x->min(), m_x->max());
    const double x = scale.at((at.x() - plot.left()) / plot.width());
    qsizetype k = std::min(m_series.within(along, x, x).first, m_series.size() - 1);
    if (k > 0 && std::abs(m_series.x(along, k - 1) - x) < std::abs(m_series.x(along, k) - x))
        --k;
    QStringList lines {
        (along == PlotSeries::Axis::Seconds ? QStringLiteral("%1 秒") : QStringLiteral("样本 %1"))
            .arg(m_series.x(along, k), 0, 'f', along == PlotSeries::Axis::Seconds ? 3 : 0)
    };
    for (int series = 0; series < m_series.seriesCount(); ++series) {
        const double value = m_series.value(series, k);
        if (series < m_curves.size() && m_curves[series]->isVisible() && std::isfinite(value))
            lines << m_series.name(series) + QStringLiteral(": ") + shortNumber(value);
    }
    m_hoverText->setText(lines.join(u'\n'));
    const double lineX = plot.left() + scale.fraction(m_series.x(along, k)) * plot.width();
    m_hoverLine->setLine(lineX, plot.top(), lineX, plot.bottom());
    const QRectF text = m_hoverText->boundingRect().adjusted(-4, -2, 4, 2);
    QPointF corner = at + QPointF(12, 12);
    if (corner.x() + text.width() > plot.right())
        corner.rx() = at.x() - 12 - text.width();
    if (corner.y() + text.height() > plot.bottom())
        corner.ry() = plot.bottom() - text.height();
    m_hoverBox->setRect(text);
    m_hoverBox->setPos(corner);
    m_hoverLine->show();
    m_hoverBox->show();
}

void PlotWindow::refuse(const QString& text)
{
    m_dialogs.message(
        this, text, QStringLiteral("串口调试助手"), Dialogs::Icon::Warning, Dialogs::Buttons::Ok);
}

void PlotWindow::exportPng()
{
    const QString path = m_dialogs.saveFile(this, QStringLiteral("导出 PNG"), QString());
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !m_view->grab().save(&file, "PNG") || !file.commit())
        refuse(QStringLiteral("无法写入 %1").arg(QDir::toNativeSeparators(path)));
}

void PlotWindow::exportCsv()
{
    const QString path = m_dialogs.saveFile(this, QStringLiteral("导出 CSV"), QString());
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !m_series.writeCsv(file) || !file.commit())
        refuse(QStringLiteral("无法写入 %1").arg(QDir::toNativeSeparators(path)));
}
