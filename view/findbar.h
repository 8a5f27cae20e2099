// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "view/viewsearch.h"

#include <QBasicTimer>
#include <QFrame>

class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class ReceiveView;

// The receive display's find bar, at the bottom of the view while it shows (the view keeps its
// rows clear of it). Enter and F3 find the next match, Shift with either the previous, Esc hides
// the bar; F3 and Esc work with the focus in the view as well. A search through a large display
// runs in slices of a few milliseconds between the window's other events.
class FindBar : public QFrame {
    Q_OBJECT
public:
    explicit FindBar(ReceiveView* view);

    // What a key does to the bar.
    enum class KeyAction { None, Open, Next, Previous, Hide };

    // Carries out a key typed in the view that belongs to the bar: Ctrl+F opens it, and while it
    // shows F3, Shift+F3 and Esc. Only recognises it unless `apply`.
    bool viewKey(QKeyEvent* event, bool apply);
    // The text changed other than at its end: a search under way stops.
    void textReplaced();
    // What the bar looks for; the view marks it in the rows in view while the bar shows.
    const SearchPattern& pattern() const { return m_pattern; }
    // The needle, the case box or the display's mode changed.
    void patternChanged();
    // Shows the bar, with the selection as the needle when it is a short one, and focuses it.
    void open();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void carryOut(KeyAction action);
    void dismiss();
    void find(bool backward);
    void runSlice();
    void stop();

    ReceiveView* m_view;
    QLineEdit* m_edit;
    QCheckBox* m_case;
    QLabel* m_status;
    SearchPattern m_pattern;
    ViewSearch m_search;
    QBasicTimer m_slices;
};
