// window_demo drives the real window: a file that opens gives exit code 0, one that does
// not gives 1 with a sentence on stderr, and a bad command line 2.
#include "testsupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestWindowDemo : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("stderrHas");
        const QString project = testsupport::dataPath(QStringLiteral("app/data/sample-project.json"));
        const QString notJson = testsupport::dataPath(QStringLiteral("app/tst_windowdemo.cpp"));
        QTest::newRow("opens the project")
            << QStringList{"--theme", "dark", "--open", project, "--quit-after", "500"} << 0 << QString();
        QTest::newRow("file that is not JSON")
            << QStringList{"--open", notJson, "--quit-after", "500"} << 1
            << QStringLiteral("window_demo: could not open");
        QTest::newRow("explorer steps")
            << QStringList{"--open", project, "--search", "ord", "--hide", "view,diagram", "--select-all",
                           "--quit-after", "500"}
            << 0 << QString();
        QTest::newRow("drop on a new diagram")
            << QStringList{"--open", project, "--new-diagram", "--drop", "customer,order@0,0", "--quit-after", "500"}
            << 0 << QString();
        QTest::newRow("drop of an unknown name")
            << QStringList{"--open", project, "--drop", "nothing@0,0", "--quit-after", "500"} << 1
            << QStringLiteral("--drop");
        QTest::newRow("drop without a point") << QStringList{"--drop", "customer"} << 2 << QStringLiteral("--drop");
        const QString mermaid = testsupport::dataPath(QStringLiteral("interchange/data/mermaid/customer_orders.mmd"));
        const QString svg = m_dir.filePath(QStringLiteral("demo.svg"));
        const QString pdf = m_dir.filePath(QStringLiteral("demo.pdf"));
        QTest::newRow("import and export steps")
            << QStringList{"--import-mermaid", mermaid, "--export-svg", svg, "--export-pdf", pdf, "--quit-after", "200"}
            << 0 << QString();
        QTest::newRow("export to a directory")
            << QStringList{"--open", project, "--export-pdf", m_dir.path(), "--quit-after", "200"} << 1
            << QStringLiteral("window_demo: Export to PDF: Could not write the PDF file.");
        QTest::newRow("unknown kind") << QStringList{"--hide", "tables"} << 2 << QStringLiteral("--hide");
        QTest::newRow("unknown theme") << QStringList{"--theme", "blue"} << 2 << QStringLiteral("--theme");
        QTest::newRow("option without value") << QStringList{"--open"} << 2 << QStringLiteral("--open");
    }

    void exitCodes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, stderrHas);
        QTemporaryDir home;
        QProcess demo;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // The window must not read or write the user's settings.
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        demo.setProcessEnvironment(env);
        demo.start(QStringLiteral(WINDOW_DEMO_PATH), arguments);
        QVERIFY(demo.waitForFinished(60000));
        const QString errors = QString::fromUtf8(demo.readAllStandardError());
        QCOMPARE(demo.exitStatus(), QProcess::NormalExit);
        QVERIFY2(demo.exitCode() == exitCode, qPrintable(errors));
        QVERIFY2(errors.contains(stderrHas), qPrintable(errors));
    }
};

QTEST_GUILESS_MAIN(TestWindowDemo)
#include "tst_windowdemo.moc"
