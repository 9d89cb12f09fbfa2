#include "drawiowriter.h"

#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <sys/resource.h>

#include <csignal>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

// One mxCell of a written file, with its mxGeometry attributes.
struct Cell
{
    QString id;
    QString value;
    QString style;
    QString parent;
    QString source;
    QString target;
    bool vertex = false;
    bool edge = false;
    QHash<QString, QString> geometry;
};

struct WrittenFile
{
    QList<Cell> cells;
    QHash<QString, QString> model;
    QString errorString;

    const Cell *cell(const QString &id) const
    {
        for (const Cell &c : cells) {
            if (c.id == id)
                return &c;
        }
        return nullptr;
    }
    QStringList ids() const
    {
        QStringList result;
        for (const Cell &c : cells)
            result.append(c.id);
        return result;
    }
};

QHash<QString, QString> attributeMap(const QXmlStreamAttributes &attributes)
{
    QHash<QString, QString> map;
    for (const QXmlStreamAttribute &a : attributes)
        map.insert(a.name().toString(), a.value().toString());
    return map;
}

WrittenFile readWritten(const QString &xml)
{
    WrittenFile file;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QHash<QString, QString> a = attributeMap(reader.attributes());
        if (reader.name() == u"mxGraphModel") {
            file.model = a;
        } else if (reader.name() == u"mxCell") {
            Cell c;
            c.id = a.value(u"id"_s);
            c.value = a.value(u"value"_s);
            c.style = a.value(u"style"_s);
            c.parent = a.value(u"parent"_s);
            c.source = a.value(u"source"_s);
            c.target = a.value(u"target"_s);
            c.vertex = a.value(u"vertex"_s) == u"1";
            c.edge = a.value(u"edge"_s) == u"1";
            file.cells.append(c);
        } else if (reader.name() == u"mxGeometry" && !file.cells.isEmpty()) {
            file.cells.last().geometry = a;
        }
    }
    if (reader.hasError())
        file.errorString = reader.errorString();
    return file;
}

QJsonObject jsonObject(const QByteArray &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        qFatal("bad test document: %s", qPrintable(error.errorString()));
    return document.object();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

const QByteArray twoTables = R"({"entities": [
    {"id": "a", "title": "Customer", "attributes": [
        {"name": "id", "type": "INT", "isPrimaryKey": true}]},
    {"id": "b", "title": "Order", "attributes": [
        {"name": "order_id", "isPrimaryKey": true},
        {"name": "customer_id", "isForeignKey": true}]}]})";

} // namespace

class tst_DrawioWriter : public QObject
{
    Q_OBJECT

private slots:
    void twoEntityDocumentMatchesGoldenFile();
    void documentWithoutEntitiesGivesNoText_data();
    void documentWithoutEntitiesGivesNoText();
    void entityWithoutIdStillSizesPage();
    void entityWithoutNamedAttributesGetsPlaceholderRow();
    void tableIdsAreSanitisedAndUnique();
    void rowCommentsGoInAnObjectWrapper_data();
    void rowCommentsGoInAnObjectWrapper();
    void makeUniqueCellId_data();
    void makeUniqueCellId();
    void keyMarksAndNameFontStyle_data();
    void keyMarksAndNameFontStyle();
    void edgeArrowsFromCardinalities_data();
    void edgeArrowsFromCardinalities();
    void drawioColorName_data();
    void drawioColorName();
    void tableColours_data();
    void tableColours();
    void edgeEnds_data();
    void edgeEnds();
    void edgesWithoutTwoWrittenTablesAreLeftOut();
    void pageGrowsToFarthestTable_data();
    void pageGrowsToFarthestTable();
    void nonFiniteAndHugePositions();
    void htmlValuesAreEscaped();
    void charactersXmlForbidsAreDropped();
    void wrongValueTypesReadAsDefaults();
    void writeFileFailures_data();
    void writeFileFailures();
    void writeFileReplacesLongerFileWithUtf8Text();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
};

void tst_DrawioWriter::twoEntityDocumentMatchesGoldenFile()
{
    const QJsonObject document =
        jsonObject(testsupport::readFileBytes(testsupport::dataPath(u"interchange/data/drawio/writer_two_entities.json"_s)));
    const QByteArray golden =
        testsupport::readFileBytes(testsupport::dataPath(u"interchange/data/drawio/writer_two_entities.drawio"_s));
    QVERIFY(!golden.isEmpty());

    const QByteArray written = generateDrawioXml(document).toUtf8();
    if (written != golden) {
        const QList<QByteArray> a = written.split('\n');
        const QList<QByteArray> b = golden.split('\n');
        for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
            const QByteArray left = a.value(i);
            const QByteArray right = b.value(i);
            if (left != right)
                QFAIL(qPrintable(u"line %1 differs:\n written: %2\n  golden: %3"_s.arg(i + 1).arg(
                    QString::fromUtf8(left), QString::fromUtf8(right))));
        }
    }
    QCOMPARE(written, golden);
}

void tst_DrawioWriter::documentWithoutEntitiesGivesNoText_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::newRow("no entities key") << QByteArray(R"({"edges": [{"from": "a", "to": "b"}]})");
    QTest::newRow("empty array") << QByteArray(R"({"entities": []})");
    QTest::newRow("not an array") << QByteArray(R"({"entities": {"id": "a"}})");
    QTest::newRow("empty document") << QByteArray("{}");
}

