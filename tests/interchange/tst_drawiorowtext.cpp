#include "drawioreader.h"
#include "drawiosummary.h"

#include <QtTest>

namespace {

DrawioCell makeCell(const QString &id, const QString &parent, const QString &value,
                    double x = 0, double y = 0, const QString &style = QString())
{
    DrawioCell cell;
    cell.id = id;
    cell.parent = parent;
    cell.value = value;
    cell.x = x;
    cell.y = y;
    cell.style = style;
    cell.vertex = true;
    return cell;
}

const QString kTableStyle = QStringLiteral("shape=table;childLayout=tableLayout;");
const QString kRowStyle = QStringLiteral("shape=tableRow;");

} // namespace

class TestDrawioRowText : public QObject
{
    Q_OBJECT

private slots:
    void attributeLabelsAreRead_data();
    void attributeLabelsAreRead();
    void rowTextOrdersChildrenByPosition();
    void fontStyleAndWrappersSetKeys_data();
    void fontStyleAndWrappersSetKeys();
    void onlyTheTitleCellIsSkipped_data();
    void onlyTheTitleCellIsSkipped();
    void deepParentChainIsWalkedWithoutRecursion();
    void parentLoopsEnd();
};

void TestDrawioRowText::attributeLabelsAreRead_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("keys");

    QTest::newRow("colon and key") << "id : INTEGER PK" << "id" << "INTEGER" << "P";
    QTest::newRow("key in parentheses") << "id INT (PK)" << "id" << "INT" << "P";
    QTest::newRow("key with comma") << "PK, id" << "id" << "" << "P";
    QTest::newRow("pkey any case") << "pKey code" << "code" << "" << "P";
    QTest::newRow("numbered foreign key") << "FK2 owner_id" << "owner_id" << "" << "F";
    QTest::newRow("fk and letter is a word") << "FKx owner_id" << "FKx" << "owner_id" << "";
    QTest::newRow("three words") << "price NUMERIC 10" << "price" << "NUMERIC 10" << "";
    QTest::newRow("uq after name") << "email UQ" << "email" << "" << "U";
    QTest::newRow("unique is a word") << "email text UNIQUE" << "email" << "text UNIQUE" << "";
    QTest::newRow("separator word") << "PK | id" << "|" << "id" << "P";
    QTest::newRow("only a key word") << "PK" << "" << "" << "P";
    QTest::newRow("colon splits first") << "a: b: c" << "a" << "b: c" << "";
    QTest::newRow("html with keys") << "<b>FK</b>&nbsp;<i>uk</i> ref_id:&nbsp;UUID" << "ref_id" << "UUID" << "FU";
    QTest::newRow("line breaks become blanks") << "name<br>TEXT" << "name" << "TEXT" << "";
    QTest::newRow("empty") << "  " << "" << "" << "";
}

void TestDrawioRowText::attributeLabelsAreRead()
{
    QFETCH(QString, text);
    QFETCH(QString, name);
    QFETCH(QString, type);
    QFETCH(QString, keys);
    const DrawioRow row = parseAttributeLabel(text, 7.5);
    QCOMPARE(row.name, name);
    QCOMPARE(row.type, type);
    QString actualKeys;
    if (row.isPrimaryKey)
        actualKeys += QLatin1Char('P');
    if (row.isForeignKey)
        actualKeys += QLatin1Char('F');
    if (row.isUniqueKey)
        actualKeys += QLatin1Char('U');
    QCOMPARE(actualKeys, keys);
    QCOMPARE(row.sortY, 7.5);
}

void TestDrawioRowText::rowTextOrdersChildrenByPosition()
{
    const QList<DrawioCell> cells{
        makeCell("row", "t", "", 0, 30, kRowStyle),
        makeCell("type", "row", "INT", 100, 0),
        makeCell("name", "row", "<b>id</b>", 30, 0),
        makeCell("key", "row", "PK", 0, 0),
        makeCell("below", "row", "NOT NULL", 0, 5),
        makeCell("nested", "name", "inner", 0, 0),
        makeCell("empty", "row", "<br>", 0, 1),
    };
    QCOMPARE(cellTextWithDescendants(cells.first(), cells), QStringLiteral("PK id inner INT NOT NULL"));

    QStringList labels;
    collectDescendantLabels(cells.first(), cells, &labels);
    QCOMPARE(labels, (QStringList{"PK", "id", "inner", "INT", "NOT NULL"}));
}

void TestDrawioRowText::fontStyleAndWrappersSetKeys_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<bool>("wrapperUnique");
    QTest::addColumn<QString>("expected");
    QTest::newRow("underline") << "fontStyle=4;" << false << "id:INT PK";
    QTest::newRow("underline and italic") << "fontStyle=6;" << false << "id:INT PK FK";
    QTest::newRow("bold") << "fontStyle=1;" << false << "id:INT";
    QTest::newRow("not a number") << "fontStyle=x;" << false << "id:INT";
    QTest::newRow("wrapper unique") << "" << true << "id:INT UK";
}

