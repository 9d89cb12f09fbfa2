#include "mermaidwriter.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QJsonObject attribute(const QString &name, const QString &type, bool pk = false, bool fk = false,
                      bool uk = false)
{
    return QJsonObject{{"name", name}, {"type", type}, {"isPrimaryKey", pk},
                       {"isForeignKey", fk}, {"isUniqueKey", uk}};
}

QJsonObject entity(const QString &id, const QJsonValue &title, const QJsonArray &attributes = {})
{
    return QJsonObject{{"id", id}, {"title", title}, {"x", 0}, {"y", 0}, {"attributes", attributes}};
}

QJsonObject edge(const QString &from, const QString &to, const QJsonValue &startCard,
                 const QJsonValue &endCard)
{
    QJsonObject object{{"id", from + "-" + to}, {"from", from}, {"to", to}};
    if (!startCard.isUndefined())
        object.insert("startCard", startCard);
    if (!endCard.isUndefined())
        object.insert("endCard", endCard);
    return object;
}

QJsonObject diagram(const QJsonArray &entities, const QJsonArray &edges = {})
{
    return QJsonObject{{"version", "1.0"}, {"type", "er-diagram"}, {"entities", entities},
                       {"edges", edges}, {"annotations", QJsonArray()}, {"dialect", "PostgreSQL"}};
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestMermaidWriter : public QObject
{
    Q_OBJECT

private slots:
    void namesEntities_data();
    void namesEntities();
    void repairsAttributeNamesAndTypes_data();
    void repairsAttributeNamesAndTypes();
    void writesKeyMarkersInOrder_data();
    void writesKeyMarkersInOrder();
    void writesTheWholeText();
    void writesAnEmptyDiagram();
    void writesRelationshipLines_data();
    void writesRelationshipLines();
    void leavesOutWhatCannotBeWritten();
    void readsWrongJsonTypesAsDefaults();
    void fencesMarkdownFiles_data();
    void fencesMarkdownFiles();
    void reportsWriteFailures_data();
    void reportsWriteFailures();
    void replacesALongerFile();
    void keepsTheOldFileWhenTheWriteFails();

private:
    QTemporaryDir tempDir;
};

void TestMermaidWriter::namesEntities_data()
{
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("declarations");

    QTest::newRow("case-only clash")
        << QStringList{"a", "b"} << QStringList{"Customer", "customer"}
        << QStringList{"Customer", "customer_2[\"customer\"]"};
    QTest::newRow("blank inside")
        << QStringList{"a"} << QStringList{"Order Line"} << QStringList{"Order_Line[\"Order Line\"]"};
    QTest::newRow("digit first")
        << QStringList{"a"} << QStringList{"2024 Sales"} << QStringList{"e2024_Sales[\"2024 Sales\"]"};
    QTest::newRow("reserved words")
        << QStringList{"a", "b", "c"} << QStringList{"class", "erDiagram", "Direction"}
        << QStringList{"class_[\"class\"]", "erDiagram_[\"erDiagram\"]", "Direction_[\"Direction\"]"};
    QTest::newRow("punctuation only")
        << QStringList{"a", "b", "c"} << QStringList{"!!!", "???", "()"}
        << QStringList{"Entity[\"!!!\"]", "Entity_2[\"???\"]", "Entity_3[\"()\"]"};
    QTest::newRow("quote, backslash and line break")
        << QStringList{"a", "b", "c"} << QStringList{"Say \"hi\" \\ now", "two\nlines", "Customer \"VIP\""}
        << QStringList{"Say_hi__now[\"Say 'hi'  now\"]", "two_lines[\"two lines\"]",
                       "Customer_VIP[\"Customer 'VIP'\"]"};
    QTest::newRow("percent signs")
        << QStringList{"a", "b"} << QStringList{"100% done", "%"}
        << QStringList{"e100_done[\"100 done\"]", "Entity"};
    QTest::newRow("non-ASCII")
        << QStringList{"a", "b"} << QStringList{QString::fromUtf8("Straße"), QString::fromUtf8("٣abc")}
        << QStringList{QString::fromUtf8("Straße"), QString::fromUtf8("e٣abc[\"٣abc\"]")};
    QTest::newRow("empty title uses the id")
        << QStringList{"c0ffee-1", "1b2c-3"} << QStringList{"", "   "}
        << QStringList{"c0ffee-1", "e1b2c-3[\"1b2c-3\"]"};
    QTest::newRow("snake_case, hyphens and leading underscore stay bare")
        << QStringList{"a", "b", "c"} << QStringList{"customer_order", "LINE-ITEM", "_private"}
        << QStringList{"customer_order", "LINE-ITEM", "_private"};
    QTest::newRow("leading hyphen")
        << QStringList{"a"} << QStringList{"-x"} << QStringList{"x[\"-x\"]"};
    QTest::newRow("title equal to a repaired name")
        << QStringList{"a", "b"} << QStringList{"Order Line", "Order_Line"}
        << QStringList{"Order_Line[\"Order Line\"]", "Order_Line_2[\"Order_Line\"]"};
    QTest::newRow("names equal under case folding")
        << QStringList{"a", "b"} << QStringList{QString::fromUtf8("σ"), QString::fromUtf8("ς")}
        << QStringList{QString::fromUtf8("σ"), QString::fromUtf8("ς_2[\"ς\"]")};
    QTest::newRow("surrounding blanks trimmed")
        << QStringList{"a"} << QStringList{"  Shop  "} << QStringList{"Shop"};
}

void TestMermaidWriter::namesEntities()
{
    QFETCH(QStringList, ids);
    QFETCH(QStringList, titles);
    QFETCH(QStringList, declarations);

    QJsonArray entities;
    for (int i = 0; i < ids.size(); ++i)
        entities.append(entity(ids.at(i), titles.at(i)));
    QString expected = QStringLiteral("erDiagram\n");
    for (const QString &declaration : declarations)
        expected += QLatin1String("    ") + declaration + QLatin1Char('\n');
    QCOMPARE(generateMermaidText(diagram(entities)), expected);
}

void TestMermaidWriter::repairsAttributeNamesAndTypes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("line"); // empty: the row is left out

    QTest::newRow("plain") << "id" << "int" << "int id";
    QTest::newRow("blanks") << "first name" << "character varying" << "character_varying first_name";
    QTest::newRow("comma in a type") << "amount" << "decimal(10,2)" << "decimal(10,2) amount";
    QTest::newRow("empty type") << "x" << "" << "string x";
    QTest::newRow("type of punctuation only") << "x" << "%%" << "string x";
    QTest::newRow("digit and underscore first")
        << "(x)" << "2fast" << "t2fast _(x)";
    QTest::newRow("underscore-first type") << "_y" << "_t" << "t_t _y";
    QTest::newRow("non-ASCII") << QString::fromUtf8("Größe") << QString::fromUtf8("número")
                               << QString::fromUtf8("número Größe");
    QTest::newRow("brackets and hyphen") << "tags[]" << "string[]" << "string[] tags[]";
    QTest::newRow("quotes and markup dropped") << "\"*nick*\"" << "varchar(40)" << "varchar(40) nick";
    QTest::newRow("digit-first name") << "1st" << "int" << "int 1st";
    QTest::newRow("surrounding blanks") << "  padded  " << "  text  " << "text padded";
    QTest::newRow("unusable name gets a generated one") << "#" << "int" << "int attribute_1";
    QTest::newRow("blank name") << "   " << "int" << "";
}

