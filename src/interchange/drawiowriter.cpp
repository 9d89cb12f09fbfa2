#include "drawiowriter.h"

#include <QColor>
#include <QHash>
#include <QJsonArray>
#include <QList>
#include <QSaveFile>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr double kHeaderHeight = 30.0;
constexpr double kRowHeight = 30.0;
constexpr double kKeyCellWidth = 48.0;
constexpr double kMinPageWidth = 850.0;
constexpr double kMinPageHeight = 1100.0;
constexpr double kPageMargin = 80.0;

const char kEntityViewKind[] = "entity-view";
const char kEntityViewEdgeKind[] = "entity-view-edge";

const char kTableStyle[] =
    "shape=table;startSize=30;container=1;collapsible=0;childLayout=tableLayout;fixedRows=1;"
    "rowLines=1;fontStyle=1;align=center;resizeLast=1;html=1;whiteSpace=wrap;fillColor=%1;"
    "swimlaneFillColor=%2;strokeColor=%3;fontColor=%4;corvaKind=%5;";
const char kRowStyle[] =
    "shape=tableRow;horizontal=0;startSize=0;swimlaneHead=0;swimlaneBody=0;fillColor=%1;"
    "collapsible=0;dropTarget=0;points=[[0,0.5],[1,0.5]];portConstraint=eastwest;top=0;left=0;"
    "right=0;bottom=%2;";
const char kKeyCellStyle[] =
    "shape=partialRectangle;connectable=0;fillColor=none;top=0;left=0;bottom=0;right=0;"
    "fontStyle=1;overflow=hidden;whiteSpace=wrap;html=1;align=center;fontColor=%1;";
const char kNameCellStyle[] =
    "shape=partialRectangle;connectable=0;fillColor=none;top=0;left=0;bottom=0;right=0;"
    "align=left;spacingLeft=6;overflow=hidden;whiteSpace=wrap;html=1;fontStyle=%1;fontColor=%2;";
const char kEdgeStyle[] =
    "edgeStyle=entityRelationEdgeStyle;html=1;rounded=0;startArrow=%1;endArrow=%2;startFill=0;"
    "endFill=0;jumpStyle=none;";

// draw.io font style bits of the name cell.
constexpr int kFontStylePrimaryKey = 5; // bold and underlined
constexpr int kFontStyleForeignKey = 2; // italic

QString number1(double value)
{
    return QString::number(value, 'f', 1);
}

// Positions come from the scene; a broken one must not reach the file as "inf" or "nan".
double finiteOrZero(double value)
{
    return std::isfinite(value) ? value : 0.0;
}

// Characters XML 1.0 forbids make a file no reader opens; tab, line feed and carriage
// return are allowed.
bool isForbiddenInXml(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x20)
        return u != 0x09 && u != 0x0A && u != 0x0D;
    return u == 0xFFFE || u == 0xFFFF;
}

QString withoutForbiddenXmlChars(const QString &text)
{
    if (std::none_of(text.cbegin(), text.cend(), isForbiddenInXml))
        return text;
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (!isForbiddenInXml(c))
            result.append(c);
    }
    return result;
}

// The value of an html=1 cell: draw.io renders it as HTML, so "<" in a type such as
// MAP<STRING,INT> would otherwise be taken for a tag and vanish.
QString htmlCellValue(const QString &text)
{
    QString value = withoutForbiddenXmlChars(text);
    value.replace(u'&', u"&amp;"_s);
    value.replace(u'<', u"&lt;"_s);
    value.replace(u'>', u"&gt;"_s);
    return value;
}

int cardinalityOrDefault(const QJsonValue &value)
{
    const int code = value.toInt(1);
    return (code < 0 || code > 3) ? 1 : code;
}

struct RowRef
{
    QString rowId;
    QString name;
};

struct FkEdgeRow
{
    QString rowId;
    QString entityId;
};

// Bookkeeping of one generateDrawioXml run.
struct WriterState
{
    QSet<QString> usedIds{QStringLiteral("0"), QStringLiteral("1")};
    QHash<QString, QString> tableIdByEntity;
    QHash<QString, QString> titleByEntity;
    QHash<QString, RowRef> firstPrimaryKeyRow;
    QHash<QString, QList<RowRef>> foreignKeyRows;
    QHash<QString, FkEdgeRow> rowByFkEdge;
};

