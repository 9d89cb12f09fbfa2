#include "mermaidreader.h"

#include "boundedfile.h"
#include "importids.h"
#include "jsonobjectshape.h"
#include "parallelruns.h"

#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

bool isBlank(QChar c)
{
    return c.isSpace();
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

bool startsWithAt(const QString &text, int pos, QLatin1String word,
                  Qt::CaseSensitivity cs = Qt::CaseSensitive)
{
    if (pos < 0 || pos + word.size() > text.size())
        return false;
    return QStringView(text).mid(pos, word.size()).compare(word, cs) == 0;
}

bool isTwoDots(const QString &text, int pos)
{
    return pos + 1 < text.size() && text.at(pos) == u'.' && text.at(pos + 1) == u'.';
}

// Letters and digits of any script, surrogate pairs included.
bool isLetterOrDigitAt(const QString &text, int pos)
{
    const QChar c = text.at(pos);
    if (c.isHighSurrogate() && pos + 1 < text.size() && text.at(pos + 1).isLowSurrogate()) {
        const char32_t ucs4 = QChar::surrogateToUcs4(c, text.at(pos + 1));
        return QChar::isLetter(ucs4) || QChar::isDigit(ucs4);
    }
    return c.isLetter() || c.isDigit();
}

// The folding QString::compare uses for Qt::CaseInsensitive.
QString foldedKey(const QString &text)
{
    return text.toCaseFolded();
}

} // namespace

// --- Entity lookup -------------------------------------------------------------------

namespace {

// A name or title with its hashes, as written and case-folded, made where a statement is
// read, so that the one thread that fills the table only probes it.
struct MentionKey
{
    MentionKey() = default;
    explicit MentionKey(const QString &text)
        : hash(StringTable::hashOf(text)), folded(foldedKey(text)), foldedHash(StringTable::hashOf(folded))
    {
    }

    bool isNull() const { return folded.isNull(); }

    size_t hash = 0;
    QString folded;
    size_t foldedHash = 0;
};

const int *lookUpEntity(const MermaidEntityTable &table, const QString &text, const MentionKey &key)
{
    if (const int *exact = table.firstIndexByKey.find(text, key.hash))
        return exact;
    return table.firstIndexByAliasKey.find(key.folded, key.foldedHash);
}

// Enters an entity's title: as written, and case-folded when it is an alias of its own.
void addTitleKeys(MermaidEntityTable &table, int index, const QString &title, const MentionKey &titleKey)
{
    table.firstIndexByKey.insertIfAbsent(title, titleKey.hash, index);
    if (title.compare(table.entities.at(index).name, Qt::CaseInsensitive) != 0)
        table.firstIndexByAliasKey.insertIfAbsent(titleKey.folded, titleKey.foldedHash, index);
}

// text is the statement's name, or its title when it has no name; titleKey is null when
// the title is empty or is text itself, which adds no key of its own.
int resolveEntity(MermaidEntityTable &table, const QString &text, const MentionKey &key,
                  const QString &title, const MentionKey &titleKey)
{
    if (text.isEmpty())
        return -1;

    // A named statement is resolved by its name alone: looking its title up as well would
    // merge a new entity into another one that merely shows the same title.
    if (const int *found = lookUpEntity(table, text, key)) {
        const int index = *found;
        MermaidEntity &entity = table.entities[index];
        if (!title.isEmpty()
            && (entity.alias.isEmpty()
                || entity.alias.compare(entity.name, Qt::CaseInsensitive) == 0)) {
            entity.alias = title;
            if (!titleKey.isNull())
                addTitleKeys(table, index, title, titleKey);
        }
        return index;
    }

    const int index = int(table.entities.size());
    MermaidEntity entity;
    entity.name = text;
    entity.alias = title.isEmpty() ? text : title;
    table.entities.append(std::move(entity));
    table.firstIndexByKey.insertIfAbsent(text, key.hash, index);
    if (!titleKey.isNull())
        addTitleKeys(table, index, title, titleKey);
    return index;
}

} // namespace

int indexOfMermaidEntity(const MermaidEntityTable &table, const QString &key)
{
    if (key.isEmpty())
        return -1;
    const int *found = lookUpEntity(table, key, MentionKey(key));
    return found ? *found : -1;
}

int findMermaidEntity(MermaidEntityTable &table, const QString &name, const QString &title)
{
    const QString &text = name.isEmpty() ? title : name;
    return resolveEntity(table, text, MentionKey(text), title,
                         !title.isEmpty() && title != text ? MentionKey(title) : MentionKey());
}

// --- Scanner steps -------------------------------------------------------------------

void skipMermaidBlanks(const QString &text, int &pos)
{
    const int n = int(text.size());
    while (pos < n && isBlank(text.at(pos)))
        ++pos;
}

void skipMermaidComments(const QString &text, int &pos)
{
    const int n = int(text.size());
    for (;;) {
        const int before = pos;
        skipMermaidBlanks(text, pos);
        if (pos + 1 < n && text.at(pos) == u'%' && text.at(pos + 1) == u'%') {
            if (pos + 2 < n && text.at(pos + 2) == u'{') {
                const int end = int(text.indexOf(QLatin1String("}%%"), pos + 3));
                pos = end < 0 ? n : end + 3;
            } else {
                const int end = int(text.indexOf(u'\n', pos + 2));
                pos = end < 0 ? n : end;
            }
        }
        if (pos == before)
            return;
    }
}

namespace {

// The class suffix after comments skipped by skipComments(pos).
template <typename SkipComments>
void skipClassSuffix(const QString &text, int &pos, SkipComments skipComments)
{
    skipComments(pos);
    if (!startsWithAt(text, pos, QLatin1String(":::")))
        return;
    pos += 3;
    const int n = int(text.size());
    while (pos < n) {
        const QChar c = text.at(pos);
        if (isBlank(c) || c == u'[' || c == u'{' || c == u'|' || c == u'}' || isTwoDots(text, pos))
            break;
        ++pos;
    }
}

auto plainCommentSkip(const QString &text)
{
    return [&text](int &pos) { skipMermaidComments(text, pos); };
}

} // namespace

void skipMermaidClassSuffix(const QString &text, int &pos)
{
    skipClassSuffix(text, pos, plainCommentSkip(text));
}

QString readMermaidWord(const QString &text, int &pos)
{
    skipMermaidBlanks(text, pos);
    const int n = int(text.size());
    const int start = pos;
    while (pos < n && !isBlank(text.at(pos)) && text.at(pos) != u'"')
        ++pos;
    return text.mid(start, pos - start);
}

