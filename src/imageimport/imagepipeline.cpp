// The front of image import: the route by file type, the text of drawings read from their
// rendering, the last naming pass, the orientation of links, and the loading of the result
// into the scene with its links joined by edges.
#include "recognitionsteps.h"

#include "boundedinflate.h"
#include "diagramitemtypes.h"
#include "edgeitem.h"
#include "edgeswitchscope.h"
#include "entityitem.h"
#include "entityobstacleindex.h"
#include "erscene.h"
#include "svgshapereader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QPainter>
#include <QPointer>
#include <QSet>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

namespace {

constexpr double MinRenderingScale = 2.0;
constexpr double MaxRenderingScale = 6.0;
constexpr int TextPassMargin = 3;
constexpr double TitleBandShare = 0.3;
constexpr double TitleBandLimit = 22.0;

constexpr double ManyMarkReach = 28.0;
constexpr double OneMarkReach = 22.0;
constexpr double MarkNearManyMark = 14.0;
constexpr double MarkHysteresis = 0.5;
constexpr double NameScoreMargin = 0.5;
constexpr double ForeignKeyScoreFloor = 8.0;

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

bool positiveFinite(double value)
{
    return std::isfinite(value) && value > 0;
}

bool usableViewBox(const QRectF &box)
{
    return isFiniteRect(box) && box.width() > 0 && box.height() > 0;
}

QPointF centreOf(const QRectF &r)
{
    return QPointF(r.x() + r.width() * 0.5, r.y() + r.height() * 0.5);
}

double distance(const QPointF &a, const QPointF &b)
{
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

// A drawing's rendering and what it is read with, each made when first asked for: a drawing
// whose boxes all carry their text is never rendered.
class DrawingRendering
{
public:
    DrawingRendering(const QString &path, bool compressed) : m_path(path), m_compressed(compressed) {}

    // The rendering; null when the drawing cannot be rendered.
    const QImage &picture()
    {
        render();
        return m_picture;
    }
    bool exists() { return !picture().isNull(); }
    const QRectF &viewBox()
    {
        render();
        return m_viewBox;
    }
    // Text is read before any closing pass, which fills the counters of small letters.
    const QImage &thresholded()
    {
        if (!m_thresholdedMade) {
            m_thresholdedMade = true;
            m_thresholded = thresholdImage(picture());
        }
        return m_thresholded;
    }
    GlyphTemplateCache &cache() { return m_cache; }
    const RenderedTextReader &textReader()
    {
        if (!m_reader)
            m_reader = recognizeRenderedText(picture(), viewBox(), &m_cache);
        return m_reader;
    }

private:
    void render()
    {
        if (m_rendered)
            return;
        m_rendered = true;
        std::unique_ptr<QSvgRenderer> renderer;
        if (m_compressed) {
            const QByteArray plain = inflateSvgz(m_path);
            if (plain.isEmpty())
                return;
            renderer = std::make_unique<QSvgRenderer>(plain);
        } else {
            renderer = std::make_unique<QSvgRenderer>(m_path);
        }
        if (!renderer->isValid())
            return;
        const QRectF declared = renderer->viewBoxF();
        const SvgRenderingPlan plan = planSvgRendering(QSizeF(renderer->defaultSize()), declared);
        if (plan.pixels.isEmpty())
            return;
        QImage picture(plan.pixels, QImage::Format_ARGB32_Premultiplied);
        if (picture.isNull())
            return;
        picture.fill(Qt::white);
        {
            QPainter painter(&picture);
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setRenderHint(QPainter::TextAntialiasing, true);
            renderer->render(&painter);
        }
        m_picture = picture;
        m_viewBox = usableViewBox(declared) && declared.width() >= 1
                        ? declared
                        : QRectF(0, 0, plan.drawing.width(), plan.drawing.height());
    }

    QString m_path;
    bool m_compressed = false;
    bool m_rendered = false;
    QImage m_picture;
    QRectF m_viewBox;
    bool m_thresholdedMade = false;
    QImage m_thresholded;
    GlyphTemplateCache m_cache;
    RenderedTextReader m_reader;
};

bool needsText(const RecognizedEntity &entity)
{
    return entity.title.isEmpty() || entity.attributes.isEmpty();
}

// Reads the missing title and rows of one entity from the drawing's rendering.
void readEntityText(RecognizedEntity &entity, DrawingRendering &rendering)
{
    const RenderedTextReader &read = rendering.textReader();
    if (entity.title.isEmpty()) {
        if (entity.hasTitleBand())
            entity.title = read(entity.headerRect);
        if (entity.title.isEmpty()) {
            const QRectF band(entity.rect.x(), entity.rect.y(), entity.rect.width(),
                              std::min(TitleBandShare * entity.rect.height(), TitleBandLimit));
            entity.title = read(band);
        }
    }
    if (!entity.attributes.isEmpty())
        return;
    if (entity.rowRects.isEmpty()) {
        const QImage &picture = rendering.picture();
        const QImage &binary = rendering.thresholded();
        const QRect bounds = mapRectToImage(entity.rect, picture, rendering.viewBox(), TextPassMargin);
        if (bounds.isEmpty() || binary.isNull())
            return;
        const double sx = double(binary.width()) / picture.width();
        const double sy = double(binary.height()) / picture.height();
        const QRectF region(bounds.left() * sx, bounds.top() * sy, (bounds.right() - bounds.left() + 1) * sx,
                            (bounds.bottom() - bounds.top() + 1) * sy);
        const QList<TextFragment> lines = recognizeRegionText(binary, {region}, &rendering.cache());
        QList<RecognizedEntity> copy{entity};
        copy.first().rect = region;
        assembleEntities(copy, lines);
        if (entity.title.isEmpty())
            entity.title = copy.first().title;
        entity.attributes = copy.first().attributes;
        return;
    }
    for (const QRectF &row : std::as_const(entity.rowRects)) {
        const QString text = read(row);
        if (text.isEmpty())
            continue;
        RecognizedAttribute attribute = parseAttributeLine(text);
        if (attribute.name.isEmpty())
            continue;
        if (attribute.type.isEmpty())
            attribute.type = isIdColumnName(attribute.name) ? QStringLiteral("uuid") : QStringLiteral("undefined");
        entity.attributes.append(attribute);
    }
}

// The text of every entity that lacks it, from the outside recogniser when it answers and
// otherwise from the built-in recognition.
void readTextFromRendering(QList<RecognizedEntity> &entities, DrawingRendering &rendering)
{
    if (std::none_of(entities.cbegin(), entities.cend(), needsText) || !rendering.exists())
        return;
    const QList<TextFragment> fragments = detectTextFragments(rendering.picture());
    if (!fragments.isEmpty()) {
        recognizeBoxTexts(entities, fragments, rendering.picture().size(), rendering.viewBox());
        return;
    }
    for (RecognizedEntity &entity : entities) {
        if (needsText(entity))
            readEntityText(entity, rendering);
        entity.attributesMissing = entity.attributes.isEmpty();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

void recognizeRaster(const QString &path, RecognizedDiagram &result, QString *error)
{
    const QImage picture = loadPicture(path, error);
    if (picture.isNull())
        return;
    if (!detectRasterBoxes(picture, result))
        setError(error, QStringLiteral("No rectangular entities were found in the image."));
}

void recognizeDrawing(const QString &path, bool compressed, RecognizedDiagram &result, QString *error)
{
    RecognizedDiagram shapes;
    const bool read = readSvgShapes(path, shapes);
    DrawingRendering rendering(path, compressed);
    if (!read || shapes.entities.isEmpty()) {
        if (!rendering.exists() || !detectRasterBoxes(rendering.picture(), result))
            setError(error, QStringLiteral("Could not read shapes from the SVG."));
        return;
    }
    result = shapes;
    readTextFromRendering(result.entities, rendering);
}

struct NearestEnd
{
    int link = -1;
    int end = -1;
    double distance = 0;
};

// The link end nearest to point, strictly nearer than reach, among the links with a line
// that accept it; the earlier link and end 0 win ties.
template<typename Accept>
NearestEnd nearestLinkEnd(const QList<RecognizedLink> &links, const QPointF &point, double reach, Accept accept)
{
    NearestEnd nearest;
    double best = reach;
    for (qsizetype i = 0; i < links.size(); ++i) {
        const RecognizedLink &link = links.at(i);
        if (!link.hasLine || !accept(i))
            continue;
        const QPointF ends[2] = {link.line.p1(), link.line.p2()};
        for (int end = 0; end < 2; ++end) {
            const double d = distance(point, ends[end]);
            if (d < best) {
                best = d;
                nearest = {int(i), end, d};
            }
        }
    }
    return nearest;
}

// The words that text reading could not make out, and the titles it read nothing of.
int unreadWords(const QList<RecognizedEntity> &entities)
{
    int count = 0;
    for (const RecognizedEntity &entity : entities) {
        count += entity.unreadWords;
        if (entity.title.trimmed().isEmpty() || isRepeatedLetterNoise(entity.title))
            ++count;
    }
    return count;
}

bool isManyCardinality(int cardinality)
{
    return cardinality == 1 || cardinality == 3;
}

bool isIndexOf(int index, qsizetype size)
{
    return index >= 0 && index < size;
}

// Lets the event loop turn, user input excluded, once 100 ms have passed since the last turn:
// the busy overlay keeps moving through a long loop, and the shown scene, repainted on each
// turn, does not take most of the time.
class EventLoopTurns
{
public:
    EventLoopTurns() { m_sinceTurn.start(); }
    void maybeTurn()
    {
        if (m_sinceTurn.elapsed() < TurnInterval)
            return;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        m_sinceTurn.restart();
    }

private:
    static constexpr qint64 TurnInterval = 100;
    QElapsedTimer m_sinceTurn;
};

// Re-routes asked for while it lives are collected instead of run at once.
class RerouteBatch
{
public:
    RerouteBatch() { EdgeItem::setBatchMode(true); }
    ~RerouteBatch() { EdgeItem::setBatchMode(false); }
    RerouteBatch(const RerouteBatch &) = delete;
    RerouteBatch &operator=(const RerouteBatch &) = delete;
};

} // namespace

bool takesSvgRoute(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("svg") || suffix == QLatin1String("svgz");
}

SvgRenderingPlan planSvgRendering(const QSizeF &defaultSize, const QRectF &viewBox)
{
    SvgRenderingPlan plan;
    double width = 1000;
    double height = 800;
    double scale = 2.4;
    if (positiveFinite(defaultSize.width()) && positiveFinite(defaultSize.height()) && defaultSize.width() >= 8
        && defaultSize.height() >= 8) {
        width = defaultSize.width();
        height = defaultSize.height();
        scale = SvgRenderingTarget / std::max(width, height);
    } else if (usableViewBox(viewBox)) {
        // A view box below one unit has nothing to render at a useful size.
        if (viewBox.width() < 1 || viewBox.height() < 1)
            return plan;
        width = std::round(viewBox.width());
        height = std::round(viewBox.height());
        scale = SvgRenderingTarget / std::max(width, height);
    }
    scale = std::clamp(scale, MinRenderingScale, MaxRenderingScale);

    // The caps win over the floor of 2: a huge drawing is rendered smaller than it is.
    const double sideCap = std::min(MaxRenderingSide / width, MaxRenderingSide / height);
    const double areaCap = std::sqrt(double(MaxRenderingPixels) / (width * height));
    double pixelsWide = std::round(width * scale);
    double pixelsHigh = std::round(height * scale);
    if (pixelsWide > MaxRenderingSide || pixelsHigh > MaxRenderingSide
        || pixelsWide * pixelsHigh > double(MaxRenderingPixels)) {
        scale = std::min({scale, sideCap, areaCap});
        // The small allowance keeps a product that is whole in exact arithmetic whole.
        pixelsWide = std::min(std::floor(width * scale + 1e-6), double(MaxRenderingSide));
        pixelsHigh = std::min(std::floor(height * scale + 1e-6), double(MaxRenderingSide));
        while (pixelsWide * pixelsHigh > double(MaxRenderingPixels)) {
            if (pixelsWide >= pixelsHigh)
                --pixelsWide;
            else
                --pixelsHigh;
        }
    }
    plan.drawing = QSizeF(width, height);
    plan.scale = scale;
    if (pixelsWide >= 1 && pixelsHigh >= 1)
        plan.pixels = QSize(int(pixelsWide), int(pixelsHigh));
    return plan;
}

QByteArray inflateSvgz(const QString &path)
{
    QFile file(path);
    // Compressed data is never much larger than what it inflates to, so a file past the
    // cap cannot hold a drawing within it.
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxInflatedBytes)
        return {};
    const QByteArray compressed = file.read(MaxInflatedBytes + 1);
    QByteArray plain;
    if (!inflateBytes(compressed, &plain, 31))
        return {};
    // The renderer would inflate a second gzip layer itself, without a cap.
    if (plain.startsWith("\x1f\x8b"))
        return {};
    return plain;
}

void finishRecognizedEntities(QList<RecognizedEntity> &entities)
{
    for (qsizetype i = 0; i < entities.size(); ++i) {
        RecognizedEntity &entity = entities[i];
        if (entity.title.trimmed().isEmpty() || isRepeatedLetterNoise(entity.title))
            entity.title = QStringLiteral("table_%1").arg(i + 1);
        if (entity.attributes.isEmpty()) {
            entity.attributes.append({QStringLiteral("%1_id").arg(entity.title), QStringLiteral("uuid")});
            entity.attributesMissing = true;
        } else {
            entity.attributesMissing = false;
        }
    }
}

int orientRecognizedLinks(RecognizedDiagram &result)
{
    QList<RecognizedLink> &links = result.links;
    if (links.isEmpty() || result.entities.isEmpty())
        return 0;
    QList<int> end(links.size(), -1);
    QList<double> best(links.size(), 1e300);
    // A link whose end marks were read as one many end and one that is not needs no more.
    QList<bool> settled(links.size(), false);
    for (qsizetype i = 0; i < links.size(); ++i) {
        const bool firstMany = isManyCardinality(links.at(i).oneCardinality);
        const bool secondMany = isManyCardinality(links.at(i).manyCardinality);
        if (firstMany != secondMany) {
            settled[i] = true;
            end[i] = firstMany ? 0 : 1;
        }
    }
    const auto unsettled = [&settled](qsizetype i) { return !settled[i]; };

    for (const QRectF &mark : std::as_const(result.manyMarkers)) {
        const NearestEnd found = nearestLinkEnd(links, centreOf(mark), ManyMarkReach, unsettled);
        if (found.link < 0)
            continue;
        if (best[found.link] > found.distance + MarkHysteresis || end[found.link] == -1) {
            best[found.link] = found.distance;
            end[found.link] = found.end;
        }
    }

    if (end.contains(-1)) {
        for (const QRectF &mark : std::as_const(result.oneMarkers)) {
            const QPointF centre = centreOf(mark);
            const bool byManyMark = std::any_of(result.manyMarkers.cbegin(), result.manyMarkers.cend(),
                                                [&centre](const QRectF &many) {
                                                    return distance(centreOf(many), centre) <= MarkNearManyMark;
                                                });
            if (byManyMark)
                continue;
            const NearestEnd found = nearestLinkEnd(links, centre, OneMarkReach,
                                                    [&end](qsizetype i) { return end[i] == -1; });
            if (found.link >= 0)
                end[found.link] = 1 - found.end;
        }
    }

    const qsizetype count = result.entities.size();
    int uncertain = 0;
    for (qsizetype i = 0; i < links.size(); ++i) {
        RecognizedLink &link = links[i];
        if (end[i] == 0) {
            link.swapEnds();
        } else if (end[i] == -1 && isIndexOf(link.oneIndex, count) && isIndexOf(link.manyIndex, count)) {
            const RecognizedEntity &a = result.entities.at(link.oneIndex);
            const RecognizedEntity &b = result.entities.at(link.manyIndex);
            const double scoreAB = entityForeignKeyScore(a, b);
            const double scoreBA = entityForeignKeyScore(b, a);
            if (scoreAB > scoreBA + NameScoreMargin) {
                link.swapEnds();
            } else if (!(scoreBA > scoreAB + NameScoreMargin)) {
                // Neither marks nor names tell the ends apart; a relationship of a box with
                // itself has no ends to tell apart.
                uncertain += link.isSelfLink() ? 0 : 1;
                if (!result.manyMarkers.isEmpty())
                    link.swapEnds();
            }
        }
    }
    return uncertain;
}

QList<EntityItem *> joinRecognizedLinks(ERScene *scene, const RecognizedDiagram &result, const QJsonObject &document)
{
    QList<EntityItem *> boxes;
    if (!scene)
        return boxes;
    QHash<QString, EntityItem *> byId;
    const QList<QGraphicsItem *> items = scene->items();
    for (QGraphicsItem *item : items) {
        if (item->type() == DiagramItemType::EntityItem) {
            auto *entity = static_cast<EntityItem *>(item);
            byId.insert(entity->id(), entity);
        }
    }
    // Guarded: the event loop turns while the links are joined.
    QList<QPointer<EntityItem>> guarded;
    const QJsonArray entities = document.value(QLatin1String("entities")).toArray();
    guarded.reserve(entities.size());
    for (const QJsonValue &value : entities)
        guarded.append(byId.value(value.toObject().value(QLatin1String("id")).toString()));

    // Boxes in stacking order, as the scene lists them for obstacle look-ups.
    QList<EntityItem *> stacked;
    for (QGraphicsItem *item : items) {
        if (item->type() == DiagramItemType::EntityItem)
            stacked.append(static_cast<EntityItem *>(item));
    }

    QSet<QPair<EntityItem *, EntityItem *>> joined;
    QList<QPointer<EdgeItem>> made;
    {
    // Every foreign key row added to a box would re-route all of the box's edges at once, so
    // a box with many links costs the square of them; the requests are collected instead,
    // and each edge is routed once below, over the boxes as they end up. The routes the new
    // edges take meanwhile are all replaced then, so an index over the boxes as they were
    // serves their obstacle look-ups.
    const RerouteBatch batch;
    const RerouteTimerHold holdTimer;
    const EntityObstacleIndex loadedBoxes(scene, stacked);
    const ObstacleIndexScope useLoadedBoxes(&loadedBoxes);
    EventLoopTurns turns;
    for (const RecognizedLink &link : result.links) {
        turns.maybeTurn();
        if (!isIndexOf(link.oneIndex, guarded.size()) || !isIndexOf(link.manyIndex, guarded.size())
            || !isIndexOf(link.manyIndex, result.entities.size()))
            continue;
        EntityItem *one = guarded.at(link.oneIndex);
        EntityItem *many = guarded.at(link.manyIndex);
        using Pair = QPair<EntityItem *, EntityItem *>;
        if (!one || !many || (one == many) != link.isSelfLink() || joined.contains(Pair(one, many))
            || joined.contains(Pair(many, one)))
            continue;
        const bool rowsMissing = result.entities.at(link.manyIndex).attributesMissing;
        EdgeItem *edge = scene->createEdge(one, many, rowsMissing);
        if (!edge)
            continue;
        if (!rowsMissing) {
            const QList<QPair<QString, QString>> keys = one->primaryKeyAttributes();
            int bestRow = -1;
            double bestScore = 0;
            for (int row = 0; row < many->attributeCount(); ++row) {
                // A box's own key does not refer to the box itself.
                if (!many->attributeFkEdgeId(row).isEmpty() || (one == many && many->isAttributePrimaryKey(row)))
                    continue;
                const double score = foreignKeyMatchScore(many->attributeName(row), one->title(), keys);
                if (score > bestScore) {
                    bestScore = score;
                    bestRow = row;
                }
            }
            if (bestRow >= 0 && bestScore >= ForeignKeyScoreFloor)
                many->markAttributeForeignKey(bestRow, edge->id);
        }
        edge->startCard = link.oneCardinality >= 0 ? link.oneCardinality : 0;
        edge->update();
        edge->endCard = link.manyCardinality >= 0 ? link.manyCardinality : 1;
        edge->update();
        made.append(edge);
        joined.insert(Pair(one, many));
    }
    for (EdgeItem *edge : std::as_const(made)) {
        if (edge)
            edge->forgetQueuedReroutes();
    }
    }

    // The boxes keep their final size from here on.
    const EntityObstacleIndex obstacles(scene, stacked);
    const ObstacleIndexScope useObstacles(&obstacles);
    EventLoopTurns turns;
    for (EdgeItem *edge : std::as_const(made)) {
        if (edge)
            edge->updatePath();
        turns.maybeTurn();
    }
    for (EntityItem *box : std::as_const(guarded))
        boxes.append(box);
    return boxes;
}

RecognizedDiagram recognizeImageFile(const QString &path, QString *error)
{
    RecognizedDiagram result;
    if (takesSvgRoute(path)) {
        const bool compressed = QFileInfo(path).suffix().toLower() == QLatin1String("svgz");
        recognizeDrawing(path, compressed, result, error);
    } else {
        recognizeRaster(path, result, error);
    }
    result.report.unreadWords = unreadWords(result.entities);
    finishRecognizedEntities(result.entities);
    result.report.uncertainLinks = orientRecognizedLinks(result);
    return result;
}

QString RecognitionReport::warningText() const
{
    QStringList parts;
    if (unreadWords > 0)
        parts.append(QStringLiteral("%1 words could not be read").arg(unreadWords));
    if (uncertainLinks > 0)
        parts.append(QStringLiteral("%1 links show no direction and were given one").arg(uncertainLinks));
    if (parts.isEmpty())
        return QString();
    return QStringLiteral("The picture was imported, but %1; check them against the picture.")
        .arg(parts.join(QLatin1String(" and ")));
}

QJsonObject recognizeImageToJson(const QString &path, QString *error)
{
    const RecognizedDiagram result = recognizeImageFile(path, error);
    if (result.entities.isEmpty()) {
        if (error && error->isEmpty())
            *error = QStringLiteral("No ER entities were recognized.");
        return QJsonObject();
    }
    return buildRecognizedDiagramJson(result);
}

bool importImageIntoScene(ERScene *scene, const QString &path, QString *error, RecognitionReport *report)
{
    if (!scene) {
        setError(error, QStringLiteral("No scene available."));
        return false;
    }
    const RecognizedDiagram result = recognizeImageFile(path, error);
    if (!loadRecognizedDiagram(scene, result, error))
        return false;
    if (report)
        *report = result.report;
    return true;
}

bool loadRecognizedDiagram(ERScene *scene, const RecognizedDiagram &result, QString *error)
{
    if (!scene) {
        setError(error, QStringLiteral("No scene available."));
        return false;
    }
    if (result.entities.isEmpty()) {
        if (error && error->isEmpty())
            *error = QStringLiteral("No ER entities were recognized in the image.");
        return false;
    }
    const QJsonObject document = buildRecognizedDiagramJson(result);
    if (!scene->loadFromJson(document)) {
        setError(error, QStringLiteral("Failed to load the recognized diagram."));
        return false;
    }
    joinRecognizedLinks(scene, result, document);
    return true;
}
