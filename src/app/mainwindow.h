#pragma once

#include "entitycolorscheme.h"
#include "thememanager.h"

#include <QHash>
#include <QIcon>
#include <QJsonObject>
#include <QModelIndex>
#include <QMainWindow>
#include <QPointer>
#include <QPair>
#include <QPointF>
#include <QSet>
#include <QStringList>

#include <functional>

QT_BEGIN_NAMESPACE
class QAction;
class QCloseEvent;
class QComboBox;
class QFrame;
class QGraphicsScene;
class QGraphicsPathItem;
class QLabel;
class QLineEdit;
class QSlider;
class QStandardItem;
class QTimer;
class QToolButton;
class QToolBar;
QT_END_NAMESPACE

class BusySpinnerWidget;
class ColumnItem;
class DiagramItem;
class EdgeItem;
class EntityItem;
class ERScene;
class ExplorerFilterProxy;
class ModelItem;
class ProjectItem;
class ProjectTreeModel;
class RelationshipItem;
class SchemaImporter;
class TableDetailsController;
class TableItem;

namespace Ui {
class MainWindow;
}

// The application's one main window: the form, the open diagram's scene, the project with
// its current model and diagram, the model explorer, the details panel and the busy
// overlay. Its handlers keep them in step.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Puts a tool bar's expanding spacer in front of its theme toggle (and the separator
    // directly before it), so the toggle sits at the right end.
    static QWidget *insertThemeSpacer(QToolBar *toolBar, QAction *toggle);

public slots:
    void sliderSetZoom(double value);
    void setViewZoom(int value);

