#include "recognitionsteps.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

TextFragment fragment(double x, double centreY, const QString &text, double height = 10)
{
    return TextFragment{QRectF(x, centreY - height / 2, 30, height), text};
}

QStringList texts(const QList<TextFragment> &fragments)
{
    QStringList list;
    for (const TextFragment &f : fragments)
        list.append(f.text);
    return list;
}

} // namespace

class TestReadingOrder : public QObject
{
    Q_OBJECT

private slots:
    void rowTest_data();
    void rowTest();
    void centresAndLeftEdges();
    void nonTransitiveRowsStayAPermutation();
};

void TestReadingOrder::rowTest_data()
{
    QTest::addColumn<double>("tolerance");
    QTest::addColumn<double>("lowerBy");
    QTest::addColumn<bool>("sameRow");
    QTest::newRow("fixed, 4 apart") << FixedRowTolerance << 4.0 << true;
    QTest::newRow("fixed, 4.5 apart") << FixedRowTolerance << 4.5 << false;
    QTest::newRow("h 20, 9 apart") << scaledRowTolerance(20) << 9.0 << true;
    QTest::newRow("h 20, 9.5 apart") << scaledRowTolerance(20) << 9.5 << false;
}

// The right fragment lies lower: in one row the left one comes first, in two rows the upper.
void TestReadingOrder::rowTest()
{
    QFETCH(double, tolerance);
    QFETCH(double, lowerBy);
    QFETCH(bool, sameRow);
    QList<TextFragment> fragments{fragment(50, 100, "upper right"), fragment(10, 100 + lowerBy, "lower left")};
    sortByRows(fragments, tolerance);
    const QStringList expected = sameRow ? QStringList{"lower left", "upper right"}
                                         : QStringList{"upper right", "lower left"};
    QCOMPARE(texts(fragments), expected);
    QCOMPARE(precedesInRows(fragments.at(0), fragments.at(1), tolerance), true);
    QCOMPARE(precedesInRows(fragments.at(1), fragments.at(0), tolerance), false);
}

void TestReadingOrder::centresAndLeftEdges()
{
    QList<TextFragment> fragments{fragment(30, 12, "b"), fragment(10, 14, "c"), fragment(20, 10, "a")};
    sortByCentres(fragments);
    QCOMPARE(texts(fragments), (QStringList{"a", "b", "c"}));
    sortByLeftEdges(fragments);
    QCOMPARE(texts(fragments), (QStringList{"c", "a", "b"}));
}

// Being in one row is not transitive; the sort must still only permute the list. Runs in the
// sanitizer build too, so a library whose sort leaves the range shows at once.
void TestReadingOrder::nonTransitiveRowsStayAPermutation()
{
    QRandomGenerator random(1030);
    for (int list = 0; list < 300; ++list) {
        const bool separated = list % 3 == 0;
        const int rows = 2 + random.bounded(8);
        const int perRow = 3 + random.bounded(8);
        const double slope = separated ? 0.0 : random.bounded(40) / 100.0;
        QList<TextFragment> fragments;
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < perRow; ++column) {
                const double x = column * 35.0 + random.bounded(10);
                const double jitter = (random.bounded(600) - 300) / (separated ? 200.0 : 100.0);
                const double cy = row * (separated ? 20.0 : 8.0) + jitter + slope * x;
                fragments.append(fragment(x, cy, QStringLiteral("%1.%2").arg(row).arg(column, 2, 10, QLatin1Char('0'))));
            }
        }
        std::shuffle(fragments.begin(), fragments.end(), random);
        QStringList before = texts(fragments);
        sortByRows(fragments, FixedRowTolerance);
        QStringList after = texts(fragments);
        if (separated) {
            QStringList rowMajor = after;
            std::sort(rowMajor.begin(), rowMajor.end());
            QCOMPARE(after, rowMajor);
        }
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        QCOMPARE(after, before);
    }
}

QTEST_GUILESS_MAIN(TestReadingOrder)
#include "tst_readingorder.moc"
