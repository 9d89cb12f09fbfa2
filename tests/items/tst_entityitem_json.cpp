// The entity object of the diagram document: what a box writes and how every key,
// alias and mistyped value reads back.
#include "edgeitem.h"
#include "entityitem.h"
#include "entitytestutil.h"
#include "erscene.h"
#include "singlelinetextitem.h"
#include "testsupport.h"
#include "thememanager.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <limits>

using entitytest::Row;
using entitytest::addBox;
using entitytest::names;

namespace {

QJsonObject parse(const char *json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(json), &error);
    if (error.error != QJsonParseError::NoError)
        qFatal("bad test JSON: %s", qPrintable(error.errorString()));
    return document.object();
}

} // namespace

class tst_EntityItemJson : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void defaultObject();
    void colorsRoundTrip();
    void colorKeysReadAsNotSet();
    void perspectiveValues_data();
    void perspectiveValues();
    void badgesOnlyWithoutFlags();
    void duplicateNamesMerge();
    void trailingBlanksInNames();
    void positionNeedsBothCoordinates();
    void positionIsBounded_data();
    void positionIsBounded();
    void hiddenColumnsDistinct();
    void viewKindKeepsRowFlags();
    void mistypedKeysFallBack();
    void rereadKeepsEdgesAndRows();
    void everyFeatureRoundTrips();
    void readBoxMakesNoTextDocuments();

private:
    ERScene *m_scene = nullptr;
};

void tst_EntityItemJson::initTestCase()
{
    QVERIFY(!testsupport::registerBundledMonoFont().isEmpty());
}

void tst_EntityItemJson::init()
{
    ThemeManager::instance()->setTheme(ThemeKind::Light);
    m_scene = new ERScene;
}

void tst_EntityItemJson::cleanup()
{
    delete m_scene;
    m_scene = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_EntityItemJson::defaultObject()
{
    EntityItem box(QStringLiteral("orders"), QSizeF(150, 70));
    box.storedId = QStringLiteral("e1");
    box.setPos(12.5, -4);
    const QJsonObject object = box.toJson();
    const QJsonObject expected = parse(R"({"id": "e1", "x": 12.5, "y": -4, "title": "orders",
        "perspective": "full", "fgLight": "#ff000000", "fgDark": "#ffa0a0a4", "attributes": []})");
    QCOMPARE(object, expected);
}

