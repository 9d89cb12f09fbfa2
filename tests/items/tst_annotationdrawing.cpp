#include "annotationdrawing.h"
#include "testsupport.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTest>

Q_DECLARE_METATYPE(ResizeHandle)

namespace {

const QColor Ink(0, 0, 0);

QImage blankImage(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(Qt::white);
    return img;
}

bool isInk(QRgb px)
{
    return qGray(px) < 128;
}

QRect inkBounds(const QImage &img)
{
    QRect bounds;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (isInk(img.pixel(x, y)))
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

int inkCount(const QImage &img)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x)
            n += isInk(img.pixel(x, y)) ? 1 : 0;
    }
    return n;
}

// Share of differing ink pixels of two pictures after their ink boxes are laid over
// each other at the top-left corner.
double inkMismatch(const QImage &a, const QImage &b)
{
    const QRect ra = inkBounds(a);
    const QRect rb = inkBounds(b);
    if (ra.isEmpty() || rb.isEmpty())
        return 1.0;
    const int w = qMax(ra.width(), rb.width());
    const int h = qMax(ra.height(), rb.height());
    int differ = 0;
    int either = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QPoint pa = ra.topLeft() + QPoint(x, y);
            const QPoint pb = rb.topLeft() + QPoint(x, y);
            const bool ia = a.rect().contains(pa) && isInk(a.pixel(pa));
            const bool ib = b.rect().contains(pb) && isInk(b.pixel(pb));
            either += (ia || ib) ? 1 : 0;
            differ += (ia != ib) ? 1 : 0;
        }
    }
    return either ? double(differ) / either : 1.0;
}

// Feeds findFontStyle a fixed list of faces for the duration of a test.
class StylesScope
{
public:
    explicit StylesScope(const QStringList &styles)
        : m_previous(setFontStylesFunction([styles](const QString &) { return styles; }))
    {
    }
    ~StylesScope() { setFontStylesFunction(m_previous); }

private:
    FontStylesFunction m_previous;
};

} // namespace

class tst_AnnotationDrawing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void handleAt_data();
    void handleAt();
    void cursorForHandle_data();
    void cursorForHandle();
    void resizeRule_data();
    void resizeRule();
    void findFontStyle_data();
    void findFontStyle();
    void resolvedFont_data();
    void resolvedFont();
    void syntheticBoldPenWidth_data();
    void syntheticBoldPenWidth();
    void selectionHandlesPaintSquaresOnly();
    void pathTextPaintsNothingWithoutTextOrArea_data();
    void pathTextPaintsNothingWithoutTextOrArea();
    void pathTextIsLeftAlignedAndCentred();
    void pathTextSynthesisesBoldAndOblique();
    void pathTextKeepsLettersTheFamilyLacks();

private:
    QString m_mono;
};

void tst_AnnotationDrawing::initTestCase()
{
    m_mono = testsupport::registerBundledMonoFont();
    QVERIFY(!m_mono.isEmpty());
}

void tst_AnnotationDrawing::handleAt_data()
{
    QTest::addColumn<QRectF>("rect");
    QTest::addColumn<QPointF>("pos");
    QTest::addColumn<ResizeHandle>("expected");
    const QRectF big(10, 20, 200, 100);
    QTest::newRow("corner square border") << big << QPointF(4, 14) << ResizeHandle::TopLeft;
    QTest::newRow("just beyond the corner") << big << QPointF(3.99, 13.99) << ResizeHandle::NoHandle;
    QTest::newRow("top middle") << big << QPointF(110, 26) << ResizeHandle::Top;
    QTest::newRow("top right outside") << big << QPointF(216, 14) << ResizeHandle::TopRight;
    QTest::newRow("left") << big << QPointF(10, 70) << ResizeHandle::Left;
    QTest::newRow("right") << big << QPointF(215, 75) << ResizeHandle::Right;
    QTest::newRow("bottom left") << big << QPointF(10, 120) << ResizeHandle::BottomLeft;
    QTest::newRow("bottom") << big << QPointF(110, 126) << ResizeHandle::Bottom;
    QTest::newRow("bottom right border") << big << QPointF(216, 126) << ResizeHandle::BottomRight;
    QTest::newRow("centre") << big << QPointF(110, 70) << ResizeHandle::NoHandle;
    QTest::newRow("along an edge between handles") << big << QPointF(50, 20) << ResizeHandle::NoHandle;
    QTest::newRow("zero width: first tested wins") << QRectF(0, 0, 0, 50) << QPointF(0, 0) << ResizeHandle::TopLeft;
    QTest::newRow("zero width: middle") << QRectF(0, 0, 0, 50) << QPointF(0, 25) << ResizeHandle::Left;
    QTest::newRow("zero height: middle") << QRectF(0, 0, 100, 0) << QPointF(50, 0) << ResizeHandle::Top;
    QTest::newRow("zero size") << QRectF(5, 5, 0, 0) << QPointF(5, 5) << ResizeHandle::TopLeft;
    QTest::newRow("small rect overlap") << QRectF(0, 0, 8, 8) << QPointF(4, 4) << ResizeHandle::TopLeft;
}

