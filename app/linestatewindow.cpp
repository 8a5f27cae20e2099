// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/linestatewindow.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

#include <utility>

namespace {

constexpr int lightSize = 14;

QPixmap lightPixmap(const QColor& colour)
{
    QPixmap pixmap(lightSize, lightSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0x40, 0x40, 0x40));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(0.5, 0.5, lightSize - 1, lightSize - 1));
    return pixmap;
}

} // namespace

LineStateWindow::LineStateWindow(SerialComponent& serial, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_watch(serial)
{
    setObjectName(QStringLiteral("FrmLineState"));
    setWindowTitle(QStringLiteral("线路状态"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* grid = new QGridLayout(this);
    const char* const names[] = { "CTS", "DSR", "DCD", "RI" };
    for (int line = 0; line < 4; ++line) {
        const QString name = QString::fromLatin1(names[line]);
        Row& row = m_rows[line];
        row.light = new QLabel(this);
        row.light->setObjectName(QStringLiteral("Light") + name);
        row.level = new QLabel(this);
        row.level->setObjectName(QStringLiteral("LblLevel") + name);
        row.changes = new QLabel(this);
        row.changes->setObjectName(QStringLiteral("LblChanges") + name);
        grid->addWidget(row.light, line, 0);
        grid->addWidget(new QLabel(name, this), line, 1);
        grid->addWidget(row.level, line, 2);
        grid->addWidget(row.changes, line, 3);
    }
    m_dtr = new QLabel(this);
    m_dtr->setObjectName(QStringLiteral("LblDtr"));
    m_rts = new QLabel(this);
    m_rts->setObjectName(QStringLiteral("LblRts"));
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("LblLineNote"));
    m_note->setWordWrap(true);
    grid->addWidget(m_dtr, 4, 0, 1, 4);
    grid->addWidget(m_rts, 5, 0, 1, 4);
    grid->addWidget(m_note, 6, 0, 1, 4);
    grid->setColumnMinimumWidth(3, 90);
    connect(&m_watch, &LineWatch::changed, this, &LineStateWindow::showState);
}

// Minimised and shown again, it goes on counting from when it opened.
void LineStateWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (std::exchange(m_opened, true))
        m_watch.resume();
    else
        m_watch.start();
}

void LineStateWindow::hideEvent(QHideEvent* event)
{
    m_watch.stop();
    QWidget::hideEvent(event);
}

void LineStateWindow::showState(const LineWatch::State& state)
{
    static const QPixmap on = lightPixmap(QColor(0x20, 0xC0, 0x20));
    static const QPixmap off = lightPixmap(QColor(0x30, 0x40, 0x30));
    static const QPixmap unknown = lightPixmap(QColor(0xC8, 0xC8, 0xC8));
    for (const LineWatch::Line line :
        { LineWatch::Cts, LineWatch::Dsr, LineWatch::Dcd, LineWatch::Ri }) {
        Row& row = m_rows[line];
        const bool known = state.lines.has_value();
        const bool high = known && LineWatch::level(*state.lines, line);
        row.light->setPixmap(!known ? unknown : high ? on : off);
        row.level->setText(!known ? QStringLiteral("—")
                : high            ? QStringLiteral("有效")
                                  : QStringLiteral("无效"));
        row.changes->setText(QStringLiteral("变化 %1 次").arg(state.changes[line]));
    }
    m_dtr->setText(state.dtr ? QStringLiteral("DTR：已置位") : QStringLiteral("DTR：未置位"));
    m_rts->setText(state.rtsByFlow ? QStringLiteral("RTS：由 RTS/CTS 流控制驱动")
            : state.rts            ? QStringLiteral("RTS：已置位")
                                   : QStringLiteral("RTS：未置位"));
    m_note->setText(!state.open ? QStringLiteral("串口没有打开")
            : !state.lines ? QStringLiteral("此串口不能报告线路状态（伪终端等没有调制解调器线路）")
                           : QString());
    m_note->setVisible(!m_note->text().isEmpty());
}