private slots:
    void on_action_Save_triggered();
    void on_action_Open_triggered();
    void on_action_Exit_triggered();
    void on_actionShow_Properties_triggered();
    void on_action_New_triggered();
    void on_action_New_Model_triggered();
    void on_action_New_Diagram_triggered();
    void deleteSelection();
    void applyTableTheme(ThemeKind kind);
    void adjustThemeColors(ThemeManager &tm);
    void ensureToolButtonIconCache();
    void applyThemedToolButtonIcons(ThemeKind kind);
    void setupDiagramToolButtons();
    void on_actionToggle_Theme_triggered();
    void initializeTreeModel();
    void releaseSceneSelection();
    void createEmptyProject();
    void rebuildProjectTree();
    void syncTreeSelectionFromScene();
    void onProjectTreeSelectionChanged();
    void onProjectTreeItemChanged(QStandardItem *item);
    void showExplorerAddMenu();
    void removeExplorerSelection();
    void showExplorerFilterPopup();
    void onProjectNameEditingFinished();
    void onModelNameEditingFinished();
    void onDiagramNameEditingFinished();
    // Stores the scene into the current diagram; a scene with items but no current
    // diagram gets one first, so nothing drawn is lost.
    void captureCurrentDiagram();
    // Captures the open diagram (unless it is this one) and shows this one, its model
    // becoming current. False, with the current model and diagram kept, when the scene
    // refuses the load (it is being rebuilt).
    bool loadDiagramItem(DiagramItem *diagram);
    void syncModelFromScene();
    void refreshTableDetails();
    void forgetColumnReferences(const QString &columnId);
    // Makes the scene's diagram (just loaded from outside a project) a project of its own.
    void adoptLoadedScene(const QString &projectName = QString());
    // A project document is loaded into the project, a diagram document adopted into a
    // new one. False, with nothing changed, for any other object; dropped receives what
    // a project file held that could not be read.
    bool loadProjectOrDiagram(const QJsonObject &root, QStringList *dropped = nullptr);
    QString stableEntityId(EntityItem *entity);
    QStandardItem *makeTreeItem(const QString &text, const QString &kind,
                                const QString &id = QString(), bool editable = false);
    void refreshNameEditors();
    void applyModelObjectName(const QString &kind, const QString &id, const QString &name,
                              EntityItem *sourceEntity = nullptr);
    void setFilePathDisplay(const QString &path);
    // Writes only the rows whose boldness must change.
    void updateTreeCurrentMarkers();
    // "Model %1" and "Diagram %1" with the smallest number not taken.
    QString uniqueModelName();
    QString uniqueDiagramName(ModelItem *model);
    EntityItem *findEntityOnScene(const QString &id);
    void on_dockWidget_visibilityChanged(bool visible);
    void showTextStyleDialog();
    void showGroupStyleDialog();
    void on_action_Save_As_triggered();
    void on_actionAbout_velmora_triggered();
    void on_actionManage_Datasources_triggered();
    void on_actionGenerate_Script_triggered();
    void on_actionGenerate_Data_Dictionary_triggered();
    void showNotImplemented(const QString &feature);

    // Scene, view and panel reactions.
    void onSceneClicked(QPointF scenePos, Qt::MouseButton button);
    void handleRelationshipClick(QPointF scenePos, Qt::MouseButton button);
    void onEscapePressed();
    void onSceneMouseMoved(QPointF scenePos);
    void onEditAttributeShortcut();
    void onNewAttributeShortcut();
    void onEntityAdded(EntityItem *entity);
    void onEdgeAdded(EdgeItem *edge);
    void onSceneSelectionChanged();
    void onExplorerDropRequested(const QByteArray &payload, QPointF scenePos);
    void onSearchTextChanged(const QString &text);
    void onColumnRemovalRequested(const QString &columnId);
    void onColumnPresentationChanged();
    void onRelationshipConstraintRemoved(const QString &relationshipId);
    void onDetailsMappingsChanged();
    void onDialectChanged(const QString &dialect);
    void toggleTheme();

    // ---- Model and diagram synchronisation (mainwindow_sync.cpp)
    // Scene to model: boxes and lines registered with their columns and keys.
    void registerEntityInModel(EntityItem *entity);
    void syncPrimaryKeyConstraint(TableItem *table, EntityItem *entity);
    void syncUniqueConstraints(TableItem *table, EntityItem *entity);
    void registerEdgeInModel(EdgeItem *edge);
    EdgeItem *findEdgeOnScene(const QString &id);
    void watchEntityTitle(EntityItem *entity);
    // Reactions to edits on a box.
    void onEntityAttributeEdited(int index, const QString &oldName, const QString &name,
                                 const QString &type);
    void onEntityStructureChanged();
    void onEntityTitleChanged(const QString &title);
    void refreshEntityFromModel(EntityItem *entity);
    void populateEntityFromTable(EntityItem *entity, TableItem *table);
    // Rows without a column id (or with one the table lacks) take the first untaken
    // column of exactly their name; the model is not changed.
    void assignRowColumnIds(EntityItem *entity, TableItem *table);
    // Relationships of the model named after their tables follow a table's new name.
    void renameRelationshipsOfTable(ModelItem *model, const QString &tableId, const QString &oldName);
    // Columns kept in step between the open box, the table and the stored diagrams.
    void syncTableColumnsFromEntity(EntityItem *entity);
    void propagateTableColumns(ModelItem *model, TableItem *table);
    void applyModelColumns(EntityItem *entity, TableItem *table, bool revealHidden);
    // A column added to the model only reaches the stored boxes of its table.
    void spreadNewColumn(ModelItem *model, TableItem *table, ColumnItem *column);
    bool columnAppearsOnOtherDiagrams(ModelItem *model, const QString &tableId,
                                      const QString &columnId, const QString &columnName);
    void stripColumnFromDiagrams(ModelItem *model, const QString &tableId,
                                 const QString &columnId, const QString &columnName);
    // Removals of tables, views and relationships.
    void removeRelationshipFromModel(const QString &id);
    // The relationships of the model whose foreign key holds the column, or refers to it.
    QStringList relationshipsThroughColumn(ModelItem *model, TableItem *table, const QString &columnId);
    void removeEntityFromModel(const QString &id);
    void removeLiveEntity(const QString &id);
    void stripFromModelDiagrams(ModelItem *model, const QSet<QString> &entityIds,
                                const QSet<QString> &edgeIds);
    void stripItemsFromOtherDiagrams(const QStringList &entityIds, const QStringList &edgeIds);
    // Names.
    QJsonObject storedEntityJson(const QString &entityId);
    void renameStoredEntityTitle(const QString &entityId, const QString &name);
    QString uniqueObjectName(ModelItem *model, const QString &prefix);

    // Model explorer: rows, names, filter, and the selection followed both ways.
    EntityItem *selectedEntity();
    QStandardItem *findTreeItem(const QString &kind, const QString &id);
    QStandardItem *findTreeItem(QStandardItem *parent, const QString &kind, const QString &id);
    void updateTreeItemText(const QString &kind, const QString &id, const QString &text);
    void selectExplorerItem(const QString &kind, const QString &id);
    ModelItem *modelForTreeIndex(const QModelIndex &index);
    // Names typed in the name bar or the tree: trimmed, and an empty one refused.
    void applyProjectName(const QString &name);
    void applyModelName(const QString &modelId, const QString &name);
    void applyDiagramName(const QString &diagramId, const QString &name);
    void applyExplorerFilter();
    void selectAll();
    void on_actionSelect_All_triggered();
    void on_actionAdd_Column_triggered();
    // A model row chosen in the explorer: the model becomes current with a diagram of its
    // own on the scene, or with an empty scene when it has none.
    void showModelOfTreeRow(ModelItem *model);

    // ---- Adding, removing and dropping model objects (mainwindow_addremove.cpp)
    void addExplorerModel();
    void addExplorerDiagram(ModelItem *model);
    void addExplorerTable(ModelItem *model);
    void addExplorerView(ModelItem *model);
    void addExplorerRelationship(ModelItem *model);
    void removeExplorerModel(const QString &modelId);
    void removeExplorerDiagram(ModelItem *model, const QString &id);
    void removeExplorerEntity(ModelItem *model, const QString &id);
    void removeExplorerRelationship(ModelItem *model, const QString &id);
    EntityItem *placeModelEntityOnDiagram(const QString &kind, const QString &id, QPointF pos);
    void connectRelationshipsForDroppedEntities(const QStringList &placedIds);
    void applyStoredRelationshipNotation(EdgeItem *edge, RelationshipItem *rel);
    QJsonObject storedEdgeJson(const QString &edgeId);

