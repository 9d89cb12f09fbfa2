#pragma once

#include "routegeometry.h"

#include <QImage>
#include <QString>

#include <array>
#include <cstdint>
#include <random>

namespace routingtest {

// Seeded numbers mapped to ranges by hand: the standard distributions differ between
// library versions, the 64-bit Mersenne Twister's raw output does not.
class SeededRandom
{
public:
    explicit SeededRandom(std::uint64_t seed) : m_engine(seed) {}

    // Uniform in [low, high).
    double uniform(double low, double high)
    {
        return low + (m_engine() >> 11) * 0x1.0p-53 * (high - low);
    }

    // Uniform in [0, count).
    int below(int count) { return int(uniform(0, count)); }

    bool chance(double probability) { return uniform(0, 1) < probability; }

private:
    std::mt19937_64 m_engine;
};

struct Layout
{
    QRectF fromRect;
    QRectF toRect;
    QList<QRectF> obstacles; // already inset, as callers pass them
};

// A few boxes of mixed sizes close together, now and then a degenerate one; on some
// layouts boxes just around the pair, and on some a crowd of boxes far away.
Layout randomLayout(SeededRandom &random);

// The route of one side pair as drawn for a person to look at.
struct PairRoute
{
    routing::SidePair sides;
    routing::Route route;
};

QString sideName(routing::EntitySide side);

// "x y, x y, ..." with the shortest text that reads back as the same double.
QString routeToText(const routing::Route &route);

// A 4 x 4 sheet, one panel per side pair: boxes, obstacles and the route with rounded
// corners.
QImage renderSidePairSheet(const QString &title, const QRectF &fromRect, const QRectF &toRect,
                           const QList<QRectF> &obstacles, const QList<PairRoute> &routes);

} // namespace routingtest
