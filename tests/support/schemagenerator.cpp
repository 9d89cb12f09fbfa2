#include "schemagenerator.h"

#include "edgeitem.h"
#include "entityitem.h"

#include <QGraphicsScene>
#include <QHash>
#include <QSet>

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

// Tables 0..count-1 on a grid in creation order.
diagramgenerator::Diagram addTables(QGraphicsScene *scene, SeededRandom &random, int count)
{
    diagramgenerator::Diagram diagram;
    const int columns = std::max(1, int(std::ceil(std::sqrt(double(count)))));
    for (int i = 0; i < count; ++i) {
        EntityItem *box = makeTable(random, i);
        scene->addItem(box);
        box->setPos((i % columns) * CellWidth, (i / columns) * CellHeight);
        diagram.boxes.append(box);
    }
    return diagram;
}

void link(QGraphicsScene *scene, diagramgenerator::Diagram &diagram, int parent, int child)
{
    auto *edge = new EdgeItem(diagram.boxes.at(parent), diagram.boxes.at(child), false);
    scene->addItem(edge);
    diagram.edges.append(edge);
}

} // namespace

diagramgenerator::Diagram buildSchema(QGraphicsScene *scene, const SchemaPlan &plan)
{
    SeededRandom random(plan.seed);
    const int count = std::max(0, plan.tables);
    diagramgenerator::Diagram diagram = addTables(scene, random, count);
    if (count < 2)
        return diagram;

    // Hubs spread over the schema, so that every part has one to refer to.
    const int hubCount = std::max(1, count / TablesPerHub);
    QList<int> hubs;
    for (int h = 0; h < hubCount; ++h)
        hubs.append(h * count / hubCount);

    for (int i = 1; i < count; ++i) {
        const int keys = foreignKeyCount(random);
        bool selfReferenced = false;
        for (int k = 0; k < keys; ++k) {
            const int roll = random.below(100);
            if (roll < 4 && !selfReferenced) {
                selfReferenced = true;
                link(scene, diagram, i, i);
            } else if (roll < 40) {
                // Mostly the latest hub before this table, else any earlier one.
                const qsizetype before = std::upper_bound(hubs.cbegin(), hubs.cend(), i - 1) - hubs.cbegin();
                const int pick = random.below(3) > 0 ? int(before) - 1 : random.below(int(before));
                link(scene, diagram, hubs.at(pick), i);
            } else if (roll < 70) {
                link(scene, diagram, i - 1, i);
            } else {
                link(scene, diagram, i - 1 - random.below(std::min(i, Neighbourhood)), i);
            }
        }
    }
    return diagram;
}

diagramgenerator::Diagram buildTreeWithLinks(QGraphicsScene *scene, int tables, int extraLinks, std::uint64_t seed)
{
    SeededRandom random(seed);
    diagramgenerator::Diagram diagram = addTables(scene, random, tables);
    QSet<QPair<int, int>> linked;
    for (int i = 1; i < tables; ++i) {
        const int parent = random.below(i);
        linked.insert({parent, i});
        link(scene, diagram, parent, i);
    }
    for (int added = 0, tries = 0; added < extraLinks && tries < 100 * extraLinks && tables > 2; ++tries) {
        const int a = random.below(tables);
        const int b = random.below(tables);
        const QPair<int, int> pair{std::min(a, b), std::max(a, b)};
        if (a == b || linked.contains(pair))
            continue;
        linked.insert(pair);
        link(scene, diagram, pair.first, pair.second);
        ++added;
    }
    return diagram;
}

diagramgenerator::Diagram buildStarOfStars(QGraphicsScene *scene, int arms, int leaves, std::uint64_t seed)
{
    SeededRandom random(seed);
    diagramgenerator::Diagram diagram = addTables(scene, random, 1 + arms * (1 + leaves));
    int next = 1 + arms;
    for (int arm = 1; arm <= arms; ++arm) {
        link(scene, diagram, 0, arm);
        for (int leaf = 0; leaf < leaves; ++leaf)
            link(scene, diagram, arm, next++);
    }
    return diagram;
}

diagramgenerator::Diagram buildChain(QGraphicsScene *scene, int tables, std::uint64_t seed)
{
    SeededRandom random(seed);
    diagramgenerator::Diagram diagram = addTables(scene, random, tables);
    for (int i = 1; i < tables; ++i)
        link(scene, diagram, i - 1, i);
    return diagram;
}

diagramgenerator::Diagram buildSparseGraph(QGraphicsScene *scene, int tables, int extraLinks, std::uint64_t seed)
{
    constexpr int MostLinks = 3;
    SeededRandom random(seed);
    diagramgenerator::Diagram diagram = addTables(scene, random, tables);
    QList<int> degree(tables, 0);
    QSet<QPair<int, int>> linked;
    const auto join = [&](int a, int b) {
        ++degree[a];
        ++degree[b];
        linked.insert({std::min(a, b), std::max(a, b)});
        link(scene, diagram, std::min(a, b), std::max(a, b));
    };
    for (int i = 1; i < tables; ++i) {
        int parent = random.below(i);
        while (degree[parent] >= MostLinks)
            parent = (parent + 1) % i;
        join(parent, i);
    }
    for (int added = 0, tries = 0; added < extraLinks && tries < 100 * extraLinks && tables > 2; ++tries) {
        const int a = random.below(tables);
        const int b = random.below(tables);
        if (a == b || degree[a] >= MostLinks || degree[b] >= MostLinks
            || linked.contains({std::min(a, b), std::max(a, b)}))
            continue;
        join(a, b);
        ++added;
    }
    return diagram;
}

