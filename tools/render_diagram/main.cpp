// render_diagram: loads a diagram exchange document into the diagram scene and renders
// it to a picture chosen by the output's suffix (PNG, JPEG, BMP, or SVG through the Export
// to SVG routine), printing the counts and the parse, load and render times; optionally it
// writes what the picture shows as a truth file for measuring image import.
#include "applicationsetup.h"
#include "diagramitemtypes.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "sceneexport.h"
#include "scenelayout.h"
#include "thememanager.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTimer>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGraphicsItem>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QPainter>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr int DefaultMaxSize = 8192;
constexpr int LargestMaxSize = 16384;
constexpr qreal Margin = 40.0;
constexpr int EmptySide = 200;
constexpr qreal SvgMargin = 80.0;
constexpr double SmallestScale = 0.1;
constexpr double LargestScale = 4.0;

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

// The family the diagram items draw their text in.
const QString EntityFontFamily = QStringLiteral("JetBrains Mono");

// The application's fonts, registered as start-up does; the first family at 10 points
// becomes the default font, so the pictures measure text as the application does. With an
// entity font given, the items' own family is left unregistered and stands for that one,
// so the same diagram can be drawn in another face.
void registerApplicationFonts(const QString &entityFont)
{
    const QStringList paths = defaultApplicationFontPaths();
    QString family;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const int id = QFontDatabase::addApplicationFont(paths.at(i));
        const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
        if (!entityFont.isEmpty() && families.contains(EntityFontFamily)) {
            QFontDatabase::removeApplicationFont(id);
            continue;
        }
        if (i == 0 && !families.isEmpty())
            family = families.first();
    }
    if (!entityFont.isEmpty())
        QFont::insertSubstitution(EntityFontFamily, entityFont);
    if (!family.isEmpty()) {
        QFont font(family, 10);
        font.setWeight(QFont::Normal);
        font.setItalic(false);
        QApplication::setFont(font);
    }
}

bool isDiagramItem(const QGraphicsItem *item)
{
    const int type = item->type();
    return type == DiagramItemType::EntityItem || type == DiagramItemType::EdgeItem
        || type == DiagramItemType::TextItem || type == DiagramItemType::GroupItem;
}

QString ms(double value)
{
    return QString::number(value, 'f', 1);
}

int usageError(const QCommandLineParser &parser, const QString &message)
{
    err() << "render_diagram: " << message << "\n" << parser.helpText();
    err().flush();
    return ExitUsage;
}

int failure(const QString &sentence)
{
    err() << "render_diagram: " << sentence << "\n";
    err().flush();
    return ExitFailure;
}