void TestMermaidWriter::repairsAttributeNamesAndTypes()
{
    QFETCH(QString, name);
    QFETCH(QString, type);
    QFETCH(QString, line);

    const QString text = generateMermaidText(
        diagram({entity("e", "T", {attribute(name, type), attribute("last", "int")})}));
    QString expected = QStringLiteral("erDiagram\n    T {\n");
    if (!line.isEmpty())
        expected += QLatin1String("        ") + line + QLatin1Char('\n');
    expected += QLatin1String("        int last\n    }\n");
    QCOMPARE(text, expected);
}

void TestMermaidWriter::writesKeyMarkersInOrder_data()
{
    QTest::addColumn<bool>("pk");
    QTest::addColumn<bool>("fk");
    QTest::addColumn<bool>("uk");
    QTest::addColumn<QString>("comment");
    QTest::addColumn<QString>("line");

    QTest::newRow("none") << false << false << false << "" << "int a";
    QTest::newRow("primary") << true << false << false << "" << "int a PK";
    QTest::newRow("primary and foreign") << true << true << false << "" << "int a PK, FK";
    QTest::newRow("foreign and unique") << false << true << true << "" << "int a FK, UK";
    QTest::newRow("all three") << true << true << true << "" << "int a PK, FK, UK";
    QTest::newRow("comment") << false << false << false << "shown on invoices"
                             << "int a \"shown on invoices\"";
    QTest::newRow("comment after markers, quote and line break repaired")
        << true << false << false << "say \"hi\"\ntwice {x} 5%" << "int a PK \"say 'hi' twice {x} 5%\"";
}

