// Imports as the user waits for them: Mermaid and draw.io files of 1,000 tables read and
// loaded into a scene shown in a 1600x1000 view, and Mermaid texts grown until a
// reader's cost shows whether it is linear.
#include "bench.h"
#include "mermaidnoise.h"
#include "shownscene.h"

#include "drawioreader.h"
#include "drawiosceneio.h"
#include "drawiowriter.h"
#include "mermaidreader.h"
#include "mermaidsceneio.h"
#include "mermaidwriter.h"

#include <QFile>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QThreadPool>
#include <QTemporaryDir>

#include <iterator>
#include <memory>

namespace {

// 1,000 tables of 12 rows and 1,500 relationships between near and far tables, each
// child with a foreign-key row named after its parent.
QJsonObject thousandTables()
{
    constexpr int tables = 1000;
    constexpr int relationships = 1500;
    const auto title = [](int t) { return QStringLiteral("sales_table_%1").arg(t); };
    const auto pairOf = [](int k) {
        const int child = k % tables;
        return qMakePair((child + 1 + (k / tables) * 7) % tables, child);
    };
    QList<QStringList> parents(tables);
    for (int k = 0; k < relationships; ++k)
        parents[pairOf(k).second].append(title(pairOf(k).first));
    static const char *const types[] = {"varchar(40)", "int", "decimal(10,2)", "timestamp"};
    QJsonArray entities;
    for (int t = 0; t < tables; ++t) {
        QJsonArray rows;
        rows.append(QJsonObject{{"name", "id"}, {"type", "int"}, {"isPrimaryKey", true}});
        for (const QString &parent : parents.at(t))
            rows.append(QJsonObject{{"name", parent + "_id"}, {"type", "int"}, {"isForeignKey", true}});
        for (int c = 0; rows.size() < 12; ++c)
            rows.append(QJsonObject{{"name", QStringLiteral("column_%1").arg(c)},
                                    {"type", types[c % std::size(types)]}});
        entities.append(QJsonObject{{"id", QStringLiteral("e%1").arg(t)}, {"title", title(t)},
                                    {"x", (t % 40) * 320.0}, {"y", (t / 40) * 400.0},
                                    {"attributes", rows}});
    }
    QJsonArray edges;
    for (int k = 0; k < relationships; ++k)
        edges.append(QJsonObject{{"id", QStringLiteral("r%1").arg(k)},
                                 {"from", QStringLiteral("e%1").arg(pairOf(k).first)},
                                 {"to", QStringLiteral("e%1").arg(pairOf(k).second)},
                                 {"startCard", 0}, {"endCard", 3}});
    return QJsonObject{{"version", "1.0"}, {"type", "er-diagram"}, {"entities", entities},
                       {"edges", edges}};
}

using ImportFunction = bool (*)(ERScene *, const QString &, QString *);

// Reads path on a worker thread while this thread turns its event loop, as the window's
// import runs behind the busy overlay, on a thread kept between reads as the overlay's
// are; returns the document.
template<typename Parse>
QJsonObject readOnWorker(Parse parse, const QString &path)
{
    // Not waited for with waitForDone(), which would end the pool's threads.
    static QThreadPool *const workers = [] {
        auto *pool = new QThreadPool;
        pool->setExpiryTimeout(-1);
        return pool;
    }();
    QJsonObject document;
    QEventLoop loop;
    const auto read = std::make_shared<QSemaphore>();
    workers->start([&, read] {
        document = parse(path);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        read->release();
    });
    loop.exec();
    read->acquire();
    return document;
}

// Imports path into a fresh shown scene three times, reading on a worker as the window
// does and loading on this thread; reports the median until the first paint, the longest
// stall, and the import into a scene no view shows, read and loaded on this thread.
template<typename Parse>
void reportShownImport(Parse parse, ImportFunction import, const QString &path, double target)
{
    QList<double> totals;
    QList<double> reads;
    QList<double> stalls;
    bool ok = true;
    for (int run = 0; run < 3; ++run) {
        bench::ShownScene shown;
        bench::StallWatch stall;
        QElapsedTimer timer;
        timer.start();
        stall.start();
        const QJsonObject document = readOnWorker(parse, path);
        reads.append(timer.nsecsElapsed() / 1e6);
        ok = shown.scene.loadFromJson(document) && ok;
        shown.waitForPaint();
        stalls.append(stall.stop());
        totals.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(totals.begin(), totals.end());
    std::sort(reads.begin(), reads.end());
    std::sort(stalls.begin(), stalls.end());
    bench::report(QStringLiteral("imported"), ok ? QStringLiteral("yes") : QStringLiteral("FAILED"));
    bench::reportMs(QStringLiteral("into the shown scene, until painted (target < %1)").arg(target),
                    totals.at(1));
    bench::reportMs(QStringLiteral("  of which reading on the worker"), reads.at(1));
    bench::reportMs(QStringLiteral("longest stall"), stalls.at(1));
    const double bare = bench::medianMs([&] {
        ERScene scene;
        import(&scene, path, nullptr);
    });
    bench::reportMs(QStringLiteral("into a scene without a view, all on one thread"), bare);
}

void mermaidShown()
{
    bench::loadBundledFontsQuietly();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tables.mmd"));
    writeMermaidFile(thousandTables(), path, nullptr);
    QJsonObject read;
    bench::reportMs(QStringLiteral("reading alone"),
                    bench::medianMs([&] { read = parseMermaidFile(path, nullptr); }));
    bench::report(QStringLiteral("entities read"),
                  QString::number(read.value(QStringLiteral("entities")).toArray().size()));
    reportShownImport([](const QString &file) { return parseMermaidFile(file, nullptr); },
                      importMermaidIntoScene, path, 300);
}

void drawioShown()
{
    bench::loadBundledFontsQuietly();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tables.drawio"));
    writeDrawioFile(thousandTables(), path, nullptr);
    QJsonObject read;
    bench::reportMs(QStringLiteral("reading alone (target < 300)"),
                    bench::medianMs([&] { read = parseDrawioFile(path, nullptr); }));
    bench::report(QStringLiteral("entities read"),
                  QString::number(read.value(QStringLiteral("entities")).toArray().size()));
    reportShownImport([](const QString &file) { return parseDrawioFile(file, nullptr); },
                      importDrawioIntoScene, path, 600);
}

double timeMermaidText(const QByteArray &text, int *entities)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("text.mmd"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return -1;
    file.close();
    QJsonObject document;
    const double ms = bench::medianMs([&] { document = parseMermaidFile(path, nullptr); }, 1);
    *entities = int(document.value(QStringLiteral("entities")).toArray().size());
    return ms;
}

void mermaidBareNames()
{
    for (const int count : {10000, 30000, 100000}) {
        QByteArray text("erDiagram\n");
        for (int i = 0; i < count; ++i)
            text += "    entity_" + QByteArray::number(i) + '\n';
        int entities = 0;
        const double ms = timeMermaidText(text, &entities);
        bench::reportMs(QStringLiteral("%1 names, %2 KB, %3 entities%4").arg(count).arg(text.size() / 1000)
                            .arg(entities).arg(count == 100000 ? QStringLiteral(" (target < 2000)") : QString()),
                        ms);
    }
    // One name of nothing but underscores and one of underscore words.
    for (const int length : {20000, 100000}) {
        const QString underscores(length, u'_');
        QString words;
        while (words.size() < length)
            words += QStringLiteral("_a ");
        bench::reportMs(QStringLiteral("stripMermaidMarkup, %1 underscores").arg(length),
                        bench::medianMs([&] { stripMermaidMarkup(underscores); }, 1));
        bench::reportMs(QStringLiteral("stripMermaidMarkup, %1 characters of \"_a \"").arg(length),
                        bench::medianMs([&] { stripMermaidMarkup(words); }, 1));
    }
}

void mermaidGarbage()
{
    for (const int mib : {5, 10, 20, 50}) {
        int entities = 0;
        const double ms = timeMermaidText(mermaidNoise(qsizetype(mib) * 1000 * 1000), &entities);
        bench::reportMs(QStringLiteral("%1 MB, %2 entities%3").arg(mib).arg(entities)
                            .arg(mib == 50 ? QStringLiteral(" (target < 5000)") : QString()),
                        ms);
    }
}

// A draw.io file of 200,000 loose shapes, 32 MB, each the size of a small labelled box:
// inside the file limit, and every shape a table to the reader's last resort.
QByteArray manyShapes(int count)
{
    QByteArray text("<mxfile host=\"bench\"><diagram name=\"Page\"><mxGraphModel><root>"
                    "<mxCell id=\"0\"/><mxCell id=\"1\" parent=\"0\"/>\n");
    text.reserve(qsizetype(count) * 165);
    for (int i = 0; i < count; ++i) {
        text += "<mxCell id=\"s" + QByteArray::number(i) + "\" value=\"Shape " + QByteArray::number(i)
                + "&lt;br&gt;id int\" style=\"rounded=0;whiteSpace=wrap;html=1;\" vertex=\"1\" parent=\"1\">"
                  "<mxGeometry x=\"" + QByteArray::number((i % 400) * 140) + "\" y=\""
                + QByteArray::number((i / 400) * 80) + "\" width=\"120\" height=\"60\" as=\"geometry\"/></mxCell>\n";
    }
    text += "</root></mxGraphModel></diagram></mxfile>\n";
    return text;
}

// One import as the user meets it, timed once: a refused file is a message, an accepted
// one is loaded into a shown scene and painted.
template<typename Parse>
void reportOneShownImport(Parse parse, const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    QString error;
    const QJsonObject document = readOnWorker([&](const QString &file) { return parse(file, &error); }, path);
    const double read = timer.nsecsElapsed() / 1e6;
    bench::reportMs(QStringLiteral("read on the worker"), read);
    const int entities = int(document.value(QStringLiteral("entities")).toArray().size());
    bench::report(QStringLiteral("entities read"), QString::number(entities));
    if (document.isEmpty()) {
        bench::report(QStringLiteral("refused with"), error);
    } else {
        bench::ShownScene shown;
        const bool loaded = shown.scene.loadFromJson(document);
        shown.waitForPaint();
        bench::report(QStringLiteral("loaded"), loaded ? QStringLiteral("yes") : QStringLiteral("FAILED"));
        bench::reportMs(QStringLiteral("read, loaded into the shown scene and painted"), timer.nsecsElapsed() / 1e6);
    }
    bench::report(QStringLiteral("peak RSS"), QStringLiteral("%1 MiB").arg(bench::peakRssMiB(), 0, 'f', 1));
}

void drawioManyCells()
{
    bench::loadBundledFontsQuietly();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shapes.drawio"));
    const QByteArray text = manyShapes(200000);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return;
    file.close();
    bench::report(QStringLiteral("file"), QStringLiteral("200,000 cells, %1 MB").arg(text.size() / 1e6, 0, 'f', 1));
    reportOneShownImport(parseDrawioFile, path);
}

void mermaidLongName()
{
    bench::loadBundledFontsQuietly();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.mmd"));
    const QByteArray text = "erDiagram\n    " + QByteArray(2000000, 'N') + " {\n        int id PK\n    }\n    B ||--o{ "
                            + QByteArray(2000000, 'N') + " : x\n";
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return;
    file.close();
    MermaidReadReport report;
    reportOneShownImport([&report](const QString &file, QString *error) { return parseMermaidFile(file, error, &report); },
                         path);
    bench::report(QStringLiteral("lines reported"), QString::number(report.unreadLines));
}

} // namespace

VELMORA_BENCH("drawio-many-cells",
              "a draw.io file of 200,000 loose shapes (32 MB) imported into a shown scene, or refused: time and peak memory",
              drawioManyCells);
VELMORA_BENCH("mermaid-long-name",
              "a Mermaid entity named by 2 million characters imported into a shown scene: time and peak memory",
              mermaidLongName);
VELMORA_BENCH("mermaid-import-shown", "a Mermaid file of 1,000 tables imported into a shown scene (target < 300 ms)",
              mermaidShown);
VELMORA_BENCH("drawio-import-shown",
              "a draw.io file of 1,000 tables read (target < 300 ms) and imported into a shown scene (< 600 ms)",
              drawioShown);
VELMORA_BENCH("mermaid-bare-names", "Mermaid texts of 10,000 to 100,000 bare names: linear, 100,000 < 2 s",
              mermaidBareNames);
VELMORA_BENCH("mermaid-garbage", "Mermaid texts of 5 to 50 MB of random words after erDiagram: linear, 50 MB < 5 s",
              mermaidGarbage);
