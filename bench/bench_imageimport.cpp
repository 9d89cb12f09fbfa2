#include "bench.h"
#include "imagebench.h"

#include "applicationsetup.h"
#include "diagramgenerator.h"
#include "diagramitemtypes.h"
#include "edgeitem.h"
#include "erscene.h"
#include "erview.h"
#include "recognitionsteps.h"
#include "scenepicture.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

namespace {

// Title bands over bodies in a 50 x 50 grid: every band joins the body below it.
QList<QRectF> stackedGrid()
{
    QList<QRectF> candidates;
    for (int row = 0; row < 50; ++row) {
        for (int column = 0; column < 50; ++column) {
            const double x = column * 260.0;
            const double y = row * 200.0;
            candidates.append(QRectF(x, y, 200, 30));
            candidates.append(QRectF(x, y + 32, 200, 100));
        }
    }
    return candidates;
}

// Boxes with nested compartments, near-copies and stray rectangles, overlapping at random.
QList<QRectF> randomOverlapping(int count)
{
    QRandomGenerator random(20000);
    QList<QRectF> candidates;
    while (candidates.size() < count) {
        const QRectF box(random.bounded(6000), random.bounded(6000), 40 + random.bounded(300),
                         24 + random.bounded(200));
        candidates.append(box);
        switch (random.bounded(4)) {
        case 0:
            candidates.append(box.adjusted(random.bounded(3), random.bounded(3), random.bounded(3), random.bounded(3)));
            break;
        case 1:
            candidates.append(box.adjusted(box.width() / 4, box.height() / 4, -box.width() / 4, -box.height() / 4));
            break;
        default:
            break;
        }
    }
    candidates.resize(count);
    return candidates;
}

// 120 boxes in a 12 x 10 grid with a title and 9 rows each, as fragments in scrambled order.
void assembleAndBuild()
{
    QRandomGenerator random(120);
    QList<RecognizedEntity> entities;
    QList<TextFragment> fragments;
    for (int i = 0; i < 120; ++i) {
        RecognizedEntity entity;
        entity.rect = QRectF((i % 12) * 300.0, (i / 12) * 240.0, 220, 200);
        entities.append(entity);
        fragments.append({QRectF(entity.rect.x() + 8, entity.rect.y() + 4, 90, 14), QStringLiteral("table_%1").arg(i)});
        for (int row = 0; row < 9; ++row) {
            const QRectF line(entity.rect.x() + 8, entity.rect.y() + 24 + row * 19, 180, 14);
            fragments.append({line, QStringLiteral("column_%1 %2").arg(row).arg(row % 2 ? "int" : "varchar(40)")});
        }
    }
    std::shuffle(fragments.begin(), fragments.end(), random);
    RecognizedDiagram diagram;
    bench::reportMs(QStringLiteral("assembleEntities, 120 boxes, %1 fragments").arg(fragments.size()),
                    bench::medianMs([&] {
                        diagram.entities = entities;
                        assembleEntities(diagram.entities, fragments);
                    }, 5));
    bench::reportMs(QStringLiteral("buildRecognizedDiagramJson"),
                    bench::medianMs([&] { buildRecognizedDiagramJson(diagram); }, 5));
}

void imageMerge()
{
    const QList<QRectF> grid = stackedGrid();
    qsizetype boxes = 0;
    const double gridMs = bench::medianMs([&] { boxes = mergeRectangles(grid).size(); });
    bench::reportMs(QStringLiteral("mergeRectangles, 5000 stacked (target 500)"), gridMs);
    bench::report(QStringLiteral("  boxes after joining"), QString::number(boxes));

    const QList<QRectF> overlapping = randomOverlapping(20000);
    const double randomMs = bench::medianMs([&] { boxes = mergeRectangles(overlapping).size(); });
    bench::reportMs(QStringLiteral("mergeRectangles, 20000 overlapping (target 2000)"), randomMs);
    bench::report(QStringLiteral("  boxes"), QString::number(boxes));

    assembleAndBuild();
}

} // namespace

void buildImageBenchDiagram(ERScene &scene)
{
    configureApplication(*qobject_cast<QApplication *>(QCoreApplication::instance()));
    diagramgenerator::DiagramPlan plan;
    plan.columns = 12;
    plan.rows = 10;
    plan.views = 0;
    plan.edges = 150;
    plan.selfRelationships = 0;
    plan.viewLinks = 0;
    plan.fewestRows = 9;
    plan.mostRows = 9;
    plan.cellWidth = 296;
    plan.cellHeight = 232;
    plan.seed = 31;
    const diagramgenerator::Diagram diagram = diagramgenerator::buildDiagram(&scene, plan);
    QCoreApplication::processEvents();
    for (EdgeItem *edge : diagram.edges)
        edge->updatePath();
}

namespace {

// The diagram of buildImageBenchDiagram rendered as render_diagram renders it, to a picture
// of about 3600 x 2400 pixels.
QImage seededDiagramPicture()
{
    ERScene scene;
    buildImageBenchDiagram(scene);
    return scenepicture::renderDiagram(scene, 3600);
}

double msSince(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

// Times one stage, once.
template <typename Stage>
auto timed(const QString &label, Stage &&stage)
{
    QElapsedTimer timer;
    timer.start();
    auto result = stage();
    bench::reportMs(label, msSince(timer));
    return result;
}

// The text stage with a zero-delay timer that records the longest wait between two turns
// of the event loop.
QList<TextFragment> timedText(const QImage &working, const QList<QRectF> &boxes)
{
    GlyphTemplateCache cache;
    QElapsedTimer sinceTurn;
    double longestGap = 0;
    QTimer turns;
    turns.setInterval(0);
    QObject::connect(&turns, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, msSince(sinceTurn));
        sinceTurn.restart();
    });
    turns.start();
    sinceTurn.start();
    const QList<TextFragment> lines =
        timed(QStringLiteral("text (recognizeRegionText)"), [&] { return recognizeRegionText(working, boxes, &cache); });
    longestGap = std::max(longestGap, msSince(sinceTurn));
    bench::report(QStringLiteral("  lines read"), QString::number(lines.size()));
    bench::report(QStringLiteral("  template sets built"), QString::number(cache.setsBuilt()));
    bench::reportMs(QStringLiteral("  longest wait for the event loop"), longestGap);
    return lines;
}

