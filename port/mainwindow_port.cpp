// Port settings, opening, closing and the status display. The open state lives in the serial
// component alone; every decision here asks it afresh.
#include "app/mainwindow.h"

#include "port/portsettings.h"
#include "port/serialcomponent.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <exception>

namespace {

void closeIfOpen(SerialComponent* serial)
{
    if (serial->portOpen())
        serial->setPortOpen(false);
}

} // namespace

SelectionTexts MainWindow::selectionTexts() const
{
    return { CboCom->currentText(), CboBaudrate->currentText(), CboParitybit->currentText(),
        CboDatabit->currentText(), CboStopbit->currentText() };
}

void MainWindow::CboCom_Click() { applySelection(); }
void MainWindow::CboBaudrate_Click() { applySelection(); }
void MainWindow::CboParitybit_Click() { applySelection(); }
void MainWindow::CboDatabit_Click() { applySelection(); }
void MainWindow::CboStopbit_Click() { applySelection(); }

void MainWindow::CboCom_Change()
{
    CboCom->lineEdit()->setToolTip(portDeviceText(CboCom->currentText()));
}

// Converting before ApplySettings closes anything keeps a pick with an unusable text from
// dropping a working connection.
void MainWindow::applySelection()
{
    PortArguments arguments;
    try {
        arguments = convertSelection(selectionTexts());
    } catch (const SelectionError& error) {
        showMessage(error.message(), Dialogs::Icon::Warning);
        return;
    }
    ApplySettings(
        arguments.port, arguments.baud, arguments.parity, arguments.dataBits, arguments.stopBits);
}

void MainWindow::CmdSwitch_Click()
{
    try {
        if (MSComm->portOpen())
            ClosePort();
        else
            OpenSelectedPort();
    } catch (const std::exception&) {
    }
}

void MainWindow::OpenPort(quint8 port, const QString& baud, const QString& parity, qint16 dataBits,
    const QString& stopBits)
{
    try {
        closeIfOpen(MSComm);
        MSComm->setCommPort(port);
        MSComm->setSettings(settingsString({ port, baud, parity, dataBits, stopBits }));
        MSComm->setInBufferSize(1024);
        MSComm->setOutBufferSize(4096);
        MSComm->setInBufferCount(0);
        MSComm->setOutBufferCount(0);
        MSComm->setSThreshold(1);
        MSComm->setRThreshold(1);
        MSComm->setOutBufferCount(0);
        MSComm->setInBufferCount(0);
        MSComm->setPortOpen(true);
        if (MSComm->portOpen())
            TxtStatus->setText(StatusText::open(selectionTexts()));
        else
            // The switch and lamp as built say "open"; left alone they would contradict the port.
            showClosedState(StatusText::closed());
    } catch (const std::exception&) {
        showMessage(QStringLiteral("没有发现此串口或被占用"), Dialogs::Icon::Warning,
            Dialogs::Buttons::OkCancel);
        ClosePort();
    }
}

void MainWindow::ApplySettings(quint8 port, const QString& baud, const QString& parity,
    qint16 dataBits, const QString& stopBits)
{
    try {
        closeIfOpen(MSComm);
        MSComm->setCommPort(port);
        MSComm->setSettings(settingsString({ port, baud, parity, dataBits, stopBits }));
        MSComm->setPortOpen(true);
        if (MSComm->portOpen())
            showOpenState(StatusText::applied(selectionTexts()));
        else
            showClosedState(StatusText::closed());
    } catch (const std::exception&) {
        showMessage(QStringLiteral("没有成功，请重试【检查端口是否被占用，或者端口号正确】"),
            Dialogs::Icon::Warning);
        ClosePort();
    }
}

void MainWindow::OpenSelectedPort()
{
    try {
        closeIfOpen(MSComm);
        const PortArguments arguments = convertSelection(selectionTexts());
        ApplySettings(arguments.port, arguments.baud, arguments.parity, arguments.dataBits,
            arguments.stopBits);
        if (MSComm->portOpen())
            showOpenState(StatusText::open(selectionTexts()));
        else
            showClosedState(StatusText::shortClosed());
    } catch (const std::exception&) {
    }
}

void MainWindow::ClosePort()
{
    try {
        closeIfOpen(MSComm);
        showClosedState(StatusText::closed());
    } catch (const std::exception&) {
    }
}

void MainWindow::showClosedState(const QString& status)
{
    TxtStatus->setText(status);
    CmdSwitch->setText(QStringLiteral("打开串口"));
    ImgSwitchOn->hide();
    ImgSwitchOff->show();
}

void MainWindow::showOpenState(const QString& status)
{
    CmdSwitch->setText(QStringLiteral("关闭串口"));
    ImgSwitchOn->show();
    ImgSwitchOff->hide();
    TxtStatus->setText(status);
}
