#pragma once

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>

#include "stringtable.h"

// Reading Mermaid erDiagram text into the diagram exchange document. Everything here is
// plain functions over plain data: safe on any thread, no widget or graphics object.

// Cardinality codes as every exchange document stores them.
namespace MermaidCardinality {
constexpr int One = 0;
constexpr int Many = 1;
constexpr int ZeroOrOne = 2;
constexpr int ZeroOrMany = 3;
} // namespace MermaidCardinality

struct MermaidAttribute
{
    QString type;
    QString name;
    bool isPrimaryKey = false;
    bool isForeignKey = false;
    bool isUniqueKey = false;
    QString comment; // the quoted text after the name and key markers
};

struct MermaidEntity
{
    QString name;  // identifier under which the entity was first met
    QString alias; // display title; equals the name until an alias is given
    QList<MermaidAttribute> attributes;
};

Q_DECLARE_TYPEINFO(MermaidAttribute, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(MermaidEntity, Q_RELOCATABLE_TYPE);

struct MermaidRelationship
{
    QString from; // display titles when the line was read
    QString to;
    int startCard = MermaidCardinality::One;
    int endCard = MermaidCardinality::One;
    QString label;
    bool identifying = true; // written with "--" or "to"; ".." and "optionally to" are not
    int fromEntity = -1; // indices into the entity list; the document is built from these
    int toEntity = -1;
};

// The entities met so far, in order of first mention. Names are case-sensitive, as in
// Mermaid: User and USER are two entities. A name finds the first entity carrying it as its
// name or alias as written; only when none does, the first entity whose alias (one given
// in brackets, differing from its name in more than case) equals it ignoring case. Keys
// are only ever added: an alias changes only from a text equal to the name, which keeps
// finding the same entity.
struct MermaidEntityTable
{
    QList<MermaidEntity> entities;
    StringTable firstIndexByKey;      // names and aliases as written
    StringTable firstIndexByAliasKey; // case-folded aliases of their own
};

// Index of the entity a statement naming key refers to, as above; -1 if none.
int indexOfMermaidEntity(const MermaidEntityTable &table, const QString &key);

// Finds the entity of a statement (by its name, or by its title when it has no name) and
// gives it the title as alias when it has none of its own; appends a new entity otherwise.
// Returns -1 only when name and title are both empty.
int findMermaidEntity(MermaidEntityTable &table, const QString &name, const QString &title);

// Scanner steps over the diagram text; each moves pos forward, never back.
void skipMermaidBlanks(const QString &text, int &pos);
void skipMermaidComments(const QString &text, int &pos);
void skipMermaidClassSuffix(const QString &text, int &pos);
QString readMermaidWord(const QString &text, int &pos);
// A quoted name or alias ends at its closing quote or bracket, or at the end of its line;
// *closed (when given) tells whether it was closed. A name is returned as written; the
// markup stripping (bold and emphasis marks) applies to aliases only.
QString readMermaidName(const QString &text, int &pos, bool *closed = nullptr);
QString parseMermaidAlias(const QString &text, int &pos, bool *closed = nullptr);
QString stripMermaidMarkup(const QString &text);
bool parseMermaidAttributeLine(const QString &line, MermaidAttribute &attribute);

// Cardinality at pos, as a two-character symbol or as a word form; advances past it.
bool matchCardinalitySymbol(const QString &text, int &pos, int &card);
bool matchCardinalityWord(const QString &text, int &pos, int &card);

// Symbols the writer puts left of "--" (for the from end) and right of it (for the to end).
// A code outside 0 to 3 is written as Many.
QString mermaidLeftCardinalitySymbol(int card);
QString mermaidRightCardinalitySymbol(int card);

// Entity names and aliases, attribute names and types, and relationship labels longer than
// this many characters are cut to it, and their line is counted in the report below.
constexpr int MaxMermaidTextLength = 1000;

// What a read that succeeded could not read. The reader skips what it cannot read and
// goes on; these count the lines of the file that held such text (a statement that breaks
// off, a quote or alias left open at its line's end, a block that never closes, counted at
// its opening line, an attribute line without a name, text that is no Mermaid such as
// control characters or bytes that are not UTF-8, for which the whole line is skipped, a
// text cut to MaxMermaidTextLength, the lines a directive never closed takes with it, and
// the opening line of a Markdown fence that never closes, whose diagram is read to the end
// of the file).
struct MermaidReadReport
{
    int unreadLines = 0;     // how many lines
    int firstUnreadLine = 0; // number of the first of them in the file, from 1; 0 when none
};

// Reads a whole file text (any line ends, front matter, Markdown fence) into records.
// False with one of the reader's failure sentences in *error when error is not null; on
// success, *report (when given) says what could not be read. A long text is read in runs
// on several threads; runCount (when above 0) sets how many, and any count gives the same
// records.
bool readMermaidText(const QString &text, QList<MermaidEntity> *entities,
                     QList<MermaidRelationship> *relationships, QString *error,
                     MermaidReadReport *report = nullptr, int runCount = 0);

// Key for matching a foreign-key row name against its parent's title.
QString foreignKeyMatchKey(const QString &name);

// The exchange document of the records: ids, grid positions and foreign-key links.
QJsonObject buildMermaidDiagramJson(const QList<MermaidEntity> &entities,
                                    const QList<MermaidRelationship> &relationships);

// Reads a Mermaid file (bare, or fenced in Markdown) and returns its exchange document, or
// an empty object with the failure sentence in *error. On success *report (when given)
// counts the lines that could not be read; an import shows it as a warning.
QJsonObject parseMermaidFile(const QString &path, QString *error,
                             MermaidReadReport *report = nullptr);