// Characters of a double-quoted text after its opening quote; a backslash makes the next
// character literal. Consumes the closing quote. A quote left open ends before the line
// break (or at the end of the text), with *closed false, so it never swallows later lines.
static QString readQuoted(const QString &text, int &pos, bool *closed)
{
    const int n = int(text.size());
    QString out;
    while (pos < n) {
        const QChar c = text.at(pos);
        if (c == u'\n')
            break;
        if (c == u'\\') {
            if (pos + 1 < n && text.at(pos + 1) != u'\n') {
                out += text.at(pos + 1);
                pos += 2;
            } else {
                out += c;
                ++pos;
            }
            continue;
        }
        ++pos;
        if (c == u'"') {
            if (closed)
                *closed = true;
            return out;
        }
        out += c;
    }
    if (closed)
        *closed = false;
    return out;
}

QString readMermaidName(const QString &text, int &pos, bool *closed)
{
    if (closed)
        *closed = true;
    skipMermaidComments(text, pos);
    const int n = int(text.size());
    if (pos < n && text.at(pos) == u'"') {
        ++pos;
        return readQuoted(text, pos, closed).trimmed();
    }
    const int start = pos;
    while (pos < n) {
        const QChar c = text.at(pos);
        if (isBlank(c) || c == u':' || c == u';' || c == u'[' || c == u']' || c == u'{'
            || c == u'|' || c == u'}' || isTwoDots(text, pos))
            break;
        ++pos;
    }
    // An identifier is kept as written: __meta__ and CUSTOMER_ORDER keep their underscores.
    return text.mid(start, pos - start);
}

QString stripMermaidMarkup(const QString &text)
{
    QString s = text;
    s.remove(u'`');
    s.remove(u'*');

    // Underscore emphasis only: a run of one or two "_" that opens at a word start pairs
    // with the nearest later run of the same length that closes at a word end. Every other
    // underscore is part of the name (CUSTOMER_ORDER, _private, a__b).
    struct Run
    {
        int start;
        int length;
        bool removed;
    };
    QList<Run> runs;
    const int n = int(s.size());
    for (int i = 0; i < n;) {
        if (s.at(i) != u'_') {
            ++i;
            continue;
        }
        int j = i;
        while (j < n && s.at(j) == u'_')
            ++j;
        runs.append({i, j - i, false});
        i = j;
    }
    if (runs.isEmpty())
        return s.trimmed();

    auto opens = [&](const Run &r) {
        const int after = r.start + r.length;
        return (r.start == 0 || isBlank(s.at(r.start - 1))) && after < n && !isBlank(s.at(after));
    };
    auto closes = [&](const Run &r) {
        const int after = r.start + r.length;
        return (after == n || isBlank(s.at(after))) && r.start > 0 && !isBlank(s.at(r.start - 1));
    };
    // Runs are maximal, so their neighbours are never "_" themselves. No run both opens
    // and closes, so a closing run is only ever taken by an opening one; opening runs come
    // in order, so for each length one cursor over the closing runs finds the nearest free
    // one after each opening run.
    QList<int> closing[2];
    for (int k = 0; k < runs.size(); ++k) {
        if (runs.at(k).length <= 2 && closes(runs.at(k)))
            closing[runs.at(k).length - 1].append(k);
    }
    qsizetype cursor[2] = {0, 0};
    for (int i = 0; i < runs.size(); ++i) {
        Run &open = runs[i];
        if (open.length > 2 || !opens(open))
            continue;
        const QList<int> &candidates = closing[open.length - 1];
        qsizetype &next = cursor[open.length - 1];
        while (next < candidates.size() && candidates.at(next) <= i)
            ++next;
        if (next == candidates.size())
            continue;
        open.removed = true;
        runs[candidates.at(next)].removed = true;
        ++next;
    }
    QString out;
    out.reserve(n);
    int from = 0;
    for (const Run &r : std::as_const(runs)) {
        if (!r.removed)
            continue;
        out += QStringView(s).mid(from, r.start - from);
        from = r.start + r.length;
    }
    out += QStringView(s).mid(from);
    return out.trimmed();
}

namespace {

// The alias after a name, with comments skipped by skipComments(pos).
template <typename SkipComments>
QString parseAlias(const QString &text, int &pos, bool *closed, SkipComments skipComments)
{
    if (closed)
        *closed = true;
    skipClassSuffix(text, pos, skipComments);
    skipComments(pos);
    const int n = int(text.size());
    QString alias;
    if (pos < n && text.at(pos) == u'[') {
        ++pos;
        skipMermaidBlanks(text, pos);
        bool ended = true;
        if (pos < n && text.at(pos) == u'"') {
            alias = stripMermaidMarkup(readMermaidName(text, pos, &ended));
        } else {
            QString raw;
            while (pos < n && text.at(pos) != u']' && text.at(pos) != u'\n') {
                if (text.at(pos) == u'\\' && pos + 1 < n && text.at(pos + 1) != u'\n') {
                    raw += text.at(pos + 1);
                    pos += 2;
                    continue;
                }
                raw += text.at(pos);
                ++pos;
            }
            ended = pos < n && text.at(pos) == u']';
            alias = stripMermaidMarkup(raw);
        }
        if (!ended) {
            // An alias left open ends at its line; the caller decides what is kept.
            if (closed)
                *closed = false;
            return alias;
        }
        while (pos < n && text.at(pos) != u'\n' && isBlank(text.at(pos)))
            ++pos;
        if (pos < n && text.at(pos) == u']')
            ++pos;
        else if (closed)
            *closed = false;
        if (closed && !*closed)
            return alias;
    }
    skipClassSuffix(text, pos, skipComments);
    return alias;
}

} // namespace

QString parseMermaidAlias(const QString &text, int &pos, bool *closed)
{
    return parseAlias(text, pos, closed, plainCommentSkip(text));
}

// A marker is PK, FK or UK in either case. Only ASCII letters upper-case to these, so
// the letters are compared as they stand instead of upper-casing every word of a line.
static void markAttributeKey(QStringView marker, MermaidAttribute &attribute)
{
    if (marker.size() != 2 || (marker.at(1) != u'K' && marker.at(1) != u'k'))
        return;
    switch (marker.at(0).unicode()) {
    case u'P':
    case u'p':
        attribute.isPrimaryKey = true;
        break;
    case u'F':
    case u'f':
        attribute.isForeignKey = true;
        break;
    case u'U':
    case u'u':
        attribute.isUniqueKey = true;
        break;
    default:
        break;
    }
}

