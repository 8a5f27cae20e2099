#include "receive/receiveview.h"

#include "receive/receiveaccessible.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleHints>
#include <QStyleOptionSlider>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>

namespace {

// Space between the frame and the characters, left and right, as a text box keeps it.
constexpr int margin = 2;
// Shortest time between two repaints caused by appends (30 a second). Each repaint costs a round
// trip to the X server whatever it paints, and rows jump by whole lines, so more would only cost.
constexpr int frameMs = 33;
// Characters either side of the caret that an input method is shown.
constexpr qint64 surroundingChars = 512;

bool isControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

} // namespace

ReceiveView::ReceiveView(QWidget* parent)
    : QAbstractScrollArea(parent)
    , m_frameMs(frameMs)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    updateMetrics(true);
    updateScrollBar();
    verticalScrollBar()->installEventFilter(this);
    ReceiveViewAccessible::install();
}

ReceiveView::~ReceiveView() = default;

// ---- text

void ReceiveView::appendText(QStringView text)
{
    m_text.append(text);
    afterAppend();
}

void ReceiveView::appendAscii(QByteArrayView ascii)
{
    m_text.appendLatin1(ascii);
    afterAppend();
}

QString ReceiveView::text() const { return m_text.text(); }

qint64 ReceiveView::length() const { return m_text.length(); }

void ReceiveView::setText(const QString& text)
{
    const QString removed = readerBeforeEdit(0, m_text.length());
    m_text.clear();
    m_text.append(text);
    m_cursor = m_anchor = 0;
    m_upstream = false;
    m_desiredX = -1;
    m_followEnd = false;
    m_barStale = false;
    m_appending = true;
    updateScrollBar();
    verticalScrollBar()->setValue(0);
    m_appending = false;
    m_top = 0;
    repaintAll();
    readerAfterEdit(0, removed, text);
}

void ReceiveView::clear() { setText(QString()); }

QString ReceiveView::rowText(qint64 row) const
{
    if (row < 0 || row >= m_text.rowCount())
        return {};
    return m_text.mid(m_text.rowStart(row), m_text.rowEnd(row) - m_text.rowStart(row));
}

QString ReceiveView::selectedText() const
{
    return m_text.mid(selectionStart(), selectionEnd() - selectionStart());
}

void ReceiveView::setCursorPosition(qint64 pos) { setSelection(pos, pos); }

void ReceiveView::setSelection(qint64 anchor, qint64 caret)
{
    const auto stop = [this](qint64 pos) {
        pos = std::clamp<qint64>(pos, 0, m_text.length());
        return m_text.isCaretStop(pos) ? pos : m_text.previousStop(pos);
    };
    m_anchor = stop(anchor);
    moveCursor(stop(caret), true);
}

void ReceiveView::selectAll() { setSelection(0, m_text.length()); }

void ReceiveView::copy()
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void ReceiveView::cut()
{
    if (!hasSelection())
        return;
    copy();
    deleteSelection();
}

void ReceiveView::paste()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (!text.isEmpty())
        insertText(text);
}

void ReceiveView::deleteSelection()
{
    if (!hasSelection())
        return;
    removeRange(selectionStart(), selectionEnd());
    afterEdit();
}

void ReceiveView::removeRange(qint64 from, qint64 to)
{
    const QString removed = readerBeforeEdit(from, to);
    m_text.remove(from, to - from);
    m_cursor = m_anchor = from;
    // Removing what stood between a CR and an LF joins them into one break.
    if (!m_text.isCaretStop(m_cursor))
        m_cursor = m_anchor = m_text.previousStop(m_cursor);
    readerAfterEdit(from, removed, QString());
}

void ReceiveView::insertText(const QString& text)
{
    if (hasSelection())
        removeRange(selectionStart(), selectionEnd());
    if (!text.isEmpty()) {
        const qint64 at = m_cursor;
        readerBeforeEdit(at, at);
        m_text.insert(at, text);
        m_cursor += text.size();
        if (!m_text.isCaretStop(m_cursor))
            m_cursor = m_text.nextStop(m_cursor);
        m_anchor = m_cursor;
        readerAfterEdit(at, QString(), text);
    }
    afterEdit();
}

