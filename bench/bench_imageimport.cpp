#include "bench.h"

#include "recognitionsteps.h"

#include <QRandomGenerator>

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
            const QRectF line(entity.rect.x() + 8, entity.rect.y() + 24 + row * 19, 80, 14);
            fragments.append({line, QStringLiteral("column_%1").arg(row)});
            fragments.append({line.translated(110, 0), row % 2 ? QStringLiteral("int") : QStringLiteral("varchar(40)")});
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

VELMORA_BENCH("image-merge", "image import: box merging, entity building and the document", imageMerge);
