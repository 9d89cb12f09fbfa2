#pragma once

#include "entityitem.h"
#include "mainwindow.h"
#include "projectitem.h"
#include "projecttreemodel.h"
#include "thememanager.h"
#include "scriptedprompts.h"

#include <QApplication>
#include <QStyle>
#include <QTest>

// Theme, palette and style sheet are process-wide; every window construction flips the
// theme. Tests start each case from the light theme and the style's own palette.
inline void resetProcessTheme(ThemeKind kind = ThemeKind::Light)
{
    ThemeManager::instance()->setTheme(kind);
    QApplication::setPalette(QApplication::style()->standardPalette());
    qApp->setStyleSheet(QString());
}

// Reaches the window's state for the tests.
class MainWindowProbe
{
public:
    explicit MainWindowProbe(MainWindow &window)
        : w(window)
    {
    }

    ERScene *scene() const { return w.scene; }
    ProjectItem *project() const { return w.project; }
    ModelItem *currentModel() const { return w.currentModel; }
    DiagramItem *currentDiagram() const { return w.currentDiagram; }
    BusySpinnerWidget *busySpinner() const { return w.busySpinner; }
    const QHash<QAction *, QIcon> &actionIconsLight() const { return w.actionIconsLight; }
    const QHash<QAction *, QIcon> &actionIconsDark() const { return w.actionIconsDark; }
    const QHash<QToolButton *, QIcon> &buttonIconsLight() const { return w.buttonIconsLight; }
    const QHash<QToolButton *, QIcon> &buttonIconsDark() const { return w.buttonIconsDark; }
    QString displayedFilePath() const { return w.displayedFilePath; }

    QStandardItemModel *treeModel() const { return w.treeModel; }
    TableDetailsController *tableDetails() const { return w.tableDetails; }
    EntityItem *detailsEntity() const { return w.detailsEntity; }
    void setDetailsEntity(EntityItem *entity) { w.detailsEntity = entity; }
    void setCurrentDiagram(DiagramItem *diagram) { w.currentDiagram = diagram; }
    bool bulkUpdate() const { return w.bulkUpdate; }
    void setBulkUpdate(bool on) { w.bulkUpdate = on; }
    // The state before any project exists: no project, model or diagram.
    void dropProject()
    {
        delete w.project;
        w.project = nullptr;
        w.currentModel = nullptr;
        w.currentDiagram = nullptr;
    }

    void setFilePathDisplay(const QString &path) { w.setFilePathDisplay(path); }
    QString uniqueModelName() { return w.uniqueModelName(); }
    QString uniqueDiagramName(ModelItem *model) { return w.uniqueDiagramName(model); }
    void createEmptyProject() { w.createEmptyProject(); }
    bool loadDiagramItem(DiagramItem *diagram) { return w.loadDiagramItem(diagram); }
    void captureCurrentDiagram() { w.captureCurrentDiagram(); }
    void releaseSceneSelection() { w.releaseSceneSelection(); }
    QString stableEntityId(EntityItem *entity) { return w.stableEntityId(entity); }
    void applyTableTheme(ThemeKind kind) { w.applyTableTheme(kind); }
    void applyThemedToolButtonIcons(ThemeKind kind) { w.applyThemedToolButtonIcons(kind); }
    void toggleTheme() { w.toggleTheme(); }

    // Model and diagram synchronisation.
    void registerEntityInModel(EntityItem *entity) { w.registerEntityInModel(entity); }
    void registerEdgeInModel(EdgeItem *edge) { w.registerEdgeInModel(edge); }
    void watchEntityTitle(EntityItem *entity) { w.watchEntityTitle(entity); }
    void populateEntityFromTable(EntityItem *entity, TableItem *table) { w.populateEntityFromTable(entity, table); }
    void syncModelFromScene() { w.syncModelFromScene(); }
    EntityItem *findEntityOnScene(const QString &id) { return w.findEntityOnScene(id); }
    EdgeItem *findEdgeOnScene(const QString &id) { return w.findEdgeOnScene(id); }
    void syncTableColumnsFromEntity(EntityItem *entity) { w.syncTableColumnsFromEntity(entity); }
    void spreadNewColumn(ModelItem *model, TableItem *table, ColumnItem *column)
    {
        w.spreadNewColumn(model, table, column);
    }
    void removeEntityFromModel(const QString &id) { w.removeEntityFromModel(id); }
    void removeLiveEntity(const QString &id) { w.removeLiveEntity(id); }
    void stripFromModelDiagrams(ModelItem *model, const QSet<QString> &entityIds, const QSet<QString> &edgeIds)
    {
        w.stripFromModelDiagrams(model, entityIds, edgeIds);
    }
    void stripItemsFromOtherDiagrams(const QStringList &entityIds, const QStringList &edgeIds)
    {
        w.stripItemsFromOtherDiagrams(entityIds, edgeIds);
    }
    QString uniqueObjectName(ModelItem *model, const QString &prefix) { return w.uniqueObjectName(model, prefix); }
    void applyModelObjectName(const QString &kind, const QString &id, const QString &name,
                              EntityItem *source = nullptr)
    {
        w.applyModelObjectName(kind, id, name, source);
    }

