// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// Against a real Modbus peer: pymodbus on the far end of a pseudo-terminal, linked as COM1, as a
// slave (its serial server, holding register n = 100 n + 1) for the decoded display, the
// expectations with their retries and time-outs and a looped run's tallies and reports, and as a
// master (its serial client) reading the registers of the automatic answers.
#include "modbus/modbus.h"
#include "port/comnames.h"
#include "send/commandsequence.h"
#include "send/replywatch.h"
#include "support/windowfixture.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QTableWidget>
#include <QXmlStreamReader>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QString rtuText(const char* hex)
{
    const QByteArray body = QByteArray::fromHex(hex);
    return QString::fromLatin1((body + Modbus::crcBytes(body)).toHex(' ').toUpper());
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// tests/modbus_peer.py under a Python that has pymodbus, for a bounded time.
class Peer {
public:
    static QString python()
    {
        for (const QString& candidate : { u"/usr/bin/python3"_s, u"python3"_s }) {
            QProcess probe;
            probe.start(candidate, { u"-c"_s, u"import pymodbus, serial_asyncio"_s });
            if (probe.waitForFinished(20000) && probe.exitStatus() == QProcess::NormalExit
                && probe.exitCode() == 0)
                return candidate;
        }
        return {};
    }
    bool start(const QString& link, const QStringList& arguments)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(
            python(), QStringList { QStringLiteral(PORTLARK_PEER_SCRIPT), link } + arguments);
        return readLine(20000) == "ready";
    }
    // A line the peer printed, while the caller's port goes on working.
    QByteArray readLine(int waitMs = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!m_process.canReadLine() && clock.elapsed() < waitMs)
            QTest::qWait(10);
        return m_process.readLine().trimmed();
    }
    ~Peer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QProcess m_process;
};

} // namespace

class RepliesTest : public QObject, WindowFixture {
    Q_OBJECT
    std::unique_ptr<Peer> m_peer;

    // The peer, its far end linked as COM1 in a private devices folder; the test skips without
    // pymodbus.
    bool startPeer(const QStringList& arguments)
    {
        if (Peer::python().isEmpty())
            return false;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        const QString link = ComNames::devicesFolder() + u"/com1"_s;
        QDir().mkpath(ComNames::devicesFolder());
        QFile::remove(link);
        m_peer = std::make_unique<Peer>();
        return m_peer->start(link, arguments);
    }
    // The port on its own, with what sends and watches it.
    struct Core {
        QtSerialComponent serial;
        SendPath send { serial };
        ReplyWatch watch { send, serial };
        CommandSequence sequence { send, serial };
        Core()
        {
            (void)serial.setSettings({ 1, u"9600"_s, u"N"_s, 8, u"1"_s });
            (void)serial.setPortOpen(true);
            sequence.setWatch(&watch);
        }
    };
    static Command row(
        const QString& content, ReplyPattern expect, int timeoutMs = 1000, int retries = 0)
    {
        Command command { u"第一条"_s, content, true };
        command.expect = expect;
        command.timeoutMs = timeoutMs;
        command.retries = retries;
        command.delayMs = 20;
        return command;
    }

