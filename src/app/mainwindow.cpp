#include "mainwindow.h"
#include "ui_MainWindow.h"

#include "aboutdialog.h"
#include "busyspinnerwidget.h"
#include "columnitem.h"
#include "diagramitem.h"
#include "documentitem.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "erview.h"
#include "explorerkinds.h"
#include "flagguard.h"
#include "mappingitem.h"
#include "modelitem.h"
#include "projectitem.h"
#include "projecttreemodel.h"
#include "relationshipitem.h"
#include "sequenceitem.h"
#include "tabledetailscontroller.h"
#include "tableitem.h"
#include "themehelpers.h"
#include "uiprompts.h"
#include "viewitem.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsPathItem>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSlider>

#include <cmath>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    ui = new Ui::MainWindow;
    ui->setupUi(this);

    busySpinner = new BusySpinnerWidget(this);
    initializeTreeModel();

    connect(ui->view, &ERView::sceneClicked, this, &MainWindow::onSceneClicked);
    connect(ui->view, &ERView::sceneClicked, this, &MainWindow::handleRelationshipClick);
    connect(ui->view, &ERView::escapePressed, this, &MainWindow::onEscapePressed);
    ui->view->setViewportUpdateMode(QGraphicsView::FullViewportUpdate);

    auto *themeShortcut = new QAction(ui->view);
    themeShortcut->setShortcut(QKeySequence(QStringLiteral("Ctrl+T")));
    ui->view->addAction(themeShortcut);
    connect(themeShortcut, &QAction::triggered, this, &MainWindow::toggleTheme);

    scene = new ERScene(nullptr);
    connect(scene, &ERScene::textStyleDialogRequested, this, &MainWindow::showTextStyleDialog);
    connect(scene, &ERScene::groupStyleDialogRequested, this, &MainWindow::showGroupStyleDialog);
    connect(scene, &ERScene::entityAdded, this, &MainWindow::onEntityAdded);
    connect(scene, &ERScene::edgeAdded, this, &MainWindow::onEdgeAdded);
    ui->view->setScene(scene);
    connect(ui->view, &ERView::explorerDropRequested, this, &MainWindow::onExplorerDropRequested);
    connect(ui->view, &ERView::sceneMouseMoved, this, &MainWindow::onSceneMouseMoved);

    createZoomActions();
    connect(scene, &QGraphicsScene::selectionChanged, this, &MainWindow::onSceneSelectionChanged);

    auto *editAttribute = new QAction(this);
    editAttribute->setShortcut(QKeySequence(QStringLiteral("F2")));
    addAction(editAttribute);
    connect(editAttribute, &QAction::triggered, this, &MainWindow::onEditAttributeShortcut);
    auto *newAttribute = new QAction(this);
    newAttribute->setShortcut(QKeySequence(QStringLiteral("Ctrl+Return")));
    addAction(newAttribute);
    connect(newAttribute, &QAction::triggered, this, &MainWindow::onNewAttributeShortcut);

    auto *deleteAction = new QAction(this);
    deleteAction->setShortcut(QKeySequence::Delete);
    deleteAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(deleteAction);
    auto *backspaceAction = new QAction(this);
    backspaceAction->setShortcut(QKeySequence(Qt::Key_Backspace));
    backspaceAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(backspaceAction);
    connect(deleteAction, &QAction::triggered, this, &MainWindow::deleteSelection);
    connect(backspaceAction, &QAction::triggered, this, &MainWindow::deleteSelection);

    ui->dockWidget->show();
    ui->actionShow_Properties->setChecked(true);

    if (ui->toolBar) {
        ui->toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        if (ui->actionToggle_Theme)
            insertThemeSpacer(ui->toolBar, ui->actionToggle_Theme);
    }

    setupDiagramToolButtons();
    cacheActionIcons();

    // The window opens in the theme opposite to the desktop's.
    ThemeManager *tm = ThemeManager::instance();
    tm->setTheme(tm->kind() == ThemeKind::Light ? ThemeKind::Dark : ThemeKind::Light);
    adjustThemeColors(*tm);

    setupStatusBar();
    applyThemedToolButtonIcons(tm->kind());

    tableDetails = new TableDetailsController(ui, this);
    tableDetails->setEntityLookup([this](const QString &id) { return findEntityOnScene(id); });
    connectDetailsPanel();

    connect(dialectCombo, &QComboBox::currentTextChanged, this, &MainWindow::onDialectChanged);
    scene->dialect = dialectCombo->currentText();

    createEmptyProject();
    rebuildProjectTree();
    setupUnsavedChangesTracking();
    markProjectUnchanged();
}

