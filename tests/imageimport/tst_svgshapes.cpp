#include "svgtestutil.h"
#include "testsupport.h"

#include <QtTest>

using svgtest::document;
using svgtest::readBytes;

namespace {

// A 200 x 100 box at the origin, in which the bands of a row are drawn.
const QByteArray Box200 = "<rect x='0' y='0' width='200' height='100'/>";

QStringList rowTops(const RecognizedEntity &entity)
{
    QStringList tops;
    for (const QRectF &row : entity.rowRects)
        tops.append(QString::number(row.y()));
    return tops;
}

} // namespace

class TestSvgShapes : public QObject
{
    Q_OBJECT

private slots:
    void groupAndElementTransformsCompose();
    void rectangleKinds_data();
    void rectangleKinds();
    void pageBackgroundIsNoBox_data();
    void pageBackgroundIsNoBox();
    void endMarks_data();
    void endMarks();
    void textFragments_data();
    void textFragments();
    void rowGrid_data();
    void rowGrid();
    void rowGridStopsAtItsBound();
    void links_data();
    void links();
    void cardinalitiesFromEndMarks_data();
    void cardinalitiesFromEndMarks();
    void resultAndUntouchedLists();
    void unreadableFiles_data();
    void unreadableFiles();
    void readingStopsAtTheFirstError();
    void entityExpansionEndsTheRead();
    void deepNestingIsSkippedAndReadingGoesOn();
    void valuesOutOfRangeGiveNothing();
    void workingListsStopAtTheirBounds_data();
    void workingListsStopAtTheirBounds();
    void polylinePointsStopAtTheirBound();
    void linksStopAtTheirBound();
};

void TestSvgShapes::groupAndElementTransformsCompose()
{
    RecognizedDiagram out;
    QVERIFY(readBytes(document("<g transform='scale(2)'><rect transform='translate(5,0)' x='10' y='0' "
                               "width='100' height='50'/></g>"),
                      out));
    QCOMPARE(out.entities.size(), 1);
    QCOMPARE(out.entities.first().rect, QRectF(30, 0, 200, 100));

    // Five hundred nested groups, each one unit further right.
    QByteArray nested;
    for (int i = 0; i < 500; ++i)
        nested += "<g transform='translate(1,0)'>";
    nested += "<rect x='0' y='0' width='100' height='50'/>";
    for (int i = 0; i < 500; ++i)
        nested += "</g>";
    QVERIFY(readBytes(document(nested), out));
    QCOMPARE(out.entities.size(), 1);
    QCOMPARE(out.entities.first().rect, QRectF(500, 0, 100, 50));
}

void TestSvgShapes::rectangleKinds_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("entities");
    QTest::addColumn<QRectF>("header");
    QTest::addColumn<int>("rows");
    QTest::addColumn<double>("pitch");

    const QRectF noBand(4, 2, 192, 18);
    QTest::newRow("box 60 x 36") << QByteArray("<rect x='0' y='0' width='60' height='36'/>") << 1
                                 << QRectF(4, 2, 52, 10.08) << 2 << 13.5;
    QTest::newRow("59 x 36 is nothing") << QByteArray("<rect x='0' y='0' width='59' height='36'/>") << 0 << QRectF()
                                        << 0 << 0.0;
    QTest::newRow("band 7.9 high is nothing") << Box200 + "<rect width='120' height='7.9'/>" << 1 << noBand << 6 << 13.5;
    QTest::newRow("band 8 high: rows") << Box200 + "<rect width='120' height='8'/>" << 1 << noBand << 1 << 8.0;
    QTest::newRow("band 22 high: rows") << Box200 + "<rect width='120' height='22'/>" << 1 << noBand << 1 << 22.0;
    QTest::newRow("band 22.5 high: header") << Box200 + "<rect width='120' height='22.5'/>" << 1
                                            << QRectF(4, 1, 112, 20.5) << 6 << 13.5;
    QTest::newRow("band 32 high: header") << Box200 + "<rect width='120' height='32'/>" << 1 << QRectF(4, 1, 112, 30)
                                          << 5 << 13.5;
    QTest::newRow("band 33 high is nothing") << Box200 + "<rect width='120' height='33'/>" << 1 << noBand << 6 << 13.5;
    QTest::newRow("band 49 wide is nothing") << Box200 + "<rect width='49' height='20'/>" << 1 << noBand << 6 << 13.5;
    QTest::newRow("width with a unit is nothing") << Box200 + "<rect width='120px' height='20'/>" << 1 << noBand << 6
                                                  << 13.5;
    QTest::newRow("negative size is normalised") << QByteArray("<rect x='100' y='50' width='-100' height='-50'/>") << 1
                                                 << QRectF(4, 2, 92, 14) << 2 << 13.5;
}