void TestMermaidWriter::writesKeyMarkersInOrder()
{
    QFETCH(bool, pk);
    QFETCH(bool, fk);
    QFETCH(bool, uk);
    QFETCH(QString, comment);
    QFETCH(QString, line);
    QJsonObject row = attribute("a", "int", pk, fk, uk);
    if (!comment.isEmpty())
        row.insert("comment", comment);
    QCOMPARE(generateMermaidText(diagram({entity("e", "T", {row})})),
             QStringLiteral("erDiagram\n    T {\n        ") + line + QStringLiteral("\n    }\n"));
}

void TestMermaidWriter::writesTheWholeText()
{
    QJsonObject view = entity("v", "Customer View", {attribute("email", "varchar(80)")});
    view.insert("kind", "entity-view");
    QJsonObject labelled = edge("c", "o", 0, 3);
    labelled.insert("label", "places");
    QJsonObject viewEdge = edge("c", "v", 0, 0);
    viewEdge.insert("kind", "entity-view-edge");

    const QJsonObject document = diagram(
        {entity("c", "Customer", {attribute("id", "int", true), attribute("email", "varchar(80)", false, false, true)}),
         entity("o", "Order", {attribute("id", "int", true), attribute("customer_id", "int", false, true)}),
         entity("n", "Note"), view},
        {labelled, edge("o", "n", 1, 2), viewEdge});

    QCOMPARE(generateMermaidText(document),
             QStringLiteral("erDiagram\n"
                            "    Customer {\n"
                            "        int id PK\n"
                            "        varchar(80) email UK\n"
                            "    }\n"
                            "    Order {\n"
                            "        int id PK\n"
                            "        int customer_id FK\n"
                            "    }\n"
                            "    Note\n"
                            "    Customer_View[\"Customer View\"] {\n"
                            "        varchar(80) email\n"
                            "    }\n"
                            "    Customer ||--o{ Order : \"places\"\n"
                            "    Order }|--o| Note : \"\"\n"));
}

void TestMermaidWriter::writesAnEmptyDiagram()
{
    QCOMPARE(generateMermaidText(QJsonObject()), QStringLiteral("erDiagram\n"));
    QCOMPARE(generateMermaidText(diagram({})), QStringLiteral("erDiagram\n"));

    const QString path = tempDir.filePath("empty.md");
    QVERIFY(writeMermaidFile(diagram({}), path, nullptr));
    QCOMPARE(contents(path), QByteArray("```mermaid\nerDiagram\n```\n"));
}

