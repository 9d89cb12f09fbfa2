#include "layoutbench.h"

#include "edgeitem.h"
#include "erscene.h"
#include "erview.h"
#include "schemagenerator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontDatabase>

#include <algorithm>
#include <memory>
#include <vector>

static void initLayoutBenchBundle()
{
    Q_INIT_RESOURCE(velmora);
}

namespace layoutbench {

namespace {

constexpr std::uint64_t Seed = 1919;

Shape generated(int tables)
{
    return {QString::number(tables),
            QStringLiteral("generated schema of %L1 tables with hubs and chains").arg(tables),
            [tables](ERScene *scene) { return schemagenerator::buildSchema(scene, {tables, Seed}); }};
}

QString number(double value)
{
    return QString::number(value, 'f', 0);
}

// Width over height as "w : 1" when wide, "1 : h" when tall.
QString proportions(const QRectF &d)
{
    if (d.width() <= 0 || d.height() <= 0)
        return QStringLiteral("-");
    if (d.width() >= d.height())
        return QStringLiteral("%1 : 1").arg(d.width() / d.height(), 0, 'f', 2);
    return QStringLiteral("1 : %1").arg(d.height() / d.width(), 0, 'f', 2);
}

double elongation(const QRectF &d)
{
    if (d.width() <= 0 || d.height() <= 0)
        return 0;
    return std::max(d.width() / d.height(), d.height() / d.width());
}

Figure counted(const QString &label, double (*value)(const layout::LayoutQuality &))
{
    return {label, [value](const layout::LayoutQuality &q) { return number(value(q)); }, value};
}

} // namespace

void registerFont()
{
    static const bool done = [] {
        initLayoutBenchBundle();
        QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/resources/fonts/JetBrainsMono-Regular.ttf"));
        return true;
    }();
    Q_UNUSED(done);
}

const QList<Shape> &shapes()
{
    static const QList<Shape> all{
        generated(30),
        generated(100),
        generated(300),
        generated(1000),
        {QStringLiteral("tree"), QStringLiteral("tree of 300 tables with 60 extra links"),
         [](ERScene *scene) { return schemagenerator::buildTreeWithLinks(scene, 300, 60, Seed); }},
        {QStringLiteral("stars"), QStringLiteral("star of stars: a centre, 10 arms of 15 leaves (161 tables)"),
         [](ERScene *scene) { return schemagenerator::buildStarOfStars(scene, 10, 15, Seed); }},
        {QStringLiteral("chain"), QStringLiteral("chain of 100 tables"),
         [](ERScene *scene) { return schemagenerator::buildChain(scene, 100, Seed); }},
        {QStringLiteral("sparse"), QStringLiteral("sparse graph of 200 tables, at most 3 links each, no hubs"),
         [](ERScene *scene) { return schemagenerator::buildSparseGraph(scene, 200, 60, Seed); }},
        {QStringLiteral("film"), QStringLiteral("film rental schema: 16 tables, 22 foreign keys"),
         [](ERScene *scene) { return schemagenerator::buildFilmRental(scene); }},
    };
    return all;
}

ERScene *newScene()
{
    static auto *const scenes = new std::vector<std::unique_ptr<ERScene>>;
    scenes->push_back(std::make_unique<ERScene>());
    return scenes->back().get();
}

Laid layOutShown(const Shape &shape)
{
    registerFont();
    Laid laid;
    laid.scene = newScene();
    laid.diagram = shape.build(laid.scene);
    for (EdgeItem *edge : std::as_const(laid.diagram.edges))
        edge->updatePath();
    // The view goes before the application does; the scene stays (see newScene).
    ERView view;
    view.setScene(laid.scene);
    view.resize(1200, 800);
    view.show();
    QCoreApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    laid.scene->autoLayout();
    laid.ms = timer.nsecsElapsed() / 1e6;
    return laid;
}

const QList<Figure> &figures()
{
    using Q = layout::LayoutQuality;
    static const QList<Figure> all{
        counted(QStringLiteral("overlapping box pairs"), [](const Q &q) { return double(q.boxOverlaps); }),
        counted(QStringLiteral("segments through a box not an end"), [](const Q &q) { return double(q.segmentBoxHits); }),
        counted(QStringLiteral("line pairs sharing a run > 10 px"), [](const Q &q) { return double(q.sharedRunEdgePairs); }),
        counted(QStringLiteral("edge crossings"), [](const Q &q) { return double(q.crossings); }),
        counted(QStringLiteral("total line length"), [](const Q &q) { return q.routeLength; }),
        counted(QStringLiteral("bends, total"), [](const Q &q) { return double(q.bends); }),
        counted(QStringLiteral("bends, most on one line"), [](const Q &q) { return double(q.maxBends); }),
        {QStringLiteral("drawing width x height"),
         [](const Q &q) { return QStringLiteral("%1 x %2").arg(number(q.drawing.width()), number(q.drawing.height())); },
         nullptr},
        {QStringLiteral("drawing proportions (width : height)"), [](const Q &q) { return proportions(q.drawing); },
         [](const Q &q) { return elongation(q.drawing); }},
        {QStringLiteral("drawing area / box area"),
         [](const Q &q) { return QString::number(layout::areaRatio(q), 'f', 2); },
         [](const Q &q) { return layout::areaRatio(q); }},
    };
    return all;
}

} // namespace layoutbench