    static QMenu* rightClick(QWidget* widget)
    {
        QContextMenuEvent event(
            QContextMenuEvent::Mouse, QPoint(4, 4), widget->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(widget, &event);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    }
    static QMenu* choose(QMenu* menu, const QString& text)
    {
        for (QAction* action : menu->actions()) {
            if (action->text() != text)
                continue;
            QPointer<QMenu> sub = action->menu();
            menu->setActiveAction(action);
            QTest::keyClick(menu, Qt::Key_Return);
            if (sub)
                (void)QTest::qWaitFor([&] { return sub->isVisible(); });
            return sub;
        }
        return nullptr;
    }

private Q_SLOTS:
    void init()
    {
        if (Peer::python().isEmpty() && QByteArrayView(QTest::currentTestFunction()) != "cutShort")
            QSKIP("no python3 with pymodbus and serial_asyncio (Debian: apt-get install "
                  "python3-pymodbus python3-serial-asyncio)");
    }

    void cleanup()
    {
        QVERIFY(finish());
        m_peer.reset();
    }

    // 协议解析 reads the slave's real answers aloud after each frame; the count stays the bytes'.
    void decodesTheRealSlave()
    {
        QVERIFY(startPeer({ u"slave"_s, u"30"_s }));
        realSerial = std::make_unique<QtSerialComponent>();
        start({}, realSerial.get());
        QVERIFY(realSerial->portOpen());
        QWidget* area = control<QAbstractScrollArea>("TxtReceive")->viewport();
        choose(choose(rightClick(area), u"协议解析"_s), u"Modbus RTU"_s);
        click("ChkHexReceive");
        click("ChkHexSend");
        type("TxtSend", rtuText("010300000002"));
        click("CmdSend");
        QTRY_VERIFY2(
            shown("TxtReceive")
                .contains(u"01 03 04 00 01 00 65 6B D8  ✓ 从站1 03 应答 2个寄存器: 1, 101\n"_s),
            qPrintable(shown("TxtReceive")));
        type("TxtSend", rtuText("0103FFFF0002"));
        click("CmdSend");
        QTRY_VERIFY2(
            shown("TxtReceive").contains(u"01 83 02 C0 F1  ✗ 从站1 03 异常 02 非法数据地址\n"_s),
            qPrintable(shown("TxtReceive")));
        QCOMPARE(window->receivedCount(), 9 + 5);
    }

    // A frame cut short ends once the line has been quiet for 3.5 characters (3.6 ms at 9600
    // baud), whether more comes or not; the next frame then begins its own line.
    void cutShort()
    {
        startOnPty();
        QWidget* area = control<QAbstractScrollArea>("TxtReceive")->viewport();
        choose(choose(rightClick(area), u"协议解析"_s), u"Modbus RTU"_s);
        click("ChkHexReceive");
        QVERIFY(pty->write("\x01\x03\x04"_ba));
        QTRY_COMPARE(shown("TxtReceive"), u"01 03 04  ✗ 不完整\n"_s);
    }

    void expectations_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("retries");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("got");
        QTest::addColumn<int>("attempts");
        const int modbus = int(ReplyPattern::Kind::Modbus), hex = int(ReplyPattern::Kind::Hex);
        const int pass = int(Verdict::Result::Pass), fail = int(Verdict::Result::Fail);
        const QByteArray answer = "\x01\x03\x04\x00\x01\x00\x65\x6B\xD8"_ba;
        QTest::newRow("Modbus answer")
            << rtuText("010300000002") << modbus << QString() << 0 << pass << answer << 1;
        QTest::newRow("hex with any bytes")
            << rtuText("010300000002") << hex << u"01 03 04 ?? ?? ?? ?? ?? ??"_s << 0 << pass
            << answer << 1;
        QTest::newRow("hex that differs fails with what came")
            << rtuText("010300000002") << hex << u"01 03 04 00 02 ?? ?? ?? ??"_s << 0 << fail
            << answer << 1;
        QTest::newRow("exception fails at once, every retry")
            << rtuText("0103FFFF0002") << modbus << QString() << 1 << fail
            << "\x01\x83\x02\xC0\xF1"_ba << 2;
        QTest::newRow("no such unit: time-outs, then retries")
            << rtuText("050300000002") << modbus << QString() << 2 << int(Verdict::Result::Timeout)
            << QByteArray() << 3;
    }