void tst_DrawioWriter::documentWithoutEntitiesGivesNoText()
{
    QFETCH(QByteArray, document);
    QCOMPARE(generateDrawioXml(jsonObject(document)), QString());
}

void tst_DrawioWriter::entityWithoutIdStillSizesPage()
{
    const WrittenFile file = readWritten(generateDrawioXml(
        jsonObject(R"({"entities": [{"title": "Lost", "x": 1000, "y": 2000}]})")));
    QVERIFY2(file.errorString.isEmpty(), qPrintable(file.errorString));
    QCOMPARE(file.ids(), QStringList({u"0"_s, u"1"_s}));
    QCOMPARE(file.cells.at(0).parent, QString());
    QCOMPARE(file.cells.at(1).parent, u"0"_s);
    QCOMPARE(file.model.value(u"pageWidth"_s), u"1280"); // 1000 + 200 + 80
    QCOMPARE(file.model.value(u"pageHeight"_s), u"2140"); // 2000 + 30 + 30 + 80
}

void tst_DrawioWriter::entityWithoutNamedAttributesGetsPlaceholderRow()
{
    const WrittenFile file = readWritten(generateDrawioXml(jsonObject(
        R"({"entities": [{"id": "t", "attributes": [{"name": "  ", "type": "INT"}, {}]}]})")));
    QCOMPARE(file.ids(), QStringList({u"0"_s, u"1"_s, u"t"_s, u"t_r0"_s, u"t_r0_k"_s, u"t_r0_c"_s}));
    const Cell *table = file.cell(u"t"_s);
    QCOMPARE(table->value, u"t"_s); // no title: the id is shown
    QCOMPARE(table->geometry.value(u"height"_s), u"60.0");
    QVERIFY(file.cell(u"t_r0"_s)->style.endsWith(u"bottom=1;"));
    QCOMPARE(file.cell(u"t_r0"_s)->geometry.value(u"y"_s), u"30.0");
    QCOMPARE(file.cell(u"t_r0_k"_s)->value, QString());
    QCOMPARE(file.cell(u"t_r0_c"_s)->value, QString());
    QVERIFY(file.cell(u"t_r0_c"_s)->style.contains(u"fontStyle=0;"));
}

void tst_DrawioWriter::tableIdsAreSanitisedAndUnique()
{
    const WrittenFile file = readWritten(generateDrawioXml(jsonObject(R"({"entities": [
        {"id": "a"}, {"id": "a"}, {"id": "2024_orders"}, {"id": "order line"}, {"id": "-x"},
        {"id": "0"}, {"id": "1"}, {"id": "a_2"}]})")));
    QStringList tables;
    for (const Cell &c : file.cells) {
        if (c.parent == u"1")
            tables.append(c.id);
    }
    QCOMPARE(tables, QStringList({u"a"_s, u"a_2"_s, u"n2024_orders"_s, u"order_line"_s, u"n-x"_s,
                                  u"n0"_s, u"n1"_s, u"a_2_2"_s}));
    // Rows of the second "a" hang under its own table.
    QCOMPARE(file.cell(u"a_2_r0"_s)->parent, u"a_2"_s);
    QCOMPARE(file.cell(u"a_2_2_r0"_s)->parent, u"a_2_2"_s);
}

void tst_DrawioWriter::rowCommentsGoInAnObjectWrapper_data()
{
    QTest::addColumn<QString>("comment");
    QTest::addColumn<QString>("written");
    QTest::newRow("plain") << u"the customer's number"_s << u"comment=\"the customer's number\""_s;
    QTest::newRow("markup and quotes are escaped")
        << u"a <b> & \"c\""_s << u"comment=\"a &lt;b&gt; &amp; &quot;c&quot;\""_s;
    QTest::newRow("characters XML forbids are dropped") << u"x\u0001y"_s << u"comment=\"xy\""_s;
}

void tst_DrawioWriter::rowCommentsGoInAnObjectWrapper()
{
    QFETCH(QString, comment);
    QFETCH(QString, written);
    QJsonObject document = jsonObject(R"({"entities": [{"id": "t", "title": "T", "attributes": [
        {"name": "id", "type": "INT", "isPrimaryKey": true}, {"name": "code", "type": "TEXT"}]}]})");
    const QString plain = generateDrawioXml(document);

    QJsonArray attributes = document[u"entities"_s][0][u"attributes"_s].toArray();
    QJsonObject row = attributes.at(1).toObject();
    row.insert(u"comment"_s, comment);
    attributes.replace(1, row);
    QJsonObject entity = document[u"entities"_s][0].toObject();
    entity.insert(u"attributes"_s, attributes);
    document.insert(u"entities"_s, QJsonArray{entity});
    const QString text = generateDrawioXml(document);

    // The row cell moves into the wrapper, which takes its id; nothing else changes.
    const QString opening = u"<object label=\"\" "_s + written + u" id=\"t_r1\">"_s;
    QVERIFY2(text.contains(opening), qPrintable(text));
    QString unwrapped = text;
    unwrapped.replace(QRegularExpression(u"<object [^>]*>\\s*<mxCell "_s), u"<mxCell id=\"t_r1\" value=\"\" "_s);
    unwrapped.replace(QRegularExpression(u"(<mxCell id=\"t_r1\"(?:[^<]|<mxGeometry[^>]*/>)*</mxCell>)\\s*</object>"_s),
                      u"\\1"_s);
    QCOMPARE(unwrapped.remove(QRegularExpression(u"\\s+"_s)), QString(plain).remove(QRegularExpression(u"\\s+"_s)));
    const WrittenFile file = readWritten(text);
    QVERIFY2(file.errorString.isEmpty(), qPrintable(file.errorString));
    QCOMPARE(file.cell(u"t_r1_c"_s)->parent, u"t_r1"_s);
}

