#include <QFontDatabase>
#include <QGuiApplication>
#include <QTest>

class TestBundledFonts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Q_INIT_RESOURCE(velmora); }

    void everyBundledFontRegisters_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("family");
        // In the order the application registers them; only the first and third
        // families are named by code.
        QTest::newRow("1 regular") << "Inter-Regular.otf" << "Inter";
        QTest::newRow("2 semibold") << "Inter-SemiBold.otf" << QString();
        QTest::newRow("3 mono") << "JetBrainsMono-Regular.ttf" << "JetBrains Mono";
        QTest::newRow("4 lab mono") << "Hack-Regular.ttf" << QString();
        QTest::newRow("5 serif") << "NotoSerif-Regular.ttf" << QString();
    }

    void everyBundledFontRegisters()
    {
        QFETCH(QString, file);
        QFETCH(QString, family);
        const int id = QFontDatabase::addApplicationFont(":/fonts/resources/fonts/" + file);
        QVERIFY2(id >= 0, qPrintable(file));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        QVERIFY(!families.isEmpty());
        if (!family.isEmpty())
            QCOMPARE(families.first(), family);
    }
};

QTEST_MAIN(TestBundledFonts)
#include "tst_bundledfonts.moc"
