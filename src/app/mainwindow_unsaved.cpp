// Unsaved work: what the project looked like when it was last opened, saved or created,
// the modified mark in the title, and the question before the project is replaced or the
// window closes.
#include "mainwindow.h"

#include "busyspinnerwidget.h"
#include "diagramitem.h"
#include "erscene.h"
#include "modelitem.h"
#include "projectitem.h"
#include "uiprompts.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QTimer>

namespace {

// How long the window waits after the user's last input before it looks for changes.
constexpr int ModifiedCheckDelayMs = 150;

} // namespace

void MainWindow::setupUnsavedChangesTracking()
{
    // The title carries the modified mark.
    if (!windowTitle().contains(QLatin1String("[*]")))
        setWindowTitle(windowTitle() + QLatin1String("[*]"));
    modifiedCheckTimer = new QTimer(this);
    modifiedCheckTimer->setSingleShot(true);
    modifiedCheckTimer->setInterval(ModifiedCheckDelayMs);
    connect(modifiedCheckTimer, &QTimer::timeout, this, &MainWindow::checkForUnsavedChanges);
    // Every edit comes from the mouse, the keyboard or an action; the mark follows shortly
    // after the last of them.
    qApp->installEventFilter(this);
    const QList<QAction *> actions = findChildren<QAction *>();
    for (QAction *action : actions)
        connect(action, &QAction::triggered, this, &MainWindow::scheduleUnsavedChangesCheck);
}

// The project as Save would write it: the model, every stored diagram, and the open
// diagram as the scene holds it now instead of its stored copy.
QJsonObject MainWindow::projectState() const
{
    QJsonObject state;
    if (project) {
        state.insert(QStringLiteral("project"), project->toJson());
        QJsonObject diagrams;
        for (const ModelItem *model : project->models()) {
            for (const DiagramItem *diagram : model->diagrams()) {
                if (diagram && diagram != currentDiagram)
                    diagrams.insert(diagram->id(), diagram->sceneJson());
            }
        }
        state.insert(QStringLiteral("diagrams"), diagrams);
    }
    if (scene)
        state.insert(currentDiagram ? currentDiagram->id() : QStringLiteral("scene"), scene->toJson());
    return state;
}

void MainWindow::markProjectUnchanged()
{
    unchangedState = projectState();
    setWindowModified(false);
    // What the window completes on its own right after a load (column ids on the rows,
    // the panel's refresh) is no change of the user's: the state is taken again once
    // that has run, unless the user acts first.
    settlingUnchangedState = true;
    if (modifiedCheckTimer)
        modifiedCheckTimer->start();
}

bool MainWindow::hasUnsavedChanges() const
{
    // A scene in the middle of a rebuild cannot be read; the last check stands.
    if (sceneIsRebuilding())
        return isWindowModified();
    return projectState() != unchangedState;
}

void MainWindow::scheduleUnsavedChangesCheck()
{
    // Once changed, the project stays changed until it is saved or replaced.
    if (modifiedCheckTimer && !isWindowModified())
        modifiedCheckTimer->start();
}

void MainWindow::checkForUnsavedChanges()
{
    if (isWindowModified())
        return;
    if (busySpinner->isBusy() || sceneIsRebuilding()) {
        modifiedCheckTimer->start();
        return;
    }
    if (settlingUnchangedState) {
        settlingUnchangedState = false;
        unchangedState = projectState();
        return;
    }
    setWindowModified(hasUnsavedChanges());
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
    case QEvent::KeyPress:
    case QEvent::Drop:
        settlingUnchangedState = false;
        scheduleUnsavedChangesCheck();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::confirmProjectClose(const QString &title)
{
    // The overlay holds the window while a file is read or written.
    if (busySpinner->isBusy())
        return false;
    if (!hasUnsavedChanges()) {
        setWindowModified(false);
        return true;
    }
    setWindowModified(true);
    UiPrompts::Question question;
    question.parent = this;
    question.icon = QMessageBox::Warning;
    question.title = title;
    question.text = tr("Save changes to the project before closing it?");
    question.buttons = {{tr("Save"), QMessageBox::AcceptRole},
                        {tr("Discard"), QMessageBox::DestructiveRole},
                        {tr("Cancel"), QMessageBox::RejectRole}};
    question.defaultButton = 0;
    question.escapeButton = 2;
    switch (UiPrompts::current().ask(question)) {
    case 0:
        return saveAndWait();
    case 1:
        return true;
    default:
        return false;
    }
}

bool MainWindow::saveAndWait()
{
    bool finished = false;
    bool written = false;
    QEventLoop loop;
    const bool started = startSave([&](bool ok) {
        finished = true;
        written = ok;
        loop.quit();
    });
    if (!started)
        return false;
    // The overlay takes the user's input meanwhile; only the write is waited for.
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return written;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (closeConfirmed || confirmProjectClose(tr("Exit")))
        event->accept();
    else
        event->ignore();
}

void MainWindow::on_action_Exit_triggered()
{
    if (!confirmProjectClose(tr("Exit")))
        return;
    closeConfirmed = true;
    QCoreApplication::exit(0);
}
