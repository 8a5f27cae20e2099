// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "plot/plotwindow.h"

#include "platform/platform.h"
#include "plot/plotaccessible.h"
#include "plot/plotcanvas.h"
#include "port/serialcomponent.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

namespace {

QLabel* labelFor(QWidget* control, const QString& text)
{
    auto* label = new QLabel(text);
    label->setBuddy(control);
    return label;
}

} // namespace

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
    , m_canvas(new PlotCanvas)
{
    PlotCanvasAccessible::install();
    setWindowTitle(QStringLiteral("波形图"));
    setObjectName(QStringLiteral("PlotWindow"));
    m_opened.start();

    m_capacity->setRange(int(PlotSeries::fewestSamples), int(PlotSeries::mostSamples));
    m_capacity->setValue(int(PlotSeries::defaultSamples));
    m_capacity->setSingleStep(1000);
    m_capacity->setGroupSeparatorShown(true);
    // Typing 5000 must not pass through 5 and throw away what it held.
    m_capacity->setKeyboardTracking(false);
    m_capacity->setObjectName(QStringLiteral("PlotPoints"));
    m_axis->addItems({ QStringLiteral("样本"), QStringLiteral("秒") });
    m_axis->setObjectName(QStringLiteral("PlotAxis"));
    // The bounds have no label beside them: their placeholders are what a sighted user reads.
    for (const auto& [edit, name] :
        { std::pair(m_low, QStringLiteral("下限")), std::pair(m_high, QStringLiteral("上限")) }) {
        edit->setPlaceholderText(name);
        edit->setAccessibleName(name);
    }
    m_low->setObjectName(QStringLiteral("PlotLow"));
    m_high->setObjectName(QStringLiteral("PlotHigh"));
    m_fixed->setObjectName(QStringLiteral("PlotFixed"));
    m_prefix->setPlaceholderText(QStringLiteral("如 >"));
    m_prefix->setObjectName(QStringLiteral("PlotPrefix"));
    m_pause->setObjectName(QStringLiteral("PlotPause"));
    m_canvas->setObjectName(QStringLiteral("PlotChart"));
    m_canvas->setAccessibleName(QStringLiteral("曲线"));
    m_canvas->setAccessibleDescription(
        QStringLiteral("图例中每条曲线的名称和最新值；上下键选择曲线，空格键隐藏或显示"));
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
    bar->addWidget(labelFor(m_capacity, QStringLiteral("点数")));
    bar->addWidget(m_capacity);
    bar->addWidget(labelFor(m_axis, QStringLiteral("横轴")));
    bar->addWidget(m_axis);
    bar->addWidget(m_fixed);
    bar->addWidget(m_low);
    bar->addWidget(m_high);
    bar->addWidget(labelFor(m_prefix, QStringLiteral("行前缀")));
    bar->addWidget(m_prefix);
    bar->addStretch();
    bar->addWidget(png);
    bar->addWidget(csv);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_canvas, 1);
    resize(960, 540);

    m_frameTimer.setSingleShot(true);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_frameTimer, &QTimer::timeout, this, &PlotWindow::drawFrame);
    connect(m_pause, &QPushButton::clicked, this, [this] { setPaused(!m_paused); });
    connect(clear, &QPushButton::clicked, this, &PlotWindow::clearAll);
    connect(m_capacity, &QSpinBox::valueChanged, this, [this](int samples) {
        m_series.setCapacity(samples);
        redraw();
    });
    connect(m_axis, &QComboBox::currentIndexChanged, this, [this] {
        m_zoom.reset();
        redraw();
    });
    connect(m_fixed, &QCheckBox::toggled, this, &PlotWindow::redraw);
    connect(m_low, &QLineEdit::textChanged, this, &PlotWindow::redraw);
    connect(m_high, &QLineEdit::textChanged, this, &PlotWindow::redraw);
    connect(m_prefix, &QLineEdit::textChanged, this,
        [this](const QString& prefix) { m_lines.setPrefix(prefix); });
    connect(png, &QPushButton::clicked, this, &PlotWindow::exportPng);
    connect(csv, &QPushButton::clicked, this, &PlotWindow::exportCsv);
    m_canvas->zoomTo = [this](const PlotScale& x, const PlotScale& y) {
        m_zoom.emplace(x, y);
        redraw();
    };
    m_canvas->zoomReset = [this] {
        m_zoom.reset();
        redraw();
    };
    m_canvas->curvesToggled = [this] { redraw(); };
    m_canvas->describe = [this](double x) { return describe(x); };

    connect(&m_port, &SerialComponent::onComm, this,
        [this](int commEvent, const QByteArray& received, qint64 atNs) {
            if (commEvent == SerialComponent::EventReceive)
                take(received, atNs);
        });
    // Each sample's time (the seconds axis, the CSV's first column) is its read's.
    m_port.needTiming(SerialComponent::Plot, true);
    drawFrame();
}

PlotWindow::~PlotWindow() { m_port.needTiming(SerialComponent::Plot, false); }

QList<QPointF> PlotWindow::drawnPoints(int series) const
{
    return series < m_canvas->curves.size() ? m_canvas->curves[series].points : QList<QPointF>();
}

