#include "boxtouchindex.h"
#include "connectornetwork.h"
#include "recognitionsteps.h"

#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

#include <array>

namespace {

using Rects = QList<QRectF>;
using Pairs = QList<QPair<int, int>>;

QImage blankWorking(int width, int height)
{
    QImage working(width, height, QImage::Format_Grayscale8);
    working.fill(255);
    return working;
}

void ink(QImage &working, int left, int top, int width, int height)
{
    for (int y = std::max(top, 0); y < std::min(top + height, working.height()); ++y) {
        uchar *line = working.scanLine(y);
        for (int x = std::max(left, 0); x < std::min(left + width, working.width()); ++x)
            line[x] = 0;
    }
}

// A box outline two pixels wide along the edges of rect, with a title mark inside.
void outline(QImage &working, const QRect &rect)
{
    ink(working, rect.left() + 8, rect.top() + 8, std::min(20, rect.width() - 16), 4);
    ink(working, rect.left(), rect.top(), rect.width(), 2);
    ink(working, rect.left(), rect.bottom() - 1, rect.width(), 2);
    ink(working, rect.left(), rect.top(), 2, rect.height());
    ink(working, rect.right() - 1, rect.top(), 2, rect.height());
}

Pairs pairsOf(const QList<RecognizedLink> &links)
{
    Pairs pairs;
    for (const RecognizedLink &link : links)
        pairs.append({link.oneIndex, link.manyIndex});
    return pairs;
}

// The linked pairs with their ends in index order: the plain loop does not orient links.
Pairs unorderedPairsOf(const QList<RecognizedLink> &links)
{
    Pairs pairs;
    for (const RecognizedLink &link : links)
        pairs.append({std::min(link.oneIndex, link.manyIndex), std::max(link.oneIndex, link.manyIndex)});
    return pairs;
}

// A crow's foot: two prongs two pixels thick from (x, y) to the border column at x + 12 * direction,
// spreading 9 pixels above and below the line.
void fork(QImage &working, int x, int y, int direction)
{
    for (int step = 0; step <= 12; ++step) {
        const int spread = step * 9 / 12;
        ink(working, x + direction * step, y - spread, 2, 2);
        ink(working, x + direction * step, y + spread, 2, 2);
    }
}

bool holds(const QRectF &r, int x, int y)
{
    return x >= r.x() && x <= r.x() + r.width() && y >= r.y() && y <= r.y() + r.height();
}

// Connector tracing as plainly stated: every pixel tested against every box. What the
// traced ink joins is decided by the same rule as in the library.
QList<RecognizedLink> traceConnectorsPlainly(const QImage &working, const Rects &boxes)
{
    static constexpr std::array<QPoint, 8> Neighbours = {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1),
                                                         QPoint(1, 1), QPoint(1, -1), QPoint(-1, 1), QPoint(-1, -1)};
    const QList<QRectF> covering = coveringBoxes(working, boxes);
    const auto covers = [&](const QRectF &b, int x, int y) { return covering.contains(b) && holds(boxCover(b), x, y); };
    const auto covered = [&](int x, int y) {
        return std::any_of(covering.cbegin(), covering.cend(), [&](const QRectF &b) { return holds(boxCover(b), x, y); });
    };
    const auto traceable = [&](int x, int y) { return working.constScanLine(y)[x] == 0 && !covered(x, y); };
    QSet<QPoint> visited;
    QSet<QPair<int, int>> linked;
    QList<RecognizedLink> links;
    for (int y = 0; y < working.height(); ++y) {
        for (int x = 0; x < working.width(); ++x) {
            if (visited.contains(QPoint(x, y)) || !traceable(x, y))
                continue;
            visited.insert(QPoint(x, y));
            TracedConnector connector;
            connector.pixels = {QPoint(x, y)};
            for (size_t head = 0; head < connector.pixels.size(); ++head) {
                const QPoint p = connector.pixels[head];
                for (int b = 0; b < int(boxes.size()); ++b) {
                    if (!holds(touchBandOuter(boxes.at(b)), p.x(), p.y()) || holds(touchBandInner(boxes.at(b)), p.x(), p.y()))
                        continue;
                    if (std::find(connector.bandBoxes.cbegin(), connector.bandBoxes.cend(), b) == connector.bandBoxes.cend())
                        connector.bandBoxes.push_back(b);
                    if (std::any_of(Neighbours.cbegin(), Neighbours.cbegin() + 4,
                                    [&](const QPoint &step) { return covers(boxes.at(b), p.x() + step.x(), p.y() + step.y()); }))
                        connector.contacts.emplace_back(p, b);
                }
                for (const QPoint &step : Neighbours) {
                    const QPoint n = p + step;
                    if (working.rect().contains(n) && !visited.contains(n) && traceable(n.x(), n.y())) {
                        visited.insert(n);
                        connector.pixels.push_back(n);
                    }
                }
            }
            if (connector.pixels.size() < 18 || connector.bandBoxes.empty())
                continue;
            for (const ConnectorJoin &join : connectorJoins(connector, boxes)) {
                if (linked.contains({join.first, join.second}))
                    continue;
                linked.insert({join.first, join.second});
                RecognizedLink link;
                link.oneIndex = join.first;
                link.manyIndex = join.second;
                links.append(link);
            }
        }
    }
    return links;
}

