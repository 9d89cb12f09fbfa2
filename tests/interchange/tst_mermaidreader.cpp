#include "mermaidreader.h"
#include "mermaidtestutil.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

using namespace mermaidtest;

class TestMermaidReader : public QObject
{
    Q_OBJECT

private slots:
    void readsFixtureFiles_data();
    void readsFixtureFiles();
    void readsStatements_data();
    void readsStatements();
    void stripsOnlyMarkup_data();
    void stripsOnlyMarkup();
    void normalisesFileText_data();
    void normalisesFileText();
    void reportsFailures_data();
    void reportsFailures();
    void leavesErrorUntouchedOnSuccess();
    void reportsLinesItCouldNotRead_data();
    void reportsLinesItCouldNotRead();
    void brokenRelationshipDeclaresFirstEntityOnly();
    void finishesOnRandomText();
    void finishesOnLongNameWithoutConnector();
    void readsOnSeveralThreadsAtOnce();

private:
    QString writeTemp(const QByteArray &bytes, const QString &name = QStringLiteral("in.mmd"));
    QTemporaryDir tempDir;
};

QString TestMermaidReader::writeTemp(const QByteArray &bytes, const QString &name)
{
    const QString path = tempDir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
    return path;
}

template<size_t N>
static QByteArray bytesOf(const char (&literal)[N])
{
    return QByteArray(literal, int(N - 1));
}

static bool readText(const QString &text, QStringList *entities, QStringList *relationships,
                     QString *error = nullptr)
{
    QList<MermaidEntity> e;
    QList<MermaidRelationship> r;
    if (!readMermaidText(text, &e, &r, error))
        return false;
    *entities = describeEntities(e);
    *relationships = describeRelationships(e, r);
    return true;
}

void TestMermaidReader::readsFixtureFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("entities");
    QTest::addColumn<QStringList>("relationships");

    QTest::newRow("front matter and the order example")
        << "customer_orders.mmd"
        << QStringList{"CUSTOMER", "ORDER", "LINE-ITEM", "DELIVERY-ADDRESS"}
        << QStringList{"CUSTOMER 0-3 ORDER : places", "ORDER 0-1 LINE-ITEM : contains",
                       "CUSTOMER 1..1 DELIVERY-ADDRESS : uses"};
    QTest::newRow("blocks with array and sized types")
        << "car_drivers.mmd"
        << QStringList{"CAR {string registrationNumber PK; string make; string model; string[] parts}",
                       "NAMED-DRIVER {string carRegistrationNumber PK FK; string driverLicence PK FK}",
                       "PERSON {string driversLicense PK \"The license #\"; "
                       "string(99) firstName \"Only 99 characters are allowed\"; string lastName; "
                       "string phone UK; int age}",
                       "MANUFACTURER"}
        << QStringList{"CAR 0-3 NAMED-DRIVER : allows", "PERSON 0-3 NAMED-DRIVER : is",
                       "MANUFACTURER 0-3 CAR : makes"};
    QTest::newRow("word forms with to and optionally to")
        << "word_forms.mmd"
        << QStringList{"CAR", "NAMED-DRIVER", "PERSON", "GARAGE", "OWNER"}
        << QStringList{"CAR 0-3 NAMED-DRIVER : allows", "PERSON 3..3 NAMED-DRIVER : is",
                       "OWNER 0-1 GARAGE : belongs to"};
    QTest::newRow("every symbol in both facings")
        << "all_symbols.mmd"
        << QStringList{"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N",
                       "P", "Q", "R", "S"}
        << QStringList{"A 0-0 B : one to one", "C 2-2 D : zero or one", "E 1-1 F : many",
                       "G 3-3 H", "I 3-3 J", "K 1..1 L", "M 2..2 N", "Q 0-3 P : reversed",
                       "R 0..1 S : non-identifying"};
    QTest::newRow("keys, comments and directives")
        << "keys_and_comments.mmd"
        << QStringList{"CUSTOMER {string name; string custNumber PK \"the customer number\"; "
                       "string(99) sector; string[] tags UK}",
                       "ORDER {int orderNumber PK; string customer_id FK \"links the customer\"; "
                       "string deliveryAddress \"PK, FK\"; int productCode PK FK; string priority PK; "
                       "string email FK UK \"contact\"}"}
        << QStringList{"CUSTOMER 0-3 ORDER : places"};
    QTest::newRow("aliases, class suffixes, style lines, quoted names")
        << "aliases_and_styles.mmd"
        << QStringList{"p[Person] {string firstName}", "a[Customer Account] {string email PK}",
                       "c[Company]", QString::fromUtf8("This ❤ Unicode"),
                       "This **is** _Markdown_[This is Markdown]"}
        << QStringList{"p 0-3 a : has",
                       QString::fromUtf8("This ❤ Unicode 0-0 This **is** _Markdown_ : quoted")};
    QTest::newRow("markdown with a mermaid fence")
        << "fenced_mermaid.md" << QStringList{"SHOP", "PRODUCT"}
        << QStringList{"SHOP 0-3 PRODUCT : sells"};
    QTest::newRow("markdown with an erDiagram fence")
        << "fenced_erdiagram.md" << QStringList{"AUTHOR", "BOOK"}
        << QStringList{"AUTHOR 1-1 BOOK : writes"};
}

