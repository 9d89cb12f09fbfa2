// Box merging for both recognition routes, and the splitting of attribute lines.
#include "recognitionsteps.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

struct Candidate
{
    QRectF rect;
    double area = 0;
};

double area(const QRectF &r)
{
    return r.width() * r.height();
}

QRectF boundingRect(const QRectF &a, const QRectF &b)
{
    const double left = std::min(a.left(), b.left());
    const double top = std::min(a.top(), b.top());
    const double right = std::max(a.x() + a.width(), b.x() + b.width());
    const double bottom = std::max(a.y() + a.height(), b.y() + b.height());
    return QRectF(left, top, right - left, bottom - top);
}

bool passesSizeAndShape(const QRectF &r)
{
    if (r.width() < 36 || r.height() < 22)
        return false;
    const double shape = r.height() > 1 ? r.width() / r.height() : r.width();
    return shape >= 0.18 && shape <= 10;
}

// Candidates with finite coordinates, largest area first; equal areas keep their order.
std::vector<Candidate> sortedByArea(const QList<QRectF> &candidates)
{
    std::vector<Candidate> sorted;
    sorted.reserve(size_t(candidates.size()));
    for (const QRectF &r : candidates) {
        if (isFiniteRect(r))
            sorted.push_back({r, area(r)});
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Candidate &a, const Candidate &b) { return a.area > b.area; });
    return sorted;
}

bool containsWithin(const QRectF &outer, double grow, const QRectF &inner)
{
    return inner.left() >= outer.left() - grow && inner.top() >= outer.top() - grow
        && inner.x() + inner.width() <= outer.x() + outer.width() + grow
        && inner.y() + inner.height() <= outer.y() + outer.height() + grow;
}

enum class Placement { Appended, United, Nested };

// Compares r with the boxes kept so far: the first overlapping box that r nearly covers
// takes it, the first that holds it drops it; otherwise r is a new box.
Placement placeCandidate(QList<QRectF> &kept, const QRectF &r, double rArea)
{
    for (QRectF &k : kept) {
        const double iw = std::min(r.x() + r.width(), k.x() + k.width()) - std::max(r.x(), k.x());
        const double ih = std::min(r.y() + r.height(), k.y() + k.height()) - std::max(r.y(), k.y());
        if (!(iw > 0 && ih > 0))
            continue;
        const double intersection = iw * ih;
        const double kArea = area(k);
        const double unionArea = rArea + kArea - intersection;
        if (unionArea > 0 && intersection / unionArea > 0.78) {
            k = boundingRect(k, r);
            return Placement::United;
        }
        if (containsWithin(k, 2, r) && kArea > 1.15 * rArea)
            return Placement::Nested;
    }
    kept.append(r);
    return Placement::Appended;
}

// Looks for the first stacked pair with box `changed` that lies before the pass position
// (row, column) in the examination order: the pairs (i, changed) for i < changed, then
// (changed, j) up to the position. Returns the pair's other index, or -1.
qsizetype firstEarlierPartner(const QList<QRectF> &boxes, qsizetype changed, qsizetype row,
                              qsizetype column)
{
    for (qsizetype i = 0; i < changed; ++i) {
        if (areStackedParts(boxes.at(i), boxes.at(changed)))
            return i;
    }
    const qsizetype end = changed < row ? boxes.size() : column;
    for (qsizetype j = changed + 1; j < end; ++j) {
        if (areStackedParts(boxes.at(changed), boxes.at(j)))
            return j;
    }
    return -1;
}

// Joins boxes[first] and boxes[second] (first < second) into first and moves the pass
// position over the removed box.
void joinPair(QList<QRectF> &boxes, qsizetype first, qsizetype second, qsizetype *row,
              qsizetype *column)
{
    boxes[first] = boundingRect(boxes.at(first), boxes.at(second));
    boxes.removeAt(second);
    if (second < *row) {
        --*row;
        --*column;
    } else if (second == *row) {
        *column = *row + 1;
    } else if (second < *column) {
        --*column;
    }
}

} // namespace

