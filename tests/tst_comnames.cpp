#include "port/comnames.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class ComNamesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void devicesFolder_data();
    void devicesFolder();
    void orderPresent_data();
    void orderPresent();
    void resolve_data();
    void resolve();
    void resolveAgainstTheSystem();

private:
    QString makeFile(const QString& name);
    void link(const QString& entry, const QString& target);

    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_savedConfig;
};

void ComNamesTest::init()
{
    m_savedConfig = qgetenv("XDG_CONFIG_HOME");
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->filePath(QStringLiteral("config"))));
    QVERIFY(QDir().mkpath(ComNames::devicesFolder()));
}

void ComNamesTest::cleanup()
{
    if (m_savedConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", m_savedConfig);
    m_dir.reset();
}

QString ComNamesTest::makeFile(const QString& name)
{
    QFile file(m_dir->filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return {};
    return QFileInfo(file).canonicalFilePath();
}

void ComNamesTest::link(const QString& entry, const QString& target)
{
    const QString path = ComNames::devicesFolder() + QLatin1Char('/') + entry;
    QFile::remove(path);
    QVERIFY(QFile::link(target, path));
}

void ComNamesTest::devicesFolder_data()
{
    QTest::addColumn<QByteArray>("configHome");
    QTest::addColumn<QString>("expected");

    const QString home = QDir::homePath();
    QTest::newRow("XDG_CONFIG_HOME set")
        << QByteArray("/srv/cfg") << QStringLiteral("/srv/cfg/portlark/devices");
    QTest::newRow("XDG_CONFIG_HOME unset")
        << QByteArray() << home + QStringLiteral("/.config/portlark/devices");
    QTest::newRow("relative XDG_CONFIG_HOME is ignored")
        << QByteArray("cfg") << home + QStringLiteral("/.config/portlark/devices");
}

void ComNamesTest::devicesFolder()
{
    QFETCH(QByteArray, configHome);
    QFETCH(QString, expected);

    if (configHome.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", configHome);
    QCOMPARE(ComNames::devicesFolder(), expected);
}

void ComNamesTest::orderPresent_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("expected");

    auto list = [](const char* joined) {
        return QString::fromLatin1(joined).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    };
    QTest::newRow("on-board ports by number, not by text")
        << list("ttyS10 ttyS2 ttyS0") << list("ttyS0 ttyS2 ttyS10");
    QTest::newRow("on-board before USB") << list("ttyUSB0 ttyS0") << list("ttyS0 ttyUSB0");
    QTest::newRow("USB serial by number, then modem class")
        << list("ttyACM0 ttyUSB10 ttyUSB1 ttyACM2") << list("ttyUSB1 ttyUSB10 ttyACM0 ttyACM2");
    QTest::newRow("the rest last, by name and number") << list(
        "ttyAMA10 rfcomm0 ttyAMA2 ttyUSB0 ttyS3") << list("ttyS3 ttyUSB0 rfcomm0 ttyAMA2 ttyAMA10");
    QTest::newRow("a longer name that starts like ttyS is not on-board")
        << list("ttySAC0 ttyS1") << list("ttyS1 ttySAC0");
    QTest::newRow("full paths ordered by their last part, kept whole") << list(
        "/dev/ttyUSB0 /dev/ttyS1 /dev/ttyACM0") << list("/dev/ttyS1 /dev/ttyUSB0 /dev/ttyACM0");
    QTest::newRow("one USB adapter on a laptop") << list("/dev/ttyUSB0") << list("/dev/ttyUSB0");
}

void ComNamesTest::orderPresent()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, expected);

    QCOMPARE(ComNames::orderPresent(names), expected);
}

void ComNamesTest::resolve_data()
{
    // links: "comN=file" entries made in the devices folder, pointing at files made in the
    // temporary folder ("comN=-" points at a file that does not exist).
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("expected"); // a file name from links, a present path, or empty

    const QStringList two { QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/ttyS0") };
    QTest::newRow("a link wins over a present port")
        << QStringList { QStringLiteral("com1=adapter") } << two << 1 << QStringLiteral("adapter");
    QTest::newRow("no link: first present port in COM order")
        << QStringList() << two << 1 << QStringLiteral("/dev/ttyS0");
    QTest::newRow("no link: second present port in COM order")
        << QStringList() << two << 2 << QStringLiteral("/dev/ttyUSB0");
    QTest::newRow("a link for another number changes nothing")
        << QStringList { QStringLiteral("com1=adapter") } << two << 2
        << QStringLiteral("/dev/ttyUSB0");
    QTest::newRow("beyond the present ports") << QStringList() << two << 3 << QString();
    QTest::newRow("a dangling link keeps its number absent")
        << QStringList { QStringLiteral("com1=-") } << two << 1 << QString();
    QTest::newRow("port 0, even with a link")
        << QStringList { QStringLiteral("com0=adapter") } << two << 0 << QString();
}

void ComNamesTest::resolve()
{
    QFETCH(QStringList, links);
    QFETCH(QStringList, present);
    QFETCH(int, port);
    QFETCH(QString, expected);

    for (const QString& entry : links) {
        const QString name = entry.section(QLatin1Char('='), 0, 0);
        const QString target = entry.section(QLatin1Char('='), 1);
        if (target == QLatin1String("-"))
            link(name, m_dir->filePath(QStringLiteral("missing")));
        else
            link(name, makeFile(target));
    }
    if (!expected.isEmpty() && !expected.startsWith(QLatin1Char('/')))
        expected = QFileInfo(m_dir->filePath(expected)).canonicalFilePath();

    QCOMPARE(ComNames::resolve(port, present), expected);
}

void ComNamesTest::resolveAgainstTheSystem()
{
    QVERIFY(ComNames::resolve(0).isEmpty());
    QVERIFY(ComNames::resolve(1000).isEmpty());
    // A link reached through another link still names the device itself.
    const QString device = makeFile(QStringLiteral("device"));
    const QString hop = m_dir->filePath(QStringLiteral("hop"));
    QVERIFY(QFile::link(device, hop));
    link(QStringLiteral("com1"), hop);
    QCOMPARE(ComNames::resolve(1), device);
}

QTEST_GUILESS_MAIN(ComNamesTest)
#include "tst_comnames.moc"