void ReceiveView::afterAppend()
{
    // A selection or a caret away from the end is on screen in rows that the next frame keeps.
    if (hasSelection() || m_upstream || !m_preedit.isEmpty()
        || m_cursor < m_text.rowStart(std::min(m_shownLastRow, m_text.rowCount() - 1)))
        repaintAll();
    m_cursor = m_anchor = m_text.length();
    m_upstream = false;
    m_desiredX = -1;
    m_followEnd = true;
    m_caretOn = true;
    m_caretMoved = true;
    m_appended = true;
    requestFrame();
}

void ReceiveView::requestFrame()
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
void ReceiveView::nextFrame()
{
    m_framePending = false;
    if (m_appended)
        showAppended();
    m_appended = false;
    if (QAccessible::isActive())
        readerAppended();
    else
        m_told = m_text.length();
    const int interval = m_streaming ? 3 * m_frameMs : m_frameMs;
    if (!m_frame.isActive() || interval != m_frameInterval) {
        m_frameInterval = interval;
        m_frame.start(interval, this);
    }
    Q_EMIT frame();
}

// Data may arrive thousands of times a second: the first append after a quiet spell shows at
// once, later ones at most once a frame. Appending changes no row above the last one shown, so
// a frame moves the screen up by the rows added and paints that row's end and the rows added.
// The scroll bar is set only when its thumb would move; it is brought up to date before anyone
// uses it.
void ReceiveView::showAppended()
{
    const qint64 oldTop = m_top;
    const qint64 oldLast = m_shownLastRow;
    const qint64 oldEnd = m_shownEnd;
    syncScrollBar(true);
    m_shownLastRow = m_text.rowCount() - 1;
    m_shownEnd = m_text.length();
    const qint64 rows = m_top - oldTop;
    const bool keep = m_keepShown && m_paintedSinceFrame && rows >= 0 && rows < pageRows()
        && oldLast <= m_shownLastRow && oldEnd <= m_shownEnd;
    m_keepShown = true;
    m_paintedSinceFrame = false;
    if (!keep) {
        viewport()->update();
        return;
    }
    if (rows > 0)
        viewport()->scroll(0, int(-rows * m_lineHeight));
    // The last row shown changes from where it ended (or from where a word moved down, with the
    // caret just before); the rows after it are new, and below them nothing changes.
    const qint64 y = (oldLast - m_top) * m_lineHeight;
    if (y >= 0) {
        const qint64 from = std::min(oldEnd, m_text.rowEnd(oldLast));
        const int x = margin + int(std::floor(xInRow(oldLast, from))) - 1;
        viewport()->update(x, int(y), viewport()->width() - x, m_lineHeight);
    }
    const int below = int(std::max<qint64>(y + m_lineHeight, 0));
    const qint64 added = m_shownLastRow - oldLast;
    if (added > 0) {
        viewport()->update(0, below, viewport()->width(),
            int(std::min<qint64>(added * m_lineHeight, viewport()->height())));
    }
}

void ReceiveView::repaintAll()
{
    m_keepShown = false;
    viewport()->update();
}

