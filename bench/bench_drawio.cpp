// draw.io interchange workloads.
#include "bench.h"

#include "drawiowriter.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

// tables entities of rowsPerTable attributes each; every table after the first has a
// foreign key to its predecessor, linked by "fkEdgeId" on even tables and found by
// name on odd ones.
QJsonObject largeDiagram(int tables, int rowsPerTable)
{
    QJsonArray entities;
    QJsonArray edges;
    for (int t = 0; t < tables; ++t) {
        const QString id = u"entity-%1"_s.arg(t);
        QJsonArray attributes;
        attributes.append(QJsonObject{{u"name"_s, u"id"_s}, {u"type"_s, u"BIGINT"_s},
                                      {u"isPrimaryKey"_s, true}});
        if (t > 0) {
            QJsonObject fk{{u"name"_s, u"table%1_id"_s.arg(t - 1)}, {u"type"_s, u"BIGINT"_s},
                           {u"isForeignKey"_s, true}};
            if (t % 2 == 0)
                fk.insert(u"fkEdgeId"_s, u"edge-%1"_s.arg(t));
            attributes.append(fk);
        }
        while (attributes.size() < rowsPerTable) {
            attributes.append(QJsonObject{{u"name"_s, u"column_%1"_s.arg(attributes.size())},
                                          {u"type"_s, u"MAP<STRING,INT>"_s}});
        }
        entities.append(QJsonObject{{u"id"_s, id}, {u"title"_s, u"Table%1"_s.arg(t)},
                                    {u"x"_s, (t % 40) * 320.0}, {u"y"_s, (t / 40) * 600.0},
                                    {u"fgLight"_s, u"#ff000000"_s},
                                    {u"attributes"_s, attributes}});
        if (t > 0) {
            edges.append(QJsonObject{{u"id"_s, u"edge-%1"_s.arg(t)},
                                     {u"from"_s, u"entity-%1"_s.arg(t - 1)}, {u"to"_s, id},
                                     {u"startCard"_s, 0}, {u"endCard"_s, 3}});
        }
    }
    return QJsonObject{{u"version"_s, u"1.0"_s}, {u"type"_s, u"er-diagram"_s},
                       {u"entities"_s, entities}, {u"edges"_s, edges}};
}

void benchDrawioWrite()
{
    const QJsonObject document = largeDiagram(1000, 15);
    QString text;
    bench::reportMs(u"generate 1,000 tables x 15 rows"_s,
                    bench::medianMs([&] { text = generateDrawioXml(document); }));
    bench::report(u"text size"_s, u"%1 MiB"_s.arg(text.toUtf8().size() / 1048576.0, 0, 'f', 1));

    QTemporaryDir dir;
    const QString path = dir.filePath(u"bench.drawio"_s);
    bool ok = true;
    bench::reportMs(u"writeDrawioFile, same document"_s,
                    bench::medianMs([&] { ok = writeDrawioFile(document, path) && ok; }));
    bench::report(u"file written"_s, ok ? u"%1 bytes"_s.arg(QFileInfo(path).size()) : u"FAILED"_s);
    bench::report(u"peak RSS"_s, u"%1 MiB"_s.arg(bench::peakRssMiB(), 0, 'f', 1));
}

} // namespace

VELMORA_BENCH("drawio-write", "draw.io export of a 1,000-table diagram (about 46,000 cells)",
              benchDrawioWrite);