void TestMermaidReader::readsFixtureFiles()
{
    QFETCH(QString, file);
    QFETCH(QStringList, entities);
    QFETCH(QStringList, relationships);

    QFile in(testsupport::dataPath(QStringLiteral("interchange/data/mermaid/") + file));
    QVERIFY(in.open(QIODevice::ReadOnly));
    QStringList gotEntities;
    QStringList gotRelationships;
    QString error;
    QVERIFY2(readText(QString::fromUtf8(in.readAll()), &gotEntities, &gotRelationships, &error),
             qPrintable(error));
    QCOMPARE(gotEntities, entities);
    QCOMPARE(gotRelationships, relationships);

    // The file entry point gives one entity object and one edge object per record.
    const QJsonObject document = parseMermaidFile(in.fileName(), &error);
    QCOMPARE(document.value("entities").toArray().size(), entities.size());
    QCOMPARE(document.value("edges").toArray().size(), relationships.size());
}

void TestMermaidReader::readsStatements_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("entities");
    QTest::addColumn<QStringList>("relationships");

    QTest::newRow("prose before the keyword")
        << "Some prose first.\nERDIAGRAM\nA ||--o{ B : x" << QStringList{"A", "B"}
        << QStringList{"A 0-3 B : x"};
    QTest::newRow("many-to-one reversed, later duplicate dropped")
        << "erDiagram\nORDER }o--|| CUSTOMER : places\nORDER }|..|| CUSTOMER\nCUSTOMER ||--|{ ORDER"
        << QStringList{"ORDER", "CUSTOMER"} << QStringList{"CUSTOMER 0-3 ORDER : places"};
    QTest::newRow("word forms")
        << "erDiagram\nA only one to zero or more B\nC 1 to 0+ D"
        << QStringList{"A", "B", "C", "D"} << QStringList{"A 0-3 B", "C 0-3 D"};
    QTest::newRow("alias then block by name")
        << "erDiagram\np[\"Person Record\"]\np {\n  string name\n}"
        << QStringList{"p[Person Record] {string name}"} << QStringList{};
    QTest::newRow("block headed by the title finds the aliased entity")
        << "erDiagram\np[\"Person Record\"]\n\"Person Record\" {\n  string name\n}"
        << QStringList{"p[Person Record] {string name}"} << QStringList{};
    QTest::newRow("new name beside an existing title is a new entity")
        << "erDiagram\np[\"Person Record\"]\nq[\"Person Record\"]\nq ||--o{ p : x"
        << QStringList{"p[Person Record]", "q[Person Record]"} << QStringList{"q 0-3 p : x"};
    QTest::newRow("titles differing only in case stay apart")
        << "erDiagram\nCustomer {\n  int id PK\n}\ncustomer_2[\"customer\"] {\n  int id PK\n}\n"
           "Customer ||--o{ Order : a\ncustomer_2 ||--o{ Order : b\ncustomer_2 ||--|| Customer"
        << QStringList{"Customer {int id PK}", "customer_2[customer] {int id PK}", "Order"}
        << QStringList{"Customer 0-3 Order : a", "customer_2 0-3 Order : b",
                       "customer_2 0-0 Customer"};
    QTest::newRow("snake_case names keep their underscores")
        << "erDiagram\nLINE_ITEM ||--|{ LINEITEM : x\nCUSTOMER_ORDER\n__init__\n__meta__ ||--o{ _x_ : y"
        << QStringList{"LINE_ITEM", "LINEITEM", "CUSTOMER_ORDER", "__init__", "__meta__", "_x_"}
        << QStringList{"LINE_ITEM 0-1 LINEITEM : x", "__meta__ 0-3 _x_ : y"};
    QTest::newRow("markup is stripped from aliases and shown quoted names only")
        << "erDiagram\n__a__[\"__Shown__ **bold**\"]\n\"*Quoted* name\" ||--|| __a__"
        << QStringList{"__a__[Shown bold]", "*Quoted* name[Quoted name]"}
        << QStringList{"*Quoted* name 0-0 __a__"};
    QTest::newRow("names differing only in case are two entities")
        << "erDiagram\nUser {\n  int id PK\n}\nUSER {\n  int id PK\n  string role\n}\n"
           "User ||--o{ Post : writes\nUSER ||--o{ Post : moderates"
        << QStringList{"User {int id PK}", "USER {int id PK; string role}", "Post"}
        << QStringList{"User 0-3 Post : writes", "USER 0-3 Post : moderates"};
    QTest::newRow("an alias written in other case finds its entity")
        << "erDiagram\np[\"Person Record\"]\n\"PERSON RECORD\" {\n  string name\n}\nPerson ||--o{ p : x"
        << QStringList{"p[Person Record] {string name}", "Person"} << QStringList{"Person 0-3 p : x"};
    QTest::newRow("entities named like the direction word")
        << "erDiagram\ndirection LR\ndirections {\n  string a\n}\ndirection_log ||--o{ directions : x\n"
           "DIRECTION TB\nZ\ndirection"
        << QStringList{"directions {string a}", "direction_log", "Z"}
        << QStringList{"direction_log 0-3 directions : x"};
    QTest::newRow("attribute markers and comments")
        << "erDiagram\nT {\n  string email UK, FK \"comment PK\"\n  string *id\n"
           "  x\n  string y unknown PK\n}"
        << QStringList{"T {string email FK UK \"comment PK\"; string id PK; string y PK}"}
        << QStringList{};
    QTest::newRow("markers joined by commas with or without blanks")
        << "erDiagram\nT {\n  int a PK,FK\n  int b PK , UK\n  int c fk,uk \"x\"\n  int d PK,\n}"
        << QStringList{"T {int a PK FK; int b PK UK; int c FK UK \"x\"; int d PK}"} << QStringList{};
    QTest::newRow("closing brace in a quoted comment stays in the comment")
        << "erDiagram\nT {\n  string code \"format {x}\"\n  int n\n}\nU {\n  string no "
           "\"INV-{year}-{seq}\"\n}"
        << QStringList{"T {string code \"format {x}\"; int n}", "U {string no \"INV-{year}-{seq}\"}"}
        << QStringList{};
    QTest::newRow("comment marks inside a quoted comment are text")
        << "erDiagram\nT {\n  int rate \"50%% off\" PK\n}"
        << QStringList{"T {int rate \"50%% off\"}"} << QStringList{};
    QTest::newRow("an unclosed comment quote ends at its line")
        << "erDiagram\nT {\n  string a \"open } here\n  int b\n}\nU"
        << QStringList{"T {string a \"open } here\"; int b}", "U"} << QStringList{};
    QTest::newRow("another label for the same pair is another relationship")
        << "erDiagram\nAIRPORT ||--o{ FLIGHT : \"departs from\"\nAIRPORT ||--o{ FLIGHT : \"arrives at\"\n"
           "FLIGHT }o--|| AIRPORT : \"Departs From\"\nAIRPORT ||--o{ FLIGHT"
        << QStringList{"AIRPORT", "FLIGHT"}
        << QStringList{"AIRPORT 0-3 FLIGHT : departs from", "AIRPORT 0-3 FLIGHT : arrives at"};
    QTest::newRow("a label after an unlabelled line for the pair is kept")
        << "erDiagram\nA ||--o{ B\nA ||--o{ B : x\nB }o--|| A"
        << QStringList{"A", "B"} << QStringList{"A 0-3 B", "A 0-3 B : x"};
    QTest::newRow("non-identifying connectors")
        << "erDiagram\nA ||..o{ B : x\nC only one optionally to zero or more D\nE one or more to one or more F"
        << QStringList{"A", "B", "C", "D", "E", "F"}
        << QStringList{"A 0..3 B : x", "C 0..3 D", "E 1-1 F"};
    QTest::newRow("a relationship inside a block reads as an attribute")
        << "erDiagram\nT {\n  A ||--o{ B : x\n}" << QStringList{"T {A ||--o{}"} << QStringList{};
    QTest::newRow("style, classDef and class lines are skipped")
        << "erDiagram\nstyle A fill:#f9f\nclassDef foo fill:#f96\nclass A foo\nB"
        << QStringList{"B"} << QStringList{};
    QTest::newRow("class used as an entity name in a relationship")
        << "erDiagram\nclass ||--o{ B : x" << QStringList{"class", "B"}
        << QStringList{"class 0-3 B : x"};
    QTest::newRow("class suffix before and after an alias")
        << "erDiagram\na:::foo[\"Account\"]\nb[Bank]:::bar\nc:::baz {\n  int id\n}"
        << QStringList{"a[Account]", "b[Bank]", "c {int id}"} << QStringList{};
    QTest::newRow("comments and directives everywhere")
        << "erDiagram\n%% c\nA {\n%% c2\n  string x %% trailing }\n%%{init: {}}%%\n  int y\n}\n"
           "%%{init: {\"a\": 1}}%%\nA ||--|| B"
        << QStringList{"A {string x; int y}", "B"} << QStringList{"A 0-0 B"};
    QTest::newRow("quoted label ends at its quote")
        << "erDiagram\nA ||--|| B : \"the label\"\nC" << QStringList{"A", "B", "C"}
        << QStringList{"A 0-0 B : the label"};
    QTest::newRow("undeclared entities are created")
        << "erDiagram\nA }|--|{ B\nB ||--o| C" << QStringList{"A", "B", "C"}
        << QStringList{"A 1-1 B", "B 0-2 C"};
    QTest::newRow("unterminated block runs to the end")
        << "erDiagram\nA {\n  string x\n  int y" << QStringList{"A {string x; int y}"}
        << QStringList{};
    QTest::newRow("unterminated directive runs to the end")
        << "erDiagram\nA\n%%{init: B" << QStringList{"A"} << QStringList{};
}