// Boxes drawn as outlines with text-like marks inside, lines between random points, and
// dots; the box list has the drawn boxes, some shifted by fractions of a pixel.
void seededPicture(QRandomGenerator &random, QImage *working, Rects *boxes)
{
    *working = blankWorking(240 + random.bounded(80), 160 + random.bounded(60));
    boxes->clear();
    const int count = 2 + random.bounded(5);
    for (int i = 0; i < count; ++i) {
        const QRect rect(random.bounded(working->width() - 40), random.bounded(working->height() - 30),
                         36 + random.bounded(60), 24 + random.bounded(50));
        outline(*working, rect);
        for (int mark = 0; mark < 3; ++mark)
            ink(*working, rect.left() + 3 + random.bounded(rect.width() - 8), rect.top() + 3 + random.bounded(rect.height() - 8),
                2 + random.bounded(5), 2 + random.bounded(4));
        const double shift = random.bounded(4) / 4.0;
        boxes->append(QRectF(rect.left() - 2 + shift, rect.top() - 2, rect.width() + 4 - shift, rect.height() + 4));
    }
    for (int line = 0; line < 4; ++line) {
        QPoint from(random.bounded(working->width()), random.bounded(working->height()));
        const QPoint to(random.bounded(working->width()), random.bounded(working->height()));
        while (from != to) {
            ink(*working, from.x(), from.y(), 2, 2);
            from += QPoint(from.x() < to.x() ? 1 : from.x() > to.x() ? -1 : 0,
                           from.y() < to.y() ? 1 : from.y() > to.y() ? -1 : 0);
        }
    }
    for (int dot = 0; dot < 30; ++dot)
        ink(*working, random.bounded(working->width()), random.bounded(working->height()), 1 + random.bounded(5), 1 + random.bounded(5));
}

} // namespace

Q_DECLARE_METATYPE(Rects)

class TestRasterBoxes : public QObject
{
    Q_OBJECT

private slots:
    void regionsOf280PixelsCount();
    void enclosingRegions_data();
    void enclosingRegions();
    void loopRegions_data();
    void loopRegions();
    void strayEmptyRegions();
    void connectors_data();
    void connectors();
    void forkMarksTheManyEnd_data();
    void forkMarksTheManyEnd();
    void dashedLines_data();
    void dashedLines();
    void connectorStageMatchesThePlainLoop();
    void linksAreBounded();
    void picturesWithoutBoxes_data();
    void picturesWithoutBoxes();
    void wideTitleBandJoinsItsBody();
};

