// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "plot/plotaccessible.h"

#include "plot/plotcanvas.h"

#include <QPointer>
#include <QWidget>

namespace {

class LegendEntryAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    LegendEntryAccessible(PlotCanvas* canvas, int index)
        : m_canvas(canvas)
        , m_index(index)
    {
    }

    bool isValid() const override { return m_canvas && m_index < m_canvas->spokenCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override
    {
        return m_canvas ? m_canvas->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_canvas);
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text text) const override
    {
        return isValid() && text == QAccessible::Name ? m_canvas->spokenEntry(m_index) : QString();
    }
    void setText(QAccessible::Text, const QString&) override { }
    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        const QRect entry = m_canvas->entryRect(m_index);
        return QRect(m_canvas->mapToGlobal(entry.topLeft()), entry.size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.focusable = true;
        state.focused = m_canvas->hasFocus() && m_canvas->currentEntry() == m_index;
        state.checkable = true;
        state.checked = m_canvas->curves.value(m_index).shown;
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override { return { toggleAction() }; }
    void doAction(const QString& name) override
    {
        if (isValid() && name == toggleAction())
            m_canvas->toggleCurve(m_index);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<PlotCanvas> m_canvas;
    int m_index;
};

QAccessibleInterface* create(const QString& key, QObject* object)
{
    auto* canvas = qobject_cast<PlotCanvas*>(object);
    if (canvas && key == QLatin1String(PlotCanvas::staticMetaObject.className()))
        return new PlotCanvasAccessible(canvas);
    return nullptr;
}

} // namespace

PlotCanvasAccessible::PlotCanvasAccessible(PlotCanvas* canvas)
    : QAccessibleWidget(canvas, QAccessible::Chart)
{
}

PlotCanvasAccessible::~PlotCanvasAccessible()
{
    for (const QAccessible::Id id : std::as_const(m_entries))
        QAccessible::deleteAccessibleInterface(id);
}

void PlotCanvasAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(create);
        return true;
    }();
    Q_UNUSED(installed);
}

PlotCanvas* PlotCanvasAccessible::canvas() const { return static_cast<PlotCanvas*>(widget()); }

int PlotCanvasAccessible::childCount() const { return int(canvas()->spokenCount()); }

QAccessibleInterface* PlotCanvasAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    while (m_entries.size() <= index) {
        m_entries.append(QAccessible::registerAccessibleInterface(
            new LegendEntryAccessible(canvas(), int(m_entries.size()))));
    }
    return QAccessible::accessibleInterface(m_entries[index]);
}

int PlotCanvasAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    const int index
        = int(m_entries.indexOf(QAccessible::uniqueId(const_cast<QAccessibleInterface*>(child))));
    return index < childCount() ? index : -1;
}

QAccessibleInterface* PlotCanvasAccessible::childAt(int x, int y) const
{
    const QPoint at = canvas()->mapFromGlobal(QPoint(x, y));
    for (int index = 0; index < childCount(); ++index) {
        if (canvas()->entryRect(index).contains(at))
            return child(index);
    }
    return nullptr;
}

QAccessibleInterface* PlotCanvasAccessible::focusChild() const
{
    return canvas()->hasFocus() ? child(canvas()->currentEntry()) : nullptr;
}
