#include "sceneindex.h"

#include <QGraphicsScene>

#include <algorithm>

int treeIndexDepthFor(qsizetype itemCount)
{
    constexpr int MinimumDepth = 5;
    constexpr int ItemsPerLeafLog2 = 4;
    int depth = 0;
    while (depth < 30 && (qsizetype(1) << depth) < itemCount)
        ++depth;
    return std::max(MinimumDepth, depth - ItemsPerLeafLog2);
}

void putBackTreeIndex(QGraphicsScene *scene)
{
    // Without an index the count is a copy of a list; with one it would sort them all.
    const qsizetype itemCount = scene->items().size();
    scene->setItemIndexMethod(QGraphicsScene::BspTreeIndex);
    scene->setBspTreeDepth(treeIndexDepthFor(itemCount));
    // A new index learns the scene rectangle only from this signal; without it the tree
    // spans an empty rectangle, every item lands in the same few leaves, and a paint or a
    // look-up walks them all.
    emit scene->sceneRectChanged(scene->sceneRect());
}