void pageSize(const QJsonArray &entities, double *width, double *height)
{
    double right = kMinPageWidth;
    double bottom = kMinPageHeight;
    for (const QJsonValue &value : entities) {
        const QJsonObject entity = value.toObject();
        const double x = finiteOrZero(entity.value(u"x").toDouble());
        const double y = finiteOrZero(entity.value(u"y").toDouble());
        const qsizetype rows = std::max<qsizetype>(1, entity.value(u"attributes").toArray().size());
        right = std::max(right, x + estimateDrawioTableWidth(entity) + kPageMargin);
        bottom = std::max(bottom, y + kRowHeight * double(rows) + kHeaderHeight + kPageMargin);
    }
    *width = std::ceil(right);
    *height = std::ceil(bottom);
}

DrawioTableColors tableColors(const QJsonObject &entity, bool isView)
{
    DrawioTableColors colors;
    colors.header = pickEntityColor(entity, u"hdrLight"_s, u"hdrDark"_s,
                                    isView ? u"#d5e8d4"_s : u"#dae8fc"_s);
    colors.body = pickEntityColor(entity, u"bgLight"_s, u"bgDark"_s, u"#ffffff"_s);
    colors.border = pickEntityColor(entity, u"fgLight"_s, u"fgDark"_s,
                                    isView ? u"#82b366"_s : u"#6c8ebf"_s);
    colors.text = pickEntityColor(entity, u"txtLight"_s, u"txtDark"_s, u"#000000"_s);
    return colors;
}

void writeEntity(QXmlStreamWriter &writer, WriterState &state, const QJsonObject &entity)
{
    const QString id = entity.value(u"id").toString();
    if (id.isEmpty())
        return;
    QString title = entity.value(u"title").toString().trimmed();
    if (title.isEmpty())
        title = id;
    const bool isView = entity.value(u"kind").toString() == QLatin1String(kEntityViewKind);

    QList<QJsonObject> rows;
    const QJsonArray attributes = entity.value(u"attributes").toArray();
    for (const QJsonValue &value : attributes) {
        const QJsonObject attribute = value.toObject();
        if (!attribute.value(u"name").toString().trimmed().isEmpty())
            rows.append(attribute);
    }

    const double width = estimateDrawioTableWidth(entity);
    const double height = kRowHeight * double(std::max<qsizetype>(1, rows.size())) + kHeaderHeight;

    const QString tableId = makeUniqueCellId(id, state.usedIds);
    state.tableIdByEntity.insert(id, tableId);
    state.titleByEntity.insert(id, title);

    const DrawioTableColors colors = tableColors(entity, isView);
    const QString style = QString::fromLatin1(kTableStyle)
                              .arg(colors.header, colors.body, colors.border, colors.text,
                                   isView ? u"entity-view"_s : u"table"_s);

    writer.writeStartElement(u"mxCell"_s);
    writer.writeAttribute(u"id"_s, tableId);
    writer.writeAttribute(u"value"_s, htmlCellValue(title));
    writer.writeAttribute(u"style"_s, style);
    writer.writeAttribute(u"vertex"_s, u"1"_s);
    writer.writeAttribute(u"parent"_s, u"1"_s);
    writeMxGeometry(writer, true, true, false, finiteOrZero(entity.value(u"x").toDouble()),
                    finiteOrZero(entity.value(u"y").toDouble()), width, height);
    writer.writeEndElement();

    const int rowCount = int(rows.size());
    for (int i = 0; i < rowCount; ++i) {
        const QJsonObject &row = rows.at(i);
        const bool isUnique = row.value(u"isUniqueKey").toBool();
        const bool isForeign = row.value(u"isForeignKey").toBool();
        const bool isPrimary = row.value(u"isPrimaryKey").toBool();
        const QString type = row.value(u"type").toString().trimmed();
        const QString name = row.value(u"name").toString().trimmed();
        const QString rowId = writeDrawioTableRow(writer, state.usedIds, tableId, i, rowCount, name,
                                                  type, isPrimary, isForeign, isUnique, colors,
                                                  kRowHeight * i + kHeaderHeight, width,
                                                  row.value(u"comment").toString());
        if (isPrimary && !state.firstPrimaryKeyRow.contains(id))
            state.firstPrimaryKeyRow.insert(id, {rowId, name});
        if (isForeign)
            state.foreignKeyRows[id].append({rowId, name});
        const QString fkEdgeId = row.value(u"fkEdgeId").toString();
        if (!fkEdgeId.isEmpty() && !state.rowByFkEdge.contains(fkEdgeId))
            state.rowByFkEdge.insert(fkEdgeId, {rowId, id});
    }
    if (rows.isEmpty()) {
        writeDrawioTableRow(writer, state.usedIds, tableId, 0, 1, QString(), QString(), false,
                            false, false, colors, kHeaderHeight, width);
    }
}

