#include "bench.h"
#include "mermaidnoise.h"

#include "mermaidreader.h"
#include "mermaidwriter.h"

#include <QFile>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <iterator>

namespace {

constexpr int entityCount = 2000;
constexpr int relationshipCount = 3000;
constexpr int rowsPerEntity = 12;

QString titleOf(int i)
{
    return QStringLiteral("sales_entity_%1").arg(i);
}

// Relationship k joins entity k mod 2000 with the next one, or the one after it for the
// last thousand, so every pair is distinct.
QPair<int, int> pairOf(int k)
{
    const int from = k % entityCount;
    return {from, (from + 1 + k / entityCount) % entityCount};
}

QJsonObject buildDocument()
{
    QList<QStringList> parentsOf(entityCount);
    for (int k = 0; k < relationshipCount; ++k)
        parentsOf[pairOf(k).second].append(titleOf(pairOf(k).first));

    static const char *const types[] = {"varchar(40)", "int", "decimal(10,2)", "timestamp", "text"};
    QJsonArray entities;
    for (int i = 0; i < entityCount; ++i) {
        QJsonArray rows;
        rows.append(QJsonObject{{"name", "id"}, {"type", "int"}, {"isPrimaryKey", true},
                                {"isForeignKey", false}, {"isUniqueKey", false}});
        for (const QString &parent : parentsOf.at(i))
            rows.append(QJsonObject{{"name", parent + "_id"}, {"type", "int"}, {"isPrimaryKey", false},
                                    {"isForeignKey", true}, {"isUniqueKey", false}});
        for (int c = 0; rows.size() < rowsPerEntity; ++c)
            rows.append(QJsonObject{{"name", QStringLiteral("column_%1").arg(c)},
                                    {"type", types[c % std::size(types)]}, {"isPrimaryKey", false},
                                    {"isForeignKey", false}, {"isUniqueKey", c == 0}});
        entities.append(QJsonObject{{"id", QStringLiteral("e%1").arg(i)}, {"title", titleOf(i)},
                                    {"x", 0}, {"y", 0}, {"attributes", rows}});
    }
    QJsonArray edges;
    for (int k = 0; k < relationshipCount; ++k) {
        edges.append(QJsonObject{{"id", QStringLiteral("r%1").arg(k)},
                                 {"from", QStringLiteral("e%1").arg(pairOf(k).first)},
                                 {"to", QStringLiteral("e%1").arg(pairOf(k).second)},
                                 {"startCard", k % 4}, {"endCard", (k / 4) % 4},
                                 {"label", QStringLiteral("link %1").arg(k)}});
    }
    return QJsonObject{{"version", "1.0"}, {"type", "er-diagram"}, {"entities", entities},
                       {"edges", edges}};
}

void runMermaid()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.mmd"));
    const QJsonObject document = buildDocument();

    const double writeMs = bench::medianMs([&] { writeMermaidFile(document, path, nullptr); }, 5);
    QJsonObject imported;
    const double readMs = bench::medianMs([&] { imported = parseMermaidFile(path, nullptr); }, 5);

    bench::report(QStringLiteral("text size"), QStringLiteral("%1 bytes").arg(QFileInfo(path).size()));
    bench::report(QStringLiteral("entities read back"),
                  QString::number(imported.value(QStringLiteral("entities")).toArray().size()));
    bench::report(QStringLiteral("relationships read back"),
                  QString::number(imported.value(QStringLiteral("edges")).toArray().size()));
    bench::reportMs(QStringLiteral("write (median of 5, target < 300 ms)"), writeMs);
    bench::reportMs(QStringLiteral("read (median of 5, target < 300 ms)"), readMs);

    const QString junkPath = dir.filePath(QStringLiteral("junk.mmd"));
    QFile junk(junkPath);
    if (junk.open(QIODevice::WriteOnly))
        junk.write(mermaidNoise(5 * 1024 * 1024));
    junk.close();
    QJsonObject junkDocument;
    const double junkMs = bench::medianMs([&] { junkDocument = parseMermaidFile(junkPath, nullptr); }, 1);
    bench::report(QStringLiteral("5 MB of random words: entities"),
                  QString::number(junkDocument.value(QStringLiteral("entities")).toArray().size()));
    bench::reportMs(QStringLiteral("5 MB of random words: read"), junkMs);
    bench::report(QStringLiteral("peak RSS"), QString::number(bench::peakRssMiB(), 'f', 1) + " MiB");
}

} // namespace

VELMORA_BENCH("mermaid", "Mermaid erDiagram: write and read 2,000 entities and 3,000 relationships",
              runMermaid);
