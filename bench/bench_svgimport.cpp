#include "bench.h"
#include "imagebench.h"

#include "erscene.h"
#include "sceneexport.h"
#include "svgshapereader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int Columns = 20;
constexpr int Rows = 15;
constexpr double BoxWidth = 200;
constexpr double BoxHeight = 230;  // a 30-high title band and ten 20-high rows
constexpr double PitchX = 300;
constexpr double PitchY = 320;

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', 10);
}

// One table: box, title band, ten row bands, a title text and one text per row.
void writeTable(QFile &out, int index)
{
    const double x = (index % Columns) * PitchX;
    const double y = (index / Columns) * PitchY;
    const QByteArray xs = number(x);
    out.write("<rect x='" + xs + "' y='" + number(y) + "' width='200' height='230' fill='#fff' stroke='#333'/>\n");
    out.write("<rect x='" + xs + "' y='" + number(y) + "' width='200' height='30' fill='#dde'/>\n");
    for (int row = 0; row < 10; ++row)
        out.write("<rect x='" + xs + "' y='" + number(y + 30 + 20 * row) + "' width='200' height='20' fill='none'/>\n");
    out.write("<text x='" + number(x + 8) + "' y='" + number(y + 20) + "'>table_" + QByteArray::number(index) + "</text>\n");
    for (int row = 0; row < 10; ++row) {
        out.write("<text x='" + number(x + 8) + "' y='" + number(y + 44 + 20 * row) + "'>column_"
                  + QByteArray::number(row) + (row % 2 ? " int" : " varchar") + "</text>\n");
    }
}

// A connector from a point on one box to a point on the next, with a stroke at its start
// and a crow's foot at its end.
void writeConnector(QFile &out, const QPointF &from, const QPointF &to)
{
    const bool across = from.y() == to.y();
    out.write("<line x1='" + number(from.x()) + "' y1='" + number(from.y()) + "' x2='" + number(to.x()) + "' y2='"
              + number(to.y()) + "' stroke='#333'/>\n");
    if (across) {
        out.write("<rect x='" + number(from.x() + 8) + "' y='" + number(from.y() - 5) + "' width='2' height='10'/>\n");
        out.write("<polygon points='" + number(to.x() - 12) + ',' + number(to.y() - 6) + ' ' + number(to.x()) + ','
                  + number(to.y()) + ' ' + number(to.x() - 12) + ',' + number(to.y() + 6) + "'/>\n");
    } else {
        out.write("<rect x='" + number(from.x() - 5) + "' y='" + number(from.y() + 8) + "' width='10' height='2'/>\n");
        out.write("<polygon points='" + number(to.x() - 6) + ',' + number(to.y() - 12) + ' ' + number(to.x()) + ','
                  + number(to.y()) + ' ' + number(to.x() + 6) + ',' + number(to.y() - 12) + "'/>\n");
    }
}

// 300 tables in a 20 x 15 grid; 400 connectors: every pair of neighbours in a row, then
// neighbours in a column until there are 400.
QString writeDiagram(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("diagram.svg"));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return QString();
    out.write("<?xml version='1.0' encoding='UTF-8'?>\n<svg xmlns='http://www.w3.org/2000/svg' width='6000' "
              "height='4800'>\n");
    for (int i = 0; i < Columns * Rows; ++i)
        writeTable(out, i);
    int connectors = 0;
    for (int i = 0; i < Columns * Rows && connectors < 400; ++i) {
        if (i % Columns == Columns - 1)
            continue;
        const double x = (i % Columns) * PitchX;
        const double y = (i / Columns) * PitchY + BoxHeight / 2;
        writeConnector(out, QPointF(x + BoxWidth, y), QPointF(x + PitchX, y));
        ++connectors;
    }
    for (int i = 0; i + Columns < Columns * Rows && connectors < 400; ++i) {
        const double x = (i % Columns) * PitchX + BoxWidth / 2;
        const double y = (i / Columns) * PitchY;
        writeConnector(out, QPointF(x, y + BoxHeight), QPointF(x, y + PitchY));
        ++connectors;
    }
    out.write("</svg>\n");
    return path;
}