// Without an "fkEdgeId" link, the first foreign-key row of the target that names the
// source's primary key or the source's title ends the edge.
QString matchForeignKeyRow(const WriterState &state, const QString &from, const QString &to)
{
    const QString t = state.titleByEntity.value(from).toLower();
    const QString p = state.firstPrimaryKeyRow.value(from).name.toLower();
    const QList<RowRef> candidates = state.foreignKeyRows.value(to);
    for (const RowRef &row : candidates) {
        const QString m = row.name.toLower();
        if (!p.isEmpty() && m == p)
            return row.rowId;
        if (!t.isEmpty()
            && (m == t + u"_id"_s || m == t + u"id"_s || m.startsWith(t + u'_')))
            return row.rowId;
    }
    return QString();
}

void writeEdge(QXmlStreamWriter &writer, WriterState &state, const QJsonObject &edge)
{
    if (edge.value(u"kind").toString() == QLatin1String(kEntityViewEdgeKind))
        return;
    const QString from = edge.value(u"from").toString();
    const QString to = edge.value(u"to").toString();
    const auto sourceTable = state.tableIdByEntity.constFind(from);
    const auto targetTable = state.tableIdByEntity.constFind(to);
    if (sourceTable == state.tableIdByEntity.cend() || targetTable == state.tableIdByEntity.cend())
        return;

    const auto primaryRow = state.firstPrimaryKeyRow.constFind(from);
    QString source = primaryRow != state.firstPrimaryKeyRow.cend() ? primaryRow->rowId
                                                                   : *sourceTable;
    QString target = *targetTable;

    const QString edgeId = edge.value(u"id").toString();
    const auto linked = edgeId.isEmpty() ? state.rowByFkEdge.cend()
                                         : state.rowByFkEdge.constFind(edgeId);
    if (linked != state.rowByFkEdge.cend()) {
        if (linked->entityId == to)
            target = linked->rowId;
        else if (linked->entityId == from)
            source = linked->rowId;
    } else {
        const QString matched = matchForeignKeyRow(state, from, to);
        if (!matched.isEmpty())
            target = matched;
    }

    const QString startArrow = arrowFromCardinality(cardinalityOrDefault(edge.value(u"startCard")));
    const QString endArrow = arrowFromCardinality(cardinalityOrDefault(edge.value(u"endCard")));
    const QString cellId = makeUniqueCellId(
        edgeId.isEmpty() ? source + u'_' + target : edgeId, state.usedIds);

    writer.writeStartElement(u"mxCell"_s);
    writer.writeAttribute(u"id"_s, cellId);
    writer.writeAttribute(u"value"_s, htmlCellValue(edge.value(u"label").toString()));
    QString style = QString::fromLatin1(kEdgeStyle).arg(startArrow, endArrow);
    // draw.io draws a non-identifying relationship dashed.
    if (!edge.value(u"identifying").toBool(true))
        style += u"dashed=1;"_s;
    writer.writeAttribute(u"style"_s, style);
    writer.writeAttribute(u"edge"_s, u"1"_s);
    writer.writeAttribute(u"parent"_s, u"1"_s);
    writer.writeAttribute(u"source"_s, source);
    writer.writeAttribute(u"target"_s, target);
    writer.writeStartElement(u"mxGeometry"_s);
    writer.writeAttribute(u"relative"_s, u"1"_s);
    writer.writeAttribute(u"as"_s, u"geometry"_s);
    writer.writeEndElement();
    writer.writeEndElement();
}

} // namespace

QString drawioColorName(const QString &text)
{
    const QColor color = QColor::fromString(text);
    if (!color.isValid() || color.alpha() == 0)
        return QString();
    return color.name(QColor::HexRgb);
}

QString pickEntityColor(const QJsonObject &entity, const QString &firstKey,
                        const QString &secondKey, const QString &fallback)
{
    for (const QString &key : {firstKey, secondKey}) {
        const auto it = entity.constFind(key);
        if (it == entity.constEnd())
            continue;
        const QString name = drawioColorName(it->toString());
        if (!name.isEmpty())
            return name;
    }
    return fallback;
}

QString arrowFromCardinality(int code)
{
    switch (code) {
    case 1:
        return u"ERoneToMany"_s;
    case 2:
        return u"ERzeroToOne"_s;
    case 3:
        return u"ERzeroToMany"_s;
    default:
        return u"ERmandOne"_s;
    }
}