void TestRasterBoxes::regionsOf280PixelsCount()
{
    QImage mask = blankWorking(60, 40);
    ink(mask, 2, 2, 9, 31);    // 279 pixels, marked 0 here and flipped below
    ink(mask, 20, 5, 10, 28);  // 280 pixels
    ink(mask, 40, 1, 14, 20);  // 280 pixels, first met before the one above
    mask.invertPixels();
    QImage excluded = blankWorking(60, 40);
    excluded.fill(0);
    QCOMPARE(findRegions(mask, excluded),
             (QList<QRect>{QRect(40, 1, 14, 20), QRect(20, 5, 10, 28)}));

    excluded.scanLine(10)[45] = 255;  // an excluded pixel leaves the region 279 pixels
    QCOMPARE(findRegions(mask, excluded), (QList<QRect>{QRect(20, 5, 10, 28)}));
    QVERIFY(findRegions(mask, blankWorking(59, 40)).isEmpty());
}

using Regions = QList<QRect>;

void TestRasterBoxes::enclosingRegions_data()
{
    QTest::addColumn<Regions>("regions");
    QTest::addColumn<Regions>("kept");
    const QRect title(10, 10, 100, 20);
    const QRect body(10, 32, 100, 60);
    QTest::newRow("title band and body") << Regions{title, body} << Regions{title, body};
    QTest::newRow("lines around a box") << Regions{QRect(0, 0, 300, 200), body} << Regions{body};
    QTest::newRow("frame around two boxes")
        << Regions{QRect(5, 5, 400, 120), title, QRect(200, 40, 100, 50)} << Regions{title, QRect(200, 40, 100, 50)};
    QTest::newRow("sliver under underlined text") << Regions{body, QRect(20, 50, 80, 4)} << Regions{body, QRect(20, 50, 80, 4)};
    QTest::newRow("overlapping, neither inside") << Regions{QRect(0, 0, 100, 100), QRect(50, 50, 100, 100)}
                                                 << Regions{QRect(0, 0, 100, 100), QRect(50, 50, 100, 100)};
}

void TestRasterBoxes::enclosingRegions()
{
    QFETCH(Regions, regions);
    QFETCH(Regions, kept);
    QCOMPARE(withoutEnclosingRegions(regions), kept);
}

void TestRasterBoxes::loopRegions_data()
{
    QTest::addColumn<Regions>("regions");
    QTest::addColumn<QList<int>>("pixels");
    QTest::addColumn<Regions>("kept");
    const QRect box(100, 100, 200, 80);
    // A self relationship's loop around the box's corner closes off an L of background.
    const QRect loop(60, 80, 100, 140);
    QTest::newRow("loop around a corner") << Regions{box, loop} << QList<int>{15000, 5000} << Regions{box};
    QTest::newRow("overlapping, both filled") << Regions{box, loop} << QList<int>{15000, 12000} << Regions{box, loop};
    QTest::newRow("sliver inside a box") << Regions{box, QRect(120, 150, 80, 4)} << QList<int>{14000, 320}
                                         << Regions{box, QRect(120, 150, 80, 4)};
    QTest::newRow("apart") << Regions{box, QRect(400, 100, 60, 60)} << QList<int>{15000, 1000}
                           << Regions{box, QRect(400, 100, 60, 60)};
}

void TestRasterBoxes::loopRegions()
{
    QFETCH(Regions, regions);
    QFETCH(QList<int>, pixels);
    QFETCH(Regions, kept);
    QCOMPARE(withoutLoopRegions(regions, pixels), kept);
}

