// make_app_fixtures: writes the project and diagram files under tests/app/data with the
// application's own writers (the scene's diagram document, the project document and its
// indented text). Run by hand when the fixtures must change:
//     build/bin/make_app_fixtures tests/app/data
#include "columnitem.h"
#include "constraintitem.h"
#include "diagramitem.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "groupitem.h"
#include "jsontext.h"
#include "modelitem.h"
#include "projectitem.h"
#include "relationshipitem.h"
#include "tableitem.h"
#include "textitem.h"
#include "viewitem.h"

#include <QApplication>
#include <QDir>
#include <QSaveFile>
#include <QTextStream>

#include <memory>

namespace {

struct Row
{
    QString name;
    QString type;
    bool primaryKey = false;
};

struct Link
{
    QString from;
    QString to;
    int startCard = 0;
    int endCard = 3;
};

// One diagram drawn on a scene of its own; its boxes register their tables, views and
// relationships in the model; a table an earlier diagram registered keeps its id.
class DiagramBuilder
{
public:
    DiagramBuilder(ModelItem *model, const QString &dialect)
        : m_model(model)
    {
        m_scene.dialect = dialect;
    }

    void table(const QString &name, const QList<Row> &rows, QPointF pos)
    {
        EntityItem *box = addBox(name, pos, EntityKind::Table);
        for (const Row &row : rows)
            box->addAttributeRow(row.name, row.type, row.primaryKey, false, false, false);
    }

    void view(const QString &name, QPointF pos) { addBox(name, pos, EntityKind::View); }

    void link(const Link &link)
    {
        EdgeItem *edge = m_scene.createEdge(m_boxes.value(link.from), m_boxes.value(link.to), true);
        edge->startCard = link.startCard;
        edge->endCard = link.endCard;
    }

    void note(const QString &text, QPointF pos)
    {
        auto *item = new TextItem(text);
        item->setPos(pos);
        m_scene.addItem(item);
    }

    void group(const QString &title, const QRectF &rect)
    {
        auto *item = new GroupItem(title, rect.size());
        item->setPos(rect.topLeft());
        m_scene.addItem(item);
    }

    // Registers the scene's boxes and edges in the model and stores the scene's document.
    void finish(const QString &diagramName)
    {
        for (EntityItem *box : std::as_const(m_boxes))
            registerBox(box);
        const QList<QGraphicsItem *> all = m_scene.items();
        for (QGraphicsItem *item : all) {
            if (auto *edge = qgraphicsitem_cast<EdgeItem *>(item))
                registerEdge(edge);
        }
        DiagramItem *diagram = m_model->addDiagram();
        diagram->setName(diagramName);
        diagram->setSceneJson(m_scene.toJson());
    }

    QJsonObject document() const { return m_scene.toJson(); }

private:
    EntityItem *addBox(const QString &name, QPointF pos, EntityKind kind)
    {
        auto *box = new EntityItem(name, QSizeF(160, 80));
        box->setKind(kind);
        box->storedId = existingId(name, kind);
        m_scene.addItem(box);
        box->setPos(pos);
        m_boxes.insert(name, box);
        return box;
    }

    QString existingId(const QString &name, EntityKind kind) const
    {
        if (kind == EntityKind::View) {
            for (ViewItem *view : m_model->views()) {
                if (view->name() == name)
                    return view->id();
            }
            return QString();
        }
        for (TableItem *table : m_model->tables()) {
            if (table->name() == name)
                return table->id();
        }
        return QString();
    }

    void registerBox(EntityItem *box)
    {
        if (box->isView()) {
            ViewItem *view = m_model->ensureView(box->id());
            view->setName(box->title());
            return;
        }
        TableItem *table = m_model->ensureTable(box->id());
        table->setName(box->title());
        QStringList keyColumns;
        for (int row = 0; row < box->attributeCount(); ++row) {
            const EntityItem::Attribute &a = box->attributes.at(row);
            ColumnItem *column = table->columnByName(a.name);
            if (!column) {
                column = table->addColumn();
                column->setName(a.name);
                column->setDataType(a.type);
                column->setNullable(!a.isPrimaryKey);
            }
            box->setAttributeColumnId(row, column->id());
            if (a.isPrimaryKey)
                keyColumns.append(column->id());
        }
        if (!keyColumns.isEmpty() && !table->constraintOfType(ConstraintType::PrimaryKey)) {
            ConstraintItem *pk = table->addConstraint();
            pk->setType(ConstraintType::PrimaryKey);
            pk->setName(QStringLiteral("pk_") + table->name());
            pk->setColumns(keyColumns);
        }
    }

