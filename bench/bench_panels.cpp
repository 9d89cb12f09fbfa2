// Table details panel workloads.
#include "bench.h"

#include "columnitem.h"
#include "constraintitem.h"
#include "diagramitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "indexitem.h"
#include "mappingitem.h"
#include "modelitem.h"
#include "projectitem.h"
#include "relationshipitem.h"
#include "storeddiagramcolumns.h"
#include "tabledetailscontroller.h"
#include "tableitem.h"

#include "ui_MainWindow.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QGraphicsItem>
#include <QJsonArray>
#include <QJsonObject>
#include <QMainWindow>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int modelCount = 5;
constexpr int tablesPerModel = 400;
constexpr int columnsPerTable = 20;
constexpr int wideColumns = 300;
constexpr int storedDiagrams = 30;
constexpr int entitiesPerDiagram = 300;
constexpr int projectMappings = 1000;
constexpr int mappingsPerModel = 200;
constexpr int wideForeignKeys = 40;
constexpr int relationshipCount = 1000;

void addColumns(TableItem *table, int count)
{
    for (int c = 0; c < count; ++c) {
        ColumnItem *column = table->addColumn();
        column->setName(c == 0 ? u"id"_s : u"column_%1"_s.arg(c));
        column->setDataType(c == 0 ? u"BIGINT"_s : (c % 3 == 0 ? u"NUMERIC(12,2)"_s : u"VARCHAR(80)"_s));
        column->setComment(u"Column %1"_s.arg(c));
    }
}

QJsonObject storedBox(const TableItem *table)
{
    QJsonArray attributes;
    for (const ColumnItem *column : table->columns()) {
        attributes.append(QJsonObject{{"columnId"_L1, column->id()}, {"name"_L1, column->name()},
                                      {"type"_L1, column->fullTypeName()}, {"isPrimaryKey"_L1, false},
                                      {"isUniqueKey"_L1, false}, {"isForeignKey"_L1, false}});
    }
    return QJsonObject{{"id"_L1, table->id()}, {"title"_L1, table->name()}, {"x"_L1, 0.0}, {"y"_L1, 0.0},
                       {"width"_L1, 240.0}, {"height"_L1, 400.0}, {"attributes"_L1, attributes}};
}

// The project, the shown window with the form and the open diagram with the box of
// "wide" in model 1.
struct PanelBench
{
    PanelBench()
    {
        ui.setupUi(&window);
        window.resize(1400, 900);
        for (int m = 0; m < modelCount; ++m) {
            ModelItem *model = project.addModel();
            model->setName(u"Model %1"_s.arg(m + 1));
            model->setDialect(u"PostgreSQL"_s);
            for (int t = 0; t < tablesPerModel; ++t) {
                TableItem *table = model->addTable();
                table->setName(u"table_%1"_s.arg(t, 3, 10, QLatin1Char('0')));
                addColumns(table, columnsPerTable);
            }
            if (m == 0)
                model1 = model;
        }
        buildWide();
        buildStoredDiagrams();
        panel = std::make_unique<TableDetailsController>(&ui, nullptr);
        panel->setProject(&project);
        panel->setEntityLookup([this](const QString &id) -> EntityItem * {
            for (QGraphicsItem *item : scene.items()) {
                auto *entity = qgraphicsitem_cast<EntityItem *>(item);
                if (entity && entity->id() == id)
                    return entity;
            }
            return nullptr;
        });
        window.show();
        QCoreApplication::processEvents();
    }

    ~PanelBench() { panel.reset(); }

    void buildWide()
    {
        wide = model1->addTable();
        wide->setName(u"wide"_s);
        addColumns(wide, wideColumns);
        const QList<ColumnItem *> columns = wide->columns();
        for (int i = 0; i < 5; ++i) {
            ConstraintItem *constraint = wide->addConstraint();
            constraint->setName(u"uk_wide_%1"_s.arg(i));
            constraint->setType(i == 0 ? ConstraintType::PrimaryKey : ConstraintType::Unique);
            constraint->setColumns({columns.at(i * 10)->id(), columns.at(i * 10 + 1)->id()});
            IndexItem *index = wide->addIndex();
            index->setName(u"ix_wide_%1"_s.arg(i));
            index->setColumns({columns.at(i * 20 + 2)->id()});
        }
        box = new EntityItem(wide->name(), QSizeF(240, 400));
        box->storedId = wide->id();
        scene.addItem(box);
        for (const ColumnItem *column : columns) {
            box->addAttributeRow(column->name(), column->fullTypeName(), false, false, false, false);
            box->setAttributeColumnId(box->attributeCount() - 1, column->id());
        }
    }

    void buildStoredDiagrams()
    {
        const QList<TableItem *> tables = model1->tables();
        for (int d = 0; d < storedDiagrams; ++d) {
            QJsonArray entities;
            entities.append(storedBox(wide));
            for (int e = 1; e < entitiesPerDiagram; ++e)
                entities.append(storedBox(tables.at((d * 13 + e) % tables.size())));
            DiagramItem *diagram = model1->addDiagram();
            diagram->setName(u"Diagram %1"_s.arg(d + 1));
            diagram->setSceneJson(QJsonObject{{"version"_L1, u"1.0"_s}, {"type"_L1, u"er-diagram"_s},
                                              {"entities"_L1, entities}});
        }
    }