bool parseMermaidAttributeLine(const QString &line, MermaidAttribute &attribute)
{
    int pos = 0;
    skipMermaidBlanks(line, pos);
    if (pos >= line.size() || line.at(pos) == u'}')
        return false;

    attribute = MermaidAttribute();
    attribute.type = readMermaidWord(line, pos);
    attribute.name = readMermaidWord(line, pos);
    if (attribute.type.isEmpty() || attribute.name.isEmpty())
        return false;
    if (attribute.name.startsWith(u'*')) {
        attribute.isPrimaryKey = true;
        attribute.name.remove(0, 1);
    }

    while (pos < line.size()) {
        skipMermaidBlanks(line, pos);
        if (pos >= line.size())
            break;
        if (line.at(pos) == u'"') {
            // The comment runs to the next quote; what follows it is not read.
            const int end = int(line.indexOf(u'"', pos + 1));
            attribute.comment = line.mid(pos + 1, end < 0 ? -1 : end - pos - 1).trimmed();
            break;
        }
        const QString word = readMermaidWord(line, pos);
        if (word.isEmpty())
            break;
        // Markers are separated by commas with or without blanks: "PK,FK", "PK , UK".
        for (const QStringView marker : QStringView(word).split(u',', Qt::SkipEmptyParts))
            markAttributeKey(marker, attribute);
    }
    return !attribute.name.isEmpty();
}

// --- Cardinality vocabulary ----------------------------------------------------------

bool matchCardinalitySymbol(const QString &text, int &pos, int &card)
{
    static const struct
    {
        char16_t first;
        char16_t second;
        int card;
    } symbols[] = {
        {u'|', u'|', MermaidCardinality::One},       {u'|', u'o', MermaidCardinality::ZeroOrOne},
        {u'o', u'|', MermaidCardinality::ZeroOrOne}, {u'}', u'|', MermaidCardinality::Many},
        {u'|', u'{', MermaidCardinality::Many},      {u'}', u'o', MermaidCardinality::ZeroOrMany},
        {u'o', u'{', MermaidCardinality::ZeroOrMany},
    };
    skipMermaidComments(text, pos);
    if (pos + 2 > text.size())
        return false;
    const char16_t first = text.at(pos).unicode();
    const char16_t second = text.at(pos + 1).unicode();
    for (const auto &entry : symbols) {
        if (entry.first == first && entry.second == second) {
            card = entry.card;
            pos += 2;
            return true;
        }
    }
    return false;
}

bool matchCardinalityWord(const QString &text, int &pos, int &card)
{
    static const struct
    {
        const char *word;
        int card;
    } words[] = {
        {"one or zero", MermaidCardinality::ZeroOrOne},
        {"zero or one", MermaidCardinality::ZeroOrOne},
        {"one or more", MermaidCardinality::Many},
        {"one or many", MermaidCardinality::Many},
        {"zero or more", MermaidCardinality::ZeroOrMany},
        {"zero or many", MermaidCardinality::ZeroOrMany},
        {"only one", MermaidCardinality::One},
        {"many(1)", MermaidCardinality::Many},
        {"many(0)", MermaidCardinality::ZeroOrMany},
        {"1+", MermaidCardinality::Many},
        {"0+", MermaidCardinality::ZeroOrMany},
    };
    skipMermaidComments(text, pos);
    const int n = int(text.size());
    // Every word starts with one of these; no other character folds to one of them, so a
    // token starting otherwise (most of a text) is not compared with each word.
    static const QLatin1String firstLetters("oOzZmM10");
    if (pos >= n || !firstLetters.contains(text.at(pos)))
        return false;
    for (const auto &entry : words) {
        const QLatin1String word(entry.word);
        if (!startsWithAt(text, pos, word, Qt::CaseInsensitive))
            continue;
        const int end = pos + int(word.size());
        if (end == n || !isLetterOrDigitAt(text, end)) {
            card = entry.card;
            pos = end;
            return true;
        }
    }
    if (pos < n && text.at(pos) == u'1'
        && (pos + 1 == n || isBlank(text.at(pos + 1)) || text.at(pos + 1) == u':')) {
        card = MermaidCardinality::One;
        pos += 1;
        return true;
    }
    return false;
}

static int writtenCardinality(int card)
{
    return card >= MermaidCardinality::One && card <= MermaidCardinality::ZeroOrMany
               ? card
               : MermaidCardinality::Many;
}

QString mermaidLeftCardinalitySymbol(int card)
{
    static const char *const left[] = {"||", "}|", "|o", "}o"};
    return QLatin1String(left[writtenCardinality(card)]);
}

QString mermaidRightCardinalitySymbol(int card)
{
    static const char *const right[] = {"||", "|{", "o|", "o{"};
    return QLatin1String(right[writtenCardinality(card)]);
}

// --- Statements ----------------------------------------------------------------------

namespace {

struct RelationshipParts
{
    int startCard = 0;
    int endCard = 0;
    QString label;
    QString labelKey;
    bool identifying = true;
};

// The line holding pos (0-based) of a text whose line starts are given.
int lineAt(const QList<int> &lineStarts, int pos)
{
    const auto after = std::upper_bound(lineStarts.cbegin(), lineStarts.cend(), qMax(0, pos));
    return int(after - lineStarts.cbegin()) - 1;
}

// One statement as read, before the entity table is asked: what it mentions, the rows of
// its block, the relationship it states and where it has text that could not be read. The
// ends are running counts into the lists of its run.
struct Statement
{
    int at = 0; // where the statement starts, past blanks and comments
    int mentionsEnd = 0;
    int attributesEnd = 0;
    int marksEnd = 0;
    int relationship = -1; // into the run's relationships; its entities are the two mentions
};

// A statement's mention of an entity by its name. Most carry no title of their own, and a
// text of garbage holds millions of them: the titles are kept aside.
struct EntityMention
{
    QString name;
    MentionKey key;
    int title = -1; // into the run's titles; -1 when the title is the name
};

struct MentionTitle
{
    QString title;
    MentionKey key;
};

struct StatementRun
{
    QList<Statement> statements;
    QList<EntityMention> mentions;
    QList<MentionTitle> titles;
    QList<MermaidAttribute> attributes;
    QList<int> marks; // lines that could not be read
    QList<RelationshipParts> relationships;
    int end = 0; // where the next statement starts, at or beyond the run's limit
    int swallowedFrom = -1; // a directive never closed, which took the rest of the text
};

} // namespace

