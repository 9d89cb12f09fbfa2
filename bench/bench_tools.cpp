// A table placed by a click in the Add Table mode on a diagram of a large model, and a
// deletion "from model" of many selected boxes shown on 20 other stored diagrams.
#include "bench.h"
#include "largemodelwindow.h"

#include "applicationsetup.h"
#include "busyspinnerwidget.h"
#include "columnitem.h"
#include "constraintitem.h"
#include "diagramitem.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "mainwindow.h"
#include "modelitem.h"
#include "projectitem.h"
#include "projecttreemodel.h"
#include "relationshipitem.h"
#include "scriptedprompts.h"
#include "tableitem.h"
#include "erview.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QGraphicsView>
#include <QItemSelectionModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QToolButton>
#include <QTreeView>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

using namespace largemodelwindow;

void placeTable2000()
{
    configureApplication(*qApp);
    Shown shown;
    const QString path = QDir::temp().filePath(u"velmora-place2000-%1.json"_s.arg(QCoreApplication::applicationPid()));
    if (!shown.open([](ProjectItem &project) { buildModel(project); }, path)) {
        bench::report(u"opening the project"_s, u"FAILED"_s);
        return;
    }
    QFile::remove(path);
    auto *view = shown.window.findChild<ERView *>(u"view"_s);
    shown.window.findChild<QAction *>(u"actionAdd_Table"_s)->trigger();
    QCoreApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    emit view->sceneClicked(QPointF(-800, -800), Qt::LeftButton);
    const double ms = timer.nsecsElapsed() / 1e6;
    QCoreApplication::processEvents();
    bench::report(u"one click in Add Table, 2,000 tables in the model"_s,
                  u"%1 ms (target < 300 ms) %2"_s.arg(ms, 0, 'f', 1).arg(ms < 300 ? u"OK"_s : u"OVER"_s));
}

void deleteFromModel()
{
    configureApplication(*qApp);
    Shown shown;
    const QString path = QDir::temp().filePath(u"velmora-delmodel-%1.json"_s.arg(QCoreApplication::applicationPid()));
    if (!shown.open([](ProjectItem &project) { buildModel(project); }, path)) {
        bench::report(u"opening the project"_s, u"FAILED"_s);
        return;
    }
    QFile::remove(path);
    int selected = 0;
    for (QGraphicsItem *item : shown.scene->items()) {
        if (item->type() != EntityItem::Type)
            continue;
        auto *box = static_cast<EntityItem *>(item);
        const int n = box->storedId.mid(1).toInt();
        if (n >= 250 && n < 350) {
            box->setSelected(true);
            ++selected;
        }
    }
    QCoreApplication::processEvents();
    bench::report(u"selected boxes, lines on the scene"_s, u"%1, %2"_s.arg(selected).arg(countEdges(shown.scene)));
    shown.prompts.answerAsk(u"Delete from model"_s);
    QElapsedTimer timer;
    timer.start();
    QMetaObject::invokeMethod(&shown.window, "deleteSelection");
    const double ms = timer.nsecsElapsed() / 1e6;
    QCoreApplication::processEvents();
    bench::report(u"deleteSelection, Delete from model"_s,
                  u"%1 ms (target < 2000 ms) %2"_s.arg(ms, 0, 'f', 1).arg(ms < 2000 ? u"OK"_s : u"OVER"_s));
    bench::report(u"lines left on the scene"_s, QString::number(countEdges(shown.scene)));
    bench::report(u"peak RSS"_s, u"%1 MiB"_s.arg(bench::peakRssMiB(), 0, 'f', 1));
}

} // namespace

VELMORA_BENCH("place-table-2000", "one left click in the Add Table mode on a diagram of a model of 2,000 tables",
              placeTable2000);
VELMORA_BENCH("delete-from-model",
              "100 selected table boxes with their lines deleted from the model, on a diagram of 600 boxes "
              "shown on 20 other stored diagrams",
              deleteFromModel);
