// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "view/framepacer.h"

#include "view/viewpainter.h"
#include "view/viewtext.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimerEvent>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Shortest time between two repaints caused by appends (30 a second). Each repaint costs a round
// trip to the X server whatever it paints, and rows jump by whole lines, so more would only cost.
constexpr int frameMs = 33;

} // namespace

FramePacer::FramePacer(QAbstractScrollArea* view, const ViewText& text, const ViewPainter& painter)
    : m_view(view)
    , m_text(text)
    , m_painter(painter)
    , m_frameMs(frameMs)
{
    view->verticalScrollBar()->installEventFilter(this);
}

// ---- frames

void FramePacer::appended()
{
    m_followEnd = true;
    m_appended = true;
    requestFrame();
}

void FramePacer::requestFrame()
{
    if (m_frame.isActive()) {
        m_framePending = true;
        return;
    }
    m_streaming = false;
    nextFrame();
}

// While something new comes every frame, frames come a third as often: text that keeps
// scrolling by cannot be read line by line anyway, and each frame costs the same however little
// it shows. The first change after a quiet frame is shown at once.
void FramePacer::nextFrame()
{
    m_framePending = false;
    if (m_appended)
        showAppended();
    m_appended = false;
    const int interval = m_streaming ? 3 * m_frameMs : m_frameMs;
    if (!m_frame.isActive() || interval != m_frameInterval) {
        m_frameInterval = interval;
        m_frame.start(interval, this);
    }
    Q_EMIT frame();
}

void FramePacer::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_frame.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    m_streaming = m_framePending;
    if (m_framePending)
        nextFrame();
    else
        m_frame.stop();
}

// The last row shown changes from where it ended (or from where a word moved down, with the
// caret just before); the rows after it are new, and below them nothing changes.
void FramePacer::showAppended()
{
    // Nothing but appends since a frame that may be kept, and appends take nothing away.
    Q_ASSERT(!m_keepShown || (m_shownLastRow < m_text.rowCount() && m_shownEnd <= m_text.length()));
    const qint64 oldTop = m_top;
    const qint64 oldLast = m_shownLastRow;
    const qint64 oldEnd = m_shownEnd;
    syncScrollBar(true);
    Q_ASSERT(m_top >= 0 && m_top < m_text.rowCount());
    m_shownLastRow = m_text.rowCount() - 1;
    m_shownEnd = m_text.length();
    const qint64 rows = m_top - oldTop;
    const bool keep = m_keepShown && m_paintedSinceFrame && rows >= 0 && rows < pageRows()
        && oldLast <= m_shownLastRow && oldEnd <= m_shownEnd;
    m_keepShown = true;
    m_paintedSinceFrame = false;
    QWidget* viewport = m_view->viewport();
    if (!keep) {
        viewport->update();
        return;
    }
    const int lineHeight = m_painter.lineHeight();
    if (rows > 0)
        viewport->scroll(0, int(-rows * lineHeight));
    const qint64 y = (oldLast - m_top) * lineHeight;
    if (y >= 0) {
        const qint64 from = std::min(oldEnd, m_text.rowEnd(oldLast));
        const int x = ViewPainter::margin + int(std::floor(m_painter.xInRow(oldLast, from))) - 1;
        viewport->update(x, int(y), viewport->width() - x, lineHeight);
    }
    const int below = int(std::max<qint64>(y + lineHeight, 0));
    const qint64 added = m_shownLastRow - oldLast;
    if (added > 0) {
        viewport->update(0, below, viewport->width(),
            int(std::min<qint64>(added * lineHeight, viewport->height())));
    }
}

void FramePacer::repaintAll()
{
    m_keepShown = false;
    m_view->viewport()->update();
}

bool FramePacer::keepsRowOf(qint64 pos) const
{
    return pos < m_text.rowStart(std::min(m_shownLastRow, m_text.rowCount() - 1));
}

// ---- the first row on screen and the scroll bar

int FramePacer::pageRows() const
{
    return std::max(1, m_view->viewport()->height() / m_painter.lineHeight());
}

qint64 FramePacer::lastFirstRow() const
{
    return std::clamp<qint64>(m_text.rowCount() - pageRows(), 0, INT_MAX);
}

void FramePacer::updateScrollBar()
{
    QScrollBar* bar = m_view->verticalScrollBar();
    bar->setSingleStep(1);
    bar->setPageStep(pageRows());
    bar->setRange(0, int(lastFirstRow()));
}

QRect FramePacer::thumbRect(int maximum, int value, int page) const
{
    const QScrollBar* bar = m_view->verticalScrollBar();
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = Qt::Vertical;
    option.subControls = QStyle::SC_All;
    option.minimum = 0;
    option.maximum = maximum;
    option.sliderPosition = option.sliderValue = value;
    option.singleStep = 1;
    option.pageStep = page;
    return bar->style()->subControlRect(
        QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar);
}

void FramePacer::syncScrollBar(bool lazy)
{
    if (m_followEnd) {
        m_followEnd = false;
        m_top = lastFirstRow();
        m_barStale = true;
    }
    if (!m_barStale)
        return;
    QScrollBar* bar = m_view->verticalScrollBar();
    const int maximum = int(lastFirstRow());
    const int value = int(std::min<qint64>(m_top, maximum));
    if (lazy && bar->maximum() > 0
        && thumbRect(bar->maximum(), bar->value(), bar->pageStep())
            == thumbRect(maximum, value, pageRows()))
        return;
    m_barStale = false;
    m_settingBar = true;
    updateScrollBar();
    bar->setValue(value);
    m_settingBar = false;
    m_top = bar->value();
}

// Whatever the user does to the scroll bar starts from where it should stand.
bool FramePacer::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::ContextMenu:
        syncScrollBar();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void FramePacer::rowsChanged()
{
    updateScrollBar();
    m_top = m_view->verticalScrollBar()->value();
}

void FramePacer::relayoutInPlace(const std::function<void()>& relayout)
{
    syncScrollBar();
    QScrollBar* bar = m_view->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    const qint64 firstPos = m_text.rowStart(std::min(m_top, m_text.rowCount() - 1));
    relayout();
    updateScrollBar();
    bar->setValue(atEnd ? bar->maximum() : int(std::min<qint64>(m_text.rowOf(firstPos), INT_MAX)));
    m_top = bar->value();
    repaintAll();
}

void FramePacer::showRow(qint64 row)
{
    syncScrollBar();
    QScrollBar* bar = m_view->verticalScrollBar();
    if (row < m_top)
        bar->setValue(int(std::min<qint64>(row, INT_MAX)));
    else if (row >= m_top + bar->pageStep())
        bar->setValue(int(std::min<qint64>(row - bar->pageStep() + 1, INT_MAX)));
}

void FramePacer::reset()
{
    m_followEnd = false;
    m_barStale = false;
    m_settingBar = true;
    updateScrollBar();
    m_view->verticalScrollBar()->setValue(0);
    m_settingBar = false;
    m_top = 0;
    repaintAll();
}

void FramePacer::scrolled()
{
    if (m_settingBar)
        return;
    m_top = m_view->verticalScrollBar()->value();
    repaintAll();
}
