#include "bench.h"

#include "applicationsetup.h"
#include "imageaccuracy.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// One picture of the workload: a committed diagram drawn by render_diagram with options, and
// the group whose figures it counts towards.
struct Picture
{
    QString group;
    QString diagram;
    QString file;
    QStringList options;
};

QStringList themeOptions(const QString &theme, const QString &suffix)
{
    QStringList options{QStringLiteral("--theme"), theme};
    // Formats without transparency are drawn without the grid, as a screenshot pasted into a
    // document usually is.
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg"))
        options.append(QStringLiteral("--no-grid"));
    return options;
}

QList<Picture> workloadPictures()
{
    QList<Picture> pictures;
    // The fixtures of the accuracy tests.
    for (const char *name : {"shop", "medium", "long-names"}) {
        const QString diagram = QLatin1String(name);
        for (const auto &[theme, suffix] : {std::pair{"light", "png"}, std::pair{"dark", "png"}, std::pair{"light", "jpg"},
                                            std::pair{"light", "bmp"}}) {
            pictures.append({QStringLiteral("fixtures raster"), diagram,
                             QStringLiteral("%1-%2.%3").arg(diagram, QLatin1String(theme), QLatin1String(suffix)),
                             themeOptions(QLatin1String(theme), QLatin1String(suffix))});
        }
        pictures.append({QStringLiteral("fixtures svg"), diagram, diagram + QLatin1String(".svg"), {}});
    }
    // The application's own drawing at other scales, as a zoomed view or a display scaled up
    // or down shows it.
    for (const char *scale : {"0.5", "0.75", "0.9", "1.25", "2"}) {
        const QString group = QStringLiteral("scale %1").arg(QLatin1String(scale));
        for (const char *name : {"shop", "medium"}) {
            for (const auto &[theme, suffix] : {std::pair{"light", "png"}, std::pair{"dark", "png"},
                                                std::pair{"light", "jpg"}, std::pair{"light", "bmp"}}) {
                pictures.append({group, QLatin1String(name),
                                 QStringLiteral("%1-%2-%3.%4").arg(QLatin1String(name), QLatin1String(scale),
                                                                   QLatin1String(theme), QLatin1String(suffix)),
                                 themeOptions(QLatin1String(theme), QLatin1String(suffix))
                                     + QStringList{QStringLiteral("--scale"), QLatin1String(scale)}});
            }
        }
    }
    // A drawing wider than the 3600 pixels the working image keeps.
    for (const auto &[theme, suffix] : {std::pair{"light", "png"}, std::pair{"dark", "png"}, std::pair{"light", "jpg"}}) {
        pictures.append({QStringLiteral("wide"), QStringLiteral("wide"),
                         QStringLiteral("wide-%1.%2").arg(QLatin1String(theme), QLatin1String(suffix)),
                         themeOptions(QLatin1String(theme), QLatin1String(suffix))});
    }
    // Links that are easy to take for others: a line passing close to a third box, lines
    // sharing a trunk into one box, a box's relationship with itself, every cardinality; as
    // the application exports them to SVG and as pictures.
    for (const char *name : {"shop8", "passing"}) {
        const QString diagram = QLatin1String(name);
        pictures.append({QStringLiteral("links svg"), diagram, diagram + QLatin1String(".svg"), {}});
        for (const auto &[theme, suffix] : {std::pair{"light", "png"}, std::pair{"dark", "png"}, std::pair{"light", "jpg"}}) {
            pictures.append({QStringLiteral("links raster"), diagram,
                             QStringLiteral("%1-%2.%3").arg(diagram, QLatin1String(theme), QLatin1String(suffix)),
                             themeOptions(QLatin1String(theme), QLatin1String(suffix))});
        }
    }
    // The same diagrams drawn in other sans-serif faces: two common on Linux desktops and the
    // application's own interface face.
    for (const char *face : {"DejaVu Sans", "Liberation Sans", "Inter"}) {
        const QString group = QStringLiteral("face %1").arg(QLatin1String(face));
        const QString tag = QString::fromLatin1(face).remove(u' ').toLower();
        for (const char *name : {"shop", "medium", "long-names"}) {
            for (const char *theme : {"light", "dark"}) {
                pictures.append({group, QLatin1String(name),
                                 QStringLiteral("%1-%2-%3.png").arg(QLatin1String(name), tag, QLatin1String(theme)),
                                 themeOptions(QLatin1String(theme), QStringLiteral("png"))
                                     + QStringList{QStringLiteral("--entity-font"), QLatin1String(face)}});
            }
        }
    }
    return pictures;
}

// The fixtures of the accuracy tests and pictures at other scales, wider than the working
// image and in other faces, rendered here by render_diagram from the committed diagrams and
// scored per picture and per group as the floor tests score them.
void imageAccuracy()
{
    configureApplication(*qobject_cast<QApplication *>(QCoreApplication::instance()));
    const QString render = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("render_diagram"));
    const QDir sources(QStringLiteral(VELMORA_SOURCE_DIR "/tests/imageimport/data"));
    QTemporaryDir dir;
    QStringList groups;
    QHash<QString, imageaccuracy::Figures> totals;
    QHash<QString, qint64> slowest;
    for (const Picture &picture : workloadPictures()) {
        const QString document = sources.filePath(QStringLiteral("diagrams/%1.json").arg(picture.diagram));
        const QString path = dir.filePath(picture.file);
        const QString truth = path + QLatin1String(".truth.json");
        QProcess process;
        process.start(render, picture.options + QStringList{QStringLiteral("--truth"), truth, document, path});
        if (!process.waitForFinished(120000) || process.exitCode() != 0) {
            bench::report(QStringLiteral("render_diagram failed for"), path);
            return;
        }
        imageaccuracy::Figures figures;
        QString failure;
        QElapsedTimer timer;
        timer.start();
        if (!imageaccuracy::scorePicture(path, truth, &figures, &failure)) {
            bench::report(QStringLiteral("cannot score"), failure);
            return;
        }
        const qint64 ms = timer.elapsed();
        bench::report(picture.file, imageaccuracy::describe(figures) + QStringLiteral(", %1 ms").arg(ms));
        if (!groups.contains(picture.group))
            groups.append(picture.group);
        totals[picture.group].add(figures);
        slowest[picture.group] = std::max(slowest.value(picture.group), ms);
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
        totals[QStringLiteral("fixtures svg")].add(figures);
    }
    for (const QString &group : std::as_const(groups)) {
        bench::report(group, imageaccuracy::describe(totals.value(group))
                                 + QStringLiteral(", slowest %1 ms").arg(slowest.value(group)));
    }
}

} // namespace

VELMORA_BENCH("image-accuracy",
              "image import: accuracy per picture and per group (test fixtures, other scales, a wide drawing, "
              "links easy to confuse, other faces), as the floor tests measure it",
              imageAccuracy);
