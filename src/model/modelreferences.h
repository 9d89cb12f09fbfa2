#pragma once

#include <QString>

class ColumnItem;
class ModelItem;
class ProjectItem;
class TableItem;
class ViewItem;

// Unlinks a column id from every mapping of the project and its models (source and target
// each on their own) and removes it from the columns and referenced columns of every
// constraint and the columns of every index of every table. Mappings, constraints and
// indexes stay, even when emptied.
void forgetColumnReferences(ProjectItem *project, const QString &columnId);

// The table (view) with that id: in preferred when it holds one, else in the first of the
// project's models, in name order, that does. owner, when given, gets the model that holds
// it, null when nothing is found.
TableItem *findTableInProject(const ProjectItem *project, ModelItem *preferred,
                              const QString &id, ModelItem **owner = nullptr);
ViewItem *findViewInProject(const ProjectItem *project, ModelItem *preferred,
                            const QString &id, ModelItem **owner = nullptr);

// A type typed as text: without parameters the text is the type and the sizes are unset;
// with them the column reads the sizes from the text itself.
void setColumnTypeFromText(ColumnItem *column, const QString &text);
