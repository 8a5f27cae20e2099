#include "app/qtplatform.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

Dialogs::Answer QtDialogs::message(
    QWidget* parent, const QString& text, const QString& title, Icon icon, Buttons buttons)
{
    QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::Critical, title,
        text,
        buttons == Buttons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
        parent);
    return box.exec() == QMessageBox::Cancel ? Answer::Cancel : Answer::Ok;
}

QString QtDialogs::openFile(QWidget* parent, const QString& filter)
{
    // The label carries its own pattern, so the dialog must not repeat it after the label.
    return QFileDialog::getOpenFileName(
        parent, QString(), QString(), filter, nullptr, QFileDialog::HideNameFilterDetails);
}

QString QtDialogs::chooseFolder(QWidget* parent, const QString& title, const QString& startDir)
{
    return QFileDialog::getExistingDirectory(parent, title, startDir);
}

// The log appends to a file that exists, so choosing one is no reason to ask about replacing it.
QString QtDialogs::saveFile(QWidget* parent, const QString& title)
{
    return QFileDialog::getSaveFileName(
        parent, title, QString(), QString(), nullptr, QFileDialog::DontConfirmOverwrite);
}

void DesktopUrlOpener::open(const QUrl& url) { QDesktopServices::openUrl(url); }
