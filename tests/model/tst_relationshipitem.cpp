#include "relationshipitem.h"
#include "viewitem.h"

#include <QJsonDocument>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_RelationshipItem : public QObject
{
    Q_OBJECT

private slots:
    void displayName_data();
    void displayName();
    void roundTripAndIdRules();
    void viewRoundTripAndDefaults();
};

void tst_RelationshipItem::displayName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fromTableId");
    QTest::addColumn<QString>("toTableId");
    QTest::addColumn<QString>("expected");

    QTest::newRow("two uuids") << QString() << u"3f2504e0-4f89-11d3-9a0c-0305e82c3301"_s
                               << u"9b1deb4d-3b7d-4bad-9bdd-2b0d7b3dcb6d"_s
                               << u"3f2504e0 \u2192 9b1deb4d"_s;
    QTest::newRow("short ids whole") << QString() << u"t1"_s << u"orders"_s << u"t1 \u2192 orders"_s;
    QTest::newRow("one id empty") << QString() << u"t1"_s << QString() << u"Relationship"_s;
    QTest::newRow("both empty") << QString() << QString() << QString() << u"Relationship"_s;
    QTest::newRow("name wins") << u"places"_s << QString() << QString() << u"places"_s;
    QTest::newRow("name wins over ids") << u"places"_s << u"a"_s << u"b"_s << u"places"_s;
}

void tst_RelationshipItem::displayName()
{
    QFETCH(QString, name);
    QFETCH(QString, fromTableId);
    QFETCH(QString, toTableId);
    QFETCH(QString, expected);

    RelationshipItem relationship;
    relationship.setName(name);
    relationship.setFromTableId(fromTableId);
    relationship.setToTableId(toTableId);
    QCOMPARE(relationship.displayName(), expected);
}

void tst_RelationshipItem::roundTripAndIdRules()
{
    RelationshipItem relationship;
    relationship.setName(u"r"_s);
    relationship.setDescription(u"d"_s);
    relationship.setConstraintId(u"fk"_s);
    relationship.setFromTableId(u"a"_s);
    relationship.setToTableId(u"b"_s);
    RelationshipItem copy;
    copy.fromJson(relationship.toJson());
    QCOMPARE(copy.toJson(), relationship.toJson());
    QCOMPARE(copy.toJson().size(), 6);

    const QString id = copy.id();
    copy.fromJson(QJsonDocument::fromJson(R"j({"name": 1, "toTableId": ["x"]})j").object());
    QCOMPARE(copy.id(), id);
    QVERIFY(copy.name().isEmpty());
    QVERIFY(copy.toTableId().isEmpty());
    QVERIFY(copy.fromTableId().isEmpty());
}

void tst_RelationshipItem::viewRoundTripAndDefaults()
{
    ViewItem view;
    view.setName(u"v_orders"_s);
    view.setSchema(u"sales"_s);
    view.setDefinition(u"SELECT 1"_s);
    view.setComment(u"c"_s);
    ViewItem copy;
    copy.fromJson(view.toJson());
    QCOMPARE(copy.toJson(), view.toJson());
    QCOMPARE(copy.toJson().size(), 5);

    copy.fromJson(QJsonDocument::fromJson(R"j({"id": "", "definition": false})j").object());
    QVERIFY(copy.id().isEmpty());
    QVERIFY(copy.definition().isEmpty());
    QVERIFY(copy.name().isEmpty());
}

QTEST_GUILESS_MAIN(tst_RelationshipItem)
#include "tst_relationshipitem.moc"
