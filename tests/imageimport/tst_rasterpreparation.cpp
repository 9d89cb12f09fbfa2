#include "recognitionsteps.h"

#include "testsupport.h"

#include <QDir>
#include <QPainter>
#include <QtTest>

namespace {

QImage filled(int width, int height, int grey)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(QColor(grey, grey, grey));
    return picture;
}

// Values of a binarised picture other than 0 and 255, or pixels of a given value.
int countOf(const QImage &binary, int value)
{
    int count = 0;
    for (int y = 0; y < binary.height(); ++y) {
        const uchar *line = binary.constScanLine(y);
        for (int x = 0; x < binary.width(); ++x)
            count += line[x] == value;
    }
    return count;
}

// Two boxes joined by a line with a caption, as a diagram picture shows them.
void drawDiagram(QPainter &painter, const QColor &ink)
{
    painter.setPen(QPen(ink, 2));
    painter.drawRect(20, 20, 120, 80);
    painter.drawRect(220, 40, 100, 90);
    painter.drawLine(140, 60, 220, 80);
    painter.setFont(QFont(QStringLiteral("Arial"), 12));
    painter.drawText(30, 50, QStringLiteral("Orders"));
}

QImage diagramOn(const QColor &background, const QColor &ink, QImage::Format format = QImage::Format_RGB32)
{
    QImage picture(343, 157, format);
    picture.fill(background);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    drawDiagram(painter, ink);
    painter.end();
    return picture;
}

bool pixelsEqual(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.format() != b.format())
        return false;
    for (int y = 0; y < a.height(); ++y) {
        if (memcmp(a.constScanLine(y), b.constScanLine(y), size_t(a.width())) != 0)
            return false;
    }
    return true;
}

} // namespace

class TestRasterPreparation : public QObject
{
    Q_OBJECT

private slots:
    void workingSize_data();
    void workingSize();
    void singleGrey_data();
    void singleGrey();
    void thresholdIsClamped();
    void lightOnDarkComesOutDarkOnLight();
    void closingFillsGapsAndGrowsDots();
    void tinyPicturesSkipTheClosing();
    void pixelFormatsGiveTheSameWorkingImage_data();
    void pixelFormatsGiveTheSameWorkingImage();
};

void TestRasterPreparation::workingSize_data()
{
    QTest::addColumn<QSize>("input");
    QTest::addColumn<QSize>("working");
    QTest::newRow("wide") << QSize(4000, 2000) << QSize(3600, 1800);
    QTest::newRow("tall") << QSize(1000, 7200) << QSize(500, 3600);
    QTest::newRow("at the limit") << QSize(3600, 3600) << QSize(3600, 3600);
    QTest::newRow("odd width") << QSize(37, 5) << QSize(37, 5);
    QTest::newRow("one row kept") << QSize(100000, 1) << QSize(3600, 1);
    QTest::newRow("null") << QSize() << QSize();
}

void TestRasterPreparation::workingSize()
{
    QFETCH(QSize, input);
    QFETCH(QSize, working);
    const QImage picture = input.isEmpty() ? QImage() : filled(input.width(), input.height(), 255);
    const QImage binary = binarizeImage(picture);
    QCOMPARE(binary.size(), working.isValid() ? working : QSize(0, 0));
    QCOMPARE(binary.isNull(), !working.isValid());
    if (!binary.isNull())
        QCOMPARE(binary.format(), QImage::Format_Grayscale8);
}

// No value splits a single grey: t = 128 and T = 124; below a mean of 110 it is inverted first.
void TestRasterPreparation::singleGrey_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("grey");
    QTest::addColumn<int>("value");
    for (int width : {37, 101}) {
        QTest::addRow("%d wide, 109 inverted to background", width) << width << 109 << 255;
        QTest::addRow("%d wide, 110 is ink", width) << width << 110 << 0;
        QTest::addRow("%d wide, 123 is ink", width) << width << 123 << 0;
        QTest::addRow("%d wide, 124 is background", width) << width << 124 << 255;
        QTest::addRow("%d wide, black comes out white", width) << width << 0 << 255;
    }
}

void TestRasterPreparation::singleGrey()
{
    QFETCH(int, width);
    QFETCH(int, grey);
    QFETCH(int, value);
    const QImage binary = binarizeImage(filled(width, 9, grey));
    QCOMPARE(countOf(binary, value), width * 9);
}

// Two levels split at the lower one; T = t - 4 held within 80..220.
void TestRasterPreparation::thresholdIsClamped()
{
    QImage faint = filled(101, 40, 200);
    {
        QPainter painter(&faint);
        painter.fillRect(10, 10, 30, 20, QColor(60, 60, 60));
    }
    QCOMPARE(binarizeImage(faint).constScanLine(20)[25], uchar(0));  // 60 < T = 80

    // 240 splits best (t = 240): without the upper bound T = 236 would turn 222 into ink.
    QImage light = filled(101, 40, 255);
    {
        QPainter painter(&light);
        painter.fillRect(0, 0, 101, 16, QColor(240, 240, 240));
        painter.fillRect(0, 16, 101, 1, QColor(222, 222, 222));
    }
    QCOMPARE(countOf(binarizeImage(light), 255), 101 * 40);
}

