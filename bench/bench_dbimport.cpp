#include "bench.h"

#include "schemaimporter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
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

// start() to finished() of one run of script with args.
double importThroughScript(const QString &python, const QString &script, const QStringList &args, bool *ok)
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
    importer.start(python, script, args);
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
    const QString python = QStringLiteral("/usr/bin/python3");
    const double ms = bench::medianMs([&] { importThroughScript(python, script, {file}, &ok); }, 3);
    bench::reportMs(QStringLiteral("start to finished, script printing it (median of 3)"), ms);
    if (!ok)
        bench::report(QStringLiteral("start to finished"), QStringLiteral("the import did not finish"));
}

// The shipped inspector through the importer: a generated PostgreSQL schema on the tests'
// server (tests/dbimport/pg_server.sh start <folder>, then VELMORA_PG_CONNECTION naming
// <folder>/connection.json), and a generated folder of CSV files.
const QString benchSchema = QStringLiteral("bench_inspector");

QByteArray benchSchemaSql()
{
    QByteArray sql = "DROP SCHEMA IF EXISTS bench_inspector CASCADE;\nCREATE SCHEMA bench_inspector;\n";
    for (int t = 0; t < tableCount; ++t) {
        sql += "CREATE TABLE bench_inspector." + tableName(t).toUtf8() + " (id integer PRIMARY KEY";
        for (int c = 1; c < columnsPerTable; ++c)
            sql += ", column_" + QByteArray::number(c) + (c <= 2 ? " integer" : " varchar(40)");
        sql += ");\n";
    }
    for (int k = 0; k < foreignKeyCount; ++k) {
        const int owner = k % tableCount;
        const int slot = k / tableCount;
        sql += "ALTER TABLE bench_inspector." + tableName(owner).toUtf8() + " ADD CONSTRAINT fk_"
            + QByteArray::number(slot) + " FOREIGN KEY (column_" + QByteArray::number(1 + slot)
            + ") REFERENCES bench_inspector." + tableName((owner + 1 + slot) % tableCount).toUtf8() + " (id);\n";
    }
    return sql;
}

bool runPsql(const QJsonObject &server, const QByteArray &sql)
{
    QProcess psql;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PGPASSWORD"), server.value("admin_password").toString());
    psql.setProcessEnvironment(environment);
    psql.start(QStringLiteral("/usr/lib/postgresql/15/bin/psql"),
               {"-X", "-q", "-1", "-v", "ON_ERROR_STOP=1", "-h", server.value("host").toString(),
                "-p", QString::number(server.value("port").toInt()), "-U", server.value("admin_user").toString(),
                "-d", server.value("dbname").toString(), "-f", "-"});
    psql.write(sql);
    psql.closeWriteChannel();
    if (psql.waitForFinished(300000) && psql.exitStatus() == QProcess::NormalExit && psql.exitCode() == 0)
        return true;
    bench::report(QStringLiteral("psql failed"), QString::fromUtf8(psql.readAllStandardError()).trimmed());
    return false;
}

void postgresqlHalf(const QString &python, const QString &script)
{
    const QString connectionFile = qEnvironmentVariable("VELMORA_PG_CONNECTION");
    QFile file(connectionFile);
    const QJsonObject server = file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                                              : QJsonObject();
    if (server.isEmpty()) {
        bench::report(QStringLiteral("PostgreSQL"),
                      QStringLiteral("no server (set VELMORA_PG_CONNECTION to pg_server.sh's connection.json); skipped"));
        return;
    }
    QElapsedTimer clock;
    clock.start();
    if (!runPsql(server, benchSchemaSql())) {
        bench::report(QStringLiteral("PostgreSQL"), QStringLiteral("could not create the schema"));
        return;
    }
    bench::reportMs(QStringLiteral("creating 2,000 tables and 3,000 foreign keys"), clock.nsecsElapsed() / 1e6);
    const QStringList args{"--dialect", "postgresql", "--host", server.value("host").toString(),
                           "--port", QString::number(server.value("port").toInt()),
                           "--user", server.value("user").toString(), "--password", server.value("password").toString(),
                           "--schema", benchSchema, "--dbname", server.value("dbname").toString()};
    bool ok = false;
    const double ms = bench::medianMs([&] { importThroughScript(python, script, args, &ok); }, 3);
    bench::reportMs(QStringLiteral("PostgreSQL start to finished (median of 3, target < 5000)"), ms);
    if (!ok)
        bench::report(QStringLiteral("PostgreSQL"), QStringLiteral("the import did not finish"));
    runPsql(server, "DROP SCHEMA bench_inspector CASCADE;\n");
}

void csvHalf(const QString &python, const QString &script)
{
    QTemporaryDir dir;
    for (int f = 0; f < 200; ++f) {
        QFile file(dir.filePath(QStringLiteral("file_%1.csv").arg(f, 3, 10, QLatin1Char('0'))));
        if (!file.open(QIODevice::WriteOnly))
            return bench::report(QStringLiteral("CSV"), QStringLiteral("could not write the folder"));
        QByteArray text;
        for (int c = 0; c < 20; ++c)
            text += (c ? "," : "") + QByteArray("column_") + QByteArray::number(c);
        text += '\n';
        for (int r = 0; r < 1000; ++r) {
            for (int c = 0; c < 20; ++c)
                text += (c ? "," : "") + (c % 3 == 0 ? QByteArray::number(r * c) : c % 3 == 1 ? QByteArray::number(r + 0.5) : QByteArray("text_") + QByteArray::number(r));
            text += '\n';
        }
        file.write(text);
    }
    bool ok = false;
    const double ms = bench::medianMs(
        [&] { importThroughScript(python, script, {"--dialect", "csv", "--csv-dir", dir.path()}, &ok); }, 3);
    bench::reportMs(QStringLiteral("CSV, 200 files of 1,000 rows (median of 3, target < 3000)"), ms);
    if (!ok)
        bench::report(QStringLiteral("CSV"), QStringLiteral("the import did not finish"));
}

void schemaInspector()
{
    const QString python = QStringLiteral("/usr/bin/python3");
    const QString script = QCoreApplication::applicationDirPath() + QStringLiteral("/tools/schema_inspector.py");
    postgresqlHalf(python, script);
    csvHalf(python, script);
}

} // namespace

VELMORA_BENCH("schema-convert",
              "2,000 inspected tables of 30 columns and 3,000 foreign keys parsed and converted (target < 500 ms)",
              schemaConvert);
VELMORA_BENCH("schema-inspector",
              "the shipped inspector through the importer: 2,000 PostgreSQL tables (target < 5 s), 200 CSV files (< 3 s)",
              schemaInspector);