MainWindow::~MainWindow()
{
    // A running worker may still be writing a file: wait for it while the window is whole.
    delete busySpinner;
    busySpinner = nullptr;

    if (relationshipPreview) {
        if (relationshipPreview->scene())
            relationshipPreview->scene()->removeItem(relationshipPreview);
        delete relationshipPreview;
        relationshipPreview = nullptr;
    }

    // The details controller drives widgets through the form: it goes before the form.
    delete tableDetails;
    tableDetails = nullptr;

    delete ui;
    ui = nullptr;

    // No handler may run on a half-destroyed window: cut every signal that still reaches
    // it before the scene and the child widgets go.
    for (QObject *child : findChildren<QObject *>())
        child->disconnect(this);
    if (scene) {
        scene->disconnect(this);
        for (QGraphicsItem *item : scene->items()) {
            if (QGraphicsObject *object = item->toGraphicsObject())
                object->disconnect(this);
        }
        delete scene;
        scene = nullptr;
    }
}

QWidget *MainWindow::insertThemeSpacer(QToolBar *toolBar, QAction *toggle)
{
    if (!toolBar || !toggle)
        return nullptr;
    const QList<QAction *> entries = toolBar->actions();
    const int index = entries.indexOf(toggle);
    if (index < 0)
        return nullptr;
    auto *spacer = new QWidget(toolBar);
    spacer->setObjectName(QStringLiteral("toolBarThemeSpacer"));
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    spacer->setMinimumWidth(0);
    // Keep the separator in front of the toggle next to it.
    QAction *before = (index > 0 && entries.at(index - 1)->isSeparator()) ? entries.at(index - 1) : toggle;
    toolBar->insertWidget(before, spacer);
    return spacer;
}

void MainWindow::createZoomActions()
{
    auto *zoomInAction = new QAction(this);
    zoomInAction->setShortcut(QKeySequence::ZoomIn);
    auto *zoomOutAction = new QAction(this);
    zoomOutAction->setShortcut(QKeySequence::ZoomOut);
    zoomResetAction = new QAction(this);
    zoomResetAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+0")));
    fitAllAction = new QAction(this);
    fitAllAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+9")));

    fitAllAction->setIcon(QIcon(QStringLiteral(":/images/resources/images/fit_screen.png")));
    fitAllAction->setText(tr("Fit all"));
    fitAllAction->setToolTip(tr("Fit all (Ctrl+9)"));
    zoomResetAction->setText(tr("1:1"));
    zoomResetAction->setToolTip(tr("Reset zoom (Ctrl+0)"));

    const QList<QAction *> zoomActions{zoomInAction, zoomOutAction, zoomResetAction, fitAllAction};
    for (QAction *action : zoomActions) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
    for (QAction *action : zoomActions)
        ui->view->addAction(action);

    connect(zoomInAction, &QAction::triggered, ui->view, &ERView::zoomIn);
    connect(zoomOutAction, &QAction::triggered, ui->view, &ERView::zoomOut);
    connect(zoomResetAction, &QAction::triggered, ui->view, &ERView::resetZoom);
    connect(fitAllAction, &QAction::triggered, ui->view, &ERView::fitAll);
    connect(ui->view, &ERView::zoomChanged, this, &MainWindow::sliderSetZoom);
}

