#include "diagramgenerator.h"

#include "edgeitem.h"
#include "entityitem.h"
#include "entityviewedgeitem.h"

#include <QGraphicsScene>
#include <QSet>

#include <algorithm>
#include <random>

namespace diagramgenerator {

namespace {

class SeededRandom
{
public:
    explicit SeededRandom(std::uint64_t seed) : m_engine(seed) {}

    // Uniform in [low, high).
    double uniform(double low, double high) { return low + (m_engine() >> 11) * 0x1.0p-53 * (high - low); }
    // Uniform in [0, count).
    int below(int count) { return std::min(count - 1, int(uniform(0, count))); }

private:
    std::mt19937_64 m_engine;
};

EntityItem *makeBox(SeededRandom &random, int index, bool view, const DiagramPlan &plan)
{
    auto *box = new EntityItem(QStringLiteral("%1_%2").arg(view ? "view" : "table").arg(index, 3, 10, QChar(u'0')),
                               QSizeF(150, 70));
    if (view)
        box->setKind(EntityKind::View);
    const int rows = plan.fewestRows + random.below(std::max(plan.mostRows - plan.fewestRows + 1, 1));
    for (int r = 0; r < rows; ++r) {
        const bool key = r == 0;
        box->addAttributeRow(key ? QStringLiteral("id") : QStringLiteral("column_%1").arg(r),
                             key ? QStringLiteral("INTEGER") : QStringLiteral("VARCHAR(%1)").arg(10 * (1 + random.below(20))),
                             key, false, false, false);
    }
    return box;
}

} // namespace

Diagram buildDiagram(QGraphicsScene *scene, const DiagramPlan &plan)
{
    SeededRandom random(plan.seed);
    Diagram diagram;
    const int count = std::max(0, plan.columns * plan.rows);

    // Which cells hold views.
    QSet<int> viewCells;
    while (viewCells.size() < std::min(plan.views, count))
        viewCells.insert(random.below(count));

    for (int i = 0; i < count; ++i) {
        EntityItem *box = makeBox(random, i, viewCells.contains(i), plan);
        scene->addItem(box);
        const int column = i % plan.columns;
        const int row = i / plan.columns;
        box->setPos(column * plan.cellWidth + random.uniform(0, plan.cellWidth * 0.25),
                    row * plan.cellHeight + random.uniform(0, plan.cellHeight * 0.2));
        diagram.boxes.append(box);
    }
    if (count < 2)
        return diagram;

    QList<int> tables;
    QList<int> views;
    for (int i = 0; i < count; ++i)
        (viewCells.contains(i) ? views : tables).append(i);

    // A cell within two steps of cell i, or any cell for one edge in ten.
    const auto partnerOf = [&](int i) {
        if (random.below(10) == 0)
            return random.below(count);
        for (;;) {
            const int column = i % plan.columns + random.below(5) - 2;
            const int row = i / plan.columns + random.below(5) - 2;
            if (column >= 0 && column < plan.columns && row >= 0 && row < plan.rows)
                return row * plan.columns + column;
        }
    };
    const auto add = [&](EdgeItem *edge) {
        scene->addItem(edge);
        diagram.edges.append(edge);
    };

    const int links = views.isEmpty() || tables.isEmpty() ? 0 : plan.viewLinks;
    const int loops = tables.isEmpty() ? 0 : plan.selfRelationships;
    const int plain = std::max(0, plan.edges - links - loops);
    for (int e = 0; e < plain && tables.size() >= 2; ++e) {
        const int a = tables.at(random.below(int(tables.size())));
        int b = partnerOf(a);
        while (b == a || viewCells.contains(b))
            b = partnerOf(a);
        add(new EdgeItem(diagram.boxes.at(a), diagram.boxes.at(b), false));
    }
    for (int e = 0; e < loops; ++e) {
        EntityItem *box = diagram.boxes.at(tables.at(random.below(int(tables.size()))));
        add(new EdgeItem(box, box, false));
    }
    for (int e = 0; e < links; ++e) {
        const int view = views.at(random.below(int(views.size())));
        int table = partnerOf(view);
        while (viewCells.contains(table))
            table = partnerOf(view);
        EntityItem *v = diagram.boxes.at(view);
        EntityItem *t = diagram.boxes.at(table);
        add(e % 2 == 0 ? new EntityViewEdgeItem(v, t, false) : new EntityViewEdgeItem(t, v, false));
    }
    return diagram;
}

} // namespace diagramgenerator
