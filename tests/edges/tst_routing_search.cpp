#include "orthogonalsearch.h"
#include "routingtestutil.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSaveFile>
#include <QTest>

#include <cmath>

using namespace routing;
using routingtest::routeToText;
using routingtest::SeededRandom;

namespace {

// Generated layouts, each searched for all sixteen side pairs; a digest of every route is
// kept in data/search_routes.json. The search may get faster but must find the very same
// route wherever several are equally cheap, so the boxes sit on a coarse grid where such
// ties abound. Set VELMORA_UPDATE_SEARCH_ROUTES=1 to write the file afresh from the
// current search, and say in the commit why routes changed.
constexpr int LayoutCount = 120;

struct SearchLayout
{
    QList<QRectF> boxes; // every box, the two ends among them
    int from = 0;
    int to = 0;
    bool nearOnly = false; // the window around the two ends, as the first tries take
    QList<Route> drawn;    // lines of other routes the search steers clear of
};

// Rows and columns of boxes snapped to 10, some missing, and a few long walls across them.
SearchLayout generateLayout(int seed)
{
    SeededRandom random(std::uint64_t(seed) * 7919 + 17);
    const auto snap = [](double v) { return std::round(v / 10) * 10; };
    SearchLayout layout;
    const int columns = 3 + random.below(7);
    const int rows = 3 + random.below(7);
    const double cellWidth = 200 + 20 * random.below(4);
    const double cellHeight = 140 + 20 * random.below(4);
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < rows; ++r) {
            if (random.chance(0.15))
                continue;
            const double width = snap(random.uniform(90, cellWidth - 40));
            const double height = snap(random.uniform(50, cellHeight - 40));
            const double x = c * cellWidth + snap(random.uniform(0, cellWidth - 30 - width));
            const double y = r * cellHeight + snap(random.uniform(0, cellHeight - 30 - height));
            layout.boxes.append(QRectF(x, y, width, height));
        }
    }
    const int walls = random.below(3);
    for (int i = 0; i < walls; ++i) {
        const bool upright = random.chance(0.5);
        const int at = 1 + random.below((upright ? columns : rows) - 1);
        const double span = (upright ? rows * cellHeight : columns * cellWidth) * random.uniform(0.4, 0.9);
        layout.boxes.append(upright ? QRectF(at * cellWidth - 25, snap(random.uniform(-100, 200)), 30, snap(span))
                                    : QRectF(snap(random.uniform(-100, 200)), at * cellHeight - 25, snap(span), 30));
    }
    layout.from = random.below(int(layout.boxes.size()));
    layout.to = random.below(int(layout.boxes.size()));
    if (layout.to == layout.from)
        layout.to = (layout.from + 1) % int(layout.boxes.size());
    layout.nearOnly = random.chance(0.3);
    if (random.chance(0.35)) {
        const int lines = 3 + random.below(12);
        for (int i = 0; i < lines; ++i) {
            const QPointF a = layout.boxes.at(random.below(int(layout.boxes.size()))).center();
            const QPointF b = layout.boxes.at(random.below(int(layout.boxes.size()))).center();
            layout.drawn.append({a, QPointF(b.x(), a.y()), b});
        }
    }
    return layout;
}

// The route of one side pair of a layout.
QString searchPair(const SearchLayout &layout, EntitySide fromSide, EntitySide toSide)
{
    const QRectF fromRect = layout.boxes.at(layout.from);
    const QRectF toRect = layout.boxes.at(layout.to);
    QList<QRectF> obstacles;
    QRectF everything = fromRect | toRect;
    for (int i = 0; i < layout.boxes.size(); ++i) {
        everything |= layout.boxes.at(i);
        if (i != layout.from && i != layout.to)
            obstacles.append(insetObstacleRect(layout.boxes.at(i)));
    }
    obstacles << insetObstacleRect(fromRect) << insetObstacleRect(toRect);
    const DrawnLines drawn(layout.drawn);
    SearchEnds ends;
    ends.fromSide = fromSide;
    ends.toSide = toSide;
    ends.fromAnchor = anchorOnSide(fromRect, fromSide, toRect.center());
    ends.toAnchor = anchorOnSide(toRect, toSide, fromRect.center());
    const double stub = stubLength(fromSide, toSide, fromRect, toRect);
    ends.fromStub = ends.fromAnchor + stub * sideDirection(fromSide);
    ends.toStub = ends.toAnchor + stub * sideDirection(toSide);
    const QRectF near = (fromRect | toRect | QRectF(ends.fromStub, ends.toStub).normalized());
    const QRectF area = layout.nearOnly ? near.adjusted(-160, -160, 160, 160) : everything.adjusted(-48, -48, 48, 48);
    return routeToText(searchOrthogonalRoute(ends, obstacles, area, SearchCosts{},
                                             layout.drawn.isEmpty() ? nullptr : &drawn, -1));
}

// The routes of all side pairs of one layout, in the order from side, then to side.
QStringList searchAllPairs(const SearchLayout &layout)
{
    QStringList routes;
    for (EntitySide fromSide = LeftSide; fromSide <= BottomSide; ++fromSide) {
        for (EntitySide toSide = LeftSide; toSide <= BottomSide; ++toSide)
            routes << searchPair(layout, fromSide, toSide);
    }
    return routes;
}

