// Opening, re-opening and closing through the window with the real serial component: COM1 is a
// link to a pseudo-terminal, the test holds the device side and reads the line settings from it.
#include "app/mainwindow.h"
#include "port/qtserialbackend.h"
#include "support/fakes.h"
#include "support/pty.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

static const QString closedState = u"串口状态：COM Port 关闭 | 打开串口 | dark"_s;

class PortEndToEndTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_config;
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<QtSerialComponent> m_serial;
    std::unique_ptr<FakePlatform> m_fakes; // dialogs, browser and clock; the port is real
    std::unique_ptr<MainWindow> m_window;

    template <typename T> T* find(const QString& n) const { return m_window->findChild<T*>(n); }
    // A fresh device for COM1; unplugged, COM1 names a device that is gone, so no port is present.
    void plugIn(bool present = true)
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        QVERIFY(QDir(m_config.path()).mkpath(u"portlark/devices"_s));
        const QString link = m_config.filePath(u"portlark/devices/com1"_s);
        QFile::remove(link);
        m_pty = std::make_unique<PtyPair>();
        QVERIFY(QFile::link(present ? m_pty->slavePath() : m_config.filePath(u"gone"_s), link));
    }
    // Status line, switch caption and lamp.
    QString indicators() const
    {
        return find<QLineEdit>(u"TxtStatus"_s)->text() + u" | "_s
            + find<QPushButton>(u"CmdSwitch"_s)->text()
            + (find<QWidget>(u"ImgSwitchOn"_s)->isVisible() ? u" | red"_s : u" | dark"_s);
    }
    // The pair keeps its own descriptor on the device, so the master never reads a hang-up;
    // whether the program let go shows in the descriptors this process holds on it.
    qsizetype descriptorsOnDevice() const
    {
        const QFileInfoList fds = QDir(u"/proc/self/fd"_s).entryInfoList(QDir::System);
        return std::count_if(fds.begin(), fds.end(),
            [this](const QFileInfo& fd) { return fd.symLinkTarget() == m_pty->slavePath(); });
    }
    // "switch", "unplug" (the device goes away and a new one comes), "pick BOX ITEM".
    void run(const QString& step)
    {
        if (step == u"switch") {
            QTest::mouseClick(find<QPushButton>(u"CmdSwitch"_s), Qt::LeftButton);
        } else if (step == u"unplug") {
            m_pty->closeMaster();
            QTRY_COMPARE_WITH_TIMEOUT(indicators(), closedState, 1000);
            plugIn();
        } else {
            auto* combo = find<QComboBox>(step.section(u' ', 1, 1));
            combo->setCurrentIndex(combo->findText(step.section(u' ', 2)));
            Q_EMIT combo->activated(combo->currentIndex());
        }
    }

private Q_SLOTS:
    void cleanup()
    {
        m_window.reset();
        m_serial.reset();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void overTheTty_data()
    {
        QTest::addColumn<bool>("present"); // else COM1 names a device that is gone
        QTest::addColumn<QString>("steps"); // separated by "; "
        QTest::addColumn<QString>("expected");
        QTest::addColumn<uint>("flags"); // as the tty holds them once open
        // A pseudo-terminal clears PARENB and forces 8 data bits itself; it keeps the parity sense.
        QTest::newRow("start-up, COM1 present")
            << true << QString() << u"串口：COM1 打开，9600,N,8,1 | 关闭串口 | red"_s
            << uint(B9600 | CS8);
        QTest::newRow("start-up, nothing present") << false << QString() << closedState << 0u;
        QTest::newRow("19200 and ODD picked")
            << true << u"pick CboBaudrate 19200; pick CboParitybit ODD"_s
            << u"串口状态：COM1 OPEND，19200,O,8,1 | 关闭串口 | red"_s
            << uint(B19200 | CS8 | PARODD);
        // The switch opens with what the boxes show, not with the start-up settings; a fresh
        // pseudo-terminal starts at 38400, so the rate shows that the opening set it. Had the first
        // click not let the device go, the second would find the port open, or hold it twice.
        const QString reopened = u"串口：COM1 打开，4800,N,8,1 | 关闭串口 | red"_s;
        QTest::newRow("switch off and on")
            << true << u"pick CboBaudrate 4800; switch; switch"_s << reopened << uint(B4800 | CS8);
        QTest::newRow("device unplugged, then back")
            << true << u"pick CboBaudrate 4800; unplug; switch"_s << reopened << uint(B4800 | CS8);
    }

    void overTheTty()
    {
        QFETCH(bool, present);
        QFETCH(QString, steps);
        QFETCH(QString, expected);
        QFETCH(uint, flags);
        plugIn(present);
        m_fakes = std::make_unique<FakePlatform>();
        m_serial = std::make_unique<QtSerialComponent>();
        m_window = std::make_unique<MainWindow>(
            Platform { m_serial.get(), &m_fakes->dialogs, &m_fakes->urlOpener, &m_fakes->clock });
        m_window->show();
        for (const QString& step : steps.split(u"; "_s, Qt::SkipEmptyParts))
            run(step);

        QCOMPARE(indicators(), expected);
        QCOMPARE(descriptorsOnDevice(), present ? 2 : 1);
        const QList<FakeDialogs::Message>& boxes = m_fakes->dialogs.messages;
        QCOMPARE(boxes.size(), present ? 0 : 1);
        QCOMPARE(boxes.value(0).text, present ? QString() : u"没有发现此串口或被占用"_s);
        const uint line = m_pty->attributes().c_cflag & (CBAUD | CSIZE | PARODD | CSTOPB);
        QCOMPARE(present ? line : 0u, flags);
    }
};

QTEST_MAIN(PortEndToEndTest)
#include "tst_port_e2e.moc"
