#include "receive/capturelog.h"

#include <QTemporaryDir>
#include <QtTest>

static QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CaptureLogTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
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
};

QTEST_GUILESS_MAIN(CaptureLogTest)
#include "tst_capturelog.moc"