void TestMermaidReader::readsStatements()
{
    QFETCH(QString, text);
    QFETCH(QStringList, entities);
    QFETCH(QStringList, relationships);

    QStringList gotEntities;
    QStringList gotRelationships;
    QString error;
    QVERIFY2(readText(text, &gotEntities, &gotRelationships, &error), qPrintable(error));
    QCOMPARE(gotEntities, entities);
    QCOMPARE(gotRelationships, relationships);
}

void TestMermaidReader::stripsOnlyMarkup_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("result");

    QTest::newRow("snake_case") << "CUSTOMER_ORDER" << "CUSTOMER_ORDER";
    QTest::newRow("bold") << "**Customer**" << "Customer";
    QTest::newRow("bold and emphasis") << "This **is** _Markdown_" << "This is Markdown";
    QTest::newRow("leading underscore") << "_private" << "_private";
    QTest::newRow("double underscore pair") << "__init__" << "init";
    QTest::newRow("inner double underscore") << "a__b" << "a__b";
    QTest::newRow("backquotes") << "`code`" << "code";
    QTest::newRow("unequal runs do not pair") << "_a__" << "_a__";
    QTest::newRow("three underscores never pair") << "___x___" << "___x___";
    QTest::newRow("blanks trimmed") << "  *x*  " << "x";
    QTest::newRow("each opening run takes the nearest free closing run")
        << "_a _b_ c_" << "a b c";
    QTest::newRow("a closing run before the opening one stays") << "x_ _a" << "x_ _a";
    QTest::newRow("runs of one and two pair apart") << "__a _b_ c__" << "a b c";
    QTest::newRow("opening runs outnumber closing ones") << "_a _b _c d_" << "a _b _c d";
}