    // The model explorer.
    // Makes project (built in a test) the window's, with that model and diagram current.
    void adoptProject(ProjectItem *project, ModelItem *model, DiagramItem *diagram)
    {
        if (w.project != project)
            delete w.project;
        project->setParent(&w);
        w.project = project;
        w.currentModel = model;
        w.currentDiagram = diagram;
    }
    ExplorerFilterProxy *treeProxy() const { return w.treeProxy; }
    QSet<QString> &hiddenExplorerKinds() { return w.hiddenExplorerKinds; }
    void rebuildProjectTree() { w.rebuildProjectTree(); }
    QStandardItem *findTreeItem(const QString &kind, const QString &id) { return w.findTreeItem(kind, id); }
    QStandardItem *findTreeItem(QStandardItem *parent, const QString &kind, const QString &id)
    {
        return w.findTreeItem(parent, kind, id);
    }
    QStandardItem *makeTreeItem(const QString &text, const QString &kind)
    {
        return w.makeTreeItem(text, kind, QStringLiteral("id"), false);
    }
    void selectExplorerItem(const QString &kind, const QString &id) { w.selectExplorerItem(kind, id); }
    ModelItem *modelForTreeIndex(const QModelIndex &index) { return w.modelForTreeIndex(index); }
    void applyProjectName(const QString &name) { w.applyProjectName(name); }
    void applyModelName(const QString &id, const QString &name) { w.applyModelName(id, name); }
    void applyDiagramName(const QString &id, const QString &name) { w.applyDiagramName(id, name); }
    void showExplorerFilterPopup() { w.showExplorerFilterPopup(); }
    void applyExplorerFilter() { w.applyExplorerFilter(); }
    void syncTreeSelectionFromScene() { w.syncTreeSelectionFromScene(); }
    void refreshTableDetails() { w.refreshTableDetails(); }
    void selectAll() { w.selectAll(); }
    EntityItem *selectedEntity() { return w.selectedEntity(); }

    // Theme switch and style dialogs.
    DualThemeColorScheme entityColorDefaults() const { return w.entityColorDefaults; }
    void setEntityColorDefaults(const DualThemeColorScheme &scheme) { w.entityColorDefaults = scheme; }
    // The window without a scene, as before one exists; the caller keeps the scene.
    ERScene *takeScene()
    {
        ERScene *taken = w.scene;
        w.scene = nullptr;
        return taken;
    }
    void putSceneBack(ERScene *scene) { w.scene = scene; }
    void showColorsDialog() { w.showColorsDialog(); }
    void showTextStyleDialog() { w.showTextStyleDialog(); }
    void showGroupStyleDialog() { w.showGroupStyleDialog(); }
    void showEntityColorDialog() { w.showEntityColorDialog(); }

    // Adding, removing and dropping model objects.
    void showExplorerAddMenu() { w.showExplorerAddMenu(); }
    void removeExplorerSelection() { w.removeExplorerSelection(); }
    void addExplorerRelationship(ModelItem *model) { w.addExplorerRelationship(model); }
    void removeExplorerEntity(ModelItem *model, const QString &id) { w.removeExplorerEntity(model, id); }
    void onRelationshipConstraintRemoved(const QString &id) { w.onRelationshipConstraintRemoved(id); }
    void onColumnRemovalRequested(const QString &columnId) { w.onColumnRemovalRequested(columnId); }
    void onExplorerDropRequested(const QByteArray &payload, QPointF at) { w.onExplorerDropRequested(payload, at); }
    void connectRelationshipsForDroppedEntities(const QStringList &ids) { w.connectRelationshipsForDroppedEntities(ids); }
    QJsonObject storedEdgeJson(const QString &id) { return w.storedEdgeJson(id); }
    static QPointF snapDropPoint(QPointF point) { return MainWindow::snapDropPoint(point); }

    // Import and export.
    SchemaImporter *schemaImporter() const { return w.schemaImporter; }
    void importFromDatabase() { w.on_actionImport_from_Database_triggered(); }
    bool importImageIntoProject(const QString &path) { return w.importImageIntoProject(path); }
    bool renderSceneToPdf(QGraphicsScene *scene, const QString &path) { return w.renderSceneToPdf(scene, path); }
    bool renderSceneToSvg(QGraphicsScene *scene, const QString &path) { return w.renderSceneToSvg(scene, path); }

private:
    MainWindow &w;
};