    // 1,000 mappings of the project and 200 in each model, between columns of model 1.
    void addMappings()
    {
        const QList<TableItem *> tables = model1->tables();
        auto link = [&](MappingItem *mapping, int i) {
            const TableItem *source = tables.at(i % tables.size());
            const TableItem *target = tables.at((i * 7 + 3) % tables.size());
            mapping->setSourceModelId(model1->id());
            mapping->setSourceTableId(source->id());
            mapping->setSourceColumnId(source->columns().at(i % columnsPerTable)->id());
            mapping->setTargetModelId(model1->id());
            mapping->setTargetTableId(target->id());
            mapping->setTargetColumnId(target->columns().at((i + 1) % columnsPerTable)->id());
        };
        int i = 0;
        for (; i < projectMappings; ++i)
            link(project.addMapping(), i);
        for (ModelItem *model : project.models()) {
            for (int m = 0; m < mappingsPerModel; ++m)
                link(model->addMapping(), i++);
        }
    }

    // Foreign keys of "wide", each owned by one of the model's relationships.
    void addForeignKeys()
    {
        const QList<TableItem *> tables = model1->tables();
        const QList<ColumnItem *> columns = wide->columns();
        for (int r = 0; r < relationshipCount; ++r) {
            RelationshipItem *relationship = model1->addRelationship();
            relationship->setName(u"rel_%1"_s.arg(r, 4, 10, QLatin1Char('0')));
            const TableItem *from = tables.at(r % tables.size());
            relationship->setFromTableId(from->id());
            if (r >= wideForeignKeys) {
                relationship->setToTableId(tables.at((r + 1) % tables.size())->id());
                continue;
            }
            ConstraintItem *key = wide->addConstraint();
            key->setName(u"fk_wide_%1"_s.arg(r));
            key->setType(ConstraintType::ForeignKey);
            key->setColumns({columns.at(100 + r)->id()});
            key->setReferencedTableId(from->id());
            key->setReferencedColumns({from->columns().at(0)->id()});
            relationship->setToTableId(wide->id());
            relationship->setConstraintId(key->id());
        }
    }

    QMainWindow window;
    Ui::MainWindow ui;
    ProjectItem project;
    ModelItem *model1 = nullptr;
    TableItem *wide = nullptr;
    ERScene scene;
    EntityItem *box = nullptr;
    std::unique_ptr<TableDetailsController> panel;
};

void detailsPanel()
{
    PanelBench bench;
    TableDetailsController &panel = *bench.panel;
    int refreshes = 0;
    QObject::connect(bench.ui.tableViewColumns->model(), &QAbstractItemModel::modelReset,
                     [&refreshes] { ++refreshes; });

    bench::reportMs(u"setTable of \"wide\" (300 columns)"_s, bench::medianMs([&] {
        panel.clear();
        bench.panel->setTable(bench.model1, bench.wide, bench.box);
    }));
    bench::reportMs(u"refresh of the same table"_s, bench::medianMs([&] { panel.refresh(); }));

    refreshes = 0;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 100; ++i)
        panel.scheduleRefresh();
    QCoreApplication::processEvents();
    const double coalesced = timer.nsecsElapsed() / 1e6;
    bench::report(u"100 scheduleRefresh: refreshes"_s, QString::number(refreshes));
    bench::reportMs(u"100 scheduleRefresh: time to idle"_s, coalesced);

    bench::reportMs(u"addColumn, box on the scene"_s, bench::medianMs([&] { panel.addColumn(); }));
    bench.scene.removeItem(bench.box);
    bench::reportMs(u"addColumn, box on no open diagram"_s, bench::medianMs([&] { panel.addColumn(); }));
    bench::reportMs(u"stored-diagram rewrite alone, nothing to change"_s, bench::medianMs([&] {
        spreadTableColumnsToStoredDiagrams(bench.model1, bench.wide, {bench.wide->columns().constLast()->id()}, QString());
    }));
    bench.scene.addItem(bench.box);

    bench.addMappings();
    bench.addForeignKeys();
    bench::reportMs(u"setTable of \"wide\", 2,000 mappings, 45 keys"_s, bench::medianMs([&] {
        panel.clear();
        panel.setTable(bench.model1, bench.wide, bench.box);
    }));
    bench::reportMs(u"key and foreign-key mark passes (1,000 relationships)"_s, bench::medianMs([&] {
        panel.syncKeyMarks();
        panel.syncForeignKeyMarks();
    }));
    const QAbstractItemModel *mappings = bench.ui.treeView->model();
    bench::reportMs(u"mappingOptions of a table cell (400 tables)"_s,
                    bench::medianMs([&] { panel.mappingOptions(mappings->index(0, 1)); }));
    bench::report(u"mappingOptions: names offered (table, column)"_s,
                  u"%1, %2"_s.arg(panel.mappingOptions(mappings->index(0, 1)).size())
                      .arg(panel.mappingOptions(mappings->index(0, 2)).size()));
    bench::reportMs(u"mappingOptions of a column cell"_s,
                    bench::medianMs([&] { panel.mappingOptions(mappings->index(0, 2)); }));
}

} // namespace

VELMORA_BENCH("details_panel",
              "table details panel: refresh, coalescing, column adds, key marks and mappings on a 300-column table",
              detailsPanel);
