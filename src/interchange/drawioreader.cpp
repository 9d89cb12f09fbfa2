#include "drawioreader.h"

#include "boundedfile.h"
#include "importids.h"
#include "jsonobjectshape.h"
#include "parallelruns.h"
#include "stringtable.h"

#include <QByteArrayView>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QLocale>
#include <QMap>
#include <QPointF>
#include <QRegularExpression>
#include <QSet>
#include <QStringView>
#include <QThread>
#include <QVarLengthArray>
#include <QXmlStreamReader>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>

namespace {

// Numbers from the file: text that does not convert, and infinities or NaN, read as
// 0 so that positions stay usable and comparisons stay ordered.
double finiteNumber(QStringView text)
{
    // Plain decimals such as "245.5" or "-30", nearly every number of a drawing, are read
    // here: up to 15 digits make an exact integer and one division by an exact power of ten
    // rounds once, so the result is the very double toDouble gives, at a fraction of the
    // cost.
    static constexpr double powersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
                                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    qsizetype i = 0;
    const bool negative = !text.isEmpty() && text.at(0) == u'-';
    if (negative)
        ++i;
    qint64 mantissa = 0;
    int digits = 0;
    int fractionDigits = -1;
    bool plain = i < text.size();
    for (; plain && i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c >= u'0' && c <= u'9') {
            mantissa = mantissa * 10 + (c - u'0');
            if (++digits > 15)
                plain = false;
            if (fractionDigits >= 0)
                ++fractionDigits;
        } else if (c == u'.' && fractionDigits < 0 && digits > 0) {
            fractionDigits = 0;
        } else {
            plain = false;
        }
    }
    if (plain && fractionDigits != 0) {
        const double value = double(mantissa) / powersOfTen[qMax(fractionDigits, 0)];
        return negative ? -value : value;
    }
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

double finiteOrZero(double value)
{
    return std::isfinite(value) ? value : 0.0;
}

// ---------------------------------------------------------------------------------
// Style classification, shared by the public tests and the builder, which classifies
// every cell once.

QString shapeName(const QString &style)
{
    return styleValue(style, QStringLiteral("shape")).toLower();
}

// A style prepared for case-insensitive substring tests. Styles are nearly always
// ASCII; those are lower-cased once and searched case-sensitively, which is much
// faster than a case-insensitive search over the whole style per test.
class FoldedStyle
{
public:
    explicit FoldedStyle(const QString &style) : style_(style)
    {
        lower_.resize(style.size());
        QChar *out = lower_.data();
        for (const QChar c : style) {
            const char16_t u = c.unicode();
            if (u >= 0x80) {
                ascii_ = false;
                lower_.clear();
                return;
            }
            *out++ = QChar(u >= u'A' && u <= u'Z' ? char16_t(u + 32) : u);
        }
    }

    // needle is lower case.
    bool contains(QLatin1String needle) const
    {
        return ascii_ ? lower_.contains(needle) : style_.contains(needle, Qt::CaseInsensitive);
    }

private:
    const QString &style_;
    QString lower_;
    bool ascii_ = true;
};

bool tableStyle(const FoldedStyle &style, const QString &shape)
{
    static const QStringList tableShapes = {
        QStringLiteral("table"),            QStringLiteral("list"),
        QStringLiteral("mxgraph.er.table"), QStringLiteral("mxgraph.er.entity"),
        QStringLiteral("mxgraph.er.entity2"), QStringLiteral("swimlane"),
    };
    if (tableShapes.contains(shape))
        return true;
    return style.contains(QLatin1String("childlayout=tablelayout"))
           || style.contains(QLatin1String("childlayout=stacklayout"))
           || style.contains(QLatin1String("mxgraph.er.table"));
}

bool rowStyle(const FoldedStyle &style, const QString &shape)
{
    return shape == QLatin1String("tablerow") || shape == QLatin1String("listitem")
           || style.contains(QLatin1String("shape=tablerow"))
           || style.contains(QLatin1String("shape=listitem"));
}

bool edgeLabelStyle(const FoldedStyle &style)
{
    return style.contains(QLatin1String("edgelabel")) || style.contains(QLatin1String("text;"));
}

bool relationshipShape(const QString &shape)
{
    return shape.contains(QLatin1String("rhombus"))
           || shape.contains(QLatin1String("mxgraph.er.association"))
           || shape.contains(QLatin1String("mxgraph.er.relationship"));
}

struct StyleTraits
{
    bool row = false;
    bool partialRectangle = false;
    bool excludedFromTables = false; // row, partial rectangle, relationship, label or text
    bool table = false;
    bool entityKind = false; // corvaKind names an entity or a table
    bool entityView = false; // corvaKind is entity-view
    int fontStyle = 0;
};

StyleTraits classifyStyle(const QString &text)
{
    const FoldedStyle style(text);
    const QString shape = shapeName(text);
    StyleTraits traits;
    traits.row = rowStyle(style, shape);
    traits.partialRectangle = shape == QLatin1String("partialrectangle");
    traits.excludedFromTables = traits.row || traits.partialRectangle || relationshipShape(shape)
                                || edgeLabelStyle(style);
    traits.table = tableStyle(style, shape);
    const QString kind = styleValue(text, QStringLiteral("corvaKind"));
    traits.entityKind = kind.startsWith(QLatin1String("entity")) || kind == QLatin1String("table");
    traits.entityView = kind == QLatin1String("entity-view");
    bool ok = false;
    traits.fontStyle = styleValue(text, QStringLiteral("fontStyle")).toInt(&ok);
    if (!ok)
        traits.fontStyle = 0;
    return traits;
}

// The traits of every cell, each distinct style classified once: a drawing repeats a
// handful of styles over thousands of cells.
QList<StyleTraits> classifyCells(const QList<DrawioCell> &cells)
{
    QList<StyleTraits> traits;
    traits.reserve(cells.size());
    QHash<QString, StyleTraits> byStyle;
    // Cells take turns among a few styles (table, row, key, column): those are found by
    // comparing, which is cheaper than hashing a long style.
    struct Recent
    {
        QString style;
        StyleTraits traits;
    };
    QVarLengthArray<Recent, 8> recent;
    qsizetype replace = 0;
    for (const DrawioCell &cell : cells) {
        const Recent *match = nullptr;
        for (const Recent &entry : recent) {
            if (entry.style == cell.style) {
                match = &entry;
                break;
            }
        }
        if (match) {
            traits.append(match->traits);
            continue;
        }
        auto known = byStyle.constFind(cell.style);
        if (known == byStyle.constEnd())
            known = byStyle.insert(cell.style, classifyStyle(cell.style));
        traits.append(known.value());
        if (recent.size() < 8) {
            recent.append(Recent{cell.style, known.value()});
        } else {
            recent[replace] = Recent{cell.style, known.value()};
            replace = (replace + 1) % 8;
        }
    }
    return traits;
}

// ---------------------------------------------------------------------------------
// Cell reading

struct DrawioObjectInfo
{
    QString id;
    QString parent;
    QString label;
    QString name;
    QString type;
    bool primaryKey = false;
    bool foreignKey = false;
    bool unique = false;
    QString comment;
};

QString attributeOr(const QXmlStreamAttributes &attributes, QLatin1StringView first,
                    QLatin1StringView second)
{
    QString text = attributes.value(first).toString();
    if (text.isEmpty())
        text = attributes.value(second).toString();
    return text;
}

class CellReader
{
public:
    CellReader(QXmlStreamReader &xml, QList<DrawioCell> *cells) : xml_(xml), cells_(cells) {}

