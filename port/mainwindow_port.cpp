// Port settings, opening, closing and the status display.
#include "app/mainwindow.h"

#include "port/portsettings.h"
#include "port/serialcomponent.h"

#include <QComboBox>

SelectionTexts MainWindow::selectionTexts() const
{
    return { CboCom->currentText(), CboBaudrate->currentText(), CboParitybit->currentText(),
        CboDatabit->currentText(), CboStopbit->currentText() };
}

void MainWindow::CboCom_Click() { }
void MainWindow::CboBaudrate_Click() { }
void MainWindow::CboParitybit_Click() { }
void MainWindow::CboDatabit_Click() { }
void MainWindow::CboStopbit_Click() { }
void MainWindow::applySelection() { }
void MainWindow::CmdSwitch_Click() { }
void MainWindow::OpenPort(quint8, const QString&, const QString&, qint16, const QString&) { }
void MainWindow::ApplySettings(quint8, const QString&, const QString&, qint16, const QString&) { }
void MainWindow::OpenSelectedPort() { }
void MainWindow::ClosePort() { }
void MainWindow::showClosedState(const QString&) { }
void MainWindow::showOpenState(const QString&) { }
