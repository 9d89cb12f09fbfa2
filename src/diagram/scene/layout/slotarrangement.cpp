#include "slotarrangement.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace layout {

namespace {

constexpr int SpacingPasses = 10;

bool nearlyEqual(double a, double b)
{
    return std::abs(a - b) * 1e12 <= std::min(std::abs(a), std::abs(b));
}

} // namespace

QList<QPointF> arrangeSideSlots(routing::EntitySide side, const QRectF &rect, const QList<SlotTarget> &targets)
{
    const int n = int(targets.size());
    QList<QPointF> positions(n, rect.center());
    if (n == 0)
        return positions;

    const bool vertical = side == routing::LeftSide || side == routing::RightSide;
    auto along = [vertical](const QPointF &p) { return vertical ? p.y() : p.x(); };
    auto across = [vertical](const QPointF &p) { return vertical ? p.x() : p.y(); };

    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const QPointF &pa = targets[a].otherSceneCentre;
        const QPointF &pb = targets[b].otherSceneCentre;
        if (nearlyEqual(along(pa), along(pb)))
            return across(pa) < across(pb);
        return along(pa) < along(pb);
    });

    const double length = vertical ? rect.height() : rect.width();
    const double margin = std::clamp(0.12 * length, 4.0, 12.0);
    const double start = vertical ? rect.y() : rect.x();
    const double lo = start + margin;
    const double hi = start + length - margin;

    std::vector<double> p(n);
    for (int i = 0; i < n; ++i)
        p[i] = std::max(std::min(along(targets[order[i]].otherLocalCentre), hi), lo);

    if (n >= 2) {
        for (int pass = 0; pass < SpacingPasses; ++pass) {
            p[0] = std::max(p[0], lo);
            p[n - 1] = std::min(p[n - 1], hi);
            for (int i = 0; i + 1 < n; ++i)
                p[i + 1] = std::max(p[i + 1], p[i] + SlotSpacing);
            for (int i = n - 2; i >= 0; --i)
                p[i] = std::min(p[i], p[i + 1] - SlotSpacing);
        }
        const bool fits = p[0] >= lo - 0.5 && p[n - 1] <= hi + 0.5 && (n - 1) * SlotSpacing - 1 <= hi - lo;
        if (!fits) {
            for (int i = 0; i < n; ++i)
                p[i] = lo + i * (hi - lo) / (n - 1);
        }
    }

    for (int i = 0; i < n; ++i) {
        QPointF &position = positions[order[i]];
        switch (side) {
        case routing::LeftSide:
            position = QPointF(rect.x(), p[i]);
            break;
        case routing::RightSide:
            position = QPointF(rect.x() + rect.width(), p[i]);
            break;
        case routing::TopSide:
            position = QPointF(p[i], rect.y());
            break;
        case routing::BottomSide:
            position = QPointF(p[i], rect.y() + rect.height());
            break;
        default:
            position = rect.center();
            break;
        }
    }
    return positions;
}

} // namespace layout
