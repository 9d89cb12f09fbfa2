#include "uiseam.h"

#include <QDialog>
#include <QMenu>

namespace uiseam {

namespace {

MenuRunner &menuRunner()
{
    static MenuRunner runner;
    return runner;
}

DialogRunner &dialogRunner()
{
    static DialogRunner runner;
    return runner;
}

} // namespace

QAction *runMenu(QMenu *menu, const QPoint &screenPos)
{
    if (!menu)
        return nullptr;
    if (const MenuRunner &runner = menuRunner())
        return runner(menu, screenPos);
    return menu->exec(screenPos);
}

int runDialog(QDialog *dialog)
{
    if (!dialog)
        return QDialog::Rejected;
    if (const DialogRunner &runner = dialogRunner())
        return runner(dialog);
    return dialog->exec();
}

MenuRunner setMenuRunner(MenuRunner runner)
{
    MenuRunner previous = std::move(menuRunner());
    menuRunner() = std::move(runner);
    return previous;
}

DialogRunner setDialogRunner(DialogRunner runner)
{
    DialogRunner previous = std::move(dialogRunner());
    dialogRunner() = std::move(runner);
    return previous;
}

} // namespace uiseam