PlotSeries::Axis PlotWindow::axis() const
{
    return m_axis->currentIndex() == 1 ? PlotSeries::Axis::Seconds : PlotSeries::Axis::Samples;
}

void PlotWindow::take(const QByteArray& received, qint64 atNs)
{
    const double seconds = double(atNs - m_openedNs) / 1e9;
    // Read as the text display reads: a change of 字符编码 applies from the next byte.
    if (m_decoder.codePage() != m_port.textCodePage())
        m_decoder.setCodePage(m_port.textCodePage());
    m_lines.feed(m_decoder.decode(received), [&](const PlotLines::Values& values) {
        m_series.add(seconds, values);
        ++m_linesRead;
    });
    scheduleFrame();
}

void PlotWindow::redraw()
{
    m_viewChanged = true;
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

// Zoomed, what the zoom holds; otherwise every sample held.
PlotScale PlotWindow::xScale() const
{
    if (m_zoom)
        return m_zoom->first;
    if (m_series.size() == 0)
        return PlotScale(0, 1);
    const PlotSeries::Axis along = axis();
    const double from = m_series.x(along, 0);
    return PlotScale(from, std::max(m_series.x(along, m_series.size() - 1), from + 1e-3));
}

// Fixed, the bounds typed; zoomed, what the zoom holds; otherwise round numbers around the values
// shown.
PlotScale PlotWindow::yScale(double low, double high) const
{
    bool lowOk = false;
    bool highOk = false;
    const double fixedLow = m_low->text().trimmed().toDouble(&lowOk);
    const double fixedHigh = m_high->text().trimmed().toDouble(&highOk);
    if (m_fixed->isChecked() && lowOk && highOk && PlotScale::usable(fixedLow, fixedHigh))
        return PlotScale(fixedLow, fixedHigh);
    if (m_zoom)
        return m_zoom->second;
    return PlotScale::fit(low, high);
}

void PlotWindow::drawFrame()
{
    m_frameTimer.stop();
    // Frames keep to a 30 a second beat even when the event loop is late for one, but never
    // come closer together than shortestFrameMs.
    const double now = double(m_opened.nsecsElapsed()) / 1e6;
    m_nextFrameAt = std::max(now + shortestFrameMs, m_nextFrameAt + 1000.0 / framesPerSecond);
    QList<PlotCanvas::Curve>& curves = m_canvas->curves;
    while (curves.size() < m_series.seriesCount()) {
        curves.append(PlotCanvas::Curve());
        curves.last().name = m_series.name(int(curves.size() - 1));
    }

    const PlotSeries::Axis along = axis();
    const PlotScale x = xScale();
    const int columns = std::max(1, int(m_canvas->plotArea().width()));
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    // The legend's latest values change at every frame, faster than anyone reads them.
    const bool legendDue = !m_legendShown.isValid() || m_legendShown.elapsed() >= legendMs;
    if (legendDue)
        m_legendShown.start();
    for (int series = 0; series < m_series.seriesCount(); ++series) {
        PlotCanvas::Curve& curve = curves[series];
        if (legendDue || std::isnan(curve.latest))
            curve.latest = m_series.latest(series);
        if (!curve.shown) {
            curve.points.clear();
            continue;
        }
        m_series.decimated(curve.points, series, along, x.low(), x.high(), columns);
        for (const QPointF& point : std::as_const(curve.points)) {
            if (point.x() >= x.low() && point.x() <= x.high() && !std::isnan(point.y())) {
                low = std::min(low, point.y());
                high = std::max(high, point.y());
            }
        }
    }
    m_canvas->setScales(x, yScale(low, high), along == PlotSeries::Axis::Seconds);
    m_drawnRevision = m_series.revision();
    m_viewChanged = false;
    ++m_frames;
}

void PlotWindow::setPaused(bool paused)
{
    m_paused = paused;
    m_pause->setText(paused ? QStringLiteral("继续") : QStringLiteral("暂停"));
    redraw();
}

void PlotWindow::clearAll()
{
    m_series.clear();
    m_canvas->clear();
    m_zoom.reset();
    drawFrame();
}

// What the hover box says: the sample nearest to x, and each shown series' value there.
std::pair<double, QStringList> PlotWindow::describe(double x) const
{
    if (m_series.size() == 0)
        return {};
    const PlotSeries::Axis along = axis();
    qsizetype k = std::min(m_series.within(along, x, x).first, m_series.size() - 1);
    if (k > 0 && std::abs(m_series.x(along, k - 1) - x) < std::abs(m_series.x(along, k) - x))
        --k;
    const bool seconds = along == PlotSeries::Axis::Seconds;
    QStringList lines { (seconds ? QStringLiteral("%1 秒") : QStringLiteral("样本 %1"))
                            .arg(m_series.x(along, k), 0, 'f', seconds ? 3 : 0) };
    for (int series = 0; series < m_series.seriesCount(); ++series) {
        const double value = m_series.value(series, k);
        if (m_canvas->curves.value(series).shown && std::isfinite(value))
            lines << m_series.name(series) + QStringLiteral(": ") + PlotCanvas::shortNumber(value);
    }
    return { m_series.x(along, k), lines };
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
    if (!file.open(QIODevice::WriteOnly) || !m_canvas->grab().save(&file, "PNG") || !file.commit())
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
