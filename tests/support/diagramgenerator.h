#pragma once

#include <QList>

#include <cstdint>

QT_BEGIN_NAMESPACE
class QGraphicsScene;
QT_END_NAMESPACE

class EdgeItem;
class EntityItem;

// Seeded diagrams of real entity boxes and edges for tests and the bench. The same plan
// gives the same diagram on every machine: random integers are mapped to ranges by hand.
namespace diagramgenerator {

struct DiagramPlan
{
    int columns = 20;
    int rows = 15;
    int views = 20;            // boxes that show views; the rest show tables
    int edges = 500;           // all edges, self relationships and view links included
    int fewestRows = 3;        // attribute rows per box, drawn from fewestRows..mostRows
    int mostRows = 8;
    int selfRelationships = 10;
    int viewLinks = 20;
    double cellWidth = 280;    // grid pitch; each box is jittered inside its cell
    double cellHeight = 250;
    std::uint64_t seed = 1;
};

struct Diagram
{
    QList<EntityItem *> boxes;  // row by row
    QList<EdgeItem *> edges;    // in creation order; none routed yet
};

// Builds the boxes (fewestRows to mostRows rows each) and the edges directly in scene: relationships between
// near neighbours in the grid plus one long one in ten, self relationships on tables, and
// links from views to tables near them (the view at either end). Edges are made without
// foreign-key rows and without a route.
Diagram buildDiagram(QGraphicsScene *scene, const DiagramPlan &plan);

// The large diagram the load and layout benches share: 2,000 boxes in a 50 x 40 grid (100
// of them views), 3,000 edges with 30 self relationships and 100 view links.
inline DiagramPlan largeDiagramPlan(std::uint64_t seed)
{
    DiagramPlan plan;
    plan.columns = 50;
    plan.rows = 40;
    plan.views = 100;
    plan.edges = 3000;
    plan.selfRelationships = 30;
    plan.viewLinks = 100;
    plan.seed = seed;
    return plan;
}

} // namespace diagramgenerator