void TestSvgShapes::rectangleKinds()
{
    QFETCH(QByteArray, body);
    QFETCH(int, entities);
    QFETCH(QRectF, header);
    QFETCH(int, rows);
    QFETCH(double, pitch);
    RecognizedDiagram out;
    QCOMPARE(readBytes(document(body), out), entities > 0);
    QCOMPARE(out.entities.size(), entities);
    if (entities == 0)
        return;
    const RecognizedEntity &entity = out.entities.first();
    QCOMPARE(entity.headerRect, header);
    QCOMPARE(entity.rowRects.size(), rows);
    QCOMPARE(entity.rowRects.first().height(), pitch);
}

void TestSvgShapes::pageBackgroundIsNoBox_data()
{
    QTest::addColumn<QByteArray>("svg");
    QTest::addColumn<QRectF>("box");
    const QByteArray content = "<rect x='-40' y='-30' width='400' height='300'/>" + Box200 + "</svg>";
    const QRectF background(-40, -30, 400, 300);
    const QRectF box(0, 0, 200, 100);
    QTest::newRow("covers the view box") << "<svg viewBox='-40 -30 400 300' width='4in'>" + content << box;
    QTest::newRow("covers width and height") << "<svg width='360' height='270'>" + content << box;
    QTest::newRow("within a hundredth of it") << "<svg viewBox='-43 -32 405 303'>" + content << box;
    QTest::newRow("smaller than the view box") << "<svg viewBox='-50 -30 410 300'>" + content << background;
    QTest::newRow("sizes with units") << "<svg width='360mm' height='270mm'>" + content << background;
    QTest::newRow("not the outermost element") << "<svg><svg viewBox='-40 -30 400 300'>" + content + "</svg>"
                                               << background;
}

void TestSvgShapes::pageBackgroundIsNoBox()
{
    QFETCH(QByteArray, svg);
    QFETCH(QRectF, box);
    // The box inside a larger one is dropped as nested, so only one of the two is an entity.
    RecognizedDiagram out;
    QVERIFY(readBytes(svg, out));
    QCOMPARE(out.entities.size(), 1);
    QCOMPARE(out.entities.first().rect, box);
}

void TestSvgShapes::endMarks_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("many");
    QTest::addColumn<QStringList>("one");
    QTest::newRow("stroke 2 x 10") << QByteArray("<rect x='5' y='6' width='2' height='10'/>") << QStringList()
                                   << QStringList{"5,6,2,10"};
    QTest::newRow("stroke 10 x 2.5") << QByteArray("<rect x='5' y='6' width='10' height='2.5'/>") << QStringList()
                                     << QStringList{"5,6,10,2.5"};
    QTest::newRow("3 x 10 is nothing") << QByteArray("<rect x='5' y='6' width='3' height='10'/>") << QStringList()
                                       << QStringList();
    QTest::newRow("2 x 4 is nothing") << QByteArray("<rect x='5' y='6' width='2' height='4'/>") << QStringList()
                                      << QStringList();
    QTest::newRow("2 x 19 is nothing") << QByteArray("<rect x='5' y='6' width='2' height='19'/>") << QStringList()
                                       << QStringList();
    QTest::newRow("crow's foot 12 x 12") << QByteArray("<polygon points='0,0 12,6 0,12'/>") << QStringList{"0,0,12,12"}
                                         << QStringList();
    QTest::newRow("polygon 21 wide is no mark") << QByteArray("<polygon points='0,0 21,6 0,12'/>") << QStringList()
                                                << QStringList();
    QTest::newRow("polyline is no mark") << QByteArray("<polyline points='0,0 12,6 0,12'/>") << QStringList()
                                         << QStringList();
    QTest::newRow("scaled into a mark") << QByteArray("<g transform='scale(0.5)'><polygon points='0,0 24,12 0,24'/></g>")
                                        << QStringList{"0,0,12,12"} << QStringList();
}

