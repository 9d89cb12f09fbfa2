#pragma once

#include <QJsonObject>
#include <QSet>
#include <QString>

class ModelItem;

// Edits of the stored documents of a model's diagrams (those not open on the canvas) when
// tables, views, relationships or columns change. Walks go over the diagrams in name order
// and over entities and rows in array order; whatever a document holds that cannot be read
// (an array that is none, an element that is no object, an id that is no string) is
// skipped, and a document is only written back when it changed, unless a function says
// otherwise.

// Removes the entity objects whose "id" is in entityIds, the rows whose "fkEdgeId" is in
// edgeIds, and the edge objects whose "id" is in edgeIds or whose "from" or "to" is in
// entityIds. Nothing happens to an empty document or with two empty sets; otherwise both
// arrays are written back, a missing one as an empty array.
void stripDiagramJson(QJsonObject &document, const QSet<QString> &entityIds,
                      const QSet<QString> &edgeIds);

// stripDiagramJson on the stored document of every diagram of the model but the one with
// id skipDiagramId. With skipEmptyDocuments, empty documents are left alone; without it
// every document is stored back, changed or not.
void stripStoredDiagrams(ModelItem *model, const QSet<QString> &entityIds,
                         const QSet<QString> &edgeIds, const QString &skipDiagramId,
                         bool skipEmptyDocuments);

// The first stored entity object with that "id" in the model's diagrams, the open one
// included; empty when none.
QJsonObject storedEntityJson(const ModelItem *model, const QString &entityId);

// Writes name as the "title" of every stored entity object with that "id" in the model's
// diagrams, the open one included. Documents where no title changed are left alone.
void renameStoredEntityTitle(ModelItem *model, const QString &entityId, const QString &name);

// Which columns of one table the stored boxes of a model's other diagrams show (a row with
// the column's id or its exact name) or hide ("hiddenColumns"). Views of the
// table do not count. Built once, it answers for every column of the table what a walk of
// the documents would.
class StoredColumnPresence
{
public:
    StoredColumnPresence(const ModelItem *model, const QString &tableId,
                         const QString &skipDiagramId);

    bool appears(const QString &columnId, const QString &columnName) const;

private:
    QSet<QString> m_ids;
    QSet<QString> m_names;
};

bool columnAppearsOnOtherDiagrams(const ModelItem *model, const QString &tableId,
                                  const QString &columnId, const QString &columnName,
                                  const QString &skipDiagramId);

// Removes the column from the stored boxes of the table (views included) on the model's
// diagrams but skipDiagramId: rows with its id, rows without any column id but with its
// exact name, and its entry in "hiddenColumns" (the key goes with the last entry).
void stripColumnFromDiagrams(ModelItem *model, const QString &tableId, const QString &columnId,
                             const QString &columnName, const QString &skipDiagramId);
