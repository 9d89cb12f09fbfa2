#include "sceneexport.h"

#include "erscene.h"
#include "thememanager.h"

#include <QGraphicsItem>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPointer>
#include <QSaveFile>
#include <QScreen>
#include <QSvgGenerator>

#include <cmath>

namespace {

constexpr double ExportMargin = 80.0;

// Light theme, nothing selected and a plain white background while it lives; what was there
// comes back on every way out.
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
        const QList<QGraphicsItem *> items = m_scene->items();
        for (QGraphicsItem *item : m_selected) {
            if (items.contains(item))
                item->setSelected(true);
        }
        ThemeManager::instance()->setColors(m_colors, m_kind);
    }

private:
    QGraphicsScene *m_scene;
    ERScene *m_erScene = nullptr;
    ThemeKind m_kind;
    ThemePalette m_colors;
    QList<QGraphicsItem *> m_selected;
    bool m_grid = true;
    bool m_override = false;
    QColor m_overrideColor;
};

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
    QSvgGenerator generator;
    generator.setOutputDevice(&file);
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