void tst_DrawioWriter::makeUniqueCellId_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QStringList>("used");
    QTest::addColumn<QString>("expected");

    QTest::newRow("kept") << u"Order-line_2"_s << QStringList() << u"Order-line_2"_s;
    QTest::newRow("empty") << QString() << QStringList() << u"n"_s;
    QTest::newRow("punctuation") << u"a.b/c:d e"_s << QStringList() << u"a_b_c_d_e"_s;
    QTest::newRow("digit first") << u"9lives"_s << QStringList() << u"n9lives"_s;
    QTest::newRow("non-ascii digit first") << u"\u0663x"_s << QStringList() << u"n\u0663x"_s;
    QTest::newRow("non-ascii letters kept") << u"Straße_日本"_s << QStringList() << u"Straße_日本"_s;
    QTest::newRow("non-ascii symbol") << u"a\u2192b\u00a0c"_s << QStringList() << u"a_b_c"_s;
    QTest::newRow("surrogate pair") << u"a\U0001F600"_s << QStringList() << u"a__"_s;
    QTest::newRow("leading hyphen") << u"-x"_s << QStringList() << u"n-x"_s;
    QTest::newRow("taken twice") << u"a"_s << QStringList({u"a"_s, u"a_2"_s}) << u"a_3"_s;
    QTest::newRow("taken after sanitising") << u"a b"_s << QStringList({u"a_b"_s}) << u"a_b_2"_s;
    QTest::newRow("root ids") << u"1"_s << QStringList({u"0"_s, u"1"_s}) << u"n1"_s;
}

void tst_DrawioWriter::makeUniqueCellId()
{
    QFETCH(QString, base);
    QFETCH(QStringList, used);
    QFETCH(QString, expected);

    QSet<QString> usedIds(used.cbegin(), used.cend());
    QCOMPARE(::makeUniqueCellId(base, usedIds), expected);
    QVERIFY(usedIds.contains(expected));
    QCOMPARE(usedIds.size(), used.size() + 1);
}

void tst_DrawioWriter::keyMarksAndNameFontStyle_data()
{
    QTest::addColumn<QByteArray>("attribute");
    QTest::addColumn<QString>("marks");
    QTest::addColumn<QString>("nameValue");
    QTest::addColumn<int>("fontStyle");

    QTest::newRow("plain") << QByteArray(R"({"name": " n ", "type": "  "})") << QString()
                           << u"n"_s << 0;
    QTest::newRow("primary") << QByteArray(R"({"name": "id", "type": " INT ", "isPrimaryKey": true})")
                             << u"PK"_s << u"id : INT"_s << 5;
    QTest::newRow("foreign") << QByteArray(R"({"name": "c", "isForeignKey": true})") << u"FK"_s
                             << u"c"_s << 2;
    QTest::newRow("unique") << QByteArray(R"({"name": "u", "isUniqueKey": true})") << u"UK"_s
                            << u"u"_s << 0;
    QTest::newRow("primary and foreign")
        << QByteArray(R"({"name": "k", "isPrimaryKey": true, "isForeignKey": true})")
        << u"PK, FK"_s << u"k"_s << 5;
    QTest::newRow("all three")
        << QByteArray(R"({"name": "k", "isUniqueKey": true, "isPrimaryKey": true, "isForeignKey": true})")
        << u"PK, FK, UK"_s << u"k"_s << 5;
    QTest::newRow("foreign and unique")
        << QByteArray(R"({"name": "k", "isUniqueKey": true, "isForeignKey": true})")
        << u"FK, UK"_s << u"k"_s << 2;
}

void tst_DrawioWriter::keyMarksAndNameFontStyle()
{
    QFETCH(QByteArray, attribute);
    QFETCH(QString, marks);
    QFETCH(QString, nameValue);
    QFETCH(int, fontStyle);

    const WrittenFile file = readWritten(generateDrawioXml(
        jsonObject(R"({"entities": [{"id": "t", "attributes": [)" + attribute + "]}]}")));
    QCOMPARE(file.cell(u"t_r0_k"_s)->value, marks);
    QCOMPARE(file.cell(u"t_r0_c"_s)->value, nameValue);
    QVERIFY(file.cell(u"t_r0_c"_s)->style.contains(u";fontStyle=%1;"_s.arg(fontStyle)));
}

