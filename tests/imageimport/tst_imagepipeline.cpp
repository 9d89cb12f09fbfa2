#include "applicationsetup.h"
#include "boundedinflate.h"
#include "diagramitemtypes.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "recognitionsteps.h"
#include "svgshapereader.h"
#include "testsupport.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QPainter>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

#include <zlib.h>

namespace {

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// gzip of count copies of piece, deflated piece by piece so the plain text never exists whole.
QByteArray gzipRepeated(const QByteArray &head, const QByteArray &piece, qint64 count, const QByteArray &tail)
{
    z_stream stream = {};
    if (deflateInit2(&stream, 1, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray out;
    char buffer[65536];
    const auto feed = [&](const QByteArray &bytes, int flush) {
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.constData()));
        stream.avail_in = uInt(bytes.size());
        do {
            stream.next_out = reinterpret_cast<Bytef *>(buffer);
            stream.avail_out = sizeof(buffer);
            deflate(&stream, flush);
            out.append(buffer, qsizetype(sizeof(buffer) - stream.avail_out));
        } while (stream.avail_out == 0);
    };
    feed(head, Z_NO_FLUSH);
    for (qint64 i = 0; i < count; ++i)
        feed(piece, Z_NO_FLUSH);
    feed(tail, Z_FINISH);
    deflateEnd(&stream);
    return out;
}

QByteArray gzip(const QByteArray &bytes)
{
    return gzipRepeated(bytes, QByteArray(), 0, QByteArray());
}

QByteArray svgDocument(const QByteArray &attributes, const QByteArray &body)
{
    return "<svg xmlns='http://www.w3.org/2000/svg' " + attributes + ">" + body + "</svg>";
}

// Three boxes drawn as rects with their texts, joined by a line into each of two of them.
const QByteArray ShopBody =
    "<rect x='20' y='20' width='200' height='90' fill='none' stroke='black'/>"
    "<text x='28' y='40'>customer</text><text x='28' y='64'>id</text><text x='120' y='64'>uuid</text>"
    "<text x='28' y='84'>name</text><text x='120' y='84'>varchar</text>"
    "<rect x='360' y='20' width='200' height='90' fill='none' stroke='black'/>"
    "<text x='368' y='40'>orders</text><text x='368' y='64'>id</text><text x='460' y='64'>uuid</text>"
    "<text x='368' y='84'>customer_id</text><text x='460' y='84'>uuid</text>"
    "<line x1='220' y1='60' x2='360' y2='60' stroke='black'/>";

RecognizedEntity entity(const QString &title, const QStringList &rows, const QRectF &rect = QRectF(0, 0, 100, 60))
{
    RecognizedEntity e;
    e.rect = rect;
    e.title = title;
    for (const QString &row : rows)
        e.attributes.append({row, QStringLiteral("uuid")});
    e.attributesMissing = rows.isEmpty();
    return e;
}

RecognizedLink link(int one, int many, const QLineF &line = QLineF(), bool hasLine = false)
{
    RecognizedLink l;
    l.oneIndex = one;
    l.manyIndex = many;
    l.line = line;
    l.hasLine = hasLine;
    return l;
}

QRectF at(double x, double y)
{
    return QRectF(x, y, 0, 0);
}

QString describeEnds(const QList<RecognizedLink> &links)
{
    QStringList pairs;
    for (const RecognizedLink &l : links)
        pairs.append(QStringLiteral("%1>%2").arg(l.oneIndex).arg(l.manyIndex));
    return pairs.join(u',');
}

QList<EdgeItem *> edgesOf(ERScene &scene)
{
    QList<EdgeItem *> edges;
    for (QGraphicsItem *item : scene.items()) {
        if (item->type() == DiagramItemType::EdgeItem)
            edges.append(static_cast<EdgeItem *>(item));
    }
    return edges;
}

// "row:name" of every row that carries an edge id.
QStringList foreignKeyRows(const EntityItem *box)
{
    QStringList rows;
    for (int row = 0; row < box->attributeCount(); ++row) {
        if (!box->attributeFkEdgeId(row).isEmpty())
            rows.append(QStringLiteral("%1:%2").arg(row).arg(box->attributeName(row)));
    }
    return rows;
}

} // namespace

