// Placing text fragments from an outside recogniser in the boxes a route has found: the
// title from the title band, the other fragments grouped into rows of name and type.
#include "recognitionsteps.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

QPointF centre(const QRectF &r)
{
    return QPointF(r.x() + r.width() / 2, r.y() + r.height() / 2);
}

bool holds(const QRectF &area, const QPointF &p)
{
    return p.x() >= area.x() && p.x() <= area.x() + area.width() && p.y() >= area.y()
        && p.y() <= area.y() + area.height();
}

double centreY(const TextFragment &fragment)
{
    return centre(fragment.rect).y();
}

// Heights sorted ascending, the one at index count / 2; fallback for no fragments.
double medianHeight(const QList<TextFragment> &fragments, double fallback)
{
    if (fragments.isEmpty())
        return fallback;
    std::vector<double> heights;
    heights.reserve(size_t(fragments.size()));
    for (const TextFragment &fragment : fragments)
        heights.push_back(fragment.rect.height());
    std::sort(heights.begin(), heights.end());
    return heights[heights.size() / 2];
}

// Consecutive fragments (in their order) form one row while their centres stay within the
// tolerance of the centre of the row's first fragment.
template <typename Tolerance>
QList<QList<TextFragment>> groupedIntoRows(const QList<TextFragment> &ordered, Tolerance &&tolerance)
{
    QList<QList<TextFragment>> rows;
    for (const TextFragment &fragment : ordered) {
        if (rows.isEmpty() || std::abs(centreY(fragment) - centreY(rows.last().first())) > tolerance(fragment))
            rows.append(QList<TextFragment>());
        rows.last().append(fragment);
    }
    return rows;
}

QList<TextFragment> mappedFragments(const QList<TextFragment> &fragments, const QSize &pictureSize,
                                    const QRectF &source)
{
    const double sx = source.width() / std::max(pictureSize.width(), 1);
    const double sy = source.height() / std::max(pictureSize.height(), 1);
    QList<TextFragment> mapped;
    mapped.reserve(fragments.size());
    for (const TextFragment &fragment : fragments) {
        const QRectF &r = fragment.rect;
        mapped.append({QRectF(source.x() + r.x() * sx, source.y() + r.y() * sy, r.width() * sx, r.height() * sy),
                       fragment.text});
    }
    return mapped;
}

QRectF titleBand(const RecognizedEntity &entity)
{
    const QRectF &box = entity.rect;
    const double top = entity.hasTitleBand() ? entity.headerRect.y() : box.y();
    const double height = entity.hasTitleBand() ? entity.headerRect.height() + 3.5
                                                : std::min(0.28 * box.height(), 22.0) + 3.5;
    return QRectF(box.x() + 1, top - 2, box.width() - 2, height);
}

// Rows of the body when the route found none: grouped by centre, spanning the box.
QList<QRectF> derivedRowRects(const RecognizedEntity &entity, QList<TextFragment> body)
{
    sortByCentres(body);
    const double reference = medianHeight(body, 10.0);
    QList<QRectF> rects;
    const auto rows = groupedIntoRows(body, [reference](const TextFragment &) { return 0.65 * reference; });
    for (const QList<TextFragment> &row : rows) {
        QRectF united = row.first().rect;
        for (const TextFragment &fragment : row)
            united = united.united(fragment.rect);
        const double left = entity.rect.x() + 3;
        const double right = entity.rect.x() + entity.rect.width() - 3;
        rects.append(QRectF(left, united.y(), right - left, united.height()));
    }
    return rects;
}

QList<TextFragment> fragmentsIn(const QList<TextFragment> &fragments, const QRectF &area)
{
    QList<TextFragment> inside;
    for (const TextFragment &fragment : fragments) {
        if (holds(area, centre(fragment.rect)))
            inside.append(fragment);
    }
    return inside;
}

QRectF rowCatchment(const QRectF &row)
{
    return QRectF(row.x() - 1, row.y() - 0.8, row.width() + 2, row.height() + 1.6);
}

