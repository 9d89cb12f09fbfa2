#pragma once

#include <QJsonObject>
#include <QSet>
#include <QString>

QT_BEGIN_NAMESPACE
class QXmlStreamWriter;
QT_END_NAMESPACE

// Writes a diagram exchange document as an uncompressed draw.io file: every entity
// becomes a draw.io table (a titled header and one row per attribute, split into a key
// cell and a name cell), every relationship an entity-relation edge between key rows.
// Free functions over their arguments only; safe on any thread.

// The four colours of one table, as "#rrggbb" texts.
struct DrawioTableColors
{
    QString header;
    QString body;
    QString border;
    QString text;
};

// The whole text of a draw.io file for the document; empty when the document has no
// entity objects.
QString generateDrawioXml(const QJsonObject &document);

// Writes generateDrawioXml(document) to path as UTF-8. An existing file is replaced only
// once the whole text is written; on failure it stays as it was. Returns false and sets
// *error (when error is not null) on failure; leaves *error alone on success.
bool writeDrawioFile(const QJsonObject &document, const QString &path, QString *error = nullptr);

// "#rrggbb" in lower case for a colour text ("#rgb", "#rrggbb", "#aarrggbb", names);
// empty for an invalid or fully transparent colour. Alpha is dropped.
QString drawioColorName(const QString &text);

// The first acceptable colour of the entity's two keys, else the fallback as given.
QString pickEntityColor(const QJsonObject &entity, const QString &firstKey,
                        const QString &secondKey, const QString &fallback);

// draw.io ER arrow name of a cardinality code; "ERmandOne" for anything but 1, 2 or 3.
QString arrowFromCardinality(int code);

// Table width from the stored title and the attribute names and types.
double estimateDrawioTableWidth(const QJsonObject &entity);

// A cell id made from base that draw.io accepts and that is not in usedIds yet; it is
// added to usedIds.
QString makeUniqueCellId(const QString &base, QSet<QString> &usedIds);

// One mxGeometry element; numbers are written with one decimal.
void writeMxGeometry(QXmlStreamWriter &writer, bool withX, bool withY, bool withAlternateBounds,
                     double x, double y, double width, double height);

// A key or name cell of a table row; value is written as given.
void writeDrawioRowCell(QXmlStreamWriter &writer, const QString &id, const QString &parentId,
                        const QString &value, const QString &style, bool withX, double x,
                        double width);

// The row cell with its key and name cells; name and type are plain text. A row with a
// comment keeps it in an object wrapper around the row cell, as draw.io keeps a shape's own
// properties (its "comment" attribute, shown and kept by draw.io). Returns the row's cell id.
QString writeDrawioTableRow(QXmlStreamWriter &writer, QSet<QString> &usedIds,
                            const QString &tableId, int rowIndex, int rowCount,
                            const QString &name, const QString &type, bool isPrimaryKey,
                            bool isForeignKey, bool isUniqueKey, const DrawioTableColors &colors,
                            double y, double tableWidth, const QString &comment = QString());