    void registerEdge(EdgeItem *edge)
    {
        RelationshipItem *rel = m_model->ensureRelationship(edge->id);
        rel->setName(edge->from->title() + QLatin1Char('_') + edge->to->title());
        rel->setFromTableId(edge->from->id());
        rel->setToTableId(edge->to->id());
        TableItem *child = m_model->table(edge->to->id());
        if (edge->isEntityViewEdge() || !child || !rel->constraintId().isEmpty())
            return;
        QStringList columns;
        for (const EntityItem::Attribute &a : edge->to->attributes) {
            if (a.fkEdgeId == edge->id && !a.columnId.isEmpty())
                columns.append(a.columnId);
        }
        ConstraintItem *fk = child->addConstraint();
        fk->setType(ConstraintType::ForeignKey);
        fk->setName(QStringLiteral("fk_") + rel->name());
        fk->setColumns(columns);
        fk->setReferencedTableId(edge->from->id());
        if (TableItem *parent = m_model->table(edge->from->id())) {
            if (ConstraintItem *pk = parent->constraintOfType(ConstraintType::PrimaryKey))
                fk->setReferencedColumns(pk->columns());
        }
        rel->setConstraintId(fk->id());
    }

    ModelItem *m_model;
    ERScene m_scene;
    QHash<QString, EntityItem *> m_boxes;
};

const QList<Row> customerRows{{"customer_id", "BIGINT", true}, {"name", "VARCHAR(120)"}, {"email", "VARCHAR(200)"}};
const QList<Row> addressRows{{"address_id", "BIGINT", true}, {"street", "VARCHAR(200)"}, {"city", "VARCHAR(80)"}};
const QList<Row> orderRows{{"order_id", "BIGINT", true}, {"ordered_at", "TIMESTAMP"}, {"total", "NUMERIC(12,2)"}};
const QList<Row> orderLineRows{{"line_id", "BIGINT", true}, {"quantity", "INTEGER"}};
const QList<Row> productRows{{"product_id", "BIGINT", true}, {"title", "VARCHAR(120)"}, {"price", "NUMERIC(10,2)"}};
const QList<Row> loyaltyRows{{"card_id", "BIGINT", true}, {"points", "INTEGER"}};

// "Sales" (PostgreSQL): "Customers" shows tables, a view, relationships with every
// cardinality at their ends, a note and a group; "Orders" shows the order tables again.
void addSalesModel(ProjectItem &project)
{
    ModelItem *model = project.addModel();
    model->setName(QStringLiteral("Sales"));
    model->setDialect(QStringLiteral("PostgreSQL"));

    DiagramBuilder customers(model, model->dialect());
    customers.group(QStringLiteral("Customer data"), QRectF(-40, -60, 520, 520));
    customers.table(QStringLiteral("customer"), customerRows, QPointF(0, 0));
    customers.table(QStringLiteral("address"), addressRows, QPointF(0, 260));
    customers.table(QStringLiteral("loyalty_card"), loyaltyRows, QPointF(280, 260));
    customers.table(QStringLiteral("order"), orderRows, QPointF(600, 0));
    customers.view(QStringLiteral("customer_orders"), QPointF(600, 300));
    customers.link({QStringLiteral("customer"), QStringLiteral("address"), 0, 3});
    customers.link({QStringLiteral("customer"), QStringLiteral("loyalty_card"), 0, 2});
    customers.link({QStringLiteral("customer"), QStringLiteral("order"), 2, 1});
    customers.link({QStringLiteral("order"), QStringLiteral("customer_orders"), 1, 1});
    customers.note(QStringLiteral("Every order belongs to one customer"), QPointF(560, -80));
    customers.finish(QStringLiteral("Customers"));

    DiagramBuilder orders(model, model->dialect());
    orders.table(QStringLiteral("order"), orderRows, QPointF(0, 0));
    orders.table(QStringLiteral("order_line"), orderLineRows, QPointF(300, 0));
    orders.table(QStringLiteral("product"), productRows, QPointF(600, 0));
    orders.link({QStringLiteral("order"), QStringLiteral("order_line"), 0, 1});
    orders.link({QStringLiteral("product"), QStringLiteral("order_line"), 0, 3});
    orders.finish(QStringLiteral("Orders"));
}

void addWarehouseModel(ProjectItem &project)
{
    ModelItem *model = project.addModel();
    model->setName(QStringLiteral("Warehouse"));
    model->setDialect(QStringLiteral("MySQL"));
    DiagramBuilder stock(model, model->dialect());
    stock.table(QStringLiteral("warehouse"), {{"warehouse_id", "INT", true}, {"name", "VARCHAR(80)"}}, QPointF(0, 0));
    stock.table(QStringLiteral("stock_item"), {{"item_id", "INT", true}, {"quantity", "INT"}}, QPointF(320, 0));
    stock.link({QStringLiteral("warehouse"), QStringLiteral("stock_item"), 0, 3});
    stock.finish(QStringLiteral("Stock"));
}

std::unique_ptr<ProjectItem> sampleProject()
{
    auto project = std::make_unique<ProjectItem>();
    project->setName(QStringLiteral("Sample Shop"));
    addSalesModel(*project);
    addWarehouseModel(*project);
    return project;
}

ModelItem *modelNamed(const ProjectItem &project, const QString &name)
{
    return project.modelByName(name);
}

bool write(const QDir &dir, const QString &name, const QJsonObject &document)
{
    QSaveFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(indentedJsonText(document)) < 0 || !file.commit()) {
        QTextStream(stderr) << "make_app_fixtures: cannot write " << file.fileName() << ": "
                            << file.errorString() << "\n";
        return false;
    }
    QTextStream(stdout) << file.fileName() << "\n";
    return true;
}