QRect ReceiveView::thumbRect(int maximum, int value, int page) const
{
    const QScrollBar* bar = verticalScrollBar();
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

// Moves the view to the end if data came since it was last there, and sets the scroll bar to
// match; lazily, only when its thumb would move.
void ReceiveView::syncScrollBar(bool lazy)
{
    if (m_followEnd) {
        m_followEnd = false;
        m_top = lastFirstRow();
        m_barStale = true;
    }
    if (!m_barStale)
        return;
    QScrollBar* bar = verticalScrollBar();
    const int maximum = int(lastFirstRow());
    const int value = int(std::min<qint64>(m_top, maximum));
    if (lazy && bar->maximum() > 0
        && thumbRect(bar->maximum(), bar->value(), bar->pageStep())
            == thumbRect(maximum, value, pageRows()))
        return;
    m_barStale = false;
    m_appending = true;
    updateScrollBar();
    bar->setValue(value);
    m_appending = false;
    m_top = bar->value();
}

bool ReceiveView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == verticalScrollBar()) {
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
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void ReceiveView::afterEdit()
{
    m_upstream = false;
    m_desiredX = -1;
    syncScrollBar();
    updateScrollBar();
    m_top = verticalScrollBar()->value();
    ensureCaretVisible();
    restartBlink();
    repaintAll();
    if (hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImQueryInput);
}

// ---- layout and scrolling

qreal ReceiveView::wrapWidth() const { return std::max(viewport()->width() - 2 * margin, 1); }

void ReceiveView::updateMetrics(bool force)
{
    const qreal width = wrapWidth();
    if (!force && width == m_metricsWidth && font() == m_metricsFont)
        return;
    m_metricsWidth = width;
    m_metricsFont = font();
    m_drawFont = font();
    // Characters are placed at the sum of their own advances, so no pair may change its spacing.
    m_drawFont.setKerning(false);
    m_drawFont.setStyleStrategy(
        QFont::StyleStrategy(m_drawFont.styleStrategy() | QFont::PreferNoShaping));
    const QFontMetricsF metrics(m_drawFont);
    const QFontMetrics whole(m_drawFont);
    m_lineHeight = std::max(whole.lineSpacing(), 1);
    m_ascent = whole.ascent();

    TextMetrics text;
    text.wrapWidth = width;
    text.tabWidth = 8 * metrics.averageCharWidth();
    const qreal mark = metrics.horizontalAdvance(QLatin1Char('0'));
    for (int c = 0; c < 256; ++c)
        text.latin1[c] = isControl(char16_t(c))
            ? mark
            : metrics.horizontalAdvance(QString(QChar(char16_t(c))));
    text.measure
        = [metrics](char32_t c) { return metrics.horizontalAdvance(QString::fromUcs4(&c, 1)); };
    m_text.setMetrics(text);
}

int ReceiveView::pageRows() const { return std::max(1, viewport()->height() / m_lineHeight); }

qint64 ReceiveView::lastFirstRow() const
{
    return std::clamp<qint64>(m_text.rowCount() - pageRows(), 0, INT_MAX);
}

void ReceiveView::updateScrollBar()
{
    QScrollBar* bar = verticalScrollBar();
    bar->setSingleStep(1);
    bar->setPageStep(pageRows());
    bar->setRange(0, int(lastFirstRow()));
}

qint64 ReceiveView::firstVisibleRow() const { return m_top; }

void ReceiveView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    syncScrollBar();
    QScrollBar* bar = verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    const qint64 firstPos = m_text.rowStart(std::min(firstVisibleRow(), m_text.rowCount() - 1));
    updateMetrics(false);
    updateScrollBar();
    bar->setValue(atEnd ? bar->maximum() : int(std::min<qint64>(m_text.rowOf(firstPos), INT_MAX)));
    m_top = bar->value();
    repaintAll();
}

void ReceiveView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        syncScrollBar();
        updateMetrics(true);
        updateScrollBar();
        m_top = verticalScrollBar()->value();
        ensureCaretVisible();
        repaintAll();
    }
}

void ReceiveView::scrollContentsBy(int, int)
{
    if (m_appending)
        return;
    m_top = verticalScrollBar()->value();
    repaintAll();
}

void ReceiveView::ensureCaretVisible()
{
    syncScrollBar();
    QScrollBar* bar = verticalScrollBar();
    const qint64 row = visualRow(m_cursor, m_upstream);
    const qint64 first = firstVisibleRow();
    if (row < first)
        bar->setValue(int(std::min<qint64>(row, INT_MAX)));
    else if (row >= first + bar->pageStep())
        bar->setValue(int(std::min<qint64>(row - bar->pageStep() + 1, INT_MAX)));
}

qint64 ReceiveView::visualRow(qint64 pos, bool upstream) const
{
    const qint64 row = m_text.rowOf(pos);
    if (upstream && row > 0 && pos == m_text.rowStart(row) && !m_text.isHardRowStart(row))
        return row - 1;
    return row;
}