void TestSvgShapes::endMarks()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, many);
    QFETCH(QStringList, one);
    RecognizedDiagram out;
    out.manyMarkers = {QRectF(1, 1, 1, 1)};
    out.oneMarkers = {QRectF(1, 1, 1, 1)};
    // Marks alone are no diagram, but they are written all the same.
    QVERIFY(!readBytes(document(body), out));
    QStringList foundMany;
    for (const QRectF &mark : std::as_const(out.manyMarkers))
        foundMany.append(svgtest::rect(mark));
    QStringList foundOne;
    for (const QRectF &mark : std::as_const(out.oneMarkers))
        foundOne.append(svgtest::rect(mark));
    QCOMPARE(foundMany, many);
    QCOMPARE(foundOne, one);
}

void TestSvgShapes::textFragments_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("fragments");
    QTest::newRow("size from the font size") << QByteArray("<text x='10' y='20' font-size='10'>Name</text>")
                                             << QStringList{"Name@10,10,22,12"};
    QTest::newRow("font size with a unit reads 0") << QByteArray("<text x='10' y='20' font-size='10px'>Name</text>")
                                                   << QStringList{"Name@10,20,8,0"};
    QTest::newRow("default font size, narrow text") << QByteArray("<text x='0' y='12'>a</text>")
                                                    << QStringList{"a@0,0,8,14.4"};
    QTest::newRow("one fragment per tspan")
        << QByteArray("<text x='5' y='30'><tspan>id</tspan><tspan x='5' y='46'>name</tspan></text>")
        << QStringList{"id@5,18,13.2,14.4", "name@5,34,26.4,14.4"};
    QTest::newRow("text before a tspan joins it")
        << QByteArray("<text x='0' y='20'>Hello <tspan>world</tspan></text>") << QStringList{"Hello world@0,8,72.6,14.4"};
    QTest::newRow("tspan offsets are not read") << QByteArray("<text x='0' y='20'><tspan dx='50' dy='9'>ab</tspan></text>")
                                                << QStringList{"ab@0,8,13.2,14.4"};
    QTest::newRow("empty tspan x keeps the position")
        << QByteArray("<text x='7' y='20'><tspan x='' y='40'>ab</tspan></text>") << QStringList{"ab@7,28,13.2,14.4"};
    QTest::newRow("tspan outside a text is nothing") << QByteArray("<tspan x='5' y='5'>lost</tspan>") << QStringList();
    QTest::newRow("blank text is nothing") << QByteArray("<text x='5' y='5'> \n </text>") << QStringList();
    QTest::newRow("cleaned") << QByteArray("<text x='0' y='20'>\n  a&#160;&#160;  b\n</text>")
                             << QStringList{"a b@0,8,19.8,14.4"};
    QTest::newRow("entities and character data")
        << QByteArray("<text x='0' y='20'>a&amp;<![CDATA[<b]]></text>") << QStringList{"a&<b@0,8,26.4,14.4"};
    QTest::newRow("width follows UTF-16 code units") << QByteArray("<text x='0' y='20'>\xf0\x9f\x99\x82x</text>")
                                                     << QStringList{"\U0001F642x@0,8,19.8,14.4"};
    QTest::newRow("anchor mapped, size kept")
        << QByteArray("<g transform='translate(100,50) scale(2)'><text x='10' y='20' font-size='10'>Name</text></g>")
        << QStringList{"Name@120,80,22,12"};
    QTest::newRow("nested text starts over")
        << QByteArray("<text x='0' y='20'>lost <text x='0' y='50'>kept</text></text>")
        << QStringList{"kept@0,38,26.4,14.4"};
}

