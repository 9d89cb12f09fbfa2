#include "recognitionsteps.h"
#include "recognitiontestutil.h"

#include <QtTest>

namespace {

using Fragments = QList<TextFragment>;

// A fragment by its centre.
TextFragment at(double cx, double cy, const QString &text, double width = 30, double height = 10)
{
    return {QRectF(cx - width / 2, cy - height / 2, width, height), text};
}

RecognizedEntity box(const QRectF &rect, const QString &title = QString())
{
    RecognizedEntity entity;
    entity.rect = rect;
    entity.title = title;
    return entity;
}

// Fragments given in the drawing's own units: a picture of the same size showing it.
QString place(RecognizedEntity entity, const Fragments &fragments)
{
    QList<RecognizedEntity> entities{entity};
    recognizeBoxTexts(entities, fragments, QSize(1000, 1000), QRectF(0, 0, 1000, 1000));
    return recognitiontest::describe(entities.first());
}

} // namespace

Q_DECLARE_METATYPE(Fragments)
Q_DECLARE_METATYPE(RecognizedEntity)

class TestBoxTextPlacement : public QObject
{
    Q_OBJECT

private slots:
    void placing_data();
    void placing();
    void fragmentsAreMappedFromThePicture();
    void nothingToPlace();
    void wordsJoinLeftToRight();
};

void TestBoxTextPlacement::placing_data()
{
    QTest::addColumn<RecognizedEntity>("entity");
    QTest::addColumn<Fragments>("fragments");
    QTest::addColumn<QString>("result");

    // Without a title band, a box 50 high reads its title from y -2 to 15.5, one 100 high to 23.5.
    QTest::newRow("band of a box 50 high") << box({0, 0, 200, 50}) << Fragments{at(50, 15.4, "Orders")}
                                           << "Orders [] missing";
    QTest::newRow("below the band of a box 50 high") << box({0, 0, 200, 50}) << Fragments{at(50, 15.6, "Orders")}
                                                     << " [Orders:undefined]";
    QTest::newRow("band of a box 100 high") << box({0, 0, 200, 100}) << Fragments{at(50, 23.4, "Orders")}
                                            << "Orders [] missing";
    QTest::newRow("below the band of a box 100 high") << box({0, 0, 200, 100}) << Fragments{at(50, 23.6, "Orders")}
                                                      << " [Orders:undefined]";
    RecognizedEntity banded = box({0, 0, 200, 100});
    banded.headerRect = QRectF(0, 0, 200, 40);
    QTest::newRow("found title band") << banded << Fragments{at(50, 41, "Orders")} << "Orders [] missing";

    QTest::newRow("2 outside the box") << box({0, 0, 200, 100}) << Fragments{at(202, 60, "note", 4)}
                                       << " [note:undefined]";
    QTest::newRow("4 outside the box") << box({0, 0, 200, 100}, "Kept") << Fragments{at(204, 60, "note", 4)}
                                       << "Kept []";

    // A box 200 wide splits name and type more than 16 apart.
    QTest::newRow("name and type apart") << box({0, 0, 200, 100})
                                         << Fragments{{QRectF(40, 50, 50, 10), "amount"}, {QRectF(107, 50, 40, 10), "int"}}
                                         << " [amount:int]";
    QTest::newRow("name and type 16 apart") << box({0, 0, 200, 100})
                                            << Fragments{{QRectF(40, 50, 50, 10), "amount"}, {QRectF(106, 50, 40, 10), "int"}}
                                            << " [amountint:undefined]";
    QTest::newRow("no type word on the right") << box({0, 0, 200, 100})
                                               << Fragments{{QRectF(40, 50, 50, 10), "user"}, {QRectF(120, 50, 40, 10), "ld"}}
                                               << " [userId:undefined]";
    QTest::newRow("uuid on the right") << box({0, 0, 200, 100})
                                       << Fragments{{QRectF(40, 50, 50, 10), "ref"}, {QRectF(120, 50, 40, 10), "UUID"}}
                                       << " [ref:UUID]";
    QTest::newRow("id name alone") << box({0, 0, 200, 100}) << Fragments{at(50, 60, "order_id")}
                                   << " [order_id:uuid]";
    QTest::newRow("title and rows") << box({0, 0, 200, 100})
                                    << Fragments{at(60, 8, "Orders"), at(40, 40, "id"), at(150, 40, "int"),
                                                 at(40, 60, "total"), at(150, 61, "money")}
                                    << "Orders [id:int; total:money]";
    QTest::newRow("noise title kept out") << box({0, 0, 200, 100}, "Old") << Fragments{at(50, 8, "IIII")}
                                          << "Old [] missing";
    QTest::newRow("noise row dropped") << box({0, 0, 200, 100}, "Old") << Fragments{at(50, 60, "llll")}
                                       << "Old [] missing";

    // Rows found by the route; what lies outside them is grouped by each fragment's height:
    // 8 apart joins a fragment 20 high (tolerance 13) but not one 10 high (6.5).
    RecognizedEntity rowed = box({0, 0, 200, 120});
    rowed.rowRects = {QRectF(3, 30, 194, 12)};
    QTest::newRow("leftovers grouped by their own height")
        << rowed
        << Fragments{at(40, 36, "id"), {QRectF(10, 65, 30, 10), "first"}, {QRectF(50, 68, 30, 20), "name"}}
        << " [id:uuid; firstname:undefined]";
    QTest::newRow("leftovers apart")
        << rowed
        << Fragments{at(40, 36, "id"), {QRectF(10, 65, 30, 10), "first"}, {QRectF(50, 73, 30, 10), "name"}}
        << " [id:uuid; first:undefined; name:undefined]";
}