void tst_EntityItemJson::colorsRoundTrip()
{
    EntityItem box(QStringLiteral("t"), QSizeF(150, 70));
    box.setColorScheme({{QColor(0x12, 0x34, 0x56, 0x78), QColor(Qt::transparent), QColor(1, 2, 3),
                         QColor(0xab, 0xcd, 0xef)},
                        {QColor(), QColor(200, 100, 0), QColor(Qt::transparent), QColor(9, 9, 9)}});
    const QJsonObject object = box.toJson();
    QCOMPARE(object.value("bgLight").toString(), QStringLiteral("#78123456"));
    QCOMPARE(object.value("fgLight").toString(), QStringLiteral("#ff010203"));
    QCOMPARE(object.value("txtLight").toString(), QStringLiteral("#ffabcdef"));
    QCOMPARE(object.value("hdrDark").toString(), QStringLiteral("#ffc86400"));
    QCOMPARE(object.value("txtDark").toString(), QStringLiteral("#ff090909"));
    QVERIFY(!object.contains("hdrLight"));
    QVERIFY(!object.contains("bgDark"));
    QVERIFY(!object.contains("fgDark"));

    EntityItem copy(QStringLiteral("t"), QSizeF(150, 70));
    copy.fromJson(object);
    QCOMPARE(copy.bgLight, box.bgLight);
    QCOMPARE(copy.hdrDark, box.hdrDark);
    QCOMPARE(copy.txtLight, box.txtLight);
    // Keys not written leave the defaults.
    QCOMPARE(copy.hdrLight, QColor(Qt::transparent));
    QCOMPARE(copy.fgDark, QColor(0xa0, 0xa0, 0xa4));
    QCOMPARE(copy.toJson().value("bgLight"), object.value("bgLight"));

    // Importers write six digits: an opaque colour.
    copy.fromJson(parse(R"({"bgDark": "#336699", "hdrLight": "steelblue"})"));
    QCOMPARE(copy.bgDark, QColor(0x33, 0x66, 0x99));
    QCOMPARE(copy.bgDark.alpha(), 255);
    QCOMPARE(copy.hdrLight, QColor("steelblue"));
}

void tst_EntityItemJson::colorKeysReadAsNotSet()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {{"id", "INT", true}});
    box->fromJson(parse(R"({"bgLight": "not a colour", "hdrLight": 42, "txtLight": "#12",
                            "attributes": [{"name": "id", "type": "INT"}]})"));
    QVERIFY(!box->bgLight.isValid());
    QVERIFY(!box->hdrLight.isValid());
    QVERIFY(!box->txtLight.isValid());
    // An invalid colour is no colour: the palette paints, and nothing is written.
    const ThemePalette light = ThemeManager::lightColors();
    const QImage image = entitytest::paintBox(box, false);
    QCOMPARE(entitytest::pixelAt(image, 70, 40).rgb(), light.surface.rgb());
    QCOMPARE(entitytest::pixelAt(image, 70, 14).rgb(), light.header.rgb());
    QCOMPARE(box->titleText_->defaultTextColor(), light.text);
    QVERIFY(!box->toJson().contains("bgLight"));

    // The colour keys reach the title also when the object has no rows.
    EntityItem *bare = addBox(m_scene, QStringLiteral("b"), {});
    bare->fromJson(parse(R"({"txtLight": "#ff0000ff"})"));
    QCOMPARE(bare->titleText_->defaultTextColor(), QColor(0, 0, 255));
}

void tst_EntityItemJson::perspectiveValues_data()
{
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<int>("perspective");
    QTest::addColumn<QString>("written");
    QTest::newRow("absent") << QJsonValue(QJsonValue::Undefined) << int(Full) << "full";
    QTest::newRow("full") << QJsonValue("full") << int(Full) << "full";
    QTest::newRow("name-primary-foreign") << QJsonValue("name-primary-foreign") << int(NamePrimaryForeign)
                                          << "name-primary-foreign";
    QTest::newRow("underscores") << QJsonValue("name_primary_foreign") << int(NamePrimaryForeign)
                                 << "name-primary-foreign";
    QTest::newRow("PK-FK with blanks") << QJsonValue(" PK-FK ") << int(NamePrimaryForeign)
                                       << "name-primary-foreign";
    QTest::newRow("name-primary") << QJsonValue("name-primary") << int(NamePrimary) << "name-primary";
    QTest::newRow("name_primary") << QJsonValue("name_primary") << int(NamePrimary) << "name-primary";
    QTest::newRow("pk") << QJsonValue("pk") << int(NamePrimary) << "name-primary";
    QTest::newRow("name") << QJsonValue("name") << int(NameOnly) << "name";
    QTest::newRow("Name-Only") << QJsonValue("Name-Only") << int(NameOnly) << "name";
    QTest::newRow("x") << QJsonValue("x") << int(Full) << "full";
    QTest::newRow("1") << QJsonValue(1) << int(NamePrimaryForeign) << "name-primary-foreign";
    QTest::newRow("2") << QJsonValue(2) << int(NamePrimary) << "name-primary";
    QTest::newRow("3.0") << QJsonValue(3.0) << int(NameOnly) << "name";
    QTest::newRow("2.5") << QJsonValue(2.5) << int(Full) << "full";
    QTest::newRow("0") << QJsonValue(0) << int(Full) << "full";
    QTest::newRow("-2") << QJsonValue(-2) << int(Full) << "full";
    QTest::newRow("true") << QJsonValue(true) << int(Full) << "full";
    QTest::newRow("null") << QJsonValue(QJsonValue::Null) << int(Full) << "full";
    QTest::newRow("object") << QJsonValue(QJsonObject{{"a", 1}}) << int(Full) << "full";
}

void tst_EntityItemJson::perspectiveValues()
{
    QFETCH(QJsonValue, value);
    QFETCH(int, perspective);
    QFETCH(QString, written);
    EntityItem box(QStringLiteral("t"), QSizeF(150, 70));
    box.perspective = NameOnly;
    QJsonObject object;
    if (!value.isUndefined())
        object.insert(QStringLiteral("perspective"), value);
    box.fromJson(object);
    QCOMPARE(box.perspective, perspective);
    QCOMPARE(box.toJson().value("perspective").toString(), written);
}

void tst_EntityItemJson::badgesOnlyWithoutFlags()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {});
    box->fromJson(parse(R"({"attributes": [
        {"name": "a", "isForeignKey": true, "badges": ["PK", "UK"]},
        {"name": "b", "badges": ["pk", "fk", "xx", 7]},
        {"name": "c", "badges": ["uk"]},
        {"name": "d", "badges": "PK"},
        {"name": "e", "isPrimaryKey": "yes", "badges": ["Fk"]}
    ]})"));
    QCOMPARE(names(box), QStringList({"a", "b", "c", "d", "e"}));
    const struct { bool pk, uk, fk; } expected[] = {
        {false, false, true}, {true, false, true}, {false, true, false}, {false, false, false},
        {false, false, true}};
    for (int row = 0; row < 5; ++row) {
        QCOMPARE(box->isAttributePrimaryKey(row), expected[row].pk);
        QCOMPARE(box->isAttributeUniqueKey(row), expected[row].uk);
        QCOMPARE(box->isAttributeForeignKey(row), expected[row].fk);
    }
    QVERIFY(!box->toJson().value("attributes").toArray().first().toObject().contains("badges"));
}