    // Reads the cells of the first "root" element; false when there is none.
    bool readRoot()
    {
        bool found = false;
        while (!xml_.atEnd()) {
            if (xml_.readNext() == QXmlStreamReader::StartElement
                && xml_.name() == QLatin1String("root")) {
                found = true;
                break;
            }
        }
        if (!found)
            return false;
        while (!xml_.atEnd()) {
            const QXmlStreamReader::TokenType token = xml_.readNext();
            if (token == QXmlStreamReader::EndElement && xml_.name() == QLatin1String("root"))
                break;
            if (token != QXmlStreamReader::StartElement)
                continue;
            // Elements of other names are entered, so their cells count as the root's.
            if (xml_.name() == QLatin1String("mxCell"))
                readCell(QString(), DrawioObjectInfo(), 1);
            else if (isObjectElement())
                readObject(QString(), 1);
        }
        return true;
    }

private:
    bool isObjectElement() const
    {
        return xml_.name() == QLatin1String("object") || xml_.name() == QLatin1String("UserObject");
    }

    void readCell(const QString &fallbackParent, const DrawioObjectInfo &object, int depth)
    {
        const QXmlStreamAttributes attributes = xml_.attributes();
        DrawioCell cell;
        cell.id = attributes.value(QLatin1String("id")).toString();
        cell.parent = parents_.shared(attributes.value(QLatin1String("parent")));
        cell.value = attributeOr(attributes, QLatin1String("value"), QLatin1String("label"));
        cell.style = styles_.shared(attributes.value(QLatin1String("style")));
        cell.source = attributes.value(QLatin1String("source")).toString();
        cell.target = attributes.value(QLatin1String("target")).toString();
        cell.vertex = attributes.value(QLatin1String("vertex")) == QLatin1String("1");
        cell.edge = attributes.value(QLatin1String("edge")) == QLatin1String("1");

        if (cell.id.isEmpty())
            cell.id = object.id;
        if (cell.value.isEmpty())
            cell.value = objectValue(object);
        cell.primaryKey = object.primaryKey;
        cell.foreignKey = object.foreignKey;
        cell.unique = object.unique;
        cell.comment = object.comment;
        if (cell.parent.isEmpty())
            cell.parent = fallbackParent;

        while (!xml_.atEnd()) {
            const QXmlStreamReader::TokenType token = xml_.readNext();
            if (token == QXmlStreamReader::EndElement && xml_.name() == QLatin1String("mxCell"))
                break;
            if (token == QXmlStreamReader::Characters) {
                if (cell.value.isEmpty())
                    cell.value = xml_.text().toString();
                continue;
            }
            if (token != QXmlStreamReader::StartElement)
                continue;
            if (xml_.name() == QLatin1String("mxGeometry")) {
                readGeometry(&cell);
                xml_.skipCurrentElement();
            } else if (xml_.name() == QLatin1String("mxCell")) {
                if (depth < DrawioMaxCellNesting)
                    readCell(cell.id, DrawioObjectInfo(), depth + 1);
                else
                    xml_.skipCurrentElement();
            } else if (isObjectElement()) {
                if (depth < DrawioMaxCellNesting)
                    readObject(cell.id, depth + 1);
                else
                    xml_.skipCurrentElement();
            } else {
                xml_.skipCurrentElement();
            }
        }
        if (!cell.id.isEmpty()) {
            cells_->append(std::move(cell));
            // Ending the stream ends every loop of the reader at once.
            if (cells_->size() > DrawioMaxCells)
                xml_.raiseError(QStringLiteral("more cells than the bound"));
        }
    }

    void readObject(const QString &fallbackParent, int depth)
    {
        const QString elementName = xml_.name().toString();
        const QXmlStreamAttributes attributes = xml_.attributes();
        DrawioObjectInfo info;
        info.id = attributes.value(QLatin1String("id")).toString();
        info.parent = attributes.value(QLatin1String("parent")).toString();
        info.label = fillPlaceholders(attributes.value(QLatin1String("label")).toString(), attributes);
        info.name = attributes.value(QLatin1String("name")).toString();
        info.type = attributeOr(attributes, QLatin1String("type"), QLatin1String("dataType"));
        info.primaryKey = parseBoolAttribute(
            attributeOr(attributes, QLatin1String("primaryKey"), QLatin1String("pk")));
        info.foreignKey = parseBoolAttribute(
            attributeOr(attributes, QLatin1String("foreignKey"), QLatin1String("fk")));
        info.unique = parseBoolAttribute(
            attributeOr(attributes, QLatin1String("unique"), QLatin1String("uk")));
        info.comment = attributes.value(QLatin1String("comment")).toString();

        const QString cellParent = info.parent.isEmpty() ? fallbackParent : info.parent;
        const QString objectParent = info.id.isEmpty() ? fallbackParent : info.id;
        while (!xml_.atEnd()) {
            const QXmlStreamReader::TokenType token = xml_.readNext();
            if (token == QXmlStreamReader::EndElement && xml_.name() == elementName)
                break;
            if (token != QXmlStreamReader::StartElement)
                continue;
            if (xml_.name() == QLatin1String("mxCell")) {
                if (depth < DrawioMaxCellNesting)
                    readCell(cellParent, info, depth + 1);
                else
                    xml_.skipCurrentElement();
            } else if (isObjectElement()) {
                if (depth < DrawioMaxCellNesting)
                    readObject(objectParent, depth + 1);
                else
                    xml_.skipCurrentElement();
            } else {
                xml_.skipCurrentElement();
            }
        }
    }

    void readGeometry(DrawioCell *cell) const
    {
        const QXmlStreamAttributes attributes = xml_.attributes();
        const auto number = [&attributes](QLatin1StringView name, double fallback) {
            const QStringView text = attributes.value(name);
            return text.isEmpty() ? fallback : finiteNumber(text);
        };
        cell->x = number(QLatin1String("x"), 0);
        cell->y = number(QLatin1String("y"), 0);
        cell->width = number(QLatin1String("width"), 180);
        cell->height = number(QLatin1String("height"), 40);
    }

