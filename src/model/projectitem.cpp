#include "projectitem.h"

#include "diagramitem.h"
#include "documentitem.h"
#include "mappingitem.h"
#include "modelitem.h"
#include "modeljson.h"

#include <QDebug>
#include <QJsonArray>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

constexpr const char readOperation[] = "ProjectItem::fromJson";

template<typename Item>
Item *addItem(QObject *parent, QHash<QString, Item *> &items)
{
    auto *item = new Item(parent);
    items.insert(item->id(), item);
    return item;
}

DiagramItem *findDiagramIn(const QList<ModelItem *> &models, const QString &id)
{
    for (const ModelItem *model : models) {
        if (DiagramItem *diagram = model->diagram(id))
            return diagram;
    }
    return nullptr;
}

} // namespace

ProjectItem::ProjectItem(QObject *parent)
    : QObject(parent)
    , m_id(newItemId())
    , m_name(u"Untitled Project"_s)
{
}

QList<ModelItem *> ProjectItem::modelsInIdOrder() const
{
    QList<ModelItem *> ordered;
    const QStringList ids = sortedIds(m_models.keys());
    ordered.reserve(ids.size());
    for (const QString &id : ids) {
        if (ModelItem *model = m_models.value(id))
            ordered.append(model);
    }
    return ordered;
}

ModelItem *ProjectItem::model(const QString &id) const
{
    return m_models.value(id);
}

MappingItem *ProjectItem::mapping(const QString &id) const
{
    return m_mappings.value(id);
}

ModelItem *ProjectItem::modelByName(const QString &name) const
{
    for (ModelItem *model : modelsInIdOrder()) {
        if (model->name().compare(name, Qt::CaseInsensitive) == 0)
            return model;
    }
    return nullptr;
}

DiagramItem *ProjectItem::findDiagram(const QString &id) const
{
    return findDiagramIn(modelsInIdOrder(), id);
}

void ProjectItem::removeModel(const QString &id)
{
    removeFromCollection(m_models, id);
}

void ProjectItem::removeMapping(const QString &id)
{
    removeFromCollection(m_mappings, id);
}

QList<ModelItem *> ProjectItem::models() const
{
    return sortedByName(m_models);
}

QList<MappingItem *> ProjectItem::mappings() const
{
    return sortedByName(m_mappings);
}

QList<DocumentItem *> ProjectItem::documents() const
{
    return sortedByName(m_documents);
}

ModelItem *ProjectItem::addModel()
{
    return addItem(this, m_models);
}

MappingItem *ProjectItem::addMapping()
{
    return addItem(this, m_mappings);
}

DocumentItem *ProjectItem::addDocument()
{
    return addItem(this, m_documents);
}

QJsonObject ProjectItem::toJson() const
{
    static const JsonShape shape({"documents"_L1, "id"_L1, "mappings"_L1, "models"_L1, "name"_L1});
    return shape.make({
        {"id"_L1, m_id},
        {"name"_L1, m_name},
        {"models"_L1, hashToSortedJsonArray(m_models)},
        {"mappings"_L1, hashToSortedJsonArray(m_mappings)},
        {"documents"_L1, hashToSortedJsonArray(m_documents)},
    });
}

void ProjectItem::fromJson(const QJsonObject &json, QStringList *dropped)
{
    destroyCollection(m_models);
    destroyCollection(m_mappings);
    destroyCollection(m_documents);

    readJsonId(json, m_id);
    const QJsonValue name = json.value("name"_L1);
    if (name.isString())
        m_name = name.toString();

    const CollectionReading reading{readOperation, dropped, u"the project"_s};
    readCollection(this, json, "models"_L1, m_models, reading);
    readCollection(this, json, "mappings"_L1, m_mappings, reading);
    readCollection(this, json, "documents"_L1, m_documents, reading);
}

QJsonObject ProjectItem::toDocument() const
{
    // Models in id order and diagrams by name (ties by id), so that the same project
    // always writes the same bytes.
    QJsonArray diagrams;
    for (const ModelItem *model : modelsInIdOrder()) {
        for (const DiagramItem *diagram : model->diagrams()) {
            if (!diagram)
                continue;
            QJsonObject stored = diagram->sceneJson();
            stored.insert("id"_L1, diagram->id());
            diagrams.append(stored);
        }
    }
    static const JsonShape shape({"data"_L1, "diagrams"_L1, "type"_L1, "version"_L1});
    return shape.make({
        {"version"_L1, u"2.0"_s},
        {"type"_L1, u"corva-project"_s},
        {"data"_L1, toJson()},
        {"diagrams"_L1, diagrams},
    });
}

bool ProjectItem::isProjectDocument(const QJsonObject &document)
{
    const QJsonValue type = document.value("type"_L1);
    return type.isString() && type.toString() == "corva-project"_L1
           && document.contains("data"_L1);
}

bool ProjectItem::loadProjectDocument(const QJsonObject &document, QStringList *dropped)
{
    if (!isProjectDocument(document))
        return false;

    QStringList left;
    const QJsonValue data = document.value("data"_L1);
    if (!data.isObject()) {
        qWarning("loadProjectDocument: \"data\" is not an object; the project is empty");
        left.append(u"\"data\" is not an object; the project is empty."_s);
    }
    fromJson(data.toObject(), &left);
    readStoredDiagrams(document, left);
    if (dropped)
        *dropped = left;
    return true;
}

void ProjectItem::readStoredDiagrams(const QJsonObject &document, QStringList &dropped)
{
    const QJsonValue diagrams = document.value("diagrams"_L1);
    if (!diagrams.isUndefined() && !diagrams.isArray())
        dropped.append(u"\"diagrams\" is not a list; no stored diagram was read from it."_s);

    // A stored document whose diagram is in no model goes to the first model in id order.
    const QList<ModelItem *> ordered = modelsInIdOrder();
    QSet<QString> stored;
    for (const QJsonValue &element : diagrams.toArray()) {
        QJsonObject content = element.toObject();
        const QString id = jsonString(content, "id"_L1);
        if (id.isEmpty()) {
            dropped.append(u"A stored diagram without an id was left out."_s);
            continue;
        }
        DiagramItem *diagram = findDiagramIn(ordered, id);
        if (!diagram) {
            if (ordered.isEmpty()) {
                dropped.append(u"The stored diagram \"%1\" was left out: the project has no model to hold it."_s.arg(id));
                continue;
            }
            diagram = ordered.first()->ensureDiagram(id);
            const QJsonValue name = content.value("name"_L1);
            diagram->setName(name.isString() ? name.toString() : u"Diagram"_s);
        }
        if (stored.contains(id))
            dropped.append(u"The stored diagram \"%1\" appears more than once; only the last one was kept."_s.arg(id));
        stored.insert(id);
        content.remove("id"_L1);
        diagram->setSceneJson(content);
    }
}
