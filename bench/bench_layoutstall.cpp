// Automatic layout of a large diagram in a shown view, as the window runs it: how long it
// takes and the longest time the event loop (and so the busy overlay) went without a turn.
// VELMORA_BENCH_LAYOUT_OUT=<path> writes the scene as laid out, to compare two builds
// byte for byte.
#include "bench.h"
#include "shownscene.h"

#include "diagramgenerator.h"
#include "scenelayout.h"
#include "schemagenerator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QSaveFile>

#include <functional>

namespace {

// The edges are left unrouted: the layout routes every one of them anyway.
void layoutStall(const std::function<diagramgenerator::Diagram(ERScene *)> &build)
{
    bench::loadBundledFontsQuietly();

    bench::ShownScene shown;
    const diagramgenerator::Diagram diagram = build(&shown.scene);
    shown.waitForPaint();

    bench::StallWatch stalls;
    QElapsedTimer timer;
    stalls.start();
    timer.start();
    shown.scene.autoLayout();
    const double ms = timer.nsecsElapsed() / 1e6;
    const double longest = stalls.stop();
    bench::report(QStringLiteral("boxes, edges"),
                  QStringLiteral("%1, %2").arg(diagram.boxes.size()).arg(diagram.edges.size()));
    bench::reportMs(QStringLiteral("autoLayout"), ms);
    for (const scenelayout::StageTime &stage : scenelayout::lastStageTimes())
        bench::reportMs(QStringLiteral("  ") + stage.stage, stage.ms);
    bench::reportMs(QStringLiteral("longest event-loop stall (target < 200)"), longest);

    const QString out = qEnvironmentVariable("VELMORA_BENCH_LAYOUT_OUT");
    if (!out.isEmpty()) {
        QSaveFile file(out);
        if (file.open(QIODevice::WriteOnly))
            file.write(QJsonDocument(shown.scene.toJson()).toJson(QJsonDocument::Indented));
        bench::report(QStringLiteral("laid out scene"), file.commit() ? out : QStringLiteral("not written"));
    }
}

} // namespace

VELMORA_BENCH("layout-stall", "auto layout of 2,000 boxes and 3,000 edges in a shown 1600x1000 view: time and "
                              "longest event-loop stall (target < 200 ms)",
              [] {
                  layoutStall([](ERScene *scene) {
                      return diagramgenerator::buildDiagram(scene, diagramgenerator::largeDiagramPlan(20261211));
                  });
              });

VELMORA_BENCH("layout-stall-10000", "auto layout of a generated schema of 10,000 tables in a shown 1600x1000 view: "
                                    "time (target < 60 s) and longest event-loop stall (target < 200 ms)",
              [] { layoutStall([](ERScene *scene) { return schemagenerator::buildSchema(scene, {10000, 1919}); }); });