void TestBoxTextPlacement::placing()
{
    QFETCH(RecognizedEntity, entity);
    QFETCH(Fragments, fragments);
    QFETCH(QString, result);
    QCOMPARE(place(entity, fragments), result);
}

void TestBoxTextPlacement::fragmentsAreMappedFromThePicture()
{
    // A picture of 400 x 200 pixels showing the drawing's rectangle (100, 50, 200, 100).
    QList<RecognizedEntity> entities{box({100, 50, 200, 100})};
    recognizeBoxTexts(entities, {{QRectF(20, 10, 80, 16), "Orders"}, {QRectF(20, 80, 60, 16), "total"}},
                      QSize(400, 200), QRectF(100, 50, 200, 100));
    QCOMPARE(recognitiontest::describe(entities.first()), QStringLiteral("Orders [total:undefined]"));
}

void TestBoxTextPlacement::nothingToPlace()
{
    RecognizedEntity entity = box({0, 0, 200, 100}, "Kept");
    entity.attributes = {{"id", "uuid"}};
    QList<RecognizedEntity> entities{entity};
    recognizeBoxTexts(entities, {}, QSize(100, 100), QRectF(0, 0, 100, 100));
    recognizeBoxTexts(entities, {at(50, 60, "x")}, QSize(0, 100), QRectF(0, 0, 100, 100));
    QCOMPARE(recognitiontest::describe(entities.first()), QStringLiteral("Kept [id:uuid]"));

    QList<RecognizedAttribute> output;
    parseBoxLines(entity, output, {});
    QVERIFY(output.isEmpty());
}

void TestBoxTextPlacement::wordsJoinLeftToRight()
{
    QCOMPARE(joinWords({}), QString());
    QCOMPARE(joinWords({{QRectF(60, 0, 20, 10), "Id"}, {QRectF(0, 0, 40, 10), "user"}}), QStringLiteral("userId"));
    QCOMPARE(joinWords({{QRectF(46, 0, 20, 10), "ld"}, {QRectF(0, 0, 40, 10), "user"}}), QStringLiteral("userId"));
}

QTEST_MAIN(TestBoxTextPlacement)
#include "tst_boxtextplacement.moc"