    void expectations()
    {
        QFETCH(QString, request);
        QFETCH(int, kind);
        QFETCH(QString, pattern);
        QFETCH(int, retries);
        QFETCH(int, result);
        QFETCH(QByteArray, got);
        QFETCH(int, attempts);
        const int modbus = int(ReplyPattern::Kind::Modbus);
        QVERIFY(startPeer({ u"slave"_s, u"30"_s }));
        Core core;
        QVERIFY(core.serial.portOpen());
        QSignalSpy verdicts(&core.watch, &ReplyWatch::checked);
        QSignalSpy resent(&core.watch, &ReplyWatch::resent);
        const Command command
            = row(request, { ReplyPattern::Kind(kind), pattern, false }, 300, retries);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(core.send.sendBox(command.content, true, LineEnding::None));
        core.watch.expect(0, command);
        QTRY_COMPARE_WITH_TIMEOUT(verdicts.size(), 1, 5000);
        const auto verdict = verdicts[0][1].value<Verdict>();
        QCOMPARE(int(verdict.result), result);
        QCOMPARE(verdict.got, got);
        QCOMPARE(verdict.attempts, attempts);
        QCOMPARE(resent.size(), attempts - 1);
        if (verdict.result == Verdict::Result::Timeout)
            QVERIFY(clock.elapsed() >= 3 * 300 - 5); // each attempt waited its whole time
        else if (kind == modbus)
            QVERIFY(clock.elapsed() < 300); // an exception decides without waiting
        else
            QVERIFY(verdict.responseNs > 0 && verdict.responseNs < 1'000'000'000);
    }

    // A loop of a good row and one the slave refuses: the tallies, then the two reports read back;
    // with 失败即停 the run ends at the refused row.
    void loopTallies()
    {
        QVERIFY(startPeer({ u"slave"_s, u"30"_s }));
        Core core;
        const ReplyPattern answer { ReplyPattern::Kind::Modbus, {}, false };
        QList<Command> commands { row(rtuText("010300000002"), answer),
            row(rtuText("0103FFFF0002"), answer), { u"不参加"_s, u"00"_s, true } };
        commands[2].inSequence = false;
        commands[1].name = u"越界, \"读\""_s;
        QVERIFY(core.sequence.start(commands));
        QTRY_VERIFY_WITH_TIMEOUT(core.sequence.tallies().row(1).failed >= 3, 10000);
        core.sequence.stop();
        const Tallies& tallies = core.sequence.tallies();
        const Tallies::Figures good = tallies.row(0), total = tallies.total();
        QVERIFY(good.passed >= 3);
        QCOMPARE(good.failed + good.timedOut, 0);
        QVERIFY(good.sent - good.passed <= 1); // stopped while it waited, perhaps
        QVERIFY(*good.minMs > 0 && *good.minMs <= *good.medianMs && *good.medianMs <= *good.p95Ms
            && *good.p95Ms <= *good.maxMs && *good.maxMs < 1000);
        QCOMPARE(total.passed, good.passed);
        QCOMPARE(tallies.row(2).sent, 0);

        QTemporaryDir folder;
        QCOMPARE(tallies.writeReports(folder.filePath(u"run.csv"_s)), QString());
        const QByteArray csv = contents(folder.filePath(u"run.csv"_s));
        QVERIFY(csv.startsWith("\xEF\xBB\xBF")); // a spreadsheet then reads it as UTF-8
        const QStringList lines = QString::fromUtf8(csv.sliced(3)).split(u"\r\n"_s);
        QCOMPARE(lines[0], u"序号,名称,发送,通过,失败,超时,最短(ms),中位(ms),P95(ms),最长(ms)"_s);
        QVERIFY2(lines[2].startsWith(u"2,\"越界, \"\"读\"\"\",%1,0,%2,0,"_s.arg(tallies.row(1).sent)
                                         .arg(tallies.row(1).failed)),
            qPrintable(lines[2]));
        QVERIFY(lines[4].startsWith(u",合计,%1,%2,"_s.arg(total.sent).arg(total.passed)));
        QXmlStreamReader xml(contents(folder.filePath(u"run.xml"_s)));
        QStringList cases, failures;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"testsuite") {
                QCOMPARE(xml.attributes().value(QLatin1String("tests")).toString(), u"2"_s);
                QCOMPARE(xml.attributes().value(QLatin1String("failures")).toString(), u"1"_s);
            } else if (xml.name() == u"testcase") {
                cases << xml.attributes().value(QLatin1String("name")).toString();
            } else if (xml.name() == u"failure") {
                failures << xml.attributes().value(QLatin1String("message")).toString();
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(cases, (QStringList { u"1 第一条"_s, u"2 越界, \"读\""_s }));
        QCOMPARE(failures, QStringList { u"失败 %1 次，超时 0 次"_s.arg(tallies.row(1).failed) });

        QSignalSpy stepped(&core.sequence, &CommandSequence::stepped);
        QVERIFY(core.sequence.start(commands, true));
        QTRY_VERIFY(!core.sequence.isRunning());
        QCOMPARE(core.sequence.tallies().total().sent, 2);
        QCOMPARE(core.sequence.tallies().row(1).failed, 1);
    }

    // pymodbus' client reads holding registers from the automatic answers' table: the values and
    // the CRC must be right, and a register not in the table is an exception.
    void answersTheRealMaster_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("three registers") << u"0"_s << "ok 7 8 9"_ba;
        QTest::newRow("past the table")
            << u"2"_s << "error Exception Response(131, 3, IllegalAddress)"_ba;
    }

