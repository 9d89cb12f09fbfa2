#pragma once

// A large model shown in the main window, shared by the window workloads that add, drop
// and delete tables.
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
#include "relationshipitem.h"
#include "scriptedprompts.h"
#include "tableitem.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QGraphicsView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <functional>
#include <memory>

namespace largemodelwindow {

using namespace Qt::StringLiterals;

constexpr int Tables = 2000;
constexpr int Linked = 600;
constexpr int Diagrams = 20;

inline QString tableId(int i)
{
    return u"t%1"_s.arg(i, 4, 10, QLatin1Char('0'));
}

// One model of 2,000 tables; 600 relationships among the first 600, each joining one of
// the first 300 to one of the next 300; 20 stored diagrams showing those 600 tables and
// their lines.
inline ModelItem *buildModel(ProjectItem &project)
{
    ModelItem *model = project.addModel();
    model->setName(u"Large"_s);
    model->setDialect(u"PostgreSQL"_s);
    for (int i = 0; i < Tables; ++i) {
        TableItem *table = model->ensureTable(tableId(i));
        table->setName(u"table_%1"_s.arg(i));
        QStringList keys;
        for (const QString &name : {u"id"_s, u"name"_s, u"created"_s}) {
            ColumnItem *column = table->addColumn();
            column->setName(name);
            column->setDataType(name == u"id"_s ? u"BIGINT"_s : u"TEXT"_s);
            if (keys.isEmpty())
                keys.append(column->id());
        }
        ConstraintItem *pk = table->addConstraint();
        pk->setType(ConstraintType::PrimaryKey);
        pk->setName(u"pk_"_s + table->name());
        pk->setColumns(keys);
    }
    QJsonArray edges;
    for (int i = 0; i < Linked; ++i) {
        const int a = i % 300;
        const int b = 300 + (i < 300 ? i : (i * 7) % 300);
        RelationshipItem *relationship = model->ensureRelationship(u"r%1"_s.arg(i));
        relationship->setFromTableId(tableId(a));
        relationship->setToTableId(tableId(b));
        relationship->setName(u"rel_%1"_s.arg(i));
        edges.append(QJsonObject{{u"id"_s, relationship->id()}, {u"from"_s, tableId(a)}, {u"to"_s, tableId(b)},
                                 {u"startCard"_s, 2}, {u"endCard"_s, 3}});
    }
    QJsonArray entities;
    for (int i = 0; i < Linked; ++i) {
        EntityItem box(u"table_%1"_s.arg(i), QSizeF(150, 70));
        box.storedId = tableId(i);
        box.addAttributeRow(u"id"_s, u"BIGINT"_s, true, false, false, false);
        box.addAttributeRow(u"name"_s, u"TEXT"_s, false, false, false, false);
        box.setPos((i % 30) * 220, (i / 30) * 160);
        entities.append(box.toJson());
    }
    for (int d = 0; d < Diagrams; ++d) {
        DiagramItem *diagram = model->addDiagram();
        diagram->setName(u"Diagram %1"_s.arg(d + 1, 2, 10, QLatin1Char('0')));
        diagram->setSceneJson({{u"entities"_s, entities}, {u"edges"_s, edges}});
    }
    return model;
}

inline QByteArray payloadOf(int first, int count)
{
    QJsonArray items;
    for (int i = first; i < first + count; ++i)
        items.append(QJsonObject{{u"kind"_s, u"table"_s}, {u"id"_s, tableId(i)}});
    return QJsonDocument(QJsonObject{{u"items"_s, items}}).toJson(QJsonDocument::Compact);
}

struct Shown
{
    ScriptedPrompts prompts;
    std::unique_ptr<UiPrompts::Override> answering;
    MainWindow window;
    ERScene *scene = nullptr;

    Shown()
        : answering(std::make_unique<UiPrompts::Override>(&prompts))
    {
        window.resize(1600, 1000);
        bench::showExposed(window);
        scene = qobject_cast<ERScene *>(window.findChild<QGraphicsView *>(u"view"_s)->scene());
    }

    void drop(const QByteArray &payload, QPointF at)
    {
        QMetaObject::invokeMethod(&window, "onExplorerDropRequested", Q_ARG(QByteArray, payload), Q_ARG(QPointF, at));
    }

    // Builds the large project through the window's own open path: written, then opened.
    bool open(const std::function<void(ProjectItem &)> &build, const QString &path)
    {
        ProjectItem project;
        build(project);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(project.toDocument()).toJson()) < 0)
            return false;
        file.close();
        prompts.answerOpenFile(path);
        window.findChild<QAction *>(u"action_Open"_s)->trigger();
        auto *spinner = window.findChild<BusySpinnerWidget *>();
        while (spinner && spinner->isBusy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::processEvents();
        return prompts.promptsOf(u"warning"_s).isEmpty();
    }
};

inline int countEdges(QGraphicsScene *scene)
{
    int n = 0;
    for (QGraphicsItem *item : scene->items())
        n += item->type() == EdgeItem::Type;
    return n;
}

} // namespace largemodelwindow
