#include "bench.h"

#include "applicationsetup.h"
#include "imageaccuracy.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// The fixtures of the accuracy tests, rendered here by render_diagram from the committed
// diagrams, scored per picture and per route as the floor tests score them.
void imageAccuracy()
{
    configureApplication(*qobject_cast<QApplication *>(QCoreApplication::instance()));
    const QString render = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("render_diagram"));
    const QDir sources(QStringLiteral(VELMORA_SOURCE_DIR "/tests/imageimport/data"));
    QTemporaryDir dir;
    const QList<QPair<QString, QStringList>> variants{
        {QStringLiteral("-light.png"), {QStringLiteral("--theme"), QStringLiteral("light")}},
        {QStringLiteral("-dark.png"), {QStringLiteral("--theme"), QStringLiteral("dark")}},
        {QStringLiteral("-light.jpg"), {QStringLiteral("--theme"), QStringLiteral("light"), QStringLiteral("--no-grid")}},
        {QStringLiteral("-light.bmp"), {QStringLiteral("--theme"), QStringLiteral("light"), QStringLiteral("--no-grid")}},
        {QStringLiteral(".svg"), {}}};
    imageaccuracy::Figures raster;
    imageaccuracy::Figures svg;
    for (const char *name : {"shop", "medium", "long-names"}) {
        const QString document = sources.filePath(QStringLiteral("diagrams/%1.json").arg(QLatin1String(name)));
        for (const auto &[suffix, options] : variants) {
            const QString picture = dir.filePath(QLatin1String(name) + suffix);
            const QString truth = picture + QLatin1String(".truth.json");
            QProcess process;
            process.start(render, options + QStringList{QStringLiteral("--truth"), truth, document, picture});
            if (!process.waitForFinished(120000) || process.exitCode() != 0) {
                bench::report(QStringLiteral("render_diagram failed for"), picture);
                return;
            }
            imageaccuracy::Figures figures;
            QString failure;
            if (!imageaccuracy::scorePicture(picture, truth, &figures, &failure)) {
                bench::report(QStringLiteral("cannot score"), failure);
                return;
            }
            bench::report(QLatin1String(name) + suffix, imageaccuracy::describe(figures));
            (suffix == QLatin1String(".svg") ? svg : raster).add(figures);
        }
    }
    for (const char *drawing : {"rects-and-lines", "groups-and-tspans", "paths"}) {
        const QString base = sources.filePath(QStringLiteral("svg/%1").arg(QLatin1String(drawing)));
        imageaccuracy::Figures figures;
        QString failure;
        if (!imageaccuracy::scorePicture(base + QLatin1String(".svg"), base + QLatin1String(".truth.json"), &figures,
                                         &failure)) {
            bench::report(QStringLiteral("cannot score"), failure);
            return;
        }
        bench::report(QLatin1String(drawing) + QLatin1String(".svg"), imageaccuracy::describe(figures));
        svg.add(figures);
    }
    bench::report(QStringLiteral("raster route"), imageaccuracy::describe(raster));
    bench::report(QStringLiteral("SVG route"), imageaccuracy::describe(svg));
}

} // namespace

VELMORA_BENCH("image-accuracy", "image import: accuracy per fixture picture and per route, as the floor tests measure it",
              imageAccuracy);
