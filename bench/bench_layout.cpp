// Automatic layout workloads: whole diagrams laid out by ERScene::autoLayout, with the
// time of each stage, peak memory and the quality figures before and after.
// VELMORA_BENCH_LAYOUT_DOCS=<folder> also writes the documents before the layout
// (layout-small.json, layout-300.json) for render_diagram.
// VELMORA_BENCH_LAYOUT_SIZES=<n,n> limits layout-quality to those numbers of tables.
#include "bench.h"

#include "diagramgenerator.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "layoutfixtures.h"
#include "erview.h"
#include "scenelayout.h"
#include "schemagenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QJsonDocument>
#include <QSaveFile>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

static void initLayoutBundle()
{
    Q_INIT_RESOURCE(velmora);
}

namespace {

void registerFont()
{
    static const bool done = [] {
        initLayoutBundle();
        QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/resources/fonts/JetBrainsMono-Regular.ttf"));
        return true;
    }();
    Q_UNUSED(done);
}

// Scenes live to the end of the process and are never torn down: their teardown is not
// what is measured, and torn down after the application object it would ask for timers
// no thread has any more.
ERScene *newScene()
{
    static auto *const scenes = new std::vector<std::unique_ptr<ERScene>>;
    scenes->push_back(std::make_unique<ERScene>());
    return scenes->back().get();
}

void reportQuality(const QString &when, const layout::LayoutQuality &quality)
{
    bench::report(when, QString());
    for (const QString &line : layout::describeQuality(quality)) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        bench::report(QStringLiteral("  ") + line.left(colon), line.mid(colon + 2));
    }
}

