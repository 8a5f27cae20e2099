// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/platform.h"
#include "port/steadyclock.h"

// The platform pieces of the real program.
class QtDialogs : public Dialogs {
public:
    Answer message(QWidget* parent, const QString& text, const QString& title, Icon icon,
        Buttons buttons) override;
    QString openFile(QWidget* parent, const QString& filter) override;
    QString chooseFolder(QWidget* parent, const QString& title, const QString& startDir) override;
    QString saveFile(QWidget* parent, const QString& title, const QString& startDir) override;
};

class DesktopUrlOpener : public UrlOpener {
public:
    void open(const QUrl& url) override;
};

// Every text of the window is Chinese, so Qt's own texts (dialog buttons, the edit menus) are
// shown in Chinese too, whatever the system's language. False when Qt's translations are not
// installed (Debian's qt6-translations-l10n); the texts then stay English.
bool installChineseQtTexts();

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    qint64 nowMs() const override { return QDateTime::currentMSecsSinceEpoch(); }
    qint64 steadyNs() const override { return steadyNowNs(); }
};
