#include "applicationsetup.h"
#include "diagramitemtypes.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "recognitionsteps.h"
#include "scenepicture.h"
#include "testsupport.h"
#include "thememanager.h"

#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QtTest>

namespace {

double overlapShare(const QRectF &a, const QRectF &b)
{
    const QRectF both = a.intersected(b);
    const QRectF either = a.united(b);
    return both.isEmpty() ? 0.0 : (both.width() * both.height()) / (either.width() * either.height());
}

QSet<QPair<int, int>> linkedPairs(const QList<RecognizedLink> &links)
{
    QSet<QPair<int, int>> pairs;
    for (const RecognizedLink &link : links)
        pairs.insert({std::min(link.oneIndex, link.manyIndex), std::max(link.oneIndex, link.manyIndex)});
    return pairs;
}

QString titlesOf(const RecognizedDiagram &diagram)
{
    QStringList titles;
    for (const RecognizedEntity &entity : diagram.entities) {
        QStringList rows;
        for (const RecognizedAttribute &attribute : entity.attributes)
            rows.append(attribute.name);
        titles.append(entity.title + QLatin1String(" [") + rows.join(QLatin1String(", ")) + QLatin1Char(']'));
    }
    return titles.join(QLatin1String("; "));
}

// Three boxes with a title band over their rows, in the bold sans the templates resolve to,
// joined by two lines.
QImage threeBoxes(QList<QRect> *boxes)
{
    QImage picture(760, 360, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16);
    font.setWeight(QFont::Bold);
    painter.setFont(font);
    const QList<QPair<QString, QStringList>> tables = {
        {QStringLiteral("Customers"), {QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("email")}},
        {QStringLiteral("Orders"), {QStringLiteral("id"), QStringLiteral("customer_id"), QStringLiteral("total")}},
        {QStringLiteral("Products"), {QStringLiteral("id"), QStringLiteral("title"), QStringLiteral("price")}}};
    *boxes = {QRect(30, 40, 190, 150), QRect(300, 150, 190, 150), QRect(560, 30, 170, 150)};
    for (qsizetype i = 0; i < tables.size(); ++i) {
        const QRect box = boxes->at(i);
        painter.setPen(QPen(Qt::black, 2));
        painter.drawRect(box);
        painter.drawLine(box.left(), box.top() + 34, box.right(), box.top() + 34);
        painter.drawText(box.left() + 14, box.top() + 24, tables.at(i).first);
        for (qsizetype row = 0; row < tables.at(i).second.size(); ++row)
            painter.drawText(box.left() + 14, box.top() + 64 + int(row) * 28, tables.at(i).second.at(row));
    }
    // Both lines meet the borders of the middle box; each links its own two boxes only.
    painter.setPen(QPen(Qt::black, 2));
    painter.drawLine(220, 110, 300, 200);
    painter.drawLine(490, 210, 560, 110);
    painter.end();
    return picture;
}

// The scene tests' mixed diagram without its note and group frame (a frame around boxes is
// itself a box, and the boxes inside it are nested ones), with the one box that overlaps
// another moved clear of it.
QJsonObject diagramWithoutFrames()
{
    QJsonObject document = QJsonDocument::fromJson(testsupport::readFileBytes(
        testsupport::dataPath(QStringLiteral("scene/data/mixed_diagram.json")))).object();
    document.remove(QStringLiteral("annotations"));
    QJsonArray entities = document.value(QStringLiteral("entities")).toArray();
    for (qsizetype i = 0; i < entities.size(); ++i) {
        QJsonObject entity = entities.at(i).toObject();
        if (entity.value(QStringLiteral("title")).toString() == QLatin1String("category")) {
            entity.insert(QStringLiteral("y"), entity.value(QStringLiteral("y")).toDouble() + 160);
            entities.replace(i, entity);
        }
    }
    document.insert(QStringLiteral("entities"), entities);
    return document;
}

} // namespace

class TestRasterRoute : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void threeDrawnBoxesAndTwoLines();
    void applicationDiagramPictures_data();
    void applicationDiagramPictures();
};

void TestRasterRoute::initTestCase()
{
    configureApplication(*qobject_cast<QApplication *>(QCoreApplication::instance()));
}

