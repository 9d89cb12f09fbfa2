// The project life cycle of the main window: new project, model and diagram, switching
// diagrams, Open and Save, and the operations that tie the open scene to the project.
#include "mainwindow.h"
#include "ui_MainWindow.h"

#include "applog.h"
#include "busyspinnerwidget.h"
#include "diagramitem.h"
#include "diagramitemtypes.h"
#include "entityitem.h"
#include "erscene.h"
#include "erview.h"
#include "explorerkinds.h"
#include "flagguard.h"
#include "jsontext.h"
#include "modelitem.h"
#include "projectfiles.h"
#include "projectitem.h"
#include "projecttreemodel.h"
#include "tabledetailscontroller.h"
#include "uiprompts.h"

#include <QComboBox>
#include <QDebug>
#include <QSet>
#include <QSharedPointer>
#include <QStandardItemModel>

#include <exception>

namespace {

const QString DefaultDialect = QStringLiteral("Conceptual ER");
// Most lines of what a project file lost that the Open warning lists.
constexpr int MaxDroppedLines = 20;

QString projectFileFilter()
{
    return MainWindow::tr("velmora Project (*.json)");
}

// pattern's %1 filled with the smallest number from 1 whose name is not taken.
QString firstFreeName(const QString &pattern, const QSet<QString> &taken)
{
    for (int n = 1;; ++n) {
        const QString name = pattern.arg(n);
        if (!taken.contains(name))
            return name;
    }
}

template<typename Item>
QSet<QString> nonEmptyNames(const QList<Item *> &items)
{
    QSet<QString> names;
    for (const Item *item : items) {
        if (item && !item->name().isEmpty())
            names.insert(item->name());
    }
    return names;
}

// The open diagram's dialect on the scene and in the chooser, without the chooser's
// handler, which would write it into the current model.
void showDialectQuietly(ERScene *scene, QComboBox *chooser, const QString &dialect)
{
    scene->dialect = dialect;
    if (chooser) {
        const QSignalBlocker blocker(chooser);
        chooser->setCurrentText(dialect);
    }
}

// Shared between the worker and the GUI-thread steps of one Open.
struct OpenJob
{
    QJsonObject document;
    bool read = false;
    bool opened = false;
    QStringList dropped;
};

// Shared between the worker and the GUI-thread steps of one Save.
struct SaveJob
{
    QByteArray bytes;
    bool written = false;
};

} // namespace

// ---- New project, model and diagram

void MainWindow::on_action_New_triggered()
{
    if (!scene || !confirmProjectClose(tr("New Project")))
        return;
    {
        const FlagGuard bulk(bulkUpdate);
        releaseSceneSelection();
        scene->clearScene();
        scene->setFilePath(QString());
        scene->dialect = DefaultDialect;
        setFilePathDisplay(QString());
        if (dialectCombo)
            dialectCombo->setCurrentIndex(0);
        createEmptyProject();
        rebuildProjectTree();
    }
    refreshTableDetails();
    markProjectUnchanged();
    ui->view->setFocus();
}

void MainWindow::on_action_New_Model_triggered()
{
    if (!scene)
        return;
    if (!project) {
        project = new ProjectItem(this);
        project->setName(QStringLiteral("Untitled Project"));
    } else {
        captureCurrentDiagram();
    }
    ModelItem *model = project->addModel();
    model->setName(uniqueModelName());
    model->setDialect(DefaultDialect);
    DiagramItem *diagram = model->addDiagram();
    diagram->setName(uniqueDiagramName(model));
    showNewEmptyDiagram(model, diagram, DefaultDialect);
}

void MainWindow::on_action_New_Diagram_triggered()
{
    if (!scene)
        return;
    if (!project) {
        createEmptyProject();
    } else if (!currentModel) {
        const QList<ModelItem *> models = project->models();
        currentModel = models.isEmpty() ? project->addModel() : models.first();
        if (currentModel->name().isEmpty())
            currentModel->setName(QStringLiteral("Model 1"));
    }
    captureCurrentDiagram();
    const QString name = uniqueDiagramName(currentModel);
    DiagramItem *diagram = currentModel->addDiagram();
    diagram->setName(name);
    // The scene keeps its dialect: the new diagram continues the one before.
    showNewEmptyDiagram(currentModel, diagram, QString());
}