Q_DECLARE_METATYPE(RecognizedDiagram)

class TestImagePipeline : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void renderingPlan_data();
    void renderingPlan();
    void routeBySuffix_data();
    void routeBySuffix();
    void largePictureIsRead();
    void reportTellsWhatToCheck();
    void recognitionRunsOnAWorkerThread();
    void failures_data();
    void failures();
    void nullSceneFailsFirst();
    void nestedLoadIsRefused();
    void compressedDrawings_data();
    void compressedDrawings();
    void unusualDrawingSizes_data();
    void unusualDrawingSizes();
    void rendererLimitsOfThisQt();
    void finalPass_data();
    void finalPass();
    void orientation_data();
    void orientation();
    void joining();
    void foreignKeyRowNeedsScoreEight_data();
    void foreignKeyRowNeedsScoreEight();
    void drawingImportedIntoScene();

private:
    QTemporaryDir m_dir;
};

void TestImagePipeline::initTestCase()
{
    configureApplication(*qobject_cast<QApplication *>(QCoreApplication::instance()));
    QVERIFY(m_dir.isValid());
}

void TestImagePipeline::renderingPlan_data()
{
    QTest::addColumn<QSizeF>("defaultSize");
    QTest::addColumn<QRectF>("viewBox");
    QTest::addColumn<QSize>("pixels");

    const double nan = std::nan("");
    QTest::newRow("small, no view box") << QSizeF(6, 6) << QRectF() << QSize(2400, 1920);
    QTest::newRow("100 x 50 at scale 6") << QSizeF(100, 50) << QRectF() << QSize(600, 300);
    QTest::newRow("4000 x 3000 at scale 2") << QSizeF(4000, 3000) << QRectF() << QSize(8000, 6000);
    QTest::newRow("1200 x 600 at 2400 long") << QSizeF(1200, 600) << QRectF() << QSize(2400, 1200);
    QTest::newRow("view box when the size is small") << QSizeF(0, 0) << QRectF(0, 0, 600.4, 300) << QSize(2400, 1200);
    QTest::newRow("20000 square fits 64 Mpx") << QSizeF(20000, 20000) << QRectF() << QSize(8192, 8192);
    QTest::newRow("1e9 square fits 64 Mpx") << QSizeF(1e9, 1e9) << QRectF() << QSize(8192, 8192);
    QTest::newRow("40000 x 100 fits 16384 wide") << QSizeF(40000, 100) << QRectF() << QSize(16384, 40);
    QTest::newRow("view box 0.5 square") << QSizeF(0, 0) << QRectF(0, 0, 0.5, 0.5) << QSize();
    QTest::newRow("negative size") << QSizeF(-100, -100) << QRectF() << QSize(2400, 1920);
    QTest::newRow("NaN view box") << QSizeF(0, 0) << QRectF(0, 0, nan, 100) << QSize(2400, 1920);
    QTest::newRow("infinite size") << QSizeF(qInf(), 100) << QRectF(0, 0, 100, 100) << QSize(600, 600);
}

void TestImagePipeline::renderingPlan()
{
    QFETCH(QSizeF, defaultSize);
    QFETCH(QRectF, viewBox);
    QFETCH(QSize, pixels);
    const SvgRenderingPlan plan = planSvgRendering(defaultSize, viewBox);
    QCOMPARE(plan.pixels, pixels);
    QVERIFY(plan.pixels.width() <= MaxRenderingSide && plan.pixels.height() <= MaxRenderingSide);
    QVERIFY(qint64(plan.pixels.width()) * plan.pixels.height() <= MaxRenderingPixels);
}

void TestImagePipeline::routeBySuffix_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("svg");
    QTest::newRow("capital SVG") << QStringLiteral("/tmp/A.SVG") << true;
    QTest::newRow("svgz") << QStringLiteral("b.svgz") << true;
    QTest::newRow("svg.gz") << QStringLiteral("c.svg.gz") << false;
    QTest::newRow("png") << QStringLiteral("d.png") << false;
    QTest::newRow("no suffix") << QStringLiteral("svg") << false;
}

void TestImagePipeline::routeBySuffix()
{
    QFETCH(QString, path);
    QFETCH(bool, svg);
    QCOMPARE(takesSvgRoute(path), svg);
}