    static QString objectValue(const DrawioObjectInfo &object)
    {
        if (!object.label.trimmed().isEmpty())
            return object.label;
        const QString name = object.name.trimmed();
        if (name.isEmpty())
            return QString();
        QString value = name;
        const QString type = object.type.trimmed();
        if (!type.isEmpty())
            value += QLatin1String(" : ") + type;
        if (object.primaryKey)
            value += QLatin1String(" PK");
        if (object.foreignKey)
            value += QLatin1String(" FK");
        if (object.unique)
            value += QLatin1String(" UK");
        return value;
    }

    // Fills "%name%" placeholders from the element's attributes, in document order.
    // Values may hold further placeholders, so the growth of one label and of the
    // whole model is bounded; what is left over keeps its placeholders.
    QString fillPlaceholders(QString label, const QXmlStreamAttributes &attributes)
    {
        if (placeholdersExhausted_ || !label.contains(QLatin1Char('%')))
            return label;
        for (const QXmlStreamAttribute &attribute : attributes) {
            const QStringView name = attribute.name();
            if (name.isEmpty() || name == QLatin1String("id") || name == QLatin1String("label"))
                continue;
            const QString placeholder = QLatin1Char('%') + name.toString() + QLatin1Char('%');
            const qsizetype count = label.count(placeholder);
            if (count == 0)
                continue;
            const QString value = attribute.value().toString();
            const qsizetype delta = value.size() - placeholder.size();
            if (delta > 0) {
                if (label.size() > DrawioMaxFilledLabelLength
                    || count > (DrawioMaxFilledLabelLength - label.size()) / delta)
                    break;
                const qsizetype growth = count * delta;
                if (growth > placeholderBudget_) {
                    placeholdersExhausted_ = true;
                    break;
                }
                placeholderBudget_ -= growth;
            }
            label.replace(placeholder, value);
        }
        return label;
    }

    // The last few texts of one attribute, handed out again where a cell repeats one: a
    // drawing uses a handful of styles and parents for thousands of cells, which then
    // share one copy instead of holding one each.
    class RecentTexts
    {
    public:
        QString shared(QStringView text)
        {
            for (const QString &recent : std::as_const(texts_)) {
                if (recent == text)
                    return recent;
            }
            QString copy = text.toString();
            if (texts_.size() < 8)
                texts_.append(copy);
            else
                texts_[next_++ % 8] = copy;
            return copy;
        }

    private:
        QVarLengthArray<QString, 8> texts_;
        int next_ = 0;
    };

    QXmlStreamReader &xml_;
    QList<DrawioCell> *cells_;
    RecentTexts styles_;
    RecentTexts parents_;
    qsizetype placeholderBudget_ = DrawioMaxPlaceholderGrowth;
    bool placeholdersExhausted_ = false;

public:
    // What filling placeholders has cost: the growth so far, and whether the budget ran out.
    qsizetype placeholderGrowth() const { return DrawioMaxPlaceholderGrowth - placeholderBudget_; }
    bool placeholdersExhausted() const { return placeholdersExhausted_; }
};

// ---------------------------------------------------------------------------------
// Reading a large model on several threads
//
// The XML reader is most of the time of a large import. The top-level children of the
// "root" element are independent, so a large root is cut between them into pieces that
// are read at once, each wrapped in a root of its own, and their cells joined in order.
// Whatever a plain byte scan cannot follow with certainty (a document type, another
// encoding, a prefix, a root inside the root, an error in any piece, placeholders that
// would have run out of their one budget) is read the ordinary way instead, so the cells
// are always those the single reader finds.

struct Markup
{
    enum Kind { Start, End, Empty, Other } kind = Other;
    QByteArrayView name;
    qsizetype end = 0; // just after the markup
};

// The markup at xml[pos] == '<'; false when it cannot be followed.
bool scanMarkup(QByteArrayView xml, qsizetype pos, Markup *markup)
{
    const auto skipTo = [&](QByteArrayView closing, qsizetype from) {
        const qsizetype at = xml.indexOf(closing, from);
        markup->kind = Markup::Other;
        markup->end = at < 0 ? -1 : at + closing.size();
        return at >= 0;
    };
    const QByteArrayView rest = xml.sliced(pos);
    if (rest.startsWith("<!--"))
        return skipTo("-->", pos + 4);
    if (rest.startsWith("<![CDATA["))
        return skipTo("]]>", pos + 9);
    if (rest.startsWith("<?"))
        return skipTo("?>", pos + 2);
    if (rest.startsWith("<!"))
        return false; // a document type may declare entities
    const bool closing = rest.startsWith("</");
    qsizetype nameEnd = pos + (closing ? 2 : 1);
    const qsizetype nameStart = nameEnd;
    while (nameEnd < xml.size()) {
        const char c = xml.at(nameEnd);
        if (c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\n' || c == '\r')
            break;
        ++nameEnd;
    }
    if (nameEnd == nameStart)
        return false;
    markup->name = xml.sliced(nameStart, nameEnd - nameStart);
    char quote = 0;
    for (qsizetype i = nameEnd; i < xml.size(); ++i) {
        const char c = xml.at(i);
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            markup->end = i + 1;
            markup->kind = closing ? Markup::End : xml.at(i - 1) == '/' ? Markup::Empty : Markup::Start;
            return true;
        }
    }
    return false;
}

bool isRootName(QByteArrayView name)
{
    const qsizetype colon = name.lastIndexOf(':');
    return name.sliced(colon + 1) == "root";
}

// Byte offsets where the content of the first root element may be cut: its start, points
// between its top-level children, and its end. Empty when it cannot be cut safely.
QList<qsizetype> rootPieces(QByteArrayView xml, int pieces)
{
    qsizetype pos = 0;
    Markup markup;
    qsizetype contentBegin = -1;
    while ((pos = xml.indexOf('<', pos)) >= 0) {
        if (!scanMarkup(xml, pos, &markup))
            return {};
        pos = markup.end;
        if (markup.kind != Markup::Start && markup.kind != Markup::Empty)
            continue;
        if (!isRootName(markup.name))
            continue;
        if (markup.kind == Markup::Empty || markup.name != "root")
            return {};
        contentBegin = pos;
        break;
    }
    if (contentBegin < 0)
        return {};

    QList<qsizetype> candidates;
    int depth = 0;
    pos = contentBegin;
    while ((pos = xml.indexOf('<', pos)) >= 0) {
        if (!scanMarkup(xml, pos, &markup))
            return {};
        if (markup.kind != Markup::Other && isRootName(markup.name)) {
            if (markup.kind == Markup::End && depth == 0 && markup.name == "root")
                break;
            return {};
        }
        if (depth == 0 && markup.kind != Markup::End)
            candidates.append(pos);
        if (markup.kind == Markup::Start)
            ++depth;
        else if (markup.kind == Markup::End && --depth < 0)
            return {};
        pos = markup.end;
    }
    if (pos < 0)
        return {};
    const qsizetype contentEnd = pos;

    QList<qsizetype> cuts{contentBegin};
    const qsizetype step = (contentEnd - contentBegin) / pieces;
    for (const qsizetype candidate : std::as_const(candidates)) {
        if (cuts.size() < pieces && candidate >= cuts.last() + step)
            cuts.append(candidate);
    }
    cuts.append(contentEnd);
    return cuts;
}

// Below this much model text, one reader is about as quick.
constexpr qsizetype ThreadedModelBytes = qsizetype(2) * 1024 * 1024;

// The cells of the first root, read in pieces on several threads; false when the text
// is not one that may be cut (cells is then left empty).
bool readRootInPieces(const QByteArray &xml, QList<DrawioCell> *cells)
{
    const int threads = std::min(QThread::idealThreadCount(), 4);
    if (xml.size() < ThreadedModelBytes || threads < 2)
        return false;
    // The pieces are read as UTF-8: a document in another encoding, or one the reader
    // fails before its root, is left to the single reader.
    if (xml.startsWith("\xfe\xff") || xml.startsWith("\xff\xfe") || xml.startsWith('\0')
        || (xml.size() > 1 && xml.at(1) == '\0'))
        return false;
    const QList<qsizetype> cuts = rootPieces(xml, threads);
    if (cuts.size() < 3)
        return false;
    // The reader itself must reach that root without an error or a document type; the text
    // up to the root's start tag is all it needs for that.
    {
        QXmlStreamReader probe(xml.first(cuts.first()));
        bool atRoot = false;
        while (!probe.atEnd() && !atRoot) {
            const QXmlStreamReader::TokenType token = probe.readNext();
            if (token == QXmlStreamReader::DTD)
                return false;
            atRoot = token == QXmlStreamReader::StartElement && probe.name() == QLatin1String("root");
        }
        const QStringView encoding = probe.documentEncoding();
        if (!atRoot || probe.hasError()
            || (!encoding.isEmpty() && encoding.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0))
            return false;
    }

    struct Piece
    {
        QList<DrawioCell> cells;
        qsizetype growth = 0;
        bool readWhole = false;
        bool beyondBound = false;
    };
    QList<Piece> results(cuts.size() - 1);
    const auto readPiece = [&xml, &cuts, &results](qsizetype index) {
        const QByteArray text = "<root>" + xml.sliced(cuts.at(index), cuts.at(index + 1) - cuts.at(index))
                                + "</root>";
        QXmlStreamReader reader(text);
        Piece &piece = results[index];
        CellReader cellReader(reader, &piece.cells);
        cellReader.readRoot();
        piece.growth = cellReader.placeholderGrowth();
        piece.beyondBound = piece.cells.size() > DrawioMaxCells;
        piece.readWhole = !reader.hasError() && !cellReader.placeholdersExhausted();
    };
    runInParallel(int(results.size()), readPiece);

    qsizetype growth = 0;
    qsizetype total = 0;
    for (const Piece &piece : std::as_const(results)) {
        total += piece.cells.size();
        // Pieces read in order until one passes the bound hold more cells than it allows,
        // which is all the caller needs to know.
        if (piece.beyondBound || total > DrawioMaxCells) {
            for (Piece &kept : results) {
                cells->append(std::move(kept.cells));
                kept.cells = QList<DrawioCell>();
                if (cells->size() > DrawioMaxCells)
                    return true;
            }
        }
        if (!piece.readWhole)
            return false;
        growth += piece.growth;
    }
    // One budget holds for the whole model: pieces that spent more together are read again
    // by the single reader, which stops filling where the budget ends.
    if (growth > DrawioMaxPlaceholderGrowth)
        return false;
    // Each piece is let go as soon as it is taken: a model of a million cells is not held
    // twice.
    *cells = std::move(results.first().cells);
    for (qsizetype i = 1; i < results.size(); ++i) {
        cells->append(std::move(results[i].cells));
        results[i].cells = QList<DrawioCell>();
    }
    return true;
}

// ---------------------------------------------------------------------------------
// File reading

// The text of the page element the reader stands on, markup dropped, as
// QXmlStreamReader::readElementText(IncludeChildElements) gives it, but without
// recursing once per nested element.
QString readPageText(QXmlStreamReader &xml)
{
    QString text;
    int depth = 1;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            text += xml.text();
            break;
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            if (--depth == 0)
                return text;
            break;
        default:
            break;
        }
    }
    return text;
}

