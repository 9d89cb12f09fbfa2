#include "recognitionsteps.h"

#include <QRandomGenerator>
#include <QtTest>

#include <limits>

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double Inf = std::numeric_limits<double>::infinity();

using Rects = QList<QRectF>;

// The joining of stacked parts as plainly stated: join the first stacked pair in the order
// (i, j), i < j, then start again from the first pair, until a whole pass joins nothing.
void joinStackedBoxesByRestarting(QList<QRectF> &boxes)
{
    bool joined = true;
    while (joined) {
        joined = false;
        for (qsizetype i = 0; i < boxes.size() && !joined; ++i) {
            for (qsizetype j = i + 1; j < boxes.size() && !joined; ++j) {
                if (areStackedParts(boxes.at(i), boxes.at(j))) {
                    boxes[i] = boxes.at(i).united(boxes.at(j));
                    boxes.removeAt(j);
                    joined = true;
                }
            }
        }
    }
}

// Boxes in a few columns, cut into stacked parts of random heights with gaps that mostly
// join, drawn in random order, so joins cascade through earlier and later pairs.
Rects stackedParts(QRandomGenerator &random)
{
    Rects parts;
    const int columns = 1 + random.bounded(4);
    for (int column = 0; column < columns; ++column) {
        const double x = column * 260.0 + random.bounded(8);
        const double width = 120 + random.bounded(100);
        double y = random.bounded(30);
        const int pieces = 1 + random.bounded(8);
        for (int piece = 0; piece < pieces; ++piece) {
            const double height = 20 + random.bounded(60);
            const double jitter = random.bounded(13) - 6;
            parts.append(QRectF(x + jitter, y, width + random.bounded(13) - 6, height));
            y += height + random.bounded(-6, 20);
        }
    }
    std::shuffle(parts.begin(), parts.end(), random);
    return parts;
}

} // namespace

Q_DECLARE_METATYPE(Rects)

class TestBoxMerging : public QObject
{
    Q_OBJECT

private slots:
    void mergedBoxes_data();
    void mergedBoxes();
    void joiningMatchesTheRestartingRule();
    void candidatesBeyondTheBoundAreDropped();
    void attributeLines_data();
    void attributeLines();
    void foreignKeyScoreOfEntities();
};

void TestBoxMerging::mergedBoxes_data()
{
    QTest::addColumn<Rects>("candidates");
    QTest::addColumn<Rects>("boxes");
    QTest::newRow("none") << Rects{} << Rects{};
    QTest::newRow("35 wide dropped, 36 x 22 kept") << Rects{{0, 0, 35, 100}, {100, 0, 36, 22}}
                                                  << Rects{{100, 0, 36, 22}};
    QTest::newRow("shape 10 kept, above dropped") << Rects{{0, 0, 220, 22}, {0, 100, 230, 22}}
                                                  << Rects{{0, 0, 220, 22}};
    QTest::newRow("shape 0.18 kept") << Rects{{0, 0, 36, 200}} << Rects{{0, 0, 36, 200}};
    QTest::newRow("near-copies united") << Rects{{0, 0, 100, 50}, {2, 2, 100, 50}} << Rects{{0, 0, 102, 52}};
    QTest::newRow("nested dropped") << Rects{{10, 10, 50, 30}, {0, 0, 200, 100}} << Rects{{0, 0, 200, 100}};
    QTest::newRow("title band over body") << Rects{{0, 0, 200, 30}, {0, 32, 200, 100}} << Rects{{0, 0, 200, 132}};
    QTest::newRow("gap of 14 joins") << Rects{{0, 0, 200, 30}, {0, 44, 200, 100}} << Rects{{0, 0, 200, 144}};
    QTest::newRow("gap of 15 stays apart") << Rects{{0, 0, 200, 30}, {0, 45, 200, 100}}
                                           << Rects{{0, 45, 200, 100}, {0, 0, 200, 30}};
    QTest::newRow("overlap of 4 joins") << Rects{{0, 0, 200, 30}, {0, 26, 200, 100}} << Rects{{0, 0, 200, 126}};
    QTest::newRow("side by side stay apart") << Rects{{0, 0, 200, 100}, {210, 0, 200, 100}}
                                             << Rects{{0, 0, 200, 100}, {210, 0, 200, 100}};
    QTest::newRow("equal areas keep their order") << Rects{{300, 0, 100, 50}, {0, 0, 50, 100}}
                                                  << Rects{{300, 0, 100, 50}, {0, 0, 50, 100}};
    QTest::newRow("three stacked parts") << Rects{{0, 60, 200, 40}, {0, 0, 200, 25}, {0, 28, 200, 30}}
                                         << Rects{{0, 0, 200, 100}};
    QTest::newRow("not-a-number and infinite candidates dropped")
        << Rects{{NaN, 0, 100, 50}, {0, 0, NaN, 50}, {0, 0, Inf, 50}, {-Inf, 0, 100, 50}, {0, 0, 100, 50}}
        << Rects{{0, 0, 100, 50}};
}

