// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QBasicTimer>
#include <QObject>
#include <QRect>

#include <functional>

class QAbstractScrollArea;
class ViewPainter;
class ViewText;

// When the receive display shows what was appended, and how little that costs. Data may arrive
// thousands of times a second: the first append after a quiet spell is shown at once, later ones
// at most once a frame, and while something new comes every frame, frames come a third as often.
// Appending changes no row above the last one shown, so a frame moves what is on screen up by the
// rows added (a blit) and paints only the end of that row and the rows added. The pacer owns the
// first row on screen and the scroll bar, which it sets lazily: only when its thumb would move,
// and fully before anyone uses it (a click, a key, a wheel, an edit).
class FramePacer : public QObject {
    Q_OBJECT
public:
    FramePacer(QAbstractScrollArea* view, const ViewText& text, const ViewPainter& painter);

    // Shortest time between two frames; while something new comes every frame, three times that.
    void setInterval(int ms) { m_frameMs = ms; }
    // frame() now, or at the next frame if one was shown less than a frame ago.
    void requestFrame();
    // Text was appended: the next frame shows it, with the end of the text in view.
    void appended();
    // Something besides appends changed what is shown: the next paint draws the whole viewport.
    void repaintAll();
    // The viewport was painted: what the last frame showed is on screen.
    void painted() { m_paintedSinceFrame = true; }
    // Whether pos is in a row that the next frame leaves on screen as it is.
    bool keepsRowOf(qint64 pos) const;

    // The first row on screen.
    qint64 top() const { return m_top; }
    int pageRows() const;
    // Moves to the end if text came since the view was last there, and sets the scroll bar to
    // match; when lazy, only if its thumb would move.
    void syncScrollBar(bool lazy = false);
    // After the rows changed other than by appending: the scroll bar's range and page, and the
    // first row on screen as the bar then stands.
    void rowsChanged();
    // Re-lays the rows by `relayout`, keeping the first row on screen first, or the end in view.
    void relayoutInPlace(const std::function<void()>& relayout);
    // Scrolls as little as needed to show the row.
    void showRow(qint64 row);
    // Back to the first row, with the scroll bar set at once: the text was replaced.
    void reset();
    // The scroll bar was moved (QAbstractScrollArea::scrollContentsBy).
    void scrolled();

Q_SIGNALS:
    void frame();

protected:
    void timerEvent(QTimerEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void nextFrame();
    void showAppended();
    void updateScrollBar();
    QRect thumbRect(int maximum, int value, int page) const;
    qint64 lastFirstRow() const;

    QAbstractScrollArea* m_view;
    const ViewText& m_text;
    const ViewPainter& m_painter;

    QBasicTimer m_frame;
    int m_frameMs;
    int m_frameInterval = 0;
    bool m_framePending = false;
    bool m_streaming = false; // the last frame came straight after the one before
    bool m_appended = false; // appends wait for the next frame

    qint64 m_top = 0;
    bool m_followEnd = false; // appended since the view was last moved to the end
    bool m_barStale = false; // the scroll bar lags m_top while its thumb would not move
    bool m_settingBar = false; // the bar is being set from here, not by the user

    // What the next frame may keep: rows above the last one that the last frame showed are on
    // screen as they are, unless anything but appends has changed since.
    qint64 m_shownLastRow = 0;
    qint64 m_shownEnd = 0;
    bool m_keepShown = false;
    bool m_paintedSinceFrame = true;
};
