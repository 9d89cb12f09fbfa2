#include "annotationfixture.h"
#include "groupitem.h"
#include "testsupport.h"
#include "textitem.h"
#include "thememanager.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>
#include <QStyleOptionGraphicsItem>
#include <QTest>

namespace {

// Counts what a painter is asked to draw, to tell real text from glyph outlines.
class CountingEngine : public QPaintEngine
{
public:
    CountingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &) override {}
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    void drawTextItem(const QPointF &, const QTextItem &) override { ++textItems; }
    void drawPath(const QPainterPath &) override { ++paths; }
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
    Type type() const override { return QPaintEngine::User; }

    int textItems = 0;
    int paths = 0;
};

class CountingDevice : public QPaintDevice
{
public:
    QPaintEngine *paintEngine() const override { return &engine; }
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return 800;
        case PdmHeight: return 600;
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return 96;
        case PdmDepth: return 32;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(QPaintDevice::devicePixelRatioFScale());
        default: return 1000;
        }
    }
    mutable CountingEngine engine;
};

bool isInk(QRgb px, QRgb background)
{
    return qAbs(qGray(px) - qGray(background)) > 100;
}

QRect inkBounds(const QImage &img, const QRect &area)
{
    const QRgb bg = img.pixel(area.topLeft());
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (isInk(img.pixel(x, y), bg))
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

int inkCount(const QImage &img, const QRect &area)
{
    const QRgb bg = img.pixel(area.topLeft());
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            n += isInk(img.pixel(x, y), bg) ? 1 : 0;
    }
    return n;
}

int colourCount(const QImage &img, const QColor &colour)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x)
            n += QColor(img.pixel(x, y)).rgb() == colour.rgb() ? 1 : 0;
    }
    return n;
}

// The scene as the PDF and SVG export paints it: no widget.
QImage exportRender(QGraphicsScene &scene)
{
    QImage img(scene.sceneRect().size().toSize(), QImage::Format_ARGB32);
    img.fill(ThemeManager::instance()->colors().background);
    QPainter p(&img);
    scene.render(&p, QRectF(img.rect()), scene.sceneRect());
    return img;
}

QRect areaOf(const QGraphicsItem *item)
{
    return item->sceneBoundingRect().toAlignedRect();
}

} // namespace

class tst_AnnotationExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void exportDrawsOutlinesWithoutSelection();
    void exportSynthesisesBold();
    void exportKeepsLettersTheFontLacks();
    void picturesInBothThemes();
    void longTitleLeavesNoTraceWhenMoved();
};

void tst_AnnotationExport::initTestCase()
{
    QCOMPARE(testsupport::registerBundledMonoFont(), QStringLiteral("JetBrains Mono"));
}

void tst_AnnotationExport::init()
{
    ThemeManager::instance()->setTheme(ThemeKind::Light);
}

