// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// Choices in combination: the automatic send under every state of what it depends on, and every
// remembered choice through a restart, alone, all at once and damaged in the file.
#include "app/commandwindow.h"
#include "app/intervaltimer.h"
#include "support/windowfixture.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QRegularExpression>
#include <QtTest>

using namespace Qt::StringLiterals;

class ChoicesTest : public QObject, WindowFixture {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<QSignalSpy> m_ticks;
    QStringList m_defaults;

    QWidget* area(const char* name) const { return control<QAbstractScrollArea>(name)->viewport(); }
    QString saved() const
    {
        QFile file(fakes->optionsFile);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // Steps, "; " between: "click NAME", "type BOX TEXT", "menu receive|send|line ITEM[>ITEM]"
    // (a right click on the receive box, the send box or the port group), "zoom" (Ctrl and +
    // three times), "log" (a capture log started in the test's folder), "import" (two stored
    // commands), "move" (the 快捷发送 window moved and closed), "mark" (forgets what was written
    // and ticked so far), "ticks N" (waits for N ticks of the automatic send, while they come).
    void run(const QString& steps)
    {
        for (const QString& step : steps.split(u"; "_s, Qt::SkipEmptyParts)) {
            const QString verb = step.section(u' ', 0, 0), arg = step.section(u' ', 1);
            const QByteArray name = arg.section(u' ', 0, 0).toLatin1();
            if (verb == u"click")
                click(name.constData());
            else if (verb == u"type")
                type(name.constData(), arg.section(u' ', 1));
            else if (verb == u"menu") {
                const QString where = arg.section(u' ', 0, 0);
                QMenu* menu = rightClick(where == u"line"
                        ? control("Frame1")
                        : area(where == u"send" ? "TxtSend" : "TxtReceive"));
                for (const QString& text : arg.section(u' ', 1).split(u'>'))
                    menu = choose(menu, text);
            } else if (verb == u"zoom")
                for (int i = 0; i < 3; ++i)
                    QTest::keyClick(control("TxtReceive"), Qt::Key_Plus, Qt::ControlModifier);
            else if (verb == u"log") {
                fakes->dialogs.nextSaveFile = m_dir.filePath(u"capture.log"_s);
                run(u"menu receive 记录到文件…"_s);
            } else if (verb == u"import") {
                fakes->dialogs.nextFile = m_dir.filePath(u"import.json"_s);
                QVERIFY(CommandList::writeFile(fakes->dialogs.nextFile,
                    { { u"读"_s, u"01 03"_s, true, LineEnding::Cr, 250, false },
                        { {}, u"AT"_s, false, LineEnding::Lf, 0, true } })
                            .isEmpty());
                run(u"menu send 快捷发送…; click CmdImport"_s);
            } else if (verb == u"move") { // as the window manager would
                run(u"menu send 快捷发送…"_s);
                window->findChild<CommandWindow*>()->setGeometry(101, 102, 703, 404);
                window->findChild<CommandWindow*>()->close();
                QTRY_VERIFY(saved().contains(u"703x404+101+102"_s)); // from the event loop
            } else if (verb == u"mark") {
                fakes->device->written.clear();
                m_ticks->clear();
            } else if (verb == u"ticks")
                QTRY_VERIFY(m_ticks->size() >= arg.toInt()
                    || !control<IntervalTimer>("TmrAutoSend")->isTicking());
            else
                QFAIL(qPrintable(u"unknown step "_s + step));
            if (QTest::currentTestFailed())
                return;
        }
    }

    void startWith(const QString& optionsFile)
    {
        start([&](FakePlatform& fakes) { fakes.optionsFile = optionsFile; });
        m_ticks = std::make_unique<QSignalSpy>(
            control<IntervalTimer>("TmrAutoSend"), &IntervalTimer::timeout);
    }

    // Every remembered choice, as the port was given it or the window shows it.
    QStringList remembered()
    {
        const auto items = [](QMenu* menu, bool checkedOnly) {
            QStringList texts;
            for (QAction* action : menu->actions())
                if (!action->isSeparator() && (action->isChecked() || !checkedOnly))
                    texts << action->text();
            return texts.join(u',');
        };
        const SerialComponent& port = fakes->serial;
        QMenu* receive = rightClick(area("TxtReceive"));
        QStringList state { QString::asprintf("lines=%d%d %d", port.dataTerminalReady(),
                                port.requestToSend(), int(port.flowControl())),
            QString::asprintf("points=%d %d", control("TxtReceive")->font().pointSize(),
                control("TxtSend")->font().pointSize()),
            u"receive="_s + items(receive, true),
            u"frame="_s + items(item(receive, u"分帧"_s)->menu(), true),
            u"encoding=%1 %2"_s.arg(items(item(receive, u"字符编码"_s)->menu(), true),
                QString::fromLatin1(port.textCodePage())) };
        choose(receive, u"记录到文件…"_s); // and cancelled: where the dialog starts
        QMenu* send = rightClick(area("TxtSend"));
        state << u"log="_s + fakes->dialogs.lastSaveFolder
              << u"ending="_s + items(item(send, u"追加结尾"_s)->menu(), true)
              << u"history="_s + items(item(send, u"发送历史"_s)->menu(), false);
        choose(send, u"快捷发送…"_s);
        auto* commands = window->findChild<CommandWindow*>();
        const QRect at = commands->geometry();
        state << QString::asprintf("geometry=%d %d %d %d", at.x(), at.y(), at.width(), at.height());
        QStringList rows;
        for (const Command& c : commands->commands())
            rows << QString::asprintf("%s %s %d %d %d %d", qUtf8Printable(c.name),
                qUtf8Printable(c.content), c.hex, int(c.ending), c.delayMs, c.inSequence);
        return state << u"commands="_s + rows.join(u'/');
    }

    // The defaults with the given entries in place of theirs.
    QStringList defaultsBut(const QStringList& changed) const
    {
        QStringList state = m_defaults;
        for (const QString& entry : changed)
            for (QString& each : state)
                if (each.section(u'=', 0, 0) == entry.section(u'=', 0, 0))
                    each = entry;
        return state;
    }

private Q_SLOTS:
    void initTestCase()
    {
        startWith(m_dir.filePath(u"defaults/portlark.conf"_s));
        m_defaults = remembered();
        QVERIFY(finish());
    }

    void cleanup() { QVERIFY(finish()); }

    // The port open or closed, the send box empty or not, hexadecimal or text, a period the timer
    // takes or not, as the box is ticked; then the port closed while it sends.
    void autoSend_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expected"); // ticked, ticking | messages | first bytes written
        const QString text = u"31 32 20 33 34"_s; // " 12 34 " as text; as hex 12 34
        for (int k = 0; k < 16; ++k) {
            const bool open = k & 8, empty = k & 4, hex = k & 2, valid = k & 1;
            QTest::addRow("%s, %s, %s, %s", open ? "open" : "closed", empty ? "empty" : "data",
                hex ? "hex" : "text", valid ? "5 ms" : "abc")
                << u"%1type TxtSend %2; %3type TxtAutoSendTime %4; click ChkAutoSend; ticks 3"_s
                       .arg(open ? u""_s : u"click CmdSwitch; "_s, empty ? u""_s : u" 12 34 "_s,
                           hex ? u"click ChkHexSend; "_s : u""_s, valid ? u"5"_s : u"abc"_s)
                << (!open           ? u"0 0 | 串口没有打开，请打开串口 | "_s
                           : !valid ? u"1 0 |  | "_s
                           : empty  ? u"0 0 | 发送数据不能为空 | "_s
                                    : u"1 1 |  | "_s + (hex ? u"12 34 12 34 12"_s : text));
        }
        const QString sending = u"type TxtSend  12 34 ; type TxtAutoSendTime 5; click ChkAutoSend; "
                                u"ticks 1; click CmdSwitch; mark; "_s;
        QTest::newRow("closed while sending: the ticks go on, nothing written")
            << sending + u"ticks 3"_s << u"1 1 |  | "_s;
        QTest::newRow("closed, then the box emptied: stops and says so")
            << sending + u"click CmdClearSend; ticks 3"_s << u"0 0 | 发送数据不能为空 | "_s;
    }

