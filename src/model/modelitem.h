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
class RelationshipItem;
class SequenceItem;
class TableItem;
class ViewItem;

// One model of a project: name, dialect, description and seven id-keyed collections of
// the items it owns. Lists handed out are sorted by name; JSON arrays by id.
class ModelItem : public QObject
{
    Q_OBJECT

public:
    explicit ModelItem(QObject *parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString &id) { m_id = id; }
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    // A dialect display name, stored as given; the dialect catalogue normalises it.
    QString dialect() const { return m_dialect; }
    void setDialect(const QString &dialect) { m_dialect = dialect; }
    QString description() const { return m_description; }
    void setDescription(const QString &description) { m_description = description; }

    // Find by id (null when absent), remove by id (deleted later), sorted by name,
    // get-or-create under exactly the given id, and add with a fresh id.
    TableItem *table(const QString &id) const;
    void removeTable(const QString &id);
    QList<TableItem *> tables() const;
    TableItem *ensureTable(const QString &id);
    TableItem *addTable();
    // The first table, in name order, whose name matches ignoring case; null for none.
    TableItem *tableByName(const QString &name) const;

    ViewItem *view(const QString &id) const;
    void removeView(const QString &id);
    QList<ViewItem *> views() const;
    ViewItem *ensureView(const QString &id);
    ViewItem *addView();

    RelationshipItem *relationship(const QString &id) const;
    void removeRelationship(const QString &id);
    QList<RelationshipItem *> relationships() const;
    RelationshipItem *ensureRelationship(const QString &id);
    RelationshipItem *addRelationship();

    SequenceItem *sequence(const QString &id) const;
    void removeSequence(const QString &id);
    QList<SequenceItem *> sequences() const;
    SequenceItem *addSequence();

    DiagramItem *diagram(const QString &id) const;
    void removeDiagram(const QString &id);
    QList<DiagramItem *> diagrams() const;
    // A created diagram also gets this model's id as its model id.
    DiagramItem *ensureDiagram(const QString &id);
    DiagramItem *addDiagram();

    MappingItem *mapping(const QString &id) const;
    void removeMapping(const QString &id);
    QList<MappingItem *> mappings() const;
    MappingItem *addMapping();

    DocumentItem *document(const QString &id) const;
    void removeDocument(const QString &id);
    // Sorted by file name.
    QList<DocumentItem *> documents() const;
    DocumentItem *addDocument();

    QJsonObject toJson() const;
    // Replaces the whole content; the old children are destroyed at once. Items left out
    // (a repeated id, ...) are told in dropped, one sentence each, when it is given.
    void fromJson(const QJsonObject &json, QStringList *dropped = nullptr);

private:
    QString m_id;
    QString m_name;
    QString m_dialect;
    QString m_description;
    QHash<QString, TableItem *> m_tables;
    QHash<QString, ViewItem *> m_views;
    QHash<QString, RelationshipItem *> m_relationships;
    QHash<QString, SequenceItem *> m_sequences;
    QHash<QString, DiagramItem *> m_diagrams;
    QHash<QString, MappingItem *> m_mappings;
    QHash<QString, DocumentItem *> m_documents;
};

// "2 tables and 1 diagram": what a model left out while reading took with it.
QString heldContents(const ModelItem &model);
