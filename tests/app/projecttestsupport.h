#pragma once

#include "apptestsupport.h"
#include "busyspinnerwidget.h"
#include "diagramitem.h"
#include "diagramitemtypes.h"
#include "erscene.h"
#include "modelitem.h"
#include "projectitem.h"
#include "testsupport.h"

#include <QAction>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QTest>

// Helpers of the project life cycle tests: the committed fixtures, the window's file
// actions driven through scripted prompts, and what a window shows of its project.
namespace projecttest {

inline QString fixture(const QString &name)
{
    return testsupport::dataPath(QStringLiteral("app/data/") + name);
}

// A writable copy of a fixture in dir.
inline QString copyFixture(const QString &name, const QString &dir)
{
    const QString target = dir + QLatin1Char('/') + name;
    QFile::remove(target);
    if (!QFile::copy(fixture(name), target))
        return QString();
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    return target;
}

inline QJsonObject readJson(const QString &path)
{
    return QJsonDocument::fromJson(testsupport::readFileBytes(path)).object();
}

inline void trigger(MainWindow &w, const char *action)
{
    w.findChild<QAction *>(QLatin1String(action))->trigger();
}

inline bool waitIdle(MainWindow &w)
{
    BusySpinnerWidget *spinner = MainWindowProbe(w).busySpinner();
    return QTest::qWaitFor([spinner] { return !spinner->isBusy(); }, 10000);
}

// Triggers action with the next file dialog answered by path and waits until the
// overlay is idle.
inline bool runFileAction(MainWindow &w, ScriptedPrompts &prompts, const char *action,
                          const QString &path, bool save)
{
    if (save)
        prompts.answerSaveFile(path);
    else
        prompts.answerOpenFile(path);
    trigger(w, action);
    return waitIdle(w);
}

inline bool open(MainWindow &w, ScriptedPrompts &prompts, const QString &path)
{
    return runFileAction(w, prompts, "action_Open", path, false);
}

inline QString statusText(MainWindow &w)
{
    return w.findChild<QLabel *>(QStringLiteral("labelFileName"))->text();
}

inline int diagramItemCount(ERScene *scene)
{
    int count = 0;
    const QList<QGraphicsItem *> all = scene->items();
    for (const QGraphicsItem *item : all) {
        switch (item->type()) {
        case DiagramItemType::EntityItem:
        case DiagramItemType::EdgeItem:
        case DiagramItemType::TextItem:
        case DiagramItemType::GroupItem:
            ++count;
            break;
        default:
            break;
        }
    }
    return count;
}

inline DiagramItem *diagramNamed(ModelItem *model, const QString &name)
{
    for (DiagramItem *diagram : model->diagrams()) {
        if (diagram->name() == name)
            return diagram;
    }
    return nullptr;
}

inline int annotationCount(const QJsonObject &document)
{
    return int(document.value(QStringLiteral("annotations")).toArray().size());
}

} // namespace projecttest
