#include "port/codepage.h"
#include "port/comnames.h"
#include "receive/saverecord.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QDateTime at(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

int openDescriptors() { return int(QDir(QStringLiteral("/proc/self/fd")).count()); }

} // namespace

class SaveRecordTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;
    QTemporaryDir m_config;
    QTemporaryDir m_elsewhere;

    QString devices() const { return m_config.path() + QStringLiteral("/portlark/devices"); }

private Q_SLOTS:
    void initTestCase()
    {
        // Before anything reads them: the drive mapping must only see these folders.
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        QVERIFY(QDir().mkpath(devices()));
        for (const QString& folder : { m_home.path() + QStringLiteral("/COMDATA"),
                 m_elsewhere.path() + QStringLiteral("/COMDATA"),
                 m_elsewhere.path() + QStringLiteral("/native") })
            QVERIFY(QDir().mkpath(folder));
    }

    void cleanup()
    {
        CodePage::setSystemOverride({});
        QFile::remove(devices() + QStringLiteral("/c:"));
    }

    void record_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray stamp("2026\xC4\xEA"
                               "12\xD4\xC2"
                               "5\xC8\xD5"
                               "9\xCA\xB1"
                               "5\xB7\xD6"
                               "7\xC3\xEB");
        const QDateTime when = at(2026, 12, 5, 9, 5, 7);
        QTest::newRow("empty display: stamp and two CR LF")
            << when << QString() << stamp + "\r\n\r\n";
        QTest::newRow("Chinese display in GBK")
            << when << QStringLiteral("收到数据")
            << stamp + "\r\n\xCA\xD5\xB5\xBD\xCA\xFD\xBE\xDD\r\n";
        QTest::newRow("lone LF kept as it is")
            << when << QStringLiteral("a\nb") << stamp + "\r\na\nb\r\n";
        QTest::newRow("single-digit fields unpadded")
            << at(2027, 1, 2, 3, 4, 6) << QStringLiteral("x")
            << QByteArray("2027\xC4\xEA"
                          "1\xD4\xC2"
                          "2\xC8\xD5"
                          "3\xCA\xB1"
                          "4\xB7\xD6"
                          "6\xC3\xEB\r\nx\r\n");
    }

    void record()
    {
        QFETCH(QDateTime, when);
        QFETCH(QString, display);
        QFETCH(QByteArray, expected);
        CodePage::setSystemOverride("GBK");
        QCOMPARE(SaveRecord::record(when, display).toHex(' '), expected.toHex(' '));
    }

    void folderReading_data()
    {
        QTest::addColumn<QString>("folderText");
        QTest::addColumn<QString>("cLink"); // "", or the link's target
        QTest::addColumn<QString>("expectedPath");
        QTest::addColumn<bool>("written");
        const QString home = m_home.path();
        const QString other = m_elsewhere.path();
        const QString drive = devices() + QStringLiteral("/c:");
        QTest::newRow("default folder is under home")
            << QStringLiteral("C:\\COMDATA") << QString() << home + QStringLiteral("/COMDATA/1.txt")
            << true;
        QTest::newRow("trailing backslash doubles the separator")
            << QStringLiteral("C:\\COMDATA\\") << QString()
            << home + QStringLiteral("/COMDATA//1.txt") << true;
        QTest::newRow("c: link names drive C") << QStringLiteral("C:\\COMDATA") << other
                                               << drive + QStringLiteral("/COMDATA/1.txt") << true;
        QTest::newRow("dangling c: link never falls back to home")
            << QStringLiteral("C:\\COMDATA") << other + QStringLiteral("/gone")
            << drive + QStringLiteral("/COMDATA/1.txt") << false;
        QTest::newRow("no drive D") << QStringLiteral("D:\\x") << QString() << QString() << false;
        QTest::newRow("native path as it is") << other + QStringLiteral("/native") << QString()
                                              << other + QStringLiteral("/native/1.txt") << true;
        QTest::newRow("missing folder") << QStringLiteral("C:\\COMDATA\\missing") << QString()
                                        << home + QStringLiteral("/COMDATA/missing/1.txt") << false;
    }

    void folderReading()
    {
        QFETCH(QString, folderText);
        QFETCH(QString, cLink);
        QFETCH(QString, expectedPath);
        QFETCH(bool, written);
        if (!cLink.isEmpty()) {
            if (ComNames::devicesFolder() != devices())
                QSKIP("the devices folder does not follow XDG_CONFIG_HOME yet");
            QVERIFY(QFile::link(cLink, devices() + QStringLiteral("/c:")));
        }
        QCOMPARE(SaveRecord::filePath(folderText), expectedPath);
        QCOMPARE(SaveRecord::write(expectedPath, "saved"), written);
        if (written) {
            QCOMPARE(readAll(expectedPath), QByteArray("saved"));
            QVERIFY(QFile::remove(expectedPath));
        } else if (!expectedPath.isEmpty()) {
            QVERIFY(!QFileInfo(QFileInfo(expectedPath).path()).exists());
        }
    }

    void replacing_data()
    {
        QTest::addColumn<qint64>("sizeLimit"); // 0: none
        QTest::addColumn<bool>("replaced");
        QTest::newRow("shorter record replaces a longer file") << qint64(0) << true;
        QTest::newRow("write cut short keeps the old file whole") << qint64(4096) << false;
    }

    void replacing()
    {
        QFETCH(qint64, sizeLimit);
        QFETCH(bool, replaced);
        const QString folder = m_elsewhere.path() + QStringLiteral("/COMDATA");
        const QString path = folder + QStringLiteral("/1.txt");
        const QByteArray old(10000, 'o');
        QVERIFY(SaveRecord::write(path, old));
        const QByteArray next = replaced ? QByteArray("new") : QByteArray(100000, 'n');
        const int descriptors = openDescriptors();

        rlimit saved {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (sizeLimit > 0) {
            rlimit limited = saved;
            limited.rlim_cur = rlim_t(sizeLimit);
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        }
        const bool ok = SaveRecord::write(path, next);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QCOMPARE(ok, replaced);
        QCOMPARE(readAll(path), replaced ? next : old);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
            QStringList { QStringLiteral("1.txt") });
        QCOMPARE(openDescriptors(), descriptors);
    }
};

QTEST_GUILESS_MAIN(SaveRecordTest)
#include "tst_saverecord.moc"
