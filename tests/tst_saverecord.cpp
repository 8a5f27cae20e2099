// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/options.h"
#include "port/codepage.h"
#include "receive/capturelog.h"
#include "receive/saverecord.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>

static QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class SaveRecordTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_root;

    QString drive() const { return m_root.path() + QStringLiteral("/config/portlark/devices/c:"); }
    // "@" the test's own folder, "%" the folder the link "c:" names.
    QString expand(const char* text) const
    {
        return QString::fromLatin1(text).replace(u'%', drive()).replace(u'@', m_root.path() + u'/');
    }

private Q_SLOTS:
    void initTestCase()
    {
        // Before anything reads them: the drive mapping must only see these folders.
        qputenv("HOME", QFile::encodeName(expand("@home")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(expand("@config")));
        CodePage::setSystemOverride("GBK");
        for (const char* file : { "@home/COMDATA/1.txt", "@other/COMDATA/1.txt", "%" })
            QVERIFY(QDir().mkpath(QFileInfo(expand(file)).path()));
    }

    void record_data()
    {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QByteArray>("afterStamp");
        QTest::newRow("empty display: two CR LF") << QString() << QByteArray("\r\n\r\n");
        QTest::newRow("lone LF kept") << QStringLiteral("a\nb") << QByteArray("\r\na\nb\r\n");
    }

    void record()
    {
        QFETCH(QString, display);
        QFETCH(QByteArray, afterStamp);
        // No field is padded.
        const QByteArray stamp = CodePage::encode(u"2027年1月5日9时5分7秒");
        const QDateTime when(QDate(2027, 1, 5), QTime(9, 5, 7));
        QCOMPARE(SaveRecord::record(when, display).toHex(' '), (stamp + afterStamp).toHex(' '));
    }

    // A file is written exactly when its folder exists (no folder is made unless asked).
    void folderReading_data()
    {
        QTest::addColumn<QString>("folderText");
        QTest::addColumn<QString>("cLink"); // the target of the link "c:", if any
        QTest::addColumn<QString>("path");
        const auto row = [this](const char* name, const char* text, const char* c, const char* to) {
            QTest::newRow(name) << expand(text) << expand(c) << expand(to);
        };
        row("trailing backslash doubles the separator", "C:\\COMDATA\\", "",
            "@home/COMDATA//1.txt");
        row("c: link names drive C", "C:\\COMDATA", "@other", "%/COMDATA/1.txt");
        row("dangling c: link, no fall back to home", "c:\\COMDATA", "@gone", "%/COMDATA/1.txt");
        row("no drive D", "D:\\x", "", "");
        row("native path as it is", "@other/COMDATA", "", "@other/COMDATA/1.txt");
        row("missing folder", "C:\\COMDATA\\missing", "", "@home/COMDATA/missing/1.txt");
    }

    void folderReading()
    {
        QFETCH(QString, folderText);
        QFETCH(QString, cLink);
        QFETCH(QString, path);
        QFile::remove(drive());
        QVERIFY(cLink.isEmpty() || QFile::link(cLink, drive()));
        QCOMPARE(SaveRecord::filePath(folderText), path);
        const bool folderThere = !path.isEmpty() && QFileInfo(QFileInfo(path).path()).isDir();
        const SaveRecord::Outcome outcome = SaveRecord::save(folderText, "saved");
        QCOMPARE(outcome.status == SaveRecord::Outcome::Status::Written, folderThere);
        QVERIFY(!folderThere || (QFileInfo(path).size() == 5 && QFile::remove(path)));
    }

    // A save replaces the file whole, and one that fails part way leaves the old file whole.
    void replacesAllOrNothing()
    {
        const QString path = expand("@other/COMDATA/1.txt");
        QVERIFY(SaveRecord::write(path, QByteArray(10000, 'o')).isEmpty());
        QVERIFY(SaveRecord::write(path, "new").isEmpty());
        const auto descriptors = QDir(QStringLiteral("/proc/self/fd")).count();

        rlimit saved {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const rlimit limited { 4096, saved.rlim_max };
        std::signal(SIGXFSZ, SIG_IGN); // an over-long write fails instead of ending the program
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const bool ok = SaveRecord::write(path, QByteArray(100000, 'n')).isEmpty();
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);

        QVERIFY(!ok);
        QCOMPARE(QFileInfo(path).size(), 3);
        QCOMPARE(QFileInfo(path).dir().entryList(QDir::Files | QDir::Hidden).size(), 1);
        QCOMPARE(QDir(QStringLiteral("/proc/self/fd")).count(), descriptors);
    }

    void keepsEveryByteAndAppends()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("capture.log"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old\n");
        old.close();

        CaptureLog log;
        QVERIFY(log.start(path));
        QByteArray all;
        for (int value = 0; value < 256; ++value)
            all.append(char(value));
        log.append(all.left(100));
        log.append(all.mid(100));
        QCOMPARE(log.size(), 4 + 256);
        // Without being asked, the bytes reach the file within the flush period.
        QTRY_COMPARE(contents(path), QByteArray("old\n") + all);
        log.append("tail");
        log.stop();
        QVERIFY(!log.isRunning());
        QCOMPARE(contents(path), QByteArray("old\n") + all + "tail");
        log.append("after stop");
        QCOMPARE(contents(path).size(), 4 + 256 + 4);
    }

    void unopenableFileSaysWhy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing folder")
            << QStringLiteral("no/such/folder/x.log") << QStringLiteral("文件夹不存在");
        QTest::newRow("a folder") << QString() << QStringLiteral("这是一个文件夹");
    }
    void unopenableFileSaysWhy()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        CaptureLog log;
        QVERIFY(!log.start(dir.filePath(name)));
        QVERIFY(!log.isRunning());
        QVERIFY2(log.errorMessage().startsWith(QStringLiteral("无法打开记录文件：")),
            qPrintable(log.errorMessage()));
        QVERIFY2(log.errorMessage().contains(reason), qPrintable(log.errorMessage()));
    }

    // Beside the devices folder. A file that cannot be read gives every default, says why and is
    // left as it was. (Each value read back, or falling back alone: tst_choices.)
    void optionsRead_data()
    {
        QTest::addColumn<QByteArray>("file"); // "/": a folder in its place
        QTest::addColumn<QString>("read");
        QTest::newRow("binary garbage") << QByteArray("\x89PNG\r\n\x1a\n[line]\ndtr=false\n")
                                        << QStringLiteral("1 1 0 reported");
        QTest::newRow("a folder") << QByteArray("/") << QStringLiteral("1 1 0 reported");
    }
    void optionsRead()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, read);
        QCOMPARE(Options::defaultPath(), expand("@config/portlark/portlark.conf"));
        const QString path = expand("@options ") + QString::fromLatin1(QTest::currentDataTag());
        QVERIFY(file != "/" || QDir().mkpath(path));
        QVERIFY(file.isNull() || file == "/" || SaveRecord::write(path, file).isEmpty());
        const Options::Loaded loaded = Options::load(path);
        const Options& o = loaded.options; // DTR, RTS, flow control, log folder
        QCOMPARE(
            QStringLiteral("%1 %2 %3 %4").arg(o.dtr).arg(o.rts).arg(int(o.flow)).arg(o.logFolder)
                + (loaded.problem.isEmpty() ? QString() : QStringLiteral("reported")),
            read);
        QCOMPARE(contents(path), file == "/" ? QByteArray() : file);
    }
};

QTEST_GUILESS_MAIN(SaveRecordTest)
#include "tst_saverecord.moc"