void TestRasterRoute::threeDrawnBoxesAndTwoLines()
{
    QList<QRect> drawn;
    const QImage picture = threeBoxes(&drawn);
    picture.save(QDir(testsupport::outputDir(QStringLiteral("tst_rasterroute"))).filePath(QStringLiteral("three-boxes.png")));
    RecognizedDiagram diagram;
    QVERIFY(detectRasterBoxes(picture, diagram));
    QCOMPARE(diagram.entities.size(), 3);
    const QStringList titles{QStringLiteral("Customers"), QStringLiteral("Orders"), QStringLiteral("Products")};
    const QList<QStringList> rows{{QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("email")},
                                  {QStringLiteral("id"), QStringLiteral("customer_id"), QStringLiteral("total")},
                                  {QStringLiteral("id"), QStringLiteral("title"), QStringLiteral("price")}};
    int exactNames = 0;
    for (qsizetype i = 0; i < drawn.size(); ++i) {
        const RecognizedEntity &entity = diagram.entities.at(i);
        QVERIFY2(overlapShare(entity.rect, QRectF(drawn.at(i))) > 0.9, qPrintable(QStringLiteral("box %1").arg(i)));
        QCOMPARE(entity.title, titles.at(i));
        QCOMPARE(entity.attributes.size(), rows.at(i).size());
        for (qsizetype row = 0; row < entity.attributes.size(); ++row)
            exactNames += entity.attributes.at(row).name == rows.at(i).at(row);
    }
    QVERIFY2(exactNames * 2 > 9, qPrintable(titlesOf(diagram)));
    QCOMPARE(linkedPairs(diagram.links), (QSet<QPair<int, int>>{{0, 1}, {1, 2}}));
    qInfo("read: %s", qPrintable(titlesOf(diagram)));
}

void TestRasterRoute::applicationDiagramPictures_data()
{
    QTest::addColumn<int>("theme");
    QTest::newRow("light") << int(ThemeKind::Light);
    QTest::newRow("dark") << int(ThemeKind::Dark);
}

// The application's own picture of a diagram (keys of every kind, all four cardinalities,
// self relationships, a view): every box is found once and nothing else is taken for one,
// every edge between two boxes gives a link (a view's dashed one too), and no two unrelated boxes are linked.
void TestRasterRoute::applicationDiagramPictures()
{
    QFETCH(int, theme);
    ThemeManager::instance()->setTheme(ThemeKind(theme));
    ERScene scene;
    QVERIFY(scene.loadFromJson(diagramWithoutFrames()));
    QRectF shown;
    const QImage picture = scenepicture::renderDiagram(scene, 8192, &shown);
    const double scale = picture.width() / shown.width();
    const QString name = QLatin1String(QTest::currentDataTag());
    const QString folder = testsupport::outputDir(QStringLiteral("tst_rasterroute"));
    picture.save(QDir(folder).filePath(name + QLatin1String(".png")));
    binarizeImage(picture).save(QDir(folder).filePath(name + QLatin1String("-binarised.png")));

    RecognizedDiagram diagram;
    QVERIFY(detectRasterBoxes(picture, diagram));
    QList<EntityItem *> boxes;
    QHash<EntityItem *, int> found;
    for (QGraphicsItem *item : scene.items()) {
        if (item->type() != DiagramItemType::EntityItem)
            continue;
        auto *box = static_cast<EntityItem *>(item);
        const QRectF inPicture((box->sceneBoundingRect().topLeft() - shown.topLeft()) * scale,
                               box->sceneBoundingRect().size() * scale);
        int match = -1;
        for (qsizetype i = 0; i < diagram.entities.size(); ++i) {
            if (overlapShare(diagram.entities.at(i).rect, inPicture) > 0.8) {
                QVERIFY2(match < 0, qPrintable(box->title() + QLatin1String(" found twice")));
                match = int(i);
            }
        }
        QVERIFY2(match >= 0, qPrintable(box->title() + QLatin1String(" not found")));
        found.insert(box, match);
    }
    // The background that self relationships' loops close off beside a box is no box.
    QCOMPARE(diagram.entities.size(), found.size());

    QSet<QPair<int, int>> expected;
    for (QGraphicsItem *item : scene.items()) {
        if (item->type() != DiagramItemType::EdgeItem)
            continue;
        const auto *edge = static_cast<EdgeItem *>(item);
        const int from = found.value(edge->from, -1);
        const int to = found.value(edge->to, -1);
        if (from >= 0 && to >= 0 && from != to)
            expected.insert({std::min(from, to), std::max(from, to)});
    }
    const QSet<QPair<int, int>> linked = linkedPairs(diagram.links);
    QStringList missing;
    for (const QPair<int, int> &pair : std::as_const(expected)) {
        if (!linked.contains(pair))
            missing.append(QStringLiteral("%1-%2").arg(found.key(pair.first)->title(), found.key(pair.second)->title()));
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1String(", "))));
    // Traced through the borders, every line meeting a box joined every other there.
    QStringList unrelated;
    for (const QPair<int, int> &pair : linked) {
        EntityItem *one = found.key(pair.first);
        EntityItem *other = found.key(pair.second);
        if (one && other && !expected.contains(pair))
            unrelated.append(QStringLiteral("%1-%2").arg(one->title(), other->title()));
    }
    QVERIFY2(unrelated.isEmpty(), qPrintable(unrelated.join(QLatin1String(", "))));
    qInfo("%lld entities for %lld boxes, %lld links for %lld edges between boxes; read: %s",
          qlonglong(diagram.entities.size()), qlonglong(found.size()), qlonglong(linked.size()),
          qlonglong(expected.size()), qPrintable(titlesOf(diagram)));
}

QTEST_MAIN(TestRasterRoute)
#include "tst_rasterroute.moc"
