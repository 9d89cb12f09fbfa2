#pragma once

#include <functional>

#include <QPoint>

QT_BEGIN_NAMESPACE
class QAction;
class QDialog;
class QMenu;
QT_END_NAMESPACE

// The one place where items and panels run a context menu or a modal dialog. Tests
// install their own runners to answer without a nested event loop.
//
// Both calls may run a nested event loop in which the caller's item gets deleted: hold
// the item in a QPointer across the call and check it afterwards.
namespace uiseam {

using MenuRunner = std::function<QAction *(QMenu *menu, const QPoint &screenPos)>;
using DialogRunner = std::function<int(QDialog *dialog)>;

// Runs menu at screenPos and returns the chosen action, or nullptr.
QAction *runMenu(QMenu *menu, const QPoint &screenPos);
// Runs dialog modally and returns its result code.
int runDialog(QDialog *dialog);

// Install a runner; an empty function restores the default (exec). Each returns the
// runner that was installed before, so a caller can put it back.
MenuRunner setMenuRunner(MenuRunner runner);
DialogRunner setDialogRunner(DialogRunner runner);

} // namespace uiseam