void TestMermaidReader::stripsOnlyMarkup()
{
    QFETCH(QString, input);
    QFETCH(QString, result);
    QCOMPARE(stripMermaidMarkup(input), result);
}

void TestMermaidReader::normalisesFileText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("entities");

    QTest::newRow("byte-order marks anywhere")
        << QByteArray("\xEF\xBB\xBF" "erDiagram\nA\xEF\xBB\xBF" "B ||--|| C") << QStringList{"AB", "C"};
    QTest::newRow("CRLF line ends")
        << QByteArray("erDiagram\r\nA {\r\n  string x PK\r\n  int y\r\n}\r\nB")
        << QStringList{"A {string x PK; int y}", "B"};
    QTest::newRow("CR-only line ends")
        << QByteArray("erDiagram\rA {\r  string x\r}\r%% note\rB") << QStringList{"A {string x}", "B"};
    QTest::newRow("front matter is dropped")
        << QByteArray("---\ntitle: my erDiagram\nconfig: x\n---\nerDiagram\nB") << QStringList{"B"};
    QTest::newRow("front matter without its closing marker stays")
        << QByteArray("---\ntitle: T\nerDiagram\nA") << QStringList{"A"};
}

void TestMermaidReader::normalisesFileText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, entities);

    QString error;
    const QJsonObject document = parseMermaidFile(writeTemp(bytes), &error);
    QVERIFY2(!document.isEmpty(), qPrintable(error));
    QStringList titles;
    for (const QJsonValue &entity : document.value("entities").toArray())
        titles.append(entity.toObject().value("title").toString());
    QStringList expectedTitles;
    for (QString e : entities)
        expectedTitles.append(e.section(QLatin1String(" {"), 0, 0));
    QCOMPARE(titles, expectedTitles);

    // Rows survive the line-end repair too.
    if (entities.first().contains(QLatin1String(" {"))) {
        const QJsonArray rows =
            document.value("entities").toArray().first().toObject().value("attributes").toArray();
        QCOMPARE(rows.size(), int(entities.first().count(QLatin1Char(';')) + 1));
    }
}