QByteArray withoutBlanks(const QByteArray &bytes)
{
    QByteArray result;
    result.reserve(bytes.size());
    for (const char c : bytes) {
        if (c != '\n' && c != '\r' && c != ' ')
            result.append(c);
    }
    return result;
}

// The model XML held by a page's trimmed text; inflation spends budget.
QByteArray pageModelXml(const QByteArray &page, InflateBudget *budget)
{
    if (page.startsWith('<'))
        return page;
    const QByteArray payload = withoutBlanks(page);
    const QByteArray decoded = QByteArray::fromBase64(payload);
    if (decoded.isEmpty())
        return payload;
    for (const int windowBits : {-15, 15, 31}) {
        QByteArray inflated;
        if (inflateBytes(decoded, &inflated, windowBits, budget))
            return QByteArray::fromPercentEncoding(inflated);
        if (budget->exceeded())
            return QByteArray();
    }
    if (decoded.trimmed().startsWith('<'))
        return decoded;
    return QByteArray::fromPercentEncoding(decoded);
}

// Stops early, false, once the pages have spent budget.
bool readFirstPageWithCells(const QByteArray &bytes, QList<DrawioCell> *cells, InflateBudget *budget)
{
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement
            || xml.name() != QLatin1String("diagram"))
            continue;
        const QByteArray page = readPageText(xml).toUtf8().trimmed();
        if (page.isEmpty())
            continue;
        const QByteArray model = pageModelXml(page, budget);
        if (budget->exceeded())
            return false;
        if (parseMxGraphXml(model, cells))
            return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------
// Cell indexes, built once per diagram so that no step rescans the whole list.

class CellIndex
{
public:
    explicit CellIndex(const QList<DrawioCell> &cells)
        : cells_(cells), walkBudget_(qint64(cells.size()) * 16 + 100000)
    {
        const qsizetype count = cells.size();
        byId_.reserve(count);
        bool repeatedIds = false;
        for (qsizetype i = 0; i < count; ++i) {
            bool added = false;
            // A repeated id finds the later cell.
            byId_.insertIfAbsent(cells.at(i).id, int(i), &added) = int(i);
            repeatedIds = repeatedIds || !added;
        }
        if (repeatedIds) {
            canonical_.reserve(count);
            for (const DrawioCell &cell : cells)
                canonical_.append(byId_.value(cell.id, -1));
        }

        // The non-edge cells under each cell their parent id finds, in list order, kept in
        // one flat array: no list per parent, and asking for a cell's children is no lookup.
        QList<qsizetype> parents(count, -1);
        firstChild_.fill(0, count + 1);
        for (qsizetype i = 0; i < count; ++i) {
            const DrawioCell &cell = cells.at(i);
            if (cell.edge)
                continue;
            const qsizetype parent = byId_.value(cell.parent, -1);
            parents[i] = parent;
            if (parent >= 0)
                ++firstChild_[parent + 1];
        }
        for (qsizetype i = 0; i < count; ++i)
            firstChild_[i + 1] += firstChild_[i];
        children_.resize(firstChild_.at(count));
        QList<qsizetype> next(firstChild_.cbegin(), firstChild_.cend() - 1);
        for (qsizetype i = 0; i < count; ++i) {
            if (parents.at(i) >= 0)
                children_[next[parents.at(i)]++] = i;
        }
    }

