#include "modelitem.h"

#include "diagramitem.h"
#include "documentitem.h"
#include "mappingitem.h"
#include "modeljson.h"
#include "relationshipitem.h"
#include "sequenceitem.h"
#include "tableitem.h"
#include "viewitem.h"

using namespace Qt::StringLiterals;

namespace {

template<typename Item>
Item *ensureItem(QObject *parent, QHash<QString, Item *> &items, const QString &id)
{
    Item *&slot = items[id];
    if (!slot) {
        slot = new Item(parent);
        slot->setId(id);
    }
    return slot;
}

template<typename Item>
Item *addItem(QObject *parent, QHash<QString, Item *> &items)
{
    auto *item = new Item(parent);
    items.insert(item->id(), item);
    return item;
}

constexpr const char readOperation[] = "ModelItem::fromJson";

} // namespace

ModelItem::ModelItem(QObject *parent)
    : QObject(parent)
    , m_id(newItemId())
{
}

TableItem *ModelItem::table(const QString &id) const { return m_tables.value(id); }
void ModelItem::removeTable(const QString &id) { removeFromCollection(m_tables, id); }
QList<TableItem *> ModelItem::tables() const { return sortedByName(m_tables); }
TableItem *ModelItem::ensureTable(const QString &id) { return ensureItem(this, m_tables, id); }
TableItem *ModelItem::addTable() { return ensureTable(newItemId()); }

TableItem *ModelItem::tableByName(const QString &name) const
{
    // The first match of tables() without sorting every table: names rarely repeat.
    TableItem *first = nullptr;
    if (name.isEmpty())
        return first;
    for (auto it = m_tables.cbegin(); it != m_tables.cend(); ++it) {
        TableItem *table = it.value();
        if (!table || table->name().compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (!first) {
            first = table;
            continue;
        }
        const int byName = QString::localeAwareCompare(table->name(), first->name());
        if (byName < 0 || (byName == 0 && it.key() < first->id()))
            first = table;
    }
    return first;
}

ViewItem *ModelItem::view(const QString &id) const { return m_views.value(id); }
void ModelItem::removeView(const QString &id) { removeFromCollection(m_views, id); }
QList<ViewItem *> ModelItem::views() const { return sortedByName(m_views); }
ViewItem *ModelItem::ensureView(const QString &id) { return ensureItem(this, m_views, id); }
ViewItem *ModelItem::addView() { return ensureView(newItemId()); }

RelationshipItem *ModelItem::relationship(const QString &id) const
{
    return m_relationships.value(id);
}
void ModelItem::removeRelationship(const QString &id) { removeFromCollection(m_relationships, id); }
QList<RelationshipItem *> ModelItem::relationships() const { return sortedByName(m_relationships); }
RelationshipItem *ModelItem::ensureRelationship(const QString &id)
{
    return ensureItem(this, m_relationships, id);
}
RelationshipItem *ModelItem::addRelationship() { return ensureRelationship(newItemId()); }

SequenceItem *ModelItem::sequence(const QString &id) const { return m_sequences.value(id); }
void ModelItem::removeSequence(const QString &id) { removeFromCollection(m_sequences, id); }
QList<SequenceItem *> ModelItem::sequences() const { return sortedByName(m_sequences); }
SequenceItem *ModelItem::addSequence() { return addItem(this, m_sequences); }

DiagramItem *ModelItem::diagram(const QString &id) const { return m_diagrams.value(id); }
void ModelItem::removeDiagram(const QString &id) { removeFromCollection(m_diagrams, id); }
QList<DiagramItem *> ModelItem::diagrams() const { return sortedByName(m_diagrams); }
DiagramItem *ModelItem::ensureDiagram(const QString &id)
{
    DiagramItem *&slot = m_diagrams[id];
    if (!slot) {
        slot = new DiagramItem(this);
        slot->setId(id);
        slot->setModelId(m_id);
    }
    return slot;
}
DiagramItem *ModelItem::addDiagram() { return ensureDiagram(newItemId()); }

MappingItem *ModelItem::mapping(const QString &id) const { return m_mappings.value(id); }
void ModelItem::removeMapping(const QString &id) { removeFromCollection(m_mappings, id); }
QList<MappingItem *> ModelItem::mappings() const { return sortedByName(m_mappings); }
MappingItem *ModelItem::addMapping() { return addItem(this, m_mappings); }

DocumentItem *ModelItem::document(const QString &id) const { return m_documents.value(id); }
void ModelItem::removeDocument(const QString &id) { removeFromCollection(m_documents, id); }
QList<DocumentItem *> ModelItem::documents() const { return sortedByName(m_documents); }
DocumentItem *ModelItem::addDocument() { return addItem(this, m_documents); }

QJsonObject ModelItem::toJson() const
{
    static const JsonShape shape({"description"_L1, "diagrams"_L1, "dialect"_L1, "documents"_L1,
                                  "id"_L1, "mappings"_L1, "name"_L1, "relationships"_L1,
                                  "sequences"_L1, "tables"_L1, "views"_L1});
    return shape.make({
        {"id"_L1, m_id},
        {"name"_L1, m_name},
        {"dialect"_L1, m_dialect},
        {"description"_L1, m_description},
        {"tables"_L1, hashToSortedJsonArray(m_tables)},
        {"views"_L1, hashToSortedJsonArray(m_views)},
        {"relationships"_L1, hashToSortedJsonArray(m_relationships)},
        {"sequences"_L1, hashToSortedJsonArray(m_sequences)},
        {"diagrams"_L1, hashToSortedJsonArray(m_diagrams)},
        {"mappings"_L1, hashToSortedJsonArray(m_mappings)},
        {"documents"_L1, hashToSortedJsonArray(m_documents)},
    });
}

void ModelItem::fromJson(const QJsonObject &json, QStringList *dropped)
{
    readJsonId(json, m_id);
    m_name = jsonString(json, "name"_L1);
    m_dialect = jsonString(json, "dialect"_L1);
    m_description = jsonString(json, "description"_L1);

    const CollectionReading reading{readOperation, dropped,
                                    m_name.isEmpty() ? u"the model with id \"%1\""_s.arg(m_id)
                                                     : u"model \"%1\""_s.arg(m_name)};
    destroyCollection(m_tables);
    readCollection(this, json, "tables"_L1, m_tables, reading);
    destroyCollection(m_views);
    readCollection(this, json, "views"_L1, m_views, reading);
    destroyCollection(m_relationships);
    readCollection(this, json, "relationships"_L1, m_relationships, reading);
    destroyCollection(m_sequences);
    readCollection(this, json, "sequences"_L1, m_sequences, reading);
    destroyCollection(m_diagrams);
    readCollection(this, json, "diagrams"_L1, m_diagrams, reading);
    destroyCollection(m_mappings);
    readCollection(this, json, "mappings"_L1, m_mappings, reading);
    destroyCollection(m_documents);
    readCollection(this, json, "documents"_L1, m_documents, reading);

    for (DiagramItem *diagram : std::as_const(m_diagrams)) {
        if (diagram && diagram->modelId().isEmpty())
            diagram->setModelId(m_id);
    }
}

QString heldContents(const ModelItem &model)
{
    return contentCountsPhrase({{model.tables().size(), "table", "tables"},
                                {model.views().size(), "view", "views"},
                                {model.relationships().size(), "relationship", "relationships"},
                                {model.sequences().size(), "sequence", "sequences"},
                                {model.diagrams().size(), "diagram", "diagrams"},
                                {model.mappings().size(), "mapping", "mappings"},
                                {model.documents().size(), "document", "documents"}});
}