void tst_DrawioWriter::edgeArrowsFromCardinalities_data()
{
    QTest::addColumn<QByteArray>("cards");
    QTest::addColumn<QString>("startArrow");
    QTest::addColumn<QString>("endArrow");

    QTest::newRow("absent") << QByteArray() << u"ERoneToMany"_s << u"ERoneToMany"_s;
    QTest::newRow("0 and 3") << QByteArray(R"(, "startCard": 0, "endCard": 3)") << u"ERmandOne"_s
                             << u"ERzeroToMany"_s;
    QTest::newRow("2 and 1") << QByteArray(R"(, "startCard": 2, "endCard": 1)") << u"ERzeroToOne"_s
                             << u"ERoneToMany"_s;
    QTest::newRow("out of range") << QByteArray(R"(, "startCard": 7, "endCard": -1)")
                                  << u"ERoneToMany"_s << u"ERoneToMany"_s;
    QTest::newRow("not whole") << QByteArray(R"(, "startCard": 2.5, "endCard": 0.0)")
                               << u"ERoneToMany"_s << u"ERmandOne"_s;
    QTest::newRow("wrong types") << QByteArray(R"(, "startCard": "2", "endCard": true)")
                                 << u"ERoneToMany"_s << u"ERoneToMany"_s;
    QTest::newRow("huge") << QByteArray(R"(, "startCard": 4294967296, "endCard": 1e300)")
                          << u"ERoneToMany"_s << u"ERoneToMany"_s;
}

void tst_DrawioWriter::edgeArrowsFromCardinalities()
{
    QFETCH(QByteArray, cards);
    QFETCH(QString, startArrow);
    QFETCH(QString, endArrow);

    const WrittenFile file = readWritten(generateDrawioXml(jsonObject(
        R"({"entities": [{"id": "a"}, {"id": "b"}], "edges": [{"id": "e", "from": "a", "to": "b")"
        + cards + "}]}")));
    const Cell *edge = file.cell(u"e"_s);
    QVERIFY(edge);
    QCOMPARE(edge->style, u"edgeStyle=entityRelationEdgeStyle;html=1;rounded=0;startArrow=%1;"
                          "endArrow=%2;startFill=0;endFill=0;jumpStyle=none;"_s.arg(startArrow, endArrow));
}

void tst_DrawioWriter::drawioColorName_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("upper rgb") << u"#FFAA00"_s << u"#ffaa00"_s;
    QTest::newRow("short rgb") << u"#f0a"_s << u"#ff00aa"_s;
    QTest::newRow("argb opaque") << u"#ff000000"_s << u"#000000"_s;
    QTest::newRow("argb translucent") << u"#80a0a0a4"_s << u"#a0a0a4"_s;
    QTest::newRow("argb transparent") << u"#00123456"_s << QString();
    QTest::newRow("name") << u"steelblue"_s << u"#4682b4"_s;
    QTest::newRow("transparent name") << u"transparent"_s << QString();
    QTest::newRow("no hash") << u"ffaa00"_s << QString();
    QTest::newRow("bad digits") << u"#12345g"_s << QString();
    QTest::newRow("empty") << QString() << QString();
}

void tst_DrawioWriter::drawioColorName()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(::drawioColorName(text), expected);
}

void tst_DrawioWriter::tableColours_data()
{
    QTest::addColumn<QByteArray>("entity");
    QTest::addColumn<QString>("colours");
    QTest::addColumn<QString>("rowFill");

    QTest::newRow("table defaults")
        << QByteArray(R"({"id": "t"})")
        << u"fillColor=#dae8fc;swimlaneFillColor=#ffffff;strokeColor=#6c8ebf;fontColor=#000000;corvaKind=table;"_s
        << u"#ffffff"_s;
    QTest::newRow("view defaults")
        << QByteArray(R"({"id": "t", "kind": "entity-view"})")
        << u"fillColor=#d5e8d4;swimlaneFillColor=#ffffff;strokeColor=#82b366;fontColor=#000000;corvaKind=entity-view;"_s
        << u"#ffffff"_s;
    QTest::newRow("kind is case-sensitive")
        << QByteArray(R"({"id": "t", "kind": "Entity-View"})")
        << u"fillColor=#dae8fc;swimlaneFillColor=#ffffff;strokeColor=#6c8ebf;fontColor=#000000;corvaKind=table;"_s
        << u"#ffffff"_s;
    QTest::newRow("scene default box")
        << QByteArray(R"({"id": "t", "fgLight": "#ff000000", "fgDark": "#ffa0a0a4"})")
        << u"fillColor=#dae8fc;swimlaneFillColor=#ffffff;strokeColor=#000000;fontColor=#000000;corvaKind=table;"_s
        << u"#ffffff"_s;
    QTest::newRow("light keys win")
        << QByteArray(R"({"id": "t", "hdrLight": "#FFAA00", "hdrDark": "#111111",
                          "bgLight": "#fefefe", "txtLight": "#ff333333", "txtDark": "#444444"})")
        << u"fillColor=#ffaa00;swimlaneFillColor=#fefefe;strokeColor=#6c8ebf;fontColor=#333333;corvaKind=table;"_s
        << u"#fefefe"_s;
    QTest::newRow("unusable light key falls to dark")
        << QByteArray(R"({"id": "t", "hdrLight": "#00000000", "hdrDark": "#123456",
                          "bgLight": "nonsense", "bgDark": "#222222", "fgLight": 5, "fgDark": "#333333"})")
        << u"fillColor=#123456;swimlaneFillColor=#222222;strokeColor=#333333;fontColor=#000000;corvaKind=table;"_s
        << u"#222222"_s;
    QTest::newRow("both unusable gives default")
        << QByteArray(R"({"id": "t", "kind": "entity-view", "hdrLight": "", "hdrDark": "transparent"})")
        << u"fillColor=#d5e8d4;swimlaneFillColor=#ffffff;strokeColor=#82b366;fontColor=#000000;corvaKind=entity-view;"_s
        << u"#ffffff"_s;
}