void TestMermaidWriter::writesRelationshipLines_data()
{
    QTest::addColumn<QJsonValue>("startCard");
    QTest::addColumn<QJsonValue>("endCard");
    QTest::addColumn<QJsonValue>("label");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QJsonValue>("identifying");

    const QJsonValue none(QJsonValue::Undefined);
    QTest::newRow("many to zero-or-one, no label") << QJsonValue(1) << QJsonValue(2) << none
                                                   << "    A }|--o| B : \"\"" << none;
    QTest::newRow("one to zero-or-many") << QJsonValue(0) << QJsonValue(3) << QJsonValue("has")
                                         << "    A ||--o{ B : \"has\"" << none;
    QTest::newRow("zero-or-one to one") << QJsonValue(2) << QJsonValue(0) << QJsonValue("x")
                                        << "    A |o--|| B : \"x\"" << none;
    QTest::newRow("zero-or-many to many") << QJsonValue(3) << QJsonValue(1) << none
                                          << "    A }o--|{ B : \"\"" << none;
    QTest::newRow("out of range") << QJsonValue(7) << QJsonValue(-1) << none
                                  << "    A }|--|{ B : \"\"" << none;
    QTest::newRow("missing") << none << none << none << "    A }|--|{ B : \"\"" << none;
    QTest::newRow("not integers") << QJsonValue("0") << QJsonValue(2.5) << QJsonValue(5)
                                  << "    A }|--|{ B : \"\"" << none;
    QTest::newRow("label with quote and backslash")
        << QJsonValue(0) << QJsonValue(0) << QJsonValue("say \"hi\" \\o/")
        << "    A ||--|| B : \"say 'hi' \\o/\"" << none;
    QTest::newRow("label with line break and comment marks")
        << QJsonValue(0) << QJsonValue(0) << QJsonValue("%%x\r\ny 50%")
        << "    A ||--|| B : \"%x  y 50%\"" << none;
    QTest::newRow("not identifying") << QJsonValue(0) << QJsonValue(3) << QJsonValue("may have")
                                     << "    A ||..o{ B : \"may have\"" << QJsonValue(false);
    QTest::newRow("identifying written out") << QJsonValue(0) << QJsonValue(3) << none
                                             << "    A ||--o{ B : \"\"" << QJsonValue(true);
}

void TestMermaidWriter::writesRelationshipLines()
{
    QFETCH(QJsonValue, startCard);
    QFETCH(QJsonValue, endCard);
    QFETCH(QJsonValue, label);
    QFETCH(QString, line);
    QFETCH(QJsonValue, identifying);

    QJsonObject link = edge("a", "b", startCard, endCard);
    if (!label.isUndefined())
        link.insert("label", label);
    if (!identifying.isUndefined())
        link.insert("identifying", identifying);
    const QString text = generateMermaidText(diagram({entity("a", "A"), entity("b", "B")}, {link}));
    QCOMPARE(text, QStringLiteral("erDiagram\n    A\n    B\n") + line + QLatin1Char('\n'));
}

void TestMermaidWriter::leavesOutWhatCannotBeWritten()
{
    QJsonObject viewEdge = edge("a", "b", 0, 0);
    viewEdge.insert("kind", "entity-view-edge");
    const QJsonObject document = diagram(
        {entity("", "NoId"), entity("a", "First", {attribute("old", "int")}), entity("b", "B"),
         entity("a", "Second", {attribute("new", "int")}), QJsonValue(42)},
        {edge("a", "missing", 0, 0), edge("", "b", 0, 0), viewEdge, edge("a", "b", 0, 3)});

    // A repeated id names one entity: the later one wins, and edges point at it.
    QCOMPARE(generateMermaidText(document),
             QStringLiteral("erDiagram\n"
                            "    B\n"
                            "    Second {\n"
                            "        int new\n"
                            "    }\n"
                            "    Second ||--o{ B : \"\"\n"));
}

void TestMermaidWriter::readsWrongJsonTypesAsDefaults()
{
    QJsonObject odd = entity("odd-1", 12);
    odd.insert("attributes", "not an array");
    QJsonObject rows = entity("r", "Rows", {QJsonValue(true), attribute("ok", "int")});
    const QJsonObject document{{"entities", QJsonArray{odd, rows}}, {"edges", "none"}};
    QCOMPARE(generateMermaidText(document),
             QStringLiteral("erDiagram\n    odd-1\n    Rows {\n        int ok\n    }\n"));
    QCOMPARE(generateMermaidText(QJsonObject{{"entities", 5}}), QStringLiteral("erDiagram\n"));
}