void runRasterRoute(const QString &path)
{
    const QImage picture = timed(QStringLiteral("load the picture"), [&] { return QImage(path); });
    bench::report(QStringLiteral("  picture"), QStringLiteral("%1 x %2").arg(picture.width()).arg(picture.height()));
    const QImage working = timed(QStringLiteral("binarizeImage"), [&] { return binarizeImage(picture); });
    const QImage outside = timed(QStringLiteral("outside fill"), [&] { return outsideMask(working); });
    QList<int> pixelCounts;
    const QList<QRect> regions =
        timed(QStringLiteral("findRegions"), [&] { return findRegions(working, outside, &pixelCounts); });
    // The regions the route keeps: no loops beside boxes, no empty strays, no enclosures.
    const QList<QRect> kept = timed(QStringLiteral("region filters"), [&] {
        return withoutEnclosingRegions(withoutStrayEmptyRegions(working, withoutLoopRegions(regions, pixelCounts)));
    });
    const QList<QRectF> boxes = timed(QStringLiteral("mergeRectangles"), [&] {
        QList<QRectF> candidates = regionCandidates(kept);
        joinStackedBoxes(candidates);
        return mergeRectangles(candidates);
    });
    bench::report(QStringLiteral("  regions, boxes"), QStringLiteral("%1, %2").arg(regions.size()).arg(boxes.size()));
    // Text is read from the picture before the closing, as the route reads it.
    timedText(timed(QStringLiteral("thresholdImage"), [&] { return thresholdImage(picture); }), boxes);
    const QImage joined = timed(QStringLiteral("joinDashes"), [&] { return joinDashes(working, boxes); });
    const QList<RecognizedLink> links =
        timed(QStringLiteral("connectors"), [&] { return traceConnectors(joined, boxes); });
    bench::report(QStringLiteral("  links"), QString::number(links.size()));
    RecognizedDiagram diagram;
    const bool found = timed(QStringLiteral("detectRasterBoxes, whole route (target 20000)"),
                             [&] { return detectRasterBoxes(picture, diagram); });
    bench::report(QStringLiteral("  entities"), found ? QString::number(diagram.entities.size()) : QStringLiteral("none"));
}

// The whole import as the window runs it, into a scene shown in a view; a 16 ms timer, like
// the busy overlay's, records the longest wait between two of its ticks.
void runPipeline(const QString &path)
{
    QElapsedTimer sinceTick;
    double longestGap = 0;
    QTimer ticks;
    ticks.setInterval(16);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, msSince(sinceTick));
        sinceTick.restart();
    });
    const RecognizedDiagram result = timed(QStringLiteral("recognizeImageFile (target 20000, aim 5000)"),
                                           [&] { return recognizeImageFile(path); });
    bench::report(QStringLiteral("  entities, links"),
                  QStringLiteral("%1, %2").arg(result.entities.size()).arg(result.links.size()));

    ERScene scene;
    ERView view;
    view.setScene(&scene);
    view.resize(1600, 1000);
    view.show();
    QCoreApplication::processEvents();
    ticks.start();
    sinceTick.start();
    QString error;
    const bool imported = timed(QStringLiteral("importImageIntoScene, load and routing included"),
                                [&] { return importImageIntoScene(&scene, path, &error); });
    longestGap = std::max(longestGap, msSince(sinceTick));
    int edges = 0;
    for (QGraphicsItem *item : scene.items())
        edges += item->type() == DiagramItemType::EdgeItem ? 1 : 0;
    bench::report(QStringLiteral("  boxes, edges in the scene"),
                  imported ? QStringLiteral("%1, %2").arg(scene.entityCount()).arg(edges) : error);
    bench::reportMs(QStringLiteral("  longest interval between 16 ms ticks"), longestGap);
}

// The picture stays in the temporary folder for a look at it.
void imageRaster()
{
    const QString path = QDir(QDir::tempPath()).filePath(QStringLiteral("velmora-image-raster.png"));
    seededDiagramPicture().save(path);
    bench::report(QStringLiteral("picture written to"), path);
    runRasterRoute(path);
    runPipeline(path);
}

void noise()
{
    // Bands of ink from sparse to dense, so that some enclose regions and some join up.
    QImage picture(3600, 2400, QImage::Format_Grayscale8);
    QRandomGenerator random(2400);
    const int percentInk[] = {2, 4, 6, 8, 10, 12, 15, 20, 25, 30, 40, 50};
    for (int y = 0; y < picture.height(); ++y) {
        uchar *line = picture.scanLine(y);
        const int percent = percentInk[y / 200];
        for (int x = 0; x < picture.width(); ++x)
            line[x] = int(random.bounded(100)) < percent ? 0 : 255;
    }
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("noise.png"));
    picture.save(path);
    runRasterRoute(path);
}

} // namespace

VELMORA_BENCH("image-raster", "image import: the raster route on a rendered 120-box diagram, 3600 x 2400 (target 20 s)",
              imageRaster);
VELMORA_BENCH("noise", "image import: the raster route on 3600 x 2400 pixels of random ink", noise);
VELMORA_BENCH("image-merge", "image import: box merging, entity building and the document", imageMerge);