// A picture of 6,000 x 6,000 pixels in 32-bit colour, past the toolkit's default allocation
// limit, is read.
void TestImagePipeline::largePictureIsRead()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("large.png"));
    {
        QImage picture(6000, 6000, QImage::Format_ARGB32);
        picture.fill(Qt::white);
        QVERIFY(picture.save(path));
    }
    QString error;
    const QImage read = loadPicture(path, &error);
    QVERIFY2(!read.isNull(), qPrintable(error));
    QCOMPARE(read.size(), QSize(6000, 6000));
    QVERIFY(error.isEmpty());
}

void TestImagePipeline::failures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");  // "-" for no file, "/" for a directory
    QTest::addColumn<QString>("expected");

    const QString unopened = QStringLiteral("Could not load the image: the file cannot be opened.");
    const QString noImage = QStringLiteral("Could not load the image: the file is not a picture in a known format.");
    const QString noShapes = QStringLiteral("Could not read shapes from the SVG.");
    QByteArray blank;
    {
        QImage white(300, 200, QImage::Format_RGB32);
        white.fill(Qt::white);
        QBuffer buffer(&blank);
        buffer.open(QIODevice::WriteOnly);
        white.save(&buffer, "PNG");
    }
    QTest::newRow("missing png") << QStringLiteral("missing.png") << QByteArray("-") << unopened;
    QTest::newRow("missing svg") << QStringLiteral("missing.svg") << QByteArray("-") << noShapes;
    QTest::newRow("directory") << QStringLiteral("folder.png") << QByteArray("/") << unopened;
    QTest::newRow("empty png") << QStringLiteral("empty.png") << QByteArray() << noImage;
    QTest::newRow("text as png") << QStringLiteral("text.png") << QByteArray("not a picture\n") << noImage;
    QTest::newRow("blank picture") << QStringLiteral("blank.png") << blank
                                   << QStringLiteral("No rectangular entities were found in the image.");
    QTest::newRow("svg text without box")
        << QStringLiteral("words.svg") << svgDocument("width='2400' height='1800'", "<text x='20' y='40'>Tilt lilt</text>")
        << noShapes;
    QTest::newRow("svg not xml") << QStringLiteral("broken.svg") << QByteArray("<svg <<<") << noShapes;
}

// Every failure names its reason through each entry, and a null error pointer is never
// written.
void TestImagePipeline::failures()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    const QString path = m_dir.filePath(name);
    if (content == "/")
        QVERIFY(QDir(m_dir.path()).mkpath(name));
    else if (content != "-")
        QVERIFY(writeFile(path, content));

    QString error;
    QVERIFY(recognizeImageFile(path, &error).entities.isEmpty());
    QCOMPARE(error, expected);
    QVERIFY(recognizeImageFile(path, nullptr).entities.isEmpty());

    error.clear();
    QVERIFY(recognizeImageToJson(path, &error).isEmpty());
    QCOMPARE(error, expected);
    QVERIFY(recognizeImageToJson(path, nullptr).isEmpty());

    ERScene scene;
    QVERIFY(scene.loadFromJson(QJsonObject{{QStringLiteral("entities"),
                                            QJsonArray{QJsonObject{{QStringLiteral("title"), QStringLiteral("kept")}}}}}));
    error.clear();
    QVERIFY(!importImageIntoScene(&scene, path, &error));
    QCOMPARE(error, expected);
    QVERIFY(!importImageIntoScene(&scene, path, nullptr));
    QCOMPARE(scene.entityCount(), 1);
}

void TestImagePipeline::nullSceneFailsFirst()
{
    QString error;
    QVERIFY(!importImageIntoScene(nullptr, m_dir.filePath(QStringLiteral("nothing.png")), &error));
    QCOMPARE(error, QStringLiteral("No scene available."));
    QVERIFY(!importImageIntoScene(nullptr, QString(), nullptr));
}

