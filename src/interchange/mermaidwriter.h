#pragma once

#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>

// Writing the diagram exchange document as Mermaid erDiagram text. Plain functions over
// the document: safe on any thread, no widget or graphics object.

// Identifiers given out so far in one text, case-folded, with the next suffix to try per
// base (the set only grows, so suffixes below it are known to be taken).
struct MermaidUsedNames
{
    QSet<QString> names;
    QHash<QString, int> nextSuffix;
};

// True for a text Mermaid takes as a bare entity name (not one of the statement words).
bool isValidMermaidIdentifier(const QString &text);

// A valid identifier made from any title; never empty.
QString sanitizeMermaidEntityName(const QString &text);

// base, or base_2, base_3, ...: the first not yet used ignoring case; marks it used.
QString uniqueMermaidName(const QString &base, MermaidUsedNames &used);

// Attribute name and type as single words the reader takes back; an unusable name is empty.
QString sanitizeMermaidAttributeName(const QString &text);
QString sanitizeMermaidType(const QString &text);

// The text in double quotes as Mermaid reads it back: quoted strings have no escape, so a
// double quote becomes a single one, a line break a blank, and "%%" a single "%".
QString quoteMermaidString(const QString &text);

// A title as the quoted alias of an entity may hold it: as above, without "%" and
// backslashes, trimmed; empty when nothing is left.
QString mermaidAliasText(const QString &title);

// The diagram as Mermaid erDiagram text; at least "erDiagram\n".
QString generateMermaidText(const QJsonObject &diagram);

// Writes the diagram's text to path, fenced for Markdown files (.md, .markdown). An existing
// file is replaced only once the whole text is written. False with a sentence in *error.
bool writeMermaidFile(const QJsonObject &diagram, const QString &path, QString *error);