qreal ReceiveView::xInRow(qint64 row, qint64 pos) const
{
    const RowLayout layout = m_text.layoutRow(row, viewport()->width());
    const qint64 index = pos - layout.start;
    if (index < 0)
        return 0;
    if (index < qint64(layout.x.size()))
        return std::min<qreal>(layout.x[size_t(index)], wrapWidth());
    return std::min<qreal>(layout.x.back(), wrapWidth());
}

ReceiveView::Hit ReceiveView::hitInRow(qint64 row, qreal x) const
{
    row = std::clamp<qint64>(row, 0, m_text.rowCount() - 1);
    const RowLayout layout = m_text.layoutRow(row, std::max<qreal>(x, 0) + 1);
    const qint64 end = m_text.rowContentEnd(row);
    qint64 pos = std::min<qint64>(end, layout.start + layout.chars.size());
    for (qsizetype k = 0; k < layout.chars.size(); ++k) {
        if (x < (layout.x[size_t(k)] + layout.x[size_t(k) + 1]) / 2) {
            pos = std::min<qint64>(layout.start + k, end);
            break;
        }
    }
    if (!m_text.isCaretStop(pos))
        pos = m_text.previousStop(pos);
    const bool wrapped = row + 1 < m_text.rowCount() && pos == m_text.rowStart(row + 1);
    return { pos, wrapped };
}

ReceiveView::Hit ReceiveView::hitAt(const QPoint& point) const
{
    const qint64 row = firstVisibleRow() + qint64(std::floor(qreal(point.y()) / m_lineHeight));
    if (row < 0)
        return { 0, false };
    if (row >= m_text.rowCount())
        return { m_text.length(), false };
    return hitInRow(row, point.x() - margin);
}

QRect ReceiveView::caretRect() const
{
    const qint64 row = visualRow(m_cursor, m_upstream);
    const int x = margin + int(std::floor(xInRow(row, m_cursor)));
    const qint64 y = (row - firstVisibleRow()) * m_lineHeight;
    return QRect(x, int(std::clamp<qint64>(y, -m_lineHeight, INT_MAX / 2)), 1, m_lineHeight);
}

QRect ReceiveView::characterRect(qint64 pos) const
{
    const qint64 row = m_text.rowOf(pos);
    const qreal left = xInRow(row, pos);
    const qreal right
        = pos < m_text.rowContentEnd(row) ? xInRow(row, m_text.nextStop(pos)) : left + 1;
    const qint64 y = (row - firstVisibleRow()) * m_lineHeight;
    return QRect(margin + int(std::floor(left)),
        int(std::clamp<qint64>(y, -m_lineHeight, INT_MAX / 2)),
        std::max(int(std::ceil(right - left)), 1), m_lineHeight);
}

// ---- painting

