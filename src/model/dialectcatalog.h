#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <utility>

// The catalogue of SQL dialects: display names and aliases, physical table options,
// default key types and data types. Free functions over constant tables; safe to call
// from any thread. Every query normalises its dialect argument first, and a dialect
// the catalogue does not know is no error (empty lists, key type "undefined").

// (key, label): the key addresses the table's properties object, the label is shown.
using TablePhysicalOption = QPair<QString, QString>;

// The result of reading a type text such as "DECIMAL(10,2)"; -1 means absent.
struct ParsedDataType
{
    QString type;
    int length = -1;
    int precision = -1;
    int scale = -1;
    bool hasParameters = false;
};

// Display name for a name or alias ("postgres" -> "PostgreSQL"); a name that is no alias
// comes back trimmed, in the casing it was given.
QString normalizeDialectName(const QString &name);

// Physical table options of a dialect, in display order; empty when it has none.
QList<TablePhysicalOption> dialectPhysicalOptions(const QString &dialect);

// Data type of a generated primary-key column; "undefined" for an unknown dialect.
QString defaultKeyTypeForDialect(const QString &dialect);

// Builds an option list from constant (key, label) pairs; a null string gives "".
QList<TablePhysicalOption> makeOptionList(const std::pair<const char *, const char *> *pairs,
                                          qsizetype count);

// Display name -> ordered list of type names, for the ten dialects.
const QHash<QString, QStringList> &dialectDataTypeTable();

// The type names offered for a dialect; empty for "Conceptual ER" and unknown dialects.
QStringList dataTypesForDialect(const QString &dialect);

// Whether a type takes a precision and scale (rather than a length). Ignores case and
// surrounding white space; integer types are not numeric here.
bool isNumericDataType(const QString &type);

// Splits a trailing "(n)" or "(p,s)" off a type text. A parameter list that is not
// recognised (or holds a number beyond the 32-bit range) leaves the whole trimmed text
// as the type.
ParsedDataType parseDataType(const QString &text);

// The display text of a type with its parameters; negative numbers mean "not given".
QString formatDataType(const QString &type, int length, int precision, int scale);
