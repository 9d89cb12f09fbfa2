#include "uiprompts.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>

namespace {

UiPrompts *&installedPrompts()
{
    static UiPrompts *prompts = nullptr;
    return prompts;
}

void showBox(QMessageBox::Icon icon, QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace

UiPrompts::~UiPrompts() = default;

void UiPrompts::information(QWidget *parent, const QString &title, const QString &text)
{
    showBox(QMessageBox::Information, parent, title, text);
}

void UiPrompts::warning(QWidget *parent, const QString &title, const QString &text)
{
    showBox(QMessageBox::Warning, parent, title, text);
}

void UiPrompts::critical(QWidget *parent, const QString &title, const QString &text)
{
    showBox(QMessageBox::Critical, parent, title, text);
}

QMessageBox::StandardButton UiPrompts::question(QWidget *parent, const QString &title,
                                                const QString &text,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(QMessageBox::Question, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    if (box.exec() == -1)
        return QMessageBox::Cancel;
    return box.standardButton(box.clickedButton());
}

QList<QAbstractButton *> UiPrompts::buildQuestionBox(QMessageBox &box, const Question &question)
{
    box.setIcon(question.icon);
    box.setWindowTitle(question.title);
    box.setText(question.text);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(question.informativeText);
    // The informative text would otherwise be guessed as rich text, names and all.
    if (auto *informative = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
    QList<QAbstractButton *> buttons;
    for (const Button &b : question.buttons)
        buttons.append(box.addButton(b.text, b.role));
    if (question.defaultButton >= 0 && question.defaultButton < buttons.size())
        box.setDefaultButton(qobject_cast<QPushButton *>(buttons.at(question.defaultButton)));
    if (question.escapeButton >= 0 && question.escapeButton < buttons.size())
        box.setEscapeButton(buttons.at(question.escapeButton));
    return buttons;
}

int UiPrompts::ask(const Question &question)
{
    QMessageBox box(question.parent);
    const QList<QAbstractButton *> buttons = buildQuestionBox(box, question);
    box.exec();
    // Escape and the close button answer the escape button (Qt picks the reject-role
    // button when none is set); a box without one cannot be closed without a choice.
    return buttons.indexOf(box.clickedButton());
}

QString UiPrompts::getOpenFileName(QWidget *parent, const QString &caption,
                                   const QString &directory, const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}

QString UiPrompts::getSaveFileName(QWidget *parent, const QString &caption,
                                   const QString &directory, const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, caption, directory, filter);
}

QString UiPrompts::getExistingDirectory(QWidget *parent, const QString &caption,
                                        const QString &directory)
{
    return QFileDialog::getExistingDirectory(parent, caption, directory,
                                             QFileDialog::ShowDirsOnly);
}

QColor UiPrompts::getColor(const QColor &initial, QWidget *parent, const QString &title)
{
    return QColorDialog::getColor(initial, parent, title, QColorDialog::ShowAlphaChannel);
}

QString UiPrompts::getText(QWidget *parent, const QString &title, const QString &label,
                           const QString &text, bool *ok)
{
    bool accepted = false;
    const QString result =
        QInputDialog::getText(parent, title, label, QLineEdit::Normal, text, &accepted);
    if (ok)
        *ok = accepted;
    return accepted ? result : QString();
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