// The report names the titles that were not read and the links that were given a direction
// without marks or names to go by; a clean import has nothing to report.
void TestImagePipeline::reportTellsWhatToCheck()
{
    const QString clean = m_dir.filePath(QStringLiteral("shop-report.svg"));
    QVERIFY(writeFile(clean, svgDocument("width='600' height='200'", ShopBody)));
    ERScene scene;
    RecognitionReport report;
    QString error;
    QVERIFY2(importImageIntoScene(&scene, clean, &error, &report), qPrintable(error));
    QVERIFY(report.isClean());
    QVERIFY(report.warningText().isEmpty());

    // Two empty boxes joined by a plain line: no title to read, nothing to orient by.
    const QString blank = m_dir.filePath(QStringLiteral("blank-report.svg"));
    QVERIFY(writeFile(blank, svgDocument("width='600' height='200'",
                                         "<rect x='20' y='20' width='200' height='90' fill='none' stroke='black'/>"
                                         "<rect x='360' y='20' width='200' height='90' fill='none' stroke='black'/>"
                                         "<line x1='220' y1='60' x2='360' y2='60' stroke='black'/>")));
    const RecognizedDiagram result = recognizeImageFile(blank, &error);
    QCOMPARE(result.report.unreadWords, 2);
    QCOMPARE(result.report.uncertainLinks, 1);
    QCOMPARE(result.report.warningText(),
             QStringLiteral("The picture was imported, but 2 words could not be read and 1 links show no direction "
                            "and were given one; check them against the picture."));
}

// Recognition on a worker thread gives what it gives on the GUI thread; the result is loaded
// on the GUI thread.
void TestImagePipeline::recognitionRunsOnAWorkerThread()
{
    const QString path = m_dir.filePath(QStringLiteral("shop-worker.svg"));
    QVERIFY(writeFile(path, svgDocument("width='600' height='200'", ShopBody)));
    const RecognizedDiagram here = recognizeImageFile(path);
    RecognizedDiagram there;
    std::unique_ptr<QThread> worker(QThread::create([&there, path] { there = recognizeImageFile(path); }));
    worker->start();
    QVERIFY(worker->wait(60000));
    QCOMPARE(there.entities.size(), here.entities.size());
    for (qsizetype i = 0; i < here.entities.size(); ++i)
        QCOMPARE(there.entities.at(i).title, here.entities.at(i).title);
    QCOMPARE(there.links.size(), here.links.size());
    ERScene scene;
    QString error;
    QVERIFY2(loadRecognizedDiagram(&scene, there, &error), qPrintable(error));
    QCOMPARE(scene.entityCount(), 2);
}

// An import started while the scene is being loaded (from a handler of the load's own
// signals) is refused by the scene and says so.
void TestImagePipeline::nestedLoadIsRefused()
{
    const QString path = m_dir.filePath(QStringLiteral("shop-nested.svg"));
    QVERIFY(writeFile(path, svgDocument("width='600' height='200'", ShopBody)));
    ERScene scene;
    QString nestedError;
    bool nestedResult = true;
    bool tried = false;
    connect(&scene, &ERScene::entityAdded, this, [&]() {
        if (tried)
            return;
        tried = true;
        nestedResult = importImageIntoScene(&scene, path, &nestedError);
    });
    QString error;
    QVERIFY(importImageIntoScene(&scene, path, &error));
    QVERIFY(tried);
    QVERIFY(!nestedResult);
    QCOMPARE(nestedError, QStringLiteral("Failed to load the recognized diagram."));
    QCOMPARE(scene.entityCount(), 2);
}

void TestImagePipeline::compressedDrawings_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("inflates");
    QTest::addColumn<int>("entities");

    const QByteArray plain = svgDocument("width='400' height='300'",
                                         "<rect x='20' y='20' width='200' height='120' fill='none' stroke='black'/>");
    QTest::newRow("gzip of a drawing") << gzip(plain) << true << 1;
    QTest::newRow("200 MB of blanks") << gzipRepeated("<svg xmlns='http://www.w3.org/2000/svg'>", QByteArray(1 << 20, ' '),
                                                      200, "</svg>")
                                      << false << 0;
    QTest::newRow("gzip of gzip") << gzip(gzip(plain)) << false << 0;
    QTest::newRow("cut short") << gzip(plain).left(40) << false << 0;
    // Read as XML it gives its box, which keeps its placeholder name without a rendering.
    QTest::newRow("plain xml") << plain << false << 1;
}

