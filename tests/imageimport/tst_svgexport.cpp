#include "svgtestutil.h"

#include "diagramitemtypes.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "testsupport.h"
#include "thememanager.h"

#include <QApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QSvgGenerator>
#include <QtTest>

namespace {

// The scene written as the application's Export to SVG writes it: light theme, no grid, a
// white background, the items' bounds grown by 80, drawn at their size. Returns the origin
// of the drawing in scene coordinates.
QPointF exportSvg(ERScene &scene, const QString &path)
{
    ThemeManager::instance()->setTheme(ThemeKind::Light);
    scene.gridVisible = false;
    scene.backgroundOverrideColor = Qt::white;
    scene.backgroundOverrideEnabled = true;
    const QRectF source = scene.itemsBoundingRect().adjusted(-80, -80, 80, 80);
    const QSize size(qRound(source.width()), qRound(source.height()));
    QSvgGenerator generator;
    generator.setFileName(path);
    generator.setResolution(96);
    generator.setSize(size);
    generator.setViewBox(QRectF(0, 0, source.width(), source.height()));
    generator.setTitle(QStringLiteral("ER Diagram"));
    generator.setDescription(QStringLiteral("Exported ER Diagram"));
    QPainter painter(&generator);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    scene.render(&painter, QRectF(0, 0, size.width(), size.height()), source, Qt::KeepAspectRatio);
    painter.end();
    return source.topLeft();
}

// The index of the entity read at box, in drawing coordinates, within a few units.
int entityAt(const QList<RecognizedEntity> &entities, const QRectF &box)
{
    for (qsizetype i = 0; i < entities.size(); ++i) {
        const QRectF &r = entities.at(i).rect;
        if (std::abs(r.left() - box.left()) < 3 && std::abs(r.top() - box.top()) < 3
            && std::abs(r.right() - box.right()) < 3 && std::abs(r.bottom() - box.bottom()) < 3) {
            return int(i);
        }
    }
    return -1;
}

} // namespace

class TestSvgExport : public QObject
{
    Q_OBJECT

private slots:
    void exportedDiagramGivesBoxesAndLinks();
};

void TestSvgExport::exportedDiagramGivesBoxesAndLinks()
{
    QJsonObject document =
        QJsonDocument::fromJson(testsupport::readFileBytes(testsupport::dataPath("scene/data/mixed_diagram.json")))
            .object();
    QVERIFY(!document.isEmpty());
    // Without the note and the group frame: a frame drawn around boxes is a box holding
    // them, and box merging keeps only the frame.
    document.remove(QStringLiteral("annotations"));
    ERScene scene;
    QVERIFY(scene.loadFromJson(document));
    const QString path = QDir(testsupport::outputDir(QStringLiteral("tst_svgexport"))).filePath("mixed_diagram.svg");
    const QPointF origin = exportSvg(scene, path);

    RecognizedDiagram out;
    QVERIFY(readSvgShapes(path, out));

    QHash<const EntityItem *, int> readIndex;
    int boxes = 0;
    QList<const EdgeItem *> edges;
    const QList<QGraphicsItem *> items = scene.items();
    for (const QGraphicsItem *item : items) {
        if (item->type() == DiagramItemType::EdgeItem) {
            edges.append(static_cast<const EdgeItem *>(item));
            continue;
        }
        if (item->type() != DiagramItemType::EntityItem)
            continue;
        const auto *entity = static_cast<const EntityItem *>(item);
        const QRectF box = entity->mapRectToScene(entity->rect).translated(-origin);
        const int index = entityAt(out.entities, box);
        QVERIFY2(index >= 0, qPrintable(entity->title() + QLatin1String(" at ") + svgtest::rect(box)));
        readIndex.insert(entity, index);
        ++boxes;
    }
    QCOMPARE(boxes, 7);
    QCOMPARE(out.entities.size(), boxes);

    int joined = 0;
    for (const EdgeItem *edge : std::as_const(edges)) {
        if (edge->from == edge->to)
            continue;
        const int a = readIndex.value(edge->from, -1);
        const int b = readIndex.value(edge->to, -1);
        const bool linked = std::any_of(out.links.cbegin(), out.links.cend(), [&](const RecognizedLink &link) {
            return (link.oneIndex == a && link.manyIndex == b) || (link.oneIndex == b && link.manyIndex == a);
        });
        QVERIFY2(linked, qPrintable(edge->from->title() + QLatin1String(" - ") + edge->to->title()));
        ++joined;
    }
    QCOMPARE(joined, 6);
}

QTEST_MAIN(TestSvgExport)
#include "tst_svgexport.moc"
