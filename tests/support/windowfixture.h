// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/mainwindow.h"
#include "port/qtserialbackend.h"
#include "support/fakes.h"
#include "support/pty.h"

#include <QComboBox>
#include <QMenu>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

// A fresh window on fakes for each test, and the things a user does to it, with real input events.
class WindowFixture {
public:
    // Builds and shows the window; `before` may set up the fakes first (a port that is absent at
    // start-up, a clock). A real port, if given, stands in for the fake one.
    void start(
        const std::function<void(FakePlatform&)>& before = {}, SerialComponent* realPort = nullptr);
    // The same on the real serial component, with COM1 a link to a fresh pseudo-terminal pair in a
    // private devices folder.
    void startOnPty(const std::function<void(FakePlatform&)>& before = {});
    // Destroys the window (and then the real component); false when a top-level window outlived it.
    bool finish();

    template <typename T = QWidget> T* control(const char* name) const
    {
        return window->findChild<T*>(QLatin1String(name));
    }
    void click(const char* name) const;
    // Picks an item from the box's drop-down list with the mouse.
    void pick(const char* box, const QString& item) const;
    // Empties a box with the keyboard and types the text into it.
    void type(const char* box, const QString& text) const;
    // What a control shows: its text, caption or current text.
    QString shown(const char* name) const;
    // Status line | switch caption | lamp ("red" hides the dark one beneath it).
    QString indicators() const;
    // The menu a right click on the widget pops up; the item of a menu with that text; the item
    // chosen with the keyboard, returning the submenu it opens, if any.
    static QMenu* rightClick(QWidget* widget);
    static QAction* item(QMenu* menu, const QString& text);
    static QMenu* choose(QMenu* menu, const QString& text);

    std::unique_ptr<FakePlatform> fakes;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<QtSerialComponent> realSerial;
    QTemporaryDir config;
    int ends = 0;
    QStringList statesAtBoxes; // indicators() as each message box showed
};