void tst_AnnotationExport::exportDrawsOutlinesWithoutSelection()
{
    AnnotationFixture f;
    QVERIFY(f.show());
    auto *note = new TextItem(QStringLiteral("Billing note"));
    auto *frame = new GroupItem(QStringLiteral("Billing"), QSizeF(300, 160));
    f.scene.addItem(frame);
    f.scene.addItem(note);
    frame->setPos(40, 40);
    note->setPos(80, 120);
    note->setSelected(true);
    frame->setSelected(true);
    const QColor selection = ThemeManager::instance()->colors().selection;

    const QImage onScreen = f.view->grab().toImage();
    const QImage exported = exportRender(f.scene);
    const QString dir = testsupport::outputDir("tst_annotationexport");
    onScreen.save(dir + "/selected-screen.png");
    exported.save(dir + "/selected-export.png");

    QVERIFY(colourCount(onScreen, selection) > 100);
    QCOMPARE(colourCount(exported, selection), 0);
    // No handle squares: just outside the note's corner looks like its surroundings.
    const QPoint corner = (note->pos() - QPointF(3, 3)).toPoint();
    QCOMPARE(QColor(exported.pixel(corner)), QColor(exported.pixel(corner - QPoint(10, 10))));
    QCOMPARE(QColor(exported.pixel(corner + QPoint(1, 1))), QColor(exported.pixel(corner - QPoint(10, 10))));

    // The text has the size the screen shows it with.
    note->setSelected(false);
    const QImage unselected = f.viewport()->grab().toImage();
    const QRect textArea = note->mapRectToScene(note->rect().adjusted(1, 1, -1, -1)).toAlignedRect();
    const QRect screenInk = inkBounds(unselected, f.view->mapFromScene(QRectF(textArea)).boundingRect());
    const QRect exportInk = inkBounds(exported, textArea);
    QVERIFY(!exportInk.isEmpty());
    QVERIFY2(qAbs(screenInk.width() - exportInk.width()) <= 2
                 && qAbs(screenInk.height() - exportInk.height()) <= 2,
             qPrintable(QString("%1x%2 vs %3x%4").arg(screenInk.width()).arg(screenInk.height())
                            .arg(exportInk.width()).arg(exportInk.height())));

    // Without a widget both items draw glyph outlines, never text runs.
    CountingDevice device;
    {
        QPainter p(&device);
        f.scene.render(&p, QRectF(0, 0, 800, 600), f.scene.sceneRect());
    }
    QCOMPARE(device.engine.textItems, 0);
    QVERIFY(device.engine.paths >= 2);

    CountingDevice onWidget;
    {
        QPainter p(&onWidget);
        QStyleOptionGraphicsItem option;
        note->paint(&p, &option, f.viewport());
        frame->paint(&p, &option, f.viewport());
    }
    QCOMPARE(onWidget.engine.textItems, 2);
}

void tst_AnnotationExport::exportSynthesisesBold()
{
    // The bundled face has no bold, so the export thickens the outline itself.
    ERScene scene;
    scene.setSceneRect(0, 0, 400, 200);
    auto *regular = new TextItem(QStringLiteral("Heavy words"));
    auto *bold = new TextItem(QStringLiteral("Heavy words"));
    QFont font = bold->font();
    font.setBold(true);
    bold->setFont(font);
    scene.addItem(regular);
    scene.addItem(bold);
    regular->setPos(20, 20);
    bold->setPos(20, 100);
    const QImage exported = exportRender(scene);
    exported.save(testsupport::outputDir("tst_annotationexport") + "/synthetic-bold-export.png");
    const int r = inkCount(exported, areaOf(regular));
    const int b = inkCount(exported, areaOf(bold));
    QVERIFY2(b > r * 1.15, qPrintable(QString("%1 vs %2").arg(b).arg(r)));
}

void tst_AnnotationExport::exportKeepsLettersTheFontLacks()
{
    AnnotationFixture f;
    QVERIFY(f.show());
    // Georgian and Hebrew letters: not in the bundled mono face, present in DejaVu Sans.
    const QString georgian = QString::fromUtf8("ა");
    const QString hebrew = QString::fromUtf8("א");
    QFont unmerged(QStringLiteral("JetBrains Mono"));
    unmerged.setStyleStrategy(QFont::NoFontMerging);
    QVERIFY(!QFontMetricsF(unmerged).inFontUcs4(georgian.at(0).unicode()));
    QVERIFY(!QFontMetricsF(unmerged).inFontUcs4(hebrew.at(0).unicode()));

    auto *note = new TextItem(georgian);
    QFont big = note->font();
    big.setPointSizeF(36);
    note->setFont(big);
    auto *frame = new GroupItem(hebrew, QSizeF(200, 100));
    f.scene.addItem(note);
    f.scene.addItem(frame);
    note->setPos(300, 50);
    frame->setPos(40, 40);

    const QImage onScreen = f.viewport()->grab().toImage();
    const QImage exported = exportRender(f.scene);
    const QString dir = testsupport::outputDir("tst_annotationexport");
    onScreen.save(dir + "/non-latin-screen.png");
    exported.save(dir + "/non-latin-export.png");

    auto compare = [&](const QRect &sceneArea) {
        const QRect a = inkBounds(onScreen, f.view->mapFromScene(QRectF(sceneArea)).boundingRect());
        const QRect b = inkBounds(exported, sceneArea);
        return qAbs(a.width() - b.width()) <= 2 && qAbs(a.height() - b.height()) <= 2 && !b.isEmpty();
    };
    QVERIFY(compare(note->mapRectToScene(note->rect().adjusted(1, 1, -1, -1)).toAlignedRect()));
    QVERIFY(compare(frame->mapRectToScene(frame->titleRect()).toAlignedRect()));
}

