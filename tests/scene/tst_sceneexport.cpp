#include "entityitem.h"
#include "erscene.h"
#include "sceneexport.h"
#include "scenetestutil.h"
#include "singlelinetextitem.h"
#include "testsupport.h"

#include <QFile>
#include <QGraphicsEffect>
#include <QGraphicsView>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using scenetest::addBox;

// The PDF and SVG exports show the diagram, not what the screen shows of the user's work:
// no selection glow, caret, text selection or focus frame; all of it is back afterwards.
class tst_SceneExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void onScreenStateStaysOffThePage_data();
    void onScreenStateStaysOffThePage();
    void svgNamesAGenericFamilyAfterEachFamily();
};

namespace {

using Exporter = bool (*)(QGraphicsScene *, const QString &);

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage renderSvg(const QString &path)
{
    QSvgRenderer renderer(path);
    QImage image(renderer.defaultSize(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

// Pixels whose colour differs by more than a rounding step.
int differingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 8 || std::abs(qGreen(p) - qGreen(q)) > 8
                || std::abs(qBlue(p) - qBlue(q)) > 8 || std::abs(qAlpha(p) - qAlpha(q)) > 8)
                ++count;
        }
    }
    return count;
}

// The PDF without what differs between two runs of the same drawing.
QByteArray withoutDates(QByteArray pdf)
{
    static const QRegularExpression stamps(u"/CreationDate \\([^)]*\\)|/ID \\[<[^>]*> <[^>]*>\\]"_s);
    return QString::fromLatin1(pdf).remove(stamps).toLatin1();
}

} // namespace

void tst_SceneExport::initTestCase()
{
    testsupport::registerBundledMonoFont();
}

void tst_SceneExport::onScreenStateStaysOffThePage_data()
{
    QTest::addColumn<bool>("svg");
    QTest::newRow("svg") << true;
    QTest::newRow("pdf") << false;
}

void tst_SceneExport::onScreenStateStaysOffThePage()
{
    QFETCH(bool, svg);
    const Exporter exportScene = svg ? &exportSceneToSvgFile : &exportSceneToPdfFile;
    ERScene scene;
    QGraphicsView view(&scene);
    view.resize(700, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowActive(&view));
    EntityItem *orders = addBox(&scene, u"orders"_s, {{u"order_id"_s, u"bigint"_s, true}, {u"placed_at"_s, u"timestamp"_s}});
    addBox(&scene, u"customers"_s, {{u"customer_id"_s, u"bigint"_s, true}, {u"email"_s, u"text"_s}}, QPointF(260, 40));
    QCoreApplication::processEvents();

    QTemporaryDir dir;
    const QString atRest = dir.filePath(svg ? u"rest.svg"_s : u"rest.pdf"_s);
    QVERIFY(exportScene(&scene, atRest));

    // The box selected and glowing, a row clicked: its cell has the caret and the frame.
    orders->setSelected(true);
    QTRY_VERIFY(orders->graphicsEffect());
    SingleLineTextItem *cell = orders->nameItems.at(1);
    cell->beginEditing();
    QVERIFY(cell->hasFocus());
    const bool framed = cell->isFocusFrameVisible();
    const QString busy = dir.filePath(svg ? u"busy.svg"_s : u"busy.pdf"_s);
    QVERIFY(exportScene(&scene, busy));

    // All of it is back, and nothing was committed or ended.
    QVERIFY(orders->isSelected());
    QVERIFY(orders->graphicsEffect() && orders->graphicsEffect()->isEnabled());
    QVERIFY(cell->hasFocus());
    QVERIFY(cell->textInteractionFlags() & Qt::TextEditable);
    QCOMPARE(cell->isFocusFrameVisible(), framed);
    QVERIFY(!cell->hasRestingLook());

    const QByteArray page = readAll(busy);
    if (svg) {
        QVERIFY(!page.contains("<image"));
        const QImage rest = renderSvg(atRest);
        const QImage shown = renderSvg(busy);
        const QString folder = testsupport::outputDir(u"scene"_s);
        QVERIFY(rest.save(folder + u"/export-at-rest.png"_s));
        QVERIFY(shown.save(folder + u"/export-while-editing.png"_s));
        QCOMPARE(differingPixels(rest, shown), 0);
    } else {
        QVERIFY(!page.contains("/Subtype /Image"));
        QCOMPARE(withoutDates(page), withoutDates(readAll(atRest)));
    }
}

void tst_SceneExport::svgNamesAGenericFamilyAfterEachFamily()
{
    ERScene scene;
    addBox(&scene, u"orders"_s, {{u"order_id"_s, u"bigint"_s, true}, {u"notes"_s, u"text"_s}});
    // Boxes draw their text as outlines; text drawn as text names its family.
    QFont mono(testsupport::registerBundledMonoFont(), 10);
    scene.addSimpleText(u"one row per order"_s, mono)->setPos(0, 120);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"shop.svg"_s);
    QVERIFY(exportSceneToSvgFile(&scene, path));
    const QString svg = QString::fromUtf8(readAll(path));
    QFile::remove(testsupport::outputDir(u"scene"_s) + u"/export-families.svg"_s);
    QFile::copy(path, testsupport::outputDir(u"scene"_s) + u"/export-families.svg"_s);

    // Every family the drawing names gets a rule with its generic family after it.
    static const QRegularExpression attribute(u"font-family=\"([^\"]+)\""_s);
    QSet<QString> families;
    for (const QRegularExpressionMatch &match : attribute.globalMatch(svg))
        families.insert(match.captured(1));
    QVERIFY(families.contains(mono.family()));
    QVERIFY(svg.contains(u"<text"_s));
    for (const QString &family : qAsConst(families)) {
        const QString generic = family == mono.family() ? u"monospace"_s : u"sans-serif"_s;
        const QString rule = u"[font-family=\"%1\"] { font-family: \"%1\", %2; }"_s.arg(family, generic);
        QVERIFY2(svg.contains(rule), qPrintable(rule));
    }

    // A reader that has the families draws exactly as without the rules.
    static const QRegularExpression sheet(u"<style[^>]*>[^<]*</style>"_s);
    QVERIFY(svg.contains(sheet));
    QString bare = svg;
    bare.remove(sheet);
    const QString barePath = dir.filePath(u"bare.svg"_s);
    QFile bareFile(barePath);
    QVERIFY(bareFile.open(QIODevice::WriteOnly));
    bareFile.write(bare.toUtf8());
    bareFile.close();
    const QImage withRules = renderSvg(path);
    QVERIFY(withRules.save(testsupport::outputDir(u"scene"_s) + u"/export-families.png"_s));
    QCOMPARE(differingPixels(withRules, renderSvg(barePath)), 0);
}

QTEST_MAIN(tst_SceneExport)
#include "tst_sceneexport.moc"
