#include "mermaidreader.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QtTest>

#include <iterator>

// The document a text reads into is pinned down whole, as the reader made it before it was
// made faster: the fixtures and texts of garbage by a digest of the document, the texts
// that try the entity lookup, aliases and relationship order by the document itself. A text
// read in runs on several threads gives the document of one front-to-back read.
class TestMermaidSameDocument : public QObject
{
    Q_OBJECT

private slots:
    void keepsTheDocumentOfEachText_data();
    void keepsTheDocumentOfEachText();
    void readsTrickyTextsAsBefore_data();
    void readsTrickyTextsAsBefore();
    void readsTheSameInAnyNumberOfRuns_data();
    void readsTheSameInAnyNumberOfRuns();
};

namespace {

// Ids are random: each is replaced by the place of its entity or edge, so two reads of one
// text give the same bytes. The report of unread lines goes with the document.
QByteArray canonicalRead(const QString &text, int runCount = 0)
{
    QList<MermaidEntity> entities;
    QList<MermaidRelationship> relationships;
    QString error;
    MermaidReadReport report;
    if (!readMermaidText(text, &entities, &relationships, &error, &report, runCount))
        return "error: " + error.toUtf8();
    QJsonObject document = buildMermaidDiagramJson(entities, relationships);

    QHash<QString, QString> names;
    QJsonArray entityArray = document.value("entities").toArray();
    QJsonArray edgeArray = document.value("edges").toArray();
    for (qsizetype i = 0; i < entityArray.size(); ++i)
        names.insert(entityArray.at(i)["id"].toString(), QStringLiteral("e%1").arg(i));
    for (qsizetype i = 0; i < edgeArray.size(); ++i)
        names.insert(edgeArray.at(i)["id"].toString(), QStringLiteral("r%1").arg(i));
    const auto rename = [&](QJsonObject &object, const char *key) {
        if (object.contains(key))
            object[key] = names.value(object.value(key).toString(), QStringLiteral("?"));
    };
    for (qsizetype i = 0; i < entityArray.size(); ++i) {
        QJsonObject entity = entityArray.at(i).toObject();
        rename(entity, "id");
        QJsonArray rows = entity.value("attributes").toArray();
        for (qsizetype r = 0; r < rows.size(); ++r) {
            QJsonObject row = rows.at(r).toObject();
            rename(row, "fkEdgeId");
            rows[r] = row;
        }
        entity["attributes"] = rows;
        entityArray[i] = entity;
    }
    for (qsizetype i = 0; i < edgeArray.size(); ++i) {
        QJsonObject edge = edgeArray.at(i).toObject();
        rename(edge, "id");
        rename(edge, "from");
        rename(edge, "to");
        edgeArray[i] = edge;
    }
    document["entities"] = entityArray;
    document["edges"] = edgeArray;
    document["unread"] = QJsonArray{report.unreadLines, report.firstUnreadLine};
    return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

QByteArray digestOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
}

// Seeded words, Mermaid punctuation, upper case, letters outside ASCII and line breaks:
// blocks, aliases and relationships that break off anywhere, and names met again in
// another case.
QString garbage(int length, quint32 seed)
{
    static const char16_t *const pieces[] = {
        u"o{", u"||", u"}|", u"|o", u"--", u"..", u"{", u"}", u"[", u"]", u"\"", u":", u"%%",
        u"%%{", u"}%%", u"to", u"optionally to", u"1", u"direction", u"style", u"class", u"*",
        u"_", u"`", u":::", u"zero or more", u"only one", u"PK", u"FK,UK", u"string", u"\\",
        u"Straße", u"STRASSE", u"Ärger", u"ärger", u"İstanbul", u"ΣΊΣΥΦΟΣ", u"σίσυφος", u"\U0001D49C",
        u"Customer", u"CUSTOMER", u"customer", u"\t", u"\n", u"\n\n  "};
    QRandomGenerator random(seed);
    QString text = QStringLiteral("erDiagram\n");
    while (text.size() < length) {
        if (random.bounded(3) == 0) {
            for (int i = random.bounded(1, 8); i > 0; --i)
                text += QChar(u'a' + random.bounded(random.bounded(2) ? 4 : 26));
        } else {
            text += QString::fromUtf16(pieces[random.bounded(int(std::size(pieces)))]);
        }
        text += random.bounded(5) == 0 ? QLatin1Char('\n') : QLatin1Char(' ');
    }
    return text;
}

QString fileText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return QString::fromUtf8(file.readAll());
}

} // namespace

