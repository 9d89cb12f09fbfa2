#include "drawioreader.h"

#include <QtTest>

class TestDrawioStyle : public QObject
{
    Q_OBJECT

private slots:
    void styleValueReadsTrimmedSettings_data();
    void styleValueReadsTrimmedSettings();
    void shapesAreClassified_data();
    void shapesAreClassified();
    void partialRectangleIsARowOnlyWithChildren();
};

void TestDrawioStyle::styleValueReadsTrimmedSettings_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("blanks around") << "rounded=0; fontStyle = 4 ;html=1" << "fontStyle" << "4";
    QTest::newRow("other letter case") << "fontStyle=4;" << "fontstyle" << "";
    QTest::newRow("set twice") << "endArrow=ERone;endArrow=ERmany;" << "endArrow" << "ERmany";
    QTest::newRow("bare word") << "swimlane;html=1;" << "swimlane" << "";
    QTest::newRow("leading equals") << "=x;a=1" << "" << "";
    QTest::newRow("leading equals any key") << "=x;a=1" << "a" << "1";
    QTest::newRow("value with equals") << "image=data:a=b;" << "image" << "data:a=b";
    QTest::newRow("empty value") << "shape=;" << "shape" << "";
    QTest::newRow("missing") << "html=1" << "shape" << "";
    QTest::newRow("empty style") << "" << "shape" << "";
}

void TestDrawioStyle::styleValueReadsTrimmedSettings()
{
    QFETCH(QString, style);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(styleValue(style, key), expected);
}

void TestDrawioStyle::shapesAreClassified_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<bool>("table");
    QTest::addColumn<bool>("row");
    QTest::addColumn<bool>("partialRectangle");
    QTest::addColumn<bool>("relationship");

    QTest::newRow("table shape") << "shape=table;childLayout=tableLayout;" << true << false << false << false;
    QTest::newRow("er entity any case") << "shape=MxGraph.ER.Entity;" << true << false << false << false;
    QTest::newRow("er entity2") << "shape=mxgraph.er.entity2;" << true << false << false << false;
    QTest::newRow("list") << "shape=list;" << true << false << false << false;
    QTest::newRow("swimlane shape") << "shape=swimlane;" << true << false << false << false;
    QTest::newRow("swimlane with stack") << "swimlane;childLayout=stackLayout;" << true << false << false << false;
    QTest::newRow("table layout any case") << "CHILDLAYOUT=TABLELAYOUT" << true << false << false << false;
    QTest::newRow("er table anywhere") << "image=mxgraph.er.table.svg" << true << false << false << false;
    QTest::newRow("bare swimlane") << "swimlane;html=1;" << false << false << false << false;
    QTest::newRow("table row") << "shape=tableRow;horizontal=0;" << false << true << false << false;
    QTest::newRow("list item any case") << "shape=LISTITEM;" << false << true << false << false;
    QTest::newRow("list item blanks") << "shape = listItem ;" << false << true << false << false;
    QTest::newRow("partial rectangle") << "shape=partialRectangle;" << false << false << true << false;
    QTest::newRow("relationship") << "shape=mxgraph.er.relationship;" << false << false << false << true;
    QTest::newRow("association") << "shape=MXGRAPH.ER.ASSOCIATION;" << false << false << false << true;
    QTest::newRow("rhombus shape") << "shape=rhombus;" << false << false << false << true;
    QTest::newRow("bare rhombus") << "rhombus;whiteSpace=wrap;" << false << false << false << false;
    QTest::newRow("plain box") << "rounded=0;whiteSpace=wrap;html=1;" << false << false << false << false;
}

void TestDrawioStyle::shapesAreClassified()
{
    QFETCH(QString, style);
    QFETCH(bool, table);
    QFETCH(bool, row);
    QFETCH(bool, partialRectangle);
    QFETCH(bool, relationship);
    QCOMPARE(isTableStyle(style), table);
    QCOMPARE(isRowStyle(style), row);
    QCOMPARE(isPartialRectangleStyle(style), partialRectangle);
    QCOMPARE(isRelationshipShapeStyle(style), relationship);
}

void TestDrawioStyle::partialRectangleIsARowOnlyWithChildren()
{
    DrawioCell rectangle;
    rectangle.id = QStringLiteral("p");
    rectangle.style = QStringLiteral("shape=partialRectangle;");
    DrawioCell edge;
    edge.id = QStringLiteral("e");
    edge.parent = QStringLiteral("p");
    edge.edge = true;
    QList<DrawioCell> cells{rectangle, edge};
    QVERIFY(!isRowCell(rectangle, cells));

    DrawioCell child;
    child.id = QStringLiteral("c");
    child.parent = QStringLiteral("p");
    cells.append(child);
    QVERIFY(isRowCell(rectangle, cells));

    DrawioCell row;
    row.id = QStringLiteral("r");
    row.style = QStringLiteral("shape=tableRow;");
    QVERIFY(isRowCell(row, cells));
}

QTEST_GUILESS_MAIN(TestDrawioStyle)
#include "tst_drawiostyle.moc"
