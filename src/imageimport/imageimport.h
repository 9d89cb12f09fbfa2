#pragma once

#include <QJsonObject>
#include <QLineF>
#include <QList>
#include <QRectF>
#include <QString>

#include <utility>

QT_BEGIN_NAMESPACE
class QImage;
QT_END_NAMESPACE

class ERScene;

// Image import: recognition of entity boxes, attribute rows and links in pictures and SVG
// drawings. Every step passes its findings in the plain value records below. Coordinates
// are those of what was analysed: picture pixels for rasters, user units for drawings.

// One recognised piece of text, not yet cleaned.
struct TextFragment
{
    QRectF rect;
    QString text;
};

// The key a picture marks a row as, as the application draws them: a primary key bold and
// underlined, a unique key bold, a foreign key slanted.
struct KeyMarks
{
    bool primary = false;
    bool unique = false;
    bool foreign = false;

    bool any() const { return primary || unique || foreign; }
};

// One attribute row; key flags are decided when the document is built, from the marks the
// picture shows and the names.
struct RecognizedAttribute
{
    RecognizedAttribute() = default;
    RecognizedAttribute(const QString &name, const QString &type, const KeyMarks &marks = {})
        : name(name)
        , type(type)
        , marks(marks)
    {
    }

    QString name;
    QString type;
    KeyMarks marks;
};

struct RecognizedEntity
{
    QRectF rect;
    QRectF headerRect;       // zero width and height: no title band was found
    QList<QRectF> rowRects;  // attribute row rectangles, when the route found them
    QString title;
    QList<RecognizedAttribute> attributes;
    bool attributesMissing = false;
    int unreadWords = 0;     // words of the box that text reading could not make out

    bool hasTitleBand() const { return headerRect.width() != 0 || headerRect.height() != 0; }
};

// A connector between two entities, by their index in the entity list; both indices are the
// same for a relationship of an entity with itself. line runs from the end at oneIndex to the
// end at manyIndex. The cardinalities are those the marks at each end show (a
// CardinalityCode), -1 where none was read.
struct RecognizedLink
{
    int oneIndex = -1;
    int manyIndex = -1;
    QLineF line;
    bool hasLine = false;
    int oneCardinality = -1;
    int manyCardinality = -1;

    // Exchanges the ends: both indices, both points of line and both cardinalities together.
    void swapEnds()
    {
        std::swap(oneIndex, manyIndex);
        std::swap(oneCardinality, manyCardinality);
        line = QLineF(line.p2(), line.p1());
    }

    bool isSelfLink() const { return oneIndex == manyIndex; }
};

// What an import could not settle, for the user to check: words that could not be read
// (titles read as nothing, and what text reading counted) and links between two boxes whose
// ends neither marks nor names told apart.
struct RecognitionReport
{
    int unreadWords = 0;
    int uncertainLinks = 0;

    bool isClean() const { return unreadWords == 0 && uncertainLinks == 0; }
    // The warning shown after an import that succeeded; empty when the report is clean.
    QString warningText() const;
};

struct RecognizedDiagram
{
    QList<RecognizedEntity> entities;  // the order numbers placeholders and indexes links
    QList<RecognizedLink> links;
    QList<TextFragment> texts;         // text read from a drawing itself
    QList<QRectF> manyMarkers;         // marks at the many end of a connector
    QList<QRectF> oneMarkers;          // marks at the one end
    RecognitionReport report;          // filled by recognizeImageFile

    bool nothingRecognized() const { return entities.isEmpty(); }
};

// Recognises the picture or SVG drawing at path and loads it into scene, joining the
// links with edges. False with the reason in *error when nothing could be loaded; *report,
// when given, receives what the user should check.
bool importImageIntoScene(ERScene *scene, const QString &path, QString *error = nullptr,
                          RecognitionReport *report = nullptr);

// The recognition pipeline; an empty entity list means nothing was recognised. It touches
// no scene and no other shared object, so it may run on a worker thread; the result is then
// loaded on the GUI thread with loadRecognizedDiagram.
RecognizedDiagram recognizeImageFile(const QString &path, QString *error = nullptr);

// Loads a result of recognizeImageFile into scene and joins its links with edges; the second
// half of importImageIntoScene, on the GUI thread. False with the reason in *error when the
// result holds no entity or the scene refuses it.
bool loadRecognizedDiagram(ERScene *scene, const RecognizedDiagram &result, QString *error = nullptr);

// recognizeImageFile turned into a diagram exchange document, or an empty object.
QJsonObject recognizeImageToJson(const QString &path, QString *error = nullptr);

// The seam for an outside text recogniser: one fragment per piece of text in the whole
// picture, in its pixels. None is attached, so it finds nothing and the built-in glyph
// recognition reads all text.
QList<TextFragment> detectTextFragments(const QImage &image);