void TestMermaidSameDocument::keepsTheDocumentOfEachText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("digest");

    const struct
    {
        const char *file;
        const char *digest;
    } fixtures[] = {
        {"aliases_and_styles.mmd", "e27235801cda5e176012f9cf7d3e9350dd076c98"},
        {"all_symbols.mmd", "024711967a7a31bfc212e54311b58736c1f38a08"},
        {"car_drivers.mmd", "2f9185bb12692fa4a464a5387e3f055b59420daa"},
        {"customer_orders.mmd", "04c6789b52282156b94f41853cc505b877035f7a"},
        {"fenced_erdiagram.md", "2ea95ef8b553fb5b6106e239a6959cd7ffa98e5c"},
        {"fenced_mermaid.md", "e98a3a4a8ac403681dea23aaa71c04519c833dd9"},
        {"first_fence_not_er.md", "bff332bbbb0a461a194a7ef18f585fb05cfb5ee2"},
        {"kept_on_export.mmd", "f252ec62499cb9645ffc4883f8fc6aa36a9c1a31"},
        {"keys_and_comments.mmd", "f6d25d864cd76a4c34531ec78b5ce727eb24b6ea"},
        {"word_forms.mmd", "e6be4cfbffb2884d757ed9a6131c6bd0aae751e5"},
    };
    const QDir folder(testsupport::dataPath("interchange/data/mermaid"));
    for (const auto &fixture : fixtures) {
        QTest::newRow(fixture.file) << fileText(folder.filePath(QLatin1String(fixture.file)))
                                    << QByteArray(fixture.digest);
    }

    const struct
    {
        int length;
        quint32 seed;
        const char *digest;
    } texts[] = {
        {20000, 1, "eb1088823ae1ed6dac13dd747ec09706da9f0e4f"},
        {200000, 2, "9961c7bc5d56a4064634801d890f161d24bd46ad"},
        {600000, 3, "acf5c90aa00534b895f54beb32e6199017733865"},
    };
    for (const auto &text : texts) {
        QTest::addRow("garbage, %d characters, seed %u", text.length, text.seed)
            << garbage(text.length, text.seed) << QByteArray(text.digest);
    }

    QString bareNames = QStringLiteral("erDiagram\n");
    for (int i = 0; i < 5000; ++i)
        bareNames += QStringLiteral("    entity_%1\n").arg(i);
    QTest::newRow("5,000 bare names") << bareNames << QByteArray("4b5a9af31f4de3233434ce4e5fe4d94abc43d9db");
}

void TestMermaidSameDocument::keepsTheDocumentOfEachText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, digest);
    QCOMPARE(digestOf(canonicalRead(text)), digest);
    QCOMPARE(digestOf(canonicalRead(text, 4)), digest);
}

