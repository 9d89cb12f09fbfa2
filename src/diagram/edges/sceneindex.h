#pragma once

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QGraphicsScene;
QT_END_NAMESPACE

// The scene's tree of item areas, put back after a while without it (a load, a clear, a
// drag of many lines).

// The depth of the tree for this many items. Qt gives every item a leaf of its own, text
// cells included, and a diagram's cells outnumber its boxes and lines twenty to one: so
// deep a tree takes several times longer to build than one with a leaf for every few
// items, which answers look-ups as quickly.
int treeIndexDepthFor(qsizetype itemCount);

// Gives scene, now without an index, its tree back, with a depth for the items it holds
// and spanning its rectangle.
void putBackTreeIndex(QGraphicsScene *scene);