QString digest(const QString &route)
{
    return QString::fromLatin1(QCryptographicHash::hash(route.toUtf8(), QCryptographicHash::Sha1).toHex().left(12));
}

QString recordPath()
{
    return testsupport::dataPath(QStringLiteral("edges/data/search_routes.json"));
}

} // namespace

class tst_RoutingSearch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void routesMatchRecorded_data();
    void routesMatchRecorded();
    void keptLinesRouteAsAFreshSearch_data();
    void keptLinesRouteAsAFreshSearch();

private:
    QJsonArray m_recorded;
};

void tst_RoutingSearch::initTestCase()
{
    if (qEnvironmentVariableIntValue("VELMORA_UPDATE_SEARCH_ROUTES") == 1) {
        QJsonArray layouts;
        for (int seed = 0; seed < LayoutCount; ++seed) {
            QJsonArray digests;
            for (const QString &route : searchAllPairs(generateLayout(seed)))
                digests.append(digest(route));
            layouts.append(digests);
        }
        QSaveFile file(recordPath());
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
        file.write(QJsonDocument(QJsonObject{{"layouts", layouts}}).toJson(QJsonDocument::Compact));
        QVERIFY2(file.commit(), qPrintable(file.errorString()));
        qInfo("Wrote %s", qPrintable(recordPath()));
    }
    QFile file(recordPath());
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(recordPath()));
    m_recorded = QJsonDocument::fromJson(file.readAll()).object().value(QLatin1String("layouts")).toArray();
    QCOMPARE(m_recorded.size(), LayoutCount);
}

void tst_RoutingSearch::routesMatchRecorded_data()
{
    QTest::addColumn<int>("seed");
    for (int seed = 0; seed < LayoutCount; ++seed)
        QTest::addRow("layout %d", seed) << seed;
}

void tst_RoutingSearch::routesMatchRecorded()
{
    QFETCH(int, seed);
    const QStringList routes = searchAllPairs(generateLayout(seed));
    const QJsonArray expected = m_recorded.at(seed).toArray();
    QCOMPARE(expected.size(), routes.size());
    for (int i = 0; i < routes.size(); ++i) {
        QVERIFY2(digest(routes.at(i)) == expected.at(i).toString(),
                 qPrintable(QStringLiteral("sides %1 -> %2 now: %3").arg(i / 4).arg(i % 4).arg(routes.at(i))));
    }
}

void tst_RoutingSearch::keptLinesRouteAsAFreshSearch_data()
{
    QTest::addColumn<bool>("gap");
    QTest::newRow("closed ring") << false;
    QTest::newRow("ring with a gap") << true;
}

// A box inside a ring of overlapping boxes and four outside it. A search among many boxes
// keeps their lines for the next search over the same boxes, which tells from them whether
// any chain of lines joins the two ends: its route, or none, is that of the first search.
void tst_RoutingSearch::keptLinesRouteAsAFreshSearch()
{
    QFETCH(bool, gap);
    SearchLayout ring;
    ring.boxes.append(QRectF(-75, -35, 150, 70));
    for (int i = 0; i < 80; ++i) {
        if (gap && (i < 2 || i > 77))
            continue;
        const double angle = i * 6.283185307179586 / 80;
        ring.boxes.append(QRectF(700 * std::cos(angle) - 75, 500 * std::sin(angle) - 35, 150, 70));
    }
    const int outside = int(ring.boxes.size());
    for (const QPointF &at : {QPointF(1300, 0), QPointF(-1300, 40), QPointF(60, 900), QPointF(-40, -900)})
        ring.boxes.append(QRectF(at.x() - 75, at.y() - 35, 150, 70));
    QList<QPair<int, int>> pairs;
    for (int k = outside; k < ring.boxes.size(); ++k)
        pairs.append({0, k});
    pairs.append({outside, outside + 1});
    pairs.append({outside + 3, outside + 2});

    for (qsizetype i = 0; i < pairs.size(); ++i) {
        int routed = 0;
        for (EntitySide fromSide = LeftSide; fromSide <= BottomSide; ++fromSide) {
            for (EntitySide toSide = LeftSide; toSide <= BottomSide; ++toSide) {
                // A far box of its own makes the boxes of each search below new to the search.
                SearchLayout layout = ring;
                layout.boxes.append(QRectF(2000 + 40 * i + 3 * fromSide, 1500 + 30 * toSide + (gap ? 7 : 0), 150, 70));
                layout.from = pairs.at(i).first;
                layout.to = pairs.at(i).second;
                const QString first = searchPair(layout, fromSide, toSide);
                QCOMPARE(searchPair(layout, fromSide, toSide), first);
                if (first != routeToText({}))
                    ++routed;
            }
        }
        // From inside a closed ring there is no way out; every other pair has one.
        if (pairs.at(i).first == 0 && !gap)
            QCOMPARE(routed, 0);
        else
            QVERIFY(routed > 0);
    }
}

QTEST_GUILESS_MAIN(tst_RoutingSearch)
#include "tst_routing_search.moc"