void TestMermaidSameDocument::readsTrickyTextsAsBefore_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("document");

    QTest::newRow("one name in three cases is three entities")
        << "erDiagram\nCustomer\nCUSTOMER {\n  int id PK\n}\ncustomer ||--o{ Order : places"
        << QByteArray(R"({"edges":[{"endCard":3,"from":"e2","id":"r0","label":"places","startCard":0,"to":"e3"}],"entities":[{"attributes":[],"id":"e0","title":"Customer","x":60,"y":60},{"attributes":[{"isForeignKey":false,"isPrimaryKey":true,"isUniqueKey":false,"name":"id","type":"int"}],"id":"e1","title":"CUSTOMER","x":380,"y":60},{"attributes":[],"id":"e2","title":"customer","x":60,"y":300},{"attributes":[],"id":"e3","title":"Order","x":380,"y":300}],"type":"er-diagram","unread":[0,0],"version":"1.0"})");
    QTest::newRow("an alias, then the entity by its alias in another case")
        << "erDiagram\np[\"Person Record\"]\n\"PERSON RECORD\" {\n  string name\n}\nperson record ||--|| p"
        << QByteArray(R"({"edges":[{"endCard":0,"from":"e2","id":"r0","startCard":0,"to":"e0"}],"entities":[{"attributes":[{"isForeignKey":false,"isPrimaryKey":true,"isUniqueKey":false,"name":"name","type":"string"}],"id":"e0","title":"Person Record","x":60,"y":60},{"attributes":[],"id":"e1","title":"person","x":380,"y":60},{"attributes":[],"id":"e2","title":"record","x":60,"y":300}],"type":"er-diagram","unread":[0,0],"version":"1.0"})");
    QTest::newRow("alias given later to an entity first met by name")
        << "erDiagram\nA ||--o{ B : x\nb[\"Bee\"]\nBEE ||--|| A : y\nbee\nB[\"Other\"]"
        << QByteArray(R"({"edges":[{"endCard":3,"from":"e0","id":"r0","label":"x","startCard":0,"to":"e1"},{"endCard":0,"from":"e2","id":"r1","label":"y","startCard":0,"to":"e0"}],"entities":[{"attributes":[],"id":"e0","title":"A","x":60,"y":60},{"attributes":[],"id":"e1","title":"Other","x":380,"y":60},{"attributes":[],"id":"e2","title":"Bee","x":60,"y":300}],"type":"er-diagram","unread":[0,0],"version":"1.0"})");
    QTest::newRow("relationships before and after their entities")
        << "erDiagram\nORDER }o--|| CUSTOMER : places\nCUSTOMER {\n  int id PK\n}\nORDER {\n"
           "  int customer_id FK\n}\nLINE }|--|| ORDER : in\nORDER ||--|{ LINE : IN\nLINE {\n  int order_id\n}"
        << QByteArray(R"({"edges":[{"endCard":3,"from":"e1","id":"r0","label":"places","startCard":0,"to":"e0"},{"endCard":1,"from":"e0","id":"r1","label":"in","startCard":0,"to":"e2"}],"entities":[{"attributes":[{"fkEdgeId":"r0","isForeignKey":true,"isPrimaryKey":true,"isUniqueKey":false,"name":"customer_id","type":"int"}],"id":"e0","title":"ORDER","x":60,"y":60},{"attributes":[{"isForeignKey":false,"isPrimaryKey":true,"isUniqueKey":false,"name":"id","type":"int"}],"id":"e1","title":"CUSTOMER","x":380,"y":60},{"attributes":[{"fkEdgeId":"r1","isForeignKey":true,"isPrimaryKey":true,"isUniqueKey":false,"name":"order_id","type":"int"}],"id":"e2","title":"LINE","x":60,"y":300}],"type":"er-diagram","unread":[0,0],"version":"1.0"})");
    QTest::newRow("names outside ASCII that fold together stay apart")
        << "erDiagram\nStraße\nSTRASSE\nstraße ||--o{ Ärger : x\nÄRGER\nΣΊΣΥΦΟΣ\nσίσυφος ||--|| ς\n"
           "\"\U0001D49C\" ||--o{ İstanbul : y\ni̇stanbul"
        << QByteArray(R"({"edges":[{"endCard":3,"from":"e2","id":"r0","label":"x","startCard":0,"to":"e3"},{"endCard":0,"from":"e6","id":"r1","startCard":0,"to":"e7"},{"endCard":3,"from":"e8","id":"r2","label":"y","startCard":0,"to":"e9"}],"entities":[{"attributes":[],"id":"e0","title":"Straße","x":60,"y":60},{"attributes":[],"id":"e1","title":"STRASSE","x":380,"y":60},{"attributes":[],"id":"e2","title":"straße","x":700,"y":60},{"attributes":[],"id":"e3","title":"Ärger","x":1020,"y":60},{"attributes":[],"id":"e4","title":"ÄRGER","x":60,"y":300},{"attributes":[],"id":"e5","title":"ΣΊΣΥΦΟΣ","x":380,"y":300},{"attributes":[],"id":"e6","title":"σίσυφος","x":700,"y":300},{"attributes":[],"id":"e7","title":"ς","x":1020,"y":300},{"attributes":[],"id":"e8","title":"𝒜","x":60,"y":540},{"attributes":[],"id":"e9","title":"İstanbul","x":380,"y":540},{"attributes":[],"id":"e10","title":"i̇stanbul","x":700,"y":540}],"type":"er-diagram","unread":[0,0],"version":"1.0"})");
    QTest::newRow("broken statements and unread lines")
        << "erDiagram\nA ||--\nB {\n  x\n  int y\n}\n\"open\nC[\"alias\nD ||--o{ \"E\nF\x01 ||--|| G\n"
           "H { int a"
        << QByteArray(R"({"edges":[],"entities":[{"attributes":[],"id":"e0","title":"A","x":60,"y":60},{"attributes":[{"isForeignKey":false,"isPrimaryKey":true,"isUniqueKey":false,"name":"y","type":"int"}],"id":"e1","title":"B","x":380,"y":60},{"attributes":[],"id":"e2","title":"C","x":700,"y":60},{"attributes":[],"id":"e3","title":"D","x":60,"y":300},{"attributes":[{"isForeignKey":false,"isPrimaryKey":true,"isUniqueKey":false,"name":"a","type":"int"}],"id":"e4","title":"H","x":380,"y":300}],"type":"er-diagram","unread":[7,2],"version":"1.0"})");
    QTest::newRow("the keyword past a long lead, after a near miss")
        << QString(4086, u'x') + " erDiagrams\nA\nerDiagram\nB ||--o{ C : x"
        << QByteArray(R"({"edges":[{"endCard":3,"from":"e0","id":"r0","label":"x","startCard":0,"to":"e1"}],"entities":[{"attributes":[],"id":"e0","title":"B","x":60,"y":60},{"attributes":[],"id":"e1","title":"C","x":380,"y":60}],"type":"er-diagram","unread":[0,0],"version":"1.0"})");
    QTest::newRow("carriage returns, a byte order mark and a fence far down")
        << QString(u'\xfeff') + QStringLiteral("note\r\n").repeated(1000)
               + "```mermaid\r\nerDiagram\r\nA ||--o{ B : x\r\n```\r\nC"
        << QByteArray(R"({"edges":[{"endCard":3,"from":"e0","id":"r0","label":"x","startCard":0,"to":"e1"}],"entities":[{"attributes":[],"id":"e0","title":"A","x":60,"y":60},{"attributes":[],"id":"e1","title":"B","x":380,"y":60}],"type":"er-diagram","unread":[0,0],"version":"1.0"})");
}

