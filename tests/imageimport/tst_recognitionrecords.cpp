#include "imageimport.h"

#include <QImage>
#include <QtTest>

class TestRecognitionRecords : public QObject
{
    Q_OBJECT

private slots:
    void defaultsAreEmpty();
    void titleBandNeedsASize_data();
    void titleBandNeedsASize();
    void swappingEndsExchangesIndicesAndPoints();
    void hookFindsNoText();
};

void TestRecognitionRecords::defaultsAreEmpty()
{
    const RecognizedDiagram diagram;
    QVERIFY(diagram.entities.isEmpty());
    QVERIFY(diagram.links.isEmpty());
    QVERIFY(diagram.texts.isEmpty());
    QVERIFY(diagram.manyMarkers.isEmpty());
    QVERIFY(diagram.oneMarkers.isEmpty());
    QVERIFY(diagram.nothingRecognized());

    const RecognizedEntity entity;
    QCOMPARE(entity.rect, QRectF());
    QVERIFY(entity.rowRects.isEmpty());
    QVERIFY(entity.title.isEmpty());
    QVERIFY(entity.attributes.isEmpty());
    QVERIFY(!entity.attributesMissing);

    const RecognizedLink link;
    QVERIFY(!link.hasLine);
    QCOMPARE(link.line, QLineF());
}

void TestRecognitionRecords::titleBandNeedsASize_data()
{
    QTest::addColumn<QRectF>("headerRect");
    QTest::addColumn<bool>("hasBand");
    QTest::newRow("default") << QRectF() << false;
    QTest::newRow("zero size away from the origin") << QRectF(10, 20, 0, 0) << false;
    QTest::newRow("width only") << QRectF(0, 0, 120, 0) << true;
    QTest::newRow("height only") << QRectF(0, 0, 0, 18) << true;
    QTest::newRow("band") << QRectF(0, 0, 120, 18) << true;
}

void TestRecognitionRecords::titleBandNeedsASize()
{
    QFETCH(QRectF, headerRect);
    QFETCH(bool, hasBand);
    RecognizedEntity entity;
    entity.headerRect = headerRect;
    QCOMPARE(entity.hasTitleBand(), hasBand);
}

void TestRecognitionRecords::swappingEndsExchangesIndicesAndPoints()
{
    RecognizedLink link;
    link.oneIndex = 2;
    link.manyIndex = 5;
    link.line = QLineF(1, 2, 30, 40);
    link.hasLine = true;
    const RecognizedLink original = link;

    link.swapEnds();
    QCOMPARE(link.oneIndex, 5);
    QCOMPARE(link.manyIndex, 2);
    QCOMPARE(link.line, QLineF(30, 40, 1, 2));
    QVERIFY(link.hasLine);

    link.swapEnds();
    QCOMPARE(link.oneIndex, original.oneIndex);
    QCOMPARE(link.manyIndex, original.manyIndex);
    QCOMPARE(link.line, original.line);
}

void TestRecognitionRecords::hookFindsNoText()
{
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QVERIFY(detectTextFragments(picture).isEmpty());
    QVERIFY(detectTextFragments(QImage()).isEmpty());
}

QTEST_GUILESS_MAIN(TestRecognitionRecords)
#include "tst_recognitionrecords.moc"
