#include "classificationitem.h"
#include "columnitem.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_ColumnItem : public QObject
{
    Q_OBJECT

private slots:
    void newColumnWritesDefaults();
    void fromJsonReadsDefaultsAndMistypedValues_data();
    void fromJsonReadsDefaultsAndMistypedValues();
    void setDataTypeTransitions_data();
    void setDataTypeTransitions();
    void fullTypeNameShowsParameters();
    void legacyClassificationFallback_data();
    void legacyClassificationFallback();
    void fromJsonDestroysOldClassificationsAtOnce();
    void nonObjectClassificationGivesFreshEntry();
    void idRules();
    void roundTripKeepsEverything();
};

static QJsonObject parse(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

void tst_ColumnItem::newColumnWritesDefaults()
{
    ColumnItem column;
    const QJsonObject json = column.toJson();
    QCOMPARE(json.value("id"_L1).toString().size(), 36);
    QCOMPARE(json.value("nullable"_L1), QJsonValue(true));
    QCOMPARE(json.value("personal"_L1), QJsonValue(false));
    QCOMPARE(json.value("sensible"_L1), QJsonValue(false));
    QVERIFY(!json.contains("precision"_L1));
    QVERIFY(!json.contains("scale"_L1));
    QVERIFY(!json.contains("length"_L1));
    QCOMPARE(json.value("classifications"_L1), QJsonValue(QJsonArray()));
    QCOMPARE(json.keys(),
             (QStringList{u"classification"_s, u"classifications"_s, u"comment"_s, u"dataType"_s,
                          u"defaultValue"_s, u"id"_s, u"name"_s, u"nullable"_s, u"personal"_s,
                          u"sensible"_s}));
}

void tst_ColumnItem::fromJsonReadsDefaultsAndMistypedValues_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("dataType");
    QTest::addColumn<bool>("nullable");
    QTest::addColumn<bool>("personal");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QString>("name");

    QTest::newRow("empty object") << QByteArray("{}") << QString() << true << false << -1 << -1 << -1 << QString();
    QTest::newRow("nullable as number") << QByteArray(R"j({"nullable": 0, "personal": 1})j")
                                        << QString() << true << false << -1 << -1 << -1 << QString();
    QTest::newRow("nullable as string") << QByteArray(R"j({"nullable": "false", "personal": "true"})j")
                                        << QString() << true << false << -1 << -1 << -1 << QString();
    QTest::newRow("booleans set") << QByteArray(R"j({"nullable": false, "personal": true})j")
                                  << QString() << false << true << -1 << -1 << -1 << QString();
    QTest::newRow("name as number") << QByteArray(R"j({"name": 5, "dataType": true})j")
                                    << QString() << true << false << -1 << -1 << -1 << QString();
    QTest::newRow("type with parameters overrides keys")
        << QByteArray(R"j({"dataType": "VARCHAR(40)", "length": 10, "precision": 5})j")
        << u"VARCHAR"_s << true << false << 40 << -1 << -1 << QString();
    QTest::newRow("numeric type with parameters")
        << QByteArray(R"j({"dataType": "DECIMAL(12,3)", "length": 10})j")
        << u"DECIMAL"_s << true << false << -1 << 12 << 3 << QString();
    QTest::newRow("padded type keeps keys")
        << QByteArray(R"j({"dataType": "  VARCHAR  ", "length": 10, "precision": 5, "scale": 2})j")
        << u"VARCHAR"_s << true << false << 10 << 5 << 2 << QString();
    QTest::newRow("fractional precision") << QByteArray(R"j({"precision": 10.5, "scale": 2})j")
                                          << QString() << true << false << -1 << -1 << 2 << QString();
    QTest::newRow("precision as string") << QByteArray(R"j({"precision": "10"})j")
                                         << QString() << true << false << -1 << -1 << -1 << QString();
    QTest::newRow("precision beyond 32 bits") << QByteArray(R"j({"precision": 1099511627776})j")
                                              << QString() << true << false << -1 << -1 << -1 << QString();
    QTest::newRow("length at int max") << QByteArray(R"j({"length": 2147483647})j")
                                       << QString() << true << false << 2147483647 << -1 << -1 << QString();
    QTest::newRow("overflowing type text kept whole")
        << QByteArray(R"j({"dataType": "VARCHAR(99999999999)", "length": 7})j")
        << u"VARCHAR(99999999999)"_s << true << false << 7 << -1 << -1 << QString();
}

