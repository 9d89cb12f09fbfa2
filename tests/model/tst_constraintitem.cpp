#include "constraintitem.h"
#include "indexitem.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_ConstraintItem : public QObject
{
    Q_OBJECT

private slots:
    void typeToString_data();
    void typeToString();
    void typeFromString_data();
    void typeFromString();
    void newConstraintIsUnique();
    void typeReadFromJson_data();
    void typeReadFromJson();
    void columnListsReadLeniently();
    void missingColumnsReplaceOldList();
    void roundTrip();
    void indexUniqueOnlyFromBoolean_data();
    void indexUniqueOnlyFromBoolean();
    void indexFromJsonReplacesColumnsAndKeepsIdWhenAbsent();
};

void tst_ConstraintItem::typeToString_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << u"primaryKey"_s;
    QTest::newRow("1") << 1 << u"foreignKey"_s;
    QTest::newRow("2") << 2 << u"unique"_s;
    QTest::newRow("3") << 3 << u"check"_s;
    QTest::newRow("7") << 7 << u"unique"_s;
    QTest::newRow("-1") << -1 << u"unique"_s;
}

void tst_ConstraintItem::typeToString()
{
    QFETCH(int, type);
    QFETCH(QString, text);
    QCOMPARE(ConstraintItem::typeToString(type), text);
}

void tst_ConstraintItem::typeFromString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");
    QTest::newRow("primaryKey") << u"primaryKey"_s << int(ConstraintType::PrimaryKey);
    QTest::newRow("foreignKey") << u"foreignKey"_s << int(ConstraintType::ForeignKey);
    QTest::newRow("check") << u"check"_s << int(ConstraintType::Check);
    QTest::newRow("unique") << u"unique"_s << int(ConstraintType::Unique);
    QTest::newRow("PrimaryKey") << u"PrimaryKey"_s << int(ConstraintType::Unique);
    QTest::newRow("blank unique") << u" unique"_s << int(ConstraintType::Unique);
    QTest::newRow("padded check") << u"check "_s << int(ConstraintType::Unique);
    QTest::newRow("empty") << QString() << int(ConstraintType::Unique);
}

void tst_ConstraintItem::typeFromString()
{
    QFETCH(QString, text);
    QFETCH(int, type);
    QCOMPARE(ConstraintItem::typeFromString(text), type);
}

void tst_ConstraintItem::newConstraintIsUnique()
{
    ConstraintItem constraint;
    QCOMPARE(constraint.type(), int(ConstraintType::Unique));
    QCOMPARE(constraint.toJson().value("type"_L1).toString(), u"unique"_s);
    QCOMPARE(constraint.id().size(), 36);

    constraint.setType(7);
    ConstraintItem copy;
    copy.fromJson(constraint.toJson());
    QCOMPARE(copy.type(), int(ConstraintType::Unique));
}

void tst_ConstraintItem::typeReadFromJson_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("type");
    QTest::newRow("foreign key") << QByteArray(R"j({"type": "foreignKey"})j") << 1;
    QTest::newRow("other case") << QByteArray(R"j({"type": "ForeignKey"})j") << 2;
    QTest::newRow("with blanks") << QByteArray(R"j({"type": " check "})j") << 2;
    QTest::newRow("number") << QByteArray(R"j({"type": 0})j") << 2;
    QTest::newRow("absent") << QByteArray("{}") << 2;
}

void tst_ConstraintItem::typeReadFromJson()
{
    QFETCH(QByteArray, json);
    QFETCH(int, type);
    ConstraintItem constraint;
    constraint.setType(ConstraintType::PrimaryKey);
    constraint.fromJson(QJsonDocument::fromJson(json).object());
    QCOMPARE(constraint.type(), type);
}

void tst_ConstraintItem::columnListsReadLeniently()
{
    ConstraintItem constraint;
    constraint.fromJson(QJsonDocument::fromJson(
        R"j({"columns": ["a", 5, "b"], "referencedColumns": {"x": "y"}, "referencedTableId": 3})j").object());
    QCOMPARE(constraint.columns(), (QStringList{u"a"_s, QString(), u"b"_s}));
    QVERIFY(constraint.referencedColumns().isEmpty());
    QVERIFY(constraint.referencedTableId().isEmpty());
}

void tst_ConstraintItem::missingColumnsReplaceOldList()
{
    ConstraintItem constraint;
    constraint.setColumns({u"a"_s});
    constraint.setReferencedColumns({u"b"_s});
    const QString id = constraint.id();
    constraint.fromJson(QJsonObject());
    QVERIFY(constraint.columns().isEmpty());
    QVERIFY(constraint.referencedColumns().isEmpty());
    QCOMPARE(constraint.id(), id);
}

void tst_ConstraintItem::roundTrip()
{
    ConstraintItem constraint;
    constraint.setName(u"fk_order_customer"_s);
    constraint.setType(ConstraintType::ForeignKey);
    constraint.setColumns({u"c1"_s, u"c2"_s});
    constraint.setReferencedTableId(u"t9"_s);
    constraint.setReferencedColumns({u"k1"_s, u"k2"_s});
    constraint.setExpression(u"a > 0"_s);
    constraint.setDescription(u"d"_s);
    ConstraintItem copy;
    copy.fromJson(constraint.toJson());
    QCOMPARE(copy.toJson(), constraint.toJson());
    QCOMPARE(copy.toJson().size(), 8);
}

void tst_ConstraintItem::indexUniqueOnlyFromBoolean_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("unique");
    QTest::newRow("true") << QByteArray(R"j({"unique": true})j") << true;
    QTest::newRow("one") << QByteArray(R"j({"unique": 1})j") << false;
    QTest::newRow("string") << QByteArray(R"j({"unique": "true"})j") << false;
    QTest::newRow("absent") << QByteArray("{}") << false;
}

void tst_ConstraintItem::indexUniqueOnlyFromBoolean()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, unique);
    IndexItem index;
    index.setUnique(true);
    index.fromJson(QJsonDocument::fromJson(json).object());
    QCOMPARE(index.isUnique(), unique);
}

void tst_ConstraintItem::indexFromJsonReplacesColumnsAndKeepsIdWhenAbsent()
{
    IndexItem index;
    const QString id = index.id();
    index.setColumns({u"old"_s});
    index.fromJson(QJsonDocument::fromJson(R"j({"name": "ix", "columns": [null, "c"]})j").object());
    QCOMPARE(index.id(), id);
    QCOMPARE(index.name(), u"ix"_s);
    QCOMPARE(index.columns(), (QStringList{QString(), u"c"_s}));

    IndexItem copy;
    copy.fromJson(index.toJson());
    QCOMPARE(copy.toJson(), index.toJson());
    QCOMPARE(index.toJson().keys(),
             (QStringList{u"columns"_s, u"description"_s, u"id"_s, u"name"_s, u"unique"_s}));
}

QTEST_GUILESS_MAIN(tst_ConstraintItem)
#include "tst_constraintitem.moc"