// Background closed off by lines beside a box holds nothing, though the markers on its lines
// reach into it; an empty compartment of a box lines up with the part holding the title, and
// an empty box on its own stays a box.
void TestRasterBoxes::strayEmptyRegions()
{
    QImage working = blankWorking(401, 301);
    const QRect alone(302, 202, 46, 46);
    outline(working, QRect(300, 200, 50, 50));
    ink(working, 308, 208, 20, 4);  // outline's title mark, taken out again
    for (int y = 208; y < 212; ++y)
        std::fill(working.scanLine(y) + 308, working.scanLine(y) + 328, uchar(255));
    const QRect title(22, 22, 96, 24);  // inside an outline at (20, 20), with its title mark
    const QRect body(22, 48, 96, 50);
    outline(working, QRect(20, 20, 100, 80));
    ink(working, 20, 46, 100, 2);
    // Lines leave the box's right border and close off a region next to it.
    const QRect beside(122, 26, 46, 18);
    ink(working, 120, 24, 50, 2);
    ink(working, 120, 44, 50, 2);
    ink(working, 168, 24, 2, 22);
    ink(working, 122, 30, 5, 2);  // a bar on the box's border
    QCOMPARE(withoutStrayEmptyRegions(working, {title, body, beside, alone}), (Regions{title, body, alone}));
}