diagramgenerator::Diagram buildFilmRental(QGraphicsScene *scene)
{
    // "column TYPE [PK] [FK]", comma separated.
    static const std::pair<const char *, const char *> tables[] = {
        {"actor", "actor_id SMALLINT PK, first_name VARCHAR(45), last_name VARCHAR(45), last_update TIMESTAMP"},
        {"address", "address_id SMALLINT PK, address VARCHAR(50), address2 VARCHAR(50), district VARCHAR(20), "
                    "city_id SMALLINT FK, postal_code VARCHAR(10), phone VARCHAR(20), last_update TIMESTAMP"},
        {"category", "category_id SMALLINT PK, name VARCHAR(25), last_update TIMESTAMP"},
        {"city", "city_id SMALLINT PK, city VARCHAR(50), country_id SMALLINT FK, last_update TIMESTAMP"},
        {"country", "country_id SMALLINT PK, country VARCHAR(50), last_update TIMESTAMP"},
        {"customer", "customer_id SMALLINT PK, store_id SMALLINT FK, first_name VARCHAR(45), last_name VARCHAR(45), "
                     "email VARCHAR(50), address_id SMALLINT FK, active BOOLEAN, create_date DATE, "
                     "last_update TIMESTAMP"},
        {"film", "film_id SMALLINT PK, title VARCHAR(255), description TEXT, release_year SMALLINT, "
                 "language_id SMALLINT FK, original_language_id SMALLINT FK, rental_duration SMALLINT, "
                 "rental_rate NUMERIC(4,2), length SMALLINT, replacement_cost NUMERIC(5,2), rating VARCHAR(10), "
                 "special_features TEXT, last_update TIMESTAMP"},
        {"film_actor", "actor_id SMALLINT PK FK, film_id SMALLINT PK FK, last_update TIMESTAMP"},
        {"film_category", "film_id SMALLINT PK FK, category_id SMALLINT PK FK, last_update TIMESTAMP"},
        {"film_text", "film_id SMALLINT PK, title VARCHAR(255), description TEXT"},
        {"inventory", "inventory_id INTEGER PK, film_id SMALLINT FK, store_id SMALLINT FK, last_update TIMESTAMP"},
        {"language", "language_id SMALLINT PK, name CHAR(20), last_update TIMESTAMP"},
        {"payment", "payment_id SMALLINT PK, customer_id SMALLINT FK, staff_id SMALLINT FK, rental_id INTEGER FK, "
                    "amount NUMERIC(5,2), payment_date TIMESTAMP, last_update TIMESTAMP"},
        {"rental", "rental_id INTEGER PK, rental_date TIMESTAMP, inventory_id INTEGER FK, customer_id SMALLINT FK, "
                   "return_date TIMESTAMP, staff_id SMALLINT FK, last_update TIMESTAMP"},
        {"staff", "staff_id SMALLINT PK, first_name VARCHAR(45), last_name VARCHAR(45), address_id SMALLINT FK, "
                  "picture BYTEA, email VARCHAR(50), store_id SMALLINT FK, active BOOLEAN, username VARCHAR(16), "
                  "password VARCHAR(40), last_update TIMESTAMP"},
        {"store", "store_id SMALLINT PK, manager_staff_id SMALLINT FK, address_id SMALLINT FK, last_update TIMESTAMP"},
    };
    // Referenced table, referring table.
    static const std::pair<const char *, const char *> foreignKeys[] = {
        {"city", "address"},      {"country", "city"},         {"address", "customer"},  {"store", "customer"},
        {"language", "film"},     {"language", "film"},        {"actor", "film_actor"},  {"film", "film_actor"},
        {"film", "film_category"}, {"category", "film_category"}, {"film", "inventory"}, {"store", "inventory"},
        {"customer", "payment"},  {"staff", "payment"},        {"rental", "payment"},    {"inventory", "rental"},
        {"customer", "rental"},   {"staff", "rental"},         {"address", "staff"},     {"store", "staff"},
        {"staff", "store"},       {"address", "store"},
    };
    diagramgenerator::Diagram diagram;
    QHash<QString, int> indexOf;
    const int columns = 4;
    for (const auto &[name, columnList] : tables) {
        const int i = int(diagram.boxes.size());
        auto *box = new EntityItem(QString::fromLatin1(name), QSizeF(150, 70));
        for (const QString &column : QString::fromLatin1(columnList).split(QStringLiteral(", "))) {
            const QStringList words = column.split(QLatin1Char(' '));
            box->addAttributeRow(words.at(0), words.at(1), words.contains(QStringLiteral("PK")), false,
                                 words.contains(QStringLiteral("FK")), false);
        }
        scene->addItem(box);
        box->setPos((i % columns) * CellWidth, (i / columns) * CellHeight);
        indexOf.insert(box->title(), i);
        diagram.boxes.append(box);
    }
    for (const auto &[parent, child] : foreignKeys)
        link(scene, diagram, indexOf.value(QString::fromLatin1(parent)), indexOf.value(QString::fromLatin1(child)));
    return diagram;
}

} // namespace schemagenerator
