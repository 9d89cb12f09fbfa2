// A large schema's diagram stored without routes (as an import or a hand-written file
// leaves it) loaded into a shown view: every line is routed by the load.
#include "bench.h"
#include "shownscene.h"

#include "edgeitem.h"
#include "schemagenerator.h"

#include <QJsonArray>
#include <QJsonObject>


namespace {

QJsonObject unroutedDocument(int tables)
{
    ERScene scene;
    schemagenerator::buildSchema(&scene, {tables, 1919});
    QJsonObject document = scene.toJson();
    QJsonArray edges = document.value(QStringLiteral("edges")).toArray();
    for (qsizetype i = 0; i < edges.size(); ++i) {
        QJsonObject edge = edges.at(i).toObject();
        edge.remove(QStringLiteral("points"));
        edges.replace(i, edge);
    }
    document.insert(QStringLiteral("edges"), edges);
    return document;
}

void loadUnrouted(int tables)
{
    bench::loadBundledFontsQuietly();
    const QJsonObject document = unroutedDocument(tables);
    bench::report(QStringLiteral("tables, relationships"),
                  QStringLiteral("%1, %2")
                      .arg(document.value(QStringLiteral("entities")).toArray().size())
                      .arg(document.value(QStringLiteral("edges")).toArray().size()));
    const bench::ShownLoads figures = bench::loadShown(document, 3);
    const auto spread = [](const QList<double> &values) {
        return QStringLiteral("%1 / %2 / %3 ms")
            .arg(values.front(), 0, 'f', 0)
            .arg(values.at(values.size() / 2), 0, 'f', 0)
            .arg(values.back(), 0, 'f', 0);
    };
    bench::report(QStringLiteral("load until painted, min / median / max of 3 (target < 5000)"), spread(figures.loads));
    bench::report(QStringLiteral("  of which routing"), spread(figures.routing));
    bench::report(QStringLiteral("longest stall"), spread(figures.stalls));
}

} // namespace

VELMORA_BENCH("load-unrouted-10000",
              "a generated schema of 10,000 tables stored without routes, loaded into a shown 1600x1000 view "
              "(target < 5 s)",
              [] { loadUnrouted(10000); });
