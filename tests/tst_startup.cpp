// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The program started as main() starts it, on the real platform pieces, with COM1 a link to
// nothing: what the user meets before the window is theirs.
#include "app/program.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QStringList warningButtons; // the start-up warning's buttons, as they read

// Called as the program makes its application, before it does anything else: looks for the
// warning once events run, answers it as a user would (Cancel) and then ends the program.
void answerTheWarning()
{
    QTimer::singleShot(0, qApp, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            for (const auto which : { QMessageBox::Ok, QMessageBox::Cancel })
                if (QAbstractButton* button = box->button(which))
                    warningButtons << button->text();
            box->reject();
        }
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    });
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_config;

private Q_SLOTS:
    // Qt's texts are Chinese from the start: the warning that COM1 cannot open reads 确定 and 取消.
    void qtTextsInChinese()
    {
        if (!QFile::exists(
                QLibraryInfo::path(QLibraryInfo::TranslationsPath) + u"/qtbase_zh_CN.qm"_s))
            QSKIP("Qt's translations (qt6-translations-l10n) are not installed");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        QVERIFY(QDir(m_config.path()).mkpath(u"portlark/devices"_s));
        QVERIFY(QFile::link(
            m_config.filePath(u"none"_s), m_config.filePath(u"portlark/devices/com1"_s)));
        qAddPreRoutine(answerTheWarning);
        char name[] = "portlark";
        char* argv[] = { name, nullptr };
        QCOMPARE(runProgram(1, argv), 0);
        QCOMPARE(warningButtons, QStringList({ u"确定"_s, u"取消"_s }));
    }
};

QTEST_APPLESS_MAIN(StartupTest)
#include "tst_startup.moc"