void MainWindow::connectDetailsPanel()
{
    connect(tableDetails, &TableDetailsController::objectRenameRequested, this,
            [this](const QString &kind, const QString &id, const QString &name) {
                applyModelObjectName(kind, id, name, findEntityOnScene(id));
            });
    connect(tableDetails, &TableDetailsController::mappingsChanged, this,
            &MainWindow::onDetailsMappingsChanged);
    connect(tableDetails, &TableDetailsController::columnRemoved, this,
            &MainWindow::forgetColumnReferences);
    connect(tableDetails, &TableDetailsController::columnRemovalRequested, this,
            &MainWindow::onColumnRemovalRequested);
    connect(tableDetails, &TableDetailsController::columnPresentationChanged, this,
            &MainWindow::onColumnPresentationChanged);
    connect(tableDetails, &TableDetailsController::relationshipConstraintRemoved, this,
            &MainWindow::onRelationshipConstraintRemoved);
}

void MainWindow::setupDiagramToolButtons()
{
    QSize iconSize(16, 16);
    if (ui->toolBar && ui->toolBar->iconSize().width() > 0 && ui->toolBar->iconSize().height() > 0)
        iconSize = ui->toolBar->iconSize();
    const QList<QPair<QToolButton *, QAction *>> pairs{
        {ui->toolButtonAddTable, ui->actionAdd_Table},
        {ui->toolButtonAddView, ui->actionAdd_View},
        {ui->toolButtonAddRelationship, ui->actionAdd_Relationship},
        {ui->toolButtonAddColumn, ui->actionAdd_Column},
        {ui->toolButtonAddText, ui->actionAdd_Text},
        {ui->toolButtonAddGroup, ui->actionAdd_Group},
        {ui->toolButtonEntityColors, ui->actionEntity_Colors},
    };
    for (const auto &pair : pairs) {
        if (!pair.first || !pair.second)
            continue;
        pair.first->setDefaultAction(pair.second);
        pair.first->setToolButtonStyle(Qt::ToolButtonIconOnly);
        pair.first->setAutoRaise(true);
        pair.first->setFocusPolicy(Qt::NoFocus);
        pair.first->setIconSize(iconSize);
    }
}

