#pragma once

#include "boundedinflate.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// Reading draw.io files into the diagram exchange document. Every function here is
// a pure function of its arguments and safe on any thread.

// One mxCell of a draw.io graph model. x and y are relative to the parent cell, as
// draw.io stores them; the value keeps its HTML markup.
struct DrawioCell
{
    QString id;
    QString parent;
    QString value;
    QString style;
    QString source;
    QString target;
    bool vertex = false;
    bool edge = false;
    bool primaryKey = false;
    bool foreignKey = false;
    bool unique = false;
    QString comment; // the "comment" attribute of an enclosing object wrapper
    double x = 0;
    double y = 0;
    double width = 180;
    double height = 40;
};

Q_DECLARE_TYPEINFO(DrawioCell, Q_RELOCATABLE_TYPE);

// One attribute row read from a table cell, a row cell or a label line.
struct DrawioRow
{
    QString name;
    QString type;
    bool isPrimaryKey = false;
    bool isForeignKey = false;
    bool isUniqueKey = false;
    double sortY = 0;
    QString comment;
};

// The compressed pages of one file may inflate to at most this many bytes together; a
// file that needs more is refused, so a small file cannot exhaust memory or time.
constexpr qsizetype DrawioMaxInflatedBytes = MaxInflatedBytes;

// Placeholders of object labels ("%name%") stop being filled once a label would
// pass DrawioMaxFilledLabelLength characters, or once filling has added
// DrawioMaxPlaceholderGrowth characters over one model.
constexpr qsizetype DrawioMaxFilledLabelLength = 65536;
constexpr qsizetype DrawioMaxPlaceholderGrowth = qsizetype(16) * 1024 * 1024;

// mxCell, object and UserObject elements nested deeper than this are skipped whole.
constexpr int DrawioMaxCellNesting = 256;

// A file whose model holds more cells than this, or more tables, is refused with its own
// message: within the file size limit a model of loose shapes would otherwise become
// hundreds of thousands of boxes, costing minutes and gigabytes. Reading stops at the
// first cell beyond the bound.
constexpr qsizetype DrawioMaxCells = 1000000;
constexpr qsizetype DrawioMaxEntities = 20000;

// File reading

// The exchange document of a draw.io file (plain or compressed, one page or many), or
// an empty object on failure with the reason in *error when error is not null.
QJsonObject parseDrawioFile(const QString &path, QString *error = nullptr);

// Value conversions

bool parseBoolAttribute(const QString &text);
int cardinalityFromArrow(QString arrowName);
bool isEdgeLabelStyle(const QString &style);
QString htmlToPlainText(QString html);
QString cellLabelText(const DrawioCell &cell);
QString firstLabelLine(const QString &label);

// Cell reading: clears cells and reads the cells of the first "root" element; true
// when at least one cell was read. Reading stops once cells holds more than DrawioMaxCells.
bool parseMxGraphXml(const QByteArray &xml, QList<DrawioCell> *cells);

// Style parsing and shape classification

QString styleValue(const QString &style, const QString &key);
bool isTableStyle(const QString &style);
bool isRowStyle(const QString &style);
bool isPartialRectangleStyle(const QString &style);
bool isRelationshipShapeStyle(const QString &style);
bool isRowCell(const DrawioCell &cell, const QList<DrawioCell> &cells);

// Diagram building: the exchange document of the cells, or an empty object when no
// cell stands for a table, or when more than DrawioMaxEntities do (*tooManyTables, when
// given, then tells so).
QJsonObject buildDrawioDiagramJson(const QList<DrawioCell> &cells, bool *tooManyTables = nullptr);

// Attribute row text

DrawioRow parseAttributeLabel(const QString &text, double sortKey);
QString cellTextWithDescendants(const DrawioCell &cell, const QList<DrawioCell> &cells);
void collectDescendantLabels(const DrawioCell &cell, const QList<DrawioCell> &cells,
                             QStringList *labels);