void tst_DrawioWriter::tableColours()
{
    QFETCH(QByteArray, entity);
    QFETCH(QString, colours);
    QFETCH(QString, rowFill);

    const WrittenFile file = readWritten(generateDrawioXml(
        jsonObject(R"({"entities": [)" + entity + "]}")));
    QVERIFY(file.cell(u"t"_s)->style.endsWith(u"whiteSpace=wrap;"_s + colours));
    QVERIFY(file.cell(u"t_r0"_s)->style.contains(u";fillColor=%1;"_s.arg(rowFill)));
    const QString text = colours.section(u"fontColor="_s, 1).section(u';', 0, 0);
    QVERIFY(file.cell(u"t_r0_k"_s)->style.endsWith(u"fontColor=%1;"_s.arg(text)));
    QVERIFY(file.cell(u"t_r0_c"_s)->style.endsWith(u"fontColor=%1;"_s.arg(text)));
}

void tst_DrawioWriter::edgeEnds_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("cellId");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");

    QTest::newRow("fkEdgeId row of the target")
        << QByteArray(R"({"entities": [
            {"id": "a", "attributes": [{"name": "x"}, {"name": "id", "isPrimaryKey": true}]},
            {"id": "b", "attributes": [{"name": "a_id", "isForeignKey": true},
                                       {"name": "other", "fkEdgeId": "e"}]}],
            "edges": [{"id": "e", "from": "a", "to": "b"}]})")
        << u"e"_s << u"a_r1"_s << u"b_r1"_s;
    QTest::newRow("fkEdgeId row of the source")
        << QByteArray(R"({"entities": [
            {"id": "a", "attributes": [{"name": "id", "isPrimaryKey": true},
                                       {"name": "b_ref", "isForeignKey": true, "fkEdgeId": "e"}]},
            {"id": "b", "attributes": [{"name": "id", "isPrimaryKey": true}]}],
            "edges": [{"id": "e", "from": "a", "to": "b"}]})")
        << u"e"_s << u"a_r1"_s << u"b"_s;
    QTest::newRow("fkEdgeId row elsewhere suppresses name match")
        << QByteArray(R"({"entities": [
            {"id": "a", "title": "A", "attributes": [{"name": "id", "isPrimaryKey": true}]},
            {"id": "b", "attributes": [{"name": "id", "isForeignKey": true}]},
            {"id": "c", "attributes": [{"name": "z", "fkEdgeId": "e"}]}],
            "edges": [{"id": "e", "from": "a", "to": "b"}]})")
        << u"e"_s << u"a_r0"_s << u"b"_s;
    QTest::newRow("first fkEdgeId row keeps the edge")
        << QByteArray(R"({"entities": [
            {"id": "a"},
            {"id": "b", "attributes": [{"name": "p", "fkEdgeId": "e"}, {"name": "q", "fkEdgeId": "e"}]}],
            "edges": [{"id": "e", "from": "a", "to": "b"}]})")
        << u"e"_s << u"a"_s << u"b_r0"_s;
    QTest::newRow("name ending in _id")
        << QByteArray(R"({"entities": [
            {"id": "a", "title": "Customer", "attributes": [{"name": "id", "isPrimaryKey": true}]},
            {"id": "b", "attributes": [{"name": "customerRef", "isForeignKey": true},
                                       {"name": "customer_id", "isForeignKey": true}]}],
            "edges": [{"id": "e", "from": "a", "to": "b"}]})")
        << u"e"_s << u"a_r0"_s << u"b_r1"_s;
    QTest::newRow("primary key name first in row order")
        << QByteArray(R"({"entities": [
            {"id": "a", "title": "Customer", "attributes": [{"name": "id", "isPrimaryKey": true}]},
            {"id": "b", "attributes": [{"name": "ID", "isForeignKey": true},
                                       {"name": "customer_id", "isForeignKey": true}]}],
            "edges": [{"id": "e", "from": "a", "to": "b"}]})")
        << u"e"_s << u"a_r0"_s << u"b_r0"_s;
    QTest::newRow("title id and title prefix")
        << QByteArray(R"({"entities": [
            {"id": "a", "title": "Cust"},
            {"id": "b", "attributes": [{"name": "plain"}, {"name": "CUST_no", "isForeignKey": true}]},
            {"id": "c", "attributes": [{"name": "custid", "isForeignKey": true}]}],
            "edges": [{"id": "e", "from": "a", "to": "b"}, {"from": "a", "to": "c"}]})")
        << u"e"_s << u"a"_s << u"b_r1"_s;
    QTest::newRow("only foreign-key rows are matched")
        << QByteArray(R"({"entities": [
            {"id": "a", "title": "Cust"},
            {"id": "b", "attributes": [{"name": "cust_id"}]}],
            "edges": [{"from": "a", "to": "b"}]})")
        << u"a_b"_s << u"a"_s << u"b"_s;
    QTest::newRow("no id and no keys")
        << QByteArray(R"({"entities": [{"id": "a"}, {"id": "b"}], "edges": [{"from": "a", "to": "b"}]})")
        << u"a_b"_s << u"a"_s << u"b"_s;
    QTest::newRow("no id uses final ends")
        << QByteArray(R"({"entities": [
            {"id": "a", "title": "a", "attributes": [{"name": "k", "isPrimaryKey": true}]},
            {"id": "b", "attributes": [{"name": "a_id", "isForeignKey": true}]}],
            "edges": [{"from": "a", "to": "b"}]})")
        << u"a_r0_b_r0"_s << u"a_r0"_s << u"b_r0"_s;
    QTest::newRow("repeated edge id")
        << QByteArray(R"({"entities": [{"id": "a"}, {"id": "b"}],
            "edges": [{"id": "e", "from": "a", "to": "b"}, {"id": "e", "from": "b", "to": "a"}]})")
        << u"e_2"_s << u"b"_s << u"a"_s;
    QTest::newRow("edge id like a table id")
        << QByteArray(R"({"entities": [{"id": "a"}, {"id": "b"}],
            "edges": [{"id": "a", "from": "a", "to": "b"}]})")
        << u"a_2"_s << u"a"_s << u"b"_s;
    QTest::newRow("self relationship")
        << QByteArray(R"({"entities": [{"id": "a", "title": "Node", "attributes": [
            {"name": "id", "isPrimaryKey": true}, {"name": "node_id", "isForeignKey": true}]}],
            "edges": [{"id": "e", "from": "a", "to": "a"}]})")
        << u"e"_s << u"a_r0"_s << u"a_r1"_s;
}

