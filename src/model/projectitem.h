#pragma once

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class DiagramItem;
class DocumentItem;
class MappingItem;
class ModelItem;

// The root of the metadata model: a named project owning its models and its project-level
// mappings and documents. Writes and reads the project file, whose "data" holds the tree
// and whose "diagrams" holds every diagram's stored document.
class ProjectItem : public QObject
{
    Q_OBJECT

public:
    explicit ProjectItem(QObject *parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString &id) { m_id = id; }
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    ModelItem *model(const QString &id) const;
    // The project-level mapping with that id, or null.
    MappingItem *mapping(const QString &id) const;
    // First model, in id order, whose name matches ignoring case.
    ModelItem *modelByName(const QString &name) const;
    // The diagram from the first model, in id order, that holds it.
    DiagramItem *findDiagram(const QString &id) const;

    void removeModel(const QString &id);
    void removeMapping(const QString &id);

    // Sorted by name (documents by file name).
    QList<ModelItem *> models() const;
    QList<MappingItem *> mappings() const;
    QList<DocumentItem *> documents() const;

    ModelItem *addModel();
    MappingItem *addMapping();
    DocumentItem *addDocument();

    QJsonObject toJson() const;
    // Replaces the whole content; the old children are destroyed at once. Items left out
    // (a repeated id, ...) are told in dropped, one sentence each, when it is given.
    void fromJson(const QJsonObject &json, QStringList *dropped = nullptr);

    // The project file object. Saving the same project twice gives the same bytes.
    QJsonObject toDocument() const;
    static bool isProjectDocument(const QJsonObject &document);
    // False (nothing changed) when the object is no project document; otherwise replaces
    // the project and hands each stored diagram document to its diagram. Whatever the
    // lenient reading left out is told in dropped, one short sentence each; it is left
    // empty when nothing was.
    bool loadProjectDocument(const QJsonObject &document, QStringList *dropped = nullptr);

private:
    QList<ModelItem *> modelsInIdOrder() const;
    // Hands each stored diagram document to its diagram.
    void readStoredDiagrams(const QJsonObject &document, QStringList &dropped);

    QString m_id;
    QString m_name;
    QHash<QString, ModelItem *> m_models;
    QHash<QString, MappingItem *> m_mappings;
    QHash<QString, DocumentItem *> m_documents;
};