void TestSvgShapes::textFragments()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, fragments);
    RecognizedDiagram out;
    QCOMPARE(readBytes(document(body), out), !fragments.isEmpty());
    QVERIFY(out.entities.isEmpty());
    QCOMPARE(svgtest::fragments(out.texts), fragments);
}

void TestSvgShapes::rowGrid_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QRectF>("header");
    QTest::addColumn<QStringList>("tops");
    QTest::addColumn<double>("pitch");

    const QStringList defaultTops{"20", "33.5", "47", "60.5", "74", "87.5"};
    QTest::newRow("no band") << Box200 << QRectF(4, 2, 192, 18) << defaultTops << 13.5;
    QTest::newRow("header band") << Box200 + "<rect x='0' y='0' width='200' height='30'/>" << QRectF(4, 1, 192, 28)
                                 << QStringList{"29", "42.5", "56", "69.5", "83"} << 13.5;
    QTest::newRow("header band centre 3 outside")
        << Box200 + "<rect x='0' y='-18' width='200' height='30'/>" << QRectF(4, -17, 192, 28)
        << QStringList{"11", "24.5", "38", "51.5", "65", "78.5", "92"} << 13.5;
    QTest::newRow("header band centre 3.5 outside")
        << Box200 + "<rect x='0' y='-18.5' width='200' height='30'/>" << QRectF(4, 2, 192, 18) << defaultTops << 13.5;
    QTest::newRow("topmost header band")
        << Box200 + "<rect x='0' y='40' width='200' height='24'/><rect x='0' y='0' width='200' height='30'/>"
        << QRectF(4, 1, 192, 28) << QStringList{"29", "42.5", "56", "69.5", "83"} << 13.5;
    // Rows of 20 down to 70, then one more for the 30 units left below them.
    QTest::newRow("row bands set pitch and extent")
        << QByteArray("<rect x='0' y='0' width='200' height='140'/><rect x='0' y='0' width='200' height='30'/>"
                      "<rect x='0' y='30' width='200' height='20'/><rect x='0' y='50' width='200' height='20'/>")
        << QRectF(4, 1, 192, 28) << QStringList{"29", "49", "69"} << 20.0;
    QTest::newRow("last row band sets the pitch")
        << Box200 + "<rect x='0' y='30' width='200' height='20'/><rect x='0' y='50' width='200' height='10'/>"
        << QRectF(4, 2, 192, 18) << QStringList{"20", "30", "40", "50", "60"} << 10.0;
    QTest::newRow("bands of another box") << Box200 + "<rect x='300' y='0' width='200' height='100'/>"
                                                      "<rect x='300' y='0' width='200' height='30'/>"
                                          << QRectF(4, 2, 192, 18) << defaultTops << 13.5;
}

void TestSvgShapes::rowGrid()
{
    QFETCH(QByteArray, body);
    QFETCH(QRectF, header);
    QFETCH(QStringList, tops);
    QFETCH(double, pitch);
    RecognizedDiagram out;
    QVERIFY(readBytes(document(body), out));
    QVERIFY(!out.entities.isEmpty());
    const RecognizedEntity &entity = out.entities.first();
    QCOMPARE(entity.rect, QRectF(0, 0, 200, entity.rect.height()));
    QCOMPARE(entity.headerRect, header);
    QCOMPARE(rowTops(entity), tops);
    for (const QRectF &row : entity.rowRects) {
        QCOMPARE(row.x(), 5.0);
        QCOMPARE(row.width(), 190.0);
        QCOMPARE(row.height(), pitch);
    }
}

void TestSvgShapes::rowGridStopsAtItsBound()
{
    RecognizedDiagram out;
    QVERIFY(readBytes(document("<rect x='100' y='0' width='2e8' height='1e9'/>"), out));
    QCOMPARE(out.entities.size(), 1);
    QCOMPARE(out.entities.first().rowRects.size(), MaxSvgRowsPerEntity);
    QCOMPARE(out.entities.first().rowRects.last().y(), 20 + 999 * 13.5);
}