void MainWindow::setupStatusBar()
{
    QDockWidget *nameBar = ui->dockWidgetPrjModDiag;
    auto *emptyTitle = new QWidget(nameBar);
    emptyTitle->setFixedHeight(0);
    nameBar->setTitleBarWidget(emptyTitle);
    nameBar->setFeatures(QDockWidget::NoDockWidgetFeatures);
    nameBar->setAllowedAreas(Qt::TopDockWidgetArea);
    nameBar->setFloating(false);
    nameBar->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    nameBar->show();

    projectCaptionLabel = ui->labelProjectCaption;
    modelCaptionLabel = ui->labelModelCaption;
    dialectCaptionLabel = ui->labelDialectCaption;
    diagramCaptionLabel = ui->labelDiagramCaption;
    projectNameEdit = ui->editProjectName;
    modelNameEdit = ui->editModelName;
    diagramNameEdit = ui->editDiagramName;
    dialectCombo = ui->comboBoxDatabase;
    connect(projectNameEdit, &QLineEdit::editingFinished, this, &MainWindow::onProjectNameEditingFinished);
    connect(modelNameEdit, &QLineEdit::editingFinished, this, &MainWindow::onModelNameEditingFinished);
    connect(diagramNameEdit, &QLineEdit::editingFinished, this, &MainWindow::onDiagramNameEditingFinished);

    QStatusBar *bar = ui->statusbar;

    fileNameFrame = new QFrame(bar);
    fileNameFrame->setObjectName(QStringLiteral("filenameFrame"));
    auto *fileLayout = new QHBoxLayout(fileNameFrame);
    fileLayout->setContentsMargins(5, 2, 5, 2);
    fileNameLabel = new QLabel(fileNameFrame);
    fileNameLabel->setObjectName(QStringLiteral("labelFileName"));
    // A chosen file name is never markup.
    fileNameLabel->setTextFormat(Qt::PlainText);
    fileNameLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fileNameLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    fileNameLabel->setMinimumWidth(80);
    fileNameLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fileLayout->addWidget(fileNameLabel);
    bar->addWidget(fileNameFrame, 1);
    setFilePathDisplay(QString());

    alertsFrame = new QFrame(bar);
    alertsFrame->setObjectName(QStringLiteral("alertsFrame"));
    auto *alertsLayout = new QHBoxLayout(alertsFrame);
    alertsLayout->setContentsMargins(5, 2, 5, 2);
    alertsButton = new QToolButton(alertsFrame);
    alertsButton->setObjectName(QStringLiteral("buttonAlerts"));
    alertsButton->setAutoRaise(true);
    alertsButton->setIcon(QIcon(QStringLiteral(":/images/resources/images/notification.png")));
    alertsButton->setEnabled(false);
    alertsLayout->addWidget(alertsButton);
    bar->addPermanentWidget(alertsFrame, 0);

    zoomFrame = new QFrame(bar);
    zoomFrame->setObjectName(QStringLiteral("zoomFrame"));
    zoomFrame->setMinimumWidth(248);
    auto *zoomLayout = new QHBoxLayout(zoomFrame);
    zoomLayout->setContentsMargins(5, 2, 5, 2);
    zoomLayout->setSpacing(4);

    fitAllButton = new QToolButton(zoomFrame);
    fitAllButton->setObjectName(QStringLiteral("buttonFitAll"));
    fitAllButton->setAutoRaise(true);
    fitAllButton->setIconSize(QSize(16, 16));
    fitAllButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    if (fitAllAction) {
        fitAllButton->setDefaultAction(fitAllAction);
    } else {
        fitAllButton->setIcon(QIcon(QStringLiteral(":/images/resources/images/fit_screen.png")));
        fitAllButton->setToolTip(tr("Fit all (Ctrl+9)"));
        connect(fitAllButton, &QToolButton::clicked, ui->view, &ERView::fitAll);
    }
    zoomLayout->addWidget(fitAllButton);

    zoomResetButton = new QToolButton(zoomFrame);
    zoomResetButton->setObjectName(QStringLiteral("buttonZoomReset"));
    zoomResetButton->setAutoRaise(true);
    zoomResetButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    if (zoomResetAction) {
        zoomResetButton->setDefaultAction(zoomResetAction);
    } else {
        zoomResetButton->setText(tr("1:1"));
        zoomResetButton->setToolTip(tr("Reset zoom (Ctrl+0)"));
        connect(zoomResetButton, &QToolButton::clicked, ui->view, &ERView::resetZoom);
    }
    zoomLayout->addWidget(zoomResetButton);

    zoomSlider = new QSlider(Qt::Horizontal, zoomFrame);
    zoomSlider->setRange(10, 400);
    zoomSlider->setValue(100);
    zoomSlider->setSingleStep(10);
    zoomSlider->setPageStep(10);
    zoomSlider->setTickInterval(10);
    zoomSlider->setMinimumWidth(90);
    zoomSlider->setToolTip(tr("Zoom %1%").arg(100));
    zoomLayout->addWidget(zoomSlider, 1);

    zoomLabel = new QLabel(tr("%1%").arg(100), zoomFrame);
    zoomLabel->setObjectName(QStringLiteral("labelZoomPercent"));
    zoomLabel->setMinimumWidth(40);
    zoomLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    zoomLayout->addWidget(zoomLabel);
    bar->addPermanentWidget(zoomFrame, 0);

    connect(zoomSlider, &QSlider::valueChanged, this, &MainWindow::setViewZoom);
    bar->show();
}

