// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// Bootloaders and line state through the window: a transfer started from the send box's menu
// and cancelled from its window, with the real lrzsz on the far end of a pseudo-terminal; the
// line-state window over the fake device's lines and on a pseudo-terminal; RS-485 from the port
// group's menu, refused by a pseudo-terminal and remembered with the line control.
#include "support/farend.h"
#include "support/windowfixture.h"
#include "transfer/filetransfer.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

using namespace Qt::StringLiterals;

class BootTest : public QObject, WindowFixture {
    Q_OBJECT
    QTemporaryDir m_dir;

    QWidget* sendArea() const { return control<QAbstractScrollArea>("TxtSend")->viewport(); }
    QWidget* receiveArea() const { return control<QAbstractScrollArea>("TxtReceive")->viewport(); }
    QMenu* portMenu() const { return rightClick(control("Frame1")); }
    static QString text(QWidget* window, const char* name)
    {
        auto* label = window->findChild<QLabel*>(QLatin1String(name));
        return label ? label->text() : u"(none)"_s;
    }

private Q_SLOTS:
    void cleanup() { QVERIFY(finish()); }

    // Halfway through a send the user presses 取消: lrzsz's cancel ends the far end, the port
    // stays open and the display, which showed nothing of the transfer, works again; no child
    // is left. While it ran, the send button and the automatic send said a transfer runs.
    void transferCancelledHalfway()
    {
        if (!FileTransfer::installed())
            QSKIP("lrzsz is not installed");
        startOnPty();
        const QString log = m_dir.filePath(u"capture.log"_s);
        fakes->dialogs.nextSaveFile = log;
        choose(rightClick(receiveArea()), u"记录到文件…"_s);
        const QString file = m_dir.filePath(u"image.bin"_s);
        QFile image(file);
        QVERIFY(image.open(QIODevice::WriteOnly) && image.write(QByteArray(40 * 1024, 'Z')) > 0);
        image.close();
        const QString device = m_dir.filePath(u"device"_s);
        QVERIFY(QDir().mkpath(device));
        // At 115200 baud: a block takes 90 ms to arrive, as on a real line.
        auto far = std::make_unique<FarEnd>(
            pty->masterFd(), QStringList { u"rx"_s, u"image.bin"_s }, device, 11520);

        fakes->dialogs.nextFile = file;
        choose(choose(rightClick(sendArea()), u"传输文件"_s), u"XMODEM-1K 发送…"_s);
        QWidget* transfer = shownWindow(u"FrmTransfer"_s);
        QVERIFY(transfer);
        auto* bar = transfer->findChild<QProgressBar*>(u"BarTransfer"_s);
        QTRY_VERIFY_WITH_TIMEOUT(bar->value() >= bar->maximum() / 2, 30000);
        QVERIFY(text(transfer, "LblTransferRate").startsWith(u"速率："_s));
        QCOMPARE(shown("TxtReceive"), QString());
        QVERIFY(window->receivedCount() > 0);
        click("CmdSend");
        click("ChkAutoSend");
        QVERIFY(!control<QCheckBox>("ChkAutoSend")->isChecked());
        QCOMPARE(fakes->dialogs.messages.size(), 2);
        for (const FakeDialogs::Message& message : std::as_const(fakes->dialogs.messages))
            QCOMPARE(message.text, SendMessages::transferRunning().text);

        QTest::mouseClick(
            transfer->findChild<QPushButton*>(u"CmdTransferCancel"_s), Qt::LeftButton);
        QTRY_COMPARE(text(transfer, "LblTransferState"), u"已取消"_s);
        // The far end took the cancel: it ends at once, not after its retries, and keeps no file.
        QTRY_VERIFY_WITH_TIMEOUT(far->finished(), 10000);
        QVERIFY(far->exitCode() != 0);
        QVERIFY(!QFile::exists(device + u"/image.bin"_s));
        far.reset();
        QVERIFY(noChildProcesses());
        QVERIFY(indicators().contains(u"关闭串口"_s));
        QFile logged(log);
        QVERIFY(logged.open(QIODevice::ReadOnly) && logged.readAll().contains('\x06'));

        // Usable at once: what arrives shows (after the far end's own cancel), and a send goes
        // out.
        QVERIFY(pty->drainPumping());
        click("CmdClearReceive");
        QVERIFY(pty->writePumping("U-Boot> "));
        QTRY_COMPARE(shown("TxtReceive"), u"U-Boot> "_s);
        pty->readAvailable();
        type("TxtSend", u"AT"_s);
        click("CmdSend");
        QCOMPARE(pty->readPumping(2), QByteArray("AT"));
    }

