// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "view/findbar.h"

#include "view/receiveview.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace {

// A slice ends after this long, so the window answers within a frame or two whatever the size.
constexpr qint64 sliceMs = 15;
// Characters looked at between two looks at the clock.
constexpr qint64 stepChars = qint64(1) << 18;
// A selection longer than this, or of more than one line, is not taken as the needle.
constexpr qint64 longestPrefill = 256;

using KeyAction = FindBar::KeyAction;

KeyAction actionOf(const QKeyEvent* event, bool inBar)
{
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool plain = !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier));
    const int key = event->key();
    if (event->matches(QKeySequence::Find))
        return KeyAction::Open;
    if (key == Qt::Key_F3 && plain)
        return shift ? KeyAction::Previous : KeyAction::Next;
    if (event->matches(QKeySequence::FindPrevious))
        return KeyAction::Previous;
    if (event->matches(QKeySequence::FindNext))
        return KeyAction::Next;
    if (inBar && plain && (key == Qt::Key_Return || key == Qt::Key_Enter))
        return shift ? KeyAction::Previous : KeyAction::Next;
    if (key == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        return KeyAction::Hide;
    return KeyAction::None;
}

} // namespace

FindBar::FindBar(ReceiveView* view)
    : QFrame(view)
    , m_view(view)
    , m_edit(new QLineEdit(this))
    , m_case(new QCheckBox(QStringLiteral("区分大小写"), this))
    , m_status(new QLabel(this))
{
    setObjectName(QStringLiteral("findBar"));
    m_edit->setObjectName(QStringLiteral("findText"));
    m_case->setObjectName(QStringLiteral("findCase"));
    m_status->setObjectName(QStringLiteral("findStatus"));
    m_edit->setPlaceholderText(QStringLiteral("查找"));
    m_edit->setAccessibleName(QStringLiteral("查找"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 1, 2, 1);
    row->addWidget(m_edit, 3);
    row->addWidget(m_case);
    row->addWidget(m_status, 1);
    m_edit->installEventFilter(this);
    m_case->installEventFilter(this);
    connect(m_edit, &QLineEdit::textChanged, this, &FindBar::patternChanged);
    connect(m_case, &QCheckBox::toggled, this, &FindBar::patternChanged);
    hide();
}

bool FindBar::viewKey(QKeyEvent* event, bool apply)
{
    const KeyAction action = actionOf(event, false);
    if (action == KeyAction::None || (action != KeyAction::Open && isHidden()))
        return false;
    if (apply)
        carryOut(action);
    return true;
}

void FindBar::carryOut(KeyAction action)
{
    switch (action) {
    case KeyAction::Open:
        open();
        break;
    case KeyAction::Next:
    case KeyAction::Previous:
        find(action == KeyAction::Previous);
        break;
    case KeyAction::Hide:
        dismiss();
        break;
    case KeyAction::None:
        break;
    }
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return QFrame::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const KeyAction action = actionOf(key, true);
    if (action == KeyAction::None)
        return QFrame::eventFilter(watched, event);
    // Taken here before any shortcut of the window's, and before the line edit sees Enter.
    key->accept();
    if (type == QEvent::ShortcutOverride)
        return true;
    // Ctrl+F in the bar keeps the needle typed there rather than taking the view's selection.
    if (action == KeyAction::Open) {
        m_edit->setFocus();
        m_edit->selectAll();
    } else {
        carryOut(action);
    }
    return true;
}

void FindBar::open()
{
    const QString selected = m_view->selectedText();
    if (!selected.isEmpty() && selected.size() <= longestPrefill
        && std::none_of(selected.begin(), selected.end(),
            [](QChar c) { return ViewText::isLineBreak(c.unicode()); }))
        m_edit->setText(selected);
    if (isHidden()) {
        m_view->showFindBar(true);
        patternChanged();
    }
    m_edit->setFocus();
    m_edit->selectAll();
}

void FindBar::dismiss()
{
    stop();
    m_view->showFindBar(false);
    m_pattern = SearchPattern();
    m_view->setFocus();
}

void FindBar::stop()
{
    m_search.cancel();
    m_slices.stop();
    m_status->clear();
}

void FindBar::patternChanged()
{
    stop();
    m_pattern = SearchPattern(m_edit->text(), m_case->isChecked(), m_view->m_hexDisplay);
    m_view->m_pacer.repaintAll();
}

void FindBar::textReplaced()
{
    if (m_search.isRunning())
        stop();
}

void FindBar::find(bool backward)
{
    stop();
    if (m_pattern.isEmpty())
        return;
    if (const QString problem = m_pattern.problem(); !problem.isEmpty()) {
        m_status->setText(problem);
        return;
    }
    m_search.start(
        m_pattern, backward ? m_view->selectionStart() : m_view->selectionEnd(), backward);
    // The first slice at once: most displays are searched before the key is released.
    runSlice();
    if (m_search.isRunning())
        m_slices.start(0, this);
}

void FindBar::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_slices.timerId())
        runSlice();
    else
        QFrame::timerEvent(event);
}

void FindBar::runSlice()
{
    QElapsedTimer clock;
    clock.start();
    ViewSearch::Result result = ViewSearch::Result::Searching;
    while (result == ViewSearch::Result::Searching && clock.elapsed() < sliceMs)
        result = m_search.step(m_view->content(), stepChars);
    if (result == ViewSearch::Result::Searching)
        return;
    m_slices.stop();
    if (result == ViewSearch::Result::Found) {
        const auto [from, to] = m_search.found();
        m_view->setSelection(from, to);
    } else {
        m_status->setText(QStringLiteral("未找到"));
    }
}
