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

// One attribute row; key flags are decided when the document is built.
struct RecognizedAttribute
{
    QString name;
    QString type;
};

struct RecognizedEntity
{
    QRectF rect;
    QRectF headerRect;       // zero width and height: no title band was found
    QList<QRectF> rowRects;  // attribute row rectangles, when the route found them
    QString title;
    QList<RecognizedAttribute> attributes;
    bool attributesMissing = false;

    bool hasTitleBand() const { return headerRect.width() != 0 || headerRect.height() != 0; }
};

// A connector between two different entities, by their index in the entity list. line
// runs from the end at oneIndex to the end at manyIndex.
struct RecognizedLink
{
    int oneIndex = -1;
    int manyIndex = -1;
    QLineF line;
    bool hasLine = false;

    // Exchanges the ends: both indices and both points of line together.
    void swapEnds()
    {
        std::swap(oneIndex, manyIndex);
        line = QLineF(line.p2(), line.p1());
    }
};

struct RecognizedDiagram
{
    QList<RecognizedEntity> entities;  // the order numbers placeholders and indexes links
    QList<RecognizedLink> links;
    QList<TextFragment> texts;         // text read from a drawing itself
    QList<QRectF> manyMarkers;         // marks at the many end of a connector
    QList<QRectF> oneMarkers;          // marks at the one end

    bool nothingRecognized() const { return entities.isEmpty(); }
};

// Recognises the picture or SVG drawing at path and loads it into scene, joining the
// links with edges. False with the reason in *error when nothing could be loaded.
bool importImageIntoScene(ERScene *scene, const QString &path, QString *error = nullptr);

// The recognition pipeline; an empty entity list means nothing was recognised.
RecognizedDiagram recognizeImageFile(const QString &path, QString *error = nullptr);

// recognizeImageFile turned into a diagram exchange document, or an empty object.
QJsonObject recognizeImageToJson(const QString &path, QString *error = nullptr);

// The seam for an outside text recogniser: one fragment per piece of text in the whole
// picture, in its pixels. None is attached, so it finds nothing and the built-in glyph
// recognition reads all text.
QList<TextFragment> detectTextFragments(const QImage &image);