// A compressed drawing is inflated here within the cap; what is refused gives no rendering
// and, with nothing read as XML either, the SVG route's failure.
void TestImagePipeline::compressedDrawings()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, inflates);
    QFETCH(int, entities);
    const QString path = m_dir.filePath(QStringLiteral("%1.svgz").arg(QTest::currentDataTag()));
    QVERIFY(writeFile(path, content));
    const QByteArray inflated = inflateSvgz(path);
    QCOMPARE(!inflated.isEmpty(), inflates);
    QVERIFY(inflated.size() <= MaxInflatedBytes);

    QString error;
    const RecognizedDiagram result = recognizeImageFile(path, &error);
    QCOMPARE(result.entities.size(), entities);
    QCOMPARE(error, entities ? QString() : QStringLiteral("Could not read shapes from the SVG."));
}

void TestImagePipeline::unusualDrawingSizes_data()
{
    QTest::addColumn<QByteArray>("attributes");
    QTest::newRow("20000 square") << QByteArray("width='20000' height='20000'");
    QTest::newRow("1e9 square") << QByteArray("width='1e9' height='1e9'");
    QTest::newRow("view box 0.5") << QByteArray("viewBox='0 0 0.5 0.5'");
    QTest::newRow("negative size") << QByteArray("width='-300' height='-200'");
    QTest::newRow("zero size") << QByteArray("width='0' height='0'");
    QTest::newRow("NaN view box") << QByteArray("viewBox='0 0 NaN 300'");
}

// A box without text sends the drawing to its rendering; whatever size the drawing claims,
// the rendering stays allocatable and the box is kept with a key row.
void TestImagePipeline::unusualDrawingSizes()
{
    QFETCH(QByteArray, attributes);
    const QString path = m_dir.filePath(QStringLiteral("size.svg"));
    QVERIFY(writeFile(path, svgDocument(attributes, "<rect x='20' y='20' width='200' height='120' fill='none' stroke='black'/>")));
    QString error;
    const RecognizedDiagram result = recognizeImageFile(path, &error);
    QCOMPARE(result.entities.size(), 1);
    QVERIFY(!result.entities.first().title.isEmpty());
    QVERIFY(!result.entities.first().attributes.isEmpty());
}

// Qt's renderer refuses documents nested some thousands of levels deep, which the shape
// reader still reads, and renders uses of uses without multiplying the work. A Qt that
// changes either shows here.
void TestImagePipeline::rendererLimitsOfThisQt()
{
    QByteArray deep = "<g/>";
    for (int i = 0; i < 3000; ++i)
        deep = "<g>" + deep + "</g>";
    deep += "<rect x='20' y='20' width='200' height='120' fill='none' stroke='black'/>";
    const QString deepPath = m_dir.filePath(QStringLiteral("deep.svg"));
    QVERIFY(writeFile(deepPath, svgDocument("width='400' height='300'", deep)));
    QVERIFY(!QSvgRenderer(deepPath).isValid());
    RecognizedDiagram shapes;
    QVERIFY(readSvgShapes(deepPath, shapes));

    QByteArray uses = "<defs><rect id='l0' width='4' height='4'/>";
    for (int level = 1; level <= 8; ++level) {
        uses += "<g id='l" + QByteArray::number(level) + "'>";
        for (int copy = 0; copy < 10; ++copy)
            uses += "<use href='#l" + QByteArray::number(level - 1) + "' xlink:href='#l" + QByteArray::number(level - 1)
                + "' x='" + QByteArray::number(copy) + "'/>";
        uses += "</g>";
    }
    uses += "</defs><use href='#l8' xlink:href='#l8'/>";
    const QString usesPath = m_dir.filePath(QStringLiteral("uses.svg"));
    QVERIFY(writeFile(usesPath, "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
                                "width='400' height='300'>"
                                    + uses + "</svg>"));
    QSvgRenderer renderer(usesPath);
    QImage picture(400, 300, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::white);
    QElapsedTimer timer;
    timer.start();
    {
        QPainter painter(&picture);
        renderer.render(&painter);
    }
    qInfo("uses rendered in %lld ms", timer.elapsed());
}

