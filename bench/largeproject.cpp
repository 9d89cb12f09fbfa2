#include "largeproject.h"

#include "columnitem.h"
#include "constraintitem.h"
#include "diagramitem.h"
#include "indexitem.h"
#include "modelitem.h"
#include "projectitem.h"
#include "relationshipitem.h"
#include "tableitem.h"

#include <QJsonArray>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace bench {

namespace {

constexpr int tableCount = 2000;
constexpr int columnsPerTable = 30;
constexpr int relationshipCount = 1000;
constexpr int diagramCount = 20;
constexpr int entitiesPerDiagram = 100;
constexpr int edgesPerDiagram = 100;

// A stored diagram document of the size the scene writes for a busy diagram.
QJsonObject storedDiagram(int diagram, const QList<TableItem *> &tables)
{
    QJsonArray entities;
    for (int e = 0; e < entitiesPerDiagram; ++e) {
        const TableItem *table = tables.at((diagram * entitiesPerDiagram + e) % tables.size());
        QJsonArray attributes;
        for (const ColumnItem *column : table->columns()) {
            attributes.append(QJsonObject{
                {"name"_L1, column->name()},
                {"type"_L1, column->fullTypeName()},
                {"isPrimaryKey"_L1, attributes.isEmpty()},
                {"isForeignKey"_L1, false},
                {"isUniqueKey"_L1, false},
                {"columnId"_L1, column->id()},
            });
        }
        entities.append(QJsonObject{
            {"id"_L1, table->id()},
            {"title"_L1, table->name()},
            {"perspective"_L1, u"full"_s},
            {"x"_L1, (e % 10) * 320.0},
            {"y"_L1, (e / 10) * 640.0},
            {"width"_L1, 240.0},
            {"height"_L1, 600.0},
            {"bodyLight"_L1, u"#ffffffff"_s},
            {"bodyDark"_L1, u"#ff2b2b2b"_s},
            {"attributes"_L1, attributes},
        });
    }
    QJsonArray edges;
    for (int e = 0; e < edgesPerDiagram; ++e) {
        const QJsonObject from = entities.at(e).toObject();
        const QJsonObject to = entities.at((e + 1) % entities.size()).toObject();
        edges.append(QJsonObject{
            {"id"_L1, u"edge-%1-%2"_s.arg(diagram).arg(e)},
            {"from"_L1, from.value("id"_L1)},
            {"to"_L1, to.value("id"_L1)},
            {"fromCardinality"_L1, 0},
            {"toCardinality"_L1, 3},
            {"points"_L1, QJsonArray{QJsonArray{10.0, 20.0}, QJsonArray{10.0, 80.0}, QJsonArray{90.0, 80.0}}},
        });
    }
    return QJsonObject{
        {"version"_L1, u"1.0"_s},
        {"type"_L1, u"er-diagram"_s},
        {"dialect"_L1, u"PostgreSQL"_s},
        {"entities"_L1, entities},
        {"edges"_L1, edges},
        {"annotations"_L1, QJsonArray()},
    };
}

} // namespace

void buildLargeProject(ProjectItem &project)
{
    ModelItem *model = project.addModel();
    model->setName(u"Enterprise"_s);
    model->setDialect(u"PostgreSQL"_s);

    QList<TableItem *> tables;
    tables.reserve(tableCount);
    for (int t = 0; t < tableCount; ++t) {
        TableItem *table = model->addTable();
        table->setName(u"table_%1"_s.arg(t, 4, 10, QLatin1Char('0')));
        table->setSchema(u"public"_s);
        table->setProperty(u"tablespace"_s, u"fast"_s);
        for (int c = 0; c < columnsPerTable; ++c) {
            ColumnItem *column = table->addColumn();
            column->setName(c == 0 ? u"id"_s : u"column_%1"_s.arg(c));
            column->setDataType(c == 0 ? u"BIGINT"_s : (c % 3 == 0 ? u"NUMERIC(12,2)"_s : u"VARCHAR(80)"_s));
            column->setNullable(c != 0);
        }
        tables.append(table);
    }
    const auto columnId = [&](int table, int column) {
        return tables.at(table % tableCount)->columns().at(column)->id();
    };
    for (int t = 0; t < tableCount; ++t) {
        TableItem *table = tables.at(t);
        ConstraintItem *pk = table->addConstraint();
        pk->setName(u"pk_%1"_s.arg(table->name()));
        pk->setType(ConstraintType::PrimaryKey);
        pk->setColumns({columnId(t, 0)});
        for (int f = 1; f <= 2; ++f) {
            const int target = (t + f * 7) % tableCount;
            ConstraintItem *fk = table->addConstraint();
            fk->setName(u"fk_%1_%2"_s.arg(t).arg(f));
            fk->setType(ConstraintType::ForeignKey);
            fk->setColumns({columnId(t, f)});
            fk->setReferencedTableId(tables.at(target)->id());
            fk->setReferencedColumns({columnId(target, 0)});
        }
        for (int i = 0; i < 2; ++i) {
            IndexItem *index = table->addIndex();
            index->setName(u"ix_%1_%2"_s.arg(t).arg(i));
            index->setColumns({columnId(t, 3 + 2 * i), columnId(t, 4 + 2 * i)});
        }
    }
    for (int r = 0; r < relationshipCount; ++r) {
        TableItem *to = tables.at(r);
        RelationshipItem *relationship = model->addRelationship();
        relationship->setFromTableId(tables.at((r + 7) % tableCount)->id());
        relationship->setToTableId(to->id());
        relationship->setConstraintId(to->constraints().at(1)->id());
    }
    for (int d = 0; d < diagramCount; ++d) {
        DiagramItem *diagram = model->addDiagram();
        diagram->setName(u"Diagram %1"_s.arg(d + 1));
        diagram->setSceneJson(storedDiagram(d, tables));
    }
}

} // namespace bench