    void autoSend()
    {
        QFETCH(QString, steps);
        QFETCH(QString, expected);
        startWith({});
        run(steps);
        QStringList boxes;
        for (const FakeDialogs::Message& box : fakes->dialogs.messages)
            boxes << box.text;
        QCOMPARE(u"%1 %2 | %3 | %4"_s.arg(control<QCheckBox>("ChkAutoSend")->isChecked())
                     .arg(control<IntervalTimer>("TmrAutoSend")->isTicking())
                     .arg(boxes.join(u" / "_s),
                         QString::fromLatin1(fakes->device->written.toHex(' ').left(14))),
            expected);
    }

    // Each choice made alone, and all at once, then a new window on the same folder: that choice
    // reads back and every other is still its default. Then a value in the file that is not of
    // its key: that choice alone is its default again.
    void keptThroughARestart_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("changed");
        QTest::addColumn<QString>("damaged"); // key=value, in place of its line
        const int points = m_defaults.filter(u"points="_s).value(0).section(u' ', 1).toInt() + 3;
        const struct {
            const char* name;
            QString steps, changed, damaged;
        } choices[] = {
            { "send history", u"type TxtSend AT; click CmdSend"_s, u"history=AT,清除历史"_s, {} },
            { "DTR", u"menu line DTR"_s, u"lines=01 0"_s, u"dtr=no"_s },
            { "RTS", u"menu line RTS"_s, u"lines=10 0"_s, u"rts=0"_s },
            { "flow control", u"menu line 流控制>XON/XOFF"_s, u"lines=11 2"_s, u"flow=rtscts"_s },
            { "log folder", u"log"_s, u"log="_s + m_dir.path(), u"folder=a,b"_s },
            { "time stamps", u"menu receive 时间戳"_s, u"receive=时间戳"_s, u"timestamps=1"_s },
            { "frame gap", u"menu receive 分帧>50 ms"_s, u"frame=50 ms"_s, u"frame-ms=30"_s },
            { "character column", u"click ChkHexReceive; menu receive 十六进制附字符"_s,
                u"receive=十六进制附字符"_s, u"hex-chars=yes"_s },
            { "sent lines", u"menu receive 显示发送"_s, u"receive=显示发送"_s, u"show-sent="_s },
            { "encoding", u"menu receive 字符编码>GB18030"_s, u"encoding=GB18030 GB18030"_s,
                u"encoding=UTF-16"_s },
            { "line ending", u"menu send 追加结尾>CR"_s, u"ending=CR"_s, u"line-ending=CRLF"_s },
            { "text size", u"zoom"_s, u"points=%1 %1"_s.arg(points), u"font-points=49"_s },
            { "commands window's place", u"move"_s, u"geometry=101 102 703 404"_s,
                u"geometry=703x0+101+102"_s },
            { "stored commands", u"import"_s, u"commands=读 01 03 1 1 250 0/ AT 0 2 0 1"_s, {} },
        };
        QStringList all, allChanged;
        for (const auto& choice : choices) {
            QTest::newRow(choice.name)
                << choice.steps << QStringList { choice.changed } << choice.damaged;
            all << choice.steps;
            allChanged << choice.changed;
        }
        QTest::newRow("all at once")
            << all.join(u"; "_s)
            << allChanged.filter(QRegularExpression(u"^(?!lines|receive)"_s))
                + QStringList { u"lines=00 2"_s, u"receive=时间戳,十六进制附字符,显示发送"_s }
            << QString();
    }

    void keptThroughARestart()
    {
        QFETCH(QString, steps);
        QFETCH(QStringList, changed);
        QFETCH(QString, damaged);
        const QString file = m_dir.filePath(QLatin1String(QTest::currentDataTag()) + u"/a.conf"_s);
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        startWith(file);
        run(steps);
        QVERIFY(finish());
        startWith(file);
        QCOMPARE(remembered(), defaultsBut(changed));
        if (damaged.isEmpty())
            return;
        QString ini = saved();
        const QRegularExpression line(
            u"^"_s + damaged.section(u'=', 0, 0) + u"=.*$"_s, QRegularExpression::MultilineOption);
        QVERIFY(ini.contains(line));
        QVERIFY(finish());
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(ini.replace(line, damaged).toUtf8()));
        out.close();
        startWith(file);
        QCOMPARE(remembered(), m_defaults);
    }
};

QTEST_MAIN(ChoicesTest)
#include "tst_choices.moc"