void TestImagePipeline::finalPass_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("finalTitle");
    QTest::addColumn<QStringList>("finalRows");
    QTest::addColumn<bool>("missing");

    QTest::newRow("empty title") << QString() << QStringList{QStringLiteral("id")} << QStringLiteral("table_2")
                                 << QStringList{QStringLiteral("id")} << false;
    QTest::newRow("blank title") << QStringLiteral("  ") << QStringList{QStringLiteral("id")}
                                 << QStringLiteral("table_2") << QStringList{QStringLiteral("id")} << false;
    QTest::newRow("IIII") << QStringLiteral("IIII") << QStringList() << QStringLiteral("table_2")
                          << QStringList{QStringLiteral("table_2_id")} << true;
    QTest::newRow("llll") << QStringLiteral("llll") << QStringList{QStringLiteral("a")} << QStringLiteral("table_2")
                          << QStringList{QStringLiteral("a")} << false;
    QTest::newRow("three letters kept") << QStringLiteral("lll") << QStringList() << QStringLiteral("lll")
                                        << QStringList{QStringLiteral("lll_id")} << true;
    QTest::newRow("named without rows") << QStringLiteral("orders") << QStringList() << QStringLiteral("orders")
                                        << QStringList{QStringLiteral("orders_id")} << true;
}

// The entity under test is the second of two, so its placeholder number is 2.
void TestImagePipeline::finalPass()
{
    QFETCH(QString, title);
    QFETCH(QStringList, rows);
    QFETCH(QString, finalTitle);
    QFETCH(QStringList, finalRows);
    QFETCH(bool, missing);
    QList<RecognizedEntity> entities{entity(QStringLiteral("first"), {QStringLiteral("id")}), entity(title, rows)};
    entities[1].attributesMissing = !missing;  // the pass decides, whatever came before
    finishRecognizedEntities(entities);
    const RecognizedEntity &e = entities.at(1);
    QCOMPARE(e.title, finalTitle);
    QStringList names;
    for (const RecognizedAttribute &a : e.attributes)
        names.append(a.name);
    QCOMPARE(names, finalRows);
    QCOMPARE(e.attributesMissing, missing);
    if (missing)
        QCOMPARE(e.attributes.first().type, QStringLiteral("uuid"));
    QCOMPARE(entities.first().title, QStringLiteral("first"));
}

void TestImagePipeline::orientation_data()
{
    QTest::addColumn<RecognizedDiagram>("diagram");
    QTest::addColumn<QString>("expected");

    // Two unrelated entities, so names decide nothing; one link from (100, 0) to (200, 0).
    RecognizedDiagram base;
    base.entities = {entity(QStringLiteral("alpha"), {QStringLiteral("id")}),
                     entity(QStringLiteral("beta"), {QStringLiteral("id")})};
    base.links = {link(0, 1, QLineF(100, 0, 200, 0), true)};
    const auto with = [&base](const QList<QRectF> &many, const QList<QRectF> &one) {
        RecognizedDiagram d = base;
        d.manyMarkers = many;
        d.oneMarkers = one;
        return d;
    };

    QTest::newRow("many mark at 27.9 from the second end") << with({at(227.9, 0)}, {}) << "0>1";
    // Out of reach: the tie of names with many marks in the drawing reverses the link.
    QTest::newRow("many mark at 28 from the second end") << with({at(228, 0)}, {}) << "1>0";
    QTest::newRow("many mark at 27.9 from the first end") << with({at(72.1, 0)}, {}) << "1>0";
    QTest::newRow("second mark nearer by less than 0.5") << with({at(210, 0), at(90.3, 0)}, {}) << "0>1";
    QTest::newRow("second mark nearer by more than 0.5") << with({at(210, 0), at(90.6, 0)}, {}) << "1>0";
    QTest::newRow("one mark at 21.9 from the second end") << with({}, {at(200, 21.9)}) << "1>0";
    QTest::newRow("one mark at 22 from the second end") << with({}, {at(200, 22)}) << "0>1";
    QTest::newRow("one mark 14 from a many mark is ignored") << with({at(100, 34)}, {at(100, 20)}) << "1>0";
    QTest::newRow("one mark 14.1 from a many mark counts") << with({at(100, 34.1)}, {at(100, 20)}) << "0>1";
    QTest::newRow("equal names, no many marks") << with({}, {}) << "0>1";
    QTest::newRow("equal names, a many mark elsewhere") << with({at(1000, 1000)}, {}) << "1>0";

    RecognizedDiagram noLine = with({at(200, 0)}, {});
    noLine.links.first().hasLine = false;
    QTest::newRow("link without line takes no mark") << noLine << "1>0";

    // A mark as near to the first link's second end as to the second link's first end goes
    // to the earlier link.
    RecognizedDiagram tie = with({at(220, 0)}, {});
    tie.entities.append(entity(QStringLiteral("gamma"), {QStringLiteral("id")}));
    tie.links.append(link(1, 2, QLineF(240, 0, 340, 0), true));
    QTest::newRow("tie goes to the earlier link") << tie << "0>1,2>1";

    RecognizedDiagram names;
    names.entities = {entity(QStringLiteral("customer"), {QStringLiteral("id"), QStringLiteral("name")}),
                      entity(QStringLiteral("orders"), {QStringLiteral("id"), QStringLiteral("customer_id")})};
    names.links = {link(0, 1), link(1, 0)};
    QTest::newRow("names decide either way") << names << "0>1,0>1";
    names.manyMarkers = {at(5000, 5000)};
    QTest::newRow("names decide over many marks") << names << "0>1,0>1";

    // Cardinalities read at the ends decide over the names.
    RecognizedDiagram read = names;
    read.links = {link(0, 1), link(0, 1)};
    read.links[0].oneCardinality = 1;
    read.links[0].manyCardinality = 0;
    read.links[1].oneCardinality = 2;
    read.links[1].manyCardinality = 3;
    QTest::newRow("read cardinalities decide") << read << "1>0,0>1";
}

