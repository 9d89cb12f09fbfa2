#include "schemagenerator.h"

#include "edgeitem.h"
#include "entityitem.h"

#include <QGraphicsScene>

#include <algorithm>
#include <cmath>
#include <random>

namespace schemagenerator {

namespace {

constexpr double CellWidth = 260;
constexpr double CellHeight = 300;
// Tables per hub: a schema of 30 tables has one or two, one of 1,000 about forty.
constexpr int TablesPerHub = 25;
// Within this many tables before it a table finds the neighbours it refers to.
constexpr int Neighbourhood = 24;

class SeededRandom
{
public:
    explicit SeededRandom(std::uint64_t seed) : m_engine(seed) {}

    // Uniform in [0, count).
    int below(int count)
    {
        return std::min(count - 1, int((m_engine() >> 11) * 0x1.0p-53 * count));
    }

private:
    std::mt19937_64 m_engine;
};

EntityItem *makeTable(SeededRandom &random, int index)
{
    auto *box = new EntityItem(QStringLiteral("t%1").arg(index, 4, 10, QChar(u'0')), QSizeF(150, 70));
    const int columns = 3 + random.below(13);
    for (int c = 0; c < columns; ++c) {
        const bool key = c == 0;
        const QString type = key ? QStringLiteral("BIGINT")
                                 : QStringLiteral("VARCHAR(%1)").arg(10 * (1 + random.below(25)));
        box->addAttributeRow(key ? QStringLiteral("id") : QStringLiteral("column_%1").arg(c), type, key, false,
                             false, false);
    }
    return box;
}

// 1 to 4 foreign keys, mostly 1 or 2.
int foreignKeyCount(SeededRandom &random)
{
    const int roll = random.below(20);
    return roll < 8 ? 1 : roll < 15 ? 2 : roll < 18 ? 3 : 4;
}

} // namespace

diagramgenerator::Diagram buildSchema(QGraphicsScene *scene, const SchemaPlan &plan)
{
    SeededRandom random(plan.seed);
    diagramgenerator::Diagram diagram;
    const int count = std::max(0, plan.tables);
    const int columns = std::max(1, int(std::ceil(std::sqrt(double(count)))));
    for (int i = 0; i < count; ++i) {
        EntityItem *box = makeTable(random, i);
        scene->addItem(box);
        box->setPos((i % columns) * CellWidth, (i / columns) * CellHeight);
        diagram.boxes.append(box);
    }
    if (count < 2)
        return diagram;

    // Hubs spread over the schema, so that every part has one to refer to.
    const int hubCount = std::max(1, count / TablesPerHub);
    QList<int> hubs;
    for (int h = 0; h < hubCount; ++h)
        hubs.append(h * count / hubCount);

    const auto link = [&](int parent, int child) {
        auto *edge = new EdgeItem(diagram.boxes.at(parent), diagram.boxes.at(child), false);
        scene->addItem(edge);
        diagram.edges.append(edge);
    };
    for (int i = 1; i < count; ++i) {
        const int keys = foreignKeyCount(random);
        bool selfReferenced = false;
        for (int k = 0; k < keys; ++k) {
            const int roll = random.below(100);
            if (roll < 4 && !selfReferenced) {
                selfReferenced = true;
                link(i, i);
            } else if (roll < 40) {
                // Mostly the latest hub before this table, else any earlier one.
                const qsizetype before = std::upper_bound(hubs.cbegin(), hubs.cend(), i - 1) - hubs.cbegin();
                const int pick = random.below(3) > 0 ? int(before) - 1 : random.below(int(before));
                link(hubs.at(pick), i);
            } else if (roll < 70) {
                link(i - 1, i);
            } else {
                link(i - 1 - random.below(std::min(i, Neighbourhood)), i);
            }
        }
    }
    return diagram;
}

} // namespace schemagenerator
