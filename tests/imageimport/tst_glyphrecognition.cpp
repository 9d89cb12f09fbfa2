#include "applicationsetup.h"
#include "recognitionsteps.h"

#include "testsupport.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QtTest>

namespace {

QImage blank(int width, int height)
{
    QImage image(width, height, QImage::Format_Grayscale8);
    image.fill(255);
    return image;
}

void ink(QImage &image, int left, int top, int width, int height)
{
    for (int y = top; y < top + height; ++y)
        std::fill_n(image.scanLine(y) + left, width, uchar(0));
}

GlyphTemplate syntheticTemplate(char character, int width, int height, const QList<QRect> &marks)
{
    QImage image = blank(width, height);
    for (const QRect &mark : marks)
        ink(image, mark.x(), mark.y(), mark.width(), mark.height());
    return {QChar::fromLatin1(character), image};
}

// Shapes that stand for characters, so the line rules can be read off the text: a square,
// a wide block, a stem with a dot and a plain stem.
GlyphTemplateSet syntheticTemplates()
{
    return GlyphTemplateSet({syntheticTemplate('o', 10, 10, {QRect(1, 1, 8, 8)}),
                             syntheticTemplate('m', 18, 11, {QRect(1, 1, 16, 9)}),
                             syntheticTemplate('i', 4, 12, {QRect(1, 1, 2, 2), QRect(1, 4, 2, 7)}),
                             syntheticTemplate('l', 4, 12, {QRect(1, 1, 2, 10)})});
}

using Marks = QList<QRect>;

// The template character set as the application draws it.
const QString TemplateCharacters = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-.,()");

// Matching as plainly stated: every template cropped and normalised for every glyph.
QChar matchGlyphPlainly(const QImage &glyph, const QList<GlyphTemplate> &templates)
{
    const QImage k = cropToInk(glyph);
    if (k.isNull() || templates.isEmpty())
        return QChar();
    const double a = double(k.width()) / std::max(k.height(), 1);
    const QImage cellK = normalizeGlyph(k);
    double best = 0;
    QChar winner;
    for (const GlyphTemplate &candidate : templates) {
        const QImage t = cropToInk(candidate.image);
        // A comma is only taken for a glyph known to hang below the small letters.
        if (t.isNull() || candidate.character == u',')
            continue;
        const double b = double(t.width()) / std::max(t.height(), 1);
        if ((a < 0.42 && b > 0.75) || (a > 0.9 && b < 0.48))
            continue;
        const QImage cellT = normalizeGlyph(candidate.image);
        int both = 0;
        int either = 0;
        for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 16; ++x) {
                const bool inkK = cellK.constScanLine(y)[x] < 140;
                const bool inkT = cellT.constScanLine(y)[x] < 140;
                both += inkK && inkT;
                either += inkK || inkT;
            }
        }
        const double score = either == 0 ? 0.0 : double(both) / either;
        if (score > best) {
            best = score;
            winner = candidate.character;
        }
    }
    return best < 0.2 ? QChar() : winner;
}

// A word in a bold sans at a pixel size, black on white inside a box outline.
QImage wordInBox(const QString &family, int pixelSize, const QString &word, QRectF *box)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Bold);
    const QFontMetrics metrics(font);
    const QSize size(metrics.horizontalAdvance(word) + 40, metrics.height() + 24);
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(QPen(Qt::black, 2));
    painter.drawRect(QRect(QPoint(2, 2), size - QSize(4, 4)));
    painter.setFont(font);
    painter.drawText(QPoint(18, 12 + metrics.ascent()), word);
    painter.end();
    *box = QRectF(1, 1, size.width() - 2, size.height() - 2);
    return picture;
}

