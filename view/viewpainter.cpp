// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "view/viewpainter.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>
#include <QPalette>
#include <QPoint>
#include <QRegion>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <cmath>

ViewPainter::ViewPainter(const ViewText& text, const QWidget* viewport)
    : m_text(text)
    , m_viewport(viewport)
{
}

qreal ViewPainter::wrapWidth() const { return std::max(m_viewport->width() - 2 * margin, 1); }

std::optional<TextMetrics> ViewPainter::updateMetrics(const QFont& font, bool force)
{
    const qreal width = wrapWidth();
    if (!force && width == m_metricsWidth && font == m_metricsFont)
        return std::nullopt;
    m_metricsWidth = width;
    m_metricsFont = font;
    m_drawFont = font;
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
    return text;
}

// ---- where characters stand

qreal ViewPainter::xInRow(qint64 row, qint64 pos) const
{
    const RowLayout layout = m_text.layoutRow(row, m_viewport->width());
    const qint64 index = pos - layout.start;
    if (index < 0)
        return 0;
    if (index < qint64(layout.x.size()))
        return std::min<qreal>(layout.x[size_t(index)], wrapWidth());
    return std::min<qreal>(layout.x.back(), wrapWidth());
}

ViewPainter::Hit ViewPainter::hitInRow(qint64 row, qreal x) const
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

ViewPainter::Hit ViewPainter::hitAt(const QPoint& point, qint64 top) const
{
    const qint64 row = top + qint64(std::floor(qreal(point.y()) / m_lineHeight));
    if (row < 0)
        return { 0, false };
    if (row >= m_text.rowCount())
        return { m_text.length(), false };
    return hitInRow(row, point.x() - margin);
}

QRect ViewPainter::caretRect(qint64 pos, bool upstream, qint64 top) const
{
    const qint64 row = m_text.caretRow(pos, upstream);
    const int x = margin + int(std::floor(xInRow(row, pos)));
    const qint64 y = (row - top) * m_lineHeight;
    return QRect(x, int(std::clamp<qint64>(y, -m_lineHeight, INT_MAX / 2)), 1, m_lineHeight);
}

QRect ViewPainter::characterRect(qint64 pos, qint64 top) const
{
    const qint64 row = m_text.rowOf(pos);
    const qreal left = xInRow(row, pos);
    const qreal right
        = pos < m_text.rowContentEnd(row) ? xInRow(row, m_text.nextStop(pos)) : left + 1;
    const qint64 y = (row - top) * m_lineHeight;
    return QRect(margin + int(std::floor(left)),
        int(std::clamp<qint64>(y, -m_lineHeight, INT_MAX / 2)),
        std::max(int(std::ceil(right - left)), 1), m_lineHeight);
}

// ---- painting

void ViewPainter::paint(
    QPainter& painter, const QRegion& region, const QPalette& colours, const Scene& scene) const
{
    Q_ASSERT(scene.top >= 0 && scene.top < m_text.rowCount());
    painter.setFont(m_drawFont);
    const QColor textColour = colours.color(QPalette::Text);
    const QColor highlightedColour = colours.color(QPalette::HighlightedText);
    // The selection's colour, faint, so the text keeps its own colour in any theme.
    QColor foundColour = colours.color(QPalette::Highlight);
    foundColour.setAlpha(80);
    const qint64 first = scene.top;
    const qint64 selFrom = scene.selectionStart;
    const qint64 selTo = scene.selectionEnd;
    const qreal maxX = m_viewport->width();

    // Each rectangle on its own: a frame mostly repaints the end of one row and the rows below.
    for (const QRect& area : region) {
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
            for (const auto& [from, to] : scene.found) {
                if (from < end && to > layout.start) {
                    const qreal left
                        = layout.x[size_t(std::max(from, layout.start) - layout.start)];
                    const qreal right = layout.x[size_t(std::min(to, end) - layout.start)];
                    painter.fillRect(
                        QRectF(margin + left, y, right - left, m_lineHeight), foundColour);
                }
            }
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
    painter.setClipRegion(region);

    if (!scene.preedit.isEmpty()) {
        const QRect caret = caretRect(scene.caret, scene.upstream, scene.top);
        const QFontMetricsF metrics(m_drawFont);
        const QRectF box(
            caret.left(), caret.top(), metrics.horizontalAdvance(scene.preedit) + 2, m_lineHeight);
        painter.fillRect(box, colours.brush(QPalette::Base));
        QFont underlined = m_drawFont;
        underlined.setUnderline(true);
        painter.setFont(underlined);
        painter.setPen(textColour);
        painter.drawText(QPointF(box.left(), box.top() + m_ascent), scene.preedit);
    } else if (scene.caretShown) {
        painter.fillRect(caretRect(scene.caret, scene.upstream, scene.top), textColour);
    }
}