QJsonObject bareDiagram(bool withDialect)
{
    ProjectItem scratch;
    ModelItem *model = scratch.addModel();
    DiagramBuilder builder(model, QStringLiteral("MySQL"));
    builder.table(QStringLiteral("author"), {{"author_id", "INT", true}, {"name", "VARCHAR(80)"}}, QPointF(0, 0));
    builder.table(QStringLiteral("book"), {{"book_id", "INT", true}, {"title", "VARCHAR(200)"}}, QPointF(320, 0));
    builder.link({QStringLiteral("author"), QStringLiteral("book"), 0, 3});
    QJsonObject document = builder.document();
    if (!withDialect)
        document.remove(QStringLiteral("dialect"));
    return document;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        QTextStream(stderr) << "usage: make_app_fixtures <directory>\n";
        return 2;
    }
    const QDir dir(app.arguments().at(1));

    bool ok = write(dir, QStringLiteral("sample-project.json"), sampleProject()->toDocument());

    // The first model by name ("Archive") has a table but no diagram.
    std::unique_ptr<ProjectItem> withoutDiagram = sampleProject();
    ModelItem *archive = withoutDiagram->addModel();
    archive->setName(QStringLiteral("Archive"));
    archive->setDialect(QStringLiteral("SQLite"));
    archive->addTable()->setName(QStringLiteral("old_order"));
    ok = write(dir, QStringLiteral("project-first-model-without-diagram.json"), withoutDiagram->toDocument()) && ok;

    // "Customers" claims to belong to "Warehouse".
    std::unique_ptr<ProjectItem> wrongModel = sampleProject();
    ModelItem *sales = modelNamed(*wrongModel, QStringLiteral("Sales"));
    sales->diagrams().first()->setModelId(modelNamed(*wrongModel, QStringLiteral("Warehouse"))->id());
    ok = write(dir, QStringLiteral("project-diagram-wrong-model-id.json"), wrongModel->toDocument()) && ok;

    ok = write(dir, QStringLiteral("diagram-with-dialect.json"), bareDiagram(true)) && ok;
    ok = write(dir, QStringLiteral("diagram-without-dialect.json"), bareDiagram(false)) && ok;
    return ok ? 0 : 1;
}