double estimateDrawioTableWidth(const QJsonObject &entity)
{
    double width = std::max(200.0, 8.0 * double(entity.value(u"title").toString().size()) + 40.0);
    const QJsonArray attributes = entity.value(u"attributes").toArray();
    for (const QJsonValue &value : attributes) {
        const QJsonObject attribute = value.toObject();
        const QString name = attribute.value(u"name").toString();
        const QString type = attribute.value(u"type").toString();
        double w = 7.5 * double(name.size() + type.size()) + 72.0;
        if (!type.isEmpty())
            w += 16.0;
        width = std::max(width, w);
    }
    return width;
}

QString makeUniqueCellId(const QString &base, QSet<QString> &usedIds)
{
    QString result;
    result.reserve(base.size() + 1);
    for (const QChar c : base) {
        const char16_t u = c.unicode();
        const bool asciiKept = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z')
            || (u >= '0' && u <= '9') || u == '_' || u == '-';
        if (u < 0x80)
            result.append(asciiKept ? c : QChar(u'_'));
        else
            result.append(c.isLetterOrNumber() ? c : QChar(u'_'));
    }
    if (result.isEmpty() || result.front().isDigit() || result.front() == u'-')
        result.prepend(u'n');

    QString candidate = result;
    for (qint64 n = 2; usedIds.contains(candidate); ++n)
        candidate = result + u'_' + QString::number(n);
    usedIds.insert(candidate);
    return candidate;
}

void writeMxGeometry(QXmlStreamWriter &writer, bool withX, bool withY, bool withAlternateBounds,
                     double x, double y, double width, double height)
{
    writer.writeStartElement(u"mxGeometry"_s);
    if (withX)
        writer.writeAttribute(u"x"_s, number1(x));
    if (withY)
        writer.writeAttribute(u"y"_s, number1(y));
    writer.writeAttribute(u"width"_s, number1(width));
    writer.writeAttribute(u"height"_s, number1(height));
    writer.writeAttribute(u"as"_s, u"geometry"_s);
    if (withAlternateBounds) {
        writer.writeStartElement(u"mxRectangle"_s);
        writer.writeAttribute(u"width"_s, number1(width));
        writer.writeAttribute(u"height"_s, number1(height));
        writer.writeAttribute(u"as"_s, u"alternateBounds"_s);
        writer.writeEndElement();
    }
    writer.writeEndElement();
}

void writeDrawioRowCell(QXmlStreamWriter &writer, const QString &id, const QString &parentId,
                        const QString &value, const QString &style, bool withX, double x,
                        double width)
{
    writer.writeStartElement(u"mxCell"_s);
    writer.writeAttribute(u"id"_s, id);
    writer.writeAttribute(u"value"_s, value);
    writer.writeAttribute(u"style"_s, style);
    writer.writeAttribute(u"vertex"_s, u"1"_s);
    writer.writeAttribute(u"parent"_s, parentId);
    writeMxGeometry(writer, withX, false, true, x, 0.0, width, kRowHeight);
    writer.writeEndElement();
}

QString writeDrawioTableRow(QXmlStreamWriter &writer, QSet<QString> &usedIds,
                            const QString &tableId, int rowIndex, int rowCount,
                            const QString &name, const QString &type, bool isPrimaryKey,
                            bool isForeignKey, bool isUniqueKey, const DrawioTableColors &colors,
                            double y, double tableWidth, const QString &comment)
{
    const QString rowId = makeUniqueCellId(tableId + u"_r"_s + QString::number(rowIndex), usedIds);
    const bool isLast = rowIndex == rowCount - 1;

    const bool wrapped = !comment.isEmpty();
    if (wrapped) {
        // The wrapper carries the cell's id and label; the cell inside carries neither.
        writer.writeStartElement(u"object"_s);
        writer.writeAttribute(u"label"_s, QString());
        writer.writeAttribute(u"comment"_s, withoutForbiddenXmlChars(comment));
        writer.writeAttribute(u"id"_s, rowId);
        writer.writeStartElement(u"mxCell"_s);
    } else {
        writer.writeStartElement(u"mxCell"_s);
        writer.writeAttribute(u"id"_s, rowId);
        writer.writeAttribute(u"value"_s, QString());
    }
    writer.writeAttribute(u"style"_s, QString::fromLatin1(kRowStyle)
                                          .arg(colors.body, isLast ? u"1"_s : u"0"_s));
    writer.writeAttribute(u"vertex"_s, u"1"_s);
    writer.writeAttribute(u"parent"_s, tableId);
    writeMxGeometry(writer, false, true, false, 0.0, y, tableWidth, kRowHeight);
    writer.writeEndElement();
    if (wrapped)
        writer.writeEndElement(); // object

    QStringList marks;
    if (isPrimaryKey)
        marks.append(u"PK"_s);
    if (isForeignKey)
        marks.append(u"FK"_s);
    if (isUniqueKey)
        marks.append(u"UK"_s);
    const QString keyId = makeUniqueCellId(rowId + u"_k"_s, usedIds);
    writeDrawioRowCell(writer, keyId, rowId, marks.join(u", "),
                       QString::fromLatin1(kKeyCellStyle).arg(colors.text), false, 0.0,
                       kKeyCellWidth);

    const int fontStyle = isPrimaryKey ? kFontStylePrimaryKey
                                       : (isForeignKey ? kFontStyleForeignKey : 0);
    const QString text = type.isEmpty() ? name : name + u" : "_s + type;
    const QString nameId = makeUniqueCellId(rowId + u"_c"_s, usedIds);
    writeDrawioRowCell(writer, nameId, rowId, htmlCellValue(text),
                       QString::fromLatin1(kNameCellStyle)
                           .arg(QString::number(fontStyle), colors.text),
                       true, kKeyCellWidth, tableWidth - kKeyCellWidth);
    return rowId;
}