    const QList<DrawioCell> &cells() const { return cells_; }

    const DrawioCell *find(const QString &id) const
    {
        const int *position = byId_.find(id);
        return position ? &cells_.at(*position) : nullptr;
    }

    bool contains(const QString &id) const { return byId_.contains(id); }

    // Position of the cell id finds, -1 when none.
    qsizetype positionOf(const QString &id) const { return byId_.value(id, -1); }

    // Positions of the non-edge cells whose parent is the id of the cell at position, in
    // list order.
    QList<qsizetype> childrenOfCell(qsizetype position) const
    {
        const qsizetype owner = canonical_.isEmpty() ? position : canonical_.at(position);
        return QList<qsizetype>(children_.cbegin() + firstChild_.at(owner),
                                children_.cbegin() + firstChild_.at(owner + 1));
    }

    bool hasChildren(qsizetype position) const
    {
        const qsizetype owner = canonical_.isEmpty() ? position : canonical_.at(position);
        return firstChild_.at(owner + 1) > firstChild_.at(owner);
    }

    // Positions of the non-edge cells whose parent is id, in list order, also for an id
    // no cell carries.
    QList<qsizetype> childrenOf(const QString &id) const
    {
        const qsizetype position = positionOf(id);
        if (position >= 0)
            return childrenOfCell(position);
        QList<qsizetype> children;
        for (qsizetype i = 0; i < cells_.size(); ++i) {
            if (!cells_.at(i).edge && cells_.at(i).parent == id)
                children.append(i);
        }
        return children;
    }

    // Every step of a walk along parent or child links spends one unit of a budget that
    // normal drawings never come near. A crafted chain of tables, each a child of the
    // last, would otherwise make every table walk the rest of the chain: quadratic time
    // and text. Once spent, walks end where they are.
    bool spendWalkStep() const
    {
        if (walkBudget_ <= 0)
            return false;
        --walkBudget_;
        return true;
    }

private:
    const QList<DrawioCell> &cells_;
    StringTable byId_;
    QList<qsizetype> canonical_; // only when ids repeat: the position each cell's id finds
    QList<qsizetype> firstChild_;
    QList<qsizetype> children_;
    mutable qint64 walkBudget_ = 0;
};

bool isRowCell(qsizetype position, const StyleTraits &traits, const CellIndex &index)
{
    return traits.row || (traits.partialRectangle && index.hasChildren(position));
}

// Depth first over the descendants of cell, children ordered by y then x, each
// child's text before its descendants'. An explicit stack and a visited set keep
// deep chains and parent loops from exhausting the stack or running forever.
void collectDescendantLabels(const DrawioCell &cell, qsizetype cellPosition,
                             const CellIndex &index, QStringList *labels)
{
    const QList<DrawioCell> &cells = index.cells();
    const auto sorted = [&cells](QList<qsizetype> children) {
        if (children.size() > 1)
            std::stable_sort(children.begin(), children.end(), [&cells](qsizetype a, qsizetype b) {
            const double ay = finiteOrZero(cells.at(a).y);
            const double by = finiteOrZero(cells.at(b).y);
            if (ay != by)
                return ay < by;
            return finiteOrZero(cells.at(a).x) < finiteOrZero(cells.at(b).x);
        });
        return children;
    };

    struct Frame
    {
        QList<qsizetype> children;
        qsizetype next = 0;
    };
    QSet<qsizetype> visited;
    if (cellPosition >= 0)
        visited.insert(cellPosition);
    QList<Frame> stack;
    stack.append(Frame{sorted(index.childrenOf(cell.id)), 0});
    while (!stack.isEmpty()) {
        Frame &frame = stack.last();
        if (frame.next >= frame.children.size()) {
            stack.removeLast();
            continue;
        }
        const qsizetype child = frame.children.at(frame.next++);
        if (!index.spendWalkStep())
            return;
        if (visited.contains(child))
            continue;
        visited.insert(child);
        const QString text = cellLabelText(cells.at(child));
        if (!text.isEmpty())
            labels->append(text);
        QList<qsizetype> grandChildren = sorted(index.childrenOfCell(child));
        if (!grandChildren.isEmpty())
            stack.append(Frame{std::move(grandChildren), 0});
    }
}

QString cellTextWithDescendants(const DrawioCell &cell, qsizetype cellPosition,
                                const CellIndex &index)
{
    QStringList parts;
    const QString own = cellLabelText(cell);
    if (!own.isEmpty())
        parts.append(own);
    collectDescendantLabels(cell, cellPosition, index, &parts);
    return parts.join(QLatin1Char(' '));
}

// Position of cell in cells when it is one of the list's own records, else -1.
qsizetype positionInList(const DrawioCell &cell, const QList<DrawioCell> &cells)
{
    const std::less<const DrawioCell *> before;
    const DrawioCell *begin = cells.constData();
    const DrawioCell *end = begin + cells.size();
    if (!before(&cell, begin) && before(&cell, end))
        return &cell - begin;
    return -1;
}

// Name, type and key words of a row text that is plain text already. Row texts are
// gathered from labels that were each turned into plain text once; turning them into
// plain text again would take a decoded type such as MAP<STRING,INT> for a tag.
DrawioRow parsePlainAttributeText(const QString &text, double sortKey)
{
    DrawioRow row;
    row.sortY = sortKey;
    const QString plain = text.simplified();
    if (plain.isEmpty())
        return row;

    QStringList words;
    for (const QString &token : plain.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        QString word = token.toUpper();
        while (word.endsWith(QLatin1Char(',')) || word.endsWith(QLatin1Char(')')))
            word.chop(1);
        if (word.startsWith(QLatin1Char('(')))
            word.remove(0, 1);
        if (word == QLatin1String("PK") || word == QLatin1String("PKEY"))
            row.isPrimaryKey = true;
        else if (word == QLatin1String("FK")
                 || (word.startsWith(QLatin1String("FK")) && word.size() >= 3 && word.at(2).isDigit()))
            row.isForeignKey = true;
        else if (word == QLatin1String("UK") || word == QLatin1String("UQ"))
            row.isUniqueKey = true;
        else
            words.append(token);
    }

    const QString joined = words.join(QLatin1Char(' '));
    const qsizetype colon = joined.indexOf(QLatin1Char(':'));
    const qsizetype blank = joined.indexOf(QLatin1Char(' '), 1);
    if (colon >= 0) {
        row.name = joined.left(colon).trimmed();
        row.type = joined.mid(colon + 1).trimmed();
    } else if (blank >= 1) {
        row.name = joined.left(blank).trimmed();
        row.type = joined.mid(blank + 1).trimmed();
    } else {
        row.name = joined;
    }
    return row;
}