void MainWindow::setFilePathDisplay(const QString &path)
{
    displayedFilePath = path;
    const QString text = path.isEmpty() ? tr("No file") : QFileInfo(path).fileName();
    const QString tip = path.isEmpty() ? tr("No file") : path;
    if (fileNameLabel) {
        fileNameLabel->setText(text);
        fileNameLabel->setToolTip(tip);
    }
    if (fileNameFrame)
        fileNameFrame->setToolTip(tip);
}

void MainWindow::sliderSetZoom(double value)
{
    const int percent = int(std::lround(value * 100.0));
    if (zoomLabel)
        zoomLabel->setText(tr("%1%").arg(percent));
    if (!zoomSlider)
        return;
    zoomSlider->setToolTip(tr("Zoom %1%").arg(percent));
    if (!zoomFromSlider) {
        FlagGuard guard(zoomFromView);
        zoomSlider->setValue(percent);
    }
}

void MainWindow::setViewZoom(int value)
{
    // While the slider only follows the view, the label keeps the view's own percentage,
    // which may lie outside the slider's range after a fit.
    if (zoomFromView)
        return;
    if (zoomLabel)
        zoomLabel->setText(tr("%1%").arg(value));
    if (zoomSlider)
        zoomSlider->setToolTip(tr("Zoom %1%").arg(value));
    FlagGuard guard(zoomFromSlider);
    ui->view->setZoom(value / 100.0);
}

void MainWindow::on_actionShow_Properties_triggered()
{
    if (ui->dockWidget->isVisible()) {
        ui->dockWidget->hide();
        ui->actionShow_Properties->setText(tr("Show Sidebar"));
    } else {
        ui->dockWidget->show();
        ui->actionShow_Properties->setText(tr("Hide Sidebar"));
    }
}

void MainWindow::on_dockWidget_visibilityChanged(bool visible)
{
    ui->actionShow_Properties->setChecked(visible);
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
}

void MainWindow::on_actionAbout_velmora_triggered()
{
    auto *dialog = new AboutDialog(this);
    dialog->show();
}

void MainWindow::on_actionManage_Datasources_triggered()
{
    showNotImplemented(tr("Manage Data Sources"));
}

void MainWindow::on_actionGenerate_Script_triggered()
{
    showNotImplemented(tr("Generate Script"));
}

void MainWindow::on_actionGenerate_Data_Dictionary_triggered()
{
    showNotImplemented(tr("Generate Data Dictionary"));
}

void MainWindow::showNotImplemented(const QString &feature)
{
    UiPrompts::current().information(this, feature, tr("This functionality is not yet implemented."));
}

// ---- Explorer tree, project and names

void MainWindow::initializeTreeModel()
{
    treeModel = new ProjectTreeModel(this);
    treeModel->setColumnCount(1);
    treeProxy = new ExplorerFilterProxy(this);
    treeProxy->setRecursiveFilteringEnabled(true);
    treeProxy->setDynamicSortFilter(true);
    treeProxy->setSourceModel(treeModel);

    QTreeView *tree = ui->treeViewProject;
    tree->setModel(treeProxy);
    tree->setItemDelegate(new ProjectTreeItemDelegate(tree));
    tree->setUniformRowHeights(true);
    tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree->setSortingEnabled(false);
    tree->setDragEnabled(true);
    tree->setAcceptDrops(false);
    tree->setDropIndicatorShown(false);
    tree->setDragDropMode(QAbstractItemView::DragOnly);
    tree->setDefaultDropAction(Qt::CopyAction);
    tree->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

    connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::onProjectTreeSelectionChanged);
    connect(treeModel, &QStandardItemModel::itemChanged, this, &MainWindow::onProjectTreeItemChanged);
    // The row index holds item pointers: it goes as soon as rows come or go.
    const auto dropRowIndex = [this] { treeRowIndex.clear(); };
    connect(treeModel, &QAbstractItemModel::modelAboutToBeReset, this, dropRowIndex);
    connect(treeModel, &QAbstractItemModel::rowsAboutToBeRemoved, this, dropRowIndex);
    connect(treeModel, &QAbstractItemModel::rowsInserted, this, dropRowIndex);
    connect(ui->lineEditSearch, &QLineEdit::textChanged, this, &MainWindow::onSearchTextChanged);
    connect(ui->toolButtonFilter, &QToolButton::clicked, this, &MainWindow::showExplorerFilterPopup);
    connect(ui->toolButtonAdd, &QToolButton::clicked, this, &MainWindow::showExplorerAddMenu);
    connect(ui->toolButtonDel, &QToolButton::clicked, this, &MainWindow::removeExplorerSelection);
    ui->toolButtonFilter->setCheckable(true);
}

