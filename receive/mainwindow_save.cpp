// Saving the receive display to 1.txt.
#include "app/mainwindow.h"

void MainWindow::CmdSaveDisp_Click() { }
void MainWindow::CmdAmend_Click() { }