protected:
    void changeEvent(QEvent *event) override;

private:
    // The Open action: asks for a file, reads it on a worker thread and loads it.
    void loadDiagram();
    // Writes the project (or, without one, the scene's diagram) to the scene's file,
    // asking for one when it has none.
    void saveDiagram();
    void saveDiagramAs();
    // Gives a project without a current model or diagram a new one, so what the user
    // adds to the scene has a diagram to be captured into. Loads nothing. The tree is
    // rebuilt when something was made, unless the caller rebuilds it itself.
    void ensureCurrentDiagram(bool rebuildTree = true);

    // The GUI-thread half of Open (overlay still up) and its report (overlay down).
    bool finishOpen(const QString &path, const QJsonObject &document, QStringList *dropped);
    void reportOpen(bool opened, const QStringList &dropped);
    void showNewEmptyDiagram(ModelItem *model, DiagramItem *diagram, const QString &dialect);
    bool sceneIsRebuilding() const;
    bool showDiagramDocument(const QJsonObject &document);
    bool sceneHasDiagramItems() const;
    void fitSceneToItems();
    QString askProjectSavePath();

    void setupStatusBar();
    void createZoomActions();
    void cacheActionIcons();
    void trackIconOwner(QObject *owner);
    void forgetIconOwner(QObject *owner);
    void connectDetailsPanel();
    // The id of the diagram on the scene, empty without one.
    QString currentDiagramId() const;

    Ui::MainWindow *ui = nullptr;
    ERScene *scene = nullptr;
    // Boxes are toolkit objects that the user may delete at any time.
    QPointer<EntityItem> relationshipSource;
    QPointer<EntityItem> detailsEntity;
    QGraphicsPathItem *relationshipPreview = nullptr;
    QHash<QAction *, QIcon> actionIconsLight;
    QHash<QAction *, QIcon> actionIconsDark;
    QHash<QToolButton *, QIcon> buttonIconsLight;
    QHash<QToolButton *, QIcon> buttonIconsDark;
    ProjectTreeModel *treeModel = nullptr;
    ExplorerFilterProxy *treeProxy = nullptr;
    QSet<QString> hiddenExplorerKinds;
    // (kind, id) of every explorer row to the first such row in pre-order, as a depth-first
    // search finds it; filled by the rebuild, emptied whenever rows change.
    QHash<QPair<QString, QString>, QStandardItem *> treeRowIndex;
    QFrame *fileNameFrame = nullptr;
    QLabel *fileNameLabel = nullptr;
    QLabel *projectCaptionLabel = nullptr;
    QLabel *modelCaptionLabel = nullptr;
    QLabel *dialectCaptionLabel = nullptr;
    QLabel *diagramCaptionLabel = nullptr;
    QLineEdit *projectNameEdit = nullptr;
    QLineEdit *modelNameEdit = nullptr;
    QLineEdit *diagramNameEdit = nullptr;
    QFrame *alertsFrame = nullptr;
    QToolButton *alertsButton = nullptr;
    QFrame *zoomFrame = nullptr;
    QSlider *zoomSlider = nullptr;
    QLabel *zoomLabel = nullptr;
    QToolButton *fitAllButton = nullptr;
    QToolButton *zoomResetButton = nullptr;
    QAction *fitAllAction = nullptr;
    QAction *zoomResetAction = nullptr;
    QComboBox *dialectCombo = nullptr;
    QString displayedFilePath;
    bool zoomFromSlider = false;
    bool zoomFromView = false;
    DualThemeColorScheme entityColorDefaults;
    SchemaImporter *schemaImporter = nullptr;
    BusySpinnerWidget *busySpinner = nullptr;
    ProjectItem *project = nullptr;
    ModelItem *currentModel = nullptr;
    DiagramItem *currentDiagram = nullptr;
    bool syncingSelection = false;
    bool bulkUpdate = false;
    bool updatingTree = false;
    bool syncingColumns = false;
    bool spreadNewColumns = true;
    TableDetailsController *tableDetails = nullptr;
    QSet<QObject *> trackedIconOwners;

    // ---- Diagram tools, click-to-connect and deletion (mainwindow_tools.cpp)