void TestMermaidReader::reportsFailures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("error");

    const QString notFound = QStringLiteral("No Mermaid erDiagram was found in the file.");
    const QString noEntities = QStringLiteral("The Mermaid file does not define any ER entities.");
    const QString cannotOpen = QStringLiteral("Could not open the Mermaid file.");

    QTest::newRow("missing file") << tempDir.filePath("missing.mmd") << cannotOpen;
    QTest::newRow("directory") << tempDir.path() << cannotOpen;
    QTest::newRow("empty file") << writeTemp("", "empty.mmd") << notFound;
    QTest::newRow("keyword only as part of a word")
        << writeTemp("erDiagrams are diagrams\nA ||--o{ B", "word.mmd") << notFound;
    QTest::newRow("keyword with nothing after it") << writeTemp("erDiagram", "bare.mmd") << noEntities;
    QTest::newRow("only comments and directives")
        << writeTemp("erDiagram\n%% nothing\n%%{init: {}}%%\ndirection TB\n", "comments.mmd")
        << noEntities;
    QTest::newRow("nothing but text that is no Mermaid")
        << writeTemp(bytesOf("erDiagram\n\x7f" "ELF\x02\x01\x01\x00\n\xff\xd8\xff\xe0"), "binary.mmd")
        << noEntities;
    QTest::newRow("first fence without erDiagram")
        << testsupport::dataPath("interchange/data/mermaid/first_fence_not_er.md") << notFound;
}

void TestMermaidReader::reportsFailures()
{
    QFETCH(QString, path);
    QFETCH(QString, error);

    QString got;
    QVERIFY(parseMermaidFile(path, &got).isEmpty());
    QCOMPARE(got, error);
    QVERIFY(parseMermaidFile(path, nullptr).isEmpty());
}

void TestMermaidReader::leavesErrorUntouchedOnSuccess()
{
    QString error = QStringLiteral("unchanged");
    const QJsonObject document = parseMermaidFile(writeTemp("erDiagram\nA", "ok.mmd"), &error);
    QCOMPARE(document.value("entities").toArray().size(), 1);
    QCOMPARE(error, QStringLiteral("unchanged"));
}

