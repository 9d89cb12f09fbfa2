#pragma once

// Diagrams for the automatic layout's tests and bench, built from real boxes and edges.
// Header only: it uses the same libraries as the seeded diagram generator.

#include "diagramgenerator.h"
#include "edgeitem.h"
#include "entityitem.h"

#include <QGraphicsScene>
#include <QStringList>

#include <cstdint>
#include <random>

namespace layoutfixtures {

// Links hubIndex to count other boxes of the diagram, taken at an even stride.
inline void addHub(QGraphicsScene *scene, diagramgenerator::Diagram &diagram, int hubIndex, int count)
{
    const int n = int(diagram.boxes.size());
    if (n < 2)
        return;
    int added = 0;
    for (int k = 1; added < count && k < n; ++k) {
        const int other = (hubIndex + k * 7) % n;
        if (other == hubIndex || diagram.boxes.at(other)->kind == EntityKind::View)
            continue;
        auto *edge = new EdgeItem(diagram.boxes.at(hubIndex), diagram.boxes.at(other), false);
        scene->addItem(edge);
        diagram.edges.append(edge);
        ++added;
    }
}

inline EntityItem *makeTable(QGraphicsScene *scene, const QString &name, int rows, const QPointF &pos)
{
    auto *box = new EntityItem(name, QSizeF(150, 70));
    for (int r = 0; r < rows; ++r) {
        const bool key = r == 0;
        box->addAttributeRow(key ? QStringLiteral("id") : QStringLiteral("column_%1").arg(r),
                             key ? QStringLiteral("INTEGER") : QStringLiteral("VARCHAR(40)"), key, false, false, false);
    }
    scene->addItem(box);
    box->setPos(pos);
    return box;
}

// 15 tables of a small shop with 22 relationships, dropped on a grid in a scrambled order
// so that the lines cross before the layout.
inline diagramgenerator::Diagram buildShopDiagram(QGraphicsScene *scene)
{
    const QStringList names = QStringLiteral("customer address orders order_line product category supplier "
                                             "warehouse stock shipment payment invoice employee department review")
                                  .split(QLatin1Char(' '));
    // Grid cell of each table: a fixed scramble.
    const int cells[] = {11, 3, 7, 0, 14, 5, 9, 1, 12, 6, 2, 13, 8, 4, 10};
    const int rows[] = {6, 5, 5, 4, 7, 3, 5, 4, 4, 5, 4, 5, 6, 3, 4};
    const QList<QPair<int, int>> links{
        {0, 1},  {0, 2},  {2, 3},  {4, 3},  {5, 4},  {5, 5},  {6, 4},  {7, 8},  {4, 8},  {2, 9},  {7, 9},
        {2, 10}, {2, 11}, {10, 11}, {13, 12}, {12, 12}, {12, 2}, {0, 14}, {4, 14}, {6, 7}, {12, 9}, {0, 11}};
    diagramgenerator::Diagram diagram;
    for (int i = 0; i < names.size(); ++i) {
        const QPointF pos((cells[i] % 5) * 260.0, (cells[i] / 5) * 240.0);
        diagram.boxes.append(makeTable(scene, names[i], rows[i], pos));
    }
    for (const auto &link : links) {
        auto *edge = new EdgeItem(diagram.boxes.at(link.first), diagram.boxes.at(link.second), false);
        scene->addItem(edge);
        diagram.edges.append(edge);
    }
    return diagram;
}

// One sparse connected component: every box has 4 rows and is on at most 3 relationships
// (each box after the first joins an earlier one that still has room).
inline diagramgenerator::Diagram buildSparseTree(QGraphicsScene *scene, int count, std::uint64_t seed)
{
    std::mt19937_64 engine(seed);
    auto below = [&](int n) { return int(((engine() >> 11) * 0x1.0p-53) * n); };
    diagramgenerator::Diagram diagram;
    QList<int> degree;
    const int columns = 60;
    for (int i = 0; i < count; ++i) {
        const QPointF pos((i % columns) * 240.0 + below(40), (i / columns) * 200.0 + below(30));
        diagram.boxes.append(makeTable(scene, QStringLiteral("t%1").arg(i), 4, pos));
        degree.append(0);
        if (i == 0)
            continue;
        int parent = std::max(0, i - 1 - below(40));
        while (degree[parent] >= 3)
            parent = (parent + 1) % i;
        ++degree[parent];
        ++degree[i];
        auto *edge = new EdgeItem(diagram.boxes.at(parent), diagram.boxes.at(i), false);
        scene->addItem(edge);
        diagram.edges.append(edge);
    }
    return diagram;
}

} // namespace layoutfixtures