void tst_DrawioWriter::edgeEnds()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, cellId);
    QFETCH(QString, source);
    QFETCH(QString, target);

    const WrittenFile file = readWritten(generateDrawioXml(jsonObject(document)));
    const Cell *edge = file.cell(cellId);
    QVERIFY2(edge, qPrintable(file.ids().join(u' ')));
    QVERIFY(edge->edge);
    QCOMPARE(edge->parent, u"1"_s);
    QCOMPARE(edge->source, source);
    QCOMPARE(edge->target, target);
    QCOMPARE(edge->geometry.value(u"relative"_s), u"1");
    QVERIFY(!edge->geometry.contains(u"width"_s));
}

void tst_DrawioWriter::edgesWithoutTwoWrittenTablesAreLeftOut()
{
    const WrittenFile file = readWritten(generateDrawioXml(jsonObject(R"({"entities": [
        {"id": "a"}, {"id": "v", "kind": "entity-view"}, {"title": "no id"}],
        "edges": [
            {"id": "view", "from": "a", "to": "v", "kind": "entity-view-edge"},
            {"id": "dangling", "from": "a", "to": "missing"},
            {"id": "no-from", "to": "a"},
            {"id": "no-id-end", "from": "a", "to": ""},
            "not an object",
            {"id": "kept", "from": "v", "to": "a", "kind": "other"}]})")));
    QStringList edges;
    for (const Cell &c : file.cells) {
        if (c.edge)
            edges.append(c.id);
    }
    QCOMPARE(edges, QStringList({u"kept"_s}));
}

void tst_DrawioWriter::pageGrowsToFarthestTable_data()
{
    QTest::addColumn<QByteArray>("entities");
    QTest::addColumn<QString>("pageWidth");
    QTest::addColumn<QString>("pageHeight");

    // A title of 33 characters makes a table 304 wide.
    QTest::newRow("minimum kept")
        << QByteArray(R"([{"id": "a", "x": 0, "title": "TTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTT"}])")
        << u"850"_s << u"1100"_s;
    QTest::newRow("right edge plus margin, rounded up")
        << QByteArray(R"([{"id": "a", "x": 900.2, "y": 10}])") << u"1181"_s << u"1100"_s;
    QTest::newRow("every attribute object counts for height")
        << QByteArray(R"([{"id": "a", "y": 1000, "attributes": [{"name": "x"}, {}, {"name": ""}]}])")
        << u"850"_s << u"1200"_s;
    QTest::newRow("farthest of several")
        << QByteArray(R"([{"id": "a", "x": 700}, {"id": "b", "x": 100, "y": 1500.5}])")
        << u"980"_s << u"1641"_s;
    QTest::newRow("negative positions")
        << QByteArray(R"([{"id": "a", "x": -5000, "y": -5000}])") << u"850"_s << u"1100"_s;
}

void tst_DrawioWriter::pageGrowsToFarthestTable()
{
    QFETCH(QByteArray, entities);
    QFETCH(QString, pageWidth);
    QFETCH(QString, pageHeight);

    const WrittenFile file =
        readWritten(generateDrawioXml(jsonObject(R"({"entities": )" + entities + "}")));
    QCOMPARE(file.model.value(u"pageWidth"_s), pageWidth);
    QCOMPARE(file.model.value(u"pageHeight"_s), pageHeight);
}