Q_DECLARE_TYPEINFO(EntityMention, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(MentionTitle, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(RelationshipParts, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(Statement, Q_PRIMITIVE_TYPE);

namespace {

// Reads statements from a position on. What it reads depends on the text alone, never on
// what an earlier statement declared, so runs of one text can be read on several threads.
class StatementScanner
{
public:
    StatementScanner(const QString &body, const QList<int> &lineStarts, StatementRun &run)
        : text(body), n(int(body.size())), lineStarts(lineStarts), run(run)
    {
    }

    // Reads the statements that start before limit.
    void scan(int pos, int limit)
    {
        // Texts of garbage hold a statement every few dozen characters; reserving spares
        // the lists' regrowth.
        const qsizetype expected = qMax(0, limit - pos) / 32;
        run.statements.reserve(expected);
        run.mentions.reserve(expected);
        while (true) {
            skipComments(pos);
            if (pos >= n || pos >= limit) {
                run.end = pos;
                return;
            }
            run.statements.append(Statement{pos, 0, 0, 0, -1});
            if (isDirectionStatement(pos)) {
                pos += 9;
                skipMermaidBlanks(text, pos);
                while (pos < n && !isBlank(text.at(pos)))
                    ++pos;
            } else {
                pos = readStatement(pos);
            }
            Statement &statement = run.statements.last();
            statement.mentionsEnd = int(run.mentions.size());
            statement.attributesEnd = int(run.attributes.size());
            statement.marksEnd = int(run.marks.size());
        }
    }

private:
    void markUnread(int pos) { run.marks.append(lineAt(lineStarts, pos)); }

    // Comments skipped as skipMermaidComments does, noting a directive that is never closed:
    // it takes the rest of the text, which the report then counts.
    void skipComments(int &pos)
    {
        const int from = pos;
        skipMermaidComments(text, pos);
        if (pos >= n && from < n && run.swallowedFrom < 0)
            run.swallowedFrom = unclosedDirectiveAfter(from);
    }

    // The start of the directive never closed that the comments from pos on end in; -1
    // when they end otherwise.
    int unclosedDirectiveAfter(int pos) const
    {
        for (;;) {
            skipMermaidBlanks(text, pos);
            if (!startsWithAt(text, pos, QLatin1String("%%")))
                return -1;
            if (startsWithAt(text, pos, QLatin1String("%%{"))) {
                const int end = int(text.indexOf(QLatin1String("}%%"), pos + 3));
                if (end < 0)
                    return pos;
                pos = end + 3;
            } else {
                const int end = int(text.indexOf(u'\n', pos + 2));
                if (end < 0)
                    return -1;
                pos = end;
            }
        }
    }

    // Names, titles, types and labels longer than MaxMermaidTextLength are cut there, and
    // the statement's line is reported: a name of millions of characters would otherwise
    // cost the scene seconds of text layout.
    QString bounded(const QString &text)
    {
        if (text.size() <= MaxMermaidTextLength)
            return text;
        markUnread(run.statements.last().at);
        qsizetype length = MaxMermaidTextLength;
        if (text.at(length - 1).isHighSurrogate())
            --length;
        return text.left(length);
    }

    // A quoted name is shown as Mermaid shows it, its bold and emphasis marks taken as
    // markup; it is still found by what it says. A bare identifier is shown as written.
    QString shownName(int at, const QString &name) const
    {
        if (at >= n || text.at(at) != u'"')
            return name;
        const QString shown = stripMermaidMarkup(name);
        return shown.isEmpty() ? name : shown;
    }

    // name is never empty here.
    void mention(const QString &longName, const QString &longTitle)
    {
        const QString name = bounded(longName);
        const QString title = longTitle == longName ? name : bounded(longTitle);
        int titleIndex = -1;
        if (title != name) {
            titleIndex = int(run.titles.size());
            run.titles.append(MentionTitle{title, MentionKey(title)});
        }
        run.mentions.append(EntityMention{name, MentionKey(name), titleIndex});
    }

    int lineEnd(int pos) const
    {
        const int end = int(text.indexOf(u'\n', pos));
        return end < 0 ? n : end;
    }

    bool isDirectionStatement(int pos) const
    {
        // Only the word itself: "directions" or "direction_log" name entities.
        return startsWithAt(text, pos, QLatin1String("direction"), Qt::CaseInsensitive)
               && (pos + 9 == n || isBlank(text.at(pos + 9)));
    }

    static bool isStyleWord(const QString &name)
    {
        return name.compare(QLatin1String("style"), Qt::CaseInsensitive) == 0
               || name.compare(QLatin1String("classDef"), Qt::CaseInsensitive) == 0
               || name.compare(QLatin1String("class"), Qt::CaseInsensitive) == 0;
    }

    bool cardinalityFollows(int pos) const
    {
        int probe = pos;
        int card = 0;
        if (matchCardinalitySymbol(text, probe, card))
            return true;
        probe = pos;
        return matchCardinalityWord(text, probe, card);
    }

    // Reads one statement at pos and returns where scanning goes on; always beyond pos.
    int readStatement(int pos)
    {
        skipComments(pos);
        const int start = pos;
        bool closed = true;
        const QString name = readMermaidName(text, pos, &closed);
        if (!closed) {
            // A quoted name left open: the rest of its line is no statement.
            markUnread(start);
            return qMax(start + 1, lineEnd(pos));
        }
        if (name.isEmpty()) {
            markUnread(start);
            return qMax(start, pos) + 1;
        }
        const QString alias = parseAlias(text, pos, &closed, [this](int &at) { skipComments(at); });
        if (!closed) {
            markUnread(start);
            mention(name, name);
            return lineEnd(pos);
        }
        const QString title = alias.isEmpty() ? shownName(start, name) : alias;
        skipComments(pos);

        if (isStyleWord(name) && !cardinalityFollows(pos) && !(pos < n && text.at(pos) == u'{')) {
            const int end = int(text.indexOf(u'\n', pos));
            return end < 0 ? n : end;
        }

        skipComments(pos);
        if (pos < n && text.at(pos) == u'{') {
            mention(name, title);
            return readEntityBlock(pos + 1);
        }

        return readRelationship(name, title, start, pos);
    }

    int readEntityBlock(int pos)
    {
        const int opening = pos - 1;
        QString line;
        int lineAt = pos;
        auto flushLine = [&] {
            MermaidAttribute attribute;
            if (parseMermaidAttributeLine(line, attribute)) {
                attribute.type = bounded(attribute.type);
                attribute.name = bounded(attribute.name);
                run.attributes.append(std::move(attribute));
            }
            else if (!line.trimmed().isEmpty())
                markUnread(lineAt);
            line.clear();
        };
        while (pos < n) {
            const QChar c = text.at(pos);
            if (c == u'}')
                break;
            if (c == u'"') {
                // Quoted text is taken whole: a brace or "%%" inside a comment is text.
                int end = pos + 1;
                while (end < n && text.at(end) != u'"' && text.at(end) != u'\n')
                    ++end;
                if (end < n && text.at(end) == u'"')
                    ++end;
                line += QStringView(text).mid(pos, end - pos);
                pos = end;
                continue;
            }
            if (c == u'\n') {
                flushLine();
                ++pos;
                skipComments(pos);
                lineAt = pos;
                continue;
            }
            if (c == u'%' && pos + 1 < n && text.at(pos + 1) == u'%') {
                const int end = int(text.indexOf(u'\n', pos));
                pos = end < 0 ? n : end;
                continue;
            }
            line += c;
            ++pos;
        }
        flushLine();
        if (pos < n && text.at(pos) == u'}')
            ++pos;
        else
            markUnread(opening); // the block never closes: the file breaks off
        return pos;
    }

    bool matchConnector(int &pos, bool &identifying)
    {
        skipComments(pos);
        if (startsWithAt(text, pos, QLatin1String("optionally to"), Qt::CaseInsensitive)) {
            pos += 13;
            identifying = false;
            return true;
        }
        if (startsWithAt(text, pos, QLatin1String("to"), Qt::CaseInsensitive)
            && (pos + 2 == n || isBlank(text.at(pos + 2)))) {
            pos += 2;
            identifying = true;
            return true;
        }
        if (startsWithAt(text, pos, QLatin1String("--")) || startsWithAt(text, pos, QLatin1String(".."))) {
            identifying = text.at(pos) == u'-';
            pos += 2;
            return true;
        }
        return false;
    }

    QString readLabel(int &pos)
    {
        skipComments(pos);
        if (pos >= n || text.at(pos) != u':')
            return QString();
        ++pos;
        skipMermaidBlanks(text, pos);
        int end = pos;
        if (pos < n && text.at(pos) == u'"') {
            ++pos;
            end = pos;
            while (end < n && text.at(end) != u'"' && text.at(end) != u'\n')
                ++end;
            const QString label = text.mid(pos, end - pos).trimmed();
            pos = (end < n && text.at(end) == u'"') ? end + 1 : end;
            return label;
        }
        while (end < n && text.at(end) != u'\n')
            ++end;
        const QString label = text.mid(pos, end - pos).trimmed();
        pos = end;
        return label;
    }

    // pos stands after the first name, its alias and comments.
    int readRelationship(const QString &name, const QString &title, int start, int pos)
    {
        const int afterFirst = pos;
        int startCard = 0;
        bool symbolForm = true;
        int p = pos;
        if (!matchCardinalitySymbol(text, p, startCard)) {
            p = pos;
            symbolForm = false;
            if (!matchCardinalityWord(text, p, startCard)) {
                mention(name, title);
                return p;
            }
        }
        bool identifying = true;
        // A statement that breaks off declares its first entity; the rest of its line is
        // not read, so a line cut short leaves no entity named after its punctuation.
        if (!matchConnector(p, identifying)) {
            markUnread(start);
            mention(name, title);
            return lineEnd(afterFirst);
        }
        int endCard = 0;
        skipComments(p);
        const bool secondCard = symbolForm ? matchCardinalitySymbol(text, p, endCard)
                                           : matchCardinalityWord(text, p, endCard);
        if (!secondCard) {
            markUnread(start);
            mention(name, title);
            return lineEnd(afterFirst);
        }
        bool closed = true;
        skipComments(p);
        const int secondAt = p;
        const QString secondName = readMermaidName(text, p, &closed);
        if (!closed) {
            markUnread(start);
            mention(name, title);
            return lineEnd(p);
        }
        if (secondName.isEmpty()) {
            markUnread(start);
            mention(name, title);
            return lineEnd(afterFirst);
        }
        const QString secondAlias = parseAlias(text, p, &closed, [this](int &at) { skipComments(at); });
        if (!closed) {
            markUnread(start);
            mention(name, title);
            return lineEnd(p);
        }
        const QString secondTitle = secondAlias.isEmpty() ? shownName(secondAt, secondName) : secondAlias;

        RelationshipParts parts;
        parts.label = bounded(readLabel(p));
        parts.labelKey = foldedKey(parts.label);
        parts.startCard = startCard;
        parts.endCard = endCard;
        parts.identifying = identifying;
        mention(name, title);
        mention(secondName, secondTitle);
        run.statements.last().relationship = int(run.relationships.size());
        run.relationships.append(std::move(parts));
        return p;
    }

    const QString &text;
    const int n;
    const QList<int> &lineStarts;
    StatementRun &run;
};

// Texts shorter than this are read on the calling thread alone.
constexpr int ParallelReadLength = 1 << 20;

// Fills the entity table from the statements of a body, read in runs on several threads
// and taken in text order, so the table is the one a single front-to-back read makes.
class StatementReader
{
public:
    explicit StatementReader(const QString &body) : text(body), n(int(body.size()))
    {
        lineStarts.append(0);
        for (int i = 0; i < n; ++i) {
            if (text.at(i) == u'\n')
                lineStarts.append(i + 1);
        }
        unreadMarks.fill(false, lineStarts.size());
    }

    // Marks the line holding pos as one that could not be read (0-based, in the body).
    void markUnread(int pos) { markLineUnread(lineAt(lineStarts, pos)); }

    void markLineUnread(int line)
    {
        if (!unreadMarks.at(line)) {
            unreadMarks[line] = true;
            ++unreadLines;
            firstUnread = firstUnread < 0 ? line : qMin(firstUnread, line);
        }
    }

    // Each run starts at a line start and is read as if a statement began there. Where it
    // did not, the run before has read on past that line to a statement start; the run is
    // taken from that start on when it met it too, and read again from there otherwise.
    void run(int pos, int runCount)
    {
        if (runCount <= 0)
            runCount = n >= ParallelReadLength ? std::clamp(QThread::idealThreadCount(), 1, 8) : 1;
        QList<int> starts{pos};
        for (int k = 1; k < runCount; ++k) {
            const int wanted = qMax(starts.last() + 1, int(pos + qint64(n - pos) * k / runCount));
            const auto line = std::lower_bound(lineStarts.cbegin(), lineStarts.cend(), wanted);
            starts.append(line == lineStarts.cend() ? n : *line);
        }
        starts.append(n);
        QList<StatementRun> runs(runCount);
        StatementRun *const runOf = runs.data();
        runInParallel(runCount, [&](int k) {
            StatementScanner(text, lineStarts, runOf[k]).scan(starts.at(k), starts.at(k + 1));
        });

        qsizetype mentions = 0;
        for (const StatementRun &run : std::as_const(runs))
            mentions += run.mentions.size();
        table.entities.reserve(mentions);
        table.firstIndexByKey.reserve(std::min(mentions, qsizetype(1) << 22));

        for (int k = 0; k < runCount; ++k) {
            skipMermaidComments(text, pos);
            if (pos >= n)
                break;
            if (pos >= starts.at(k + 1))
                continue;
            StatementRun &run = runs[k];
            const auto met = std::lower_bound(run.statements.cbegin(), run.statements.cend(), pos,
                                              [](const Statement &s, int at) { return s.at < at; });
            if (met != run.statements.cend() && met->at == pos) {
                take(run, int(met - run.statements.cbegin()));
            } else {
                run = StatementRun();
                StatementScanner(text, lineStarts, run).scan(pos, starts.at(k + 1));
                take(run, 0);
            }
            pos = run.end;
            run = StatementRun();
        }
    }

    MermaidEntityTable table;
    QList<MermaidRelationship> relationships;
    // Lines not read, marked once each: a text of garbage marks most of its lines.
    QList<bool> unreadMarks;
    int unreadLines = 0;
    int firstUnread = -1;

private:
    // Applies the statements of a run from the first-th on, in order.
    void take(StatementRun &run, int first)
    {
        // How many mentions ahead the key table's slot is asked for.
        constexpr int LookAhead = 16;
        int mention = first > 0 ? run.statements.at(first - 1).mentionsEnd : 0;
        int attribute = first > 0 ? run.statements.at(first - 1).attributesEnd : 0;
        int mark = first > 0 ? run.statements.at(first - 1).marksEnd : 0;
        for (int s = first; s < run.statements.size(); ++s) {
            const Statement &statement = run.statements.at(s);
            int found[2] = {-1, -1};
            for (int m = 0; mention < statement.mentionsEnd; ++mention, ++m) {
                if (mention + LookAhead < run.mentions.size())
                    table.firstIndexByKey.prefetch(run.mentions.at(mention + LookAhead).key.hash);
                const EntityMention &named = run.mentions.at(mention);
                found[m] = named.title < 0
                               ? resolveEntity(table, named.name, named.key, named.name, MentionKey())
                               : resolveEntity(table, named.name, named.key,
                                               run.titles.at(named.title).title,
                                               run.titles.at(named.title).key);
            }
            for (; attribute < statement.attributesEnd; ++attribute)
                table.entities[found[0]].attributes.append(std::move(run.attributes[attribute]));
            for (; mark < statement.marksEnd; ++mark)
                markLineUnread(run.marks.at(mark));
            if (statement.relationship >= 0)
                addRelationship(found[0], found[1], run.relationships[statement.relationship]);
        }
        if (run.swallowedFrom >= 0)
            markSwallowedLines(run.swallowedFrom);
    }

    // Every line from a directive that is never closed to the end of the text, blank
    // ones excepted.
    void markSwallowedLines(int from)
    {
        for (int line = lineAt(lineStarts, from); line < lineStarts.size(); ++line) {
            const int start = line == lineAt(lineStarts, from) ? from : lineStarts.at(line);
            const int end = line + 1 < lineStarts.size() ? lineStarts.at(line + 1) : n;
            const QStringView content = QStringView(text).mid(start, end - start);
            if (!content.trimmed().isEmpty())
                markLineUnread(line);
        }
    }

    void addRelationship(int from, int to, RelationshipParts &parts)
    {
        int startCard = parts.startCard;
        int endCard = parts.endCard;
        const bool manyFirst = startCard == MermaidCardinality::Many
                               || startCard == MermaidCardinality::ZeroOrMany;
        const bool oneSecond = endCard == MermaidCardinality::One
                               || endCard == MermaidCardinality::ZeroOrOne;
        if (manyFirst && oneSecond) {
            std::swap(from, to);
            std::swap(startCard, endCard);
        }
        // A later line for the same pair repeats an earlier one when it has no label or
        // the label of an earlier line; another label is another relationship.
        const QPair<int, int> pair(qMin(from, to), qMax(from, to));
        const auto known = labelsByPair.constFind(pair);
        if (known != labelsByPair.constEnd()
            && (parts.label.isEmpty() || known->contains(parts.labelKey)))
            return;
        labelsByPair[pair].insert(parts.labelKey);

        MermaidRelationship relationship;
        relationship.from = table.entities.at(from).alias;
        relationship.to = table.entities.at(to).alias;
        relationship.startCard = startCard;
        relationship.endCard = endCard;
        relationship.label = std::move(parts.label);
        relationship.identifying = parts.identifying;
        relationship.fromEntity = from;
        relationship.toEntity = to;
        relationships.append(relationship);
    }

    const QString &text;
    const int n;
    QList<int> lineStarts;
    QHash<QPair<int, int>, QSet<QString>> labelsByPair;
};

// removedLines: how many lines of the file the front matter took away.
QString normalizedText(const QString &text, int *removedLines)
{
    *removedLines = 0;
    QString s = text;
    s.remove(QChar(0xFEFF));
    if (s.contains(u'\r')) {
        s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        s.replace(u'\r', u'\n');
    }

    if (s.startsWith(QLatin1String("---"))) {
        const int end = int(s.indexOf(QLatin1String("\n---"), 3));
        if (end >= 0) {
            int cut = end + 4;
            if (cut < s.size() && s.at(cut) == u'\n')
                ++cut;
            *removedLines = int(QStringView(s).left(cut).count(u'\n'));
            s.remove(0, cut);
        }
    }
    return s;
}

// The first match of a pattern whose matches all have one length. A match that ends
// before the end of a leading part of the text is the first in the whole text too, and
// looking there first spares checking the whole of a long text before the search.
QRegularExpressionMatch firstMatch(const QRegularExpression &pattern, const QString &s)
{
    constexpr int Lead = 4096;
    if (s.size() > Lead) {
        const QRegularExpressionMatch early = pattern.match(s.left(Lead));
        if (early.hasMatch() && early.capturedEnd() < Lead)
            return early;
    }
    return pattern.match(s);
}

// Text no Mermaid file holds: control characters other than blanks, and the replacement
// character that bytes which are not UTF-8 decode to.
bool isUnreadableCharacter(QChar c)
{
    if (c.unicode() >= 0x20 && c.unicode() < 0x7f)
        return false; // printable ASCII, most of any text
    return c == QChar::ReplacementCharacter
           || (c.category() == QChar::Other_Control && !c.isSpace());
}

// Blanks out, in place, every line that holds such text, and marks it as not read.
void blankUnreadableLines(QString &body, StatementReader &reader)
{
    const int n = int(body.size());
    for (int lineStart = 0; lineStart < n;) {
        int lineEnd = int(body.indexOf(u'\n', lineStart));
        if (lineEnd < 0)
            lineEnd = n;
        for (int i = lineStart; i < lineEnd; ++i) {
            if (isUnreadableCharacter(body.at(i))) {
                reader.markUnread(lineStart);
                for (int j = lineStart; j < lineEnd; ++j)
                    body[j] = u' ';
                break;
            }
        }
        lineStart = lineEnd + 1;
    }
}

} // namespace

bool readMermaidText(const QString &text, QList<MermaidEntity> *entities,
                     QList<MermaidRelationship> *relationships, QString *error,
                     MermaidReadReport *report, int runCount)
{
    static const QRegularExpression fence = [] {
        QRegularExpression re(QStringLiteral("```(?:mermaid|erDiagram)[^\\n]*\\n([\\s\\S]*?)```"),
                              QRegularExpression::CaseInsensitiveOption);
        re.optimize();
        return re;
    }();
    static const QRegularExpression opening = [] {
        QRegularExpression re(QStringLiteral("```(?:mermaid|erDiagram)[^\\n]*\\n"),
                              QRegularExpression::CaseInsensitiveOption);
        re.optimize();
        return re;
    }();
    static const QRegularExpression keyword = [] {
        QRegularExpression re(QStringLiteral("\\berDiagram\\b"),
                              QRegularExpression::CaseInsensitiveOption);
        re.optimize();
        return re;
    }();

    int firstLine = 1;
    QString s = normalizedText(text, &firstLine);
    ++firstLine;
    // The pattern takes a while to find no fence in a long text; a search for its
    // backticks does not.
    const QRegularExpressionMatch fenced = s.contains(u'`') && s.contains(QLatin1String("```"))
                                               ? fence.match(s)
                                               : QRegularExpressionMatch();
    // A fence that never closes: the diagram is read to the end of the file, prose after
    // it included, and the fence's line is reported.
    int unclosedFenceLine = 0;
    if (fenced.hasMatch()) {
        firstLine += int(QStringView(s).left(fenced.capturedStart(1)).count(u'\n'));
        s = fenced.captured(1);
    } else if (s.contains(QLatin1String("```"))) {
        const QRegularExpressionMatch open = opening.match(s);
        if (open.hasMatch())
            unclosedFenceLine = firstLine + int(QStringView(s).left(open.capturedStart()).count(u'\n'));
    }

    const QRegularExpressionMatch found = firstMatch(keyword, s);
    if (!found.hasMatch()) {
        setError(error, QStringLiteral("No Mermaid erDiagram was found in the file."));
        return false;
    }
    firstLine += int(QStringView(s).left(found.capturedStart()).count(u'\n'));
    QString body = s.mid(found.capturedStart());

    // The reader sees the body only after unreadable lines are blanked; the line starts
    // it indexes stay the same, since blanking keeps every character's place.
    StatementReader reader(body);
    blankUnreadableLines(body, reader);
    reader.run(9, runCount);
    if (reader.table.entities.isEmpty()) {
        setError(error, QStringLiteral("The Mermaid file does not define any ER entities."));
        return false;
    }
    if (report) {
        report->unreadLines = reader.unreadLines;
        report->firstUnreadLine = reader.firstUnread < 0 ? 0 : firstLine + reader.firstUnread;
        if (unclosedFenceLine > 0) {
            ++report->unreadLines;
            if (report->firstUnreadLine == 0 || unclosedFenceLine < report->firstUnreadLine)
                report->firstUnreadLine = unclosedFenceLine;
        }
    }
    if (entities)
        *entities = std::move(reader.table.entities);
    if (relationships)
        *relationships = std::move(reader.relationships);
    return true;
}

// --- Exchange document ---------------------------------------------------------------

QString foreignKeyMatchKey(const QString &name)
{
    QList<char32_t> kept;
    for (const uint cp : name.toLower().toUcs4()) {
        if (QChar::isLetter(char32_t(cp)) || QChar::isDigit(char32_t(cp)))
            kept.append(char32_t(cp));
    }
    QString key = QString::fromUcs4(kept.constData(), kept.size());
    if (key.size() > 2 && key.endsWith(QLatin1String("id")))
        key.chop(2);
    if (key.size() >= 5 && key.endsWith(u's'))
        key.chop(1);
    return key;
}

static int foreignKeyScore(const QString &attributeKey, const QString &parentKey)
{
    const QString &a = attributeKey;
    const QString &p = parentKey;
    if (a.size() < 2 || p.size() < 2)
        return 0;
    if (a == p)
        return 12;
    if (a.startsWith(p) || p.startsWith(a))
        return int(qMin(a.size(), p.size()));
    if ((a.size() >= 4 && p.contains(a)) || (p.size() >= 4 && a.contains(p)))
        return 8;
    return 0;
}

namespace {

enum EntityKey { EntityId, EntityTitle, EntityX, EntityY, EntityAttributes };
enum RowKey { RowName, RowType, RowPrimary, RowUnique, RowForeign, RowFkEdge, RowComment };

const QList<QLatin1String> &entityKeys()
{
    static const QList<QLatin1String> keys{
        QLatin1String("id"), QLatin1String("title"), QLatin1String("x"), QLatin1String("y"),
        QLatin1String("attributes")};
    return keys;
}

const QList<QLatin1String> &rowKeys()
{
    static const QList<QLatin1String> keys{
        QLatin1String("name"),        QLatin1String("type"),         QLatin1String("isPrimaryKey"),
        QLatin1String("isUniqueKey"), QLatin1String("isForeignKey"), QLatin1String("fkEdgeId"),
        QLatin1String("comment")};
    return keys;
}

} // namespace

QJsonObject buildMermaidDiagramJson(const QList<MermaidEntity> &entities,
                                    const QList<MermaidRelationship> &relationships)
{
    const int entityCount = int(entities.size());
    ImportIdSource ids;
    // Entity ids are made with their objects, on the threads that make them.
    QList<ImportId> entityIds(entityCount);
    QStringList edgeIds;
    edgeIds.reserve(relationships.size());
    for (int i = 0; i < relationships.size(); ++i)
        edgeIds.append(ids.next());

    auto validEntity = [&](int index) { return index >= 0 && index < entityCount; };

    // Foreign keys: each relationship marks one row of its child, the best match for the
    // parent's title or else the first row already flagged FK; a claimed row is not reused.
    // The rows of all entities are numbered in one run: a text of a million entities has
    // few rows, and a list per entity cost more than the rows themselves.
    QList<int> firstRow(entityCount + 1, 0);
    for (int e = 0; e < entityCount; ++e)
        firstRow[e + 1] = firstRow.at(e) + int(entities.at(e).attributes.size());
    QList<bool> foreignKey;
    foreignKey.reserve(firstRow.last());
    for (const MermaidEntity &entity : entities) {
        for (const MermaidAttribute &attribute : entity.attributes)
            foreignKey.append(attribute.isForeignKey);
    }
    QSet<int> claimed;
    QHash<int, QStringList> attributeKeys;
    QHash<QPair<int, int>, QString> fkEdge;
    for (int r = 0; r < relationships.size(); ++r) {
        const int child = relationships.at(r).toEntity;
        const int parent = relationships.at(r).fromEntity;
        if (!validEntity(child) || !validEntity(parent) || entities.at(child).attributes.isEmpty())
            continue;
        const QString parentKey = foreignKeyMatchKey(entities.at(parent).alias);
        const QList<MermaidAttribute> &attributes = entities.at(child).attributes;
        // An entity is the child of many lines at times: its rows' keys are made once.
        QStringList &keys = attributeKeys[child];
        if (keys.isEmpty()) {
            keys.reserve(attributes.size());
            for (const MermaidAttribute &attribute : attributes)
                keys.append(foreignKeyMatchKey(attribute.name));
        }
        int best = -1;
        int bestScore = 0;
        int firstFlagged = -1;
        for (int a = 0; a < attributes.size(); ++a) {
            if (claimed.contains(firstRow.at(child) + a))
                continue;
            const int score = foreignKeyScore(keys.at(a), parentKey);
            if (score > bestScore) {
                bestScore = score;
                best = a;
            }
            if (firstFlagged < 0 && foreignKey.at(firstRow.at(child) + a))
                firstFlagged = a;
        }
        const int chosen = bestScore >= 8 ? best : firstFlagged;
        if (chosen < 0)
            continue;
        foreignKey[firstRow.at(child) + chosen] = true;
        claimed.insert(firstRow.at(child) + chosen);
        fkEdge.insert(qMakePair(child, chosen), edgeIds.at(r));
    }

    const int columns = qMax(1, int(std::ceil(std::sqrt(double(entityCount)))));
    const JsonObjectShape entityShape(entityKeys());
    // A row holds an edge id and a comment only when it has them: one shape for each case.
    const auto rowShapeWith = [](bool fkEdge, bool comment) {
        return JsonObjectShape(rowKeys(), 0x1fu | (fkEdge ? 1u << RowFkEdge : 0u)
                                              | (comment ? 1u << RowComment : 0u));
    };
    const JsonObjectShape rowShapes[2][2] = {{rowShapeWith(false, false), rowShapeWith(false, true)},
                                             {rowShapeWith(true, false), rowShapeWith(true, true)}};
    const auto entityObject = [&](int e, const QString &id) {
        const MermaidEntity &entity = entities.at(e);
        bool hasPrimaryKey = false;
        for (const MermaidAttribute &attribute : entity.attributes)
            hasPrimaryKey = hasPrimaryKey || attribute.isPrimaryKey;

        QJsonArray attributeArray;
        for (int a = 0; a < entity.attributes.size(); ++a) {
            const MermaidAttribute &attribute = entity.attributes.at(a);
            const QString edgeId = fkEdge.value(qMakePair(e, a));
            const JsonObjectShape &shape = rowShapes[!edgeId.isEmpty()][!attribute.comment.isEmpty()];
            QJsonObject row = shape.object();
            shape.value(row, RowName) = attribute.name;
            shape.value(row, RowType) = attribute.type;
            shape.value(row, RowPrimary) = attribute.isPrimaryKey || (a == 0 && !hasPrimaryKey);
            shape.value(row, RowUnique) = attribute.isUniqueKey;
            shape.value(row, RowForeign) = bool(foreignKey.at(firstRow.at(e) + a));
            if (!edgeId.isEmpty())
                shape.value(row, RowFkEdge) = edgeId;
            if (!attribute.comment.isEmpty())
                shape.value(row, RowComment) = attribute.comment;
            attributeArray.append(row);
        }

        QJsonObject object = entityShape.object();
        entityShape.value(object, EntityId) = id;
        entityShape.value(object, EntityTitle) = entity.alias;
        entityShape.value(object, EntityX) = double((e % columns) * 320 + 60);
        entityShape.value(object, EntityY) = double((e / columns) * 240 + 60);
        entityShape.value(object, EntityAttributes) = attributeArray;
        return object;
    };
    // Each entity's object depends on nothing another one makes: a text of many entities
    // has them made on several threads, a run of entities each, and joined in order. Runs
    // hold about as many rows each, since a few entities may hold most of them.
    QList<QJsonObject> objects(entityCount);
    qint64 work = 0;
    for (const MermaidEntity &entity : entities)
        work += entity.attributes.size() + 1;
    const int threads = work >= 50000 ? std::clamp(QThread::idealThreadCount(), 1, 8) : 1;
    QList<int> runStarts{0};
    qint64 done = 0;
    for (int e = 0; e < entityCount && runStarts.size() < threads; ++e) {
        done += entities.at(e).attributes.size() + 1;
        if (done * threads >= work * runStarts.size())
            runStarts.append(e + 1);
    }
    while (runStarts.size() <= threads)
        runStarts.append(entityCount);
    ImportId *const idOf = entityIds.data();
    QJsonObject *const objectOf = objects.data();
    const auto makeRun = [&](int run) {
        ImportIdSource runIds;
        for (int e = runStarts.at(run); e < runStarts.at(run + 1); ++e) {
            idOf[e] = runIds.nextId();
            objectOf[e] = entityObject(e, idOf[e].toString());
        }
    };
    runInParallel(threads, makeRun);
    QJsonArray entityArray;
    for (QJsonObject &object : objects) {
        entityArray.append(object);
        object = QJsonObject();
    }

    QJsonArray edgeArray;
    for (int r = 0; r < relationships.size(); ++r) {
        const MermaidRelationship &relationship = relationships.at(r);
        if (!validEntity(relationship.fromEntity) || !validEntity(relationship.toEntity))
            continue;
        QJsonObject edge;
        edge.insert(QStringLiteral("id"), edgeIds.at(r));
        edge.insert(QStringLiteral("from"), entityIds.at(relationship.fromEntity).toString());
        edge.insert(QStringLiteral("to"), entityIds.at(relationship.toEntity).toString());
        edge.insert(QStringLiteral("startCard"), relationship.startCard);
        edge.insert(QStringLiteral("endCard"), relationship.endCard);
        if (!relationship.label.isEmpty())
            edge.insert(QStringLiteral("label"), relationship.label);
        if (!relationship.identifying)
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

// --- File ----------------------------------------------------------------------------

QJsonObject parseMermaidFile(const QString &path, QString *error, MermaidReadReport *report)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("Could not open the Mermaid file."));
        return QJsonObject();
    }
    QByteArray bytes;
    if (!readBoundedFile(file, MaxReadFileBytes, &bytes)) {
        setError(error, file.error() == QFileDevice::NoError
                            ? QStringLiteral("The Mermaid file is larger than 512 MiB.")
                            : QStringLiteral("Could not open the Mermaid file."));
        return QJsonObject();
    }

    QList<MermaidEntity> entities;
    QList<MermaidRelationship> relationships;
    if (!readMermaidText(QString::fromUtf8(bytes), &entities, &relationships, error, report))
        return QJsonObject();
    return buildMermaidDiagramJson(entities, relationships);
}