void placeInEntity(RecognizedEntity &entity, const QList<TextFragment> &fragments)
{
    const QList<TextFragment> inBox = fragmentsIn(fragments, entity.rect.adjusted(-3, -3, 3, 3));
    if (inBox.isEmpty())
        return;
    const QRectF band = titleBand(entity);
    QList<TextFragment> titleWords;
    QList<TextFragment> body;
    for (const TextFragment &fragment : inBox)
        (holds(band, centre(fragment.rect)) ? titleWords : body).append(fragment);
    const QString title = joinWords(titleWords);
    if (!title.isEmpty() && !isRepeatedLetterNoise(title))
        entity.title = title;

    const QList<QRectF> rows = entity.rowRects.isEmpty() ? derivedRowRects(entity, body) : entity.rowRects;
    QList<RecognizedAttribute> attributes;
    for (const QRectF &row : rows)
        parseBoxLines(entity, attributes, fragmentsIn(body, rowCatchment(row)));

    QList<TextFragment> leftovers;
    for (const TextFragment &fragment : std::as_const(body)) {
        const QPointF c = centre(fragment.rect);
        if (std::none_of(rows.cbegin(), rows.cend(), [&c](const QRectF &row) { return holds(rowCatchment(row), c); }))
            leftovers.append(fragment);
    }
    sortByCentres(leftovers);
    const auto groups = groupedIntoRows(leftovers, [](const TextFragment &f) { return 0.65 * f.rect.height(); });
    for (const QList<TextFragment> &group : groups)
        parseBoxLines(entity, attributes, group);

    if (!attributes.isEmpty())
        entity.attributes = attributes;
    entity.attributesMissing = entity.attributes.isEmpty();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

RecognizedAttribute rowAttribute(const RecognizedEntity &entity, const QList<TextFragment> &row)
{
    const double middle = centre(entity.rect).x();
    QList<TextFragment> left;
    QList<TextFragment> right;
    for (const TextFragment &fragment : row)
        (centre(fragment.rect).x() < middle ? left : right).append(fragment);
    if (left.isEmpty() || right.isEmpty()
        || right.first().rect.x() - (left.last().rect.x() + left.last().rect.width()) <= 0.08 * entity.rect.width())
        return {joinWords(row), QString()};
    return {joinWords(left), joinWords(right)};
}

} // namespace

void recognizeBoxTexts(QList<RecognizedEntity> &entities, const QList<TextFragment> &fragments,
                       const QSize &pictureSize, const QRectF &source)
{
    if (fragments.isEmpty() || pictureSize.width() < 1 || pictureSize.height() < 1)
        return;
    const QList<TextFragment> mapped = mappedFragments(fragments, pictureSize, source);
    for (RecognizedEntity &entity : entities)
        placeInEntity(entity, mapped);
}

void parseBoxLines(const RecognizedEntity &entity, QList<RecognizedAttribute> &output,
                   QList<TextFragment> fragments)
{
    if (fragments.isEmpty())
        return;
    const double reference = medianHeight(fragments, 0.0);
    sortByRows(fragments, scaledRowTolerance(reference));
    const auto rows = groupedIntoRows(fragments, [reference](const TextFragment &) { return 0.5 * reference; });
    for (const QList<TextFragment> &row : rows) {
        RecognizedAttribute attribute = rowAttribute(entity, row);
        if (attribute.name.isEmpty() || isRepeatedLetterNoise(attribute.name))
            continue;
        if (!attribute.type.isEmpty() && !startsWithTypeWord(attribute.type)
            && attribute.type.compare(QLatin1StringView("uuid"), Qt::CaseInsensitive) != 0) {
            attribute.name = fixMisreadWord(attribute.name + attribute.type);
            attribute.type.clear();
        }
        if (attribute.type.isEmpty())
            attribute.type = isIdColumnName(attribute.name) ? QStringLiteral("uuid") : QStringLiteral("undefined");
        output.append(attribute);
    }
}

QString joinWords(QList<TextFragment> words)
{
    if (words.isEmpty())
        return QString();
    sortByLeftEdges(words);
    QString text = words.first().text;
    for (qsizetype i = 1; i < words.size(); ++i) {
        const QRectF &previous = words.at(i - 1).rect;
        const QRectF &next = words.at(i).rect;
        const double gap = next.x() - (previous.x() + previous.width());
        if (gap > 0.55 * std::max(previous.height(), next.height()))
            text.append(u' ');
        text.append(words.at(i).text);
    }
    return fixMisreadWord(text);
}