void TestMermaidSameDocument::readsTrickyTextsAsBefore()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, document);
    QCOMPARE(canonicalRead(text), document);
}

void TestMermaidSameDocument::readsTheSameInAnyNumberOfRuns_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("runCount");

    // Runs start at line starts inside blocks, aliases, directives and relationships that
    // span lines, and at lines that a statement before them has already read.
    const struct
    {
        int length;
        quint32 seed;
    } texts[] = {{3000, 4}, {50000, 5}, {400000, 6}};
    for (const auto &text : texts) {
        for (const int runs : {2, 3, 7, 16, 61}) {
            QTest::addRow("garbage, %d characters, seed %u, %d runs", text.length, text.seed, runs)
                << garbage(text.length, text.seed) << runs;
        }
    }
    const QString blocks = QStringLiteral("erDiagram\nA {\n  int a\n\n  int b\n}\n%%{ x\n\n}%%\nB\n"
                                          "||--o{\n\nA : x\nC[\"c\"] {\n  int c\n}\nc ||--|| a\nD {\n"
                                          "  string open \"}\n}\n");
    for (const int runs : {2, 5, 9, 40, 200})
        QTest::addRow("blocks, directives and lines split anywhere, %d runs", runs) << blocks << runs;
    QTest::newRow("a block that never closes")
        << QStringLiteral("erDiagram\nA {\n") + QStringLiteral("  int a\n  B ||--o{ C\n").repeated(500)
        << 8;
}

void TestMermaidSameDocument::readsTheSameInAnyNumberOfRuns()
{
    QFETCH(QString, text);
    QFETCH(int, runCount);
    QCOMPARE(canonicalRead(text, runCount), canonicalRead(text, 1));
}

QTEST_GUILESS_MAIN(TestMermaidSameDocument)
#include "tst_mermaidsamedocument.moc"