void TestDrawioRowText::fontStyleAndWrappersSetKeys()
{
    QFETCH(QString, style);
    QFETCH(bool, wrapperUnique);
    QFETCH(QString, expected);
    DrawioCell text = makeCell("a", "t", "id INT", 0, 30, QStringLiteral("text;html=1;") + style);
    text.unique = wrapperUnique;
    const QList<DrawioCell> cells{makeCell("t", "1", "T", 0, 0, kTableStyle), text};
    QCOMPARE(summarizeDrawioDocument(buildDrawioDiagramJson(cells)),
             QStringList{QStringLiteral("T @0,0 [") + expected + QLatin1Char(']')});
}

void TestDrawioRowText::onlyTheTitleCellIsSkipped_data()
{
    QTest::addColumn<QList<DrawioCell>>("cells");
    QTest::addColumn<QString>("expected");

    const QString stack = QStringLiteral("swimlane;childLayout=stackLayout;");
    const QString text = QStringLiteral("text;html=1;");
    QTest::newRow("row cells carrying the title's text are rows")
        << QList<DrawioCell>{makeCell("t", "1", "Orders", 0, 0, kTableStyle),
                             makeCell("r0", "t", "ORDERS", 0, 0, kRowStyle),
                             makeCell("r1", "t", "PK orders", 0, 30, kRowStyle),
                             makeCell("r2", "t", "id", 0, 60, kRowStyle)}
        << "Orders @0,0 [ORDERS:; orders: PK; id:]";
    QTest::newRow("a column named like its table")
        << QList<DrawioCell>{makeCell("t", "1", "country", 0, 0, kTableStyle),
                             makeCell("r0", "t", "", 0, 30, kRowStyle),
                             makeCell("k0", "r0", "PK", 0, 0),
                             makeCell("c0", "r0", "country_id : INT", 48, 0),
                             makeCell("r1", "t", "", 0, 60, kRowStyle),
                             makeCell("k1", "r1", "", 0, 0),
                             makeCell("c1", "r1", "country : VARCHAR(50)", 48, 0)}
        << "country @0,0 [country_id:INT PK; country:VARCHAR(50)]";
    QTest::newRow("topmost loose text repeating the title is the title cell")
        << QList<DrawioCell>{makeCell("t", "1", "Orders", 0, 0, stack),
                             makeCell("h", "t", "orders", 0, 0, text),
                             makeCell("a", "t", "orders : TEXT", 0, 30, text),
                             makeCell("b", "t", "ORDERS", 0, 60, text)}
        << "Orders @0,0 [orders:TEXT; ORDERS:]";
}

void TestDrawioRowText::onlyTheTitleCellIsSkipped()
{
    QFETCH(QList<DrawioCell>, cells);
    QFETCH(QString, expected);
    QCOMPARE(summarizeDrawioDocument(buildDrawioDiagramJson(cells)), QStringList{expected});
}

void TestDrawioRowText::deepParentChainIsWalkedWithoutRecursion()
{
    const int depth = 100000;
    QList<DrawioCell> cells;
    cells.reserve(depth + 2);
    cells.append(makeCell("t", "1", "Deep", 0, 0, kTableStyle));
    cells.append(makeCell("row", "t", "", 0, 30, kRowStyle));
    QString parent = QStringLiteral("row");
    for (int i = 0; i < depth; ++i) {
        const QString id = QStringLiteral("c%1").arg(i);
        cells.append(makeCell(id, parent, i == 0 ? QStringLiteral("name") : (i == depth - 1 ? QStringLiteral("TEXT") : QString())));
        parent = id;
    }
    QCOMPARE(cellTextWithDescendants(cells.at(1), cells), QStringLiteral("name TEXT"));
    QCOMPARE(summarizeDrawioDocument(buildDrawioDiagramJson(cells)),
             QStringList{QStringLiteral("Deep @0,0 [name:TEXT]")});
}

void TestDrawioRowText::parentLoopsEnd()
{
    // The row's parent lies below it, and a repeated id makes a cell its own child.
    const QList<DrawioCell> cells{
        makeCell("row", "y", "R", 0, 0, kRowStyle),
        makeCell("x", "row", "X", 0, 0),
        makeCell("y", "x", "Y", 0, 0),
        makeCell("a", "row", "A1", 0, 1),
        makeCell("a", "a", "A2", 0, 0),
        makeCell("self", "self", "S", 0, 0),
    };
    QCOMPARE(cellTextWithDescendants(cells.at(0), cells), QStringLiteral("R X Y A1 A2"));
    QCOMPARE(cellTextWithDescendants(cells.at(5), cells), QStringLiteral("S"));
    // The row makes its parent a table, although that parent lies inside the row.
    QCOMPARE(summarizeDrawioDocument(buildDrawioDiagramJson(cells)),
             QStringList{QStringLiteral("Y @0,0 [R:X Y A1 A2]")});
}

QTEST_GUILESS_MAIN(TestDrawioRowText)
#include "tst_drawiorowtext.moc"
