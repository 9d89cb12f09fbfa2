// The window's import and export actions: the file asked for, the failures reported, the
// imported diagram adopted as a new project, and PDF and SVG written in light colours.
#include "columnitem.h"
#include "drawioreader.h"
#include "drawiowriter.h"
#include "entityitem.h"
#include "erscene.h"
#include "erview.h"
#include "mermaidreader.h"
#include "mermaidwriter.h"
#include "modelitem.h"
#include "projectitem.h"
#include "schemaimporter.h"
#include "sceneexport.h"
#include "tableitem.h"
#include "uiseam.h"

#include "projecttestsupport.h"
#include "windowtestcase.h"

#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QFileInfo>
#include <QLabel>
#include <QImage>
#include <QJsonArray>
#include <QLoggingCategory>
#include <QLineEdit>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSemaphore>
#include <QScreen>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <cmath>

using namespace projecttest;

namespace {

const QString ImageFailure = QStringLiteral(
    "Could not interpret an ER diagram in the selected image.\nThe file must contain rectangular entities, "
    "optionally with attributes, and lines connecting them.");
const QString SchemaLoadFailure = QStringLiteral("The imported schema could not be loaded into the diagram.");

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QList<EntityItem *> entitiesOf(ERScene *scene)
{
    QList<EntityItem *> entities;
    for (QGraphicsItem *item : scene->items()) {
        if (auto *entity = dynamic_cast<EntityItem *>(item))
            entities.append(entity);
    }
    return entities;
}

// The first page's /MediaBox of a PDF file, read from its bytes.
QSizeF pdfMediaBox(const QByteArray &bytes)
{
    static const QRegularExpression box(
        QStringLiteral(R"(/MediaBox\s*\[\s*([-\d.]+)\s+([-\d.]+)\s+([-\d.]+)\s+([-\d.]+)\s*\])"));
    const QRegularExpressionMatch m = box.match(QString::fromLatin1(bytes));
    if (!m.hasMatch())
        return {};
    return QSizeF(m.captured(3).toDouble() - m.captured(1).toDouble(),
                  m.captured(4).toDouble() - m.captured(2).toDouble());
}

// What an export must leave exactly as it was.
struct Look
{
    ThemeKind kind;
    QList<QColor> colors;
    QList<QGraphicsItem *> selected;
    bool grid;
    bool override;
    QColor overrideColor;

    static Look of(ERScene *scene)
    {
        Look look{ThemeManager::instance()->kind(), {}, scene->selectedItems(), scene->gridVisible,
                  scene->backgroundOverrideEnabled, scene->backgroundOverrideColor};
        const ThemePalette palette = ThemeManager::instance()->colors();
        for (int i = 0; i < ThemePalette::EntryCount; ++i)
            look.colors.append(palette.at(i));
        std::sort(look.selected.begin(), look.selected.end());
        return look;
    }

    bool operator==(const Look &o) const
    {
        return kind == o.kind && colors == o.colors && selected == o.selected && grid == o.grid
            && override == o.override && overrideColor == o.overrideColor;
    }
};

QStringList &loggedLines()
{
    static QStringList lines;
    return lines;
}

void recordMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    loggedLines().append(message);
}

// The root's attributes, with the texts of its title and desc as "title" and "desc".
QHash<QString, QString> svgRoot(const QString &path)
{
    QHash<QString, QString> root;
    QXmlStreamReader xml(testsupport::readFileBytes(path));
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("svg")) {
            for (const QXmlStreamAttribute &attribute : xml.attributes())
                root.insert(attribute.name().toString(), attribute.value().toString());
            continue;
        }
        if (xml.name() == QLatin1String("title") || xml.name() == QLatin1String("desc")) {
            const QString name = xml.name().toString();
            root.insert(name, xml.readElementText());
            continue;
        }
        xml.skipCurrentElement();
    }
    return root;
}

// An SVG length in pixels at the export's resolution (the screen's logical dots per inch).
double svgPixels(QString length)
{
    if (!length.endsWith(QLatin1String("mm")))
        return length.toDouble();
    length.chop(2);
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? std::lround(screen->logicalDotsPerInch()) : 96;
    return length.toDouble() * dpi / 25.4;
}

} // namespace

