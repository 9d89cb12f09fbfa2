#include "mermaidwriter.h"

#include "mermaidreader.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QSaveFile>

namespace {

bool isAsciiLetter(char32_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiDigit(char32_t c)
{
    return c >= '0' && c <= '9';
}

bool isNonAsciiLetter(char32_t c)
{
    return c > 0x7f && QChar::isLetter(c);
}

bool isNonAsciiLetterOrNumber(char32_t c)
{
    return c > 0x7f && QChar::isLetterOrNumber(c);
}

QList<char32_t> codePoints(const QString &text)
{
    QList<char32_t> out;
    const QList<uint> ucs4 = text.toUcs4();
    out.reserve(ucs4.size());
    for (const uint c : ucs4)
        out.append(char32_t(c));
    return out;
}

bool isReservedWord(const QString &text)
{
    static const char *const reserved[] = {"erDiagram", "direction", "style", "classDef", "class"};
    for (const char *word : reserved) {
        if (text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Attribute names and types keep letters, digits and a few bracket characters.
QString mapAttributeCharacters(const QString &text, bool keepComma)
{
    QList<char32_t> out;
    for (const char32_t c : codePoints(text.trimmed())) {
        if (QChar::isSpace(c))
            out.append(U'_');
        else if (isAsciiLetter(c) || isAsciiDigit(c) || c == '(' || c == ')' || c == '-'
                 || c == '[' || c == ']' || c == '_' || (keepComma && c == ',')
                 || isNonAsciiLetterOrNumber(c))
            out.append(c);
    }
    return QString::fromUcs4(out.constData(), out.size());
}

char32_t firstCodePoint(const QString &text)
{
    if (text.isEmpty())
        return 0;
    if (text.size() > 1 && text.at(0).isHighSurrogate() && text.at(1).isLowSurrogate())
        return QChar::surrogateToUcs4(text.at(0), text.at(1));
    return text.at(0).unicode();
}

QString usedKey(const QString &name)
{
    // The reader matches names with this folding, so two names equal under it would merge.
    return name.toCaseFolded();
}

QString writtenMarkers(const QJsonObject &attribute)
{
    QStringList markers;
    if (attribute.value(QStringLiteral("isPrimaryKey")).toBool())
        markers.append(QStringLiteral("PK"));
    if (attribute.value(QStringLiteral("isForeignKey")).toBool())
        markers.append(QStringLiteral("FK"));
    if (attribute.value(QStringLiteral("isUniqueKey")).toBool())
        markers.append(QStringLiteral("UK"));
    return markers.join(QLatin1String(", "));
}

int writtenCard(const QJsonValue &value)
{
    const int card = value.toInt(MermaidCardinality::Many);
    return card >= MermaidCardinality::One && card <= MermaidCardinality::ZeroOrMany
               ? card
               : MermaidCardinality::Many;
}

// The names of an entity's attribute lines, in row order: a row whose name repairs to
// nothing, though it had one, is written as attribute_<row number> (made unique in the
// entity); a row without a name stays out (empty entry).
QStringList writtenAttributeNames(const QJsonArray &attributes)
{
    QStringList names;
    QSet<QString> used;
    for (const QJsonValue &value : attributes) {
        const QString name =
            sanitizeMermaidAttributeName(value.toObject().value(QStringLiteral("name")).toString());
        names.append(name);
        used.insert(name.toCaseFolded());
    }
    for (int a = 0; a < attributes.size(); ++a) {
        if (!names.at(a).isEmpty()
            || attributes.at(a).toObject().value(QStringLiteral("name")).toString().trimmed().isEmpty())
            continue;
        const QString base = QStringLiteral("attribute_%1").arg(a + 1);
        QString name = base;
        for (int suffix = 2; used.contains(name.toCaseFolded()); ++suffix)
            name = base + u'_' + QString::number(suffix);
        used.insert(name.toCaseFolded());
        names[a] = name;
    }
    return names;
}

} // namespace

bool isValidMermaidIdentifier(const QString &text)
{
    if (text.isEmpty())
        return false;
    const QList<char32_t> chars = codePoints(text);
    const char32_t first = chars.first();
    if (!isAsciiLetter(first) && first != '_' && !isNonAsciiLetter(first))
        return false;
    for (const char32_t c : chars) {
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != '_' && c != '-'
            && !isNonAsciiLetterOrNumber(c))
            return false;
    }
    return !isReservedWord(text);
}

QString sanitizeMermaidEntityName(const QString &text)
{
    QList<char32_t> kept;
    for (const char32_t c : codePoints(text.trimmed())) {
        if (QChar::isSpace(c))
            kept.append(U'_');
        else if (isAsciiLetter(c) || isAsciiDigit(c) || c == '_' || c == '-'
                 || isNonAsciiLetterOrNumber(c))
            kept.append(c);
    }
    QString out = QString::fromUcs4(kept.constData(), kept.size());
    int leadingHyphens = 0;
    while (leadingHyphens < out.size() && out.at(leadingHyphens) == u'-')
        ++leadingHyphens;
    out.remove(0, leadingHyphens);
    if (out.isEmpty())
        return QStringLiteral("Entity");
    if (QChar::isDigit(firstCodePoint(out)))
        out.prepend(u'e');
    if (!isValidMermaidIdentifier(out)) {
        out += u'_';
        if (!isValidMermaidIdentifier(out))
            return QStringLiteral("Entity");
    }
    return out;
}

QString uniqueMermaidName(const QString &base, MermaidUsedNames &used)
{
    const QString baseKey = usedKey(base);
    int suffix = used.nextSuffix.value(baseKey, 1);
    for (;; ++suffix) {
        const QString candidate = suffix == 1 ? base : base + u'_' + QString::number(suffix);
        const QString key = usedKey(candidate);
        if (!used.names.contains(key)) {
            used.names.insert(key);
            used.nextSuffix.insert(baseKey, suffix + 1);
            return candidate;
        }
    }
}

QString sanitizeMermaidAttributeName(const QString &text)
{
    QString out = mapAttributeCharacters(text, false);
    if (out.isEmpty())
        return out;
    const char32_t first = firstCodePoint(out);
    if (!QChar::isLetter(first) && !QChar::isDigit(first) && first != '_')
        out.prepend(u'_');
    return out;
}

QString sanitizeMermaidType(const QString &text)
{
    // The comma stays: decimal(10,2) is a different type from decimal(102).
    QString out = mapAttributeCharacters(text, true);
    if (out.isEmpty())
        return QStringLiteral("string");
    if (!QChar::isLetter(firstCodePoint(out)))
        out.prepend(u't');
    return out;
}

// Mermaid's quoted strings have no escape and end at a line: a double quote becomes a single
// one and a line break (or any other control character) a blank.
static QString quotableText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'"')
            out += u'\'';
        else if (c.category() == QChar::Other_Control || c == QChar::LineSeparator
                 || c == QChar::ParagraphSeparator)
            out += u' ';
        else
            out += c;
    }
    return out;
}