// A box as the application draws one: a title and a row in its entity font at 13 pixels,
// dark grey on white, the row slanted for a foreign key, both beginning at a fraction of a
// pixel (boxes and centred titles rarely lie on whole pixels).
QImage entityFontBox(const QString &title, const QString &row, bool slanted, double offset, QRectF *box)
{
    QImage picture(260, 70, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QFont font(QStringLiteral("JetBrains Mono"));
    font.setPixelSize(13);
    QPainter painter(&picture);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.drawRect(QRectF(4.5, 4.5, 250, 60));
    painter.setPen(QColor(31, 35, 40));
    painter.setFont(font);
    painter.drawText(QPointF(40 + offset, 25), title);
    font.setItalic(slanted);
    painter.setFont(font);
    painter.drawText(QPointF(14 + offset, 48), row);
    painter.end();
    *box = QRectF(4, 4, 252, 62);
    return picture;
}

// A box drawn as a view zoomed to scale draws it: the entity font at its 10 points under a
// painter scaled by the factor, a title over a row with a data type.
QImage scaledEntityBox(double scale, const QString &title, const QString &row, QRectF *box)
{
    const QSizeF size(260, 64);
    QImage picture((size * scale + QSizeF(8, 8)).toSize(), QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.scale(scale, scale);
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.drawRect(QRectF(QPointF(2.5, 2.5), size));
    painter.setPen(QColor(31, 35, 40));
    painter.setFont(QFont(QStringLiteral("JetBrains Mono"), 10));
    painter.drawText(QPointF(70.3, 22), title);
    painter.drawText(QPointF(12.6, 48), row);
    painter.end();
    *box = QRectF(2, 2, (size.width() + 1) * scale, (size.height() + 1) * scale);
    return picture;
}

const QStringList RecognitionWords = {QStringLiteral("customer_id"), QStringLiteral("Orders"),
                                      QStringLiteral("created_at"), QStringLiteral("VARCHAR(255)"),
                                      QStringLiteral("order_line"), QStringLiteral("Customers")};

} // namespace

Q_DECLARE_METATYPE(Marks)

class TestGlyphRecognition : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void templateFontsAreTheExpectedFamilies();
    void lineRules_data();
    void lineRules();
    void placementOnTheLine_data();
    void placementOnTheLine();
    void textLinesTakeInTheirEdges();
    void templateSetsAreClampedAndKept();
    void repeatedFamiliesAreMatchedOnce();
    void renderedRectangles();
    void wordsAreRead();
    void cachedCellsMatchThePlainRule();
    void entityFontLines_data();
    void entityFontLines();
    void scaledEntityFontLines_data();
    void scaledEntityFontLines();
};

void TestGlyphRecognition::initTestCase()
{
    // The bundled fonts take part in font matching in the application, so here too.
    for (const QString &path : defaultApplicationFontPaths())
        loadApplicationFont(path);
}