void writeDocument(ERScene *scene, const QString &name)
{
    const QString folder = qEnvironmentVariable("VELMORA_BENCH_LAYOUT_DOCS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    QSaveFile file(QDir(folder).filePath(name));
    if (!file.open(QIODevice::WriteOnly)) {
        bench::report(QStringLiteral("document"), QStringLiteral("cannot write %1").arg(file.fileName()));
        return;
    }
    file.write(QJsonDocument(scene->toJson()).toJson(QJsonDocument::Indented));
    bench::report(QStringLiteral("document"), file.commit() ? file.fileName() : QStringLiteral("not written"));
}

// Routes every edge as the loader would, measures, lays out, measures again.
void runLayout(const std::function<diagramgenerator::Diagram(ERScene *)> &build, const QString &documentName)
{
    registerFont();
    ERScene *scene = newScene();
    const diagramgenerator::Diagram diagram = build(scene);
    for (EdgeItem *edge : diagram.edges)
        edge->updatePath();
    bench::report(QStringLiteral("boxes, edges"),
                  QStringLiteral("%1, %2").arg(diagram.boxes.size()).arg(diagram.edges.size()));
    if (!documentName.isEmpty())
        writeDocument(scene, documentName);
    reportQuality(QStringLiteral("before"), scenelayout::measureScene(scene));
    // Entity boxes are heavy; this shows how much of the peak is the scene itself.
    bench::report(QStringLiteral("peak RSS before the layout"),
                  QStringLiteral("%1 MiB").arg(bench::peakRssMiB(), 0, 'f', 1));

    QElapsedTimer timer;
    timer.start();
    scene->autoLayout();
    const double ms = timer.nsecsElapsed() / 1e6;
    bench::reportMs(QStringLiteral("autoLayout"), ms);
    for (const scenelayout::StageTime &stage : scenelayout::lastStageTimes())
        bench::reportMs(QStringLiteral("  ") + stage.stage, stage.ms);
    reportQuality(QStringLiteral("after"), scenelayout::measureScene(scene));
    bench::report(QStringLiteral("peak RSS"), QStringLiteral("%1 MiB").arg(bench::peakRssMiB(), 0, 'f', 1));
}

diagramgenerator::Diagram generated(ERScene *scene, int columns, int rows, int edges, int views, int viewLinks,
                                    std::uint64_t seed, int hubLeaves)
{
    diagramgenerator::DiagramPlan plan;
    plan.columns = columns;
    plan.rows = rows;
    plan.views = views;
    plan.viewLinks = viewLinks;
    plan.selfRelationships = 10;
    plan.edges = edges - hubLeaves;
    plan.seed = seed;
    diagramgenerator::Diagram diagram = diagramgenerator::buildDiagram(scene, plan);
    if (hubLeaves > 0)
        layoutfixtures::addHub(scene, diagram, (rows / 2) * columns + columns / 2, hubLeaves);
    return diagram;
}

// One generated schema laid out in a shown view; the time is the median of three fresh
// scenes, the figures are those of the last (the layout is deterministic).
void runSchemaLayout(int tables)
{
    constexpr int Runs = 3;
    constexpr std::uint64_t Seed = 1919;
    std::vector<double> times;
    ERScene *scene = nullptr;
    int edges = 0;
    for (int run = 0; run < Runs; ++run) {
        scene = newScene();
        const diagramgenerator::Diagram diagram = schemagenerator::buildSchema(scene, {tables, Seed});
        edges = int(diagram.edges.size());
        for (EdgeItem *edge : diagram.edges)
            edge->updatePath();
        // The view goes before the application does; the scene stays (see newScene).
        ERView view;
        view.setScene(scene);
        view.resize(1200, 800);
        view.show();
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        scene->autoLayout();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    const layout::LayoutQuality q = scenelayout::measureScene(scene);
    bench::report(QStringLiteral("tables / relationships"), QStringLiteral("%1 / %2").arg(tables).arg(edges));
    bench::report(QStringLiteral("  overlapping box pairs"), QString::number(q.boxOverlaps));
    bench::report(QStringLiteral("  segments through a box not an end"), QString::number(q.segmentBoxHits));
    bench::report(QStringLiteral("  line pairs sharing a run > 10 px"), QString::number(q.sharedRunEdgePairs));
    bench::report(QStringLiteral("  edge crossings"), QString::number(q.crossings));
    bench::report(QStringLiteral("  bends"), QString::number(q.bends));
    bench::report(QStringLiteral("  total route length"), QString::number(q.routeLength, 'f', 0));
    bench::report(QStringLiteral("  drawing area / box area"), QString::number(layout::areaRatio(q), 'f', 2));
    bench::reportMs(QStringLiteral("  autoLayout (median of 3)"), times[times.size() / 2]);
    for (const scenelayout::StageTime &stage : scenelayout::lastStageTimes())
        bench::reportMs(QStringLiteral("    ") + stage.stage, stage.ms);
}

void runLayoutQuality()
{
    registerFont();
    QList<int> sizes{30, 100, 300, 1000};
    // VELMORA_BENCH_LAYOUT_SIZES=300,1000 runs those sizes only.
    const QString only = qEnvironmentVariable("VELMORA_BENCH_LAYOUT_SIZES");
    if (!only.isEmpty()) {
        sizes.clear();
        for (const QString &size : only.split(QLatin1Char(',')))
            sizes.append(size.toInt());
    }
    for (int tables : std::as_const(sizes))
        runSchemaLayout(tables);
}

} // namespace

VELMORA_BENCH("layout-quality", "auto layout of generated schemas of 30, 100, 300 and 1,000 tables in a shown view: "
                                "overlaps, lines through boxes, shared runs, crossings, bends, length, area, time",
              runLayoutQuality);

VELMORA_BENCH("layout-small", "auto layout of a fixed shop schema: 15 tables, 22 relationships", [] {
    runLayout([](ERScene *scene) { return layoutfixtures::buildShopDiagram(scene); },
              QStringLiteral("layout-small.json"));
});

VELMORA_BENCH("layout-300", "auto layout of 300 boxes and 500 edges with a hub of 40 (target < 2 s)", [] {
    runLayout([](ERScene *scene) { return generated(scene, 20, 15, 500, 20, 20, 11, 40); },
              QStringLiteral("layout-300.json"));
});

VELMORA_BENCH("layout-1000", "auto layout of 1,000 boxes and 1,500 edges (target < 15 s)", [] {
    runLayout([](ERScene *scene) { return generated(scene, 40, 25, 1500, 30, 30, 13, 0); }, QString());
});

VELMORA_BENCH("layout-3000", "auto layout of one sparse component of 3,000 boxes (target < 500 MB peak)", [] {
    runLayout([](ERScene *scene) { return layoutfixtures::buildSparseTree(scene, 3000, 17); }, QString());
});