QString generateDrawioXml(const QJsonObject &document)
{
    const QJsonArray entities = document.value(u"entities").toArray();
    const QJsonArray edges = document.value(u"edges").toArray();
    if (entities.isEmpty())
        return QString();

    WriterState state;
    double pageWidth = 0.0;
    double pageHeight = 0.0;
    pageSize(entities, &pageWidth, &pageHeight);

    QString text;
    QXmlStreamWriter writer(&text);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(2);
    writer.writeStartDocument(u"1.0"_s);

    writer.writeStartElement(u"mxfile"_s);
    writer.writeAttribute(u"host"_s, u"velmora"_s);
    writer.writeAttribute(u"agent"_s, u"velmora"_s);
    writer.writeAttribute(u"version"_s, u"0.1.353"_s);
    writer.writeAttribute(u"type"_s, u"device"_s);

    writer.writeStartElement(u"diagram"_s);
    writer.writeAttribute(u"id"_s, u"er-diagram"_s);
    writer.writeAttribute(u"name"_s, u"ER Diagram"_s);

    writer.writeStartElement(u"mxGraphModel"_s);
    const std::pair<const char16_t *, QString> modelAttributes[] = {
        {u"dx", u"0"_s},        {u"dy", u"0"_s},          {u"grid", u"1"_s},
        {u"gridSize", u"10"_s}, {u"guides", u"1"_s},      {u"tooltips", u"1"_s},
        {u"connect", u"1"_s},   {u"arrows", u"1"_s},      {u"fold", u"1"_s},
        {u"page", u"1"_s},      {u"pageScale", u"1"_s},
        // Whole numbers of any size, no integer cast that could overflow.
        {u"pageWidth", QString::number(pageWidth, 'f', 0)},
        {u"pageHeight", QString::number(pageHeight, 'f', 0)},
        {u"math", u"0"_s},      {u"shadow", u"0"_s},
    };
    for (const auto &[name, value] : modelAttributes)
        writer.writeAttribute(QString::fromUtf16(name), value);

    writer.writeStartElement(u"root"_s);
    writer.writeStartElement(u"mxCell"_s);
    writer.writeAttribute(u"id"_s, u"0"_s);
    writer.writeEndElement();
    writer.writeStartElement(u"mxCell"_s);
    writer.writeAttribute(u"id"_s, u"1"_s);
    writer.writeAttribute(u"parent"_s, u"0"_s);
    writer.writeEndElement();

    for (const QJsonValue &entity : entities)
        writeEntity(writer, state, entity.toObject());
    for (const QJsonValue &edge : edges)
        writeEdge(writer, state, edge.toObject());

    writer.writeEndElement(); // root
    writer.writeEndElement(); // mxGraphModel
    writer.writeEndElement(); // diagram
    writer.writeEndElement(); // mxfile
    writer.writeEndDocument();
    return text;
}

bool writeDrawioFile(const QJsonObject &document, const QString &path, QString *error)
{
    const auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    if (path.isEmpty())
        return fail(u"No destination file was specified."_s);

    const QString text = generateDrawioXml(document);
    if (QStringView(text).trimmed().isEmpty())
        return fail(u"Could not generate a draw.io ER diagram."_s);

    // The old file is replaced only by a complete new one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(u"Could not write the draw.io file."_s);
    const QByteArray bytes = text.toUtf8();
    // A short write can hide in the write buffer, and commit() would then still replace
    // the old file with a cut-off one: flush and check before committing.
    if (file.write(bytes) != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return fail(u"Could not write the draw.io file."_s);
    }
    if (!file.commit())
        return fail(u"Could not write the draw.io file."_s);
    return true;
}