void ReceiveView::paintEvent(QPaintEvent* event)
{
    m_paintedSinceFrame = true;
    QPainter painter(viewport());
    painter.setFont(m_drawFont);
    const QPalette& colours = palette();
    const QColor textColour = colours.color(QPalette::Text);
    const QColor highlightedColour = colours.color(QPalette::HighlightedText);
    const qint64 first = firstVisibleRow();
    const qint64 selFrom = selectionStart();
    const qint64 selTo = selectionEnd();
    const qreal maxX = viewport()->width();

    // Each rectangle on its own: a frame mostly repaints the end of one row and the rows below.
    for (const QRect& area : event->region()) {
        painter.setClipRect(area);
        const qint64 top = first + std::max(area.top(), 0) / m_lineHeight;
        const qint64 bottom = std::min(first + area.bottom() / m_lineHeight, m_text.rowCount() - 1);
        for (qint64 row = top; row <= bottom; ++row) {
            const RowLayout layout = m_text.layoutRow(row, maxX);
            // Only what meets the area is drawn; scripts that join their letters are drawn
            // whole, so that each letter keeps its neighbours.
            qsizetype firstChar = 0;
            qsizetype endChar = layout.chars.size();
            if (std::all_of(layout.chars.begin(), layout.chars.end(),
                    [](QChar c) { return c.unicode() < 0x0300; })) {
                const qreal left = area.left() - margin - m_lineHeight;
                const qreal right = area.right() - margin + m_lineHeight;
                while (firstChar < endChar && layout.x[size_t(firstChar) + 1] < left)
                    ++firstChar;
                while (endChar > firstChar && layout.x[size_t(endChar) - 1] > right)
                    --endChar;
            }
            const int y = int((row - first) * m_lineHeight);
            const qint64 end = layout.start + layout.chars.size();
            const auto selected = [&](qint64 pos) { return pos >= selFrom && pos < selTo; };
            if (selFrom < selTo && selFrom < end && selTo > layout.start) {
                const qreal from = layout.x[size_t(std::max(selFrom, layout.start) - layout.start)];
                const qreal to = layout.x[size_t(std::min(selTo, end) - layout.start)];
                painter.fillRect(QRectF(margin + from, y, to - from, m_lineHeight),
                    colours.brush(QPalette::Highlight));
            }
            qsizetype runStart = firstChar;
            const auto flush = [&](qsizetype runEnd) {
                if (runEnd > runStart) {
                    painter.setPen(
                        selected(layout.start + runStart) ? highlightedColour : textColour);
                    painter.drawText(QPointF(margin + layout.x[size_t(runStart)], y + m_ascent),
                        layout.chars.mid(runStart, runEnd - runStart));
                }
            };
            for (qsizetype k = firstChar; k < endChar; ++k) {
                const char16_t c = layout.chars.at(k).unicode();
                if (isControl(c)) {
                    flush(k);
                    runStart = k + 1;
                    if (c != u'\t' && c != u'\r' && c != u'\n') {
                        // Other control characters show as an empty box, one a character.
                        painter.setPen(selected(layout.start + k) ? highlightedColour : textColour);
                        const qreal left = margin + layout.x[size_t(k)] + 1;
                        const qreal width = layout.x[size_t(k) + 1] - layout.x[size_t(k)] - 3;
                        painter.drawRect(QRectF(
                            left, y + 2, std::max<qreal>(width, 1), std::max(m_lineHeight - 5, 1)));
                    }
                } else if (k > runStart
                    && selected(layout.start + k) != selected(layout.start + k - 1)) {
                    flush(k);
                    runStart = k;
                }
            }
            flush(endChar);
        }
    }
    painter.setClipRegion(event->region());

    if (!m_preedit.isEmpty()) {
        const QRect caret = caretRect();
        const QFontMetricsF metrics(m_drawFont);
        const QRectF box(
            caret.left(), caret.top(), metrics.horizontalAdvance(m_preedit) + 2, m_lineHeight);
        painter.fillRect(box, colours.brush(QPalette::Base));
        QFont underlined = m_drawFont;
        underlined.setUnderline(true);
        painter.setFont(underlined);
        painter.setPen(textColour);
        painter.drawText(QPointF(box.left(), box.top() + m_ascent), m_preedit);
    } else if (hasFocus() && m_caretOn) {
        painter.fillRect(caretRect(), textColour);
    }
    // Told once a frame rather than once an append: data may arrive thousands of times a second.
    if (m_caretMoved && hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
    m_caretMoved = false;
}

// ---- caret and keys

void ReceiveView::restartBlink()
{
    m_caretOn = true;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flash > 0)
        m_blink.start(flash / 2, this);
    else
        m_blink.stop();
}

void ReceiveView::moveCursor(qint64 pos, bool select, bool upstream)
{
    const bool hadSelection = hasSelection();
    m_cursor = std::clamp<qint64>(pos, 0, m_text.length());
    if (!select)
        m_anchor = m_cursor;
    m_upstream = upstream;
    ensureCaretVisible();
    restartBlink();
    repaintAll();
    if (hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImQueryInput);
    if (QAccessible::isActive())
        readerCaretMoved(select || hadSelection);
}

void ReceiveView::moveVertically(qint64 rows, bool select)
{
    const qint64 row = visualRow(m_cursor, m_upstream);
    if (m_desiredX < 0)
        m_desiredX = xInRow(row, m_cursor);
    const qint64 target = std::clamp<qint64>(row + rows, 0, m_text.rowCount() - 1);
    const qreal keep = m_desiredX;
    const Hit hit = hitInRow(target, keep);
    moveCursor(hit.pos, select, hit.upstream);
    m_desiredX = keep;
}