void tst_AnnotationExport::picturesInBothThemes()
{
    AnnotationFixture f;
    QVERIFY(f.show());
    f.scene.setSceneRect(0, 0, 620, 300);
    auto *frame = new GroupItem(QStringLiteral("Orders"), QSizeF(260, 160));
    auto *selectedFrame = new GroupItem(QStringLiteral("Customers"), QSizeF(260, 160));
    auto *note = new TextItem(QStringLiteral("Orders are kept for 10 years"));
    auto *selectedNote = new TextItem(QStringLiteral("Selected note"));
    for (QGraphicsItem *item : { static_cast<QGraphicsItem *>(frame), static_cast<QGraphicsItem *>(selectedFrame),
                                 static_cast<QGraphicsItem *>(note), static_cast<QGraphicsItem *>(selectedNote) })
        f.scene.addItem(item);
    frame->setPos(20, 20);
    selectedFrame->setPos(320, 20);
    note->setPos(30, 230);
    selectedNote->setPos(340, 230);
    selectedFrame->setSelected(true);
    selectedNote->setSelected(true);

    const QString dir = testsupport::outputDir("tst_annotationexport");
    for (ThemeKind kind : { ThemeKind::Light, ThemeKind::Dark }) {
        ThemeManager::instance()->setTheme(kind);
        f.scene.setBackgroundBrush(ThemeManager::instance()->colors().background);
        const QString name = kind == ThemeKind::Dark ? "dark" : "light";
        const QImage screen = f.viewport()->grab().toImage();
        screen.save(dir + "/annotations-" + name + ".png");
        exportRender(f.scene).save(dir + "/annotations-" + name + "-export.png");
        const QColor text = ThemeManager::instance()->colors().text;
        const QRect area = f.view->mapFromScene(note->sceneBoundingRect()).boundingRect();
        QVERIFY(inkCount(screen, area) > 0);
        QCOMPARE(note->textColor(), text);
    }
}

void tst_AnnotationExport::longTitleLeavesNoTraceWhenMoved()
{
    // Collects what the viewport repaints.
    struct PaintRecorder : QObject
    {
        QRegion painted;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                painted += static_cast<QPaintEvent *>(event)->region();
            return false;
        }
    };

    AnnotationFixture f;
    QVERIFY(f.show());
    f.view->setViewportUpdateMode(QGraphicsView::MinimalViewportUpdate);
    auto *frame = new GroupItem(QStringLiteral("A title much wider than its small frame"), QSizeF(80, 40));
    f.scene.addItem(frame);
    frame->setPos(40, 200);
    QVERIFY(frame->titleRect().right() > frame->rect().right() + 50);
    QTest::qWait(50);

    PaintRecorder recorder;
    f.viewport()->installEventFilter(&recorder);
    const QRectF oldTitle = frame->mapRectToScene(frame->titleRect());
    frame->setPos(40, 320);
    const QRectF newTitle = frame->mapRectToScene(frame->titleRect());
    QTRY_VERIFY(!recorder.painted.isEmpty());
    QTest::qWait(50);
    f.viewport()->removeEventFilter(&recorder);

    for (const QRectF &title : { oldTitle, newTitle }) {
        const QRect inView = f.view->mapFromScene(title).boundingRect();
        QVERIFY2((QRegion(inView) - recorder.painted).isEmpty(),
                 qPrintable(QString("title %1,%2 %3x%4 not repainted")
                                .arg(inView.x()).arg(inView.y()).arg(inView.width()).arg(inView.height())));
    }
    f.view->grab().save(testsupport::outputDir("tst_annotationexport") + "/long-title-moved.png");
}

QTEST_MAIN(tst_AnnotationExport)
#include "tst_annotationexport.moc"