void tst_AnnotationDrawing::handleAt()
{
    QFETCH(QRectF, rect);
    QFETCH(QPointF, pos);
    QFETCH(ResizeHandle, expected);
    QCOMPARE(::handleAt(rect, pos), expected);
}

void tst_AnnotationDrawing::cursorForHandle_data()
{
    QTest::addColumn<ResizeHandle>("handle");
    QTest::addColumn<int>("cursor");
    QTest::newRow("none") << ResizeHandle::NoHandle << int(Qt::ArrowCursor);
    QTest::newRow("top left") << ResizeHandle::TopLeft << int(Qt::SizeFDiagCursor);
    QTest::newRow("top") << ResizeHandle::Top << int(Qt::SizeVerCursor);
    QTest::newRow("top right") << ResizeHandle::TopRight << int(Qt::SizeBDiagCursor);
    QTest::newRow("left") << ResizeHandle::Left << int(Qt::SizeHorCursor);
    QTest::newRow("right") << ResizeHandle::Right << int(Qt::SizeHorCursor);
    QTest::newRow("bottom left") << ResizeHandle::BottomLeft << int(Qt::SizeBDiagCursor);
    QTest::newRow("bottom") << ResizeHandle::Bottom << int(Qt::SizeVerCursor);
    QTest::newRow("bottom right") << ResizeHandle::BottomRight << int(Qt::SizeFDiagCursor);
}

void tst_AnnotationDrawing::cursorForHandle()
{
    QFETCH(ResizeHandle, handle);
    QFETCH(int, cursor);
    QCOMPARE(int(::cursorForHandle(handle)), cursor);
}

void tst_AnnotationDrawing::resizeRule_data()
{
    QTest::addColumn<ResizeHandle>("handle");
    QTest::addColumn<QPointF>("delta");
    QTest::addColumn<QRectF>("expected");
    // Start (100, 100, 200, 100); minimum 80 x 40.
    QTest::newRow("top left grows") << ResizeHandle::TopLeft << QPointF(-10, -20) << QRectF(90, 80, 210, 120);
    QTest::newRow("top shrinks") << ResizeHandle::Top << QPointF(50, 30) << QRectF(100, 130, 200, 70);
    QTest::newRow("top right") << ResizeHandle::TopRight << QPointF(15, 5) << QRectF(100, 105, 215, 95);
    QTest::newRow("left") << ResizeHandle::Left << QPointF(-30, 99) << QRectF(70, 100, 230, 100);
    QTest::newRow("right") << ResizeHandle::Right << QPointF(30, 99) << QRectF(100, 100, 230, 100);
    QTest::newRow("bottom left") << ResizeHandle::BottomLeft << QPointF(10, 10) << QRectF(110, 100, 190, 110);
    QTest::newRow("bottom") << ResizeHandle::Bottom << QPointF(99, -10) << QRectF(100, 100, 200, 90);
    QTest::newRow("bottom right") << ResizeHandle::BottomRight << QPointF(-20, 40) << QRectF(100, 100, 180, 140);

    // Past the opposite edge: the fixed edge stays, the dragged one pins at the minimum.
    QTest::newRow("top left pinned") << ResizeHandle::TopLeft << QPointF(500, 500) << QRectF(220, 160, 80, 40);
    QTest::newRow("top pinned") << ResizeHandle::Top << QPointF(0, 500) << QRectF(100, 160, 200, 40);
    QTest::newRow("top right pinned") << ResizeHandle::TopRight << QPointF(-500, 500) << QRectF(100, 160, 80, 40);
    QTest::newRow("left pinned far right") << ResizeHandle::Left << QPointF(1000, 0) << QRectF(220, 100, 80, 100);
    QTest::newRow("right pinned") << ResizeHandle::Right << QPointF(-1000, 0) << QRectF(100, 100, 80, 100);
    QTest::newRow("bottom left pinned") << ResizeHandle::BottomLeft << QPointF(500, -500) << QRectF(220, 100, 80, 40);
    QTest::newRow("bottom pinned") << ResizeHandle::Bottom << QPointF(0, -500) << QRectF(100, 100, 200, 40);
    QTest::newRow("bottom right pinned") << ResizeHandle::BottomRight << QPointF(-500, -500) << QRectF(100, 100, 80, 40);
    QTest::newRow("no handle") << ResizeHandle::NoHandle << QPointF(30, 30) << QRectF(100, 100, 200, 100);
}

