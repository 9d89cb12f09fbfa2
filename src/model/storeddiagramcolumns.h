#pragma once

#include <QSet>
#include <QString>

class ModelItem;
class TableItem;

// Brings every stored box of a table on the model's diagrams in line with the table's
// columns: attributes are paired with columns by "columnId", then by name; a paired one
// takes the column's id, name, display type and key marks (a foreign-key mark set by a
// relationship, "fkEdgeId", stays), one whose column is gone is dropped, and columns
// listed in newColumnIds that a box has neither shown nor hidden are appended to it. The
// title follows the table's name. View boxes ("kind" "entity-view"), the diagram
// skipDiagramId (the open one, whose box lives on the canvas) and whatever cannot be read
// are left alone; a document is only written back when one of its boxes changed.
void spreadTableColumnsToStoredDiagrams(ModelItem *model, const TableItem *table,
                                        const QSet<QString> &newColumnIds,
                                        const QString &skipDiagramId);