void tst_EntityItemJson::duplicateNamesMerge()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {});
    QSignalSpy structure(box, &EntityItem::structureChanged);
    box->fromJson(parse(R"({"attributes": [
        {"name": "id", "type": "INT", "isPrimaryKey": true, "columnId": "c1"},
        {"name": "x", "type": "TEXT"},
        {"name": "id", "type": "BIGINT", "isForeignKey": true, "columnId": "c2", "fkEdgeId": "e9"}
    ]})"));
    QCOMPARE(names(box), QStringList({"id", "x"}));
    QCOMPARE(box->attributeType(0), QStringLiteral("BIGINT"));
    QVERIFY(box->isAttributePrimaryKey(0));
    QVERIFY(box->isAttributeForeignKey(0));
    QCOMPARE(box->attributeColumnId(0), QStringLiteral("c2"));
    QCOMPARE(box->attributeFkEdgeId(0), QStringLiteral("e9"));
    QCOMPARE(structure.count(), 3);
}

void tst_EntityItemJson::trailingBlanksInNames()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {});
    box->fromJson(parse(R"({"attributes": [
        {"name": "id \t", "type": "INT", "columnId": "c1", "fkEdgeId": "e1", "isForeignKey": true},
        {"name": " lead", "type": "INT"}
    ]})"));
    QCOMPARE(names(box), QStringList({"id", " lead"}));
    QCOMPARE(box->attributeColumnId(0), QStringLiteral("c1"));
    QCOMPARE(box->attributeFkEdgeId(0), QStringLiteral("e1"));
    QCOMPARE(box->nameItems.at(0)->toPlainText(), QStringLiteral("id"));
}

void tst_EntityItemJson::positionNeedsBothCoordinates()
{
    EntityItem box(QStringLiteral("t"), QSizeF(150, 70));
    box.setPos(5, 6);
    box.fromJson(parse(R"({"x": 100})"));
    QCOMPARE(box.pos(), QPointF(5, 6));
    box.fromJson(parse(R"({"y": 100})"));
    QCOMPARE(box.pos(), QPointF(5, 6));
    box.fromJson(parse(R"({"x": "12", "y": 30})"));
    QCOMPARE(box.pos(), QPointF(0, 30));
}

void tst_EntityItemJson::positionIsBounded_data()
{
    QTest::addColumn<QJsonValue>("x");
    QTest::addColumn<qreal>("expected");
    QTest::newRow("huge") << QJsonValue(1e300) << 1000000.0;
    QTest::newRow("huge negative") << QJsonValue(-1e300) << -1000000.0;
    QTest::newRow("at the limit") << QJsonValue(1000000.0) << 1000000.0;
    QTest::newRow("infinite") << QJsonValue(std::numeric_limits<double>::infinity()) << 0.0;
    QTest::newRow("not a number") << QJsonValue(std::numeric_limits<double>::quiet_NaN()) << 0.0;
    QTest::newRow("ordinary") << QJsonValue(-250.5) << -250.5;
}

