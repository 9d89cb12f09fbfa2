#include "applicationsetup.h"
#include "erscene.h"
#include "imageaccuracy.h"
#include "imageimport.h"
#include "scenepicture.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QtTest>

namespace {

struct Floors
{
    double entities;
    double titles;
    double attributeNames;
    double keys;
    double links;
    double oriented;
    int wrongLinks;  // a ceiling: edges between boxes that have no relationship
    int wrongKeys;   // a ceiling: rows flagged as a key they are not
};

// The pictures of one route with their truth files.
QList<QPair<QString, QString>> routePictures(bool svg)
{
    const QDir rendered(QStringLiteral(VELMORA_IMAGE_FIXTURES));
    const QStringList names{QStringLiteral("shop"), QStringLiteral("medium"), QStringLiteral("long-names")};
    const QStringList variants = svg ? QStringList{QStringLiteral(".svg")}
                                     : QStringList{QStringLiteral("-light.png"), QStringLiteral("-dark.png"),
                                                   QStringLiteral("-light.jpg"), QStringLiteral("-light.bmp")};
    QList<QPair<QString, QString>> pictures;
    for (const QString &name : names) {
        for (const QString &variant : variants) {
            const QString picture = rendered.filePath(name + variant);
            pictures.append({picture, picture + QLatin1String(".truth.json")});
        }
    }
    if (svg) {
        for (const char *drawing : {"rects-and-lines", "groups-and-tspans", "paths"}) {
            const QString base = testsupport::dataPath(QStringLiteral("imageimport/data/svg/%1").arg(QLatin1String(drawing)));
            pictures.append({base + QLatin1String(".svg"), base + QLatin1String(".truth.json")});
        }
    }
    return pictures;
}

void checkRoute(bool svg, const Floors &floors)
{
    imageaccuracy::Figures total;
    for (const auto &[picture, truth] : routePictures(svg)) {
        QVERIFY2(QFileInfo::exists(picture), qPrintable(picture + QLatin1String(" was not rendered")));
        imageaccuracy::Figures figures;
        QString failure;
        QVERIFY2(imageaccuracy::scorePicture(picture, truth, &figures, &failure), qPrintable(failure));
        qInfo("%s: %s", qPrintable(QFileInfo(picture).fileName()), qPrintable(imageaccuracy::describe(figures)));
        total.add(figures);
    }
    qInfo("route: %s", qPrintable(imageaccuracy::describe(total)));
    QVERIFY2(total.entities() >= floors.entities, "entities below the floor");
    QVERIFY2(total.titleShare() >= floors.titles, "titles below the floor");
    QVERIFY2(total.attributeNames() >= floors.attributeNames, "attribute names below the floor");
    QVERIFY2(total.keys() >= floors.keys, "keys below the floor");
    QVERIFY2(total.links() >= floors.links, "links below the floor");
    QVERIFY2(total.orientedShare() >= floors.oriented, "oriented links below the floor");
    QVERIFY2(total.wrongLinks <= floors.wrongLinks, "more wrong links than the ceiling");
    QVERIFY2(total.wrongKeys <= floors.wrongKeys, "more wrong keys than the ceiling");
}

} // namespace

// Floors are what the routes reach, rounded down to a whole percent, and the ceiling on wrong
// links is the count they make: a change that improves a figure moves its bound with it, and
// none may make one worse.
class TestImageAccuracy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rasterRoute();
    void svgRoute();
    void importedPicturesForReview_data();
    void importedPicturesForReview();
};

void TestImageAccuracy::initTestCase()
{
    configureApplication(*qobject_cast<QApplication *>(QCoreApplication::instance()));
}

void TestImageAccuracy::rasterRoute()
{
    checkRoute(false, Floors{100, 96, 92, 89, 100, 100, 0, 0});
}

void TestImageAccuracy::svgRoute()
{
    checkRoute(true, Floors{100, 100, 100, 100, 100, 94, 0, 0});
}

void TestImageAccuracy::importedPicturesForReview_data()
{
    QTest::addColumn<QString>("picture");
    QTest::newRow("medium-png") << QStringLiteral("medium-light.png");
    QTest::newRow("medium-svg") << QStringLiteral("medium.svg");
}

// The medium diagram imported from its picture and from its drawing, written to the test
// output for a person to compare with the source diagram.
void TestImageAccuracy::importedPicturesForReview()
{
    QFETCH(QString, picture);
    ERScene scene;
    QString error;
    QVERIFY2(importImageIntoScene(&scene, QDir(QStringLiteral(VELMORA_IMAGE_FIXTURES)).filePath(picture), &error),
             qPrintable(error));
    QVERIFY(scene.entityCount() >= 12);
    const QString folder = testsupport::outputDir(QStringLiteral("tst_imageaccuracy"));
    QVERIFY(scenepicture::renderDiagram(scene, 4096).save(
        QDir(folder).filePath(QLatin1String(QTest::currentDataTag()) + QLatin1String("-imported.png"))));
}

QTEST_MAIN(TestImageAccuracy)
#include "tst_imageaccuracy.moc"