// ---------------------------------------------------------------------------------
// Diagram building

struct DrawioEntity
{
    QString id;
    QString title;
    bool isView = false;
    double x = 0;
    double y = 0;
    QList<DrawioRow> rows;
};

struct LineGroup
{
    double y = 0;
    QStringList texts;
    qsizetype firstCell = -1;
};

bool isRootCellId(const QString &id)
{
    return id == QLatin1String("0") || id == QLatin1String("1");
}

// x and y summed over the ancestors up to the root cells; a walk stops at an id met
// before or unknown.
QPointF absolutePosition(const DrawioCell &cell, const CellIndex &index)
{
    double x = cell.x;
    double y = cell.y;
    QSet<QString> met;
    QString current = cell.parent;
    while (!current.isEmpty() && !isRootCellId(current)) {
        const DrawioCell *ancestor = index.find(current);
        if (!ancestor || met.contains(current) || !index.spendWalkStep())
            break;
        met.insert(current);
        x += ancestor->x;
        y += ancestor->y;
        current = ancestor->parent;
    }
    return QPointF(finiteOrZero(x), finiteOrZero(y));
}

QString findEnclosingTableId(const QString &id, const CellIndex &index,
                             const QSet<QString> &tables)
{
    if (id.isEmpty())
        return QString();
    QSet<QString> met;
    QString current = id;
    for (;;) {
        met.insert(current);
        if (tables.contains(current))
            return current;
        const DrawioCell *cell = index.find(current);
        const QString parent = cell ? cell->parent : QString();
        if (parent.isEmpty() || met.contains(parent) || !index.spendWalkStep())
            return QString();
        current = parent;
    }
}

// mayBeTitle: the text is the table's topmost loose line, which may repeat the title; a row
// is never skipped for carrying the title's text (a column named like its table).
void addRow(DrawioEntity *entity, const QString &text, const DrawioCell &source,
            const StyleTraits &sourceTraits, double sortKey, bool mayBeTitle)
{
    if (text.isEmpty() || (mayBeTitle && text.compare(entity->title, Qt::CaseInsensitive) == 0))
        return;
    DrawioRow row = parsePlainAttributeText(text, sortKey);
    const int fontStyle = sourceTraits.fontStyle;
    if (fontStyle & 4)
        row.isPrimaryKey = true;
    if (fontStyle & 2)
        row.isForeignKey = true;
    if (source.primaryKey)
        row.isPrimaryKey = true;
    if (source.foreignKey)
        row.isForeignKey = true;
    if (source.unique)
        row.isUniqueKey = true;
    row.comment = source.comment;
    if (!row.name.isEmpty())
        entity->rows.append(row);
}

// Texts of loose children grouped into lines by their absolute height.
qint64 lineGroupKey(double absoluteY)
{
    constexpr double limit = 9007199254740992.0; // 2^53
    return std::llround(std::clamp(absoluteY / 8.0, -limit, limit));
}

DrawioEntity buildEntity(const QString &tableId, const CellIndex &index,
                         const QList<StyleTraits> &traits)
{
    const QList<DrawioCell> &cells = index.cells();
    const qsizetype tablePosition = index.positionOf(tableId);
    const DrawioCell &table = cells.at(tablePosition);
    DrawioEntity entity;
    entity.id = tableId;
    entity.title = firstLabelLine(table.value);
    entity.isView = traits.at(tablePosition).entityView;
    const QPointF position = absolutePosition(table, index);
    entity.x = position.x();
    entity.y = position.y();

    QList<qsizetype> rowCells;
    QList<qsizetype> otherChildren;
    for (const qsizetype child : index.childrenOfCell(tablePosition)) {
        if (cells.at(child).id == tableId)
            continue;
        if (isRowCell(child, traits.at(child), index))
            rowCells.append(child);
        else
            otherChildren.append(child);
    }

    if (!rowCells.isEmpty()) {
        for (const qsizetype rowCell : rowCells) {
            const DrawioCell &cell = cells.at(rowCell);
            addRow(&entity, cellTextWithDescendants(cell, rowCell, index), cell, traits.at(rowCell),
                   finiteOrZero(cell.y), false);
        }
    } else {
        QMap<qint64, LineGroup> groups;
        for (const qsizetype child : otherChildren) {
            const DrawioCell &cell = cells.at(child);
            const QString text = cellTextWithDescendants(cell, child, index);
            if (text.isEmpty())
                continue;
            const double absoluteY = absolutePosition(cell, index).y();
            LineGroup &group = groups[lineGroupKey(absoluteY)];
            group.y = absoluteY;
            group.texts.append(text);
            if (group.firstCell < 0)
                group.firstCell = child;
        }
        bool topmost = true;
        for (const LineGroup &group : std::as_const(groups)) {
            addRow(&entity, group.texts.join(QLatin1Char(' ')), cells.at(group.firstCell),
                   traits.at(group.firstCell), group.y, topmost);
            topmost = false;
        }
    }

    if (entity.rows.isEmpty()) {
        const QStringList lines =
            htmlToPlainText(table.value).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const DrawioRow row = parsePlainAttributeText(lines.at(i), double(i));
            if (!row.name.isEmpty())
                entity.rows.append(row);
        }
    }

    std::stable_sort(entity.rows.begin(), entity.rows.end(),
                     [](const DrawioRow &a, const DrawioRow &b) { return a.sortY < b.sortY; });
    if (entity.title.isEmpty())
        entity.title = QStringLiteral("Entity");
    return entity;
}

enum EntityKey { EntityId, EntityTitle, EntityX, EntityY, EntityAttributes, EntityKind };
enum RowKey { RowName, RowType, RowPrimary, RowUnique, RowForeign, RowComment };

// The shapes of the objects of a table, of a view and of a row.
struct EntityShapes
{
    static QList<QLatin1String> entityKeys()
    {
        return {QLatin1String("id"), QLatin1String("title"), QLatin1String("x"), QLatin1String("y"),
                QLatin1String("attributes"), QLatin1String("kind")};
    }

    const JsonObjectShape table{entityKeys(), ~(1u << EntityKind)};
    const JsonObjectShape view{entityKeys()};
    static QList<QLatin1String> rowKeys()
    {
        return {QLatin1String("name"), QLatin1String("type"), QLatin1String("isPrimaryKey"),
                QLatin1String("isUniqueKey"), QLatin1String("isForeignKey"), QLatin1String("comment")};
    }

    const JsonObjectShape row{rowKeys(), ~(1u << RowComment)};
    const JsonObjectShape commentedRow{rowKeys()};
};