// Selects every diagram item and turns the event loop until the scene has given the
// selection its look (a glow while the selection is small enough for it).
void selectAll(ERScene &scene)
{
    const QList<QGraphicsItem *> all = scene.items();
    bool any = false;
    for (QGraphicsItem *item : all) {
        if (isDiagramItem(item)) {
            item->setSelected(true);
            any = true;
        }
    }
    QElapsedTimer waited;
    waited.start();
    while (any && !scene.pulseTimer->isActive() && waited.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// The image format of a picture output by its suffix; SVG is written apart, and anything
// else is a PNG.
const char *rasterFormat(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return "JPEG";
    if (suffix == QLatin1String("bmp"))
        return "BMP";
    return "PNG";
}

bool isSvgOutput(const QString &path)
{
    return QFileInfo(path).suffix().toLower() == QLatin1String("svg");
}

QJsonArray rectArray(const QRectF &r)
{
    return QJsonArray{r.x(), r.y(), r.width(), r.height()};
}

// What the picture shows: every entity box with its title, its rectangle in the output's
// coordinates (scene point p lies at (p - origin) x scale) and its rows with their key flags,
// and every relationship by the positions of its two boxes in that list.
QJsonObject truthOf(const ERScene &scene, const QPointF &origin, double scale)
{
    QList<EntityItem *> boxes;
    for (QGraphicsItem *item : scene.items(Qt::AscendingOrder)) {
        if (item->type() == DiagramItemType::EntityItem)
            boxes.append(static_cast<EntityItem *>(item));
    }
    QHash<const EntityItem *, int> index;
    QJsonArray entities;
    for (EntityItem *box : std::as_const(boxes)) {
        index.insert(box, int(entities.size()));
        const QRectF inScene = box->mapRectToScene(box->rect);
        const QRectF inOutput((inScene.topLeft() - origin) * scale, inScene.size() * scale);
        QJsonArray rows;
        for (const EntityItem::Attribute &attribute : std::as_const(box->attributes)) {
            rows.append(QJsonObject{{QStringLiteral("name"), attribute.name},
                                    {QStringLiteral("primaryKey"), attribute.isPrimaryKey},
                                    {QStringLiteral("foreignKey"), attribute.isForeignKey}});
        }
        entities.append(QJsonObject{{QStringLiteral("title"), box->title()},
                                    {QStringLiteral("rect"), rectArray(inOutput)},
                                    {QStringLiteral("rows"), rows}});
    }
    QJsonArray relationships;
    for (QGraphicsItem *item : scene.items(Qt::AscendingOrder)) {
        if (item->type() != DiagramItemType::EdgeItem)
            continue;
        const auto *edge = static_cast<const EdgeItem *>(item);
        if (!index.contains(edge->from) || !index.contains(edge->to) || edge->isEntityViewEdge())
            continue;
        relationships.append(QJsonObject{{QStringLiteral("from"), index.value(edge->from)},
                                         {QStringLiteral("to"), index.value(edge->to)},
                                         {QStringLiteral("startCard"), edge->startCard},
                                         {QStringLiteral("endCard"), edge->endCard}});
    }
    return QJsonObject{{QStringLiteral("entities"), entities}, {QStringLiteral("relationships"), relationships}};
}

bool writeThrough(const QString &path, const QByteArray &bytes, QString *reason)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *reason = file.errorString();
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("render_diagram"));
    // The scene and the items narrate a load in debug lines; only the figures matter here.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Renders a diagram exchange document to a PNG, JPEG, BMP or SVG file, by the "
                       "output's suffix, without a display."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption themeOption(QStringLiteral("theme"),
                                         QStringLiteral("Theme of the picture: light or dark."),
                                         QStringLiteral("light|dark"), QStringLiteral("light"));
    const QCommandLineOption noGridOption(QStringLiteral("no-grid"),
                                          QStringLiteral("Leave the background grid out."));
    const QCommandLineOption selectAllOption(
        QStringLiteral("select-all"),
        QStringLiteral("Select every item, so selection colours and shadows show."));
    const QCommandLineOption maxSizeOption(
        QStringLiteral("max-size"),
        QStringLiteral("Longest side of the image in pixels (1 to %1).").arg(LargestMaxSize),
        QStringLiteral("PX"), QString::number(DefaultMaxSize));
    parser.addOption(themeOption);
    parser.addOption(noGridOption);
    parser.addOption(selectAllOption);
    parser.addOption(maxSizeOption);
    const QCommandLineOption scaleOption(
        QStringLiteral("scale"),
        QStringLiteral("Draw the diagram at this factor of its size (%1 to %2), within --max-size.")
            .arg(SmallestScale).arg(LargestScale),
        QStringLiteral("FACTOR"), QStringLiteral("1"));
    parser.addOption(scaleOption);
    const QCommandLineOption entityFontOption(
        QStringLiteral("entity-font"),
        QStringLiteral("Draw the boxes' text in this installed font family instead of the application's."),
        QStringLiteral("FAMILY"));
    parser.addOption(entityFontOption);
    const QCommandLineOption layoutOption(
        QStringLiteral("layout"),
        QStringLiteral("Lay the diagram out automatically before rendering; prints the layout time "
                       "and its quality figures."));
    parser.addOption(layoutOption);
    const QCommandLineOption truthOption(
        QStringLiteral("truth"),
        QStringLiteral("Also write what the picture shows (entity rectangles in its coordinates, rows "
                       "with key flags, relationships) as JSON."),
        QStringLiteral("file.json"));
    parser.addOption(truthOption);
    parser.addPositionalArgument(QStringLiteral("diagram.json"),
                                 QStringLiteral("Diagram exchange document to render."));
    parser.addPositionalArgument(QStringLiteral("out.png"),
                                 QStringLiteral("Picture to write: .svg, .jpg, .jpeg, .bmp, else PNG."));

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser, parser.errorText());
    if (parser.isSet(helpOption)) {
        out() << parser.helpText();
        return ExitOk;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2)
        return usageError(parser, QStringLiteral("expected a diagram file and an output file."));
    const QString theme = parser.value(themeOption);
    if (theme != QLatin1String("light") && theme != QLatin1String("dark"))
        return usageError(parser, QStringLiteral("--theme takes light or dark."));
    bool sizeOk = false;
    const int maxSize = parser.value(maxSizeOption).toInt(&sizeOk);
    if (!sizeOk || maxSize < 1 || maxSize > LargestMaxSize)
        return usageError(parser, QStringLiteral("--max-size takes a whole number from 1 to %1.")
                                      .arg(LargestMaxSize));
    bool scaleOk = false;
    const double drawingScale = parser.value(scaleOption).toDouble(&scaleOk);
    if (!scaleOk || !(drawingScale >= SmallestScale && drawingScale <= LargestScale))
        return usageError(parser, QStringLiteral("--scale takes a number from %1 to %2.")
                                      .arg(SmallestScale).arg(LargestScale));
    const QString entityFont = parser.value(entityFontOption);
    const QString inputPath = positional.at(0);
    const QString outputPath = positional.at(1);

    Q_INIT_RESOURCE(velmora);
    registerApplicationFonts(entityFont);
    // The bundled faces count too, so the check follows their registration.
    if (!entityFont.isEmpty() && !QFontDatabase::families().contains(entityFont))
        return usageError(parser, QStringLiteral("--entity-font names no installed font family."));
    ThemeManager::instance()->setTheme(theme == QLatin1String("dark") ? ThemeKind::Dark
                                                                       : ThemeKind::Light);

    QFile input(inputPath);
    if (!input.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("cannot read %1: %2.").arg(inputPath, input.errorString()));
    const QByteArray bytes = input.readAll();
    input.close();

    QElapsedTimer timer;
    timer.start();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    const double parseMs = timer.nsecsElapsed() / 1e6;
    if (parseError.error != QJsonParseError::NoError)
        return failure(QStringLiteral("%1 is not valid JSON: %2 at offset %3.")
                           .arg(inputPath, parseError.errorString())
                           .arg(parseError.offset));
    if (!document.isObject())
        return failure(QStringLiteral("%1 does not hold a JSON object at its top level.").arg(inputPath));

    ERScene scene;
    scene.gridVisible = !parser.isSet(noGridOption);
    timer.restart();
    if (!scene.loadFromJson(document.object()))
        return failure(QStringLiteral("the scene refused to load %1.").arg(inputPath));
    const double loadMs = timer.nsecsElapsed() / 1e6;

    int entities = 0;
    int edges = 0;
    int annotations = 0;
    const QList<QGraphicsItem *> all = scene.items();
    for (QGraphicsItem *item : all) {
        switch (item->type()) {
        case DiagramItemType::EntityItem: ++entities; break;
        case DiagramItemType::EdgeItem: ++edges; break;
        case DiagramItemType::TextItem:
        case DiagramItemType::GroupItem: ++annotations; break;
        default: break;
        }
    }
    out() << "entities " << entities << " edges " << edges << " annotations " << annotations << "\n";
    out() << "parse_ms " << ms(parseMs) << "\n";
    out() << "load_ms " << ms(loadMs) << "\n";
    out().flush();

    if (parser.isSet(layoutOption)) {
        timer.restart();
        scene.autoLayout();
        out() << "layout_ms " << ms(timer.nsecsElapsed() / 1e6) << "\n";
        for (const QString &line : layout::describeQuality(scenelayout::measureScene(&scene)))
            out() << QString(line).replace(QStringLiteral(": "), QStringLiteral(" ")) << "\n";
        out().flush();
    }

    if (parser.isSet(selectAllOption))
        selectAll(scene);

    const bool empty = entities + edges + annotations == 0;
    const QString truthPath = parser.value(truthOption);
    if (isSvgOutput(outputPath)) {
        const QRectF bounds = scene.itemsBoundingRect();
        const QRectF source = bounds.width() > 0 && bounds.height() > 0
                                  ? bounds.adjusted(-SvgMargin, -SvgMargin, SvgMargin, SvgMargin)
                                  : QRectF(0, 0, 800, 600);
        timer.restart();
        if (!exportSceneToSvgFile(&scene, outputPath))
            return failure(QStringLiteral("cannot write %1.").arg(outputPath));
        out() << "render_ms " << ms(timer.nsecsElapsed() / 1e6) << "\n";
        QString reason;
        if (!truthPath.isEmpty()
            && !writeThrough(truthPath, QJsonDocument(truthOf(scene, source.topLeft(), 1.0)).toJson(), &reason))
            return failure(QStringLiteral("cannot write %1: %2.").arg(truthPath, reason));
        out() << "svg " << qRound(source.width()) << "x" << qRound(source.height()) << "\n";
        out().flush();
        return ExitOk;
    }

    QRectF source = scene.itemsBoundingRect().adjusted(-Margin, -Margin, Margin, Margin);
    if (empty || !(source.width() > 0 && source.height() > 0))
        source = QRectF(-EmptySide / 2.0, -EmptySide / 2.0, EmptySide, EmptySide);
    const double longest = std::max(source.width(), source.height());
    const double scale = std::min(drawingScale, maxSize / longest);
    const QSize size(std::clamp(int(std::ceil(source.width() * scale)), 1, maxSize),
                     std::clamp(int(std::ceil(source.height() * scale)), 1, maxSize));

    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return failure(QStringLiteral("cannot allocate an image of %1x%2.").arg(size.width()).arg(size.height()));
    image.fill(Qt::transparent);
    timer.restart();
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing
                               | QPainter::SmoothPixmapTransform);
        scene.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)), source, Qt::IgnoreAspectRatio);
    }
    const double renderMs = timer.nsecsElapsed() / 1e6;
    out() << "render_ms " << ms(renderMs) << "\n";

    const char *format = rasterFormat(outputPath);
    // Formats without transparency get the picture flattened over white.
    if (qstrcmp(format, "PNG") != 0) {
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, image);
        image = flat;
    }
    QSaveFile output(outputPath);
    if (!output.open(QIODevice::WriteOnly))
        return failure(QStringLiteral("cannot write %1: %2.").arg(outputPath, output.errorString()));
    if (!image.save(&output, format)) {
        output.cancelWriting();
        return failure(QStringLiteral("cannot encode the %1 for %2.").arg(QLatin1String(format), outputPath));
    }
    if (!output.commit())
        return failure(QStringLiteral("cannot write %1: %2.").arg(outputPath, output.errorString()));
    QString reason;
    if (!truthPath.isEmpty()
        && !writeThrough(truthPath, QJsonDocument(truthOf(scene, source.topLeft(), scale)).toJson(), &reason))
        return failure(QStringLiteral("cannot write %1: %2.").arg(truthPath, reason));

    if (empty)
        out() << "empty diagram: 200x200 background\n";
    out() << "image " << size.width() << "x" << size.height() << " scale " << QString::number(scale, 'f', 2)
          << "\n";
    out().flush();
    return ExitOk;
}
