#pragma once

#include "entitycolorscheme.h"
#include "thememanager.h"

#include <QHash>
#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <QPointF>
#include <QSet>

QT_BEGIN_NAMESPACE
class QAction;
class QComboBox;
class QFrame;
class QGraphicsPathItem;
class QLabel;
class QLineEdit;
class QSlider;
class QStandardItem;
class QToolButton;
class QToolBar;
QT_END_NAMESPACE

class BusySpinnerWidget;
class DiagramItem;
class EdgeItem;
class EntityItem;
class ERScene;
class ExplorerFilterProxy;
class ModelItem;
class ProjectItem;
class ProjectTreeModel;
class SchemaImporter;
class TableDetailsController;

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
    void on_action_Exit_triggered();
    void on_actionShow_Properties_triggered();
    void deleteSelection();
    void applyTableTheme(ThemeKind kind);
    void adjustThemeColors(ThemeManager &tm);
    void ensureToolButtonIconCache();
    void applyThemedToolButtonIcons(ThemeKind kind);
    void setupDiagramToolButtons();
    void on_actionToggle_Theme_triggered();
    void initializeTreeModel();
    void createEmptyProject();
    void rebuildProjectTree();
    void onProjectTreeSelectionChanged();
    void onProjectTreeItemChanged(QStandardItem *item);
    void showExplorerAddMenu();
    void removeExplorerSelection();
    void showExplorerFilterPopup();
    void onProjectNameEditingFinished();
    void onModelNameEditingFinished();
    void onDiagramNameEditingFinished();
    void forgetColumnReferences(const QString &columnId);
    QStandardItem *makeTreeItem(const QString &text, const QString &kind,
                                const QString &id = QString(), bool editable = false);
    void refreshNameEditors();
    void applyModelObjectName(const QString &kind, const QString &id, const QString &name,
                              EntityItem *sourceEntity = nullptr);
    void setFilePathDisplay(const QString &path);
    EntityItem *findEntityOnScene(const QString &id);
    void on_dockWidget_visibilityChanged(bool visible);
    void showTextStyleDialog();
    void showGroupStyleDialog();
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

protected:
    void changeEvent(QEvent *event) override;

private:
    void setupStatusBar();
    void createZoomActions();
    void cacheActionIcons();
    void trackIconOwner(QObject *owner);
    void forgetIconOwner(QObject *owner);
    void connectDetailsPanel();

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

    friend class MainWindowProbe;
};