void TestImagePipeline::orientation()
{
    QFETCH(RecognizedDiagram, diagram);
    QFETCH(QString, expected);
    const QList<RecognizedLink> before = diagram.links;
    orientRecognizedLinks(diagram);
    QCOMPARE(describeEnds(diagram.links), expected);
    for (qsizetype i = 0; i < before.size(); ++i) {
        const RecognizedLink &was = before.at(i);
        const RecognizedLink &now = diagram.links.at(i);
        // The line's first point stays with the one end.
        QCOMPARE(now.line, now.oneIndex == was.oneIndex ? was.line : QLineF(was.line.p2(), was.line.p1()));
    }
}

// One edge per pair of boxes, from the one end to the many end, with a foreign key row at
// the many end: marked on a recognised row, or added by the edge to a placeholder box.
void TestImagePipeline::joining()
{
    RecognizedDiagram result;
    result.entities = {entity(QStringLiteral("customer"), {QStringLiteral("id"), QStringLiteral("name")},
                              QRectF(0, 0, 180, 90)),
                       entity(QStringLiteral("orders"), {QStringLiteral("id"), QStringLiteral("customer_id")},
                              QRectF(300, 0, 180, 90)),
                       entity(QStringLiteral("item"), {}, QRectF(0, 300, 180, 90))};
    finishRecognizedEntities(result.entities);
    result.links = {link(0, 1), link(1, 0), link(0, 1), link(0, 2), link(0, 0), link(-1, 1), link(1, 3)};
    const QJsonObject document = buildRecognizedDiagramJson(result);
    ERScene scene;
    QVERIFY(scene.loadFromJson(document));
    const QList<EntityItem *> boxes = joinRecognizedLinks(&scene, result, document);
    QCOMPARE(boxes.size(), 3);
    QVERIFY(!boxes.contains(nullptr));
    QCOMPARE(boxes.at(1)->title(), QStringLiteral("orders"));

    // The link of the customer box with itself is joined as well.
    const QList<EdgeItem *> edges = edgesOf(scene);
    QCOMPARE(edges.size(), 3);
    QCOMPARE(std::count_if(edges.cbegin(), edges.cend(), [&](EdgeItem *e) { return e->to == boxes.at(0); }), 1);
    for (EdgeItem *edge : edges) {
        QCOMPARE(edge->from, boxes.at(0));
        QCOMPARE(edge->startCard, 0);
        QCOMPARE(edge->endCard, 1);
        QVERIFY(!edge->points.isEmpty());
    }
    QCOMPARE(foreignKeyRows(boxes.at(1)), QStringList{QStringLiteral("1:customer_id")});
    QCOMPARE(foreignKeyRows(boxes.at(0)), QStringList());
    // The placeholder box keeps its own key row and receives the one end's key from the edge.
    QCOMPARE(boxes.at(2)->attributeName(0), QStringLiteral("item_id"));
    QCOMPARE(foreignKeyRows(boxes.at(2)).size(), 1);
    EdgeItem *toItem = *std::find_if(edges.cbegin(), edges.cend(), [&](EdgeItem *e) { return e->to == boxes.at(2); });
    QCOMPARE(boxes.at(2)->attributeFkEdgeId(boxes.at(2)->attributeCount() - 1), toItem->id);
}