void TestMermaidReader::reportsLinesItCouldNotRead_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("entities");
    QTest::addColumn<int>("unreadLines");
    QTest::addColumn<int>("firstUnreadLine");

    QTest::newRow("a whole file reports nothing")
        << QByteArray("erDiagram\n%% c\n%%{init: {}}%%\ndirection LR\nstyle A fill:#f9f\n"
                      "A ||--o{ B : x\nB {\n  int id PK \"c\"\n\n}")
        << QStringList{"A", "B {int id PK \"c\"}"} << 0 << 0;
    QTest::newRow("a relationship that breaks off")
        << QByteArray("erDiagram\nA\nB ||--\nC ||--o{ : x") << QStringList{"A", "B", "C"} << 2 << 3;
    QTest::newRow("a quoted name left open stays on its line")
        << QByteArray("erDiagram\nA\n\"Open name ||--o{ B\nC ||--o{ D : x")
        << QStringList{"A", "C", "D"} << 1 << 3;
    QTest::newRow("an alias left open stays on its line")
        << QByteArray("erDiagram\nA[Long title\nB[\"Quoted\nC") << QStringList{"A", "B", "C"} << 2 << 2;
    QTest::newRow("a block that never closes counts at its opening")
        << QByteArray("erDiagram\nZ\nA {\n  string x\n  int") << QStringList{"Z", "A {string x}"} << 2 << 3;
    QTest::newRow("stray characters and an attribute line without a name")
        << QByteArray("erDiagram\nA\n} ;\nT {\n  int\n  string a\n}")
        << QStringList{"A", "T {string a}"} << 2 << 3;
    QTest::newRow("text that is no Mermaid: control characters and bytes that are not UTF-8")
        << QByteArray("erDiagram\nA ||--o{ B : x\n\x01\x02 junk\nC \xFF\xFE D\nE X\xED\xA0\x80Y\nF")
        << QStringList{"A", "B", "F"} << 3 << 3;
    QTest::newRow("NUL bytes")
        << bytesOf("erDiagram\nA\nB\x00" "C ||--|| D") << QStringList{"A"} << 1 << 3;
    QTest::newRow("numbers count front matter, prose and the fence, CRLF as one break")
        << QByteArray("---\r\ntitle: t\r\n---\r\n# Doc\r\n```mermaid\r\nerDiagram\r\nA\r\nB ||--\r\n```\r\n")
        << QStringList{"A", "B"} << 1 << 8;
    QTest::newRow("a Markdown fence that never closes")
        << QByteArray("# Doc\n\n```mermaid\nerDiagram\nA ||--o{ B : x\nB {\n  int id")
        << QStringList{"A", "B {int id}"} << 2 << 3;
    QTest::newRow("a Markdown fence that never closes around a whole diagram")
        << QByteArray("# Doc\n```mermaid\nerDiagram\nA ||--o{ B : x\n")
        << QStringList{"A", "B"} << 1 << 2;
    QTest::newRow("a directive that never closes takes the rest of the text")
        << QByteArray("erDiagram\nA\n%%{init: {\n\nB ||--o{ C : x\n  D\n")
        << QStringList{"A"} << 3 << 3;
    QTest::newRow("a directive that never closes inside a block")
        << QByteArray("erDiagram\nA {\n  int a\n%%{ x\n  int b\n}\nB")
        << QStringList{"A {int a}"} << 5 << 2;
    QTest::newRow("a directive that never closes after an alias")
        << QByteArray("erDiagram\nA[\"a\"] %%{ x\nB")
        << QStringList{"A[a]"} << 2 << 2;
    QTest::newRow("a directive opened inside a quoted label or comment line is text")
        << QByteArray("erDiagram\nA ||--o{ B : \"%%{ x\"\n%% note %%{\nC")
        << QStringList{"A", "B", "C"} << 0 << 0;
    QTest::newRow("names and labels longer than the bound are cut")
        << (QByteArray("erDiagram\n") + QByteArray(1500, 'n') + " ||--o{ B : " + QByteArray(1200, 'l')
            + "\nB {\n  " + QByteArray(1100, 't') + " ok\n}\nC")
        << QStringList{QString(1000, u'n'), "B {" + QString(1000, u't') + " ok}", "C"} << 2 << 2;
}