void tst_AnnotationDrawing::resizeRule()
{
    QFETCH(ResizeHandle, handle);
    QFETCH(QPointF, delta);
    QFETCH(QRectF, expected);
    QCOMPARE(resizedRect(QRectF(100, 100, 200, 100), handle, delta, 80, 40), expected);
}

void tst_AnnotationDrawing::findFontStyle_data()
{
    QTest::addColumn<QStringList>("styles");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<bool>("expected");
    const QStringList semiBoldItalic{ "SemiBold Italic" };
    const QStringList bookOblique{ "Book Oblique" };
    const QStringList medium{ "Medium", "Regular" };
    QTest::newRow("no styles trusted") << QStringList() << true << true << true;
    QTest::newRow("SemiBold Italic is bold italic") << semiBoldItalic << true << true << true;
    QTest::newRow("SemiBold Italic is not regular") << semiBoldItalic << false << false << false;
    QTest::newRow("Book Oblique is italic") << bookOblique << false << true << true;
    QTest::newRow("Book Oblique is not bold") << bookOblique << true << true << false;
    QTest::newRow("Medium is regular") << medium << false << false << true;
    QTest::newRow("Medium is not bold") << medium << true << false << false;
    QTest::newRow("case-insensitive heavy") << QStringList{ "HEAVY" } << true << false << true;
    QTest::newRow("demi") << QStringList{ "Demi Oblique" } << true << true << true;
    QTest::newRow("black") << QStringList{ "Black" } << true << false << true;
}

void tst_AnnotationDrawing::findFontStyle()
{
    QFETCH(QStringList, styles);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(bool, expected);
    StylesScope scope(styles);
    QCOMPARE(::findFontStyle(QStringLiteral("Any Family"), bold, italic), expected);
}

void tst_AnnotationDrawing::resolvedFont_data()
{
    QTest::addColumn<QStringList>("styles");
    QTest::addColumn<int>("weight");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<int>("expectedWeight");
    QTest::addColumn<bool>("expectedItalic");
    QTest::addColumn<bool>("synthBold");
    QTest::addColumn<bool>("synthItalic");
    const QStringList regularBold{ "Regular", "Bold" };
    const QStringList regularOnly{ "Regular" };
    QTest::newRow("regular+bold: bold real") << regularBold << 700 << false << 700 << false << false << false;
    QTest::newRow("regular+bold: italic synthetic") << regularBold << 400 << true << 400 << false << false << true;
    QTest::newRow("regular only: both synthetic") << regularOnly << 700 << true << 400 << false << true << true;
    QTest::newRow("no styles: trusted") << QStringList() << 700 << true << 700 << true << false << false;
    QTest::newRow("semibold italic face") << QStringList{ "Regular", "SemiBold Italic" } << 600 << true << 400 << false << true << true;
    QTest::newRow("book oblique face") << QStringList{ "Book", "Book Oblique" } << 400 << true << 400 << true << false << false;
    QTest::newRow("500 is not bold") << regularOnly << 500 << false << 400 << false << false << false;
    QTest::newRow("501 is bold") << regularOnly << 501 << false << 400 << false << true << false;
    QTest::newRow("light becomes normal") << regularBold << 300 << false << 400 << false << false << false;
}