void TestSvgShapes::links_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("links");

    const QByteArray twoBoxes = "<rect x='0' y='0' width='100' height='60'/><rect x='110' y='0' width='100' height='60'/>";
    QTest::newRow("line 13.9 long") << twoBoxes + "<line x1='100' y1='30' x2='113.9' y2='30'/>" << QStringList();
    QTest::newRow("line 14 long") << twoBoxes + "<line x1='100' y1='30' x2='114' y2='30'/>"
                                  << QStringList{"0-1 100,30>114,30"};
    QTest::newRow("line from the second box") << twoBoxes + "<line x1='150' y1='30' x2='50' y2='30'/>"
                                              << QStringList{"1-0 150,30>50,30"};
    QTest::newRow("ends nearest one box") << twoBoxes + "<line x1='20' y1='70' x2='90' y2='80'/>" << QStringList();
    QTest::newRow("end 26 away") << twoBoxes + "<line x1='50' y1='30' x2='160' y2='86'/>" << QStringList();
    QTest::newRow("end 25.9 away") << twoBoxes + "<line x1='50' y1='30' x2='160' y2='85.9'/>"
                                   << QStringList{"0-1 50,30>160,85.9"};

    const QByteArray apart = "<rect x='0' y='0' width='100' height='60'/><rect x='140' y='0' width='100' height='60'/>";
    QTest::newRow("longest line kept")
        << apart + "<line x1='100' y1='20' x2='140' y2='20'/><line x1='100' y1='40' x2='160' y2='40'/>"
                   "<line x1='100' y1='50' x2='150' y2='50'/>"
        << QStringList{"0-1 100,40>160,40"};
    QTest::newRow("longer line turns the link")
        << apart + "<line x1='100' y1='20' x2='140' y2='20'/><line x1='170' y1='50' x2='90' y2='50'/>"
        << QStringList{"1-0 170,50>90,50"};

    const QByteArray threeBoxes = "<rect x='0' y='0' width='100' height='60'/><rect x='200' y='0' width='100' height='60'/>"
                                  "<rect x='400' y='0' width='100' height='60'/>";
    QTest::newRow("polyline through three boxes")
        << threeBoxes + "<polyline points='50,30 250,30 450,30'/>"
        << QStringList{"0-1 50,30>250,30", "1-2 250,30>450,30"};
    QTest::newRow("polyline leaving and coming back")
        << threeBoxes + "<polyline points='90,30 150,30 150,100 95,100 95,50 250,50'/>"
        << QStringList{"0-1 90,30>250,50"};
    QTest::newRow("polyline passing close to a third box")
        << QByteArray("<rect x='0' y='0' width='100' height='60'/><rect x='200' y='50' width='100' height='60'/>"
                      "<rect x='400' y='0' width='100' height='60'/><polyline points='100,30 250,30 250,40 400,40'/>")
        << QStringList{"0-2 100,30>400,40"};
    QTest::newRow("loop back to its box")
        << twoBoxes + "<polyline points='40,60 40,90 80,90 80,60'/>" << QStringList{"0-0 40,60>80,60"};
    QTest::newRow("bend beside its box is no loop")
        << twoBoxes + "<polyline points='40,60 40,70 80,70 80,60'/>" << QStringList();
    QTest::newRow("polyline smaller than 16 both ways")
        << twoBoxes + "<polyline points='100,30 105,35 112,30'/>" << QStringList();
    QTest::newRow("open path") << threeBoxes + "<path d='M100 30 H200 M300 10 C350 10 350 50 400 50'/>"
                               << QStringList{"0-1 100,30>200,30", "1-2 300,10>400,50"};
}

void TestSvgShapes::links()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, links);
    RecognizedDiagram out;
    QVERIFY(readBytes(document(body), out));
    QCOMPARE(svgtest::links(out.links), links);
}

