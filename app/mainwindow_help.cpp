// The clock, the About window and the web link.
#include "app/mainwindow.h"

#include "app/helpwindow.h"

void MainWindow::TmrNowTime_Timer() { }
void MainWindow::CmdHelp_Click() { }
void MainWindow::LblWeb_Click() { }
void MainWindow::LblWeb_MouseMove() { }
void MainWindow::Form_MouseMove() { }

HelpWindow* MainWindow::helpWindow() const { return FrmHelp.data(); }