void MainWindow::createEmptyProject()
{
    if (project) {
        project->deleteLater();
        project = nullptr;
    }
    currentModel = nullptr;
    currentDiagram = nullptr;
    project = new ProjectItem(this);
    project->setName(QStringLiteral("Untitled Project"));
    currentModel = project->addModel();
    currentModel->setName(QStringLiteral("Model 1"));
    currentModel->setDialect(ui->comboBoxDatabase ? ui->comboBoxDatabase->currentText()
                                                  : QStringLiteral("Conceptual ER"));
    currentDiagram = currentModel->addDiagram();
    currentDiagram->setName(QStringLiteral("Diagram 1"));
}

QStandardItem *MainWindow::makeTreeItem(const QString &text, const QString &kind, const QString &id,
                                        bool editable)
{
    auto *item = new QStandardItem(text);
    item->setEditable(editable);
    item->setDragEnabled(kind == ExplorerKind::Table || kind == ExplorerKind::View);
    item->setData(kind, ExplorerKindRole);
    item->setData(id, ExplorerIdRole);
    return item;
}

void MainWindow::refreshNameEditors()
{
    if (!projectNameEdit || !modelNameEdit || !diagramNameEdit)
        return;
    const QSignalBlocker blockProject(projectNameEdit);
    const QSignalBlocker blockModel(modelNameEdit);
    const QSignalBlocker blockDiagram(diagramNameEdit);
    projectNameEdit->setText(project ? project->name() : QString());
    modelNameEdit->setText(currentModel ? currentModel->name() : QString());
    modelNameEdit->setEnabled(currentModel != nullptr);
    diagramNameEdit->setText(currentDiagram ? currentDiagram->name() : QString());
    diagramNameEdit->setEnabled(currentDiagram != nullptr);
    if (dialectCombo) {
        const QSignalBlocker blockCombo(dialectCombo);
        dialectCombo->setEnabled(currentModel != nullptr);
        if (currentModel && !currentModel->dialect().isEmpty())
            dialectCombo->setCurrentText(currentModel->dialect());
    }
}

EntityItem *MainWindow::findEntityOnScene(const QString &id)
{
    if (!scene || id.isEmpty())
        return nullptr;
    const QList<QGraphicsItem *> items = scene->items();
    for (QGraphicsItem *item : items) {
        auto *entity = qgraphicsitem_cast<EntityItem *>(item);
        if (entity && entity->id() == id)
            return entity;
    }
    return nullptr;
}

void MainWindow::onDialectChanged(const QString &dialect)
{
    if (scene)
        scene->dialect = dialect;
    if (bulkUpdate)
        return;
    if (currentModel)
        currentModel->setDialect(dialect);
    rebuildProjectTree();
}

void MainWindow::onDetailsMappingsChanged()
{
    if (tableDetails && tableDetails->isRefreshing())
        return;
    rebuildProjectTree();
}

// The complete item types above let the meta-object describe the slots' pointer arguments.
#include "moc_mainwindow.cpp"