void tst_DrawioWriter::nonFiniteAndHugePositions()
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QJsonArray entities;
    entities.append(QJsonObject{{u"id"_s, u"a"_s}, {u"x"_s, inf}, {u"y"_s, nan}});
    entities.append(QJsonObject{{u"id"_s, u"b"_s}, {u"x"_s, -inf}, {u"y"_s, 12.25}});
    const QString xml = generateDrawioXml(QJsonObject{{u"entities"_s, entities}});
    const WrittenFile file = readWritten(xml);
    QVERIFY2(file.errorString.isEmpty(), qPrintable(file.errorString));
    QCOMPARE(file.cell(u"a"_s)->geometry.value(u"x"_s), u"0.0");
    QCOMPARE(file.cell(u"a"_s)->geometry.value(u"y"_s), u"0.0");
    QCOMPARE(file.cell(u"b"_s)->geometry.value(u"x"_s), u"0.0");
    QCOMPARE(file.model.value(u"pageWidth"_s), u"850");
    QCOMPARE(file.model.value(u"pageHeight"_s), u"1100");
    QVERIFY(!xml.contains(u"inf"_s, Qt::CaseInsensitive));
    QVERIFY(!xml.contains(u"nan"_s, Qt::CaseInsensitive));

    // Far beyond any integer type: written whole, no overflow.
    const QString huge = generateDrawioXml(QJsonObject{{u"entities"_s,
        QJsonArray{QJsonObject{{u"id"_s, u"a"_s}, {u"x"_s, 1e300}, {u"y"_s, 3e10}}}}});
    const WrittenFile hugeFile = readWritten(huge);
    QVERIFY2(hugeFile.errorString.isEmpty(), qPrintable(hugeFile.errorString));
    const QString pageWidth = hugeFile.model.value(u"pageWidth"_s);
    QCOMPARE(pageWidth.size(), 301);
    QCOMPARE(pageWidth.toDouble(), 1e300);
    QCOMPARE(hugeFile.model.value(u"pageHeight"_s), u"30000000140");
    QCOMPARE(hugeFile.cell(u"a"_s)->geometry.value(u"x"_s).toDouble(), 1e300);
    QCOMPARE(hugeFile.cell(u"a"_s)->geometry.value(u"y"_s), u"30000000000.0");
}

void tst_DrawioWriter::htmlValuesAreEscaped()
{
    const QJsonObject document = jsonObject(R"({"entities": [
        {"id": "a", "title": "Tom & <Jerry>", "attributes": [
            {"name": "tags", "type": "MAP<STRING,INT>", "isPrimaryKey": true},
            {"name": "a&b", "type": "\"q\" 'x'"}]},
        {"id": "b", "attributes": [{"name": "k"}]}],
        "edges": [{"id": "e", "from": "a", "to": "b", "label": " has <many> & more "}]})");
    const QString xml = generateDrawioXml(document);

    // Escaped once as HTML and once more as XML, as draw.io stores an html=1 value.
    QVERIFY(xml.contains(u"value=\"tags : MAP&amp;lt;STRING,INT&amp;gt;\""_s));
    QVERIFY(xml.contains(u"value=\"Tom &amp;amp; &amp;lt;Jerry&amp;gt;\""_s));

    const WrittenFile file = readWritten(xml);
    QCOMPARE(file.cell(u"a"_s)->value, u"Tom &amp; &lt;Jerry&gt;"_s);
    QCOMPARE(file.cell(u"a_r0_c"_s)->value, u"tags : MAP&lt;STRING,INT&gt;"_s);
    QCOMPARE(file.cell(u"a_r1_c"_s)->value, u"a&amp;b : \"q\" 'x'"_s);
    QCOMPARE(file.cell(u"a_r0_k"_s)->value, u"PK"_s);
    QCOMPARE(file.cell(u"e"_s)->value, u" has &lt;many&gt; &amp; more "_s);
    // The width counts the characters as typed, not their escapes: 7.5 * 19 + 88.
    QCOMPARE(file.cell(u"a"_s)->geometry.value(u"width"_s), u"230.5");
}

void tst_DrawioWriter::charactersXmlForbidsAreDropped()
{
    QJsonObject entity{{u"id"_s, u"a\u0001b"_s},
                       {u"title"_s, u"Ti\u0000t\u0008le\uFFFE"_s},
                       {u"attributes"_s, QJsonArray{QJsonObject{
                           {u"name"_s, u"na\u000Bme\tx"_s},
                           {u"type"_s, u"IN\u001FT\uFFFF\r\n"_s}}}}};
    QJsonObject edge{{u"id"_s, u"e"_s}, {u"from"_s, u"a\u0001b"_s}, {u"to"_s, u"a\u0001b"_s},
                     {u"label"_s, u"l\u000Cab\u000Eel"_s}};
    const QString xml = generateDrawioXml(
        QJsonObject{{u"entities"_s, QJsonArray{entity}}, {u"edges"_s, QJsonArray{edge}}});

    const WrittenFile file = readWritten(xml);
    QVERIFY2(file.errorString.isEmpty(), qPrintable(file.errorString));
    QCOMPARE(file.cells.size(), 7);
    QCOMPARE(file.cell(u"a_b"_s)->value, u"Title"_s);
    // The type is trimmed first; the tab inside the name stays.
    QCOMPARE(file.cell(u"a_b_r0_c"_s)->value, u"name\tx : INT"_s);
    QCOMPARE(file.cell(u"e"_s)->value, u"label"_s);

    // The UTF-8 bytes parse too.
    QXmlStreamReader reader(xml.toUtf8());
    while (!reader.atEnd())
        reader.readNext();
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
}

