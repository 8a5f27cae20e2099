// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// The About window: modeless, without owner, discarded when closed.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

private:
    void CmdAssurance_Click();

    // The two captions form one control array; their object names are Label1_0 and Label1_1.
    QLabel* Label1[2] = {};
    QPushButton* CmdAssurance = nullptr;
};