void TestRasterBoxes::connectors_data()
{
    QTest::addColumn<QImage>("working");
    QTest::addColumn<Rects>("boxes");
    QTest::addColumn<Pairs>("links");

    // A region inside a two-pixel outline grown by 2 is the outline's own rectangle.
    const auto box = [](const QRect &r) { return QRectF(r); };
    const QRect a(20, 20, 100, 80);
    const QRect b(250, 20, 100, 80);

    QImage joined = blankWorking(401, 301);
    outline(joined, a);
    outline(joined, b);
    ink(joined, 120, 60, 130, 2);
    QTest::newRow("one line, one link") << joined << Rects{box(b), box(a)} << Pairs{{0, 1}};

    QImage doubled = joined;
    ink(doubled, 120, 80, 130, 2);
    QTest::newRow("two lines, one link") << doubled << Rects{box(a), box(b)} << Pairs{{0, 1}};

    QImage dangling = blankWorking(401, 301);
    outline(dangling, a);
    outline(dangling, b);
    ink(dangling, 120, 60, 80, 2);
    QTest::newRow("dangling line") << dangling << Rects{box(a), box(b)} << Pairs{};

    // A line joins the boxes it ends at, not those it passes close by.
    const QRect c(160, 74, 60, 60);  // its band reaches up to row 60
    QImage passing = joined;
    outline(passing, c);
    QTest::newRow("line passing a third box") << passing << Rects{box(a), box(b), box(c)} << Pairs{{0, 1}};

    // Lines that cross, or that meet at a T, are one piece of ink; each line joins its own ends.
    const QRect left(20, 100, 100, 80);
    const QRect right(280, 100, 100, 80);
    const QRect top(150, 10, 100, 60);
    const QRect bottom(150, 230, 100, 60);
    QImage crossed = blankWorking(401, 301);
    for (const QRect &r : {left, right, top, bottom})
        outline(crossed, r);
    ink(crossed, 120, 140, 160, 2);
    ink(crossed, 200, 70, 2, 160);
    QTest::newRow("two lines crossing") << crossed << Rects{box(left), box(right), box(top), box(bottom)}
                                        << Pairs{{2, 3}, {0, 1}};
    // A line from the box below climbs to the track of a and b and runs on with it into b:
    // it rises past a's border, so turning back to a would be a detour.
    const QRect under(20, 200, 100, 80);
    QImage tee = joined;
    outline(tee, under);
    ink(tee, 120, 240, 22, 2);
    ink(tee, 140, 62, 2, 180);
    QTest::newRow("line joining a track at a T") << tee << Rects{box(a), box(b), box(under)} << Pairs{{0, 1}, {1, 2}};
    // A line that leaves one track and joins another turns with rounded corners: a goes to c
    // and d to e along the tracks, and the line between them runs from c to d.
    const QRect c2(380, 20, 100, 80);
    const QRect d(20, 200, 100, 80);
    const QRect e(380, 200, 100, 80);
    QImage tracks = blankWorking(501, 301);
    for (const QRect &r : {a, c2, d, e})
        outline(tracks, r);
    ink(tracks, 120, 60, 260, 2);
    ink(tracks, 120, 240, 260, 2);
    QPainterPath between(QPointF(380, 61));
    between.lineTo(308, 61);
    between.quadTo(300, 61, 300, 69);
    between.lineTo(300, 232);
    between.quadTo(300, 241, 292, 241);
    between.lineTo(120, 241);
    QPainter painter(&tracks);
    painter.setPen(QPen(Qt::black, 2));
    painter.drawPath(between);
    painter.end();
    QTest::newRow("line between two tracks") << tracks << Rects{box(a), box(c2), box(d), box(e)}
                                             << Pairs{{0, 1}, {2, 3}, {1, 2}};
    QImage forked = tee;
    fork(forked, 236, 60, 1);
    QTest::newRow("T into a crow's foot") << forked << Rects{box(a), box(b), box(under)} << Pairs{{0, 1}, {2, 1}};

    // Borders belong to their boxes: boxes side by side are not linked for their borders
    // alone, and lines that meet at one border stay separate connectors.
    QImage close = blankWorking(401, 301);
    outline(close, a);
    outline(close, QRect(130, 20, 100, 80));
    QTest::newRow("borders within 14 pixels") << close << Rects{box(a), box(QRect(130, 20, 100, 80))} << Pairs{};
    const QRect below(20, 200, 100, 80);
    QImage meeting = joined;
    outline(meeting, below);
    ink(meeting, 60, 100, 2, 100);
    QTest::newRow("lines meeting at one border")
        << meeting << Rects{box(a), box(b), box(below)} << Pairs{{0, 1}, {0, 2}};
    // Background closed off where lines cross holds nothing: its outline is the lines, which
    // end at a and at the box below only.
    QImage crossing = meeting;
    ink(crossing, 62, 120, 40, 2);
    ink(crossing, 62, 158, 40, 2);
    ink(crossing, 100, 120, 2, 40);
    QTest::newRow("lines around an empty region")
        << crossing << Rects{box(a), box(b), box(below), QRectF(60, 120, 42, 40)} << Pairs{{0, 1}, {0, 2}};

    // Bands of a and of a box at 145 overlap in columns 131 to 134; the outlines lie outside.
    const QRect near(145, 20, 100, 80);
    QImage stray17 = blankWorking(401, 301);
    outline(stray17, a);
    outline(stray17, near);
    ink(stray17, 131, 50, 4, 4);
    ink(stray17, 131, 54, 1, 1);
    QImage stray18 = stray17;
    ink(stray18, 132, 54, 1, 1);
    QTest::newRow("stray mark of 17 pixels") << stray17 << Rects{box(a), box(near)} << Pairs{};
    QTest::newRow("stray mark of 18 pixels") << stray18 << Rects{box(a), box(near)} << Pairs{{0, 1}};

    // Text inside the interiors runs up to the borders; a caption outside touches both bands.
    QImage text = blankWorking(401, 301);
    outline(text, a);
    outline(text, near);
    for (int row = 0; row < 5; ++row) {
        ink(text, 24, 26 + row * 14, 95, 3);
        ink(text, 149, 26 + row * 14, 95, 3);
    }
    QTest::newRow("text inside boxes") << text << Rects{box(a), box(near)} << Pairs{};

    // A line that leaves a box and comes back to it is the box's relationship with itself;
    // one that only bends beside the box is not.
    QImage looped = blankWorking(401, 301);
    outline(looped, a);
    ink(looped, 30, 50, 60, 3);
    QImage bent = looped;
    ink(looped, 120, 40, 40, 2);
    ink(looped, 158, 40, 2, 42);
    ink(looped, 120, 80, 40, 2);
    QTest::newRow("line looping back to its box") << looped << Rects{box(a)} << Pairs{{0, 0}};
    ink(bent, 120, 40, 10, 2);
    ink(bent, 128, 40, 2, 42);
    ink(bent, 120, 80, 10, 2);
    QTest::newRow("bend beside its box") << bent << Rects{box(a)} << Pairs{};
    QImage caption = text;
    ink(caption, 126, 104, 14, 6);
    QTest::newRow("caption between boxes") << caption << Rects{box(a), box(near)} << Pairs{{0, 1}};
}

