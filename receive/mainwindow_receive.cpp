// The communication event, the receive display and the byte counters.
#include "app/mainwindow.h"

#include "port/serialcomponent.h"
#include "receive/receiveview.h"

void MainWindow::MSComm_OnComm() { }
void MainWindow::ReceiveText() { }
void MainWindow::ReceiveHex() { }
void MainWindow::autoClear() { }
void MainWindow::CmdStopdisp_Click() { }
void MainWindow::CmdClearReceive_Click() { }
void MainWindow::CountSentText() { }
void MainWindow::recordSent(qint64) { }
void MainWindow::CmdClearCounter_Click() { }