void TestMermaidWriter::fencesMarkdownFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("fenced");

    QTest::newRow(".md") << "d.md" << true;
    QTest::newRow(".MD") << "d2.MD" << true;
    QTest::newRow(".markdown") << "d.Markdown" << true;
    QTest::newRow(".mmd") << "d.mmd" << false;
    QTest::newRow(".txt") << "d.txt" << false;
    QTest::newRow("no suffix") << "d" << false;
}

void TestMermaidWriter::fencesMarkdownFiles()
{
    QFETCH(QString, file);
    QFETCH(bool, fenced);

    const QString path = tempDir.filePath(file);
    QString error = QStringLiteral("untouched");
    QVERIFY(writeMermaidFile(diagram({entity("s", QString::fromUtf8("Straße"))}), path, &error));
    QCOMPARE(error, QStringLiteral("untouched"));
    const QByteArray body = QString::fromUtf8("erDiagram\n    Straße\n").toUtf8();
    QCOMPARE(contents(path), fenced ? "```mermaid\n" + body + "```\n" : body);
}

void TestMermaidWriter::reportsWriteFailures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("error");

    const QString cannotWrite = QStringLiteral("Could not write the Mermaid file.");
    QFile regular(tempDir.filePath("regular.txt"));
    QVERIFY(regular.open(QIODevice::WriteOnly));
    regular.write("keep");
    regular.close();
    QDir(tempDir.path()).mkpath("folder.mmd");

    QTest::newRow("empty path") << QString() << QStringLiteral("No destination file was specified.");
    QTest::newRow("missing directory") << tempDir.filePath("no/such/dir/d.mmd") << cannotWrite;
    QTest::newRow("path is a directory") << tempDir.filePath("folder.mmd") << cannotWrite;
    QTest::newRow("path below a regular file") << tempDir.filePath("regular.txt/d.mmd") << cannotWrite;
}

void TestMermaidWriter::reportsWriteFailures()
{
    QFETCH(QString, path);
    QFETCH(QString, error);

    const QStringList before = QDir(tempDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QString got;
    QVERIFY(!writeMermaidFile(diagram({entity("a", "A")}), path, &got));
    QCOMPARE(got, error);
    QVERIFY(!writeMermaidFile(diagram({entity("a", "A")}), path, nullptr));

    // Nothing is created or left behind, and what was there stays as it was.
    QCOMPARE(QDir(tempDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QCOMPARE(contents(tempDir.filePath("regular.txt")), QByteArray("keep"));
    QVERIFY(QFileInfo(tempDir.filePath("folder.mmd")).isDir());
}

void TestMermaidWriter::replacesALongerFile()
{
    const QString path = tempDir.filePath("longer.mmd");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(4000, 'x'));
    old.close();

    QVERIFY(writeMermaidFile(diagram({entity("a", "A")}), path, nullptr));
    QCOMPARE(contents(path), QByteArray("erDiagram\n    A\n"));
}

void TestMermaidWriter::keepsTheOldFileWhenTheWriteFails()
{
    // A file size limit makes the write itself fail part-way, after the file was opened.
    const QString path = tempDir.filePath("kept.mmd");
    const QByteArray oldText("erDiagram\n    Previous\n");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(oldText);
    old.close();

    QJsonArray rows;
    for (int i = 0; i < 2000; ++i)
        rows.append(attribute(QStringLiteral("column_%1").arg(i), "varchar(40)"));
    const QJsonObject big = diagram({entity("a", "Big", rows)});

    struct rlimit saved;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    QString error;
    const bool written = writeMermaidFile(big, path, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!written);
    QCOMPARE(error, QStringLiteral("Could not write the Mermaid file."));
    QCOMPARE(contents(path), oldText);
    QCOMPARE(QDir(tempDir.path()).entryList({"kept.mmd*"}, QDir::Files), QStringList{"kept.mmd"});
}

QTEST_GUILESS_MAIN(TestMermaidWriter)
#include "tst_mermaidwriter.moc"