void imageSvg()
{
    const QTemporaryDir dir;
    const QString path = writeDiagram(dir);
    RecognizedDiagram out;
    const double ms = bench::medianMs([&] {
        out = RecognizedDiagram();
        readSvgShapes(path, out);
    }, 5);
    bench::reportMs(QStringLiteral("readSvgShapes, 300 tables (target 300)"), ms);
    bench::report(QStringLiteral("  file size"), QStringLiteral("%1 KiB").arg(QFile(path).size() / 1024));
    bench::report(QStringLiteral("  boxes, texts, links read"),
                  QStringLiteral("%1, %2, %3").arg(out.entities.size()).arg(out.texts.size()).arg(out.links.size()));
    bench::report(QStringLiteral("  many and one marks"),
                  QStringLiteral("%1, %2").arg(out.manyMarkers.size()).arg(out.oneMarkers.size()));

    QElapsedTimer timer;
    timer.start();
    RecognizedDiagram result = recognizeImageFile(path);
    bench::reportMs(QStringLiteral("recognizeImageFile, 300 tables (target 2000)"), timer.nsecsElapsed() / 1e6);
    bench::report(QStringLiteral("  entities, links"),
                  QStringLiteral("%1, %2").arg(result.entities.size()).arg(result.links.size()));

    // The raster workload's 120-box diagram through the Export to SVG routine.
    const QString exported = QDir(QDir::tempPath()).filePath(QStringLiteral("velmora-image-svg-export.svg"));
    {
        ERScene scene;
        buildImageBenchDiagram(scene);
        if (!exportSceneToSvgFile(&scene, exported)) {
            bench::report(QStringLiteral("cannot write"), exported);
            return;
        }
    }
    bench::report(QStringLiteral("exported 120-box diagram written to"), exported);
    timer.restart();
    result = recognizeImageFile(exported);
    bench::reportMs(QStringLiteral("recognizeImageFile, exported 120 boxes (target 20000)"), timer.nsecsElapsed() / 1e6);
    bench::report(QStringLiteral("  entities, links"),
                  QStringLiteral("%1, %2").arg(result.entities.size()).arg(result.links.size()));
}

// About 100 MB: a million box-sized rectangles in a 1000 x 1000 grid, half a million texts
// and half a million lines between neighbouring boxes, all in one flat list.
QString writeFlood(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("flood.svg"));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return QString();
    QRandomGenerator random(100);
    QByteArray chunk;
    const auto flush = [&] {
        out.write(chunk);
        chunk.clear();
    };
    chunk += "<svg xmlns='http://www.w3.org/2000/svg'>\n";
    for (int i = 0; i < 1000000; ++i) {
        chunk += "<rect x='" + QByteArray::number((i % 1000) * 100) + "' y='" + QByteArray::number((i / 1000) * 100)
            + "' width='80' height='60'/>\n";
        if (chunk.size() > (1 << 20))
            flush();
    }
    for (int i = 0; i < 500000; ++i) {
        const int box = random.bounded(1000000);
        chunk += "<text x='" + QByteArray::number((box % 1000) * 100 + 4) + "' y='"
            + QByteArray::number((box / 1000) * 100 + 16) + "'>column_" + QByteArray::number(i) + "</text>\n";
        if (chunk.size() > (1 << 20))
            flush();
    }
    for (int i = 0; i < 500000; ++i) {
        const int box = random.bounded(999000);
        const int x = (box % 1000) * 100;
        const int y = (box / 1000) * 100;
        chunk += "<line x1='" + QByteArray::number(x + 40) + "' y1='" + QByteArray::number(y + 60) + "' x2='"
            + QByteArray::number(x + 40) + "' y2='" + QByteArray::number(y + 100) + "'/>\n";
        if (chunk.size() > (1 << 20))
            flush();
    }
    chunk += "</svg>\n";
    flush();
    return path;
}

void svgFlood()
{
    const QTemporaryDir dir;
    const QString path = writeFlood(dir);
    bench::report(QStringLiteral("file size"), QStringLiteral("%1 MiB").arg(QFile(path).size() / (1024 * 1024)));
    const double before = bench::peakRssMiB();
    RecognizedDiagram out;
    QElapsedTimer timer;
    timer.start();
    readSvgShapes(path, out);
    bench::reportMs(QStringLiteral("readSvgShapes (target: under a minute)"), timer.nsecsElapsed() / 1e6);
    bench::report(QStringLiteral("peak memory before and after"),
                  QStringLiteral("%1 MiB, %2 MiB").arg(before, 0, 'f', 0).arg(bench::peakRssMiB(), 0, 'f', 0));
    bench::report(QStringLiteral("  boxes, texts, links read"),
                  QStringLiteral("%1, %2, %3").arg(out.entities.size()).arg(out.texts.size()).arg(out.links.size()));
}

} // namespace

VELMORA_BENCH("image-svg", "image import: an SVG drawing of 300 tables read shape by shape", imageSvg);
VELMORA_BENCH("svg-flood", "image import: a crafted 100 MB SVG of a million boxes read to its end", svgFlood);