// Empties the scene for a diagram just added, stores the empty document in it and makes
// it current. A non-empty dialect becomes the scene's and the chooser's.
void MainWindow::showNewEmptyDiagram(ModelItem *model, DiagramItem *diagram, const QString &dialect)
{
    {
        const FlagGuard bulk(bulkUpdate);
        releaseSceneSelection();
        scene->clearScene();
        if (!dialect.isEmpty())
            showDialectQuietly(scene, dialectCombo, dialect);
        diagram->setSceneJson(scene->toJson());
        currentDiagram = diagram;
        currentModel = model;
        rebuildProjectTree();
    }
    refreshTableDetails();
    ui->view->setFocus();
}

void MainWindow::ensureCurrentDiagram(bool rebuildTree)
{
    if (!project)
        return;
    bool made = false;
    if (!currentModel) {
        currentModel = project->addModel();
        currentModel->setName(uniqueModelName());
        currentModel->setDialect(dialectCombo ? dialectCombo->currentText() : DefaultDialect);
        made = true;
    }
    if (!currentDiagram) {
        const QString name = uniqueDiagramName(currentModel);
        currentDiagram = currentModel->addDiagram();
        currentDiagram->setName(name);
        made = true;
    }
    if (made && rebuildTree)
        rebuildProjectTree();
}

QString MainWindow::uniqueModelName()
{
    return firstFreeName(QStringLiteral("Model %1"),
                         project ? nonEmptyNames(project->models()) : QSet<QString>());
}

QString MainWindow::uniqueDiagramName(ModelItem *model)
{
    return firstFreeName(QStringLiteral("Diagram %1"),
                         model ? nonEmptyNames(model->diagrams()) : QSet<QString>());
}

// ---- The open scene and the project

QString MainWindow::stableEntityId(EntityItem *entity)
{
    // The box makes and keeps a UUID the first time it is asked.
    return entity ? entity->id() : QString();
}

void MainWindow::releaseSceneSelection()
{
    // A half-drawn relationship must not outlive the boxes the scene is about to drop.
    endRelationshipMode();
    detailsEntity = nullptr;
    if (tableDetails)
        tableDetails->clear();
    if (scene) {
        const FlagGuard syncing(syncingSelection);
        scene->resetTransientStateSilently();
    }
}

bool MainWindow::sceneHasDiagramItems() const
{
    if (!scene)
        return false;
    const QList<QGraphicsItem *> all = scene->items();
    for (const QGraphicsItem *item : all) {
        switch (item->type()) {
        case DiagramItemType::EntityItem:
        case DiagramItemType::EdgeItem:
        case DiagramItemType::TextItem:
        case DiagramItemType::GroupItem:
            return true;
        default:
            break;
        }
    }
    return false;
}

void MainWindow::captureCurrentDiagram()
{
    if (!scene)
        return;
    if (!currentDiagram && sceneHasDiagramItems())
        ensureCurrentDiagram();
    if (currentDiagram)
        currentDiagram->setSceneJson(scene->toJson());
}

void MainWindow::updateTreeCurrentMarkers()
{
    if (!treeModel)
        return;
    const FlagGuard updating(updatingTree);
    QStandardItem *root = treeModel->invisibleRootItem();
    QList<QStandardItem *> pending{root};
    while (!pending.isEmpty()) {
        QStandardItem *item = pending.takeLast();
        for (int row = item->rowCount() - 1; row >= 0; --row) {
            if (QStandardItem *child = item->child(row))
                pending.append(child);
        }
        if (item == root)
            continue;
        const QString kind = item->data(ExplorerKindRole).toString();
        const QString id = item->data(ExplorerIdRole).toString();
        const bool current = (kind == ExplorerKind::Model && currentModel && id == currentModel->id())
            || (kind == ExplorerKind::Diagram && currentDiagram && id == currentDiagram->id());
        ProjectTreeModel::setRowBold(item, current);
    }
}

// A scene in the middle of a load, layout or clear can neither be captured (it is half
// built) nor take another document.
bool MainWindow::sceneIsRebuilding() const
{
    return scene && (scene->isStructuralChangeInProgress() || scene->bulkOperation);
}