class TestImportExport : public WindowTestCase
{
    Q_OBJECT

private:
    static QString interchangeFixture(const QString &name)
    {
        return testsupport::dataPath(QStringLiteral("interchange/data/") + name);
    }

    // Opens the project life cycle's diagram fixture in w.
    void openFixtureDiagram(MainWindow &w)
    {
        QVERIFY(open(w, m_prompts, copyFixture(QStringLiteral("adoption-diagram.json"), m_dir.path())));
        QVERIFY(!entitiesOf(MainWindowProbe(w).scene()).isEmpty());
        m_prompts.reset();
    }

    // A database dialog answered with OK, the importer running a script that only waits.
    void acceptDatabaseDialog()
    {
        const QString sleeper = tempPath(QStringLiteral("sleeper.py"));
        QVERIFY(writeBytes(sleeper, "import time\ntime.sleep(60)\n"));
        uiseam::setDialogRunner([sleeper](QDialog *dialog) {
            dialog->findChild<QLineEdit *>(QStringLiteral("scriptEdit"))->setText(sleeper);
            return int(QDialog::Accepted);
        });
    }

    void cleanupEach() override { uiseam::setDialogRunner({}); }

private Q_SLOTS:
    void fileActionsAskAndDoNothingWhenBusyOrCancelled_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("filter");
        QTest::newRow("image") << "actionImport_from_Image" << "open-file" << "Import ER Diagram from Image"
                               << "Images (*.png *.jpg *.jpeg *.bmp *.svg);;PNG (*.png);;JPEG (*.jpg *.jpeg);;"
                                  "BMP (*.bmp);;SVG (*.svg)";
        QTest::newRow("mermaid import") << "actionImport_from_Mermaid" << "open-file" << "Import ER Diagram from Mermaid"
                                        << "Mermaid (*.mmd *.mermaid *.md *.txt);;Markdown (*.md);;All files (*.*)";
        QTest::newRow("draw.io import") << "actionImport_from_Drawio" << "open-file" << "Import ER Diagram from draw.io"
                                        << "draw.io (*.drawio *.xml);;XML (*.xml);;All files (*.*)";
        QTest::newRow("mermaid export") << "actionExport_to_Mermaid" << "save-file" << "Export ER Diagram to Mermaid"
                                        << "Mermaid (*.mmd *.mermaid);;Markdown (*.md);;Text (*.txt);;All files (*.*)";
        QTest::newRow("draw.io export") << "actionExport_to_Drawio" << "save-file" << "Export ER Diagram to draw.io"
                                        << "draw.io (*.drawio);;XML (*.xml);;All files (*.*)";
        QTest::newRow("pdf") << "actionExport_to_PDF" << "save-file" << "Export Diagram to PDF" << "PDF Files (*.pdf)";
        QTest::newRow("svg") << "actionExport_to_SVG" << "save-file" << "Export Diagram to SVG" << "SVG Files (*.svg)";
    }

    void fileActionsAskAndDoNothingWhenBusyOrCancelled()
    {
        QFETCH(QString, action);
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        QFETCH(QString, filter);
        MainWindow w;
        MainWindowProbe probe(w);
        const QJsonObject before = probe.project()->toDocument();

        QSemaphore release;
        probe.busySpinner()->runInThread([&release] { release.acquire(); }, {}, {});
        trigger(w, action.toLatin1().constData());
        release.release();
        QVERIFY(waitIdle(w));
        QVERIFY(m_prompts.prompts.isEmpty());

        // Cancelled: asked once, and the overlay never starts.
        if (kind == QLatin1String("open-file"))
            m_prompts.answerOpenFile(QString());
        else
            m_prompts.answerSaveFile(QString());
        trigger(w, action.toLatin1().constData());
        QVERIFY(!probe.busySpinner()->isBusy());
        QCOMPARE(m_prompts.prompts.size(), 1);
        QCOMPARE(m_prompts.prompts.first().kind, kind);
        QCOMPARE(m_prompts.prompts.first().title, caption);
        QCOMPARE(m_prompts.prompts.first().filter, filter);
        QCOMPARE(m_prompts.prompts.first().initial, QString());
        QCOMPARE(probe.project()->toDocument(), before);
    }

    void failuresShowTheConvertersSentence_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");

        const QString missing = tempPath(QStringLiteral("missing.mmd"));
        const QString empty = tempPath(QStringLiteral("empty.mmd"));
        const QString binary = tempPath(QStringLiteral("binary.drawio"));
        const QString file = tempPath(QStringLiteral("plain-file"));
        writeBytes(empty, QByteArray());
        writeBytes(binary, QByteArray("\x89PNG\r\n\x1a\n\0\0\xff\xfe", 12));
        writeBytes(file, "x");
        const QString underFile = file + QStringLiteral("/x.mmd");

        QString error;
        parseMermaidFile(missing, &error);
        QTest::newRow("mermaid: missing file") << "actionImport_from_Mermaid" << missing << "Import from Mermaid" << error;
        parseMermaidFile(empty, &error);
        QTest::newRow("mermaid: empty file") << "actionImport_from_Mermaid" << empty << "Import from Mermaid" << error;
        parseDrawioFile(binary, &error);
        QTest::newRow("draw.io: binary file") << "actionImport_from_Drawio" << binary << "Import from draw.io" << error;
        // The writers' sentences are taken in the test, from the window's own document.
        QTest::newRow("mermaid export: a directory") << "actionExport_to_Mermaid" << m_dir.path() << "Export to Mermaid"
                                                     << QString();
        QTest::newRow("draw.io export: under a file") << "actionExport_to_Drawio" << underFile << "Export to draw.io"
                                                      << QString();
        QTest::newRow("pdf: a directory") << "actionExport_to_PDF" << m_dir.path() << "Export to PDF"
                                          << "Could not write the PDF file.";
        QTest::newRow("svg: under a file") << "actionExport_to_SVG" << underFile << "Export to SVG"
                                           << "Could not write the SVG file.";
    }

    void failuresShowTheConvertersSentence()
    {
        QFETCH(QString, action);
        QFETCH(QString, file);
        QFETCH(QString, title);
        QFETCH(QString, text);
        MainWindow w;
        MainWindowProbe probe(w);
        probe.scene()->addEntityAt(QPointF(0, 0));
        if (action == QLatin1String("actionExport_to_Mermaid"))
            QVERIFY(!writeMermaidFile(probe.scene()->toJson(), file, &text));
        else if (action == QLatin1String("actionExport_to_Drawio"))
            QVERIFY(!writeDrawioFile(probe.scene()->toJson(), file, &text));
        QVERIFY(!text.isEmpty());
        probe.setFilePathDisplay(tempPath(QStringLiteral("before.json")));
        probe.scene()->setFilePath(tempPath(QStringLiteral("before.json")));
        ProjectItem *project = probe.project();
        const QStringList before = QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        m_prompts.reset(1);

        const bool save = action.contains(QLatin1String("Export"));
        // The box just added is unsaved work: an import asks first, and it is kept.
        if (!save)
            m_prompts.answerAsk(QStringLiteral("Discard"));
        QVERIFY(runFileAction(w, m_prompts, action.toLatin1().constData(), file, save));

        const QList<ScriptedPrompts::Prompt> boxes = m_prompts.promptsOf(QStringLiteral("warning"));
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.first().title, title);
        QCOMPARE(boxes.first().text, text);
        QCOMPARE(probe.project(), project);
        QCOMPARE(probe.scene()->filePath, tempPath(QStringLiteral("before.json")));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QCOMPARE(entitiesOf(probe.scene()).size(), 1);
    }

    void exportedDiagramImportsAsNewProject_data()
    {
        QTest::addColumn<QString>("exportAction");
        QTest::addColumn<QString>("importAction");
        QTest::addColumn<QString>("file");
        QTest::newRow("mermaid") << "actionExport_to_Mermaid" << "actionImport_from_Mermaid" << "x.mmd";
        QTest::newRow("draw.io, no extension") << "actionExport_to_Drawio" << "actionImport_from_Drawio" << "x";
    }

    void exportedDiagramImportsAsNewProject()
    {
        QFETCH(QString, exportAction);
        QFETCH(QString, importAction);
        QFETCH(QString, file);
        MainWindow w;
        MainWindowProbe probe(w);
        openFixtureDiagram(w);
        const int boxes = entitiesOf(probe.scene()).size();
        const QString path = tempPath(file);
        QFile::remove(path);

        QVERIFY(runFileAction(w, m_prompts, exportAction.toLatin1().constData(), path, true));
        QVERIFY(QFileInfo(path).isFile());
        QVERIFY(runFileAction(w, m_prompts, importAction.toLatin1().constData(), path, false));

        QCOMPARE(m_prompts.promptsOf(QStringLiteral("warning")).size(), 0);
        QCOMPARE(probe.project()->name(), QStringLiteral("Untitled Project"));
        QCOMPARE(probe.currentModel()->name(), QStringLiteral("Model 1"));
        QCOMPARE(probe.currentDiagram()->name(), QStringLiteral("Diagram 1"));
        QCOMPARE(statusText(w), QStringLiteral("No file"));
        QCOMPARE(probe.scene()->filePath, QString());
        QCOMPARE(entitiesOf(probe.scene()).size(), boxes);
        QCOMPARE(probe.currentModel()->tables().size() + probe.currentModel()->views().size(), boxes);
        QCOMPARE(probe.scene()->sceneRect(), probe.scene()->itemsBoundingRect().adjusted(-100, -100, 100, 100));
    }

    void mermaidLinesNotReadGiveOneWarning()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        const QString path = tempPath(QStringLiteral("cut.mmd"));
        QVERIFY(writeBytes(path, "erDiagram\nA ||--o{ B : x\nC ||--\n} ;\n"));
        m_prompts.reset(1);

        QVERIFY(runFileAction(w, m_prompts, "actionImport_from_Mermaid", path, false));

        const QList<ScriptedPrompts::Prompt> boxes = m_prompts.promptsOf(QStringLiteral("warning"));
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.first().title, QStringLiteral("Import from Mermaid"));
        QCOMPARE(boxes.first().text, QStringLiteral("2 lines could not be read and were skipped (the first is line 3)."));
        // The diagram was still imported.
        QCOMPARE(entitiesOf(probe.scene()).size(), 3);
        QCOMPARE(probe.project()->name(), QStringLiteral("Untitled Project"));
    }

    void pdfIsOneA2Page_data()
    {
        QTest::addColumn<QList<QPointF>>("boxes");
        QTest::addColumn<QSizeF>("page");
        const QSizeF landscape(1683.78, 1190.55);
        QTest::newRow("wide") << QList<QPointF>{{0, 0}, {2400, 0}} << landscape;
        QTest::newRow("tall") << QList<QPointF>{{0, 0}, {0, 2400}} << landscape.transposed();
        QTest::newRow("empty") << QList<QPointF>{} << landscape.transposed();
    }

    void pdfIsOneA2Page()
    {
        QFETCH(QList<QPointF>, boxes);
        QFETCH(QSizeF, page);
        MainWindow w;
        MainWindowProbe probe(w);
        for (const QPointF &pos : boxes)
            probe.scene()->addEntityAt(pos);
        const QString path = tempPath(QStringLiteral("page.pdf"));

        QVERIFY(probe.renderSceneToPdf(probe.scene(), path));

        const QByteArray bytes = testsupport::readFileBytes(path);
        QVERIFY(bytes.startsWith("%PDF"));
        QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "), 1);
        const QSizeF media = pdfMediaBox(bytes);
        // The writer states the page in whole points.
        QVERIFY2(qAbs(media.width() - page.width()) <= 0.5 && qAbs(media.height() - page.height()) <= 0.5,
                 qPrintable(QStringLiteral("%1 x %2").arg(media.width()).arg(media.height())));
    }

    void exportsRestoreTheLookAfterSuccessAndFailure_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("writable");
        QTest::newRow("pdf") << "actionExport_to_PDF" << true;
        QTest::newRow("svg") << "actionExport_to_SVG" << true;
        QTest::newRow("pdf to a directory") << "actionExport_to_PDF" << false;
        QTest::newRow("svg to a directory") << "actionExport_to_SVG" << false;
    }

    void exportsRestoreTheLookAfterSuccessAndFailure()
    {
        QFETCH(QString, action);
        QFETCH(bool, writable);
        MainWindow w;
        MainWindowProbe probe(w);
        openFixtureDiagram(w);
        if (ThemeManager::instance()->kind() != ThemeKind::Dark)
            probe.toggleTheme();
        QCOMPARE(ThemeManager::instance()->kind(), ThemeKind::Dark);
        const QList<EntityItem *> entities = entitiesOf(probe.scene());
        entities.at(0)->setSelected(true);
        entities.at(1)->setSelected(true);
        const Look before = Look::of(probe.scene());
        QCOMPARE(before.selected.size(), 2);
        QVERIFY(before.grid);
        QVERIFY(!before.override);
        const QString path = writable ? tempPath(action + QStringLiteral(".out")) : m_dir.path();
        m_prompts.reset(1);

        QLoggingCategory::setFilterRules(QStringLiteral("velmora.app.debug=true"));
        loggedLines().clear();
        const QtMessageHandler previous = qInstallMessageHandler(recordMessage);
        const bool idle = runFileAction(w, m_prompts, action.toLatin1().constData(), path, true);
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());
        QVERIFY(idle);

        const QString success = action.endsWith(QLatin1String("PDF")) ? QStringLiteral("Diagram exported to PDF successfully")
                                                                      : QStringLiteral("Diagram exported to SVG successfully");
        QCOMPARE(loggedLines().contains(success), writable);

        QCOMPARE(m_prompts.promptsOf(QStringLiteral("warning")).size(), writable ? 0 : 1);
        if (writable)
            QVERIFY(QFileInfo(path).size() > 0);
        QVERIFY(Look::of(probe.scene()) == before);
    }

    void svgIsLightOnWhiteAtTheSourceSize()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        openFixtureDiagram(w);
        if (ThemeManager::instance()->kind() != ThemeKind::Dark)
            probe.toggleTheme();
        entitiesOf(probe.scene()).first()->setSelected(true);
        const QRectF source = probe.scene()->itemsBoundingRect().adjusted(-80, -80, 80, 80);
        const QString path = tempPath(QStringLiteral("export.svg"));

        QVERIFY(probe.renderSceneToSvg(probe.scene(), path));

        const QHash<QString, QString> root = svgRoot(path);
        const int width = qRound(source.width());
        const int height = qRound(source.height());
        QCOMPARE(qRound(svgPixels(root.value(QStringLiteral("width")))), width);
        QCOMPARE(qRound(svgPixels(root.value(QStringLiteral("height")))), height);
        const QStringList viewBox = root.value(QStringLiteral("viewBox")).split(QLatin1Char(' '));
        QCOMPARE(viewBox.size(), 4);
        QCOMPARE(viewBox.at(2).toDouble(), source.width());
        QCOMPARE(viewBox.at(3).toDouble(), source.height());
        QCOMPARE(root.value(QStringLiteral("title")), QStringLiteral("ER Diagram"));
        QCOMPARE(root.value(QStringLiteral("desc")), QStringLiteral("Exported ER Diagram"));

        QSvgRenderer renderer(path);
        QVERIFY(renderer.isValid());
        QImage image(width, height, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            renderer.render(&painter);
        }
        image.save(testsupport::outputDir(QStringLiteral("tst_importexport")) + QStringLiteral("/export-svg.png"));
        // The margin holds nothing but the white background: no grid.
        for (int y = 0; y < 60; ++y) {
            for (int x = 0; x < 60; ++x)
                QCOMPARE(image.pixelColor(x, y), QColor(Qt::white));
        }
        // A box border is drawn dark, in light colours whatever the window shows.
        const QRectF box = entitiesOf(probe.scene()).first()->sceneBoundingRect().translated(-source.topLeft());
        int dark = 0;
        for (int x = int(box.left()) + 10; x < int(box.right()) - 10; ++x) {
            for (int y = int(box.top()) - 2; y <= int(box.top()) + 2; ++y) {
                if (qGray(image.pixel(x, y)) < 160)
                    ++dark;
            }
        }
        QVERIFY(dark > 10);
    }

    void emptyDiagramGivesDefaultSvgCanvas()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        const QString path = tempPath(QStringLiteral("empty.svg"));
        QVERIFY(probe.renderSceneToSvg(probe.scene(), path));
        const QHash<QString, QString> root = svgRoot(path);
        QCOMPARE(qRound(svgPixels(root.value(QStringLiteral("width")))), 800);
        QCOMPARE(qRound(svgPixels(root.value(QStringLiteral("height")))), 600);
    }

    void pictureImportNamesTheProjectAfterTheFile()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        openFixtureDiagram(w);
        const int boxes = entitiesOf(probe.scene()).size();
        const QString picture = tempPath(QStringLiteral("orders.final.svg"));
        QVERIFY(exportSceneToSvgFile(probe.scene(), picture));
        QVERIFY(probe.scene()->filePath.endsWith(QLatin1String("adoption-diagram.json")));

        QVERIFY(runFileAction(w, m_prompts, "actionImport_from_Image", picture, false));

        QCOMPARE(m_prompts.promptsOf(QStringLiteral("warning")).size(), 0);
        QCOMPARE(probe.project()->name(), QStringLiteral("orders.final"));
        QCOMPARE(probe.currentModel()->name(), QStringLiteral("Model 1"));
        QCOMPARE(entitiesOf(probe.scene()).size(), boxes);
        QCOMPARE(probe.currentModel()->tables().size(), boxes);
        QCOMPARE(statusText(w), QStringLiteral("No file"));
        QCOMPARE(probe.scene()->filePath, QString());
    }

    // The window after importing the rendered medium diagram, for a reviewer to look at:
    // boxes with titles and rows, crow's feet at the many ends, the project named after it.
    void importedPictureWindowGrab_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::newRow("picture") << QStringLiteral("medium-light.png");
        QTest::newRow("drawing") << QStringLiteral("medium.svg");
    }

    void importedPictureWindowGrab()
    {
        QFETCH(QString, picture);
        const QString path = QStringLiteral(VELMORA_IMAGE_FIXTURES "/") + picture;
        if (!QFileInfo::exists(path))
            QSKIP("the rendered image fixtures are made by the imageimport_fixtures step");
        MainWindow w;
        MainWindowProbe probe(w);
        w.resize(1600, 1000);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        QVERIFY(runFileAction(w, m_prompts, "actionImport_from_Image", path, false));

        QCOMPARE(m_prompts.promptsOf(QStringLiteral("warning")).size(), 0);
        QCOMPARE(probe.project()->name(), QFileInfo(picture).completeBaseName());
        QVERIFY(entitiesOf(probe.scene()).size() >= 10);
        QCoreApplication::processEvents();
        const QString name = QStringLiteral("import-") + QFileInfo(picture).completeBaseName()
            + QStringLiteral("-") + QFileInfo(picture).suffix() + QStringLiteral(".png");
        QVERIFY(w.grab().save(testsupport::outputDir(QStringLiteral("tst_importexport")) + QLatin1Char('/') + name));
    }

    void pictureNotRecognisedShowsTheFixedSentence()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        openFixtureDiagram(w);
        const QJsonObject before = probe.project()->toDocument();
        const QString status = statusText(w);
        const QString filePath = probe.scene()->filePath;
        const QString picture = tempPath(QStringLiteral("blank.png"));
        QImage blank(400, 300, QImage::Format_RGB32);
        blank.fill(Qt::white);
        QVERIFY(blank.save(picture));
        m_prompts.reset(1);

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Image import failed: .+")));
        QVERIFY(runFileAction(w, m_prompts, "actionImport_from_Image", picture, false));

        const QList<ScriptedPrompts::Prompt> boxes = m_prompts.promptsOf(QStringLiteral("warning"));
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.first().title, QStringLiteral("Import from Image"));
        QCOMPARE(boxes.first().text, ImageFailure);
        QCOMPARE(probe.project()->toDocument(), before);
        QCOMPARE(statusText(w), status);
        QCOMPARE(probe.scene()->filePath, filePath);
    }

    void databaseImportShowsProgressOfItsImporter()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        acceptDatabaseDialog();

        probe.importFromDatabase();

        QVERIFY(probe.schemaImporter());
        auto *progress = w.findChild<QProgressDialog *>();
        QVERIFY(progress);

        QCOMPARE(progress->labelText(), QStringLiteral("Connecting and collecting schema…"));
        QCOMPARE(progress->windowTitle(), QStringLiteral("Import from Database"));
        QCOMPARE(progress->windowModality(), Qt::WindowModal);
        QCOMPARE(progress->minimum(), 0);
        QCOMPARE(progress->maximum(), 0);
        QVERIFY(progress->isVisible());
        auto *cancel = progress->findChild<QPushButton *>();
        QVERIFY(cancel);
        QCOMPARE(cancel->text(), QStringLiteral("Cancel"));

        const QString longMessage = QString(200, QLatin1Char('m'));
        emit probe.schemaImporter()->progressMessage(longMessage);
        QCOMPARE(progress->labelText(), longMessage.left(120));
        emit probe.schemaImporter()->progressMessage(QStringLiteral("Reading <b>tables</b>"));
        QCOMPARE(progress->labelText(), QStringLiteral("Reading <b>tables</b>"));
        // Shown as typed: markup from the script is not rendered.
        auto *label = progress->findChild<QLabel *>();
        QVERIFY(label);
        QCOMPARE(label->textFormat(), Qt::PlainText);

        // Failure: the importer's sentence verbatim, the dialog and the importer gone.
        QPointer<QProgressDialog> guard(progress);
        SchemaImporter *importer = probe.schemaImporter();
        m_prompts.reset(1);
        emit importer->failed(QStringLiteral("Cannot reach <host>."));
        QCOMPARE(m_prompts.promptsOf(QStringLiteral("critical")).size(), 1);
        QCOMPARE(m_prompts.promptsOf(QStringLiteral("critical")).first().title, QStringLiteral("Import failed"));
        QCOMPARE(m_prompts.promptsOf(QStringLiteral("critical")).first().text, QStringLiteral("Cannot reach <host>."));
        QVERIFY(!probe.schemaImporter());
        // A cancelled run reports its kill twice (error, then end); the second finds no import.
        emit importer->failed(QStringLiteral("Python process terminated unexpectedly."));
        QCOMPARE(m_prompts.promptsOf(QStringLiteral("critical")).size(), 1);
        QVERIFY(QTest::qWaitFor([&guard] { return guard.isNull(); }));
    }

    void secondDatabaseImportReplacesTheFirst()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        acceptDatabaseDialog();
        probe.importFromDatabase();
        QPointer<SchemaImporter> first = probe.schemaImporter();
        QPointer<QProgressDialog> firstDialog = w.findChild<QProgressDialog *>();
        QVERIFY(first && firstDialog);

        // A rejected dialog leaves the importer alone.
        uiseam::setDialogRunner([](QDialog *) { return int(QDialog::Rejected); });
        probe.importFromDatabase();
        QCOMPARE(probe.schemaImporter(), first.data());

        acceptDatabaseDialog();
        probe.importFromDatabase();
        QVERIFY(probe.schemaImporter());
        QVERIFY(probe.schemaImporter() != first.data());
        QVERIFY(QTest::qWaitFor([&] { return first.isNull() && firstDialog.isNull(); }));
        QCOMPARE(w.findChildren<QProgressDialog *>().size(), 1);
    }

    void databaseImportAdoptsTheSchema_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("dialect");
        QTest::addColumn<bool>("save");
        QTest::newRow("postgresql, saved") << "postgresql" << "PostgreSQL" << true;
        QTest::newRow("oracle, not saved") << "oracle" << "Oracle" << false;
        QTest::newRow("csv, saved") << "csv" << "CSV files" << true;
        QTest::newRow("unknown keeps the chooser") << "mysql" << "DuckDB" << false;
        QTest::newRow("no meta keeps the chooser") << "" << "DuckDB" << false;
    }

    void databaseImportAdoptsTheSchema()
    {
        QFETCH(QString, id);
        QFETCH(QString, dialect);
        QFETCH(bool, save);
        MainWindow w;
        w.resize(1200, 800);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        MainWindowProbe probe(w);
        openFixtureDiagram(w);
        auto *combo = w.findChild<QComboBox *>(QStringLiteral("comboBoxDatabase"));
        combo->setCurrentText(QStringLiteral("DuckDB"));
        const QString oldPath = probe.scene()->filePath;
        QVERIFY(!oldPath.isEmpty());
        acceptDatabaseDialog();
        // The dialect chosen is a change of the open project, let go for the import.
        m_prompts.answerAsk(QStringLiteral("Discard"));
        probe.importFromDatabase();
        QPointer<QProgressDialog> progress = w.findChild<QProgressDialog *>();

        QJsonObject schema{{QStringLiteral("tables"),
                            QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("customer")},
                                                   {QStringLiteral("columns"),
                                                    QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("id")},
                                                                           {QStringLiteral("type"), QStringLiteral("integer")}},
                                                               QJsonObject{{QStringLiteral("name"), QStringLiteral("email")},
                                                                           {QStringLiteral("type"), QStringLiteral("text")},
                                                                           {QStringLiteral("nullable"), false}},
                                                               QJsonObject{{QStringLiteral("name"), QStringLiteral("note")},
                                                                           {QStringLiteral("type"), QStringLiteral("text")},
                                                                           {QStringLiteral("nullable"), true}}}}}}}};
        if (!id.isEmpty())
            schema.insert(QStringLiteral("meta"), QJsonObject{{QStringLiteral("dialect"), id}});
        const QString target = tempPath(QStringLiteral("imported-%1.json").arg(id));
        QFile::remove(target);
        m_prompts.answerSaveFile(save ? target : QString());
        emit probe.schemaImporter()->finished(SchemaImporter::buildDiagramJson(schema), schema);
        QVERIFY(waitIdle(w));

        QCOMPARE(m_prompts.promptsOf(QStringLiteral("save-file")).size(), 1);
        QCOMPARE(m_prompts.promptsOf(QStringLiteral("save-file")).first().title, QStringLiteral("Save imported diagram"));
        QCOMPARE(m_prompts.promptsOf(QStringLiteral("save-file")).first().filter, QStringLiteral("JSON Files (*.json)"));
        QCOMPARE(probe.project()->name(), QStringLiteral("Imported model"));
        QCOMPARE(entitiesOf(probe.scene()).size(), 1);
        QCOMPARE(probe.currentModel()->tables().size(), 1);
        // What the database says NOT NULL stays so in the model; a CSV folder says nothing.
        const TableItem *table = probe.currentModel()->tables().first();
        QVERIFY(table->columnByName(QStringLiteral("email")));
        QCOMPARE(table->columnByName(QStringLiteral("email"))->isNullable(), id == QStringLiteral("csv"));
        QVERIFY(table->columnByName(QStringLiteral("note"))->isNullable());
        QCOMPARE(combo->currentText(), dialect);
        // Fitted with a margin of 60; the window sets no scene rectangle of its own.
        const QRectF bounds = probe.scene()->itemsBoundingRect();
        QVERIFY(probe.scene()->sceneRect() != bounds.adjusted(-100, -100, 100, 100));
        auto *view = w.findChild<ERView *>(QStringLiteral("view"));
        const QRectF visible = view->mapToScene(view->viewport()->rect()).boundingRect();
        QVERIFY(visible.contains(bounds.adjusted(-58, -58, 58, 58)));
        QVERIFY(!visible.contains(bounds.adjusted(-70, -70, 70, 70)));
        QVERIFY(!probe.schemaImporter());
        QVERIFY(QTest::qWaitFor([&progress] { return progress.isNull(); }));
        if (save) {
            QCOMPARE(probe.scene()->filePath, target);
            QVERIFY(ProjectItem::isProjectDocument(readJson(target)));
        } else {
            // The project open before must not be overwritten by the next Save.
            QCOMPARE(probe.scene()->filePath, QString());
            QCOMPARE(statusText(w), QStringLiteral("No file"));
        }
    }

    void schemaRefusedInsideAnotherLoadIsNotAdopted()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        acceptDatabaseDialog();
        probe.importFromDatabase();
        QPointer<SchemaImporter> importer = probe.schemaImporter();
        ProjectItem *project = probe.project();
        const QJsonObject schema{{QStringLiteral("tables"), QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("t")}}}}};
        bool emitted = false;
        connect(probe.scene(), &ERScene::entityAdded, importer, [&] {
            if (emitted)
                return;
            emitted = true;
            emit importer->finished(SchemaImporter::buildDiagramJson(schema), schema);
        });
        m_prompts.reset(1);

        QVERIFY(probe.scene()->loadFromJson(readJson(fixture(QStringLiteral("adoption-diagram.json")))));

        QVERIFY(emitted);
        QCOMPARE(m_prompts.promptsOf(QStringLiteral("critical")).size(), 1);
        QCOMPARE(m_prompts.promptsOf(QStringLiteral("critical")).first().text, SchemaLoadFailure);
        QCOMPARE(probe.project(), project);
        QVERIFY(probe.project()->name() != QStringLiteral("Imported model"));
        QVERIFY(!probe.schemaImporter());
        QVERIFY(QTest::qWaitFor([&importer] { return importer.isNull(); }));
        QVERIFY(w.findChildren<QProgressDialog *>().isEmpty());
    }
};

QTEST_MAIN(TestImportExport)
#include "tst_importexport.moc"
