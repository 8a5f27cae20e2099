// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "view/viewtext.h"

#include <QFont>
#include <QRect>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

class QPainter;
class QPalette;
class QPoint;
class QRegion;
class QWidget;

// How the receive display's characters look and where they stand on its viewport. It owns the
// font they are drawn in (no kerning and no shaping, so that a character stands at the sum of the
// advances before it, as the text store adds them up), draws rows, the selection, the caret and
// the text an input method is composing, and gives control characters their ink: an empty box,
// one a character. Finding the character under a point is here too, so that what a click finds
// is what was drawn there. Positions are in viewport coordinates, with `top` the first row shown.
class ViewPainter {
public:
    // Space between the frame and the characters, left and right, as a text box keeps it.
    static constexpr int margin = 2;
    // Characters drawn as a box rather than a glyph of their own.
    static bool isControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

    ViewPainter(const ViewText& text, const QWidget* viewport);

    // Takes the widget's font and the viewport's width; when either changed (or `force`), the
    // advances the text store must break its rows with.
    std::optional<TextMetrics> updateMetrics(const QFont& font, bool force);
    int lineHeight() const { return m_lineHeight; }
    // Width available to the characters of a row.
    qreal wrapWidth() const;

    // A position, and whether it is shown at the end of the row before (where a wrapped row
    // begins) rather than at the start of its own.
    struct Hit {
        qint64 pos = 0;
        bool upstream = false;
    };
    qreal xInRow(qint64 row, qint64 pos) const;
    Hit hitInRow(qint64 row, qreal x) const;
    Hit hitAt(const QPoint& point, qint64 top) const;
    QRect caretRect(qint64 pos, bool upstream, qint64 top) const;
    QRect characterRect(qint64 pos, qint64 top) const;

    // What a paint shows besides the characters.
    struct Scene {
        qint64 top = 0;
        qint64 selectionStart = 0;
        qint64 selectionEnd = 0;
        qint64 caret = 0;
        bool upstream = false;
        bool caretShown = false; // focused, and in the visible half of a blink
        QString preedit; // shown at the caret instead of it
        std::vector<std::pair<qint64, qint64>> found; // matches of the find bar, marked
    };
    void paint(QPainter& painter, const QRegion& region, const QPalette& colours,
        const Scene& scene) const;

private:
    const ViewText& m_text;
    const QWidget* m_viewport;
    QFont m_drawFont;
    QFont m_metricsFont;
    qreal m_metricsWidth = -1;
    int m_lineHeight = 1;
    int m_ascent = 0;
};
