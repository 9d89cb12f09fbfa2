#include "sceneexport.h"

#include "entityhost.h"
#include "erscene.h"
#include "singlelinetextitem.h"
#include "thememanager.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QGraphicsEffect>
#include <QGraphicsItem>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPointer>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScreen>
#include <QSvgGenerator>

#include <cmath>

namespace {

constexpr double ExportMargin = 80.0;

// Light theme, nothing selected and a plain white background while it lives, and nothing of
// what the screen shows of the user's work: no selection glow, no caret, text selection or
// focus frame in the cell being edited. What was there comes back on every way out; the
// cell keeps its focus and its edit throughout, so nothing is committed by exporting.
class ExportLook
{
public:
    explicit ExportLook(QGraphicsScene *scene)
        : m_scene(scene), m_kind(ThemeManager::instance()->kind()), m_colors(ThemeManager::instance()->colors())
    {
        ThemeManager::instance()->setTheme(ThemeKind::Light);
        for (QGraphicsItem *item : scene->selectedItems())
            m_selected.append(item);
        scene->clearSelection();
        hideOnScreenState();
        m_erScene = qobject_cast<ERScene *>(scene);
        if (m_erScene) {
            m_grid = m_erScene->gridVisible;
            m_override = m_erScene->backgroundOverrideEnabled;
            m_overrideColor = m_erScene->backgroundOverrideColor;
            m_erScene->gridVisible = false;
            m_erScene->update(m_erScene->sceneRect());
            m_erScene->backgroundOverrideColor = Qt::white;
            m_erScene->update(m_erScene->sceneRect());
            m_erScene->backgroundOverrideEnabled = true;
            m_erScene->update(m_erScene->sceneRect());
        }
    }

    ~ExportLook()
    {
        if (m_erScene) {
            m_erScene->gridVisible = m_grid;
            m_erScene->update(m_erScene->sceneRect());
            m_erScene->backgroundOverrideColor = m_overrideColor;
            m_erScene->update(m_erScene->sceneRect());
            m_erScene->backgroundOverrideEnabled = m_override;
            m_erScene->update(m_erScene->sceneRect());
        }
        for (const QPointer<QGraphicsEffect> &effect : qAsConst(m_effects)) {
            if (effect)
                effect->setEnabled(true);
        }
        for (const QPointer<SingleLineTextItem> &cell : qAsConst(m_cells)) {
            if (cell)
                cell->setRestingLook(false);
        }
        const QList<QGraphicsItem *> items = m_scene->items();
        for (QGraphicsItem *item : m_selected) {
            if (items.contains(item))
                item->setSelected(true);
        }
        // A box let go of its cell's focus frame with its selection; the cell still has focus.
        if (auto *cell = qgraphicsitem_cast<SingleLineTextItem *>(m_scene->focusItem())) {
            if (EntityHost *host = EntityHost::of(cell->parentItem()))
                host->onCellFocusChanged(cell, true);
        }
        ThemeManager::instance()->setColors(m_colors, m_kind);
    }

private:
    // The selection glow goes with the selection only once the scene's deferred refresh
    // runs, and an item drawn through an effect reaches the page as a picture; the cells'
    // focus and editing marks are painted from their state. Both are switched off in place.
    void hideOnScreenState()
    {
        const QList<QGraphicsItem *> items = m_scene->items();
        for (QGraphicsItem *item : items) {
            QGraphicsEffect *effect = item->graphicsEffect();
            if (effect && effect->isEnabled()) {
                effect->setEnabled(false);
                m_effects.append(effect);
            }
            auto *cell = qgraphicsitem_cast<SingleLineTextItem *>(item);
            if (cell && !cell->hasRestingLook()) {
                cell->setRestingLook(true);
                m_cells.append(cell);
            }
        }
    }