void tst_EntityItemJson::positionIsBounded()
{
    QFETCH(QJsonValue, x);
    QFETCH(qreal, expected);
    EntityItem box(QStringLiteral("t"), QSizeF(150, 70));
    if (qAbs(expected) == 1000000.0 && qAbs(x.toDouble()) > 1000000.0)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("position x .* clamped"));
    QJsonObject object{{"y", 7}};
    object.insert(QStringLiteral("x"), x);
    box.fromJson(object);
    QCOMPARE(box.pos(), QPointF(expected, 7));
}

void tst_EntityItemJson::hiddenColumnsDistinct()
{
    EntityItem box(QStringLiteral("t"), QSizeF(150, 70));
    box.hiddenColumns = {QStringLiteral("old")};
    box.fromJson(parse(R"({"hiddenColumns": ["b", "", "a", "b", 3, "a", "c"]})"));
    QCOMPARE(box.hiddenColumns, QStringList({"b", "a", "c"}));
    QCOMPARE(box.toJson().value("hiddenColumns").toArray(), QJsonArray({"b", "a", "c"}));
    box.fromJson(parse(R"({"hiddenColumns": "b"})"));
    QVERIFY(box.hiddenColumns.isEmpty());
    QVERIFY(!box.toJson().contains("hiddenColumns"));
}

void tst_EntityItemJson::viewKindKeepsRowFlags()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("v"), {});
    box->fromJson(parse(R"({"kind": "entity-view", "attributes": [
        {"name": "id", "type": "INT", "isPrimaryKey": true, "inherited": true, "fkEdgeId": "link"},
        {"name": "own", "type": "TEXT"}
    ]})"));
    QVERIFY(box->isView());
    QVERIFY(box->isAttributePrimaryKey(0));
    QVERIFY(box->attributes.at(0).inherited);
    QVERIFY(!box->attributes.at(1).inherited);
    QCOMPARE(box->attributeFkEdgeId(0), QStringLiteral("link"));
    const QJsonObject written = box->toJson();
    QCOMPARE(written.value("kind").toString(), QStringLiteral("entity-view"));
    QCOMPARE(written.value("attributes").toArray().at(0).toObject().value("inherited"), QJsonValue(true));
    QVERIFY(!written.value("attributes").toArray().at(1).toObject().contains("inherited"));

    // Anything but the exact text is a table, and a table keeps no inherited rows.
    box->fromJson(parse(R"({"kind": "ENTITY-VIEW", "attributes": [{"name": "id", "inherited": true}]})"));
    QVERIFY(!box->isView());
    QVERIFY(!box->attributes.at(0).inherited);
}

void tst_EntityItemJson::mistypedKeysFallBack()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {{"keep", "INT"}});
    box->fromJson(parse(R"({"title": 5, "attributes": {"name": "x"}, "perspective": [1]})"));
    QCOMPARE(box->title(), QString());
    QCOMPARE(box->attributeCount(), 0);
    QCOMPARE(box->perspective, int(Full));

    box->fromJson(parse(R"({"attributes": [7, "row", null, {"name": 3, "type": true,
        "isPrimaryKey": 1, "columnId": 4, "fkEdgeId": 5}]})"));
    // Non-objects read as empty objects: empty names, merged into one row.
    QCOMPARE(box->attributeCount(), 1);
    QCOMPARE(box->attributeName(0), QString());
    QVERIFY(!box->isAttributePrimaryKey(0));
    QCOMPARE(box->attributeColumnId(0), QString());
    QCOMPARE(box->attributeFkEdgeId(0), QString());

    // No "attributes" key: the box is left without rows.
    box->fromJson(QJsonObject());
    QCOMPARE(box->attributeCount(), 0);
}

