#include "routecandidates.h"
#include "routescoring.h"
#include "routingtestutil.h"
#include "testsupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSaveFile>
#include <QTest>

using namespace routing;
using routingtest::routeToText;

namespace {

// Fixed layouts, each routed for all sixteen side pairs. The routes and their costs are
// kept in data/routing_golden.json; set VELMORA_UPDATE_ROUTING_GOLDEN=1 to write that file
// afresh from the current router, and say in the commit why a route changed.
struct GoldenCase
{
    const char *name;
    QRectF fromRect;
    QRectF toRect;
    QList<QRectF> boxes; // other entity boxes, before the inset callers apply
};

QList<GoldenCase> goldenCases()
{
    return {
        {"level", QRectF(0, 0, 140, 80), QRectF(260, 0, 140, 80), {}},
        {"offset", QRectF(0, 0, 140, 80), QRectF(260, 60, 160, 120), {}},
        {"stacked", QRectF(0, 0, 160, 80), QRectF(30, 200, 140, 90), {}},
        {"diagonal", QRectF(0, 0, 140, 80), QRectF(320, 260, 150, 100), {}},
        {"close-facing", QRectF(0, 0, 140, 80), QRectF(170, 10, 140, 80), {}},
        {"overlapping", QRectF(0, 0, 160, 100), QRectF(90, 50, 160, 100), {}},
        {"nested", QRectF(0, 0, 300, 200), QRectF(80, 60, 100, 60), {}},
        {"identical", QRectF(0, 0, 140, 80), QRectF(0, 0, 140, 80), {}},
        {"touching", QRectF(0, 0, 140, 80), QRectF(140, 20, 140, 80), {}},
        {"tiny", QRectF(0, 0, 3, 3), QRectF(120, 40, 2, 3.5), {}},
        {"negative-width", QRectF(140, 0, -140, 80), QRectF(260, 30, 140, 80), {}},
        {"obstacle-in-gap", QRectF(0, 0, 140, 80), QRectF(420, 0, 140, 80), {QRectF(220, -30, 60, 140)}},
        {"wall-between", QRectF(0, 0, 140, 80), QRectF(420, 40, 140, 80), {QRectF(200, -20, 80, 170)}},
        {"tall-wall", QRectF(0, 0, 140, 80), QRectF(420, 40, 140, 80), {QRectF(200, -200, 80, 440)}},
        {"near-lines", QRectF(0, 100, 140, 80), QRectF(300, 100, 140, 80),
         {QRectF(-40, -10, 520, 50), QRectF(-40, 240, 520, 40), QRectF(-130, 60, 70, 160), QRectF(500, 60, 70, 160),
          QRectF(190, 70, 60, 24)}},
        {"crowded", QRectF(0, 0, 140, 80), QRectF(300, 170, 140, 80),
         {QRectF(170, -10, 100, 60), QRectF(160, 180, 100, 70), QRectF(-30, 150, 120, 60), QRectF(320, 0, 110, 90),
          QRectF(170, 90, 40, 50)}},
        {"stacked-wall", QRectF(0, 0, 160, 80), QRectF(20, 260, 160, 80), {QRectF(-60, 130, 300, 60)}},
    };
}

QList<QRectF> insetAll(const QList<QRectF> &boxes)
{
    QList<QRectF> inset;
    for (const QRectF &r : boxes)
        inset.append(insetObstacleRect(r));
    return inset;
}

struct PairResult
{
    SidePair sides;
    Route route;
    double cost;
};

QList<PairResult> routeAllPairs(const GoldenCase &c)
{
    const QList<QRectF> obstacles = insetAll(c.boxes);
    const QList<QRectF> ends{insetObstacleRect(c.fromRect), insetObstacleRect(c.toRect)};
    QList<PairResult> results;
    for (EntitySide from = LeftSide; from <= BottomSide; ++from) {
        for (EntitySide to = LeftSide; to <= BottomSide; ++to) {
            const Route route = routeForSides(c.fromRect, c.toRect, from, to, obstacles);
            const ComputedRouteContext context{obstacles,
                                               ends,
                                               from,
                                               to,
                                               anchorOnSide(c.fromRect, from, c.toRect.center()),
                                               anchorOnSide(c.toRect, to, c.fromRect.center()),
                                               c.fromRect,
                                               c.toRect};
            results.append({{from, to}, route, scoreComputedRoute(route, context)});
        }
    }
    return results;
}

Route routeFromText(const QString &text)
{
    Route route;
    for (const QString &point : text.split(QLatin1String(", "), Qt::SkipEmptyParts)) {
        const QStringList xy = point.split(QLatin1Char(' '));
        route.append(QPointF(xy.value(0).toDouble(), xy.value(1).toDouble()));
    }
    return route;
}

QString goldenPath()
{
    return testsupport::dataPath(QStringLiteral("edges/data/routing_golden.json"));
}

QString describe(const Route &route)
{
    QStringList points;
    for (const QPointF &p : route)
        points << QStringLiteral("(%1, %2)").arg(p.x(), 0, 'g', 17).arg(p.y(), 0, 'g', 17);
    return points.join(QLatin1Char(' '));
}

} // namespace