    void withoutLrzsz()
    {
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_dir.path()));
        start();
        QAction* missing = item(rightClick(sendArea()), u"传输文件（需要安装 lrzsz）"_s);
        qputenv("PATH", path);
        QVERIFY(missing && !missing->isEnabled());
    }

    // The lights follow the fake device's lines and count each change since the window opened;
    // DTR and RTS show as the menu sets them; a port that stops reporting says so.
    void lineStateFollowsTheLines()
    {
        start();
        FakeBackend& device = *fakes->device;
        device.modem = ModemLines { false, true, false, false };
        choose(portMenu(), u"线路状态…"_s);
        QPointer<QWidget> lines = shownWindow(u"FrmLineState"_s);
        QVERIFY(lines);
        QCOMPARE(text(lines, "LblLevelDSR"), u"有效"_s);
        QCOMPARE(text(lines, "LblLevelCTS"), u"无效"_s);
        for (const bool cts : { true, false, true }) {
            device.modem->cts = cts;
            QTRY_COMPARE(text(lines, "LblLevelCTS"), cts ? u"有效"_s : u"无效"_s);
        }
        device.modem->ri = true;
        QTRY_COMPARE(text(lines, "LblLevelRI"), u"有效"_s);
        QCOMPARE(text(lines, "LblChangesCTS"), u"变化 3 次"_s);
        QCOMPARE(text(lines, "LblChangesRI"), u"变化 1 次"_s);
        QCOMPARE(text(lines, "LblChangesDSR"), u"变化 0 次"_s);
        QCOMPARE(text(lines, "LblDtr"), u"DTR：已置位"_s);
        choose(portMenu(), u"DTR"_s);
        QTRY_COMPARE(text(lines, "LblDtr"), u"DTR：未置位"_s);
        choose(choose(portMenu(), u"流控制"_s), u"RTS/CTS"_s);
        QTRY_COMPARE(text(lines, "LblRts"), u"RTS：由 RTS/CTS 流控制驱动"_s);
        device.modem.reset();
        QTRY_VERIFY(text(lines, "LblLineNote").startsWith(u"此串口不能报告线路状态"_s));
        // Closed, it is gone, and with it the reading of the lines.
        lines->close();
        QTRY_VERIFY(!lines);
    }

    // A pseudo-terminal has no modem lines and no RS-485: the window says so, and the RS-485
    // items are greyed with the driver's reason.
    void linesOnPty()
    {
        startOnPty();
        choose(portMenu(), u"线路状态…"_s);
        QWidget* lines = shownWindow(u"FrmLineState"_s);
        QVERIFY(lines);
        QCOMPARE(
            text(lines, "LblLineNote"), u"此串口不能报告线路状态（伪终端等没有调制解调器线路）"_s);
        QMenu* menu = portMenu();
        for (const QString& name : { u"RS-485 自动收发"_s, u"RS-485 收发延时…"_s }) {
            QAction* rs485 = item(menu, name);
            QVERIFY(rs485 && !rs485->isEnabled());
            QCOMPARE(rs485->toolTip(),
                u"此串口的驱动不支持 RS-485 自动收发（Inappropriate ioctl for device）"_s);
        }
    }

    // 自动收发 and its delays reach the driver, and the next run applies them at the start-up open.
    void rs485Remembered()
    {
        const QString options = m_dir.filePath(u"portlark.conf"_s);
        start([&](FakePlatform& fakes) { fakes.optionsFile = options; });
        choose(portMenu(), u"RS-485 自动收发"_s);
        QCOMPARE(fakes->device->lineCalls.last(), u"rs485 1 0 0"_s);
        choose(portMenu(), u"RS-485 收发延时…"_s);
        auto* dialog = window->findChild<QDialog*>(u"DlgRs485"_s);
        QVERIFY(dialog);
        for (const auto& [name, ms] :
            { std::pair(u"SpnRs485Before"_s, u"5"_s), std::pair(u"SpnRs485After"_s, u"10"_s) }) {
            auto* box = dialog->findChild<QSpinBox*>(name);
            box->setFocus();
            QTest::keySequence(box, QKeySequence::SelectAll);
            QTest::keyClicks(box, ms);
        }
        QTest::mouseClick(
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        QCOMPARE(fakes->device->lineCalls.last(), u"rs485 1 5 10"_s);
        QVERIFY(finish());

        start([&](FakePlatform& fakes) { fakes.optionsFile = options; });
        QVERIFY(fakes->device->lineCalls.contains(u"rs485 1 5 10"_s));
        QVERIFY(item(portMenu(), u"RS-485 自动收发"_s)->isChecked());
    }
};

QTEST_MAIN(BootTest)
#include "tst_boot.moc"