// Shows document on the scene, or an empty scene for an empty document. False when the
// scene refuses because it is being rebuilt.
bool MainWindow::showDiagramDocument(const QJsonObject &document)
{
    if (!document.isEmpty())
        return scene->loadFromJson(document);
    if (sceneIsRebuilding())
        return false;
    scene->clearScene();
    return true;
}

// The scene rectangle becomes the items' bounds with a margin of 100, and the view fits it.
void MainWindow::fitSceneToItems()
{
    const QRectF bounds = scene->itemsBoundingRect().adjusted(-100, -100, 100, 100);
    scene->setSceneRect(bounds);
    ui->view->fitRect(bounds);
}

bool MainWindow::loadDiagramItem(DiagramItem *diagram)
{
    if (!diagram || !scene || sceneIsRebuilding())
        return false;
    // Reloading the current diagram drops what was not captured: it is a revert.
    if (currentDiagram && currentDiagram != diagram)
        captureCurrentDiagram();
    {
        const FlagGuard bulk(bulkUpdate);
        releaseSceneSelection();
        ModelItem *const previousModel = currentModel;
        DiagramItem *const previousDiagram = currentDiagram;
        currentDiagram = diagram;
        // The stored model id may name another model; the diagram's owner is the truth.
        if (auto *owner = qobject_cast<ModelItem *>(diagram->parent()))
            currentModel = owner;
        if (!showDiagramDocument(diagram->sceneJson())) {
            currentDiagram = previousDiagram;
            currentModel = previousModel;
            return false;
        }
        if (currentModel && !currentModel->dialect().isEmpty())
            showDialectQuietly(scene, dialectCombo, currentModel->dialect());
        const QRectF items = scene->itemsBoundingRect();
        if (items.width() != 0 || items.height() != 0)
            fitSceneToItems();
    }
    updateTreeCurrentMarkers();
    refreshNameEditors();
    refreshTableDetails();
    return true;
}

// ---- Open

void MainWindow::on_action_Open_triggered()
{
    loadDiagram();
}

void MainWindow::loadDiagram()
{
    if (busySpinner->isBusy() || !confirmProjectClose(tr("Open Project")))
        return;
    const QString path = UiPrompts::current().getOpenFileName(this, tr("Open Project"), QString(),
                                                              projectFileFilter());
    if (path.isEmpty())
        return;
    auto job = QSharedPointer<OpenJob>::create();
    busySpinner->runInThread(
        [path, job] { job->read = projectfiles::readOpenableDocument(path, &job->document); },
        [this, path, job] {
            job->opened = job->read && finishOpen(path, job->document, &job->dropped);
            job->document = QJsonObject();
        },
        [this, job] { reportOpen(job->opened, job->dropped); });
}

bool MainWindow::finishOpen(const QString &path, const QJsonObject &document, QStringList *dropped)
{
    if (!loadProjectOrDiagram(document, dropped))
        return false;
    qCDebug(lcApp) << "Project loaded successfully";
    // Only now: a file that failed to open must not become the target of the next Save.
    scene->setFilePath(path);
    setFilePathDisplay(path);
    const QString dialect = currentModel && !currentModel->dialect().isEmpty() ? currentModel->dialect()
                                                                               : scene->dialect;
    if (!dialect.isEmpty()) {
        scene->dialect = dialect;
        if (dialectCombo)
            dialectCombo->setCurrentText(dialect);
    }
    fitSceneToItems();
    ui->view->setZoom(1.0);
    markProjectUnchanged();
    return true;
}

// Boxes wait until the overlay is down: it holds the mouse and keyboard while it shows.
void MainWindow::reportOpen(bool opened, const QStringList &dropped)
{
    if (!opened) {
        UiPrompts::current().warning(this, tr("Open Project"),
                                     tr("Could not open the selected file as a project or diagram."));
        return;
    }
    if (dropped.isEmpty())
        return;
    QStringList lines = dropped.mid(0, MaxDroppedLines);
    if (dropped.size() > MaxDroppedLines)
        lines.append(QStringLiteral("…"));
    UiPrompts::current().warning(this, tr("Open Project"),
                                 tr("Some parts of the file could not be read and were left out:")
                                     + QLatin1Char('\n') + lines.join(QLatin1Char('\n')));
}

