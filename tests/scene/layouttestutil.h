#pragma once

#include "layoutnode.h"

#include <QTest>

#include <cmath>

// Small builders for node and link lists in the layout tests.
namespace layouttest {

inline QList<layout::LayoutNode> nodes(int count, double width = 200, double height = 120)
{
    QList<layout::LayoutNode> list(count);
    for (layout::LayoutNode &node : list) {
        node.width = width;
        node.height = height;
    }
    return list;
}

inline QList<layout::LayoutLink> star(int centre, int firstLeaf, int leaves)
{
    QList<layout::LayoutLink> links;
    for (int k = 0; k < leaves; ++k)
        links.append({centre, firstLeaf + k});
    return links;
}

inline QList<layout::LayoutLink> chain(int first, int count)
{
    QList<layout::LayoutLink> links;
    for (int k = 0; k + 1 < count; ++k)
        links.append({first + k, first + k + 1});
    return links;
}

// Whether boxes a and b keep at least gapX apart along x or gapY along y.
inline bool clearOf(const layout::LayoutNode &a, const layout::LayoutNode &b, double gapX, double gapY)
{
    return std::abs(b.centreX - a.centreX) >= (a.width + b.width) / 2 + gapX
           || std::abs(b.centreY - a.centreY) >= (a.height + b.height) / 2 + gapY;
}

inline bool allClear(const QList<layout::LayoutNode> &list, double gapX, double gapY)
{
    for (int i = 0; i < list.size(); ++i) {
        for (int j = i + 1; j < list.size(); ++j) {
            if (!clearOf(list[i], list[j], gapX, gapY))
                return false;
        }
    }
    return true;
}

// Positions compared exactly: the layout is deterministic.
inline bool samePositions(const QList<layout::LayoutNode> &a, const QList<layout::LayoutNode> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i].centreX != b[i].centreX || a[i].centreY != b[i].centreY)
            return false;
    }
    return true;
}

} // namespace layouttest
