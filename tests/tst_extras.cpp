// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The context menus and start-up options, through right clicks and menu clicks on the window;
// and the receive display as a screen reader reads it.
#include "app/commandwindow.h"
#include "port/codepage.h"
#include "port/steadyclock.h"
#include "receive/saverecord.h"
#include "support/windowfixture.h"
#include "view/findbar.h"
#include "view/receiveview.h"

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTextDocument>
#include <QWheelEvent>
#include <QtTest>

using namespace Qt::StringLiterals;

static QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ExtrasTest : public QObject, WindowFixture {
    Q_OBJECT
    QTemporaryDir m_dir;

    QWidget* receiveArea() const { return control<QAbstractScrollArea>("TxtReceive")->viewport(); }
    QWidget* sendArea() const { return control<QAbstractScrollArea>("TxtSend")->viewport(); }
    // Opens 快捷发送 from the send box's menu and imports the file through the file dialog.
    QTableWidget* import(const QByteArray& json)
    {
        choose(rightClick(sendArea()), u"快捷发送…"_s);
        QFile file(m_dir.filePath(u"import.json"_s));
        if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size())
            return nullptr;
        fakes->dialogs.nextFile = file.fileName();
        file.close();
        click("CmdImport");
        return control<QTableWidget>("TblCommands");
    }
    // What a reader is told of a menu: each item's role and name, a submenu's items indented
    // below it; an item whose accessible is gone reads "(invalid)", one with no name "(unnamed)".
    static QStringList heard(QAccessibleInterface* menu, const QString& indent = {})
    {
        QStringList lines;
        for (int i = 0; i < menu->childCount(); ++i) {
            QAccessibleInterface* item = menu->child(i);
            if (!item || !item->isValid()) {
                lines << indent + u"(invalid)"_s;
                continue;
            }
            if (item->role() == QAccessible::Separator)
                continue;
            const QString name = item->text(QAccessible::Name);
            lines << indent + (name.isEmpty() ? u"(unnamed)"_s : name);
            if (item->childCount() == 1)
                lines += heard(item->child(0), indent + u"  "_s);
        }
        return lines;
    }

    // What a reader hears of a control: the label that names it, or its own name; a setting box's
    // value is no name.
    static QString heard(QWidget* widget)
    {
        QAccessibleInterface* item = QAccessible::queryAccessibleInterface(widget);
        const auto labels = item->relations(QAccessible::Label);
        const QString name
            = (labels.isEmpty() ? item : labels.first().first)->text(QAccessible::Name);
        return item->role() == QAccessible::ComboBox && name == item->text(QAccessible::Value)
            ? QString()
            : name;
    }
    void sendRow(QTableWidget* table, int row) const
    {
        QTest::mouseClick(table->cellWidget(row, CommandWindow::Send), Qt::LeftButton);
    }