// Carries out (apply) or only recognises a key this box handles.
bool ReceiveView::handleKey(QKeyEvent* event, bool apply)
{
    using Key = QKeySequence::StandardKey;
    const auto is = [event](Key key) { return event->matches(key); };
    if (apply)
        syncScrollBar();
    const qint64 page = verticalScrollBar()->pageStep();
    const qint64 row = visualRow(m_cursor, m_upstream);

    struct Move {
        Key move;
        Key select;
        std::function<void(bool)> go;
    };
    const Move moves[] = {
        { Key::MoveToNextChar, Key::SelectNextChar,
            [&](bool select) {
                moveCursor(
                    !select && hasSelection() ? selectionEnd() : m_text.nextStop(m_cursor), select);
            } },
        { Key::MoveToPreviousChar, Key::SelectPreviousChar,
            [&](bool select) {
                moveCursor(
                    !select && hasSelection() ? selectionStart() : m_text.previousStop(m_cursor),
                    select);
            } },
        { Key::MoveToNextWord, Key::SelectNextWord,
            [&](bool select) { moveCursor(m_text.nextWordStart(m_cursor), select); } },
        { Key::MoveToPreviousWord, Key::SelectPreviousWord,
            [&](bool select) { moveCursor(m_text.previousWordStart(m_cursor), select); } },
        { Key::MoveToNextLine, Key::SelectNextLine,
            [&](bool select) { moveVertically(1, select); } },
        { Key::MoveToPreviousLine, Key::SelectPreviousLine,
            [&](bool select) { moveVertically(-1, select); } },
        { Key::MoveToNextPage, Key::SelectNextPage,
            [&](bool select) {
                verticalScrollBar()->setValue(
                    int(std::min<qint64>(firstVisibleRow() + page, INT_MAX)));
                moveVertically(page, select);
            } },
        { Key::MoveToPreviousPage, Key::SelectPreviousPage,
            [&](bool select) {
                verticalScrollBar()->setValue(int(std::max<qint64>(firstVisibleRow() - page, 0)));
                moveVertically(-page, select);
            } },
        { Key::MoveToStartOfLine, Key::SelectStartOfLine,
            [&](bool select) { moveCursor(m_text.rowStart(row), select); } },
        { Key::MoveToEndOfLine, Key::SelectEndOfLine,
            [&](bool select) {
                const qint64 end = m_text.rowContentEnd(row);
                moveCursor(end, select, end == m_text.rowEnd(row) && row + 1 < m_text.rowCount());
            } },
        { Key::MoveToStartOfDocument, Key::SelectStartOfDocument,
            [&](bool select) { moveCursor(0, select); } },
        { Key::MoveToEndOfDocument, Key::SelectEndOfDocument,
            [&](bool select) { moveCursor(m_text.length(), select); } },
    };
    for (const Move& move : moves) {
        const bool select = is(move.select);
        if (select || is(move.move)) {
            if (apply) {
                const qreal desired = m_desiredX;
                m_desiredX = -1;
                if (move.move == Key::MoveToNextLine || move.move == Key::MoveToPreviousLine
                    || move.move == Key::MoveToNextPage || move.move == Key::MoveToPreviousPage)
                    m_desiredX = desired;
                move.go(select);
                if (select)
                    offerSelection();
            }
            return true;
        }
    }

    const auto removeOr = [&](qint64 from, qint64 to) {
        if (hasSelection())
            deleteSelection();
        else if (from != to) {
            removeRange(std::min(from, to), std::max(from, to));
            afterEdit();
        }
    };
    if (is(Key::SelectAll)) {
        if (apply)
            selectAll();
    } else if (is(Key::Copy)) {
        if (apply)
            copy();
    } else if (is(Key::Cut)) {
        if (apply)
            cut();
    } else if (is(Key::Paste)) {
        if (apply)
            paste();
    } else if (is(Key::Delete)) {
        if (apply)
            removeOr(m_cursor, m_text.nextStop(m_cursor));
    } else if (is(Key::DeleteEndOfWord)) {
        if (apply)
            removeOr(m_cursor, m_text.nextWordStart(m_cursor));
    } else if (is(Key::DeleteStartOfWord)) {
        if (apply)
            removeOr(m_text.previousWordStart(m_cursor), m_cursor);
    } else if (event->key() == Qt::Key_Backspace
        && !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
        if (apply)
            removeOr(m_text.previousStop(m_cursor), m_cursor);
    } else if (is(Key::InsertParagraphSeparator) || is(Key::InsertLineSeparator)) {
        // A text box breaks a typed line with CR LF.
        if (apply)
            insertText(QStringLiteral("\r\n"));
    } else {
        const QString typed = event->text();
        const bool printable = !typed.isEmpty() && !isControl(typed.at(0).unicode())
            && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
        if (!printable)
            return false;
        if (apply)
            insertText(typed);
    }
    return true;
}

