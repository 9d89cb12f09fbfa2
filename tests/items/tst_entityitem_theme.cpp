// The entity box after a theme switch: its cells paint their text in the new theme's
// colour, also when they were painted in the old one before.
#include "entityitem.h"
#include "entitytestutil.h"
#include "singlelinetextitem.h"
#include "testsupport.h"
#include "thememanager.h"

#include <QGraphicsScene>
#include <QtTest>

class tst_EntityItemTheme : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cellsPaintInTheNewTextColorAfterASwitch();

private:
    ThemeKind m_original = ThemeKind::Light;
};

namespace {

constexpr qreal Scale = 3.0;

QImage renderScene(QGraphicsScene *scene, const QRectF &source)
{
    QImage image((source.size() * Scale).toSize(), QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    scene->render(&painter, QRectF(QPointF(0, 0), image.size()), source);
    painter.end();
    return image;
}

int distance(const QColor &a, const QColor &b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                     std::abs(a.blue() - b.blue())});
}

// The pixel of the item's area that stands out most from ground: the core of a glyph,
// which has the text colour whatever the antialiasing does to the glyph's edges.
QColor inkOf(const QImage &image, const QRectF &source, const QGraphicsItem *item,
             const QColor &ground)
{
    const QRectF area = item->mapRectToScene(item->boundingRect().adjusted(2, 2, -2, -2));
    const QRect pixels = QRectF((area.topLeft() - source.topLeft()) * Scale, area.size() * Scale)
                             .toAlignedRect()
                             .intersected(image.rect());
    QColor ink = ground;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (distance(c, ground) > distance(ink, ground))
                ink = c;
        }
    }
    return ink;
}

} // namespace

void tst_EntityItemTheme::initTestCase()
{
    QVERIFY(!testsupport::registerBundledMonoFont().isEmpty());
    m_original = ThemeManager::instance()->kind();
}

void tst_EntityItemTheme::cleanupTestCase()
{
    ThemeManager::instance()->setTheme(m_original);
}

void tst_EntityItemTheme::cellsPaintInTheNewTextColorAfterASwitch()
{
    ThemeManager *theme = ThemeManager::instance();
    theme->setTheme(ThemeKind::Dark);
    QGraphicsScene scene;
    EntityItem *box = entitytest::addBox(&scene, QStringLiteral("customer"),
                                         {{"customer_id", "BIGINT", true}, {"email", "VARCHAR(200)"}});
    const QRectF source = box->sceneBoundingRect().adjusted(-10, -10, 10, 10);

    // Painted once in the starting theme, so nothing the first paint keeps can hide a
    // colour that did not follow; then the double switch an export makes.
    const ThemeKind steps[] = {ThemeKind::Dark, ThemeKind::Light, ThemeKind::Dark};
    for (const ThemeKind kind : steps) {
        theme->setTheme(kind);
        const ThemePalette palette = theme->colors();
        const QImage image = renderScene(&scene, source);
        const QString name = kind == ThemeKind::Dark ? QStringLiteral("dark") : QStringLiteral("light");
        image.save(testsupport::outputDir(QStringLiteral("tst_entityitem_theme")) + "/after_"
                   + name + ".png");

        const QList<QPair<const QGraphicsItem *, QColor>> cells = {
            {box->titleText_, palette.header},
            {box->nameItems.at(1), palette.surface},
            {box->typeItems.at(1), palette.surface},
        };
        for (const auto &[cell, ground] : cells) {
            const QColor ink = inkOf(image, source, cell, ground);
            QVERIFY2(distance(ink, palette.text) <= 24,
                     qPrintable(QStringLiteral("%1 theme: text painted in %2, expected %3")
                                    .arg(name, ink.name(), palette.text.name())));
        }
    }
}

QTEST_MAIN(tst_EntityItemTheme)
#include "tst_entityitem_theme.moc"
