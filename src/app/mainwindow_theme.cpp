// The window's theme switch, its icon caches, and the launchers of the style dialogs.
#include "mainwindow.h"
#include "ui_MainWindow.h"

#include "aboutdialog.h"
#include "diagramitemtypes.h"
#include "entityitem.h"
#include "erscene.h"
#include "erview.h"
#include "stylesteps.h"
#include "themehelpers.h"
#include "uiseam.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

void MainWindow::on_actionToggle_Theme_triggered()
{
    toggleTheme();
}

void MainWindow::toggleTheme()
{
    ThemeManager *tm = ThemeManager::instance();
    tm->setTheme(tm->kind() == ThemeKind::Dark ? ThemeKind::Light : ThemeKind::Dark);
    adjustThemeColors(*tm);
}

void MainWindow::adjustThemeColors(ThemeManager &tm)
{
    QElapsedTimer clock;
    clock.start();
    ThemeTimings timings;
    const auto lap = [&clock] { return clock.nsecsElapsed() / 1.0e6; };

    const ThemeKind kind = tm.kind();
    const bool dark = kind == ThemeKind::Dark;
    const QSize iconSize = ui->toolBar ? ui->toolBar->iconSize() : QSize(18, 18);

    QApplication::setPalette(dark ? darkApplicationPalette() : lightApplicationPalette());
    qApp->setStyleSheet(applicationStyleSheet(kind));
    timings.paletteAndSheet = lap();

    applyTableTheme(kind);

    double mark = lap();
    restyleWidgets();
    timings.repolish = lap() - mark;

    if (ui->toolBar)
        ui->toolBar->setIconSize(iconSize);

    const QList<QAction *> actions = findChildren<QAction *>();
    for (QAction *action : actions) {
        const QIcon icon = dark ? actionIconsDark.value(action) : actionIconsLight.value(action);
        if (!icon.isNull())
            action->setIcon(icon);
    }

    applyThemedToolButtonIcons(kind);
    if (ui->toolBar)
        ui->toolBar->setIconSize(iconSize);

    mark = lap();
    repaintSceneItems();
    timings.sceneItems = lap() - mark;

    if (ui->dockWidget) {
        ui->dockWidget->update();
        if (QWidget *content = ui->dockWidget->widget())
            content->update();
    }
    if (QTreeView *tree = ui->treeViewProject) {
        tree->viewport()->update();
        tree->update();
        syncTreeSelectionFromScene();
    }
    if (ui->view) {
        ui->view->viewport()->update();
        ui->view->update();
    }

    timings.total = lap();
    timings.rest = timings.total - timings.paletteAndSheet - timings.repolish - timings.sceneItems;
    themeTimings = timings;
}

QString MainWindow::applicationStyleSheet(ThemeKind kind)
{
    QFile file(kind == ThemeKind::Dark ? QStringLiteral(":/styles/resources/styles/app-dark.qss")
                                       : QStringLiteral(":/styles/resources/styles/app-light.qss"));
    // A sheet missing from the bundle leaves the application unstyled, silently.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    return QString::fromUtf8(file.readAll());
}

void MainWindow::restyleWidgets()
{
    const QList<QWidget *> widgets = findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        // The about dialog is drawn by its own sheets; tool buttons and bars keep their look.
        const bool keepsOwnBackground = qobject_cast<QToolButton *>(widget)
                                        || qobject_cast<QToolBar *>(widget)
                                        || qobject_cast<AboutDialog *>(widget)
                                        || qobject_cast<AboutDialog *>(widget->window());
        if (!keepsOwnBackground)
            widget->setAttribute(Qt::WA_StyledBackground);
        QStyle *style = widget->style();
        style->unpolish(widget);
        style->polish(widget);
        widget->update();
    }
}

void MainWindow::repaintSceneItems()
{
    if (!scene)
        return;
    scene->update(scene->sceneRect());
    const QList<QGraphicsItem *> items = scene->items();
    for (QGraphicsItem *item : items) {
        switch (item->type()) {
        case DiagramItemType::EntityItem:
            static_cast<EntityItem *>(item)->onThemeChanged();
            break;
        case DiagramItemType::TextItem:
        case DiagramItemType::GroupItem:
            item->update();
            break;
        default:
            break;
        }
    }
}

void MainWindow::applyTableTheme(ThemeKind kind)
{
    QTreeView *tree = ui ? ui->treeViewProject : nullptr;
    if (!tree)
        return;
    const QPalette palette = explorerTreePalette(kind);
    tree->setPalette(palette);
    tree->viewport()->setPalette(palette);
    tree->setAutoFillBackground(true);
    tree->viewport()->setAutoFillBackground(true);
    tree->update();
    tree->viewport()->update();
}

void MainWindow::cacheActionIcons()
{
    const QSize iconSize = ui->toolBar ? ui->toolBar->iconSize() : QSize(18, 18);
    const QList<QAction *> actions = findChildren<QAction *>();
    for (QAction *action : actions) {
        const QIcon icon = action->icon();
        if (icon.isNull())
            continue;
        if (!actionIconsLight.contains(action))
            actionIconsLight.insert(action, icon);
        if (!actionIconsDark.contains(action)) {
            const QIcon inverted = invertedIcon(icon, iconSize);
            actionIconsDark.insert(action, inverted);
            if (!inverted.isNull())
                action->setIcon(inverted);
        }
        trackIconOwner(action);
    }
}