QString quoteMermaidString(const QString &text)
{
    // "%%" right after the opening quote would start a Mermaid comment; a single "%" cannot.
    QString out = quotableText(text);
    for (qsizetype at = out.indexOf(QLatin1String("%%")); at >= 0; at = out.indexOf(QLatin1String("%%"), at))
        out.remove(at, 1);
    return u'"' + out + u'"';
}

QString mermaidAliasText(const QString &title)
{
    // An alias is a quoted entity name, which may hold neither "%" nor a backslash.
    QString out = quotableText(title);
    out.remove(u'%');
    out.remove(u'\\');
    return out.trimmed();
}

QString generateMermaidText(const QJsonObject &diagram)
{
    const QJsonArray entities = diagram.value(QStringLiteral("entities")).toArray();

    // A repeated id names one entity: the last one with it is written.
    QHash<QString, int> lastIndexOfId;
    for (int i = 0; i < entities.size(); ++i) {
        const QString id = entities.at(i).toObject().value(QStringLiteral("id")).toString();
        if (!id.isEmpty())
            lastIndexOfId.insert(id, i);
    }

    MermaidUsedNames used;
    QHash<QString, QString> identifiers;
    QHash<QString, QString> declarations;
    for (int i = 0; i < entities.size(); ++i) {
        const QJsonObject entity = entities.at(i).toObject();
        const QString id = entity.value(QStringLiteral("id")).toString();
        if (id.isEmpty() || lastIndexOfId.value(id) != i)
            continue;
        QString title = entity.value(QStringLiteral("title")).toString().trimmed();
        if (title.isEmpty())
            title = id;
        if (isValidMermaidIdentifier(title) && !used.names.contains(usedKey(title))) {
            used.names.insert(usedKey(title));
            identifiers.insert(id, title);
            declarations.insert(id, title);
            continue;
        }
        const QString name = uniqueMermaidName(sanitizeMermaidEntityName(title), used);
        const QString alias = mermaidAliasText(title);
        identifiers.insert(id, name);
        declarations.insert(id, alias.isEmpty() || alias == name
                                    ? name
                                    : name + u'[' + quoteMermaidString(alias) + u']');
    }

    QString text = QStringLiteral("erDiagram\n");
    for (int i = 0; i < entities.size(); ++i) {
        const QJsonObject entity = entities.at(i).toObject();
        const QString id = entity.value(QStringLiteral("id")).toString();
        if (id.isEmpty() || lastIndexOfId.value(id) != i)
            continue;
        text += QLatin1String("    ") + declarations.value(id);
        const QJsonArray attributes = entity.value(QStringLiteral("attributes")).toArray();
        if (attributes.isEmpty()) {
            text += u'\n';
            continue;
        }
        text += QLatin1String(" {\n");
        const QStringList names = writtenAttributeNames(attributes);
        for (int a = 0; a < attributes.size(); ++a) {
            const QJsonObject attribute = attributes.at(a).toObject();
            const QString &name = names.at(a);
            if (name.isEmpty())
                continue;
            text += QLatin1String("        ")
                    + sanitizeMermaidType(attribute.value(QStringLiteral("type")).toString())
                    + u' ' + name;
            const QString markers = writtenMarkers(attribute);
            if (!markers.isEmpty())
                text += u' ' + markers;
            const QString comment = attribute.value(QStringLiteral("comment")).toString();
            if (!comment.isEmpty())
                text += u' ' + quoteMermaidString(comment);
            text += u'\n';
        }
        text += QLatin1String("    }\n");
    }

    const QJsonArray edges = diagram.value(QStringLiteral("edges")).toArray();
    for (const QJsonValue &value : edges) {
        const QJsonObject edge = value.toObject();
        if (edge.value(QStringLiteral("kind")).toString() == QLatin1String("entity-view-edge"))
            continue;
        const QString from = identifiers.value(edge.value(QStringLiteral("from")).toString());
        const QString to = identifiers.value(edge.value(QStringLiteral("to")).toString());
        if (from.isEmpty() || to.isEmpty())
            continue;
        const bool identifying = edge.value(QStringLiteral("identifying")).toBool(true);
        text += QLatin1String("    ") + from + u' '
                + mermaidLeftCardinalitySymbol(writtenCard(edge.value(QStringLiteral("startCard"))))
                + (identifying ? QLatin1String("--") : QLatin1String(".."))
                + mermaidRightCardinalitySymbol(writtenCard(edge.value(QStringLiteral("endCard"))))
                + u' ' + to + QLatin1String(" : ")
                + quoteMermaidString(edge.value(QStringLiteral("label")).toString()) + u'\n';
    }
    return text;
}

bool writeMermaidFile(const QJsonObject &diagram, const QString &path, QString *error)
{
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("No destination file was specified.");
        return false;
    }

    QString text = generateMermaidText(diagram);
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("md") || suffix == QLatin1String("markdown")) {
        if (!text.endsWith(u'\n'))
            text += u'\n';
        text = QLatin1String("```mermaid\n") + text + QLatin1String("```\n");
    }

    // The old file is replaced only once the new text is completely on disk.
    QSaveFile file(path);
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("Could not write the Mermaid file.");
        return false;
    }
    return true;
}