void tst_ColumnItem::fromJsonReadsDefaultsAndMistypedValues()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, dataType);
    QFETCH(bool, nullable);
    QFETCH(bool, personal);
    QFETCH(int, length);
    QFETCH(int, precision);
    QFETCH(int, scale);
    QFETCH(QString, name);

    ColumnItem column;
    column.setName(u"old"_s);
    column.setLength(99);
    column.fromJson(QJsonDocument::fromJson(json).object());
    QCOMPARE(column.dataType(), dataType);
    QCOMPARE(column.isNullable(), nullable);
    QCOMPARE(column.isPersonal(), personal);
    QCOMPARE(column.isSensible(), false);
    QCOMPARE(column.length(), length);
    QCOMPARE(column.precision(), precision);
    QCOMPARE(column.scale(), scale);
    QCOMPARE(column.name(), name);
}

void tst_ColumnItem::setDataTypeTransitions_data()
{
    QTest::addColumn<QString>("fromType");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("dataType");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("scale");

    // Every row starts from length 20, precision 10 and scale 2.
    QTest::newRow("numeric to bare non-numeric") << u"DECIMAL"_s << u"VARCHAR"_s << u"VARCHAR"_s << 20 << -1 << -1;
    QTest::newRow("non-numeric to bare numeric") << u"VARCHAR"_s << u"numeric"_s << u"numeric"_s << -1 << 10 << 2;
    QTest::newRow("empty changes only the type") << u"DECIMAL"_s << QString() << QString() << 20 << 10 << 2;
    QTest::newRow("same kind keeps numbers") << u"VARCHAR"_s << u" TEXT "_s << u"TEXT"_s << 20 << 10 << 2;
    QTest::newRow("numeric with parameters") << u"VARCHAR"_s << u"NUMBER(8,1)"_s << u"NUMBER"_s << -1 << 8 << 1;
    QTest::newRow("numeric with one parameter") << u"VARCHAR"_s << u"FLOAT(8)"_s << u"FLOAT"_s << -1 << 8 << -1;
    QTest::newRow("non-numeric with parameter") << u"DECIMAL"_s << u"CHAR(3)"_s << u"CHAR"_s << 3 << -1 << -1;
    QTest::newRow("unrecognised list is kept") << u"DECIMAL"_s << u"VARCHAR(10,2)"_s << u"VARCHAR(10,2)"_s << 20 << -1 << -1;
}

void tst_ColumnItem::setDataTypeTransitions()
{
    QFETCH(QString, fromType);
    QFETCH(QString, text);
    QFETCH(QString, dataType);
    QFETCH(int, length);
    QFETCH(int, precision);
    QFETCH(int, scale);

    ColumnItem column;
    column.setDataType(fromType);
    column.setLength(20);
    column.setPrecision(10);
    column.setScale(2);
    column.setDataType(text);
    QCOMPARE(column.dataType(), dataType);
    QCOMPARE(column.length(), length);
    QCOMPARE(column.precision(), precision);
    QCOMPARE(column.scale(), scale);
}

void tst_ColumnItem::fullTypeNameShowsParameters()
{
    ColumnItem column;
    column.setDataType(u"decimal(10, 2)"_s);
    QCOMPARE(column.fullTypeName(), u"decimal(10,2)"_s);
    column.setDataType(u"VARCHAR(40)"_s);
    QCOMPARE(column.fullTypeName(), u"VARCHAR(40)"_s);
    column.setDataType(u"VARCHAR(99999999999)"_s);
    QCOMPARE(column.fullTypeName(), u"VARCHAR(99999999999)"_s);
}