void MainWindow::ensureToolButtonIconCache()
{
    const QList<QToolButton *> buttons = findChildren<QToolButton *>();
    for (QToolButton *button : buttons) {
        if (!button || button->icon().isNull() || button->defaultAction()
            || buttonIconsLight.contains(button)) {
            continue;
        }
        const QIcon icon = button->icon();
        buttonIconsLight.insert(button, icon);
        QSize size = button->iconSize();
        if (size.width() <= 0 || size.height() <= 0)
            size = QSize(16, 16);
        buttonIconsDark.insert(button, invertedIcon(icon, size));
        trackIconOwner(button);
    }
}

void MainWindow::applyThemedToolButtonIcons(ThemeKind kind)
{
    ensureToolButtonIconCache();
    if (buttonIconsLight.isEmpty())
        return;
    for (auto it = buttonIconsLight.cbegin(); it != buttonIconsLight.cend(); ++it) {
        QToolButton *button = it.key();
        if (!button)
            continue;
        const QIcon icon = kind == ThemeKind::Light ? it.value() : buttonIconsDark.value(button);
        if (!icon.isNull())
            button->setIcon(icon);
    }
}

void MainWindow::trackIconOwner(QObject *owner)
{
    if (trackedIconOwners.contains(owner))
        return;
    trackedIconOwners.insert(owner);
    // A deleted action or button must leave the caches before anything walks them, and
    // an object made later at the same address must not inherit its icons.
    connect(owner, &QObject::destroyed, this, &MainWindow::forgetIconOwner);
}

void MainWindow::forgetIconOwner(QObject *owner)
{
    trackedIconOwners.remove(owner);
    const auto sameObject = [owner](auto *key) { return static_cast<QObject *>(key) == owner; };
    for (auto *hash : {&actionIconsLight, &actionIconsDark}) {
        for (auto it = hash->begin(); it != hash->end();)
            it = sameObject(it.key()) ? hash->erase(it) : std::next(it);
    }
    for (auto *hash : {&buttonIconsLight, &buttonIconsDark}) {
        for (auto it = hash->begin(); it != hash->end();)
            it = sameObject(it.key()) ? hash->erase(it) : std::next(it);
    }
}

// ---- Style dialogs

void MainWindow::on_actionEntity_Colors_triggered()
{
    if (!scene) {
        showColorsDialog();
        return;
    }
    const int entities = stylesteps::selectedCount(scene, DiagramItemType::EntityItem);
    const int texts = stylesteps::selectedCount(scene, DiagramItemType::TextItem);
    const int groups = stylesteps::selectedCount(scene, DiagramItemType::GroupItem);
    if (texts > 0 && groups == 0 && entities == 0)
        showTextStyleDialog();
    else if (groups > 0 && texts == 0 && entities == 0)
        showGroupStyleDialog();
    else
        showColorsDialog();
}

void MainWindow::showEntityColorDialog()
{
    showColorsDialog();
}

void MainWindow::showColorsDialog()
{
    ColorsDialog dialog(this);
    dialog.setScheme(stylesteps::colorsStart(scene, entityColorDefaults));
    dialog.setApplyTarget(ColorsDialog::ApplyTarget(
        stylesteps::proposedTarget(stylesteps::selectedCount(scene, DiagramItemType::EntityItem))));
    dialog.setUseForNewEntities(false);
    // Each apply acts on the scene as it is then: a load may have replaced its items.
    connect(&dialog, &ColorsDialog::applyRequested, this,
            [this](const DualThemeColorScheme &scheme, ColorsDialog::ApplyTarget target, bool useForNew) {
                stylesteps::applyEntityColors(scene, scheme, target, useForNew, &entityColorDefaults);
            });
    uiseam::runDialog(&dialog);
}

void MainWindow::showTextStyleDialog()
{
    TextItemStyleDialog dialog(this);
    dialog.setItemStyle(stylesteps::textStart(scene));
    dialog.setApplyTarget(TextItemStyleDialog::ApplyTarget(
        stylesteps::proposedTarget(stylesteps::selectedCount(scene, DiagramItemType::TextItem))));
    dialog.setUseForNew(false);
    connect(&dialog, &TextItemStyleDialog::applyRequested, this,
            [this](const TextItemStyle &style, TextItemStyleDialog::ApplyTarget target, bool useForNew) {
                stylesteps::applyTextStyle(scene, style, target, useForNew);
            });
    uiseam::runDialog(&dialog);
}

void MainWindow::showGroupStyleDialog()
{
    GroupItemStyleDialog dialog(this);
    dialog.setItemStyle(stylesteps::groupStart(scene));
    dialog.setApplyTarget(GroupItemStyleDialog::ApplyTarget(
        stylesteps::proposedTarget(stylesteps::selectedCount(scene, DiagramItemType::GroupItem))));
    dialog.setUseForNew(false);
    connect(&dialog, &GroupItemStyleDialog::applyRequested, this,
            [this](const GroupItemStyle &style, GroupItemStyleDialog::ApplyTarget target, bool useForNew) {
                stylesteps::applyGroupStyle(scene, style, target, useForNew);
            });
    uiseam::runDialog(&dialog);
}
