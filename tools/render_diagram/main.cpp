// render_diagram: loads a diagram exchange document into the diagram scene and renders
// it to a PNG, printing the counts and the parse, load and render times.
#include "applicationsetup.h"
#include "diagramitemtypes.h"
#include "erscene.h"
#include "scenelayout.h"
#include "thememanager.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGraphicsDropShadowEffect>
#include <QGraphicsItem>
#include <QImage>
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

// The application's fonts, registered as start-up does; the first family at 10 points
// becomes the default font, so the pictures measure text as the application does.
void registerApplicationFonts()
{
    const QStringList paths = defaultApplicationFontPaths();
    QString family;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString loaded = loadApplicationFont(paths.at(i));
        if (i == 0)
            family = loaded;
    }
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

// Selects every diagram item and turns the event loop until the pulse has given each
// its shadow.
void selectAll(ERScene &scene)
{
    QList<QGraphicsItem *> selectable;
    const QList<QGraphicsItem *> all = scene.items();
    for (QGraphicsItem *item : all) {
        if (isDiagramItem(item)) {
            item->setSelected(true);
            selectable.append(item);
        }
    }
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 2000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        const bool shadowed = std::all_of(selectable.cbegin(), selectable.cend(), [](QGraphicsItem *item) {
            return !item->isSelected()
                || qobject_cast<QGraphicsDropShadowEffect *>(item->graphicsEffect());
        });
        if (shadowed)
            break;
    }
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
        QStringLiteral("Renders a diagram exchange document to a PNG without a display."));
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
    const QCommandLineOption layoutOption(
        QStringLiteral("layout"),
        QStringLiteral("Lay the diagram out automatically before rendering; prints the layout time "
                       "and its quality figures."));
    parser.addOption(layoutOption);
    parser.addPositionalArgument(QStringLiteral("diagram.json"),
                                 QStringLiteral("Diagram exchange document to render."));
    parser.addPositionalArgument(QStringLiteral("out.png"), QStringLiteral("PNG file to write."));

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
    const QString inputPath = positional.at(0);
    const QString outputPath = positional.at(1);

    Q_INIT_RESOURCE(velmora);
    registerApplicationFonts();
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
    QRectF source = scene.itemsBoundingRect().adjusted(-Margin, -Margin, Margin, Margin);
    if (empty || !(source.width() > 0 && source.height() > 0))
        source = QRectF(-EmptySide / 2.0, -EmptySide / 2.0, EmptySide, EmptySide);
    const double longest = std::max(source.width(), source.height());
    const double scale = std::min(1.0, maxSize / longest);
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

    QSaveFile output(outputPath);
    if (!output.open(QIODevice::WriteOnly))
        return failure(QStringLiteral("cannot write %1: %2.").arg(outputPath, output.errorString()));
    if (!image.save(&output, "PNG")) {
        output.cancelWriting();
        return failure(QStringLiteral("cannot encode the PNG for %1.").arg(outputPath));
    }
    if (!output.commit())
        return failure(QStringLiteral("cannot write %1: %2.").arg(outputPath, output.errorString()));

    if (empty)
        out() << "empty diagram: 200x200 background\n";
    out() << "image " << size.width() << "x" << size.height() << " scale " << QString::number(scale, 'f', 2)
          << "\n";
    out().flush();
    return ExitOk;
}
