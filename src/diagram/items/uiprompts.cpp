#include "uiprompts.h"

#include <QMessageBox>

namespace {

UiPrompts *&installedPrompts()
{
    static UiPrompts *prompts = nullptr;
    return prompts;
}

} // namespace

UiPrompts::~UiPrompts() = default;

void UiPrompts::information(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    // Texts may carry names the user typed or chose; they are never markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

UiPrompts &UiPrompts::current()
{
    static UiPrompts defaultPrompts;
    UiPrompts *installed = installedPrompts();
    return installed ? *installed : defaultPrompts;
}

UiPrompts::Override::Override(UiPrompts *prompts)
    : m_previous(installedPrompts())
{
    installedPrompts() = prompts;
}

UiPrompts::Override::~Override()
{
    installedPrompts() = m_previous;
}