void TestRasterBoxes::connectors()
{
    QFETCH(QImage, working);
    QFETCH(Rects, boxes);
    QFETCH(Pairs, links);
    const QList<RecognizedLink> found = traceConnectors(working, boxes);
    QCOMPARE(pairsOf(found), links);
    for (const RecognizedLink &link : found)
        QVERIFY(!link.hasLine && link.line.isNull());
    QCOMPARE(unorderedPairsOf(traceConnectorsPlainly(working, boxes)), unorderedPairsOf(found));
}

void TestRasterBoxes::forkMarksTheManyEnd_data()
{
    QTest::addColumn<QImage>("working");
    QTest::addColumn<int>("oneIndex");
    QTest::addColumn<int>("manyIndex");

    const QRect a(20, 20, 100, 80);
    const QRect b(250, 20, 100, 80);
    QImage plain = blankWorking(401, 301);
    outline(plain, a);
    outline(plain, b);
    ink(plain, 120, 60, 130, 2);
    QTest::newRow("no fork: box order") << plain << 0 << 1;
    QImage atSecond = plain;
    fork(atSecond, 236, 60, 1);
    QTest::newRow("fork at the second box") << atSecond << 0 << 1;
    QImage atFirst = plain;
    fork(atFirst, 133, 60, -1);
    QTest::newRow("fork at the first box") << atFirst << 1 << 0;
    // A bar across the line near the one end does not touch the border.
    QImage barred = atFirst;
    ink(barred, 240, 52, 2, 18);
    QTest::newRow("fork at the first box, bar at the second") << barred << 1 << 0;
}

void TestRasterBoxes::forkMarksTheManyEnd()
{
    QFETCH(QImage, working);
    QFETCH(int, oneIndex);
    QFETCH(int, manyIndex);
    const QList<RecognizedLink> links = traceConnectors(working, {QRectF(20, 20, 100, 80), QRectF(250, 20, 100, 80)});
    QCOMPARE(links.size(), qsizetype(1));
    QCOMPARE(links.first().oneIndex, oneIndex);
    QCOMPARE(links.first().manyIndex, manyIndex);
}

void TestRasterBoxes::dashedLines_data()
{
    QTest::addColumn<QImage>("working");
    QTest::addColumn<Rects>("boxes");
    QTest::addColumn<Pairs>("links");
    const QRect a(20, 20, 100, 80);
    const QRect b(250, 150, 100, 80);
    const QRect beside(250, 20, 100, 80);
    // Dashes 9 pixels long with gaps of 6, as a view's link comes out of the closing passes.
    const auto dashes = [](QImage &working, const QPoint &from, const QPoint &to) {
        const QPoint step((to.x() > from.x()) - (to.x() < from.x()), (to.y() > from.y()) - (to.y() < from.y()));
        int i = 0;
        for (QPoint p = from; p != to; p += step, ++i) {
            if (i % 15 < 9)
                ink(working, p.x(), p.y(), 2, 2);
        }
    };
    QImage straight = blankWorking(401, 301);
    outline(straight, a);
    outline(straight, beside);
    dashes(straight, QPoint(120, 60), QPoint(250, 60));
    QTest::newRow("straight") << straight << Rects{QRectF(a), QRectF(beside)} << Pairs{{0, 1}};
    QImage cornered = blankWorking(401, 301);
    outline(cornered, a);
    outline(cornered, b);
    dashes(cornered, QPoint(120, 60), QPoint(300, 60));
    dashes(cornered, QPoint(300, 60), QPoint(300, 150));
    QTest::newRow("round a corner") << cornered << Rects{QRectF(a), QRectF(b)} << Pairs{{0, 1}};
    // Marks scattered in the open are no line.
    QImage scattered = blankWorking(401, 301);
    outline(scattered, a);
    outline(scattered, b);
    for (int i = 0; i < 6; ++i)
        ink(scattered, 150 + i * 17, 110 + (i % 2) * 14, 6, 3);
    QTest::newRow("scattered marks") << scattered << Rects{QRectF(a), QRectF(b)} << Pairs{};
}

