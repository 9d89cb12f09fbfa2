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

QJsonArray attributeRows(const QList<RecognizedAttribute> &attributes)
{
    QJsonArray rows;
    for (qsizetype i = 0; i < attributes.size(); ++i) {
        const RecognizedAttribute &attribute = attributes.at(i);
        QJsonObject row;
        row.insert(QStringLiteral("name"), attribute.name);
        row.insert(QStringLiteral("type"), attribute.type);
        row.insert(QStringLiteral("isPrimaryKey"), i == 0 || isIdColumnName(attribute.name));
        row.insert(QStringLiteral("isUniqueKey"), false);
        row.insert(QStringLiteral("isForeignKey"), false);
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
    for (const RecognizedEntity &entity : result.entities) {
        const bool placed = isFiniteRect(entity.rect);
        QJsonObject object;
        object.insert(QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces));
        object.insert(QStringLiteral("title"), entity.title);
        object.insert(QStringLiteral("x"), placed ? canvasCoordinate(entity.rect.x(), origin.x(), scale) : 0.0);
        object.insert(QStringLiteral("y"), placed ? canvasCoordinate(entity.rect.y(), origin.y(), scale) : 0.0);
        object.insert(QStringLiteral("attributes"), attributeRows(entity.attributes));
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
