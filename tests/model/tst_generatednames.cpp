#include "generatednames.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_GeneratedNames : public QObject
{
    Q_OBJECT

private slots:
    void numberedPastTakenNamesIgnoringCase_data();
    void numberedPastTakenNamesIgnoringCase();
};

void tst_GeneratedNames::numberedPastTakenNamesIgnoringCase_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("name");

    QTest::newRow("free") << u"pk_orders"_s << QStringList{u"uk_orders"_s} << u"pk_orders"_s;
    QTest::newRow("nothing taken") << u"ix_orders"_s << QStringList{} << u"ix_orders"_s;
    QTest::newRow("taken in another case") << u"ix_orders"_s << QStringList{u"IX_ORDERS"_s} << u"ix_orders_2"_s;
    QTest::newRow("numbered ones taken in another case")
        << u"uk_orders"_s << QStringList{u"uk_orders"_s, u"UK_ORDERS_2"_s} << u"uk_orders_3"_s;
    QTest::newRow("gap is filled") << u"ix_t"_s << QStringList{u"ix_t"_s, u"ix_t_3"_s} << u"ix_t_2"_s;
    QTest::newRow("table without a name") << u"pk_"_s << QStringList{u"pk_"_s} << u"pk__2"_s;
}

void tst_GeneratedNames::numberedPastTakenNamesIgnoringCase()
{
    QFETCH(QString, base);
    QFETCH(QStringList, taken);
    QFETCH(QString, name);
    QCOMPARE(uniqueGeneratedName(base, taken), name);
}

QTEST_APPLESS_MAIN(tst_GeneratedNames)
#include "tst_generatednames.moc"