void TestRasterBoxes::dashedLines()
{
    QFETCH(QImage, working);
    QFETCH(Pairs, links);
    QFETCH(Rects, boxes);
    QCOMPARE(unorderedPairsOf(traceConnectors(joinDashes(working, boxes), boxes)), links);
}

void TestRasterBoxes::connectorStageMatchesThePlainLoop()
{
    QRandomGenerator random(111);
    int linked = 0;
    for (int picture = 0; picture < 60; ++picture) {
        QImage working;
        Rects boxes;
        seededPicture(random, &working, &boxes);
        const QList<RecognizedLink> fast = traceConnectors(working, boxes);
        QCOMPARE(unorderedPairsOf(fast), unorderedPairsOf(traceConnectorsPlainly(working, boxes)));
        linked += int(fast.size());
    }
    QVERIFY2(linked > 60, "the seeded pictures should link boxes");
}

// One ink line touching the bands of 200 boxes would give 19,900 links.
void TestRasterBoxes::linksAreBounded()
{
    QImage working = blankWorking(200 * 40, 60);
    Rects boxes;
    for (int i = 0; i < 200; ++i)
        boxes.append(QRectF(i * 40, 20, 36, 36));
    ink(working, 0, 10, working.width(), 2);
    QTest::ignoreMessage(QtWarningMsg, "detectRasterBoxes: too many connections, keeping the first 10000 links");
    const QList<RecognizedLink> links = traceConnectors(working, boxes);
    QCOMPARE(links.size(), qsizetype(MaxRasterLinks));
    QCOMPARE(pairsOf(links).first(), (QPair<int, int>(0, 1)));
    QCOMPARE(pairsOf(links).last(), (QPair<int, int>(58, 169)));
}

void TestRasterBoxes::picturesWithoutBoxes_data()
{
    QTest::addColumn<QImage>("picture");
    const auto filled = [](int width, int height, const QColor &colour) {
        QImage picture(width, height, QImage::Format_RGB32);
        picture.fill(colour);
        return picture;
    };
    QTest::newRow("null") << QImage();
    QTest::newRow("scales to nothing") << filled(100000, 1, Qt::white);
    QTest::newRow("1 x 1") << filled(1, 1, Qt::black);
    QTest::newRow("2 x 2") << filled(2, 2, Qt::white);
    QTest::newRow("all white") << filled(301, 200, Qt::white);
    QTest::newRow("all black") << filled(301, 200, Qt::black);
    QTest::newRow("one grey") << filled(301, 200, QColor(115, 115, 115));
}

void TestRasterBoxes::picturesWithoutBoxes()
{
    QFETCH(QImage, picture);
    RecognizedDiagram out;
    out.entities.append(RecognizedEntity());
    QVERIFY(!detectRasterBoxes(picture, out));
    QCOMPARE(out.entities.size(), 1);
}

// A title band far wider than high sits over its body, parted by one line; alone it would
// fail the shape filter and leave the body as the box.
void TestRasterBoxes::wideTitleBandJoinsItsBody()
{
    QImage picture(520, 220, QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        painter.fillRect(20, 20, 440, 2, Qt::black);
        painter.fillRect(20, 48, 440, 2, Qt::black);
        painter.fillRect(20, 168, 440, 2, Qt::black);
        painter.fillRect(20, 20, 2, 150, Qt::black);
        painter.fillRect(458, 20, 2, 150, Qt::black);
        painter.fillRect(40, 70, 60, 6, Qt::black);  // a row mark
    }
    RecognizedDiagram out;
    QVERIFY(detectRasterBoxes(picture, out));
    QCOMPARE(out.entities.size(), qsizetype(1));
    const QRectF box = out.entities.first().rect;
    QVERIFY2(box.top() <= 22 && box.bottom() >= 168, qPrintable(QStringLiteral("box %1,%2 %3x%4")
                                                                      .arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height())));
}

QTEST_MAIN(TestRasterBoxes)
#include "tst_rasterboxes.moc"