void tst_ColumnItem::legacyClassificationFallback_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("classification");

    QTest::newRow("no key takes first entry")
        << QByteArray(R"j({"classifications": [{"name": "PII"}, {"name": "Health"}]})j") << u"PII"_s;
    QTest::newRow("present but empty stays empty")
        << QByteArray(R"j({"classification": "", "classifications": [{"name": "PII"}]})j") << QString();
    QTest::newRow("present as number stays empty")
        << QByteArray(R"j({"classification": 3, "classifications": [{"name": "PII"}]})j") << QString();
    QTest::newRow("explicit wins")
        << QByteArray(R"j({"classification": "Internal", "classifications": [{"name": "PII"}]})j")
        << u"Internal"_s;
    QTest::newRow("no entries") << QByteArray(R"j({"classifications": {}})j") << QString();
}

void tst_ColumnItem::legacyClassificationFallback()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, classification);
    ColumnItem column;
    column.fromJson(QJsonDocument::fromJson(json).object());
    QCOMPARE(column.classification(), classification);
}

void tst_ColumnItem::fromJsonDestroysOldClassificationsAtOnce()
{
    ColumnItem column;
    QPointer<ClassificationItem> old = column.addClassification();
    old->setName(u"old"_s);
    column.fromJson(parse(R"j({"classifications": [{"id": "c1", "name": "new"}]})j"));
    QVERIFY(old.isNull());
    QCOMPARE(column.classifications().size(), 1);
    QCOMPARE(column.classifications().first()->name(), u"new"_s);
    QCOMPARE(column.classifications().first()->parent(), &column);
}

void tst_ColumnItem::nonObjectClassificationGivesFreshEntry()
{
    ColumnItem column;
    column.fromJson(parse(R"j({"classifications": [7, {"id": 9, "name": 1, "regulation": "GDPR"}]})j"));
    const QList<ClassificationItem *> entries = column.classifications();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0)->id().size(), 36);
    QVERIFY(entries.at(0)->name().isEmpty());
    QVERIFY(entries.at(0)->regulation().isEmpty());
    QVERIFY(entries.at(0)->description().isEmpty());
    QCOMPARE(entries.at(1)->id().size(), 36);
    QVERIFY(entries.at(0)->id() != entries.at(1)->id());
    QVERIFY(entries.at(1)->name().isEmpty());
    QCOMPARE(entries.at(1)->regulation(), u"GDPR"_s);
}

void tst_ColumnItem::idRules()
{
    ColumnItem column;
    const QString original = column.id();
    column.fromJson(parse(R"j({"id": 12})j"));
    QCOMPARE(column.id(), original);
    column.fromJson(parse("{}"));
    QCOMPARE(column.id(), original);
    column.fromJson(parse(R"j({"id": ""})j"));
    QVERIFY(column.id().isEmpty());
}

void tst_ColumnItem::roundTripKeepsEverything()
{
    ColumnItem column;
    column.setName(u"amount"_s);
    column.setDataType(u"NUMERIC(12,2)"_s);
    column.setNullable(false);
    column.setComment(u"net"_s);
    column.setDefaultValue(u"0"_s);
    column.setPersonal(true);
    column.setSensible(true);
    column.setClassification(u"Finance"_s);
    ClassificationItem *entry = column.addClassification();
    entry->setName(u"Finance"_s);
    entry->setRegulation(u"SOX"_s);
    entry->setDescription(u"ledger"_s);

    ColumnItem copy;
    copy.fromJson(column.toJson());
    QCOMPARE(copy.toJson(), column.toJson());
    QCOMPARE(copy.id(), column.id());
    QCOMPARE(copy.precision(), 12);
    QCOMPARE(copy.scale(), 2);
    QCOMPARE(copy.classifications().first()->id(), entry->id());
}

QTEST_GUILESS_MAIN(tst_ColumnItem)
#include "tst_columnitem.moc"
