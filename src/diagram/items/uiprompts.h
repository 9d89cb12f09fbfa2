#pragma once

#include <QColor>
#include <QList>
#include <QMessageBox>
#include <QString>

QT_BEGIN_NAMESPACE
class QAbstractButton;
class QWidget;
QT_END_NAMESPACE

// Every modal message box, file dialog and small input dialog of the application goes
// through the current UiPrompts. The default shows the toolkit's own; tests and tools
// install their own (Override) to script the answers and record what was asked.
// Other modal dialogs run through uiseam::runDialog.
//
// Texts may carry names the user typed or chose: boxes always show them as plain text.
class UiPrompts
{
public:
    // One button of a question box with buttons of its own.
    struct Button
    {
        QString text;
        QMessageBox::ButtonRole role = QMessageBox::AcceptRole;
    };

    // A question box with buttons of its own (three-button choices and the like).
    struct Question
    {
        QWidget *parent = nullptr;
        QMessageBox::Icon icon = QMessageBox::Question;
        QString title;
        QString text;
        QString informativeText;
        QList<Button> buttons;
        // Index into buttons, or -1 for none.
        int defaultButton = -1;
        // Index into buttons that Escape and closing choose, or -1 to let the toolkit
        // pick the reject-role button.
        int escapeButton = -1;
    };

    UiPrompts() = default;
    virtual ~UiPrompts();

    // Boxes with a single OK button and no default button; each returns when closed.
    virtual void information(QWidget *parent, const QString &title, const QString &text);
    virtual void warning(QWidget *parent, const QString &title, const QString &text);
    virtual void critical(QWidget *parent, const QString &title, const QString &text);

    // A standard question box (QMessageBox::question). Closing it without a button
    // answers the escape button Qt picks (No, or Cancel when offered).
    virtual QMessageBox::StandardButton question(
        QWidget *parent, const QString &title, const QString &text,
        QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // A question box with the given buttons; returns the index of the chosen button, or
    // -1 when the box was closed without one.
    virtual int ask(const Question &question);
    // Fills box as ask shows it (both texts plain); returns its buttons in the order of
    // question.buttons.
    static QList<QAbstractButton *> buildQuestionBox(QMessageBox &box, const Question &question);

    // File dialogs. An empty directory starts wherever the toolkit chooses. The result is
    // the chosen path unchanged (no suffix added), or empty when cancelled.
    virtual QString getOpenFileName(QWidget *parent, const QString &caption,
                                    const QString &directory, const QString &filter);
    virtual QString getSaveFileName(QWidget *parent, const QString &caption,
                                    const QString &directory, const QString &filter);
    // Directories only; empty when cancelled.
    virtual QString getExistingDirectory(QWidget *parent, const QString &caption,
                                         const QString &directory);

    // The colour picker with the alpha channel shown; an invalid colour when cancelled.
    virtual QColor getColor(const QColor &initial, QWidget *parent, const QString &title);

    // A one-line text input with normal echo; ok (when given) tells whether it was
    // accepted. Returns the text, or empty when cancelled.
    virtual QString getText(QWidget *parent, const QString &title, const QString &label,
                            const QString &text = QString(), bool *ok = nullptr);

    // The instance in use: the installed one, else the default.
    static UiPrompts &current();

    // Installs prompts as the current instance for its lifetime and puts the previous
    // one back afterwards. Overrides nest.
    class Override
    {
    public:
        explicit Override(UiPrompts *prompts);
        ~Override();
        Override(const Override &) = delete;
        Override &operator=(const Override &) = delete;

    private:
        UiPrompts *m_previous;
    };

private:
    UiPrompts(const UiPrompts &) = delete;
    UiPrompts &operator=(const UiPrompts &) = delete;
};