private slots:
    void on_actionAdd_Table_triggered(bool checked);
    void on_actionAdd_View_triggered(bool checked);
    void on_actionAdd_Relationship_triggered(bool checked);
    void on_actionAdd_Text_triggered(bool checked);
    void on_actionAdd_Group_triggered(bool checked);
    void on_actionAuto_layout_triggered();
    void removeTableColumnInteractively(ModelItem *model, TableItem *table, ColumnItem *column,
                                        EntityItem *entity, int attributeIndex);

private:
    void showRelationshipRubberBand(EntityItem *source, const QPointF &scenePos);
    void updateRelationshipRubberBand(const QPointF &scenePos);
    void clearRelationshipRubberBand();
    // The relationship mode ends as one step: view mode off, action unchecked, the dashed
    // line deleted and the source deselected and forgotten.
    void endRelationshipMode();
    void endPlacementMode(QAction *action);
    void setViewModeOf(QAction *action, bool on);
    void enterPlacementMode(QAction *action, bool checked, const QList<QAction *> &othersInOrder);

    // ---- Theme switch and style dialog launchers (mainwindow_theme.cpp)
public:
    // Where the last theme switch's time went, in milliseconds; for measurements.
    struct ThemeTimings
    {
        double paletteAndSheet = 0; // application palette and style sheet
        double repolish = 0;        // styled backgrounds and re-polish of every widget
        double sceneItems = 0;      // the diagram's items
        double rest = 0;
        double total = 0;
    };
    const ThemeTimings &lastThemeTimings() const { return themeTimings; }

private slots:
    // Opens the style dialog that fits the selection.
    void on_actionEntity_Colors_triggered();
    void showColorsDialog();
    void showEntityColorDialog();

