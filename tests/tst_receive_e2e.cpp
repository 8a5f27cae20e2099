// Bytes played by the device side of a pseudo-terminal cross a real tty into the window at full
// speed; the display and the count must hold exactly what was fed.
#include "app/mainwindow.h"
#include "port/codepage.h"
#include "port/qtserialcomponent.h"
#include "receive/receiveview.h"
#include "support/fakes.h"
#include "support/pty.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <unistd.h>

namespace {

constexpr qsizetype feedSize = 4 * 1024 * 1024;

enum class Content { GbkText, EveryByte };

// Text of ASCII, GB2312 characters (two bytes each, so many are split between reads) and all
// three kinds of line break; or bytes of every value.
QByteArray makeFeed(Content content)
{
    QRandomGenerator generator(4242);
    QByteArray feed;
    feed.reserve(feedSize + 2);
    while (feed.size() < feedSize) {
        const quint32 pick = generator.bounded(100);
        if (content == Content::EveryByte) {
            feed.append(char(generator.bounded(256)));
        } else if (pick < 40) {
            feed.append(char(0xB0 + generator.bounded(0xF7 - 0xB0 + 1)));
            feed.append(char(0xA1 + generator.bounded(0xFE - 0xA1 + 1)));
        } else if (pick < 43) {
            feed.append(pick == 40 ? "\r\n" : pick == 41 ? "\n" : "\r");
        } else {
            feed.append(char(0x20 + generator.bounded(0x7F - 0x20)));
        }
    }
    return feed;
}

// Writes to the device side whenever the tty can take more, so the window's event loop keeps
// running while the feed is under way.
class Feeder : public QObject {
public:
    Feeder(int fd, QByteArray bytes)
        : m_fd(fd)
        , m_bytes(std::move(bytes))
        , m_notifier(fd, QSocketNotifier::Write)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &Feeder::feed);
    }
    bool failed() const { return m_failed; }

private:
    void feed()
    {
        while (m_done < m_bytes.size()) {
            const ssize_t n = ::write(m_fd, m_bytes.constData() + m_done,
                std::min<qsizetype>(m_bytes.size() - m_done, 65536));
            if (n > 0) {
                m_done += n;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN)
                return; // the tty is full: wait for the next notice
            m_failed = true;
            break;
        }
        m_notifier.setEnabled(false);
    }

    int m_fd;
    QByteArray m_bytes;
    qsizetype m_done = 0;
    bool m_failed = false;
    QSocketNotifier m_notifier;
};

} // namespace

class ReceiveEndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void fullSpeedFeed_data();
    void fullSpeedFeed();

private:
    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<QTemporaryDir> config;
};

void ReceiveEndToEndTest::init()
{
    pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isOpen());
    config = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(config->path()).mkpath(QStringLiteral("portlark/devices")));
    QVERIFY(
        QFile::link(pty->slavePath(), config->filePath(QStringLiteral("portlark/devices/com1"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config->path()));
}

void ReceiveEndToEndTest::cleanup()
{
    CodePage::setSystemOverride(QByteArray());
    config.reset();
    pty.reset();
}

void ReceiveEndToEndTest::fullSpeedFeed_data()
{
    QTest::addColumn<QByteArray>("codePage");
    QTest::addColumn<int>("content");
    QTest::addColumn<bool>("hexDisplay");

    QTest::newRow("GBK text with characters split between reads")
        << QByteArray("GBK") << int(Content::GbkText) << false;
    QTest::newRow("every byte value as single-byte text, NUL included")
        << QByteArray("windows-1252") << int(Content::EveryByte) << false;
    QTest::newRow("every byte value in the hex display")
        << QByteArray("windows-1252") << int(Content::EveryByte) << true;
}

void ReceiveEndToEndTest::fullSpeedFeed()
{
    QFETCH(QByteArray, codePage);
    QFETCH(int, content);
    QFETCH(bool, hexDisplay);

    // The component takes its code page when it is made.
    CodePage::setSystemOverride(codePage);
    FakePlatform fakes;
    QtSerialComponent serial;
    Platform platform = fakes.platform();
    platform.serial = &serial;
    MainWindow window(platform);
    window.setEndProgram([] {});
    window.show();
    QVERIFY(serial.portOpen());
    QVERIFY(fakes.dialogs.messages.isEmpty());

    auto* hex = window.findChild<QCheckBox*>(QStringLiteral("ChkHexReceive"));
    QVERIFY(hex);
    if (hexDisplay)
        QTest::mouseClick(hex, Qt::LeftButton, {}, hex->rect().center());
    QCOMPARE(hex->isChecked(), hexDisplay);

    const QByteArray fed = makeFeed(Content(content));
    Feeder feeder(pty->masterFd(), fed);
    QTRY_VERIFY_WITH_TIMEOUT(feeder.failed() || window.receivedCount() >= fed.size(), 240000);
    QVERIFY(!feeder.failed());
    QCOMPARE(window.receivedCount(), qint64(fed.size()));

    auto* view = window.findChild<ReceiveView*>(QStringLiteral("TxtReceive"));
    QVERIFY(view);
    const QString expected
        = hexDisplay ? QString::fromLatin1(fed.toHex(' ').toUpper() + ' ') : CodePage::decode(fed);
    const QString shown = view->text();
    // Compared around the first difference: a failure message of megabytes would help no one.
    const auto mismatch
        = std::mismatch(shown.cbegin(), shown.cend(), expected.cbegin(), expected.cend());
    const qsizetype at = mismatch.first - shown.cbegin();
    QCOMPARE(shown.mid(at, 40), expected.mid(at, 40));
    QCOMPARE(shown.size(), expected.size());
    QCOMPARE(view->cursorPosition(), view->length());
    QCOMPARE(window.findChild<QLineEdit*>(QStringLiteral("TxtRXCount"))->text(),
        QStringLiteral("RX:%1").arg(fed.size()));
}

QTEST_MAIN(ReceiveEndToEndTest)
#include "tst_receive_e2e.moc"
