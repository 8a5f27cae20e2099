// Manual, hexadecimal, automatic and file sending.
#include "app/mainwindow.h"

#include "port/serialcomponent.h"

void MainWindow::CmdSend_Click() { }
void MainWindow::SendHex() { }
void MainWindow::sendText() { }
void MainWindow::CmdClearSend_Click() { }
void MainWindow::TxtSend_Change() { }
void MainWindow::ChkAutoSend_Click() { }
void MainWindow::TmrAutoSend_Timer() { }
void MainWindow::CmdSelectFile_Click() { }
void MainWindow::CmdSendFile_Click() { }