void tst_AnnotationDrawing::resolvedFont()
{
    QFETCH(QStringList, styles);
    QFETCH(int, weight);
    QFETCH(bool, italic);
    QFETCH(int, expectedWeight);
    QFETCH(bool, expectedItalic);
    QFETCH(bool, synthBold);
    QFETCH(bool, synthItalic);
    StylesScope scope(styles);

    QFont font(m_mono);
    font.setPointSizeF(11);
    font.setWeight(QFont::Weight(weight));
    font.setItalic(italic);
    bool b = !synthBold;
    bool i = !synthItalic;
    const QFont f = ::resolvedFont(font, &b, &i);
    QCOMPARE(int(f.weight()), expectedWeight);
    QCOMPARE(f.italic(), expectedItalic);
    QCOMPARE(b, synthBold);
    QCOMPARE(i, synthItalic);
    QCOMPARE(f.pointSizeF(), 11.0);
    QVERIFY(f.styleStrategy() & QFont::ForceOutline);
    QVERIFY(f.styleStrategy() & QFont::PreferOutline);
    QVERIFY(!(f.styleStrategy() & QFont::NoFontMerging));

    // Null out-parameters are allowed.
    QCOMPARE(::resolvedFont(font, nullptr, nullptr), f);
}

void tst_AnnotationDrawing::syntheticBoldPenWidth_data()
{
    QTest::addColumn<qreal>("height");
    QTest::addColumn<qreal>("width");
    QTest::newRow("8 is floored") << qreal(8) << qreal(0.55);
    QTest::newRow("11 is floored") << qreal(11) << qreal(0.55);
    QTest::newRow("20") << qreal(20) << qreal(1.0);
}

void tst_AnnotationDrawing::syntheticBoldPenWidth()
{
    QFETCH(qreal, height);
    QFETCH(qreal, width);
    QCOMPARE(::syntheticBoldPenWidth(height), width);
}

void tst_AnnotationDrawing::selectionHandlesPaintSquaresOnly()
{
    QImage img(120, 80, QImage::Format_ARGB32);
    img.fill(Qt::black);
    const QColor selection(0x00, 0x78, 0xd7);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    drawSelectionHandles(&p, QRectF(20, 20, 80, 40), selection);
    const bool aaAfter = p.testRenderHint(QPainter::Antialiasing);
    p.end();
    QVERIFY(aaAfter);

    img.save(testsupport::outputDir("tst_annotationdrawing") + "/handles.png");
    // Inside a square: white; on its outline (4 from the point): the colour; the middle
    // of the rectangle and its edges between handles: untouched.
    QCOMPARE(QColor(img.pixel(20, 20)), QColor(Qt::white));
    QCOMPARE(QColor(img.pixel(60, 58)), QColor(Qt::white));
    QCOMPARE(QColor(img.pixel(16, 20)), selection);
    QCOMPARE(QColor(img.pixel(100, 63)), QColor(Qt::white));
    QCOMPARE(QColor(img.pixel(60, 40)), QColor(Qt::black));
    QCOMPARE(QColor(img.pixel(40, 20)), QColor(Qt::black));
    QCOMPARE(QColor(img.pixel(11, 11)), QColor(Qt::black));
}

void tst_AnnotationDrawing::pathTextPaintsNothingWithoutTextOrArea_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRectF>("rect");
    QTest::newRow("empty text") << QString() << QRectF(0, 0, 100, 40);
    QTest::newRow("zero height") << QStringLiteral("Text") << QRectF(0, 0, 100, 0);
    QTest::newRow("zero width") << QStringLiteral("Text") << QRectF(0, 0, 0, 40);
    QTest::newRow("negative height") << QStringLiteral("Text") << QRectF(0, 40, 100, -40);
}

void tst_AnnotationDrawing::pathTextPaintsNothingWithoutTextOrArea()
{
    QFETCH(QString, text);
    QFETCH(QRectF, rect);
    QImage img = blankImage(120, 60);
    QPainter p(&img);
    drawTextAsPath(&p, rect, QFont(m_mono), text, Ink);
    p.end();
    QCOMPARE(inkCount(img), 0);
}

void tst_AnnotationDrawing::pathTextIsLeftAlignedAndCentred()
{
    StylesScope scope({ "Regular" });
    QFont font(m_mono);
    font.setPixelSize(20);
    const QRectF textRect(30, 20, 300, 80);
    QImage img = blankImage(360, 120);
    QPainter p(&img);
    drawTextAsPath(&p, textRect, font, QStringLiteral("Hxgy"), Ink);
    p.end();
    img.save(testsupport::outputDir("tst_annotationdrawing") + "/pathtext.png");

    const QRect ink = inkBounds(img);
    QVERIFY(!ink.isEmpty());
    QVERIFY2(qAbs(ink.left() - textRect.left()) <= 1, qPrintable(QString::number(ink.left())));
    const qreal inkMiddle = ink.top() + ink.height() / 2.0;
    QVERIFY2(qAbs(inkMiddle - textRect.center().y()) <= 1.0, qPrintable(QString::number(inkMiddle)));
}