void TestRasterPreparation::lightOnDarkComesOutDarkOnLight()
{
    const QImage light = binarizeImage(diagramOn(Qt::white, Qt::black));
    const QImage dark = binarizeImage(diagramOn(QColor(30, 30, 40), QColor(230, 230, 230)));
    const QString folder = testsupport::outputDir(QStringLiteral("tst_rasterpreparation"));
    light.save(QDir(folder).filePath(QStringLiteral("light.png")));
    dark.save(QDir(folder).filePath(QStringLiteral("dark.png")));
    QCOMPARE(dark.constScanLine(5)[5], uchar(255));
    QCOMPARE(dark.constScanLine(60)[20], uchar(0));
    QCOMPARE(dark.constScanLine(60)[80], uchar(255));
    const int lightInk = countOf(light, 0);
    QVERIFY2(qAbs(countOf(dark, 0) - lightInk) < lightInk / 20,
             qPrintable(QStringLiteral("%1 against %2").arg(countOf(dark, 0)).arg(lightInk)));
}

void TestRasterPreparation::closingFillsGapsAndGrowsDots()
{
    QImage picture = filled(41, 31, 255);
    {
        QPainter painter(&picture);
        painter.setPen(Qt::black);
        painter.drawRect(5, 5, 20, 15);        // one pixel wide outline
        painter.setPen(Qt::white);
        painter.drawPoint(15, 5);              // a gap of one pixel in its top edge
        painter.setPen(Qt::black);
        painter.drawPoint(35, 25);             // an isolated dot
    }
    const QImage binary = binarizeImage(picture);
    QCOMPARE(binary.constScanLine(5)[15], uchar(0));
    const QImage outside = outsideMask(binary);
    QCOMPARE(outside.constScanLine(12)[15], uchar(0));  // the box is closed
    QCOMPARE(outside.constScanLine(1)[1], uchar(255));

    const auto ink = [&binary](int x, int y) { return binary.constScanLine(y)[x] == 0; };
    QVERIFY(ink(35, 25) && ink(34, 25) && ink(36, 25) && ink(35, 24) && ink(35, 26));
    QVERIFY(!ink(34, 24) && !ink(36, 26) && !ink(33, 25) && !ink(35, 27));
}

void TestRasterPreparation::tinyPicturesSkipTheClosing()
{
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.fill(Qt::white);
    picture.setPixel(0, 0, qRgb(0, 0, 0));
    const QImage binary = binarizeImage(picture);
    QCOMPARE(binary.constScanLine(0)[0], uchar(0));
    QCOMPARE(binary.constScanLine(0)[1], uchar(255));
    QCOMPARE(binary.constScanLine(1)[0], uchar(255));
    QCOMPARE(binary.constScanLine(1)[1], uchar(255));
    QCOMPARE(countOf(binarizeImage(filled(1, 1, 0)), 255), 1);
}

void TestRasterPreparation::pixelFormatsGiveTheSameWorkingImage_data()
{
    QTest::addColumn<QImage>("picture");
    const QImage reference = diagramOn(Qt::white, Qt::black);
    QTest::newRow("ARGB32, opaque") << reference.convertToFormat(QImage::Format_ARGB32);
    QTest::newRow("RGB888") << reference.convertToFormat(QImage::Format_RGB888);
    QTest::newRow("RGBA64") << reference.convertToFormat(QImage::Format_RGBA64);
    QTest::newRow("Grayscale16") << reference.convertToFormat(QImage::Format_Grayscale16);
    QTest::newRow("transparent background") << diagramOn(Qt::transparent, Qt::black, QImage::Format_ARGB32);
    QTest::newRow("transparent, premultiplied")
        << diagramOn(Qt::transparent, Qt::black, QImage::Format_ARGB32_Premultiplied);
    QTest::newRow("transparent, 16 bits per channel")
        << diagramOn(Qt::transparent, Qt::black, QImage::Format_ARGB32).convertToFormat(QImage::Format_RGBA64);
}

// A picture in another pixel format, or drawn on a transparent background, binarises
// exactly like the same drawing on white.
void TestRasterPreparation::pixelFormatsGiveTheSameWorkingImage()
{
    QFETCH(QImage, picture);
    QVERIFY(pixelsEqual(binarizeImage(picture), binarizeImage(diagramOn(Qt::white, Qt::black))));
}

QTEST_MAIN(TestRasterPreparation)
#include "tst_rasterpreparation.moc"
