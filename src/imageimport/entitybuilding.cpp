// Entity building: recognised text into boxes, titles and attribute rows; and the diagram
// exchange document of a recognised diagram.
#include "recognitionsteps.h"

#include "boxgrid.h"

#include <QJsonArray>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double BoxGrowth = 4.0;        // a fragment this near a box's edge belongs to it
constexpr double NearestBoxLimit = 18.0; // a fragment outside every box joins one this near
constexpr double CanvasMargin = 40.0;
// A name scoring this against a title (Customer_ID against customers: 14) names its id.
constexpr double KeyNameScore = 8.0;

QPointF centre(const QRectF &r)
{
    return QPointF(r.x() + r.width() * 0.5, r.y() + r.height() * 0.5);
}

// The smallest box whose rectangle grown by BoxGrowth holds p, the earlier on equal areas;
// otherwise the nearest box within NearestBoxLimit; -1 when there is none.
int boxForPoint(const QList<QRectF> &boxes, const BoxGrid &grid, const QPointF &p)
{
    int best = -1;
    double bestArea = 0;
    for (int i : grid.containing(p, BoxGrowth)) {
        const double boxArea = boxes.at(i).width() * boxes.at(i).height();
        if (best < 0 || boxArea < bestArea || (boxArea == bestArea && i < best)) {
            best = i;
            bestArea = boxArea;
        }
    }
    return best >= 0 ? best : grid.nearest(p, NearestBoxLimit);
}

// The lines of one box: fragments join a line while their centres stay within
// max(0.55 x height, 7) of the previous one's.
QStringList linesOf(const QList<TextFragment> &bucket)
{
    QStringList lines;
    QString line;
    double previous = centre(bucket.first().rect).y();
    for (const TextFragment &fragment : bucket) {
        const double cy = centre(fragment.rect).y();
        if (!line.isEmpty()) {
            if (std::abs(cy - previous) > std::max(0.55 * fragment.rect.height(), 7.0)) {
                lines.append(cleanRecognizedText(line));
                line.clear();
            } else {
                line.append(u' ');
            }
        }
        line.append(fragment.text.trimmed());
        previous = cy;
    }
    if (!line.isEmpty())
        lines.append(cleanRecognizedText(line));
    return lines;
}

void fillEntity(RecognizedEntity &entity, const QList<TextFragment> &bucket)
{
    const QStringList lines = bucket.isEmpty() ? QStringList() : linesOf(bucket);
    if (lines.isEmpty()) {
        entity.attributesMissing = true;
        return;
    }
    entity.title = lines.first();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        RecognizedAttribute attribute = parseAttributeLine(lines.at(i));
        if (attribute.name.isEmpty())
            continue;
        if (attribute.type.isEmpty()) {
            attribute.type = isIdColumnName(attribute.name) ? QStringLiteral("uuid")
                                                            : QStringLiteral("undefined");
        }
        entity.attributes.append(attribute);
    }
    entity.attributesMissing = lines.size() == 1 || entity.attributes.isEmpty();
}

// Entity widths above 40 units are scaled to about 180 units wide (the median box).
double canvasScale(const QList<RecognizedEntity> &entities)
{
    std::vector<double> widths;
    for (const RecognizedEntity &entity : entities) {
        if (isFiniteRect(entity.rect))
            widths.push_back(entity.rect.width());
    }
    if (widths.empty())
        return 1.0;
    std::sort(widths.begin(), widths.end());
    const double median = widths.at(widths.size() / 2);
    if (median <= 40)
        return 2.8;
    return std::clamp(180.0 / median, 0.35, 2.8);
}

QPointF canvasOrigin(const QList<RecognizedEntity> &entities)
{
    QPointF origin(1e300, 1e300);
    for (const RecognizedEntity &entity : entities) {
        if (!isFiniteRect(entity.rect))
            continue;
        origin.setX(std::min(origin.x(), entity.rect.x()));
        origin.setY(std::min(origin.y(), entity.rect.y()));
    }
    return origin;
}

double canvasCoordinate(double value, double origin, double scale)
{
    const double placed = (value - origin) * scale + CanvasMargin;
    return std::isfinite(placed) ? placed : 0.0;
}

bool isIdLikeName(const QString &name)
{
    const QString compact = compactLowerName(name);
    return isIdColumnName(name) || (compact.size() > 2 && compact.endsWith(QLatin1String("id")));
}

// Whether an id-like name is that of the entity's own id: "id" itself, or its title's stem
// with an id ending.
bool namesOwnId(const QString &name, const QString &title)
{
    return compactLowerName(name) == QLatin1String("id")
        || (isIdLikeName(name) && foreignKeyMatchScore(name, title, {}) >= KeyNameScore);
}

// Whether an id-like name refers to another entity by its title.
bool refersToOtherEntity(const QString &name, qsizetype self, const QList<RecognizedEntity> &entities)
{
    if (!isIdLikeName(name))
        return false;
    for (qsizetype i = 0; i < entities.size(); ++i) {
        if (i != self && foreignKeyMatchScore(name, entities.at(i).title, {}) >= KeyNameScore)
            return true;
    }
    return false;
}

