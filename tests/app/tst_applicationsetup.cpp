#include "applicationsetup.h"
#include "mainwindow.h"

#include "apptestsupport.h"

#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QStyle>
#include <QTimer>

class TestApplicationSetup : public QObject
{
    Q_OBJECT

private:
    QFont m_toolkitFont;
    ScriptedPrompts m_prompts;
    std::unique_ptr<UiPrompts::Override> m_override;

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        m_toolkitFont = QApplication::font();
        m_override = std::make_unique<UiPrompts::Override>(&m_prompts);
    }

    void cleanup()
    {
        QApplication::setFont(m_toolkitFont);
        resetProcessTheme();
        QCOMPARE(m_prompts.unexpected, 0);
    }

    void identityStyleAndIcon()
    {
        configureApplication(*qApp);
        QCOMPARE(QApplication::organizationName(), QStringLiteral("Haldemor"));
        QCOMPARE(QApplication::applicationName(), QStringLiteral("velmora"));
        QCOMPARE(QApplication::applicationVersion(), QStringLiteral("0.1.353"));
        QCOMPARE(QApplication::style()->name().toLower(), QStringLiteral("fusion"));
        QVERIFY(!QApplication::windowIcon().isNull());
        const QString settingsPath = QSettings().fileName();
        QVERIFY2(settingsPath.contains(QStringLiteral("Haldemor/velmora")), qPrintable(settingsPath));
    }

    void loadApplicationFontGivesFamily_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("family");
        const QStringList paths = defaultApplicationFontPaths();
        QTest::newRow("1 regular") << paths.at(0) << "Inter";
        QTest::newRow("2 semibold") << paths.at(1) << "Inter";
        QTest::newRow("3 mono") << paths.at(2) << "JetBrains Mono";
        QTest::newRow("4 second mono") << paths.at(3) << "Hack";
        QTest::newRow("5 serif") << paths.at(4) << "Noto Serif";
        QTest::newRow("missing") << ":/fonts/resources/fonts/NoSuchFont.ttf" << QString();
        QTest::newRow("not a font") << ":/images/resources/images/save.png" << QString();
    }

    void loadApplicationFontGivesFamily()
    {
        QFETCH(QString, path);
        QFETCH(QString, family);
        QCOMPARE(loadApplicationFont(path), family);
    }

    void applicationFontIsFirstFamilyAtTenPoints()
    {
        QCOMPARE(configureApplication(*qApp), QStringLiteral("Inter"));
        const QFont font = QApplication::font();
        QCOMPARE(font.family(), QStringLiteral("Inter"));
        QCOMPARE(font.pointSize(), 10);
        QCOMPARE(font.weight(), QFont::Normal);
        QVERIFY(!font.italic());
    }

    void missingFirstFontKeepsToolkitFont()
    {
        QStringList paths = defaultApplicationFontPaths();
        paths[0] = QStringLiteral(":/fonts/resources/fonts/Missing-Regular.otf");
        QCOMPARE(configureApplication(*qApp, paths), QString());
        QCOMPARE(QApplication::font(), m_toolkitFont);
        const QStringList families = QFontDatabase::families();
        for (const char *family : {"Inter", "JetBrains Mono", "Hack", "Noto Serif"})
            QVERIFY2(families.contains(QLatin1String(family)), family);
    }

    void exitActionEndsEventLoopWithZero()
    {
        configureApplication(*qApp);
        MainWindow window;
        auto *exitAction = window.findChild<QAction *>(QStringLiteral("action_Exit"));
        QVERIFY(exitAction);
        QTimer::singleShot(0, exitAction, &QAction::trigger);
        QCOMPARE(qApp->exec(), 0);
    }

    void builtApplicationKeepsRunning()
    {
        const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/velmora");
        QVERIFY2(QFileInfo::exists(program), qPrintable(program));
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.start(program, {});
        QVERIFY(process.waitForStarted());
        QVERIFY2(!process.waitForFinished(2000), process.readAllStandardError().constData());
        QCOMPARE(process.state(), QProcess::Running);
        process.kill();
        process.waitForFinished();
    }
};

QTEST_MAIN(TestApplicationSetup)
#include "tst_applicationsetup.moc"
