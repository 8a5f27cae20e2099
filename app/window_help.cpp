// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The clock, the About window and the web link.
#include "app/mainwindow.h"

#include "app/helpwindow.h"
#include "receive/saverecord.h"

#include <QCursor>
#include <QLabel>
#include <QLocale>
#include <QPixmap>

namespace {

const QColor linkHover(0x39, 0x78, 0x8A);
const QColor linkResting(0x00, 0x00, 0xFF);

void setLinkColour(QLabel* label, const QColor& colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

// The hand points left: its hot spot is the tip of the finger, the leftmost drawn pixel.
QCursor handCursor()
{
    const QPixmap pixmap(QStringLiteral(":/assets/hand.xpm"));
    const QImage mask = pixmap.toImage();
    for (int x = 0; x < mask.width(); ++x) {
        int first = -1;
        int last = -1;
        for (int y = 0; y < mask.height(); ++y) {
            if (qAlpha(mask.pixel(x, y)) != 0) {
                if (first < 0)
                    first = y;
                last = y;
            }
        }
        if (first >= 0)
            return QCursor(pixmap, x, (first + last) / 2);
    }
    return QCursor(pixmap, 0, pixmap.height() / 2);
}

} // namespace

void MainWindow::TmrNowTime_Timer()
{
    const QLocale locale = QLocale::system();
    LblNewDate->setText(locale.toString(m_platform.clock->now().date(), QLocale::ShortFormat));
    const QString timeFormat = ClockText::timeOfDayFormat(
        locale.timeFormat(QLocale::ShortFormat), locale.timeFormat(QLocale::LongFormat));
    LblNowTime->setText(locale.toString(m_platform.clock->now().time(), timeFormat));
}

void MainWindow::CmdHelp_Click()
{
    // A closed About window lingers until its deferred deletion; it is not brought back.
    if (!FrmHelp || !FrmHelp->isVisible())
        FrmHelp = new HelpWindow();
    FrmHelp->show();
    FrmHelp->raise();
    FrmHelp->activateWindow();
}

void MainWindow::LblWeb_Click()
{
    m_platform.urlOpener->open(QUrl(QStringLiteral("https://www.velmora.example/")));
}

void MainWindow::LblWeb_MouseMove()
{
    setLinkColour(LblWeb, linkHover);
    // The label keeps its pointer once given; building the cursor on every move is wasted work.
    if (!LblWeb->testAttribute(Qt::WA_SetCursor))
        LblWeb->setCursor(handCursor());
}

void MainWindow::Form_MouseMove()
{
    setLinkColour(LblWeb, linkResting);
    setCursor(Qt::ArrowCursor);
}

HelpWindow* MainWindow::helpWindow() const { return FrmHelp.data(); }