void TestSvgShapes::cardinalitiesFromEndMarks_data()
{
    QTest::addColumn<QByteArray>("marks");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");

    // The marks as the application draws them on a line from (100, 30) to (200, 30).
    const QByteArray oneAtFirst = "<polyline points='114,25.1 114,34.9'/><polyline points='109.1,25.1 109.1,34.9'/>";
    const QByteArray zeroOrOneAtFirst = "<polyline points='114,25.1 114,34.9'/><circle cx='121.84' cy='30' r='4.9'/>";
    const QByteArray manyAtSecond = "<polyline points='186,25.1 186,34.9'/><polyline points='186,30 200,30'/>"
                                    "<polyline points='186,30 200,25.1'/><polyline points='186,30 200,34.9'/>";
    const QByteArray zeroOrManyAtSecond = "<circle cx='178.16' cy='30' r='4.9'/><polyline points='186,30 200,30'/>"
                                          "<polyline points='186,30 200,25.1'/><polyline points='186,30 200,34.9'/>";
    QTest::newRow("unmarked") << QByteArray() << -1 << -1;
    QTest::newRow("one to many") << oneAtFirst + manyAtSecond << 0 << 1;
    QTest::newRow("zero or one to zero or many") << zeroOrOneAtFirst + zeroOrManyAtSecond << 2 << 3;
}

// Strokes and circles at a connector's ends give the cardinalities there.
void TestSvgShapes::cardinalitiesFromEndMarks()
{
    QFETCH(QByteArray, marks);
    QFETCH(int, first);
    QFETCH(int, second);
    RecognizedDiagram out;
    QVERIFY(readBytes(document("<rect x='0' y='0' width='100' height='60'/><rect x='200' y='0' width='100' height='60'/>"
                               "<path d='M100 30 L200 30'/>"
                               + marks),
                      out));
    QCOMPARE(out.links.size(), 1);
    QCOMPARE(out.links.first().oneCardinality, first);
    QCOMPARE(out.links.first().manyCardinality, second);
}

void TestSvgShapes::resultAndUntouchedLists()
{
    RecognizedEntity previous;
    previous.title = QStringLiteral("previous");
    const TextFragment previousText{QRectF(1, 2, 3, 4), QStringLiteral("before")};
    RecognizedDiagram out;
    out.entities = {previous};
    out.links = {RecognizedLink{0, 1, QLineF(), false}};
    out.texts = {previousText};
    out.manyMarkers = {QRectF(0, 0, 9, 9)};

    // Nothing of a diagram: entities, links and texts stay; the marks are emptied.
    QVERIFY(!readBytes(document("<circle r='50'/><line x1='0' y1='0' x2='100' y2='0'/>"), out));
    QCOMPARE(out.entities.size(), 1);
    QCOMPARE(out.entities.first().title, QStringLiteral("previous"));
    QCOMPARE(out.links.size(), 1);
    QCOMPARE(svgtest::fragments(out.texts), QStringList{"before@1,2,3,4"});
    QVERIFY(out.manyMarkers.isEmpty());

    // Text without a box: a result without entities.
    QVERIFY(readBytes(document("<text x='0' y='20'>orphan</text>"), out));
    QVERIFY(out.entities.isEmpty());
    QVERIFY(out.links.isEmpty());
    QCOMPARE(out.texts.size(), 1);

    // Text in a box: the first line titles it.
    QVERIFY(readBytes(document(Box200 + "<text x='8' y='20'>customer</text><text x='8' y='40'>id</text>"
                                        "<text x='120' y='40'>uuid</text>"),
                      out));
    QCOMPARE(out.entities.size(), 1);
    QCOMPARE(out.entities.first().title, QStringLiteral("customer"));
    QCOMPARE(out.entities.first().attributes.size(), 1);
    QCOMPARE(out.entities.first().attributes.first().name, QStringLiteral("id"));
    QCOMPARE(out.entities.first().attributes.first().type, QStringLiteral("uuid"));
}

void TestSvgShapes::unreadableFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not XML") << QByteArray("entity customer { id uuid }");
    QTest::newRow("picture renamed") << QByteArray::fromHex("89504e470d0a1a0a0000000d4948445200000010");
    QTest::newRow("compressed drawing") << testsupport::readFileBytes(testsupport::dataPath("imageimport/data/svg/compressed.svgz"));
}

void TestSvgShapes::unreadableFiles()
{
    QFETCH(QByteArray, content);
    RecognizedEntity previous;
    previous.title = QStringLiteral("previous");
    RecognizedDiagram out;
    out.entities = {previous};
    QVERIFY(!readBytes(content, out));
    QCOMPARE(out.entities.size(), 1);
    QCOMPARE(out.entities.first().title, QStringLiteral("previous"));
}