private:
    // The sheet of the theme from the bundle; empty when it cannot be read.
    static QString applicationStyleSheet(ThemeKind kind);
    void restyleWidgets();
    void repaintSceneItems();

    ThemeTimings themeTimings;

    // ---- Adding, removing and dropping model objects (mainwindow_addremove.cpp)
    // The drop point snapped to the grid of 20, halves away from zero.
    static QPointF snapDropPoint(QPointF point);
    // Releases the selection and empties the scene without the window reacting.
    void clearSceneQuietly();
    struct DropLookups;
    // Set while a drop runs.
    DropLookups *dropLookups = nullptr;
    // Removals of many explorer rows strip the stored documents and capture the open
    // diagram once at the end.
    void stripRemoved(ModelItem *model, const QSet<QString> &entityIds, const QSet<QString> &edgeIds);
    void captureAfterRemoval();
    void flushDeferredRemovals();
    bool deferRemovalWrites = false;
    bool deferredCapture = false;
    QHash<ModelItem *, QPair<QSet<QString>, QSet<QString>>> deferredStrips;

    // ---- Import and export actions (mainwindow_importexport.cpp)
private slots:
    void on_actionImport_from_Image_triggered();
    void on_actionImport_from_Mermaid_triggered();
    void on_actionImport_from_Drawio_triggered();
    void on_actionImport_from_Database_triggered();
    void on_actionExport_to_Mermaid_triggered();
    void on_actionExport_to_Drawio_triggered();
    void on_actionExport_to_PDF_triggered();
    void on_actionExport_to_SVG_triggered();

private:
    struct DiagramImportJob;
    using DiagramParser = std::function<QJsonObject(const QString &path, QString *error,
                                                    DiagramImportJob *job)>;
    using DiagramWriter = std::function<bool(const QJsonObject &document, const QString &path,
                                             QString *error)>;
    // Mermaid and draw.io: the parser on a worker thread, the load on the GUI thread.
    void runDiagramImport(const QString &caption, const QString &filter, const QString &title,
                          const QString &fixedSentence, DiagramParser parse);
    void runDiagramExport(const QString &caption, const QString &filter, const QString &title,
                          const QString &fixedSentence, DiagramWriter write);
    void runRenderExport(const QString &caption, const QString &filter, const QString &title,
                         const QString &failure, bool pdf);
    // Loads the parsed document and makes it a new unsaved project; false when the scene
    // refused the load.
    bool finishDiagramImport(const QJsonObject &document);
    bool importImageIntoProject(const QString &path);
    void adoptImportedSchema(const QJsonObject &erJson, const QJsonObject &fullSchema);
    void failSchemaImport(const QString &message);
    bool renderSceneToPdf(QGraphicsScene *scene, const QString &path);
    bool renderSceneToSvg(QGraphicsScene *scene, const QString &path);

    // ---- Unsaved changes (mainwindow_unsaved.cpp)
public:
    // Whether the project differs from how it was last opened, saved or created.
    bool hasUnsavedChanges() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void scheduleUnsavedChangesCheck();
    void checkForUnsavedChanges();

private:
    void setupUnsavedChangesTracking();
    QJsonObject projectState() const;
    // The project as it is now is the one the user has not changed.
    void markProjectUnchanged();
    // Before the project is replaced or closed: asks whether to save it when it has
    // changes. True when the action may go on (saved, discarded or nothing to save).
    bool confirmProjectClose(const QString &title);
    // Saves, asking for a file when there is none, and returns once the file is written;
    // false when it was not (cancelled or failed).
    bool saveAndWait();
    // Starts a save; finished gets whether the file was written, once the overlay is down.
    // False when none was started (busy, or no file chosen).
    bool startSave(const std::function<void(bool written)> &finished = {});

    QJsonObject unchangedState;
    QTimer *modifiedCheckTimer = nullptr;
    bool settlingUnchangedState = false;
    // Exit has asked already; closing the window asks no more.
    bool closeConfirmed = false;

    friend class MainWindowProbe;
};
