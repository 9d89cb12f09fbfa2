#include "bench.h"

#include "schemaimporter.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

namespace {

constexpr int tableCount = 2000;
constexpr int columnsPerTable = 30;
constexpr int foreignKeyCount = 3000;

QString tableName(int i)
{
    return QStringLiteral("table_%1").arg(i, 4, 10, QLatin1Char('0'));
}

// An inspector's output as PostgreSQL would give it: foreign-key names repeat across
// tables ("fk_0", "fk_1"), unique only within each table.
QByteArray inspectorOutput()
{
    static const char *const types[] = {"INTEGER", "CHARACTER VARYING(40)", "NUMERIC(10,2)",
                                        "TIMESTAMP WITH TIME ZONE", "TEXT"};
    QJsonArray tables;
    QJsonArray constraints;
    for (int t = 0; t < tableCount; ++t) {
        QJsonArray columns;
        columns.append(QJsonObject{{"name", "id"}, {"type", "INTEGER"}, {"nullable", false}});
        for (int c = 1; c < columnsPerTable; ++c)
            columns.append(QJsonObject{{"name", QStringLiteral("column_%1").arg(c)},
                                       {"type", types[c % 5]}, {"nullable", true}});
        tables.append(QJsonObject{{"name", tableName(t)}, {"columns", columns}});
        constraints.append(QJsonObject{{"type", "PRIMARY KEY"}, {"table", tableName(t)}, {"columns", QJsonArray{"id"}}});
        if (t % 10 == 0)
            constraints.append(QJsonObject{{"type", "UNIQUE"}, {"table", tableName(t)},
                                           {"columns", QJsonArray{"column_3"}}});
    }
    for (int k = 0; k < foreignKeyCount; ++k) {
        const int owner = k % tableCount;
        const int slot = k / tableCount;
        const int referenced = (owner + 1 + slot) % tableCount;
        constraints.append(QJsonObject{{"type", "FOREIGN KEY"}, {"table", tableName(owner)},
                                       {"name", QStringLiteral("fk_%1").arg(slot)},
                                       {"columns", QJsonArray{QStringLiteral("column_%1").arg(1 + slot)}},
                                       {"ref_table", tableName(referenced)}, {"ref_columns", QJsonArray{"id"}}});
    }
    const QJsonObject meta{{"dialect", "postgresql"}, {"schema", "bench"}};
    return QJsonDocument(QJsonObject{{"meta", meta}, {"tables", tables}, {"constraints", constraints}})
        .toJson(QJsonDocument::Compact);
}

// start() to finished() through a script that prints the file.
double importThroughScript(const QString &python, const QString &script, const QString &file, bool *ok)
{
    SchemaImporter importer;
    QEventLoop loop;
    *ok = false;
    QObject::connect(&importer, &SchemaImporter::finished, &loop, [&] { *ok = true; loop.quit(); });
    QObject::connect(&importer, &SchemaImporter::failed, &loop, [&](const QString &message) {
        bench::report(QStringLiteral("failed"), message);
        loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    importer.start(python, script, {file});
    loop.exec();
    return clock.nsecsElapsed() / 1e6;
}

void schemaConvert()
{
    const QByteArray output = inspectorOutput();
    bench::report(QStringLiteral("inspector output"), QStringLiteral("%1 MB").arg(output.size() / 1e6, 0, 'f', 1));

    QJsonObject schema;
    bench::reportMs(QStringLiteral("QJsonDocument::fromJson (median of 5)"),
                    bench::medianMs([&] { schema = QJsonDocument::fromJson(output).object(); }, 5));
    QJsonObject diagram;
    bench::reportMs(QStringLiteral("buildDiagramJson (median of 5, target < 500)"),
                    bench::medianMs([&] { diagram = SchemaImporter::buildDiagramJson(schema); }, 5));
    bench::report(QStringLiteral("entities"), QString::number(diagram.value("entities").toArray().size()));
    bench::report(QStringLiteral("edges"), QString::number(diagram.value("edges").toArray().size()));

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("schema.json"));
    const QString script = dir.filePath(QStringLiteral("print_file.py"));
    QFile out(file);
    QFile code(script);
    if (!out.open(QIODevice::WriteOnly) || out.write(output) != output.size() || !code.open(QIODevice::WriteOnly)) {
        bench::report(QStringLiteral("start to finished"), QStringLiteral("could not write the fixture"));
        return;
    }
    out.close();
    code.write("import sys\nsys.stdout.buffer.write(open(sys.argv[1], 'rb').read())\n");
    code.close();
    bool ok = false;
    const double ms = bench::medianMs([&] { importThroughScript(QStringLiteral("/usr/bin/python3"), script, file, &ok); }, 3);
    bench::reportMs(QStringLiteral("start to finished, script printing it (median of 3)"), ms);
    if (!ok)
        bench::report(QStringLiteral("start to finished"), QStringLiteral("the import did not finish"));
}

} // namespace

VELMORA_BENCH("schema-convert",
              "2,000 inspected tables of 30 columns and 3,000 foreign keys parsed and converted (target < 500 ms)",
              schemaConvert);