void TestBoxMerging::mergedBoxes()
{
    QFETCH(Rects, candidates);
    QFETCH(Rects, boxes);
    QCOMPARE(mergeRectangles(candidates), boxes);
}

void TestBoxMerging::joiningMatchesTheRestartingRule()
{
    QRandomGenerator random(121);
    int joins = 0;
    for (int set = 0; set < 400; ++set) {
        const Rects parts = stackedParts(random);
        Rects fast = parts;
        Rects plain = parts;
        joinStackedBoxes(fast);
        joinStackedBoxesByRestarting(plain);
        QCOMPARE(fast, plain);
        joins += int(parts.size() - plain.size());
    }
    QVERIFY2(joins > 1000, "the sets should cascade many joins");
}

void TestBoxMerging::candidatesBeyondTheBoundAreDropped()
{
    // A grid of separate boxes, each larger than the next, all passing the filter, plus
    // small ones the filter drops before they count.
    Rects candidates;
    for (int i = 0; i < MaxMergeCandidates + 5; ++i)
        candidates.append(QRectF((i % 200) * 300.0, (i / 200) * 300.0, 200 - i * 0.001, 100));
    for (int i = 0; i < 10; ++i)
        candidates.prepend(QRectF(i * 10.0, -1000, 5, 5));
    QTest::ignoreMessage(QtWarningMsg,
                         "mergeRectangles: too many candidate boxes, keeping the 20000 largest");
    const Rects boxes = mergeRectangles(candidates);
    QCOMPARE(boxes.size(), qsizetype(MaxMergeCandidates));
    QCOMPARE(boxes.first(), candidates.at(10));
    QCOMPARE(boxes.last(), candidates.at(10 + MaxMergeCandidates - 1));
}

void TestBoxMerging::attributeLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::newRow("key and colon") << "PK id: uuid" << "id" << "uuid";
    QTest::newRow("key in lower case and bar") << "fk customer_id | int" << "customer_id" << "int";
    QTest::newRow("every key prefix once") << "pk Fk uK code : text" << "code" << "text";
    QTest::newRow("type word last") << "created at timestamp" << "created at" << "timestamp";
    QTest::newRow("no type word") << "first name" << "first name" << "";
    QTest::newRow("type with parameters") << "title VARCHAR(255)" << "title" << "VARCHAR(255)";
    QTest::newRow("colon splits first") << "a: b | c" << "a" << "b | c";
    QTest::newRow("more parts joined") << "price:numeric:10" << "price" << "numeric 10";
    QTest::newRow("tab run separates") << "amount\t\tdecimal" << "amount" << "decimal";
    QTest::newRow("blank runs are cleaned first") << "amount    money" << "amount" << "money";
    QTest::newRow("only separators") << " : " << ":" << "";
    QTest::newRow("bars") << "|||" << "|||" << "";
    QTest::newRow("tabs") << "\t\t" << "" << "";
    QTest::newRow("key prefix alone") << "PK " << "PK" << "";
    QTest::newRow("key prefix and blanks") << "PK  " << "PK" << "";
    QTest::newRow("empty") << "" << "" << "";
}

void TestBoxMerging::attributeLines()
{
    QFETCH(QString, line);
    QFETCH(QString, name);
    QFETCH(QString, type);
    const RecognizedAttribute attribute = parseAttributeLine(line);
    QCOMPARE(attribute.name, name);
    QCOMPARE(attribute.type, type);
}

void TestBoxMerging::foreignKeyScoreOfEntities()
{
    RecognizedEntity orders;
    orders.title = QStringLiteral("Orders");
    RecognizedEntity customers;
    customers.title = QStringLiteral("Customers");
    QCOMPARE(entityForeignKeyScore(orders, customers), 0.0);

    orders.attributes = {{QStringLiteral("id"), QStringLiteral("uuid")},
                         {QStringLiteral("cust_id"), QStringLiteral("uuid")},
                         {QStringLiteral("customer_id"), QStringLiteral("uuid")}};
    QCOMPARE(entityForeignKeyScore(orders, customers), 14.0);
    QCOMPARE(entityForeignKeyScore(customers, orders), 0.0);
}

QTEST_GUILESS_MAIN(TestBoxMerging)
#include "tst_boxmerging.moc"