    void answersTheRealMaster()
    {
        QFETCH(QString, start);
        QFETCH(QByteArray, line);
        QVERIFY(startPeer({ u"master"_s, u"30"_s, u"--start"_s, start, u"--count"_s, u"3"_s }));
        Core core;
        core.watch.setAnswers({ { true, { ReplyPattern::Kind::Modbus, u"1"_s, false },
                                  AutoAnswer::Reply::Registers, {}, 0 } },
            { { 0, 7 }, { 1, 8 }, { 2, 9 }, { 3, 10 } });
        core.watch.setAnswering(true);
        QSignalSpy answered(&core.watch, &ReplyWatch::answered);
        QByteArray said;
        for (int lines = 0; lines < 10 && said != line; ++lines)
            said = m_peer->readLine();
        QCOMPARE(said, line);
        QCOMPARE(m_peer->readLine(), line); // and again: it was not by chance
        QVERIFY(answered.size() >= 2);
    }

    // 快捷发送 with the slave: a row's verdict shows in the row and, with 显示发送, in the
    // display after the reply; a run's tallies show under the table.
    void commandWindowShowsVerdicts()
    {
        QVERIFY(startPeer({ u"slave"_s, u"30"_s }));
        QFile kept(config.filePath(u"portlark/commands.json"_s));
        QVERIFY(kept.open(QIODevice::WriteOnly));
        kept.write(CommandList::write({ row(rtuText("010300000002"),
            { ReplyPattern::Kind::Hex, u"01 03 04 00 01 ?? ?? ?? ??"_s, false }) }));
        kept.close();
        realSerial = std::make_unique<QtSerialComponent>();
        start(
            [&](FakePlatform& fakes) {
                fakes.optionsFile = config.filePath(u"portlark/portlark.conf"_s);
            },
            realSerial.get());
        QWidget* area = control<QAbstractScrollArea>("TxtReceive")->viewport();
        choose(rightClick(area), u"显示发送"_s);
        choose(rightClick(control<QAbstractScrollArea>("TxtSend")->viewport()), u"快捷发送…"_s);
        auto* table = window->findChild<QTableWidget*>(u"TblCommands"_s);
        QVERIFY(table);
        QTest::mouseClick(table->cellWidget(0, 10), Qt::LeftButton);
        QTRY_VERIFY2(
            table->item(0, 11)->text().startsWith(u"✓ "_s), qPrintable(table->item(0, 11)->text()));
        QTRY_VERIFY2(
            shown("TxtReceive").contains(u"第 1 条期望回复 ✓ "_s), qPrintable(shown("TxtReceive")));
        click("CmdSequence");
        auto* tallies = window->findChild<QTableWidget*>(u"TblTallies"_s);
        QTRY_VERIFY(tallies->isVisible() && tallies->item(0, 2)->text().toInt() >= 2);
        click("CmdSequence");
    }
};

QTEST_MAIN(RepliesTest)
#include "tst_replies.moc"