bool MainWindow::loadProjectOrDiagram(const QJsonObject &root, QStringList *dropped)
{
    if (!scene || sceneIsRebuilding())
        return false;
    const projectfiles::DocumentKind kind = projectfiles::documentKind(root);
    if (kind == projectfiles::DocumentKind::Unusable)
        return false;

    if (kind == projectfiles::DocumentKind::Diagram) {
        bool loaded = false;
        {
            const FlagGuard bulk(bulkUpdate);
            releaseSceneSelection();
            loaded = scene->loadFromJson(root);
        }
        if (loaded)
            adoptLoadedScene();
        return loaded;
    }

    bool shown = false;
    {
        const FlagGuard bulk(bulkUpdate);
        releaseSceneSelection();
        if (!project)
            project = new ProjectItem(this);
        currentModel = nullptr;
        currentDiagram = nullptr;
        if (!project->loadProjectDocument(root, dropped))
            return false;
        const QList<ModelItem *> models = project->models();
        if (!models.isEmpty()) {
            currentModel = models.first();
            const QList<DiagramItem *> diagrams = currentModel->diagrams();
            if (!diagrams.isEmpty())
                currentDiagram = diagrams.first();
        }
        shown = showDiagramDocument(currentDiagram ? currentDiagram->sceneJson() : QJsonObject());
        // The project is replaced already; without its diagram on the scene none is current.
        if (!shown)
            currentDiagram = nullptr;
    }
    rebuildProjectTree();
    refreshTableDetails();
    return shown;
}

void MainWindow::adoptLoadedScene(const QString &projectName)
{
    createEmptyProject();
    if (!projectName.isEmpty())
        project->setName(projectName);
    const QString sceneDialect = scene ? scene->dialect : QString();
    currentModel->setDialect(!sceneDialect.isEmpty() ? sceneDialect
                                                     : (dialectCombo ? dialectCombo->currentText() : QString()));
    syncModelFromScene();
    captureCurrentDiagram();
    rebuildProjectTree();
}

// ---- Save

void MainWindow::on_action_Save_triggered()
{
    saveDiagram();
}

void MainWindow::on_action_Save_As_triggered()
{
    saveDiagramAs();
}

QString MainWindow::askProjectSavePath()
{
    return UiPrompts::current().getSaveFileName(this, tr("Save Project"), QString(), projectFileFilter());
}

void MainWindow::saveDiagramAs()
{
    if (!scene || busySpinner->isBusy())
        return;
    const QString path = askProjectSavePath();
    if (path.isEmpty())
        return;
    scene->setFilePath(path);
    saveDiagram();
}

void MainWindow::saveDiagram()
{
    startSave();
}

bool MainWindow::startSave(const std::function<void(bool written)> &finished)
{
    if (!scene || busySpinner->isBusy())
        return false;
    if (scene->filePath.isEmpty()) {
        const QString chosen = askProjectSavePath();
        if (chosen.isEmpty())
            return false;
        scene->setFilePath(chosen);
    }
    if (dialectCombo) {
        scene->dialect = dialectCombo->currentText();
        if (currentModel)
            currentModel->setDialect(dialectCombo->currentText());
    }
    syncModelFromScene();
    captureCurrentDiagram();

    const QString path = scene->filePath;
    auto job = QSharedPointer<SaveJob>::create();
    const auto saveFailed = [this] {
        UiPrompts::current().warning(this, tr("Save Project"), tr("Could not save the project file."));
    };
    try {
        job->bytes = indentedJsonText(project ? project->toDocument() : scene->toJson());
    } catch (const std::exception &e) {
        qCWarning(lcApp) << "Exception in toJson:" << e.what();
        saveFailed();
        return false;
    } catch (...) {
        qCWarning(lcApp) << "Unknown exception in toJson";
        saveFailed();
        return false;
    }
    busySpinner->runInThread(
        [path, job] {
            job->written = projectfiles::writeFileAtomically(path, job->bytes);
            job->bytes.clear();
        },
        [this, path, job] {
            if (!job->written)
                return;
            qCDebug(lcApp) << "Diagram saved successfully";
            scene->setFilePath(path);
            setFilePathDisplay(path);
            markProjectUnchanged();
        },
        [job, saveFailed, finished] {
            if (!job->written)
                saveFailed();
            if (finished)
                finished(job->written);
        });
    return true;
}
