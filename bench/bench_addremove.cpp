// Tables dropped from the explorer onto a shown diagram of a large model, and an explorer
// removal of many tables across its stored diagrams.
#include "bench.h"
#include "largemodelwindow.h"

#include "applicationsetup.h"
#include "busyspinnerwidget.h"
#include "columnitem.h"
#include "constraintitem.h"
#include "diagramitem.h"
#include "edgeitem.h"
#include "edgeswitchscope.h"
#include "entityobstacleindex.h"
#include "edgeswitchscope.h"
#include "entityitem.h"
#include "erscene.h"
#include "mainwindow.h"
#include "modelitem.h"
#include "projectitem.h"
#include "projecttreemodel.h"
#include "relationshipitem.h"
#include "scriptedprompts.h"
#include "tableitem.h"

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

constexpr double DropTargetMs = 2000;


void drop300()
{
    configureApplication(*qApp);
    Shown shown;
    // An open diagram that already holds the first 300 tables: a new diagram and a drop.
    const QString path = QDir::temp().filePath(u"velmora-drop300-%1.json"_s.arg(QCoreApplication::applicationPid()));
    if (!shown.open([](ProjectItem &project) { buildModel(project); }, path)) {
        bench::report(u"opening the project"_s, u"FAILED"_s);
        return;
    }
    QFile::remove(path);
    shown.window.findChild<QAction *>(u"action_New_Diagram"_s)->trigger();
    QCoreApplication::processEvents();
    shown.drop(payloadOf(0, 300), QPointF(0, 0));
    QCoreApplication::processEvents();
    bench::report(u"before: boxes, lines"_s,
                  u"%1, %2"_s.arg(EntityItem::selectedEntityItems(shown.scene).size()).arg(countEdges(shown.scene)));
    shown.scene->clearSelection();
    QCoreApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    shown.drop(payloadOf(300, 300), QPointF(0, 3000));
    const double dropMs = timer.nsecsElapsed() / 1e6;
    QCoreApplication::processEvents();
    bench::report(u"after: lines"_s, QString::number(countEdges(shown.scene)));

    // The routing share, measured as the same lines routed once more as the drop routes
    // so many: over one obstacle index, keeping to the candidate shapes.
    timer.restart();
    {
        QList<EntityItem *> boxes;
        QList<EdgeItem *> lines;
        for (QGraphicsItem *item : shown.scene->items()) {
            if (item->type() == EntityItem::Type)
                boxes.append(static_cast<EntityItem *>(item));
            else if (item->type() == EdgeItem::Type)
                lines.append(static_cast<EdgeItem *>(item));
        }
        const EntityObstacleIndex obstacles(shown.scene, boxes);
        const ObstacleIndexScope useObstacles(&obstacles);
        const RouteSearchHold quick;
        for (EdgeItem *line : lines)
            line->updatePath();
    }
    const double routingMs = timer.nsecsElapsed() / 1e6;
    bench::report(u"onExplorerDropRequested, 300 tables with their lines"_s,
                  u"%1 ms (target < %2 ms) %3"_s.arg(dropMs, 0, 'f', 1).arg(DropTargetMs).arg(dropMs < DropTargetMs ? u"OK"_s : u"OVER"_s));
    bench::reportMs(u"routing share (the 600 lines routed again)"_s, routingMs);
    bench::report(u"peak RSS"_s, u"%1 MiB"_s.arg(bench::peakRssMiB(), 0, 'f', 1));
}

void remove200()
{
    configureApplication(*qApp);
    Shown shown;
    const QString path = QDir::temp().filePath(u"velmora-remove200-%1.json"_s.arg(QCoreApplication::applicationPid()));
    if (!shown.open([](ProjectItem &project) { buildModel(project); }, path)) {
        bench::report(u"opening the project"_s, u"FAILED"_s);
        return;
    }
    QFile::remove(path);
    auto *tree = shown.window.findChild<QTreeView *>(u"treeViewProject"_s);
    auto *proxy = qobject_cast<QSortFilterProxyModel *>(tree->model());
    auto *source = qobject_cast<QStandardItemModel *>(proxy ? proxy->sourceModel() : nullptr);
    if (!source) {
        bench::report(u"explorer tree"_s, u"FAILED"_s);
        return;
    }
    QSet<QString> wanted;
    for (int i = 100; i < 300; ++i)
        wanted.insert(tableId(i));
    QItemSelection selection;
    QList<QStandardItem *> pending{source->invisibleRootItem()};
    while (!pending.isEmpty()) {
        QStandardItem *item = pending.takeFirst();
        if (item->data(Qt::UserRole).toString() == u"table"_s && wanted.contains(item->data(Qt::UserRole + 1).toString())) {
            const QModelIndex index = proxy->mapFromSource(item->index());
            selection.select(index, index);
        }
        for (int row = 0; row < item->rowCount(); ++row)
            pending.append(item->child(row));
    }
    tree->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QCoreApplication::processEvents();
    bench::report(u"selected rows"_s, QString::number(tree->selectionModel()->selectedRows().size()));
    shown.prompts.answerQuestion(QMessageBox::Yes);
    QElapsedTimer timer;
    timer.start();
    shown.window.findChild<QToolButton *>(u"toolButtonDel"_s)->click();
    bench::reportMs(u"explorer removal of 200 tables across 20 diagrams"_s, timer.nsecsElapsed() / 1e6);
    bench::report(u"peak RSS"_s, u"%1 MiB"_s.arg(bench::peakRssMiB(), 0, 'f', 1));
}

} // namespace

VELMORA_BENCH("drop-300",
              "300 tables dropped from the explorer next to 300 on a shown diagram, 600 lines among them, "
              "2,000 tables and 20 stored diagrams in the model",
              drop300);
VELMORA_BENCH("remove-200", "an explorer removal of 200 tables shown on 20 stored diagrams", remove200);
