// Relationship edge workloads on a seeded diagram of 300 boxes (20 of them views) with 500
// edges: routing every edge from scratch, and dragging the ten busiest boxes in batch mode.
#include "bench.h"

#include "diagramgenerator.h"
#include "edgeitem.h"
#include "entityitem.h"

#include <QElapsedTimer>
#include <QFontDatabase>
#include <QGraphicsScene>
#include <QHash>

#include <algorithm>
#include <memory>

static void initEdgeBundle()
{
    Q_INIT_RESOURCE(velmora);
}

namespace {

void registerFont()
{
    static const bool done = [] {
        initEdgeBundle();
        QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/resources/fonts/JetBrainsMono-Regular.ttf"));
        return true;
    }();
    Q_UNUSED(done);
}

diagramgenerator::DiagramPlan benchPlan()
{
    diagramgenerator::DiagramPlan plan; // 20 x 15 boxes, 20 views, 500 edges
    plan.seed = 7;
    return plan;
}

// A scene with a fixed rectangle, as the diagram scene has: a rectangle that follows every
// route would make the scene rebuild its index.
std::unique_ptr<QGraphicsScene> newScene()
{
    auto scene = std::make_unique<QGraphicsScene>();
    scene->setSceneRect(-2000, -2000, 12000, 9000);
    return scene;
}

// Edges first, then the boxes; not part of any figure.
void tearDown(std::unique_ptr<QGraphicsScene> scene, const diagramgenerator::Diagram &diagram)
{
    qDeleteAll(diagram.edges);
    scene.reset();
}

void routeAll()
{
    registerFont();
    std::unique_ptr<QGraphicsScene> scene = newScene();
    const diagramgenerator::Diagram diagram = diagramgenerator::buildDiagram(scene.get(), benchPlan());
    bench::report(QStringLiteral("boxes, edges"),
                  QStringLiteral("%1, %2").arg(diagram.boxes.size()).arg(diagram.edges.size()));
    const double ms = bench::medianMs([&] {
        for (EdgeItem *edge : diagram.edges)
            edge->updatePath();
    });
    bench::reportMs(QStringLiteral("updatePath, every edge"), ms);
    bench::reportMs(QStringLiteral("per edge"), ms / std::max<qsizetype>(1, diagram.edges.size()));

    const double queryMs = bench::medianMs([&] {
        for (EdgeItem *edge : diagram.edges)
            edge->obstacleRects();
    });
    bench::reportMs(QStringLiteral("of which the obstacle queries"), queryMs);
    const double computeMs = bench::medianMs([&] {
        for (EdgeItem *edge : diagram.edges)
            edge->computeRoute();
    });
    bench::reportMs(QStringLiteral("of which computing (queries included)"), computeMs);

    EdgeItem::setFullObstacleWalk(true);
    const double fullMs = bench::medianMs([&] {
        for (EdgeItem *edge : diagram.edges)
            edge->updatePath();
    }, 1);
    EdgeItem::setFullObstacleWalk(false);
    bench::reportMs(QStringLiteral("the same, walking every item"), fullMs);
    bench::report(QStringLiteral("peak memory"), QStringLiteral("%1 MiB").arg(bench::peakRssMiB(), 0, 'f', 1));
    tearDown(std::move(scene), diagram);
}

void drag()
{
    registerFont();
    std::unique_ptr<QGraphicsScene> scene = newScene();
    const diagramgenerator::Diagram diagram = diagramgenerator::buildDiagram(scene.get(), benchPlan());
    for (EdgeItem *edge : diagram.edges)
        edge->updatePath();

    // The ten boxes with the most edges, ties in grid order.
    QList<EntityItem *> busiest = diagram.boxes;
    std::stable_sort(busiest.begin(), busiest.end(),
                     [](const EntityItem *a, const EntityItem *b) { return a->edges.size() > b->edges.size(); });
    busiest = busiest.mid(0, 10);
    int attached = 0;
    for (EntityItem *box : busiest) {
        box->setSelected(true);
        attached += int(box->edges.size());
    }
    bench::report(QStringLiteral("edges at the moved boxes"), QString::number(attached));

    EdgeItem::setBatchMode(true);
    double total = 0;
    double worst = 0;
    double moving = 0;
    const int steps = 60;
    for (int step = 0; step < steps; ++step) {
        QElapsedTimer timer;
        timer.start();
        for (EntityItem *box : busiest)
            box->moveBy(7, 3);
        // The view's repaint after a move brings the scene's index up to date before the
        // timer fires; a small query does the same here.
        scene->items(QRectF(-1990, -1990, 1, 1));
        moving += timer.nsecsElapsed() / 1e6;
        timer.restart();
        EdgeItem::flushPendingReroutes();
        const double ms = timer.nsecsElapsed() / 1e6;
        total += ms;
        worst = std::max(worst, ms);
    }
    bench::reportMs(QStringLiteral("flush, mean"), total / steps);
    bench::reportMs(QStringLiteral("flush, maximum"), worst);
    bench::reportMs(QStringLiteral("moving the boxes and indexing them, mean"), moving / steps);

    QElapsedTimer timer;
    timer.start();
    EdgeItem::setBatchMode(false);
    bench::reportMs(QStringLiteral("end of batch (full re-route)"), timer.nsecsElapsed() / 1e6);
    bench::report(QStringLiteral("peak memory"), QStringLiteral("%1 MiB").arg(bench::peakRssMiB(), 0, 'f', 1));
    tearDown(std::move(scene), diagram);
}

} // namespace

VELMORA_BENCH("edges-route-all", "updatePath for every edge of 300 boxes and 500 edges, from scratch", routeAll);
VELMORA_BENCH("edges-drag", "60 batched moves of the 10 busiest boxes, each with the timer's flush", drag);