// The key flags of an entity's rows. Where the picture marks primary keys, the marks decide;
// otherwise a row is the primary key when its name is the entity's own id, or, when no name
// is, the first row when it is an id that refers to no other entity. Other id-like rows that
// name another entity are foreign keys.
QJsonArray attributeRows(qsizetype self, const QList<RecognizedEntity> &entities)
{
    const RecognizedEntity &entity = entities.at(self);
    const QList<RecognizedAttribute> &attributes = entity.attributes;
    const bool marked = std::any_of(attributes.cbegin(), attributes.cend(),
                                    [](const RecognizedAttribute &a) { return a.marks.primary; });
    QList<bool> primary(attributes.size(), false);
    for (qsizetype i = 0; i < attributes.size(); ++i)
        primary[i] = marked ? attributes.at(i).marks.primary : namesOwnId(attributes.at(i).name, entity.title);
    if (!marked && !primary.contains(true) && !attributes.isEmpty() && isIdLikeName(attributes.first().name)
        && !refersToOtherEntity(attributes.first().name, self, entities))
        primary[0] = true;

    QJsonArray rows;
    for (qsizetype i = 0; i < attributes.size(); ++i) {
        const RecognizedAttribute &attribute = attributes.at(i);
        const bool foreign = attribute.marks.foreign
            || (!marked && !primary.at(i) && refersToOtherEntity(attribute.name, self, entities));
        QJsonObject row;
        row.insert(QStringLiteral("name"), attribute.name);
        row.insert(QStringLiteral("type"), attribute.type);
        row.insert(QStringLiteral("isPrimaryKey"), primary.at(i));
        row.insert(QStringLiteral("isUniqueKey"), attribute.marks.unique);
        row.insert(QStringLiteral("isForeignKey"), foreign);
        rows.append(row);
    }
    return rows;
}

bool isEntityIndex(int index, const QList<RecognizedEntity> &entities)
{
    return index >= 0 && index < entities.size();
}

} // namespace

void assembleEntities(QList<RecognizedEntity> &entities, QList<TextFragment> fragments)
{
    fragments.removeIf([](const TextFragment &fragment) { return !isFiniteRect(fragment.rect); });
    sortByRows(fragments, FixedRowTolerance);

    QList<QRectF> boxes;
    boxes.reserve(entities.size());
    for (const RecognizedEntity &entity : entities)
        boxes.append(entity.rect);
    const BoxGrid grid(boxes, std::max(BoxGrowth, NearestBoxLimit));
    QList<QList<TextFragment>> buckets(entities.size());
    for (const TextFragment &fragment : std::as_const(fragments)) {
        if (fragment.text.trimmed().isEmpty())
            continue;
        const int box = boxForPoint(boxes, grid, centre(fragment.rect));
        if (box >= 0)
            buckets[box].append(fragment);
    }
    for (qsizetype i = 0; i < entities.size(); ++i)
        fillEntity(entities[i], buckets.at(i));
}

QJsonObject buildRecognizedDiagramJson(const RecognizedDiagram &result)
{
    const double scale = canvasScale(result.entities);
    const QPointF origin = canvasOrigin(result.entities);

    QJsonArray entities;
    for (qsizetype i = 0; i < result.entities.size(); ++i) {
        const RecognizedEntity &entity = result.entities.at(i);
        const bool placed = isFiniteRect(entity.rect);
        QJsonObject object;
        object.insert(QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces));
        object.insert(QStringLiteral("title"), entity.title);
        object.insert(QStringLiteral("x"), placed ? canvasCoordinate(entity.rect.x(), origin.x(), scale) : 0.0);
        object.insert(QStringLiteral("y"), placed ? canvasCoordinate(entity.rect.y(), origin.y(), scale) : 0.0);
        object.insert(QStringLiteral("attributes"), attributeRows(i, result.entities));
        entities.append(object);
    }

    QJsonArray links;
    for (const RecognizedLink &link : result.links) {
        if (!isEntityIndex(link.oneIndex, result.entities) || !isEntityIndex(link.manyIndex, result.entities)
            || link.oneIndex == link.manyIndex)
            continue;
        QJsonObject object;
        object.insert(QStringLiteral("one"), result.entities.at(link.oneIndex).title);
        object.insert(QStringLiteral("many"), result.entities.at(link.manyIndex).title);
        links.append(object);
    }

    QJsonObject document;
    document.insert(QStringLiteral("version"), QStringLiteral("1.0"));
    document.insert(QStringLiteral("type"), QStringLiteral("er-diagram"));
    document.insert(QStringLiteral("entities"), entities);
    document.insert(QStringLiteral("edges"), QJsonArray());
    document.insert(QStringLiteral("_linkCount"), int(result.links.size()));
    document.insert(QStringLiteral("_links"), links);
    return document;
}