void tst_AnnotationDrawing::pathTextSynthesisesBoldAndOblique()
{
    // The bundled face is Regular only, so bold and italic are synthesised.
    StylesScope scope({ "Regular" });
    QFont regular(m_mono);
    regular.setPixelSize(40);
    QFont bold = regular;
    bold.setBold(true);
    QFont italic = regular;
    italic.setItalic(true);

    const QRectF rect(10, 10, 100, 60);
    auto render = [&](const QFont &font) {
        QImage img = blankImage(120, 80);
        QPainter p(&img);
        drawTextAsPath(&p, rect, font, QStringLiteral("I"), Ink);
        return img;
    };
    const QImage r = render(regular);
    const QImage b = render(bold);
    const QImage i = render(italic);
    const QString dir = testsupport::outputDir("tst_annotationdrawing");
    r.save(dir + "/I-regular.png");
    b.save(dir + "/I-synthetic-bold.png");
    i.save(dir + "/I-synthetic-italic.png");

    QVERIFY2(inkCount(b) > inkCount(r) * 1.15,
             qPrintable(QString("%1 vs %2").arg(inkCount(b)).arg(inkCount(r))));

    // Leaning right: the ink of the top rows sits further right than that of the bottom.
    auto meanInkX = [](const QImage &img, int fromRow, int toRow) {
        double sum = 0;
        int n = 0;
        for (int y = fromRow; y < toRow; ++y) {
            for (int x = 0; x < img.width(); ++x) {
                if (isInk(img.pixel(x, y))) {
                    sum += x;
                    ++n;
                }
            }
        }
        return n ? sum / n : 0.0;
    };
    auto lean = [&](const QImage &img) {
        const QRect ink = inkBounds(img);
        const int band = ink.height() / 4;
        return meanInkX(img, ink.top(), ink.top() + band)
            - meanInkX(img, ink.bottom() - band, ink.bottom());
    };
    // About 0.3 of the glyph's height between the top and the bottom band.
    QVERIFY2(lean(i) - lean(r) > 0.3 * inkBounds(i).height() * 0.5,
             qPrintable(QString("%1 vs %2").arg(lean(i)).arg(lean(r))));
}

void tst_AnnotationDrawing::pathTextKeepsLettersTheFamilyLacks()
{
    // A Georgian letter: not in the bundled mono face, present in DejaVu Sans.
    const char32_t georgian = 0x10D0;
    QFont mono(m_mono);
    mono.setPixelSize(40);
    QFont unmerged = mono;
    unmerged.setStyleStrategy(QFont::NoFontMerging);
    QVERIFY(!QFontMetricsF(unmerged).inFontUcs4(georgian));
    QVERIFY(QFontMetricsF(QFont(QStringLiteral("DejaVu Sans"))).inFontUcs4(georgian));

    const QString letter = QString::fromUcs4(&georgian, 1);
    QImage widgetLike = blankImage(120, 80);
    {
        QPainter p(&widgetLike);
        p.setFont(mono);
        p.setPen(Ink);
        p.drawText(QRectF(10, 10, 100, 60), Qt::AlignLeft | Qt::AlignVCenter, letter);
    }
    QImage exported = blankImage(120, 80);
    {
        QPainter p(&exported);
        drawTextAsPath(&p, QRectF(10, 10, 100, 60), mono, letter, Ink);
    }
    const QString dir = testsupport::outputDir("tst_annotationdrawing");
    widgetLike.save(dir + "/georgian-text.png");
    exported.save(dir + "/georgian-path.png");

    const QRect a = inkBounds(widgetLike);
    const QRect b = inkBounds(exported);
    QVERIFY(!a.isEmpty());
    QVERIFY2(qAbs(a.width() - b.width()) <= 2 && qAbs(a.height() - b.height()) <= 2,
             qPrintable(QString("text %1x%2, path %3x%4")
                            .arg(a.width()).arg(a.height()).arg(b.width()).arg(b.height())));
    const double mismatch = inkMismatch(widgetLike, exported);
    QVERIFY2(mismatch < 0.25, qPrintable(QString::number(mismatch)));
}

QTEST_MAIN(tst_AnnotationDrawing)
#include "tst_annotationdrawing.moc"