void TestSvgShapes::readingStopsAtTheFirstError()
{
    RecognizedDiagram out;
    out.oneMarkers = {QRectF(0, 0, 2, 9)};
    QVERIFY(!readSvgShapes(QStringLiteral("/nonexistent/drawing.svg"), out));
    QCOMPARE(out.oneMarkers.size(), 1);  // not even emptied

    // A box, then a mismatched end tag, then a box that is never read.
    QVERIFY(readBytes("<svg><rect width='100' height='60'/></g><rect x='300' width='100' height='60'/></svg>", out));
    QCOMPARE(out.entities.size(), 1);
    QCOMPARE(out.entities.first().rect, QRectF(0, 0, 100, 60));
}

void TestSvgShapes::entityExpansionEndsTheRead()
{
    QByteArray dtd = "<!DOCTYPE svg [<!ENTITY e0 'lol'>";
    for (int i = 1; i <= 9; ++i)
        dtd += QStringLiteral("<!ENTITY e%1 '&e%2;&e%2;&e%2;&e%2;&e%2;&e%2;&e%2;&e%2;&e%2;&e%2;'>").arg(i).arg(i - 1).toLatin1();
    dtd += "]>";
    RecognizedDiagram out;
    QVERIFY(readBytes(dtd + "<svg><rect width='100' height='60'/><text x='0' y='20'>&e9;</text>"
                            "<rect x='300' width='100' height='60'/></svg>",
                      out));
    QCOMPARE(out.entities.size(), 1);
    QVERIFY(out.texts.isEmpty());
}

void TestSvgShapes::deepNestingIsSkippedAndReadingGoesOn()
{
    constexpr int Depth = 100000;
    QByteArray nested = "<svg><rect width='100' height='60'/>";
    nested.reserve(Depth * 8);
    for (int i = 0; i < Depth; ++i) {
        nested += "<g>";
        if (i == Depth / 2)
            nested += "<rect x='300' width='100' height='60'/>";
    }
    for (int i = 0; i < Depth; ++i)
        nested += "</g>";
    nested += "<rect x='600' width='100' height='60'/></svg>";
    QTest::ignoreMessage(QtWarningMsg, "readSvgShapes: elements nested too deeply, ignoring their content");
    RecognizedDiagram out;
    QVERIFY(readBytes(nested, out));
    QCOMPARE(out.entities.size(), 2);
    QCOMPARE(out.entities.at(0).rect.x(), 0.0);
    QCOMPARE(out.entities.at(1).rect.x(), 600.0);
}

void TestSvgShapes::valuesOutOfRangeGiveNothing()
{
    RecognizedDiagram out;
    QVERIFY(readBytes(document("<rect x='1e300' y='1e300' width='100' height='60'/>"
                               "<g transform='scale(1e300)'><rect x='1e300' width='100' height='60'/>"
                               "<line x1='0' y1='0' x2='1e300' y2='0'/>"
                               "<polyline points='0,0 100,100 1e300,0'/>"
                               "<text x='1e300' y='20'>far</text></g>"
                               "<rect x='inf' width='100' height='60'/>"
                               "<text x='0' y='20' font-size='1e308'>huge</text>"
                               "<text x='0' y='20' font-size='nan'>nan</text>"),
                      out));
    // The first box lies far away but is a number; x = inf reads 0; the rest is dropped.
    QCOMPARE(out.entities.size(), 2);
    QCOMPARE(out.entities.at(0).rect, QRectF(1e300, 1e300, 100, 60));
    QCOMPARE(out.entities.at(1).rect, QRectF(0, 0, 100, 60));
    QVERIFY(out.links.isEmpty());
    QCOMPARE(svgtest::fragments(out.texts), QStringList{"nan@0,20,8,0"});
}