private Q_SLOTS:
    void cleanup() { QVERIFY(finish()); }

    // Every item of every context menu, submenus included, is there for a reader each time the
    // menu opens, not only the first time.
    void menusForReaders_data()
    {
        QTest::addColumn<QString>("box");
        QTest::newRow("receive box") << u"TxtReceive"_s;
        QTest::newRow("send box") << u"TxtSend"_s;
        QTest::newRow("port group") << u"Frame1"_s;
    }
    void menusForReaders()
    {
        QFETCH(QString, box);
        start();
        QWidget* target = control(box.toLatin1().constData());
        if (auto* area = qobject_cast<QAbstractScrollArea*>(target))
            target = area->viewport();
        QStringList first;
        for (int opening = 0; opening < 2; ++opening) {
            QPointer<QMenu> menu = rightClick(target);
            QVERIFY(menu);
            const QStringList items = heard(QAccessible::queryAccessibleInterface(menu));
            QVERIFY2(!items.filter(u"(invalid)"_s).size() && !items.filter(u"(unnamed)"_s).size(),
                qPrintable(items.join(u'\n')));
            if (opening == 0)
                first = items;
            QCOMPARE(items, first);
            menu->close();
            QTRY_VERIFY(!menu);
        }
    }

    // Over a pseudo-terminal: the log holds every byte fed while the display is stopped,
    // cleared, in hex and auto-cleared; the port has no modem lines, so those items are disabled.
    void logAndLinesOnPty()
    {
        startOnPty();

        QMenu* lines = rightClick(control("Frame1"));
        QVERIFY(lines);
        QVERIFY(!item(lines, u"DTR"_s)->isEnabled());
        QVERIFY(!item(lines, u"发送 Break"_s)->isEnabled());
        QMenu* flow = choose(lines, u"流控制"_s);
        QVERIFY(flow);
        QVERIFY(!item(flow, u"RTS/CTS"_s)->isEnabled());
        choose(flow, u"XON/XOFF"_s);
        QVERIFY(pty->attributes().c_iflag & IXON);

        const QString path = m_dir.filePath(u"capture.log"_s);
        fakes->dialogs.nextSaveFile = path;
        choose(rightClick(receiveArea()), u"记录到文件…"_s);
        click("CmdStopdisp");
        QByteArray fed;
        for (int i = 0; i < 40000; ++i)
            fed.append(char(i * 7 % 251 | 0x20)); // under XON/XOFF, 0x11 and 0x13 are no data
        QVERIFY(pty->writePumping(fed) && pty->drainPumping());
        click("CmdClearReceive");
        click("ChkHexReceive");
        click("ChkAutoClear");
        // Passes 65535, so the display empties on the way; what follows the clear depends on
        // how the tty cut the stream into reads.
        QVERIFY(pty->writePumping(fed) && pty->drainPumping());
        QTRY_COMPARE(window->receivedCount(), 2 * fed.size());
        QVERIFY(shown("TxtReceive").size() < 3 * fed.size());
        choose(rightClick(receiveArea()), u"停止记录"_s);
        QCOMPARE(contents(path), fed + fed);
        QCOMPARE(fakes->dialogs.messages.size(), 0);
    }

    void unwritableLog_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        QTest::newRow("folder missing") << m_dir.filePath(u"none/x.log"_s) << u"无法打开记录文件"_s;
        QTest::newRow("disk full") << u"/dev/full"_s << u"写入记录文件失败"_s;
    }
    void unwritableLog()
    {
        QFETCH(QString, path);
        QFETCH(QString, message);
        start();
        fakes->dialogs.nextSaveFile = path;
        choose(rightClick(receiveArea()), u"记录到文件…"_s);
        fakes->device->deliver("abc");
        QTRY_COMPARE(fakes->dialogs.messages.size(), 1);
        QVERIFY(fakes->dialogs.messages[0].text.startsWith(message));
        QVERIFY(fakes->serial.portOpen());
        QCOMPARE(shown("TxtReceive"), u"abc"_s);
        QVERIFY(!item(rightClick(receiveArea()), u"停止记录"_s));
    }

    // Over a pseudo-terminal with the device answering 25 ms later, while the wall clock is set
    // back an hour: the send on its own line, the reply's stamp on the wall clock and with the
    // time since the port reported the send written, on the steady one. The saved record holds
    // what is shown, the capture log only what came; the choices are remembered.
    void protocolViewOnPty()
    {
        qputenv("HOME", QFile::encodeName(m_dir.path()));
        QVERIFY(QDir(m_dir.path()).mkpath(u"COMDATA"_s));
        CodePage::setSystemOverride("GBK");
        const QString settings = m_dir.filePath(u"protocol.conf"_s);
        startOnPty([&](FakePlatform& fakes) { fakes.optionsFile = settings; });
        fakes->clock.time = QDateTime(QDate(2026, 12, 7), QTime(23, 59, 59));
        type("TxtSend", u"AT"_s);
        const QString log = m_dir.filePath(u"protocol.log"_s);
        fakes->dialogs.nextSaveFile = log;
        choose(rightClick(receiveArea()), u"记录到文件…"_s);
        choose(rightClick(receiveArea()), u"时间戳"_s);
        choose(rightClick(receiveArea()), u"显示发送"_s);

        click("CmdSend");
        QCOMPARE(pty->readPumping(2), "AT");
        QTRY_COMPARE(window->sentCount(), 2);
        const qint64 written = steadyNowNs();
        fakes->clock.time = fakes->clock.time.addSecs(-3600);
        QTRY_VERIFY(steadyNowNs() - written >= 25'000'000);
        QVERIFY(pty->write("OK\r\n"));
        QTRY_COMPARE(window->receivedCount(), 4);
        const QRegularExpressionMatch exchange
            = QRegularExpression(u"^\\[23:59:59\\.000\\] 发→ AT\n"
                                 u"\\[22:59:5\\d\\.\\d{3} \\+(\\d+) ms\\] 收← OK\r\n$"_s)
                  .match(shown("TxtReceive"));
        QVERIFY2(exchange.hasMatch(), qPrintable(shown("TxtReceive")));
        QVERIFY(exchange.captured(1).toInt() >= 25);

        click("CmdSaveDisp");
        const QString saved = CodePage::decode(contents(m_dir.filePath(u"COMDATA/1.txt"_s)));
        CodePage::setSystemOverride({});
        QVERIFY2(saved.contains(u" +%1 ms] 收← OK"_s.arg(exchange.captured(1))), qPrintable(saved));
        choose(rightClick(receiveArea()), u"停止记录"_s);
        QCOMPARE(contents(log), "OK\r\n");
        QVERIFY(contents(settings).contains("timestamps=true"));
        QVERIFY(contents(settings).contains("show-sent=true"));
        // The find bar is in the same menu.
        choose(rightClick(receiveArea()), u"查找(&F)…\tCtrl+F"_s);
        QTRY_VERIFY(control("TxtReceive")->findChild<FindBar*>()->isVisible());
    }

    // Applied to the open port at once, and again at each opening. Remembered with the log's
    // folder and the boxes' text size for the next run, over a settings file that did not read and
    // that only a choice rewrites.
    void lineControlReachesThePort()
    {
        const QString settings = m_dir.filePath(u"portlark.conf"_s);
        QVERIFY(SaveRecord::write(settings, "[line\ndtr=false\n").isEmpty());
        const auto remembering = [&](FakePlatform& fakes) { fakes.optionsFile = settings; };
        start(remembering);
        FakeBackend& device = *fakes->device;
        QCOMPARE(device.lineCalls, QStringList({ u"flow 0"_s, u"lines 1 1"_s }));
        QCOMPARE(contents(settings), "[line\ndtr=false\n"_ba);
        device.lineCalls.clear();
        choose(rightClick(control("Frame1")), u"DTR"_s);
        choose(choose(rightClick(control("Frame1")), u"流控制"_s), u"RTS/CTS"_s);
        QVERIFY(!item(rightClick(control("Frame1")), u"RTS"_s)->isEnabled());
        choose(rightClick(control("Frame1")), u"发送 Break"_s);
        choose(choose(rightClick(control("Frame1")), u"流控制"_s), u"无"_s);
        choose(rightClick(control("Frame1")), u"RTS"_s);
        choose(choose(rightClick(control("Frame1")), u"流控制"_s), u"RTS/CTS"_s);
        click("CmdSwitch");
        click("CmdSwitch");
        QCOMPARE(device.lineCalls,
            QStringList({ u"lines 0 1"_s, u"flow 1"_s, u"lines 0 1"_s, u"break 250"_s, u"flow 0"_s,
                u"lines 0 1"_s, u"lines 0 0"_s, u"flow 1"_s, u"lines 0 0"_s, u"flow 1"_s,
                u"lines 0 0"_s }));
        fakes->dialogs.nextSaveFile = m_dir.filePath(u"lines.log"_s);
        choose(rightClick(receiveArea()), u"记录到文件…"_s);
        QVERIFY(contents(settings).contains("dtr=false"));
        // The boxes' text size, both at once: Ctrl and +, = or the wheel on either box.
        const int base = control("TxtSend")->font().pointSize();
        const auto sizes = [this] {
            return u"%1 %2"_s.arg(control("TxtReceive")->font().pointSize())
                .arg(control("TxtSend")->font().pointSize());
        };
        QTest::keyClick(control("TxtReceive"), Qt::Key_Plus, Qt::ControlModifier);
        QTest::keyClick(control("TxtSend"), Qt::Key_Equal, Qt::ControlModifier);
        QWidget* sendArea = control<QAbstractScrollArea>("TxtSend")->viewport();
        QWheelEvent wheel({ 5, 5 }, sendArea->mapToGlobal(QPointF(5, 5)), {}, { 0, -120 },
            Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(sendArea, &wheel);
        QCOMPARE(sizes(), u"%1 %1"_s.arg(base + 1));

        QVERIFY(finish());
        start(remembering);
        QCOMPARE(fakes->device->lineCalls, QStringList({ u"flow 1"_s, u"lines 0 0"_s }));
        choose(rightClick(receiveArea()), u"记录到文件…"_s);
        QCOMPARE(fakes->dialogs.lastSaveFolder, m_dir.path());
        QCOMPARE(sizes(), u"%1 %1"_s.arg(base + 1));
        for (int i = 0; i < 50; ++i)
            QTest::keyClick(control("TxtReceive"), Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(sizes(), u"6 6"_s);
        QTest::keyClick(control("TxtSend"), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(sizes(), u"%1 %1"_s.arg(base));
    }

    // A line for each thing that applies, as a hover shows them: why the last open failed, the
    // device the port waits for, the running log; on the send button too, an ending or an
    // encoding other than the default.
    void statusToolTip()
    {
        start([](FakePlatform& fakes) { fakes.device->absentPorts = { 1 }; });
        // The tooltip is worked out as a hover is about to show it.
        const auto hover = [this](const char* name) {
            QWidget* widget = control(name);
            QHelpEvent help(QEvent::ToolTip, QPoint(4, 4), widget->mapToGlobal(QPoint(4, 4)));
            QApplication::sendEvent(widget, &help);
            return widget->toolTip();
        };
        QCOMPARE(hover("TxtStatus"), u"absent"_s);
        QCOMPARE(hover("CmdSend"), QString());
        const QString log = m_dir.filePath(u"tip.log"_s);
        fakes->dialogs.nextSaveFile = log;
        choose(rightClick(receiveArea()), u"记录到文件…"_s);
        fakes->device->absentPorts.clear();
        click("CmdSwitch");
        fakes->device->deliver("abc");
        fakes->device->loseDevice();
        choose(choose(rightClick(sendArea()), u"追加结尾"_s), u"CR LF"_s);
        choose(choose(rightClick(receiveArea()), u"字符编码"_s), u"UTF-8"_s);
        const QString choices = u"发送结尾：CR LF\n字符编码：UTF-8"_s;
        QTRY_COMPARE(hover("TxtStatus"),
            u"等待 COM1 原设备 (ttyFAKE1) 重新连接\n正在记录到文件：%1（3 字节）\n"_s.arg(log)
                + choices);
        QCOMPARE(hover("CmdSend"), choices);
    }

    void checkBytes()
    {
        start();
        auto* box = control<QPlainTextEdit>("TxtSend");
        QVERIFY(!item(rightClick(box->viewport()), u"追加校验"_s)->isEnabled());
        click("ChkHexSend");
        for (const auto& [kind, check] : { std::pair(u"Modbus CRC-16"_s, u"C4 0B"_s),
                 std::pair(u"CRC-16/CCITT-FALSE"_s, u"85 20"_s),
                 std::pair(u"累加和 (8 位)"_s, u"06"_s), std::pair(u"异或 (8 位)"_s, u"00"_s) }) {
            box->setPlainText(u"01 03 00 00 00 02"_s);
            choose(choose(rightClick(box->viewport()), u"追加校验"_s), kind);
            QCOMPARE(box->toPlainText(), u"01 03 00 00 00 02 "_s + check);
        }
        // Read as a hexadecimal send reads it: a no-break space is no blank, so it would stop
        // there.
        box->setPlainText(u"01\u00A002"_s);
        choose(choose(rightClick(box->viewport()), u"追加校验"_s), u"异或 (8 位)"_s);
        QCOMPARE(box->document()->toRawText(), u"01\u00A002"_s);
        QVERIFY(fakes->dialogs.messages.value(0).text.startsWith(u"未追加校验：第 3 个字符"_s));
    }

    // One choice in both boxes' menus, remembered: text goes out in it, arrivals are read in it
    // (a character cut between two arrivals too) and 1.txt is written in it.
    void encodingChoice_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("UTF-8") << u"UTF-8"_s << u"温度 25.3℃"_s
                               << "\xE6\xB8\xA9\xE5\xBA\xA6 25.3\xE2\x84\x83"_ba;
        QTest::newRow("GB18030") << u"GB18030"_s << u"温度 😀"_s
                                 << "\xCE\xC2\xB6\xC8 \x94\x39\xFC\x36"_ba;
        QTest::newRow("GBK") << u"GBK"_s << u"温度"_s << "\xCE\xC2\xB6\xC8"_ba;
        QTest::newRow("Big5") << u"Big5"_s << u"溫度"_s << "\xB7\xC5\xAB\xD7"_ba;
        QTest::newRow("Shift_JIS") << u"Shift_JIS"_s << u"温度"_s << "\x89\xB7\x93\x78"_ba;
        QTest::newRow("EUC-KR") << u"EUC-KR"_s << u"온도"_s << "\xBF\xC2\xB5\xB5"_ba;
        QTest::newRow("Windows-1252") << u"Windows-1252"_s << u"café €"_s << "caf\xE9 \x80"_ba;
    }

    void encodingChoice()
    {
        QFETCH(QString, choice);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        const QString settings = m_dir.filePath(choice + u".conf"_s);
        start([&](FakePlatform& fakes) { fakes.optionsFile = settings; });
        auto* box = control<QPlainTextEdit>("TxtSend");
        QMenu* menu = choose(rightClick(box->viewport()), u"字符编码"_s);
        QCOMPARE(menu->actions().first()->text(), u"系统 (Windows-1252)"_s); // the C locale's
        choose(menu, choice);
        box->setPlainText(text);
        click("CmdSend");
        QCOMPARE(fakes->device->written, bytes);
        fakes->device->deliver(bytes.chopped(1));
        fakes->device->deliver(bytes.last(1));
        QTRY_COMPARE(shown("TxtReceive"), text);
        type("TxtSavePath", m_dir.path());
        click("CmdSaveDisp");
        QVERIFY(contents(m_dir.filePath(u"1.txt"_s)).endsWith("\r\n" + bytes + "\r\n"));

        QVERIFY(finish());
        start([&](FakePlatform& fakes) { fakes.optionsFile = settings; });
        QVERIFY(item(choose(rightClick(receiveArea()), u"字符编码"_s), choice)->isChecked());
        fakes->device->deliver(bytes);
        QTRY_COMPARE(shown("TxtReceive"), text);
    }

    // A character cut between two arrivals is held back; a change of 字符编码 meanwhile reads the
    // held bytes again in the new encoding, none lost.
    void encodingChangedWhileHeld()
    {
        start();
        choose(choose(rightClick(receiveArea()), u"字符编码"_s), u"UTF-8"_s);
        fakes->device->deliver("\xE6\xB8"); // the first two of 温's three
        choose(choose(rightClick(receiveArea()), u"字符编码"_s), u"GBK"_s);
        fakes->device->deliver("A");
        QTRY_COMPARE(shown("TxtReceive"), u"娓A"_s);
        QCOMPARE(window->receivedCount(), 3);
    }

    // A stored row goes out as the send box would send it, with its own ending on text only.
    void commandRowOnPty_data()
    {
        QTest::addColumn<Command>("row");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("text, blanks trimmed") << Command { {}, u" AT "_s } << "AT"_ba;
        QTest::newRow("CR") << Command { {}, u"AT"_s, false, LineEnding::Cr } << "AT\r"_ba;
        QTest::newRow("LF") << Command { {}, u"AT"_s, false, LineEnding::Lf } << "AT\n"_ba;
        QTest::newRow("CR LF") << Command { {}, u"AT"_s, false, LineEnding::CrLf } << "AT\r\n"_ba;
        QTest::newRow("hex gets no ending")
            << Command { {}, u"01 0a ff"_s, true, LineEnding::CrLf } << "\x01\x0a\xff"_ba;
    }
    void commandRowOnPty()
    {
        QFETCH(Command, row);
        QFETCH(QByteArray, wire);
        startOnPty();
        sendRow(import(CommandList::write({ row })), 0);
        QCOMPARE(pty->readPumping(wire.size()), wire);
        QCOMPARE(fakes->dialogs.messages.size(), 0);
        // The row is in the send box's history as it is stored.
        QTest::keyClick(control("TxtSend"), Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(shown("TxtSend"), row.content);
        QCOMPARE(control<QCheckBox>("ChkHexSend")->isChecked(), row.hex);
    }

    // Ticked rows in order with their delays, round and round, until the device goes away.
    void sequenceOnPty()
    {
        startOnPty();
        const QList<Command> rows { { {}, u"A"_s, false, LineEnding::None, 20 },
            { {}, u"skipped"_s, false, LineEnding::None, 0, false },
            { {}, u"B"_s, false, LineEnding::None, 0 },
            { {}, u"C"_s, false, LineEnding::None, 30 } };
        import(CommandList::write(rows));
        click("CmdSequence");
        QCOMPARE(pty->readPumping(6).left(6), "ABCABC");
        pty->closeMaster();
        QTRY_COMPARE(shown("CmdSequence"), u"循环发送"_s);
        QCOMPARE(shown("LblSequence"), QString());
    }

    // A row the output bound refuses is held and shown waiting, then sent once when the output
    // drains: neither skipped nor doubled.
    void sequenceWaitsForRoom()
    {
        start();
        const QString big = QString(3000, u'x'); // two are more than the port's output buffer
        import(CommandList::write({ { {}, big, false, LineEnding::None, 0 },
            { {},
                big.toUpper(),
                false,
                LineEnding::None,
                0 } }));
        click("CmdSequence");
        QTRY_COMPARE(shown("LblSequence"), u"第 2 条等待发送缓冲区有空间…"_s);
        QCOMPARE(fakes->device->written, big.toLatin1());
        fakes->device->drain();
        QTRY_COMPARE(fakes->device->written, (big + big.toUpper()).toLatin1());
        QTRY_COMPARE(shown("LblSequence"), u"第 1 条等待发送缓冲区有空间…"_s);
        click("CmdSequence");
        QCOMPARE(shown("LblSequence"), QString());
    }

    void sequenceStopsWithThePort()
    {
        start();
        import(CommandList::write({ { {}, u"AT"_s, false, LineEnding::None, 60000 } }));
        click("CmdSequence");
        QCOMPARE(shown("LblSequence"), u"正在循环发送：第 1 条"_s);
        click("CmdSwitch");
        QTRY_COMPARE(shown("CmdSequence"), u"循环发送"_s);
    }

    // 快捷发送 for a reader: every control it can reach is named, a row's by its number, which
    // follows a removal above it; the sequence's state is a status whose words change at most
    // once a second while the rows move twenty times a second.
    void commandWindowForReaders()
    {
        start();
        QTableWidget* table
            = import(CommandList::write({ { {}, u"A"_s, false, LineEnding::None, 50 },
                { {}, u"B"_s, false, LineEnding::None, 50 } }));
        QStringList unnamed;
        for (QWidget* widget : table->window()->findChildren<QWidget*>()) {
            if (widget->focusPolicy() != Qt::NoFocus && widget->isVisible()
                && widget->objectName() != u"qt_spinbox_lineedit"_s && heard(widget).isEmpty())
                unnamed << QString::fromLatin1(widget->metaObject()->className());
        }
        QCOMPARE(unnamed, QStringList());
        QCOMPARE(heard(table), u"快捷发送列表"_s);
        // Going through the table's cells, a reader is told what the controls in them show.
        QAccessibleTableInterface* cells
            = QAccessible::queryAccessibleInterface(table)->tableInterface();
        QStringList row;
        for (int column = 0; column < CommandWindow::Columns; ++column)
            row << cells->cellAt(1, column)->text(QAccessible::Name);
        QCOMPARE(row.join(u'|'), u"|B||无|50 ms|无|||1000 ms|0 次|发送|"_s);

        // The words a reader is told, looked at as the rows go by: they change, never twice within
        // a second.
        QWidget* status = control("LblSequence");
        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(status);
        QCOMPARE(reader->role(), QAccessible::StatusBar);
        QElapsedTimer clock;
        clock.start();
        QList<qint64> changes;
        QString told = heard(status);
        QStringList rows;
        // Started as a reader starts it, with the button's Toggle action; stopped with a click.
        QAccessibleInterface* button
            = QAccessible::queryAccessibleInterface(control("CmdSequence"));
        button->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(QTest::qWaitFor([&] {
            rows << shown("LblSequence");
            if (heard(status) != std::exchange(told, heard(status)))
                changes << clock.elapsed();
            return changes.size() >= 2;
        }));
        click("CmdSequence");
        rows.removeDuplicates();
        QCOMPARE(rows, QStringList({ u"正在循环发送：第 1 条"_s, u"正在循环发送：第 2 条"_s }));
        QVERIFY2(
            changes[1] - changes[0] >= 950, qPrintable(QString::number(changes[1] - changes[0])));
        QVERIFY(told.startsWith(u"正在循环发送：第 "_s));
        QTRY_COMPARE(heard(status), u"没有在循环发送"_s);

        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
            table->visualItemRect(table->item(0, CommandWindow::Content)).center());
        click("CmdRemoveCommand");
        QCOMPARE(heard(table->cellWidget(0, CommandWindow::Ending)->findChild<QComboBox*>()) + u'|'
                + heard(table->cellWidget(0, CommandWindow::Delay)) + u'|'
                + heard(table->cellWidget(0, CommandWindow::Send)),
            u"第 1 条的结尾|第 1 条的延时 (ms)|发送第 1 条"_s);
    }

    // An import asks before it replaces rows; a file that is no list, or too large to be one, is
    // refused and the list kept.
    void importAndExport()
    {
        start();
        const QList<Command> rows { { u"读"_s, u"01 03"_s, true }, { {}, u"AT"_s } };
        import(CommandList::write(rows));
        const QByteArray other = CommandList::write({ { {}, u"ATI"_s } });
        fakes->dialogs.answer = Dialogs::Answer::Cancel;
        import(other);
        fakes->dialogs.answer = Dialogs::Answer::Ok;
        import("{\"commands\": []}");
        QFile big(m_dir.filePath(u"big.json"_s));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(CommandList::largestFile + 1));
        big.close();
        fakes->dialogs.nextFile = big.fileName();
        click("CmdImport");
        QStringList asked;
        for (FakeDialogs::Message box : std::as_const(fakes->dialogs.messages))
            asked << box.text.replace(m_dir.path(), u"~"_s);
        QCOMPARE(asked,
            QStringList({ u"导入的 1 条命令将替换现有的 2 条命令，是否继续？"_s,
                u"无法导入 ~/import.json：不是快捷发送的命令列表"_s,
                u"无法导入 ~/big.json：文件太大（超过 16 MiB）"_s }));
        QCOMPARE(fakes->dialogs.messages.value(0).buttons, Dialogs::Buttons::OkCancel);
        fakes->dialogs.nextSaveFile = m_dir.filePath(u"export.json"_s);
        click("CmdExport");
        QCOMPARE(CommandList::read(contents(fakes->dialogs.nextSaveFile)).commands, rows);
        import(other);
        QCOMPARE(fakes->dialogs.messages.size(), 4);
        click("CmdExport");
        QCOMPARE(contents(fakes->dialogs.nextSaveFile), other);
    }

    // Ctrl+Enter sends as the button does, Enter breaks the line; the ending goes on text sends
    // only; the history gives back a text and its hex choice, passing over what the box holds.
    // With no history Ctrl+Up and Ctrl+Down are the box's, which leaves them to the window.
    void sendBoxKeysOnPty()
    {
        startOnPty();
        for (const Qt::Key arrow : { Qt::Key_Up, Qt::Key_Down }) {
            QKeyEvent press(QEvent::KeyPress, arrow, Qt::ControlModifier);
            QApplication::sendEvent(control("TxtSend"), &press);
            QVERIFY(!press.isAccepted());
        }
        type("TxtSend", u"AT"_s);
        QTest::keyClick(control("TxtSend"), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(pty->readPumping(2), "AT");
        choose(choose(rightClick(sendArea()), u"追加结尾"_s), u"CR LF"_s);
        QTest::keyClick(
            control("TxtSend"), Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
        QCOMPARE(pty->readPumping(4), "AT\r\n");
        QTest::keyClick(control("TxtSend"), Qt::Key_Return);
        QCOMPARE(shown("TxtSend"), u"AT\n"_s);
        QTest::keySequence(control("TxtSend"), QKeySequence::SelectAll);
        QTest::keyClicks(control("TxtSend"), u"41 42"_s);
        click("ChkHexSend");
        QTest::keyClick(control("TxtSend"), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(pty->readPumping(2), "AB");
        QTest::keyClick(control("TxtSend"), Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(shown("TxtSend"), u"AT"_s);
        QVERIFY(!control<QCheckBox>("ChkHexSend")->isChecked());
        choose(choose(rightClick(sendArea()), u"发送历史"_s), u"HEX  41 42"_s);
        QCOMPARE(shown("TxtSend"), u"41 42"_s);
        QVERIFY(control<QCheckBox>("ChkHexSend")->isChecked());
        QCOMPARE(fakes->dialogs.messages.size(), 0);
    }

    // Kept beside the options file between runs, its folder made if a fresh system has none: the
    // history and the ending; a damaged list is put aside, not written over.
    void keptBetweenRuns()
    {
        const auto run = [&] {
            start(
                [&](FakePlatform& f) { f.optionsFile = m_dir.filePath(u"kept/portlark.conf"_s); });
        };
        run();
        type("TxtSend", u"AT"_s);
        click("CmdSend");
        QVERIFY(finish());
        QVERIFY(QFile::exists(m_dir.filePath(u"kept/history.json"_s)));
        QFile damaged(m_dir.filePath(u"kept/commands.json"_s));
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write("{") == 1);
        damaged.close();
        run();
        choose(choose(rightClick(sendArea()), u"追加结尾"_s), u"LF"_s);
        QVERIFY(finish());
        run();
        QCOMPARE(
            QDir(m_dir.filePath(u"kept"_s)).entryList({ u"commands.json.damaged-*"_s }).size(), 1);
        QTest::keyClick(control("TxtSend"), Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(shown("TxtSend"), u"AT"_s);
        QVERIFY(item(choose(rightClick(sendArea()), u"追加结尾"_s), u"LF"_s)->isChecked());
    }

    void startOptions_data()
    {
        QTest::addColumn<QString>("com");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("boxes");
        QTest::addColumn<QString>("message");
        QTest::newRow("COM3 at 115200, even parity")
            << u"3"_s << u"115200,e,7,2"_s << u"open 3 115200,E,7,2"_s << u"COM3 115200 ENEV 7 2"_s
            << QString();
        QTest::newRow("data bits the port refuses: defaults")
            << QString() << u"9600,N,9,1"_s << u"open 1 9600,N,8,1"_s << u"COM1 9600 NONE 8 1"_s
            << u"没有成功，请重试【检查端口是否被占用，或者端口号正确】"_s;
    }
    void startOptions()
    {
        QFETCH(QString, com);
        QFETCH(QString, settings);
        QFETCH(QString, opened);
        QFETCH(QString, boxes);
        QFETCH(QString, message);
        const QString log = m_dir.filePath(u"start.log"_s);
        QFile::remove(log);
        fakes = std::make_unique<FakePlatform>();
        window
            = std::make_unique<MainWindow>(fakes->platform(), StartOptions { log, com, settings });
        QCOMPARE(fakes->device->calls.value(0), opened);
        QStringList texts;
        for (const char* name :
            { "CboCom", "CboBaudrate", "CboParitybit", "CboDatabit", "CboStopbit" })
            texts << shown(name);
        QCOMPARE(texts.join(u' '), boxes);
        QCOMPARE(fakes->dialogs.messages.value(0).text, message);
        fakes->device->deliver("\x01\x02");
        window.reset(); // quitting flushes the log
        QCOMPARE(contents(log), "\x01\x02"_ba);
    }

    // What arrived over the port, read as a reader reads it: whole, by rows as displayed (a long
    // line wraps into several), by line up to its break and by word; the caret and a selection
    // made with the keys; an edit through the reader.
    void receiveViewForReaders()
    {
        startOnPty();
        QByteArray line;
        for (int i = 0; i < 60; ++i)
            line += "word" + QByteArray::number(i) + ' ';
        const QByteArray fed = line + "\r\nend";
        QVERIFY(pty->writePumping(fed) && pty->drainPumping());
        auto* view = control<ReceiveView>("TxtReceive");
        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(view);
        QCOMPARE(reader->role(), QAccessible::EditableText);
        QCOMPARE(reader->text(QAccessible::Name), u"接收区"_s);
        QAccessibleTextInterface* text = reader->textInterface();
        QCOMPARE(text->text(0, text->characterCount()), QString::fromLatin1(fed));
        QCOMPARE(text->cursorPosition(), fed.size());
        int start = -1;
        int end = -1;
        QCOMPARE(text->textAtOffset(7, QAccessible::WordBoundary, &start, &end), u"word1"_s);
        QCOMPARE(text->textAfterOffset(7, QAccessible::WordBoundary, &start, &end), u" "_s);
        QCOMPARE(start, 11);
        QCOMPARE(
            text->textAfterOffset(int(line.size()) - 1, QAccessible::WordBoundary, &start, &end),
            u"\r\n"_s);
        QCOMPARE(text->textAtOffset(9, QAccessible::ParagraphBoundary, &start, &end),
            QString::fromLatin1(line + "\r\n"));
        QCOMPARE(text->textAfterOffset(9, QAccessible::ParagraphBoundary, &start, &end), u"end"_s);
        const QString row = text->textAtOffset(9, QAccessible::LineBoundary, &start, &end);
        QVERIFY2(start == 0 && end > 0 && end < line.size(), qPrintable(row));
        QCOMPARE(
            text->textAfterOffset(9, QAccessible::LineBoundary, &start, &end), view->rowText(1));

        view->setFocus();
        QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
        text->selection(0, &start, &end);
        QCOMPARE(text->text(start, end), row);
        QCOMPARE(text->cursorPosition(), row.size());
        text->setCursorPosition(3);
        QCOMPARE(view->cursorPosition(), 3);
        QCOMPARE(text->selectionCount(), 0);
        reader->editableTextInterface()->replaceText(0, 5, u"W0"_s);
        QVERIFY(view->text().startsWith(u"W0 word1 "_s));
    }
};

QTEST_MAIN(ExtrasTest)
#include "tst_extras.moc"
