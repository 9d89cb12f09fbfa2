// One table of very many columns as the user opens it: the diagram document read into a
// shown scene, the same table through the schema import's conversion, and the diagram file
// opened in the shown window (which also registers the table in the model). Each size is a
// workload of its own, so each runs in its own process.
#include "bench.h"
#include "shownscene.h"

#include "applicationsetup.h"
#include "busyspinnerwidget.h"
#include "entityitem.h"
#include "mainwindow.h"
#include "schemaimporter.h"
#include "scriptedprompts.h"
#include "uiseam.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QGraphicsView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

QString columnName(int c)
{
    return u"column_%1"_s.arg(c);
}

QJsonObject wideDocument(int columns)
{
    QJsonArray rows;
    for (int c = 0; c < columns; ++c) {
        rows.append(QJsonObject{{u"name"_s, columnName(c)},
                                {u"type"_s, c == 0 ? u"BIGINT"_s : u"VARCHAR(40)"_s},
                                {u"isPrimaryKey"_s, c == 0},
                                {u"isUniqueKey"_s, false},
                                {u"isForeignKey"_s, false}});
    }
    const QJsonObject entity{{u"id"_s, u"wide"_s}, {u"title"_s, u"wide_table"_s}, {u"x"_s, 0.0},
                             {u"y"_s, 0.0}, {u"attributes"_s, rows}};
    return QJsonObject{{u"version"_s, u"1.0"_s}, {u"type"_s, u"er-diagram"_s},
                       {u"entities"_s, QJsonArray{entity}}, {u"edges"_s, QJsonArray()},
                       {u"dialect"_s, u"PostgreSQL"_s}};
}

QJsonObject wideSchema(int columns)
{
    QJsonArray list;
    for (int c = 0; c < columns; ++c)
        list.append(QJsonObject{{u"name"_s, columnName(c)}, {u"type"_s, c == 0 ? u"INTEGER"_s : u"TEXT"_s},
                                {u"nullable"_s, c != 0}});
    const QJsonObject table{{u"name"_s, u"wide_table"_s}, {u"columns"_s, list}};
    const QJsonObject key{{u"type"_s, u"PRIMARY KEY"_s}, {u"table"_s, u"wide_table"_s},
                          {u"columns"_s, QJsonArray{columnName(0)}}};
    return QJsonObject{{u"meta"_s, QJsonObject{{u"dialect"_s, u"postgresql"_s}}},
                       {u"tables"_s, QJsonArray{table}}, {u"constraints"_s, QJsonArray{key}}};
}

double msSince(const QElapsedTimer &clock)
{
    return clock.nsecsElapsed() / 1e6;
}

// The document read into a fresh shown scene, until the view has painted it.
double loadShown(const QJsonObject &document, int *rows)
{
    bench::ShownScene shown;
    QElapsedTimer clock;
    clock.start();
    shown.scene.loadFromJson(document);
    shown.waitForPaint();
    const double ms = msSince(clock);
    for (QGraphicsItem *item : shown.scene.items()) {
        if (item->type() == EntityItem::Type)
            *rows = static_cast<EntityItem *>(item)->attributeCount();
    }
    return ms;
}

// The diagram file opened through the window's Open action, until the overlay is down and
// the view has painted.
double openInWindow(const QString &path)
{
    ScriptedPrompts prompts;
    const UiPrompts::Override answering(&prompts);
    MainWindow window;
    window.resize(1280, 800);
    bench::showExposed(window);
    QCoreApplication::processEvents();
    auto *spinner = window.findChild<BusySpinnerWidget *>();
    QWidget *viewport = window.findChild<QGraphicsView *>(u"view"_s)->viewport();
    bench::PaintWatcher watcher;
    prompts.answerOpenFile(path);
    QElapsedTimer clock;
    clock.start();
    window.findChild<QAction *>(u"action_Open"_s)->trigger();
    while (spinner->isBusy())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    viewport->installEventFilter(&watcher);
    viewport->update();
    while (!watcher.painted && clock.elapsed() < 600000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    viewport->removeEventFilter(&watcher);
    return msSince(clock);
}

void wideTable(int columns, int runs)
{
    bench::loadBundledFontsQuietly();
    configureApplication(*qApp);
    const QJsonObject document = wideDocument(columns);

    QList<double> scene;
    int rows = 0;
    for (int run = 0; run < runs; ++run)
        scene.append(loadShown(document, &rows));
    bench::report(u"rows on the box"_s, QString::number(rows));
    bench::reportSpread(u"diagram read into a shown scene, painted"_s, scene);

    const QJsonObject schema = wideSchema(columns);
    QList<double> imported;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        const QJsonObject converted = SchemaImporter::buildDiagramJson(schema);
        const double converting = msSince(clock);
        imported.append(converting + loadShown(converted, &rows));
    }
    bench::reportSpread(u"schema converted, read into a shown scene"_s, imported);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"wide.json"_s);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(document).toJson()) < 0 || !file.commit()) {
        bench::report(u"writing the diagram file"_s, u"FAILED"_s);
        return;
    }
    QList<double> window;
    for (int run = 0; run < runs; ++run)
        window.append(openInWindow(path));
    bench::reportSpread(u"diagram file opened in the shown window"_s, window);
    bench::report(u"peak RSS"_s, u"%1 MiB"_s.arg(bench::peakRssMiB(), 0, 'f', 1));
}

int runsFromEnvironment(int fallback)
{
    bool ok = false;
    const int runs = qEnvironmentVariableIntValue("VELMORA_BENCH_RUNS", &ok);
    return ok && runs > 0 ? runs : fallback;
}

} // namespace

VELMORA_BENCH("wide-table-25000", "one table of 25,000 columns: shown scene, schema import, window (linear)",
              [] { wideTable(25000, runsFromEnvironment(3)); });
VELMORA_BENCH("wide-table-50000", "one table of 50,000 columns: shown scene, schema import, window (linear)",
              [] { wideTable(50000, runsFromEnvironment(3)); });
VELMORA_BENCH("wide-table-100000",
              "one table of 100,000 columns: shown scene, schema import, window (target < 3 s)",
              [] { wideTable(100000, runsFromEnvironment(3)); });