bool areStackedParts(const QRectF &first, const QRectF &second)
{
    const bool firstOnTop = first.y() <= second.y();
    const QRectF &a = firstOnTop ? first : second;
    const QRectF &b = firstOnTop ? second : first;
    const double tolerance = std::max(0.08 * std::min(a.width(), b.width()), 6.0);
    const double gap = b.y() - (a.y() + a.height());
    return std::abs(a.x() - b.x()) <= tolerance
        && std::abs((a.x() + a.width()) - (b.x() + b.width())) <= tolerance && gap >= -4
        && gap <= 14;
}

// Finds the joins of the plain rule (examine the pairs (i, j), i < j, in order; join the
// first stacked pair; start again from the first pair) in the same order without starting
// again. Every pair before the pass position is known apart; a join changes only the box
// it keeps, so the next join is a pair with that box before the position, or lies at or
// after it.
void joinStackedBoxes(QList<QRectF> &boxes)
{
    qsizetype row = 0;
    qsizetype column = 1;
    while (row + 1 < boxes.size()) {
        if (column >= boxes.size()) {
            ++row;
            column = row + 1;
            continue;
        }
        if (!areStackedParts(boxes.at(row), boxes.at(column))) {
            ++column;
            continue;
        }
        qsizetype kept = row;
        joinPair(boxes, row, column, &row, &column);
        for (qsizetype partner = firstEarlierPartner(boxes, kept, row, column); partner >= 0;
             partner = firstEarlierPartner(boxes, kept, row, column)) {
            const qsizetype first = std::min(kept, partner);
            joinPair(boxes, first, std::max(kept, partner), &row, &column);
            kept = first;
        }
    }
}

QList<QRectF> mergeRectangles(const QList<QRectF> &candidates)
{
    const std::vector<Candidate> sorted = sortedByArea(candidates);
    QList<QRectF> boxes;
    int compared = 0;
    bool warned = false;
    for (const Candidate &candidate : sorted) {
        if (!passesSizeAndShape(candidate.rect))
            continue;
        if (compared == MaxMergeCandidates) {
            if (!warned)
                qWarning("mergeRectangles: too many candidate boxes, keeping the %d largest", MaxMergeCandidates);
            warned = true;
            continue;
        }
        ++compared;
        placeCandidate(boxes, candidate.rect, candidate.area);
    }
    joinStackedBoxes(boxes);
    return boxes;
}

RecognizedAttribute parseAttributeLine(const QString &line)
{
    static const std::array<QRegularExpression, 3> separators = {
        QRegularExpression(QStringLiteral("\\s*:\\s*")),
        QRegularExpression(QStringLiteral("\\s*\\|\\s*")),
        QRegularExpression(QStringLiteral("\\s{2,}")),
    };
    static const std::array<QLatin1StringView, 3> keyPrefixes = {
        QLatin1StringView("PK "), QLatin1StringView("FK "), QLatin1StringView("UK ")};

    QString s = cleanRecognizedText(line);
    for (QLatin1StringView prefix : keyPrefixes) {
        if (s.startsWith(prefix, Qt::CaseInsensitive))
            s = s.mid(prefix.size()).trimmed();
    }
    RecognizedAttribute attribute;
    for (const QRegularExpression &separator : separators) {
        QStringList parts = s.split(separator, Qt::SkipEmptyParts);
        if (parts.size() > 1) {
            attribute.name = parts.takeFirst().trimmed();
            attribute.type = parts.join(u' ').trimmed();
            return attribute;
        }
    }
    QStringList words = s.split(u' ', Qt::SkipEmptyParts);
    if (words.size() >= 2 && startsWithTypeWord(words.last())) {
        attribute.type = words.takeLast();
        attribute.name = words.join(u' ');
        return attribute;
    }
    attribute.name = s;
    return attribute;
}

double entityForeignKeyScore(const RecognizedEntity &from, const RecognizedEntity &to)
{
    double best = 0.0;
    for (const RecognizedAttribute &attribute : from.attributes)
        best = std::max(best, foreignKeyMatchScore(attribute.name, to.title, {}));
    return best;
}