QJsonObject entityObject(const DrawioEntity &entity, const QString &id, const EntityShapes &shapes)
{
    QJsonArray attributes;
    for (const DrawioRow &row : entity.rows) {
        const JsonObjectShape &rowShape = row.comment.isEmpty() ? shapes.row : shapes.commentedRow;
        QJsonObject attribute = rowShape.object();
        rowShape.value(attribute, RowName) = row.name;
        rowShape.value(attribute, RowType) = row.type;
        rowShape.value(attribute, RowPrimary) = row.isPrimaryKey;
        rowShape.value(attribute, RowUnique) = row.isUniqueKey;
        rowShape.value(attribute, RowForeign) = row.isForeignKey;
        if (!row.comment.isEmpty())
            rowShape.value(attribute, RowComment) = row.comment;
        attributes.append(attribute);
    }
    const JsonObjectShape &shape = entity.isView ? shapes.view : shapes.table;
    QJsonObject object = shape.object();
    shape.value(object, EntityId) = id;
    shape.value(object, EntityTitle) = entity.title;
    shape.value(object, EntityX) = entity.x;
    shape.value(object, EntityY) = entity.y;
    if (entity.isView)
        shape.value(object, EntityKind) = QStringLiteral("entity-view");
    shape.value(object, EntityAttributes) = attributes;
    return object;
}

} // namespace

// -------------------------------------------------------------------------------------
// File reading

QJsonObject parseDrawioFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Could not open the draw.io file.");
        return QJsonObject();
    }
    QByteArray bytes;
    if (!readBoundedFile(file, MaxReadFileBytes, &bytes)) {
        if (error)
            *error = file.error() == QFileDevice::NoError
                ? QStringLiteral("The draw.io file is larger than 512 MiB.")
                : QStringLiteral("Could not open the draw.io file.");
        return QJsonObject();
    }
    file.close();

    QList<DrawioCell> cells;
    // One budget for the whole file: twenty pages just under the cap would otherwise cost
    // twenty times the work before saying nothing was found.
    InflateBudget budget(DrawioMaxInflatedBytes);
    if (!parseMxGraphXml(bytes, &cells) && !readFirstPageWithCells(bytes, &cells, &budget)) {
        if (error)
            *error = budget.exceeded()
                ? QStringLiteral("The compressed pages of the draw.io file inflate to more than %1 MiB.")
                      .arg(DrawioMaxInflatedBytes / (1024 * 1024))
                : QStringLiteral("No draw.io diagram was found in the file.");
        return QJsonObject();
    }
    bytes = QByteArray();
    const QLocale english(QLocale::English);
    if (cells.size() > DrawioMaxCells) {
        if (error)
            *error = QStringLiteral("The draw.io diagram holds more than %1 cells.")
                         .arg(english.toString(qlonglong(DrawioMaxCells)));
        return QJsonObject();
    }

    bool tooManyTables = false;
    QJsonObject document = buildDrawioDiagramJson(cells, &tooManyTables);
    if (tooManyTables) {
        if (error)
            *error = QStringLiteral("The draw.io diagram holds more than %1 tables.")
                         .arg(english.toString(qlonglong(DrawioMaxEntities)));
        return QJsonObject();
    }
    const QJsonValue entities = document.value(QLatin1String("entities"));
    if (!entities.isArray() || entities.toArray().isEmpty()) {
        if (error)
            *error = QStringLiteral("No ER entities were recognized in the draw.io file.");
        return QJsonObject();
    }
    return document;
}

// -------------------------------------------------------------------------------------
// Value conversions

bool parseBoolAttribute(const QString &text)
{
    return text.compare(QLatin1String("1"), Qt::CaseInsensitive) == 0
           || text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
           || text.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
}

int cardinalityFromArrow(QString arrowName)
{
    arrowName = arrowName.trimmed();
    static const struct
    {
        const char *name;
        int code;
    } arrows[] = {
        {"ERzeroToMany", 3}, {"ERmany", 3},     {"ERoneToMany", 1}, {"ERmandOneToMany", 1},
        {"ERzeroToOne", 2},  {"ERmandOne", 0}, {"ERone", 0},
    };
    for (const auto &arrow : arrows) {
        if (arrowName.compare(QLatin1String(arrow.name), Qt::CaseInsensitive) == 0)
            return arrow.code;
    }
    return 0;
}

bool isEdgeLabelStyle(const QString &style)
{
    return edgeLabelStyle(FoldedStyle(style));
}

namespace {

// Removes every "<...>" holding at least one character, in one forward pass: the
// same result as replacing "<[^>]+>" with nothing, in linear time.
QString removeTags(const QString &text)
{
    QString result;
    result.reserve(text.size());
    qsizetype from = 0;
    for (;;) {
        const qsizetype open = text.indexOf(QLatin1Char('<'), from);
        if (open < 0)
            break;
        const qsizetype close = text.indexOf(QLatin1Char('>'), open + 1);
        if (close < 0)
            break; // no later "<" can find a ">" either
        if (close == open + 1) {
            result += QStringView(text).mid(from, open + 1 - from);
            from = open + 1;
            continue;
        }
        result += QStringView(text).mid(from, open - from);
        from = close + 1;
    }
    result += QStringView(text).mid(from);
    return result;
}

} // namespace

