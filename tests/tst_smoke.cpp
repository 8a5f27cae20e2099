#include "app/mainwindow.h"
#include "support/fakes.h"

#include <QtTest>

class SmokeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void windowBuilds()
    {
        FakePlatform fakes;
        MainWindow window(fakes.platform());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Velmora-串口调试助手PORTLARK2.1"));
    }
};

QTEST_MAIN(SmokeTest)
#include "tst_smoke.moc"