namespace {

enum class ListKind { HeaderBands, RowBands, Segments, Texts, ManyMarks, OneMarks };

// Offers one item to a list and returns that list's size.
qsizetype offer(SvgShapeLists &shapes, ListKind kind, int i)
{
    const QRectF r(i, 0, 60, 20);
    switch (kind) {
    case ListKind::HeaderBands: shapes.addHeaderBand(r); return shapes.headerBands().size();
    case ListKind::RowBands: shapes.addRowBand(r); return shapes.rowBands().size();
    case ListKind::Segments: shapes.addSegment(QLineF(i, 0, i, 20)); return shapes.segments().size();
    case ListKind::Texts: shapes.addText({r, QStringLiteral("t")}); return shapes.texts().size();
    case ListKind::ManyMarks: shapes.addManyMarker(r); return shapes.manyMarkers().size();
    case ListKind::OneMarks: shapes.addOneMarker(r); return shapes.oneMarkers().size();
    }
    return 0;
}

} // namespace

void TestSvgShapes::workingListsStopAtTheirBounds_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<qsizetype>("bound");
    QTest::addColumn<QString>("warning");
    QTest::newRow("header bands") << int(ListKind::HeaderBands) << MaxSvgBands << QStringLiteral("header bands");
    QTest::newRow("row bands") << int(ListKind::RowBands) << MaxSvgBands << QStringLiteral("row bands");
    QTest::newRow("segments") << int(ListKind::Segments) << MaxSvgSegments << QStringLiteral("segments");
    QTest::newRow("texts") << int(ListKind::Texts) << MaxSvgTextFragments << QStringLiteral("text fragments");
    QTest::newRow("many marks") << int(ListKind::ManyMarks) << MaxSvgMarks << QStringLiteral("many-end marks");
    QTest::newRow("one marks") << int(ListKind::OneMarks) << MaxSvgMarks << QStringLiteral("one-end marks");
}

void TestSvgShapes::workingListsStopAtTheirBounds()
{
    QFETCH(int, kind);
    QFETCH(qsizetype, bound);
    QFETCH(QString, warning);
    SvgShapeLists shapes;
    for (int i = 0; i < bound; ++i)
        offer(shapes, ListKind(kind), i);
    // One warning for the first refused item, none for the rest.
    QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("readSvgShapes: too many %1, ignoring the rest").arg(warning)));
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(offer(shapes, ListKind(kind), i), bound);
    QVERIFY(shapes.boxCandidates().isEmpty());
}

void TestSvgShapes::polylinePointsStopAtTheirBound()
{
    SvgShapeLists shapes;
    shapes.addPolyline(QList<QPointF>(MaxSvgPolylinePoints - 1, QPointF(1, 2)));
    QTest::ignoreMessage(QtWarningMsg, "readSvgShapes: too many polyline points, ignoring the rest");
    shapes.addPolyline({QPointF(0, 0), QPointF(50, 0)});
    shapes.addPolyline({QPointF(0, 0)});  // would fit, but the list is closed now
    QCOMPARE(shapes.polylines().size(), 1);
}

void TestSvgShapes::linksStopAtTheirBound()
{
    SvgLinkTable table;
    for (int i = 0; i < MaxSvgLinks; ++i)
        keepLongestLink(table, i, i + 1, QLineF(0, 0, 10, 0));
    QTest::ignoreMessage(QtWarningMsg, "readSvgShapes: too many links, ignoring the rest");
    keepLongestLink(table, 0, 2, QLineF(0, 0, 10, 0));
    keepLongestLink(table, 0, 3, QLineF(0, 0, 10, 0));
    QCOMPARE(table.links.size(), MaxSvgLinks);
    // A pair already linked still takes a longer line.
    keepLongestLink(table, 6, 5, QLineF(0, 0, 20, 0));
    QCOMPARE(table.links.at(5).oneIndex, 6);
    QCOMPARE(table.links.at(5).line.length(), 20.0);
    // Neither a box linked to itself nor a box that is none.
    keepLongestLink(table, 7, 7, QLineF(0, 0, 90, 0));
    keepLongestLink(table, -1, 7, QLineF(0, 0, 90, 0));
    QCOMPARE(table.links.size(), MaxSvgLinks);
}

QTEST_GUILESS_MAIN(TestSvgShapes)
#include "tst_svgshapes.moc"