bool ReceiveView::event(QEvent* event)
{
    // Keys this box takes must reach it even where the window has a shortcut on them.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (handleKey(key, false)) {
            key->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void ReceiveView::keyPressEvent(QKeyEvent* event)
{
    if (handleKey(event, true))
        event->accept();
    else
        QAbstractScrollArea::keyPressEvent(event);
}

void ReceiveView::wheelEvent(QWheelEvent* event)
{
    syncScrollBar();
    QAbstractScrollArea::wheelEvent(event);
}

void ReceiveView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    restartBlink();
    repaintAll();
}

void ReceiveView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    m_blink.stop();
    m_caretOn = false;
    repaintAll();
}

void ReceiveView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_blink.timerId()) {
        m_caretOn = !m_caretOn;
        viewport()->update(caretRect());
    } else if (event->timerId() == m_frame.timerId()) {
        m_streaming = m_framePending;
        if (m_framePending)
            nextFrame();
        else
            m_frame.stop();
    } else if (event->timerId() == m_autoScroll.timerId()) {
        syncScrollBar();
        QScrollBar* bar = verticalScrollBar();
        bar->setValue(bar->value() + (m_dragPoint.y() < 0 ? -1 : 1));
        dragTo(m_dragPoint);
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

// ---- mouse

void ReceiveView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const Hit hit = hitAt(event->position().toPoint());
    m_desiredX = -1;
    moveCursor(hit.pos, event->modifiers() & Qt::ShiftModifier, hit.upstream);
    m_dragging = true;
    m_dragPoint = event->position().toPoint();
}

void ReceiveView::dragTo(const QPoint& point)
{
    const int height = viewport()->height();
    const QPoint inside(point.x(), std::clamp(point.y(), 0, std::max(height - 1, 0)));
    const Hit hit = hitAt(inside);
    if (hit.pos != m_cursor) {
        m_cursor = hit.pos;
        m_upstream = hit.upstream;
        repaintAll();
    }
}

void ReceiveView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton))
        return;
    m_dragPoint = event->position().toPoint();
    dragTo(m_dragPoint);
    const bool outside = m_dragPoint.y() < 0 || m_dragPoint.y() >= viewport()->height();
    if (outside && !m_autoScroll.isActive())
        m_autoScroll.start(50, this);
    else if (!outside)
        m_autoScroll.stop();
}

void ReceiveView::mouseReleaseEvent(QMouseEvent* event)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (event->button() == Qt::MiddleButton && clipboard->supportsSelection()) {
        const QString text = clipboard->text(QClipboard::Selection);
        const Hit hit = hitAt(event->position().toPoint());
        m_desiredX = -1;
        moveCursor(hit.pos, false, hit.upstream);
        if (!text.isEmpty())
            insertText(text);
        return;
    }
    if (event->button() == Qt::LeftButton && m_dragging) {
        m_dragging = false;
        m_autoScroll.stop();
        offerSelection();
    }
}

void ReceiveView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const auto [from, to] = m_text.wordAround(hitAt(event->position().toPoint()).pos);
    m_anchor = from;
    moveCursor(to, true);
    m_dragging = false;
    offerSelection();
}

// What the user selects becomes the primary selection, as in every X11 text box.
void ReceiveView::offerSelection()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

// ---- edit menu

