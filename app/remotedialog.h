// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "port/comnames.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

// 远程串口: binds a COM number to a remote port's URL by writing the comN link in the devices
// folder, or removes the link, and lists what each of COM1 to COM15 names today.
class RemotePortDialog : public QDialog {
    Q_OBJECT
public:
    // `locate` finds COMn as an open would; `port` is the number chosen at first.
    RemotePortDialog(int port, std::function<ComDevice(int port)> locate, QWidget* parent);

private:
    void list();
    void bind(const QString& url);
    void choose(int row);

    std::function<ComDevice(int port)> m_locate;
    QListWidget* m_names;
    QComboBox* m_port;
    QLineEdit* m_url;
    QLabel* m_state;
};
