// Saving the receive display to 1.txt.
#include "app/mainwindow.h"

#include "receive/receiveview.h"
#include "receive/saverecord.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

void MainWindow::CmdSaveDisp_Click()
{
    SavePath = TxtSavePath->text();
    const QByteArray bytes = SaveRecord::record(m_platform.clock->now(), TxtReceive->text());
    if (!SaveRecord::write(SaveRecord::filePath(TxtSavePath->text()), bytes))
        return;

    TxtSavePath->setText(QStringLiteral("OK,1.txt Save"));
    CmdSaveDisp->setEnabled(false);

    // The window goes on handling events during the notice; quitting ends the wait at once, and
    // then nothing of the window may be touched again.
    QPointer<MainWindow> alive(this);
    QEventLoop wait;
    QTimer::singleShot(m_platform.clock->saveNoticeMs(), &wait, &QEventLoop::quit);
    connect(this, &MainWindow::programEnding, &wait, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &wait, &QEventLoop::quit);
    wait.exec();
    if (!alive || hasEnded())
        return;

    TxtSavePath->setText(SavePath);
    CmdSaveDisp->setEnabled(true);
}

void MainWindow::CmdAmend_Click()
{
    const QString scripts = SaveRecord::folderPath(QStringLiteral("C:\\Scripts"));
    const QString start
        = !scripts.isEmpty() && QFileInfo(scripts).isDir() ? scripts : QDir::homePath();
    const QString chosen
        = m_platform.dialogs->chooseFolder(this, QStringLiteral("选择目录:"), start);
    if (chosen.isEmpty())
        return;
    TxtSavePath->setText(chosen);
    SavePath = TxtSavePath->text();
}