void TestMermaidReader::reportsLinesItCouldNotRead()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, entities);
    QFETCH(int, unreadLines);
    QFETCH(int, firstUnreadLine);

    QList<MermaidEntity> read;
    MermaidReadReport report;
    QString error;
    QVERIFY2(readMermaidText(QString::fromUtf8(bytes), &read, nullptr, &error, &report), qPrintable(error));
    QCOMPARE(describeEntities(read), entities);
    QCOMPARE(report.unreadLines, unreadLines);
    QCOMPARE(report.firstUnreadLine, firstUnreadLine);

    // The file entry point hands the same report on.
    MermaidReadReport fromFile;
    QVERIFY(!parseMermaidFile(writeTemp(bytes, QStringLiteral("report.md")), &error, &fromFile).isEmpty());
    QCOMPARE(fromFile.unreadLines, unreadLines);
    QCOMPARE(fromFile.firstUnreadLine, firstUnreadLine);
}

void TestMermaidReader::brokenRelationshipDeclaresFirstEntityOnly()
{
    // Symbol and word forms may not be mixed; a cardinality without connector or second
    // name breaks off too. None of them adds a relationship, a suffix of the first name or
    // an entity from the rest of the line.
    QStringList entities;
    QStringList relationships;
    QVERIFY(readText("erDiagram\nFIRST ||--zero or more B", &entities, &relationships));
    QCOMPARE(entities.first(), QStringLiteral("FIRST"));
    QVERIFY(relationships.isEmpty());

    QVERIFY(readText("erDiagram\nABCD || x\nE", &entities, &relationships));
    QCOMPARE(entities, (QStringList{"ABCD", "E"}));
    QVERIFY(relationships.isEmpty());

    QVERIFY(readText("erDiagram\nABCD ||--o{ : x", &entities, &relationships));
    QCOMPARE(entities, (QStringList{"ABCD"}));
    QVERIFY(relationships.isEmpty());
}

static QString randomText(int bytes, quint32 seed)
{
    static const char *const pieces[] = {"CUSTOMER", "o{", "||", "--", "..", "{", "}", "[",
                                      "]", "\"", ":", "%%", "%%{", "}%%", "to", "1",
                                      "direction", "style", "*", "_", "`", ":::", "\n",
                                      "zero or more", "PK", "string", "é", "|"};
    QRandomGenerator random(seed);
    QString text = QStringLiteral("erDiagram\n");
    text.reserve(bytes + 64);
    while (text.size() < bytes) {
        if (random.bounded(3) == 0) {
            for (int i = random.bounded(1, 9); i > 0; --i)
                text += QChar(u'a' + random.bounded(26));
        } else {
            text += QLatin1String(pieces[random.bounded(int(std::size(pieces)))]);
        }
        text += random.bounded(4) == 0 ? QLatin1Char('\n') : QLatin1Char(' ');
    }
    return text;
}

void TestMermaidReader::finishesOnRandomText()
{
    for (quint32 seed : {1u, 2u, 3u}) {
        QList<MermaidEntity> entities;
        QList<MermaidRelationship> relationships;
        readMermaidText(randomText(400000, seed), &entities, &relationships, nullptr);
        const QJsonObject document = buildMermaidDiagramJson(entities, relationships);
        QCOMPARE(document.value("entities").toArray().size(), entities.size());
    }
}

void TestMermaidReader::finishesOnLongNameWithoutConnector()
{
    // Re-reading a long name from each of its characters would take quadratic time and memory.
    const QString text = QStringLiteral("erDiagram\n") + QString(300000, u'A') + QStringLiteral(" || x");
    QList<MermaidEntity> entities;
    QVERIFY(readMermaidText(text, &entities, nullptr, nullptr));
    QCOMPARE(entities.size(), 1);
}

void TestMermaidReader::readsOnSeveralThreadsAtOnce()
{
    // The import runs on a worker thread; several at once share only the compiled patterns.
    const QString path = testsupport::dataPath("interchange/data/mermaid/fenced_mermaid.md");
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                QString error;
                if (parseMermaidFile(path, &error).value("edges").toArray().size() != 1)
                    ++failures;
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    QCOMPARE(failures.load(), 0);
}

QTEST_GUILESS_MAIN(TestMermaidReader)
#include "tst_mermaidreader.moc"