void tst_DrawioWriter::wrongValueTypesReadAsDefaults()
{
    const WrittenFile file = readWritten(generateDrawioXml(jsonObject(R"({"entities": [
        42,
        {"id": "a", "title": 7, "x": "100", "y": true, "kind": 1,
         "attributes": [3, {"name": "n", "type": 5, "isPrimaryKey": 1, "isForeignKey": "true",
                             "fkEdgeId": 9}]},
        {"id": "b", "attributes": "none"}],
        "edges": [{"id": "e", "from": "a", "to": "b", "label": 12}]})")));
    QVERIFY2(file.errorString.isEmpty(), qPrintable(file.errorString));
    const Cell *table = file.cell(u"a"_s);
    QCOMPARE(table->value, u"a"_s);
    QCOMPARE(table->geometry.value(u"x"_s), u"0.0");
    QCOMPARE(table->geometry.value(u"y"_s), u"0.0");
    QVERIFY(table->style.contains(u"corvaKind=table;"));
    QCOMPARE(file.cell(u"a_r0_k"_s)->value, QString());
    QCOMPARE(file.cell(u"a_r0_c"_s)->value, u"n"_s);
    QCOMPARE(file.cell(u"b"_s)->geometry.value(u"height"_s), u"60.0");
    QCOMPARE(file.cell(u"e"_s)->source, u"a"_s);
    QCOMPARE(file.cell(u"e"_s)->target, u"b"_s);
    QCOMPARE(file.cell(u"e"_s)->value, QString());
}

void tst_DrawioWriter::writeFileFailures_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty path") << QString() << twoTables << u"No destination file was specified."_s;
    QTest::newRow("empty path before generating")
        << QString() << QByteArray("{}") << u"No destination file was specified."_s;
    QTest::newRow("no entities key") << u"old.drawio"_s << QByteArray(R"({"edges": []})")
                                     << u"Could not generate a draw.io ER diagram."_s;
    QTest::newRow("empty entities") << u"old.drawio"_s << QByteArray(R"({"entities": []})")
                                    << u"Could not generate a draw.io ER diagram."_s;
    QTest::newRow("missing directory") << u"missing/out.drawio"_s << twoTables
                                       << u"Could not write the draw.io file."_s;
    QTest::newRow("path is a directory") << u"folder"_s << twoTables
                                         << u"Could not write the draw.io file."_s;
    QTest::newRow("below a regular file") << u"old.drawio/out.drawio"_s << twoTables
                                          << u"Could not write the draw.io file."_s;
}

void tst_DrawioWriter::writeFileFailures()
{
    QFETCH(QString, relativePath);
    QFETCH(QByteArray, document);
    QFETCH(QString, message);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray old = "<old file that must survive/>";
    QVERIFY(writeBytes(dir.filePath(u"old.drawio"_s), old));
    QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));

    const QString path = relativePath.isEmpty() ? QString() : dir.filePath(relativePath);
    QString error;
    QVERIFY(!writeDrawioFile(jsonObject(document), path, &error));
    QCOMPARE(error, message);
    QVERIFY(!writeDrawioFile(jsonObject(document), path)); // no error pointer

    QCOMPARE(testsupport::readFileBytes(dir.filePath(u"old.drawio"_s)), old);
    QVERIFY(QFileInfo(dir.filePath(u"folder"_s)).isDir());
    QStringList left = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    left.sort();
    QCOMPARE(left, QStringList({u"folder"_s, u"old.drawio"_s}));
}

void tst_DrawioWriter::writeFileReplacesLongerFileWithUtf8Text()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"out.drawio"_s);
    QVERIFY(writeBytes(path, QByteArray(100000, 'x')));

    const QJsonObject document = jsonObject(
        R"({"entities": [{"id": "k", "title": "Kundenüberblick 日本"}]})");
    QString error = u"untouched"_s;
    QVERIFY(writeDrawioFile(document, path, &error));
    QCOMPARE(error, u"untouched"_s);

    const QByteArray bytes = testsupport::readFileBytes(path);
    QCOMPARE(bytes, generateDrawioXml(document).toUtf8());
    QVERIFY(bytes.startsWith("<?xml version=\"1.0\"?>"));
    QVERIFY(bytes.contains("value=\"Kunden\xc3\xbc" "berblick \xe6\x97\xa5\xe6\x9c\xac\""));
    QVERIFY(QFile::exists(path));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void tst_DrawioWriter::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<int>("titleLength");
    // The smaller text stays in the write buffer until commit; the larger one is written
    // at once and comes back short.
    QTest::newRow("buffered") << 8000;
    QTest::newRow("direct") << 40000;
}

void tst_DrawioWriter::failedWriteKeepsOldFile()
{
    QFETCH(int, titleLength);
    // A file size limit makes the write itself fail after the file opened, which
    // permission bits cannot do for root.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"out.drawio"_s);
    const QByteArray old(3000, 'o');
    QVERIFY(writeBytes(path, old));

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);

    QString error;
    const bool written = writeDrawioFile(
        jsonObject(R"({"entities": [{"id": "big", "title": ")" + QByteArray(titleLength, 'T') + "\"}]}"),
        path, &error);

    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!written);
    QCOMPARE(error, u"Could not write the draw.io file."_s);
    QCOMPARE(testsupport::readFileBytes(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({u"out.drawio"_s}));
}

QTEST_GUILESS_MAIN(tst_DrawioWriter)
#include "tst_drawiowriter.moc"
