// Automatic layout workloads: whole diagrams laid out by ERScene::autoLayout, with the
// time of each stage, peak memory and the quality figures before and after.
// VELMORA_BENCH_LAYOUT_DOCS=<folder> also writes the documents before the layout
// (layout-small.json, layout-300.json) for render_diagram; VELMORA_BENCH_LAYOUT_PICTURES=
// <folder> writes each layout-quality drawing there as layout-<shape>.png.
#include "bench.h"

#include "diagramgenerator.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "layoutbench.h"
#include "layoutfixtures.h"
#include "scenelayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QSaveFile>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

using layoutbench::newScene;

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
    layoutbench::registerFont();
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

// The laid-out drawing, at most 2,400 px on its longer side, for a person to look at.
void writePicture(ERScene *scene, const QString &key)
{
    const QString folder = qEnvironmentVariable("VELMORA_BENCH_LAYOUT_PICTURES");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    const QRectF area = scene->itemsBoundingRect().adjusted(-20, -20, 20, 20);
    const double scale = std::min(1.0, 2400 / std::max(area.width(), area.height()));
    QImage image((area.size() * scale).toSize(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene->render(&painter, QRectF(QPointF(0, 0), area.size() * scale), area);
    painter.end();
    const QString path = QDir(folder).filePath(QStringLiteral("layout-%1.png").arg(key));
    bench::report(QStringLiteral("picture"), image.save(path) ? path : QStringLiteral("not written"));
}

// One schema laid out in a shown view, three times on fresh scenes for the time; the
// figures are those of the last run (the layout is deterministic).
void runLayoutQuality(const layoutbench::Shape &shape)
{
    constexpr int Runs = 3;
    std::vector<double> times;
    layoutbench::Laid laid;
    for (int run = 0; run < Runs; ++run) {
        laid = layoutbench::layOutShown(shape);
        times.push_back(laid.ms);
    }
    std::sort(times.begin(), times.end());
    const layout::LayoutQuality q = scenelayout::measureScene(laid.scene);
    bench::report(QStringLiteral("tables / relationships"),
                  QStringLiteral("%1 / %2").arg(laid.diagram.boxes.size()).arg(laid.diagram.edges.size()));
    for (const layoutbench::Figure &figure : layoutbench::figures())
        bench::report(QStringLiteral("  ") + figure.label, figure.text(q));
    bench::report(QStringLiteral("  autoLayout min / median / max of 3"),
                  QStringLiteral("%1 / %2 / %3 ms")
                      .arg(times.front(), 0, 'f', 1)
                      .arg(times[Runs / 2], 0, 'f', 1)
                      .arg(times.back(), 0, 'f', 1));
    for (const scenelayout::StageTime &stage : scenelayout::lastStageTimes())
        bench::reportMs(QStringLiteral("    ") + stage.stage, stage.ms);
    writePicture(laid.scene, shape.key);
}

} // namespace

// layout-quality-<shape>, one workload per schema; "layout-quality" runs them all.
static const bool layoutQualityRegistered = [] {
    for (const layoutbench::Shape &shape : layoutbench::shapes()) {
        const QString name = QStringLiteral("layout-quality-") + shape.key;
        bench::registerWorkload(qPrintable(name), qPrintable(QStringLiteral("auto layout of a ") + shape.description
                                    + QStringLiteral(" in a shown view: overlaps, lines through boxes, shared runs, "
                                                     "crossings, length, bends, proportions, area, time")),
                                [shape] { runLayoutQuality(shape); });
    }
    return true;
}();

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
