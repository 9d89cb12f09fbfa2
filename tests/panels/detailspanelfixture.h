#pragma once

// The details panel on the main window's form with no window behind it: a project built
// in code, a scene holding the boxes of the open diagram, and the entity lookup the
// window installs. Prompts are scripted; the panel's own operations ask nothing.

#include "columnitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "modelitem.h"
#include "projectitem.h"
#include "scriptedprompts.h"
#include "tabledetailscontroller.h"
#include "tableitem.h"
#include "uiprompts.h"
#include "uiseam.h"

#include "ui_MainWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGraphicsItem>
#include <QMainWindow>
#include <QMenu>
#include <QPair>
#include <QStandardItemModel>

#include <functional>
#include <memory>

// Answers the menus run through the menu seam with the entry of a text (none: dismissed)
// and records what was offered where; puts the previous runner back when it goes.
struct ScriptedMenu
{
    explicit ScriptedMenu(const QString &choice)
        : choice(choice)
    {
        previous = uiseam::setMenuRunner([this](QMenu *menu, const QPoint &pos) -> QAction * {
            ++runs;
            position = pos;
            offered.clear();
            for (const QAction *action : menu->actions())
                offered << action->text();
            if (whileOpen)
                whileOpen();
            for (QAction *action : menu->actions()) {
                if (action->text() == this->choice)
                    return action;
            }
            return nullptr;
        });
    }
    ~ScriptedMenu() { uiseam::setMenuRunner(previous); }
    ScriptedMenu(const ScriptedMenu &) = delete;
    ScriptedMenu &operator=(const ScriptedMenu &) = delete;

    QString choice;
    QStringList offered;
    QPoint position;
    int runs = 0;
    // Runs while the menu is open, as the user's other windows might.
    std::function<void()> whileOpen;
    uiseam::MenuRunner previous;
};

struct DetailsPanelFixture
{
    using ColumnSpec = QPair<QString, QString>; // name, type

    DetailsPanelFixture()
    {
        ui.setupUi(&window);
        window.resize(1100, 700);
        model = project.addModel();
        model->setName(QStringLiteral("Model 1"));
        model->setDialect(QStringLiteral("PostgreSQL"));
        panel = std::make_unique<TableDetailsController>(&ui, nullptr);
        panel->setProject(&project);
        panel->setEntityLookup([this](const QString &id) { return findBox(id); });
    }

    ~DetailsPanelFixture() { panel.reset(); }

    TableItem *addTable(const QString &name, const QList<ColumnSpec> &columns)
    {
        TableItem *table = model->addTable();
        table->setName(name);
        for (const ColumnSpec &wanted : columns) {
            ColumnItem *column = table->addColumn();
            column->setName(wanted.first);
            column->setDataType(wanted.second);
        }
        return table;
    }

    // The table's box on the open diagram, one row per column.
    EntityItem *addBox(const TableItem *table)
    {
        auto *box = new EntityItem(table->name(), QSizeF(160, 80));
        box->storedId = table->id();
        scene.addItem(box);
        for (const ColumnItem *column : table->columns()) {
            box->addAttributeRow(column->name(), column->fullTypeName(), false, false, false, false);
            box->setAttributeColumnId(box->attributeCount() - 1, column->id());
        }
        return box;
    }

    EntityItem *findBox(const QString &id) const
    {
        for (QGraphicsItem *item : scene.items()) {
            auto *box = qgraphicsitem_cast<EntityItem *>(item);
            if (box && box->id() == id)
                return box;
        }
        return nullptr;
    }

    static QStandardItemModel *itemModel(const QAbstractItemView *view)
    {
        return qobject_cast<QStandardItemModel *>(view->model());
    }

    QStandardItemModel *columns() const { return itemModel(ui.tableViewColumns); }

    static QString cell(const QAbstractItemView *view, int row, int column)
    {
        return view->model()->index(row, column).data().toString();
    }

    // Writes a cell as the combo-box editor or the line editor commits it.
    static bool edit(const QAbstractItemView *view, int row, int column, const QVariant &value,
                     int role = Qt::EditRole)
    {
        return view->model()->setData(view->model()->index(row, column), value, role);
    }

    static int currentRow(const QAbstractItemView *view)
    {
        return view->selectionModel()->currentIndex().row();
    }

    // Runs the deferred steps (refreshes, signals) and the deferred deletes.
    static void settle()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    QMainWindow window;
    Ui::MainWindow ui;
    ProjectItem project;
    ModelItem *model = nullptr;
    ERScene scene;
    ScriptedPrompts prompts;
    UiPrompts::Override promptsOverride{&prompts};
    std::unique_ptr<TableDetailsController> panel;
};