class tst_RoutingGolden : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void routesMatchGolden_data();
    void routesMatchGolden();

private:
    QJsonObject m_golden;
};

void tst_RoutingGolden::initTestCase()
{
    testsupport::registerBundledMonoFont();
    if (qEnvironmentVariableIntValue("VELMORA_UPDATE_ROUTING_GOLDEN") == 1) {
        QJsonArray cases;
        for (const GoldenCase &c : goldenCases()) {
            QJsonArray pairs;
            for (const PairResult &r : routeAllPairs(c)) {
                pairs.append(QJsonObject{{"from", r.sides.from},
                                         {"to", r.sides.to},
                                         {"route", routeToText(r.route)},
                                         {"cost", r.cost}});
            }
            cases.append(QJsonObject{{"name", QString::fromLatin1(c.name)}, {"pairs", pairs}});
        }
        QSaveFile file(goldenPath());
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
        file.write(QJsonDocument(QJsonObject{{"cases", cases}}).toJson(QJsonDocument::Indented));
        QVERIFY2(file.commit(), qPrintable(file.errorString()));
        qInfo("Wrote %s", qPrintable(goldenPath()));
    }

    QFile file(goldenPath());
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(goldenPath()));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    for (const QJsonValue &c : document.object().value(QLatin1String("cases")).toArray())
        m_golden.insert(c.toObject().value(QLatin1String("name")).toString(), c.toObject().value(QLatin1String("pairs")));
}

void tst_RoutingGolden::routesMatchGolden_data()
{
    QTest::addColumn<int>("index");
    const QList<GoldenCase> cases = goldenCases();
    for (int i = 0; i < cases.size(); ++i)
        QTest::newRow(cases.at(i).name) << i;
}

void tst_RoutingGolden::routesMatchGolden()
{
    QFETCH(int, index);
    const GoldenCase c = goldenCases().at(index);
    const QString name = QString::fromLatin1(c.name);
    const QList<PairResult> results = routeAllPairs(c);

    QList<routingtest::PairRoute> drawn;
    for (const PairResult &r : results)
        drawn.append({r.sides, r.route});
    const QImage sheet = routingtest::renderSidePairSheet(name, c.fromRect, c.toRect, insetAll(c.boxes), drawn);
    QVERIFY(sheet.save(testsupport::outputDir(QStringLiteral("tst_routing_golden")) + QLatin1Char('/') + name
                       + QStringLiteral(".png")));

    QVERIFY2(m_golden.contains(name), "case missing from the golden file");
    const QJsonArray pairs = m_golden.value(name).toArray();
    QCOMPARE(pairs.size(), results.size());
    for (int i = 0; i < results.size(); ++i) {
        const PairResult &r = results.at(i);
        const QJsonObject expected = pairs.at(i).toObject();
        const QString where = QStringLiteral("%1 -> %2").arg(routingtest::sideName(r.sides.from),
                                                            routingtest::sideName(r.sides.to));
        QCOMPARE(expected.value(QLatin1String("from")).toInt(), r.sides.from);
        QCOMPARE(expected.value(QLatin1String("to")).toInt(), r.sides.to);
        const Route expectedRoute = routeFromText(expected.value(QLatin1String("route")).toString());
        // Exact: the router is deterministic to the last bit.
        QVERIFY2(r.route == expectedRoute, qPrintable(QStringLiteral("%1: got %2, expected %3")
                                                          .arg(where, describe(r.route), describe(expectedRoute))));
        QVERIFY2(r.cost == expected.value(QLatin1String("cost")).toDouble(),
                 qPrintable(QStringLiteral("%1: cost %2, expected %3")
                                .arg(where)
                                .arg(r.cost, 0, 'g', 17)
                                .arg(expected.value(QLatin1String("cost")).toDouble(), 0, 'g', 17)));
    }
}

QTEST_MAIN(tst_RoutingGolden)
#include "tst_routing_golden.moc"