QString htmlToPlainText(QString html)
{
    if (html.contains(QLatin1Char('<'))) {
        static const QRegularExpression blockEnd(QStringLiteral("</(?:p|div|tr|li|h[1-6])>"),
                                                 QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression rule(QStringLiteral("<hr\\s*/?>"),
                                             QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression lineBreak(QStringLiteral("<br\\s*/?>"),
                                                  QRegularExpression::CaseInsensitiveOption);
        html.replace(blockEnd, QStringLiteral("\n"));
        html.replace(rule, QStringLiteral("\n"));
        html.replace(lineBreak, QStringLiteral("\n"));
        html = removeTags(html);
    }
    if (html.contains(QLatin1Char('&'))) {
        html.replace(QLatin1String("&nbsp;"), QLatin1String(" "));
        html.replace(QLatin1String("&amp;"), QLatin1String("&"));
        html.replace(QLatin1String("&lt;"), QLatin1String("<"));
        html.replace(QLatin1String("&gt;"), QLatin1String(">"));
        html.replace(QLatin1String("&quot;"), QLatin1String("\""));
        html.replace(QLatin1String("&#xa;"), QLatin1String("\n"), Qt::CaseInsensitive);
        html.replace(QLatin1String("&#10;"), QLatin1String("\n"));
    }
    html.replace(QChar(0x00A0), QLatin1Char(' '));
    return html.trimmed();
}

QString cellLabelText(const DrawioCell &cell)
{
    return htmlToPlainText(cell.value).simplified();
}

QString firstLabelLine(const QString &label)
{
    const QString text = htmlToPlainText(label);
    const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'));
    return (lineEnd < 0 ? text : text.left(lineEnd)).simplified();
}

// -------------------------------------------------------------------------------------
// Cell reading

bool parseMxGraphXml(const QByteArray &xml, QList<DrawioCell> *cells)
{
    if (!cells)
        return false;
    cells->clear();
    if (readRootInPieces(xml, cells))
        return !cells->isEmpty();
    cells->clear();
    QXmlStreamReader reader(xml);
    CellReader cellReader(reader, cells);
    if (!cellReader.readRoot())
        return false;
    return !cells->isEmpty();
}

// -------------------------------------------------------------------------------------
// Style parsing and shape classification

QString styleValue(const QString &style, const QString &key)
{
    const QStringView text(style);
    QStringView found;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(QLatin1Char(';'), start);
        if (end < 0)
            end = text.size();
        const QStringView part = text.mid(start, end - start);
        const qsizetype equals = part.indexOf(QLatin1Char('='));
        if (equals >= 1 && part.left(equals).trimmed() == key)
            found = part.mid(equals + 1).trimmed();
        start = end + 1;
    }
    return found.toString();
}

bool isTableStyle(const QString &style)
{
    return tableStyle(FoldedStyle(style), shapeName(style));
}

bool isRowStyle(const QString &style)
{
    return rowStyle(FoldedStyle(style), shapeName(style));
}

bool isPartialRectangleStyle(const QString &style)
{
    return shapeName(style) == QLatin1String("partialrectangle");
}

bool isRelationshipShapeStyle(const QString &style)
{
    return relationshipShape(shapeName(style));
}

bool isRowCell(const DrawioCell &cell, const QList<DrawioCell> &cells)
{
    if (isRowStyle(cell.style))
        return true;
    if (!isPartialRectangleStyle(cell.style))
        return false;
    return std::any_of(cells.cbegin(), cells.cend(), [&cell](const DrawioCell &other) {
        return !other.edge && other.parent == cell.id;
    });
}

// -------------------------------------------------------------------------------------
// Diagram building

QJsonObject buildDrawioDiagramJson(const QList<DrawioCell> &cells, bool *tooManyTables)
{
    if (tooManyTables)
        *tooManyTables = false;
    const CellIndex index(cells);

    QSet<QString> tableSet;
    QStringList tableOrder;
    const auto collectTableId = [&](const QString &id) {
        if (id.isEmpty() || isRootCellId(id) || tableSet.contains(id) || !index.contains(id))
            return;
        tableSet.insert(id);
        tableOrder.append(id);
    };
    // Collecting stops one table beyond the bound: that is enough to refuse the file.
    const auto beyondBound = [&tableOrder] { return tableOrder.size() > DrawioMaxEntities; };

    const QList<StyleTraits> traits = classifyCells(cells);

    for (qsizetype i = 0; i < cells.size() && !beyondBound(); ++i) {
        const DrawioCell &cell = cells.at(i);
        if (!cell.vertex || cell.edge || traits.at(i).excludedFromTables)
            continue;
        if (traits.at(i).table) {
            collectTableId(cell.id);
            continue;
        }
        if (traits.at(i).entityKind)
            collectTableId(cell.id);
    }
    // Rows make their container a table whatever its style says.
    for (qsizetype i = 0; i < cells.size() && !beyondBound(); ++i) {
        if (!cells.at(i).edge && isRowCell(i, traits.at(i), index))
            collectTableId(cells.at(i).parent);
    }
    // Nothing looks like a table: every top-level shape becomes one.
    if (tableOrder.isEmpty()) {
        for (qsizetype i = 0; i < cells.size() && !beyondBound(); ++i) {
            const DrawioCell &cell = cells.at(i);
            if (cell.vertex && !cell.edge && !traits.at(i).excludedFromTables
                && isRootCellId(cell.parent))
                collectTableId(cell.id);
        }
    }

    if (beyondBound()) {
        if (tooManyTables)
            *tooManyTables = true;
        return QJsonObject();
    }

    QList<DrawioEntity> entities;
    entities.reserve(tableOrder.size());
    for (const QString &tableId : std::as_const(tableOrder))
        entities.append(buildEntity(tableId, index, traits));
    if (entities.isEmpty())
        return QJsonObject();

    ImportIdSource ids;
    QHash<QString, QString> entityIdByTable;
    QJsonArray entityArray;
    const EntityShapes shapes;
    for (const DrawioEntity &entity : std::as_const(entities)) {
        const QString id = ids.next();
        entityIdByTable.insert(entity.id, id);
        entityArray.append(entityObject(entity, id, shapes));
    }

    QJsonArray edgeArray;
    for (const DrawioCell &cell : cells) {
        if (!cell.edge || cell.source.isEmpty() || cell.target.isEmpty())
            continue;
        const QString from = findEnclosingTableId(cell.source, index, tableSet);
        const QString to = findEnclosingTableId(cell.target, index, tableSet);
        // A connector from a table back to itself is a self-relationship.
        if (from.isEmpty() || to.isEmpty())
            continue;
        QJsonObject edge;
        edge.insert(QStringLiteral("id"), ids.next());
        edge.insert(QStringLiteral("from"), entityIdByTable.value(from));
        edge.insert(QStringLiteral("to"), entityIdByTable.value(to));
        edge.insert(QStringLiteral("startCard"),
                    cardinalityFromArrow(styleValue(cell.style, QStringLiteral("startArrow"))));
        edge.insert(QStringLiteral("endCard"),
                    cardinalityFromArrow(styleValue(cell.style, QStringLiteral("endArrow"))));
        const QString label = firstLabelLine(cell.value);
        if (!label.isEmpty())
            edge.insert(QStringLiteral("label"), label);
        // A dashed connector draws a non-identifying relationship.
        if (styleValue(cell.style, QStringLiteral("dashed")) == QLatin1String("1"))
            edge.insert(QStringLiteral("identifying"), false);
        edgeArray.append(edge);
    }

    QJsonObject document;
    document.insert(QStringLiteral("version"), QStringLiteral("1.0"));
    document.insert(QStringLiteral("type"), QStringLiteral("er-diagram"));
    document.insert(QStringLiteral("entities"), entityArray);
    document.insert(QStringLiteral("edges"), edgeArray);
    return document;
}

// -------------------------------------------------------------------------------------
// Attribute row text

DrawioRow parseAttributeLabel(const QString &text, double sortKey)
{
    return parsePlainAttributeText(htmlToPlainText(text), sortKey);
}

QString cellTextWithDescendants(const DrawioCell &cell, const QList<DrawioCell> &cells)
{
    const CellIndex index(cells);
    return cellTextWithDescendants(cell, positionInList(cell, cells), index);
}

void collectDescendantLabels(const DrawioCell &cell, const QList<DrawioCell> &cells,
                             QStringList *labels)
{
    if (!labels)
        return;
    const CellIndex index(cells);
    collectDescendantLabels(cell, positionInList(cell, cells), index, labels);
}
