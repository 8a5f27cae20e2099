// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/windowfixture.h"

#include "port/comnames.h"
#include "view/receiveview.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QtTest>

using namespace Qt::StringLiterals;

void WindowFixture::start(
    const std::function<void(FakePlatform&)>& before, SerialComponent* realPort)
{
    fakes = std::make_unique<FakePlatform>();
    statesAtBoxes.clear();
    fakes->dialogs.onMessage = [this](const FakeDialogs::Message&) {
        statesAtBoxes << (window ? indicators() : u"building"_s);
    };
    if (before)
        before(*fakes);
    Platform platform = fakes->platform();
    if (realPort)
        platform.serial = realPort;
    window = std::make_unique<MainWindow>(platform);
    window->setEndProgram([this] { ++ends; });
    window->show();
}

void WindowFixture::startOnPty(const std::function<void(FakePlatform&)>& before)
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const QString link = ComNames::devicesFolder() + u"/com1"_s;
    QVERIFY(QDir().mkpath(ComNames::devicesFolder()));
    QFile::remove(link);
    pty = std::make_unique<PtyPair>();
    QVERIFY(QFile::link(pty->slavePath(), link));
    realSerial = std::make_unique<QtSerialComponent>();
    start(before, realSerial.get());
    QVERIFY(realSerial->portOpen());
}

bool WindowFixture::finish()
{
    window.reset();
    realSerial.reset();
    fakes.reset();
    ends = 0;
    return QTest::qWaitFor([] { return QApplication::topLevelWidgets().isEmpty(); });
}

void WindowFixture::click(const char* name) const
{
    QTest::mouseClick(control(name), Qt::LeftButton);
}

void WindowFixture::pick(const char* box, const QString& item) const
{
    auto* combo = control<QComboBox>(box);
    combo->showPopup();
    QAbstractItemView* list = combo->view();
    const QModelIndex index = list->model()->index(combo->findText(item), 0);
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
}

void WindowFixture::type(const char* box, const QString& text) const
{
    QWidget* editor = control(box);
    if (auto* combo = qobject_cast<QComboBox*>(editor))
        editor = combo->lineEdit();
    // A box completes typed text only in the active window, as a user's typing always is. The
    // offscreen platform leaves no window active after an item of a submenu was chosen, where a
    // user's desktop gives the activation back.
    editor->window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(editor->window()));
    editor->setFocus();
    QTest::keySequence(editor, QKeySequence::SelectAll);
    QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClicks(editor, text);
}

QString WindowFixture::shown(const char* name) const
{
    const QWidget* widget = control(name);
    if (auto* view = qobject_cast<const ReceiveView*>(widget))
        return view->text();
    for (const char* property : { "currentText", "plainText", "text" })
        if (widget->property(property).isValid())
            return widget->property(property).toString();
    return QString();
}

QString WindowFixture::indicators() const
{
    const bool red = control("ImgSwitchOn")->isVisible();
    const bool dark = control("ImgSwitchOff")->isVisible();
    return shown("TxtStatus") + QStringLiteral(" | ") + shown("CmdSwitch")
        + (red         ? QStringLiteral(" | red")
                : dark ? QStringLiteral(" | dark")
                       : QStringLiteral(" | none"));
}

QMenu* WindowFixture::rightClick(QWidget* widget)
{
    while (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    QContextMenuEvent event(
        QContextMenuEvent::Mouse, QPoint(4, 4), widget->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(widget, &event);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

QAction* WindowFixture::item(QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

QMenu* WindowFixture::choose(QMenu* menu, const QString& text)
{
    QAction* action = item(menu, text);
    QPointer<QMenu> sub = action->menu(); // a plain item's menu closes and goes
    menu->setActiveAction(action); // as the arrow keys would
    QTest::keyClick(menu, Qt::Key_Return);
    if (sub)
        (void)QTest::qWaitFor([&] { return sub->isVisible(); });
    return sub;
}
