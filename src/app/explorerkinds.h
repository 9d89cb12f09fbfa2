#pragma once

#include <QString>

// The kind of an explorer row, kept under Qt::UserRole; the object id is under
// Qt::UserRole + 1 and, on model rows, the dialect under Qt::UserRole + 2.
namespace ExplorerKind {
inline const QString Project = QStringLiteral("project");
inline const QString Model = QStringLiteral("model");
inline const QString Tables = QStringLiteral("tables");
inline const QString Table = QStringLiteral("table");
inline const QString Views = QStringLiteral("views");
inline const QString View = QStringLiteral("view");
inline const QString Relationships = QStringLiteral("relationships");
inline const QString Relationship = QStringLiteral("relationship");
inline const QString Sequences = QStringLiteral("sequences");
inline const QString Sequence = QStringLiteral("sequence");
inline const QString Diagrams = QStringLiteral("diagrams");
inline const QString Diagram = QStringLiteral("diagram");
inline const QString Mappings = QStringLiteral("mappings");
inline const QString Mapping = QStringLiteral("mapping");
inline const QString Documents = QStringLiteral("documents");
inline const QString Document = QStringLiteral("document");
} // namespace ExplorerKind

enum ExplorerRole {
    ExplorerKindRole = Qt::UserRole,
    ExplorerIdRole = Qt::UserRole + 1,
    ExplorerDialectRole = Qt::UserRole + 2
};
