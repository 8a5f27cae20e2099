// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/qtplatform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

bool installChineseQtTexts()
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(
            QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        && QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}

Dialogs::Answer QtDialogs::message(
    QWidget* parent, const QString& text, const QString& title, Icon icon, Buttons buttons)
{
    const QMessageBox::Icon shown = icon == Icon::Warning ? QMessageBox::Warning
        : icon == Icon::Error                             ? QMessageBox::Critical
                                                          : QMessageBox::Question;
    QMessageBox box(shown, title, text,
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
QString QtDialogs::saveFile(QWidget* parent, const QString& title, const QString& startDir)
{
    return QFileDialog::getSaveFileName(
        parent, title, startDir, QString(), nullptr, QFileDialog::DontConfirmOverwrite);
}

void DesktopUrlOpener::open(const QUrl& url) { QDesktopServices::openUrl(url); }
