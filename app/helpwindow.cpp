#include "app/helpwindow.h"

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
}

void HelpWindow::CmdAssurance_Click() { close(); }