    QGraphicsScene *m_scene;
    ERScene *m_erScene = nullptr;
    ThemeKind m_kind;
    ThemePalette m_colors;
    QList<QGraphicsItem *> m_selected;
    QList<QPointer<QGraphicsEffect>> m_effects;
    QList<QPointer<SingleLineTextItem>> m_cells;
    bool m_grid = true;
    bool m_override = false;
    QColor m_overrideColor;
};

// The generic family a viewer falls back on for a family it lacks.
QString genericFamily(const QString &family)
{
    if (QFontDatabase::isFixedPitch(family))
        return QStringLiteral("monospace");
    const bool serif = family.contains(QLatin1String("serif"), Qt::CaseInsensitive)
                       && !family.contains(QLatin1String("sans"), Qt::CaseInsensitive);
    return serif ? QStringLiteral("serif") : QStringLiteral("sans-serif");
}

// Names the generic family after each family the drawing uses, in a style sheet: a viewer
// without the bundled fonts then falls back on a font of the same kind. Not in the
// attributes themselves, where Qt's own SVG reader would take the whole list for one name
// and draw in its default font.
QByteArray withGenericFontFamilies(const QByteArray &svg)
{
    static const QRegularExpression attribute(QStringLiteral("font-family=\"([^\"<>&\\\\]+)\""));
    const QString text = QString::fromUtf8(svg);
    QStringList families;
    for (const QRegularExpressionMatch &match : attribute.globalMatch(text)) {
        const QString family = match.captured(1);
        if (!families.contains(family))
            families.append(family);
    }
    const qsizetype svgStart = text.indexOf(QLatin1String("<svg"));
    const qsizetype insertAt = svgStart < 0 ? -1 : text.indexOf(QLatin1Char('>'), svgStart);
    if (families.isEmpty() || insertAt < 0)
        return svg;
    QString rules = QStringLiteral("\n<style type=\"text/css\">\n");
    for (const QString &family : qAsConst(families)) {
        rules += QStringLiteral("[font-family=\"%1\"] { font-family: \"%1\", %2; }\n")
                     .arg(family, genericFamily(family));
    }
    rules += QStringLiteral("</style>");
    return QString(text).insert(insertAt + 1, rules).toUtf8();
}

int screenResolution()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? int(std::lround(screen->logicalDotsPerInch())) : 96;
}

} // namespace

bool exportSceneToSvgFile(QGraphicsScene *scene, const QString &path)
{
    if (!scene)
        return false;
    ExportLook look(scene);

    const QRectF bounds = scene->itemsBoundingRect();
    const QRectF source = bounds.width() > 0 && bounds.height() > 0
                              ? bounds.adjusted(-ExportMargin, -ExportMargin, ExportMargin, ExportMargin)
                              : QRectF(0, 0, 800, 600);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QBuffer drawing;
    drawing.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&drawing);
    generator.setResolution(screenResolution());
    generator.setSize(QSize(int(std::lround(source.width())), int(std::lround(source.height()))));
    generator.setViewBox(QRectF(0, 0, source.width(), source.height()));
    generator.setTitle(QStringLiteral("ER Diagram"));
    generator.setDescription(QStringLiteral("Exported ER Diagram"));
    {
        QPainter painter;
        if (!painter.begin(&generator)) {
            file.cancelWriting();
            return false;
        }
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
        scene->render(&painter, QRectF(0, 0, source.width(), source.height()), source, Qt::KeepAspectRatio);
    }
    const QByteArray svg = withGenericFontFamilies(drawing.data());
    if (file.write(svg) != svg.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool exportSceneToPdfFile(QGraphicsScene *scene, const QString &path)
{
    if (!scene)
        return false;
    ExportLook look(scene);

    const QRectF source = scene->itemsBoundingRect().adjusted(-ExportMargin, -ExportMargin, ExportMargin, ExportMargin);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QPdfWriter writer(&file);
    writer.setResolution(300);
    const QPageLayout layout(QPageSize(QPageSize::A2),
                             source.width() > source.height() ? QPageLayout::Landscape : QPageLayout::Portrait,
                             QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter, QMarginsF(0, 0, 0, 0));
    writer.setPageLayout(layout);
    {
        QPainter painter;
        if (!painter.begin(&writer)) {
            file.cancelWriting();
            return false;
        }
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
        scene->render(&painter, QRectF(painter.viewport()), source, Qt::KeepAspectRatio);
        // The writer finishes the document when the painter ends.
        if (!painter.end()) {
            file.cancelWriting();
            return false;
        }
    }
    return file.commit();
}