void TestImagePipeline::foreignKeyRowNeedsScoreEight_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("links");
    QTest::addColumn<QStringList>("marked");
    QTest::newRow("score 8") << QStringList{QStringLiteral("id"), QStringLiteral("custom_id")} << 1
                             << QStringList{QStringLiteral("1:custom_id")};
    QTest::newRow("score 7") << QStringList{QStringLiteral("id"), QStringLiteral("custo_id")} << 1 << QStringList();
    QTest::newRow("first of equals") << QStringList{QStringLiteral("customers_id"), QStringLiteral("customer_id")} << 1
                                     << QStringList{QStringLiteral("0:customers_id")};
    // The second customer box finds the row the first edge marked taken, and nothing else
    // scores high enough.
    QTest::newRow("taken row") << QStringList{QStringLiteral("id"), QStringLiteral("customer_id")} << 2
                               << QStringList{QStringLiteral("1:customer_id")};
}

void TestImagePipeline::foreignKeyRowNeedsScoreEight()
{
    QFETCH(QStringList, rows);
    QFETCH(int, links);
    QFETCH(QStringList, marked);
    RecognizedDiagram result;
    result.entities = {entity(QStringLiteral("customer"), {QStringLiteral("id")}, QRectF(0, 0, 180, 90)),
                       entity(QStringLiteral("orders"), rows, QRectF(300, 0, 180, 90)),
                       entity(QStringLiteral("customer"), {QStringLiteral("id")}, QRectF(600, 0, 180, 90))};
    result.links = {link(0, 1), link(2, 1)};
    result.links.resize(links);
    const QJsonObject document = buildRecognizedDiagramJson(result);
    ERScene scene;
    QVERIFY(scene.loadFromJson(document));
    const QList<EntityItem *> boxes = joinRecognizedLinks(&scene, result, document);
    QCOMPARE(edgesOf(scene).size(), links);
    QCOMPARE(foreignKeyRows(boxes.at(1)), marked);
    QCOMPARE(boxes.at(1)->attributeCount(), rows.size());
}

// A drawing whose texts are text elements goes all the way into the scene.
void TestImagePipeline::drawingImportedIntoScene()
{
    const QString path = m_dir.filePath(QStringLiteral("Shop.SVG"));
    QVERIFY(writeFile(path, svgDocument("width='600' height='200'", ShopBody)));
    ERScene scene;
    QString error;
    QVERIFY2(importImageIntoScene(&scene, path, &error), qPrintable(error));
    QVERIFY(error.isEmpty());
    QCOMPARE(scene.entityCount(), 2);
    const QList<EdgeItem *> edges = edgesOf(scene);
    QCOMPARE(edges.size(), 1);
    QCOMPARE(edges.first()->from->title(), QStringLiteral("customer"));
    QCOMPARE(edges.first()->to->title(), QStringLiteral("orders"));
    QCOMPARE(foreignKeyRows(edges.first()->to), QStringList{QStringLiteral("1:customer_id")});

    const QJsonObject document = recognizeImageToJson(path, &error);
    QCOMPARE(document.value(QStringLiteral("entities")).toArray().size(), 2);
    QCOMPARE(document.value(QStringLiteral("_linkCount")).toInt(), 1);
}

QTEST_MAIN(TestImagePipeline)
#include "tst_imagepipeline.moc"