void tst_EntityItemJson::rereadKeepsEdgesAndRows()
{
    EntityItem *parent = addBox(m_scene, QStringLiteral("p"), {{"id", "INT", true}, {"name", "TEXT"}});
    EntityItem *child = addBox(m_scene, QStringLiteral("c"), {{"c_id", "INT", true}}, QPointF(300, 0));
    QPointer<EdgeItem> edge = new EdgeItem(parent, child, true);
    m_scene->addItem(edge);
    const QJsonObject parentObject = parent->toJson();
    const QJsonObject childObject = child->toJson();

    QSignalSpy parentStructure(parent, &EntityItem::structureChanged);
    parent->fromJson(parentObject);
    child->fromJson(childObject);
    QVERIFY(!edge.isNull());
    QCOMPARE(names(parent), QStringList({"id", "name"}));
    QCOMPARE(names(child), QStringList({"c_id", "id"}));
    QCOMPARE(child->attributeFkEdgeId(1), edge->id);
    QCOMPARE(parent->toJson(), parentObject);
    QCOMPARE(child->toJson(), childObject);
    QCOMPARE(parentStructure.count(), 2);

    // Reading an object without rows empties a table without adding a key row.
    parent->fromJson(parse(R"({"attributes": []})"));
    QCOMPARE(parent->attributeCount(), 0);
    QVERIFY(!edge.isNull());
}

void tst_EntityItemJson::everyFeatureRoundTrips()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("orders"), {}, QPointF(321.5, -42));
    box->storedId = QStringLiteral("entity-42");
    box->setKind(EntityKind::View);
    box->setPerspective(NamePrimaryForeign);
    box->setColorScheme({{QColor(1, 2, 3), QColor(4, 5, 6), QColor(7, 8, 9), QColor(10, 11, 12, 13)},
                         {QColor(21, 22, 23), QColor(24, 25, 26), QColor(27, 28, 29), QColor(30, 31, 32)}});
    box->addAttributeRow(QStringLiteral("id"), QStringLiteral("BIGINT"), true, false, false, true);
    box->addAttributeRow(QStringLiteral("code"), QStringLiteral("TEXT"), false, true, false, false);
    box->addAttributeRow(QStringLiteral("customer"), QStringLiteral("INT"), false, false, true, true);
    box->attributes[2].fkEdgeId = QStringLiteral("edge-1");
    box->setAttributeColumnId(0, QStringLiteral("col-0"));
    box->setAttributeColumnId(2, QStringLiteral("col-2"));
    box->hideColumn(QStringLiteral("col-9"));
    box->hideColumn(QStringLiteral("col-3"));
    const QJsonObject written = box->toJson();

    // As the scene loader does it: the id first, then the object.
    auto *copy = new EntityItem(written.value("title").toString(), QSizeF(150, 70));
    m_scene->addItem(copy);
    copy->storedId = written.value("id").toString();
    copy->fromJson(written);
    QCOMPARE(copy->toJson(), written);
    QCOMPARE(copy->pos(), QPointF(321.5, -42));
    QCOMPARE(copy->rect, box->rect);

    // And the same through text.
    const QByteArray text = QJsonDocument(written).toJson();
    EntityItem *again = addBox(m_scene, QStringLiteral("x"), {});
    again->storedId = QStringLiteral("entity-42");
    again->fromJson(QJsonDocument::fromJson(text).object());
    QCOMPARE(again->toJson(), written);
}

// Cells are many; reading, laying out, re-theming and painting a box leave every cell
// without a text document (it is made only when a cell is edited).
void tst_EntityItemJson::readBoxMakesNoTextDocuments()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("orders"),
                             {{QStringLiteral("id"), QStringLiteral("BIGINT"), true},
                              {QStringLiteral("code"), QStringLiteral("TEXT"), false, true},
                              {QStringLiteral("customer"), QStringLiteral("INT"), false, false, true}});
    const QJsonObject written = box->toJson();
    auto *copy = new EntityItem(written.value("title").toString(), QSizeF(150, 70));
    m_scene->addItem(copy);
    copy->fromJson(written);
    ThemeManager::instance()->setTheme(ThemeKind::Dark);
    QImage image(400, 300, QImage::Format_ARGB32);
    QPainter painter(&image);
    m_scene->render(&painter);

    QList<SingleLineTextItem *> cells = copy->nameItems + copy->typeItems;
    cells.append(copy->titleText_);
    QCOMPARE(cells.size(), 7);
    for (SingleLineTextItem *cell : std::as_const(cells))
        QVERIFY2(!cell->hasDocument(), qPrintable(cell->toPlainText()));
}

QTEST_MAIN(tst_EntityItemJson)
#include "tst_entityitem_json.moc"