// Recognition depends on the fonts that stand in for these names; a change of fonts shows
// here rather than as a silent loss of accuracy.
void TestGlyphRecognition::templateFontsAreTheExpectedFamilies()
{
    const QStringList expected{QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")};
    for (const char *name : {"Verdana", "Tahoma", "Arial"}) {
        QFont font(QString::fromLatin1(name));
        font.setPixelSize(16);
        font.setWeight(QFont::Bold);
        const QString family = QFontInfo(font).family();
        qInfo("%s resolves to %s", name, qPrintable(family));
        QVERIFY2(expected.contains(family),
                 qPrintable(QStringLiteral("%1 resolves to %2; install fonts-dejavu-core and fonts-liberation2")
                                .arg(QLatin1String(name), family)));
    }
}

void TestGlyphRecognition::lineRules_data()
{
    QTest::addColumn<int>("lineHeight");
    QTest::addColumn<Marks>("marks");
    QTest::addColumn<QString>("text");
    QTest::newRow("i with its dot apart") << 14 << Marks{{10, 2, 2, 2}, {10, 5, 2, 7}} << "i";
    QTest::newRow("stem alone") << 14 << Marks{{10, 2, 2, 10}} << "l";
    QTest::newRow("18 columns at height 12 are two") << 12 << Marks{{2, 1, 18, 9}} << "oo";
    QTest::newRow("17 columns at height 12 are one") << 12 << Marks{{2, 1, 17, 9}} << "m";
    QTest::newRow("6 columns on at height 10: a space") << 10 << Marks{{2, 2, 6, 6}, {13, 2, 6, 6}} << "o o";
    QTest::newRow("5 columns on at height 10: none") << 10 << Marks{{2, 2, 6, 6}, {12, 2, 6, 6}} << "oo";
    QTest::newRow("flat marks are skipped")
        << 10 << Marks{{2, 2, 6, 6}, {9, 4, 6, 3}, {16, 2, 6, 6}} << "o o";
    QTest::newRow("specks under 4 pixels dropped") << 10 << Marks{{2, 2, 6, 6}, {10, 3, 1, 3}} << "o";
    QTest::newRow("line 3 pixels wide") << 10 << Marks{{0, 2, 3, 6}} << "";
    QTest::newRow("nothing") << 10 << Marks{} << "";
}

void TestGlyphRecognition::lineRules()
{
    QFETCH(int, lineHeight);
    QFETCH(Marks, marks);
    QFETCH(QString, text);
    const bool narrow = text.isEmpty() && !marks.isEmpty();
    QImage line = blank(narrow ? 3 : 41, lineHeight + 2);
    for (const QRect &mark : marks)
        ink(line, mark.x(), mark.y() + 1, mark.width(), mark.height());
    QCOMPARE(recognizeCharacters(line, QRect(0, 1, line.width(), lineHeight), syntheticTemplates()), text);
    QCOMPARE(recognizeCharacters(line, QRect(0, 1, line.width(), 4), syntheticTemplates()), QString());
}

// Capital and small letters of one shape, a stem and a dotted stem: what tells them apart
// is where a glyph lies on its line.
GlyphTemplateSet placedTemplates()
{
    return GlyphTemplateSet({syntheticTemplate('C', 10, 10, {QRect(1, 1, 8, 8)}),
                             syntheticTemplate('c', 10, 10, {QRect(1, 1, 8, 8)}),
                             syntheticTemplate('l', 4, 12, {QRect(1, 1, 2, 10)}),
                             syntheticTemplate('i', 4, 12, {QRect(1, 1, 2, 2), QRect(1, 4, 2, 7)})});
}

void TestGlyphRecognition::placementOnTheLine_data()
{
    QTest::addColumn<Marks>("marks");
    QTest::addColumn<int>("smallHeight");  // from earlier lines; 0 for none
    QTest::addColumn<QString>("text");
    const QRect stem(2, 0, 2, 10);
    QTest::newRow("small and tall squares") << Marks{stem, {7, 4, 6, 6}, {16, 0, 8, 10}} << 0 << "lcC";
    QTest::newRow("small squares after a line that showed both") << Marks{{2, 4, 6, 6}, {10, 4, 6, 6}} << 6 << "cc";
    QTest::newRow("small squares alone") << Marks{{2, 4, 6, 6}, {10, 4, 6, 6}} << 0 << "CC";
    QTest::newRow("underscore on the baseline") << Marks{stem, {6, 10, 6, 2}, {14, 0, 2, 10}} << 0 << "l_l";
    QTest::newRow("underline below a word") << Marks{stem, {6, 4, 6, 6}, {14, 0, 2, 10}, {0, 11, 30, 1}} << 0 << "lcl";
    QTest::newRow("dot of 2 pixels over a stem") << Marks{{2, 0, 1, 2}, {2, 3, 2, 7}} << 0 << "i";
    QTest::newRow("stem without a dot") << Marks{{2, 3, 2, 7}} << 0 << "l";
}

void TestGlyphRecognition::placementOnTheLine()
{
    QFETCH(Marks, marks);
    QFETCH(int, smallHeight);
    QFETCH(QString, text);
    QImage line = blank(41, 14);
    for (const QRect &mark : marks)
        ink(line, mark.x(), mark.y() + 1, mark.width(), mark.height());
    TextHeights heights;
    if (smallHeight > 0)
        heights = {smallHeight, 10};
    QCOMPARE(recognizeCharacters(line, QRect(0, 1, line.width(), 12), placedTemplates(), &heights), text);
}

// Rows with too little ink to count as text on their own belong to the line they touch or
// lie just beside; a rule across the box does not.
void TestGlyphRecognition::textLinesTakeInTheirEdges()
{
    QImage region = blank(200, 60);
    ink(region, 10, 10, 100, 7);   // small letters, 100 pixels a row
    ink(region, 30, 7, 2, 3);      // the top of a t above them
    ink(region, 60, 18, 3, 2);     // an underscore one row below the line
    ink(region, 0, 22, 200, 1);    // a rule under a title band
    ink(region, 10, 40, 100, 8);
    const QList<QRect> lines = textLines(region, region.rect());
    QCOMPARE(lines, (QList<QRect>{QRect(QPoint(0, 7), QPoint(199, 19)), QRect(QPoint(0, 40), QPoint(199, 47))}));
}

void TestGlyphRecognition::templateSetsAreClampedAndKept()
{
    const QList<GlyphTemplate> ten = buildGlyphTemplates(10);
    QCOMPARE(ten.size(), 4 * TemplateCharacters.size());
    for (qsizetype i = 0; i < ten.size(); ++i)
        QCOMPARE(ten.at(i).character, TemplateCharacters.at(i % TemplateCharacters.size()));
    const QList<GlyphTemplate> eight = buildGlyphTemplates(8);
    const QList<GlyphTemplate> forty = buildGlyphTemplates(40);
    const QList<GlyphTemplate> twentyEight = buildGlyphTemplates(28);
    for (qsizetype i = 0; i < ten.size(); ++i) {
        QCOMPARE(eight.at(i).image, ten.at(i).image);
        QCOMPARE(forty.at(i).image, twentyEight.at(i).image);
    }

    GlyphTemplateCache cache;
    const GlyphTemplateSet *first = &cache.templatesFor(8);
    QCOMPARE(&cache.templatesFor(10), first);
    cache.templatesFor(40);
    cache.templatesFor(28);
    QCOMPARE(&cache.templatesFor(-5), first);
    QCOMPARE(cache.setsBuilt(), 2);
}

void TestGlyphRecognition::repeatedFamiliesAreMatchedOnce()
{
    const GlyphTemplateSet set(buildGlyphTemplates(16));
    const qsizetype perFamily = TemplateCharacters.size();
    int repeated = 0;
    for (qsizetype i = perFamily; i < set.templates().size(); ++i) {
        bool repeats = false;
        for (qsizetype earlier = i % perFamily; earlier < i; earlier += perFamily)
            repeats = repeats || set.templates().at(earlier).image == set.templates().at(i).image;
        QCOMPARE(set.shapes().at(size_t(i)).matchable, !repeats && !cropToInk(set.templates().at(i).image).isNull());
        repeated += repeats;
    }
    qInfo("%d of %lld templates repeat an earlier family", repeated, qlonglong(set.templates().size()));
}

// A rendered crop is thresholded between its two peaks: dark text on a mid grey that a
// fixed threshold of 140 would take for ink as well.
void TestGlyphRecognition::renderedRectangles()
{
    QImage rendering(400, 200, QImage::Format_ARGB32_Premultiplied);
    rendering.fill(QColor(135, 135, 135));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(20);
    font.setWeight(QFont::Bold);
    const QFontMetrics metrics(font);
    {
        QPainter painter(&rendering);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(font);
        painter.setPen(QColor(20, 20, 20));
        painter.drawText(QPoint(40, 60), QStringLiteral("VARCHAR(255)"));
    }
    GlyphTemplateCache cache;
    // The drawing is 200 x 100 units, rendered at twice its size.
    const RenderedTextReader read = recognizeRenderedText(rendering, QRectF(0, 0, 200, 100), &cache);
    const double top = (60 - metrics.ascent()) / 2.0;
    const double height = metrics.height() / 2.0;
    QCOMPARE(read(QRectF(15, top, 150, height)), QStringLiteral("VARCHAR(255)"));
    QCOMPARE(read(QRectF(15, top, 2.5, height)), QString());   // 5 pixels wide
    QCOMPARE(read(QRectF(15, top, 150, 2.5)), QString());
    QCOMPARE(read(QRectF(500, top, 150, height)), QString());
    QCOMPARE(cache.setsBuilt(), 1);
}

// Words in the fonts the templates resolve to, at three sizes, on the binarised working
// image as the raster route reads it: each gives one line inside its box. What is read is
// logged; the closing of the working image joins the letters of bold text this small, so
// the readings are not asserted.
void TestGlyphRecognition::wordsAreRead()
{
    const QString folder = testsupport::outputDir(QStringLiteral("tst_glyphrecognition"));
    int exact = 0;
    int total = 0;
    for (const char *family : {"Arial", "Verdana"}) {
        for (int size : {12, 16, 22}) {
            for (const QString &word : RecognitionWords) {
                QRectF box;
                const QImage picture = wordInBox(QString::fromLatin1(family), size, word, &box);
                const QImage binary = thresholdImage(picture);
                const QList<TextFragment> lines = recognizeRegionText(binary, {box});
                QCOMPARE(lines.size(), 1);
                QVERIFY(box.contains(lines.first().rect));
                qInfo("%s %d px: %s -> %s", family, size, qPrintable(word), qPrintable(lines.first().text));
                if (size == 16)
                    binary.save(QDir(folder).filePath(QStringLiteral("%1-%2.png").arg(QLatin1String(family), word)));
                exact += lines.first().text == word;
                ++total;
            }
        }
    }
    qInfo("%d of %d words read exactly", exact, total);
}

void TestGlyphRecognition::cachedCellsMatchThePlainRule()
{
    int compared = 0;
    for (int size : {12, 16, 22}) {
        const QList<GlyphTemplate> templates = buildGlyphTemplates(size);
        const GlyphTemplateSet set(templates);
        for (const QString &word : RecognitionWords) {
            QRectF box;
            const QImage binary = binarizeImage(wordInBox(QStringLiteral("Verdana"), size, word, &box));
            // Every column span of the line is a candidate glyph: characters, pieces and pairs.
            const QRect inner = QRect(6, 5, binary.width() - 12, binary.height() - 10);
            for (int left = inner.left(); left < inner.right(); left += 3) {
                for (int width : {3, 6, 9, 14}) {
                    const QImage glyph = binary.copy(QRect(left, inner.top(), width, inner.height()));
                    QCOMPARE(matchGlyph(glyph, set), matchGlyphPlainly(glyph, templates));
                    ++compared;
                }
            }
        }
    }
    QVERIFY(compared > 500);
}

void TestGlyphRecognition::entityFontLines_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("slanted");
    QTest::addColumn<double>("offset");
    // Letters that scaled cells confuse: r and n, m and n, l, t and (, e and o, i and z.
    QTest::newRow("whole pixels") << "orders" << "modern_term varchar(120)" << false << 0.0;
    QTest::newRow("a third of a pixel") << "line_item" << "title_total integer" << false << 0.3;
    QTest::newRow("slanted row") << "customer" << "zone_index timestamp" << true << 0.55;
    QTest::newRow("slanted row, most of a pixel") << "rental" << "rental_id bigint" << true << 0.8;
}

