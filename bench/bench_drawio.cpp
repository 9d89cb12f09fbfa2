// draw.io interchange workloads.
#include "bench.h"

#include "drawioreader.h"
#include "drawiowriter.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <zlib.h>

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

namespace {

// 1,000 tables of 15 rows on a grid: the first row a primary key, then two foreign key
// rows linked by "fkEdgeId" where an edge makes them; 1,500 edges.
QJsonObject importBenchDiagram()
{
    constexpr int tables = 1000;
    constexpr int edgeCount = 1500;
    QJsonArray entities;
    for (int t = 0; t < tables; ++t) {
        QJsonArray attributes;
        attributes.append(QJsonObject{{u"name"_s, u"id"_s}, {u"type"_s, u"BIGINT"_s},
                                      {u"isPrimaryKey"_s, true}});
        const int secondEdge = t + tables;
        attributes.append(QJsonObject{{u"name"_s, u"first_ref"_s}, {u"type"_s, u"BIGINT"_s},
                                      {u"isForeignKey"_s, true}, {u"fkEdgeId"_s, u"edge-%1"_s.arg(t)}});
        QJsonObject second{{u"name"_s, u"second_ref"_s}, {u"type"_s, u"BIGINT"_s},
                           {u"isForeignKey"_s, true}};
        if (secondEdge < edgeCount)
            second.insert(u"fkEdgeId"_s, u"edge-%1"_s.arg(secondEdge));
        attributes.append(second);
        while (attributes.size() < 15) {
            attributes.append(QJsonObject{{u"name"_s, u"column_%1"_s.arg(attributes.size())},
                                          {u"type"_s, u"VARCHAR(40)"_s}});
        }
        entities.append(QJsonObject{{u"id"_s, u"entity-%1"_s.arg(t)}, {u"title"_s, u"Table%1"_s.arg(t)},
                                    {u"x"_s, (t % 40) * 320.0}, {u"y"_s, (t / 40) * 600.0},
                                    {u"attributes"_s, attributes}});
    }
    QJsonArray edges;
    for (int k = 0; k < edgeCount; ++k) {
        const int to = k % tables;
        const int from = (to + 1 + (k / tables) * 7) % tables;
        edges.append(QJsonObject{{u"id"_s, u"edge-%1"_s.arg(k)}, {u"from"_s, u"entity-%1"_s.arg(from)},
                                 {u"to"_s, u"entity-%1"_s.arg(to)}, {u"startCard"_s, k % 4},
                                 {u"endCard"_s, (k + 1) % 4}});
    }
    return QJsonObject{{u"version"_s, u"1.0"_s}, {u"type"_s, u"er-diagram"_s},
                       {u"entities"_s, entities}, {u"edges"_s, edges}};
}

// Raw deflate of data; with zeroMiB > 0, of that many MiB of zero bytes instead.
QByteArray rawDeflate(const QByteArray &data, qsizetype zeroMiB = 0)
{
    z_stream stream = {};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    const QByteArray zeros(zeroMiB > 0 ? 1024 * 1024 : 0, '\0');
    const qsizetype pieces = zeroMiB > 0 ? zeroMiB : 1;
    QByteArray output;
    char buffer[65536];
    for (qsizetype piece = 0; piece < pieces; ++piece) {
        const QByteArray &input = zeroMiB > 0 ? zeros : data;
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(input.constData()));
        stream.avail_in = uInt(input.size());
        const int flush = piece + 1 == pieces ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = reinterpret_cast<Bytef *>(buffer);
            stream.avail_out = sizeof(buffer);
            deflate(&stream, flush);
            output.append(buffer, qsizetype(sizeof(buffer) - stream.avail_out));
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return output;
}

QByteArray singlePageFile(const QByteArray &pageText)
{
    return "<mxfile host=\"bench\"><diagram id=\"p\" name=\"Page-1\">" + pageText
           + "</diagram></mxfile>\n";
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString importCounts(const QJsonObject &document)
{
    return u"%1 entities, %2 edges"_s.arg(document.value(u"entities"_s).toArray().size())
        .arg(document.value(u"edges"_s).toArray().size());
}

void benchDrawio()
{
    const QJsonObject document = importBenchDiagram();
    QTemporaryDir dir;
    const QString plainPath = dir.filePath(u"plain.drawio"_s);
    bool written = true;
    bench::reportMs(u"export: writeDrawioFile, 1,000 tables, 1,500 edges"_s,
                    bench::medianMs([&] { written = writeDrawioFile(document, plainPath) && written; }, 5));
    if (!written) {
        bench::report(u"export"_s, u"FAILED"_s);
        return;
    }
    QFile plainFile(plainPath);
    plainFile.open(QIODevice::ReadOnly);
    const QByteArray plain = plainFile.readAll();
    bench::report(u"plain file"_s, u"%1 bytes"_s.arg(plain.size()));

    QList<DrawioCell> cells;
    const qsizetype modelStart = plain.indexOf("<mxGraphModel");
    const qsizetype modelEnd = plain.indexOf("</mxGraphModel>") + qsizetype(sizeof("</mxGraphModel>") - 1);
    const QByteArray model = plain.mid(modelStart, modelEnd - modelStart);
    parseMxGraphXml(model, &cells);
    bench::report(u"cells"_s, QString::number(cells.size()));

    QJsonObject imported;
    bench::reportMs(u"plain import: parseDrawioFile"_s,
                    bench::medianMs([&] { imported = parseDrawioFile(plainPath); }, 5));
    bench::report(u"plain import read back"_s, importCounts(imported));

    const QByteArray encoded = model.toPercentEncoding();
    const QByteArray compressed = singlePageFile(rawDeflate(encoded).toBase64());
    const QString compressedPath = dir.filePath(u"compressed.drawio"_s);
    writeBytes(compressedPath, compressed);
    bench::report(u"compressed file"_s, u"%1 bytes"_s.arg(compressed.size()));
    bench::report(u"inflated page"_s, u"%1 MiB (cap %2 MiB for the file)"_s.arg(encoded.size() / 1048576.0, 0, 'f', 1)
                                          .arg(DrawioMaxInflatedBytes / 1048576));
    imported = QJsonObject();
    bench::reportMs(u"compressed import: parseDrawioFile"_s,
                    bench::medianMs([&] { imported = parseDrawioFile(compressedPath); }, 5));
    bench::report(u"compressed import read back"_s, importCounts(imported));

    const QString bombPath = dir.filePath(u"bomb.drawio"_s);
    writeBytes(bombPath, singlePageFile(rawDeflate(QByteArray(), 1024).toBase64()));
    bench::report(u"bomb file (1 GiB inflated)"_s, u"%1 bytes"_s.arg(QFileInfo(bombPath).size()));
    QString error;
    bench::reportMs(u"bomb refused"_s, bench::medianMs([&] { parseDrawioFile(bombPath, &error); }, 5));
    bench::report(u"bomb message"_s, error);
    bench::report(u"peak RSS"_s, u"%1 MiB"_s.arg(bench::peakRssMiB(), 0, 'f', 1));
}

} // namespace

VELMORA_BENCH("drawio", "draw.io export, plain and compressed import of 1,000 tables and 1,500 edges; bomb refusal",
              benchDrawio);

namespace {

// Twenty pages, each of a stream that inflates to 63 MiB of zeros: under the cap one at a
// time, 1.2 GiB together.
void benchDrawioPageBudget()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"pages.drawio"_s);
    const QByteArray page = "<diagram name=\"Page\">" + rawDeflate(QByteArray(), 63).toBase64() + "</diagram>";
    writeBytes(path, "<mxfile host=\"bench\">" + page.repeated(20) + "</mxfile>\n");
    bench::report(u"file"_s, u"%1 bytes, 20 pages of 63 MiB inflated"_s.arg(QFileInfo(path).size()));
    QString error;
    bench::reportMs(u"refused"_s, bench::medianMs([&] { parseDrawioFile(path, &error); }, 3));
    bench::report(u"message"_s, error);
    bench::report(u"peak RSS"_s, u"%1 MiB"_s.arg(bench::peakRssMiB(), 0, 'f', 1));
}

} // namespace

VELMORA_BENCH("drawio-page-budget",
              "a draw.io file of 20 pages each inflating to 63 MiB: refused within one 64 MiB budget, with its message",
              benchDrawioPageBudget);