QMenu* ReceiveView::createContextMenu()
{
    auto* menu = new QMenu(this);
    const auto add = [&](const char* name, const QString& caption, QKeySequence::StandardKey key,
                         bool enabled, void (ReceiveView::*slot)()) {
        const QString shortcut = QKeySequence(key).toString(QKeySequence::NativeText);
        QAction* action = menu->addAction(
            shortcut.isEmpty() ? caption : caption + QLatin1Char('\t') + shortcut);
        action->setObjectName(QLatin1String(name));
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, slot);
    };
    const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
    add("cut", QStringLiteral("剪切(&T)"), QKeySequence::Cut, hasSelection(), &ReceiveView::cut);
    add("copy", QStringLiteral("复制(&C)"), QKeySequence::Copy, hasSelection(), &ReceiveView::copy);
    add("paste", QStringLiteral("粘贴(&P)"), QKeySequence::Paste, clipboard && clipboard->hasText(),
        &ReceiveView::paste);
    add("delete", QStringLiteral("删除(&D)"), QKeySequence::Delete, hasSelection(),
        &ReceiveView::deleteSelection);
    menu->addSeparator();
    add("selectAll", QStringLiteral("全选(&A)"), QKeySequence::SelectAll,
        selectionEnd() - selectionStart() < m_text.length(), &ReceiveView::selectAll);
    if (!m_extraActions.isEmpty()) {
        menu->addSeparator();
        menu->addActions(m_extraActions);
    }
    return menu;
}

void ReceiveView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

// ---- input methods

void ReceiveView::inputMethodEvent(QInputMethodEvent* event)
{
    const QString commit = event->commitString();
    if (!commit.isEmpty() || event->replacementLength() > 0) {
        if (hasSelection())
            removeRange(selectionStart(), selectionEnd());
        if (event->replacementLength() > 0) {
            const qint64 from
                = std::clamp<qint64>(m_cursor + event->replacementStart(), 0, m_text.length());
            removeRange(from, std::min<qint64>(from + event->replacementLength(), m_text.length()));
        }
        insertText(commit);
    }
    m_preedit = event->preeditString();
    repaintAll();
    event->accept();
}

QVariant ReceiveView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    // The text around the caret, up to the line breaks either side and a few hundred characters.
    const auto surrounding = [this](qint64* start) {
        const qint64 from = std::max<qint64>(m_cursor - surroundingChars, 0);
        const QString before = m_text.mid(from, m_cursor - from);
        const QString after = m_text.mid(m_cursor, surroundingChars);
        const qsizetype breakBefore = std::max(
            before.lastIndexOf(QLatin1Char('\n')), before.lastIndexOf(QLatin1Char('\r')));
        qsizetype breakAfter = after.size();
        for (const QChar c : { QLatin1Char('\n'), QLatin1Char('\r') }) {
            const qsizetype at = after.indexOf(c);
            if (at >= 0)
                breakAfter = std::min(breakAfter, at);
        }
        *start = from + breakBefore + 1;
        return before.mid(breakBefore + 1) + after.left(breakAfter);
    };
    qint64 start = 0;
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    case Qt::ImCursorRectangle:
        return caretRect().translated(viewport()->pos());
    case Qt::ImFont:
        return font();
    case Qt::ImAbsolutePosition:
        return qlonglong(m_cursor);
    case Qt::ImSurroundingText:
        return surrounding(&start);
    case Qt::ImCursorPosition: {
        surrounding(&start);
        return int(m_cursor - start);
    }
    case Qt::ImAnchorPosition: {
        const QString text = surrounding(&start);
        return int(std::clamp<qint64>(m_anchor - start, 0, text.size()));
    }
    case Qt::ImCurrentSelection:
        return m_text.mid(selectionStart(),
            std::min<qint64>(selectionEnd() - selectionStart(), 2 * surroundingChars));
    case Qt::ImTextBeforeCursor:
        return m_text.mid(std::max<qint64>(m_cursor - surroundingChars, 0),
            std::min<qint64>(m_cursor, surroundingChars));
    case Qt::ImTextAfterCursor:
        return m_text.mid(m_cursor, surroundingChars);
    case Qt::ImMaximumTextLength:
        return QVariant();
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}
