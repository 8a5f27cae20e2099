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

    QLabel* Label1_0 = nullptr;
    QLabel* Label1_1 = nullptr;
    QPushButton* CmdAssurance = nullptr;
};