// Lines in the application's own entity font are read at the size and slant they are drawn in.
void TestGlyphRecognition::entityFontLines()
{
    QFETCH(QString, title);
    QFETCH(QString, row);
    QFETCH(bool, slanted);
    QFETCH(double, offset);
    QRectF box;
    const QImage binary = thresholdImage(entityFontBox(title, row, slanted, offset, &box));
    const QList<TextFragment> lines = recognizeRegionText(binary, {box});
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0).text, title);
    QCOMPARE(lines.at(1).text, row);
}

void TestGlyphRecognition::scaledEntityFontLines_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("row");
    QTest::newRow("five quarters") << 1.25 << "line_item" << "total_sum numeric(10,2)";
    QTest::newRow("twice") << 2.0 << "customer" << "zone_index timestamp";
}

// The scale of the font is found from the lines themselves, and the comma is read.
void TestGlyphRecognition::scaledEntityFontLines()
{
    QFETCH(double, scale);
    QFETCH(QString, title);
    QFETCH(QString, row);
    QRectF box;
    const QImage picture = scaledEntityBox(scale, title, row, &box);
    picture.save(QDir(testsupport::outputDir(QStringLiteral("tst_glyphrecognition")))
                     .filePath(QStringLiteral("scaled-%1.png").arg(QLatin1String(QTest::currentDataTag()))));
    const QList<TextFragment> lines = recognizeRegionText(thresholdImage(picture), {box});
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0).text, title);
    QCOMPARE(lines.at(1).text, row);
}

QTEST_MAIN(TestGlyphRecognition)
#include "tst_glyphrecognition.moc"
