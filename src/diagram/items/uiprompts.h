#pragma once

#include <QString>

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

// Every modal message box and input dialog of the application goes through the current
// UiPrompts. The default shows the toolkit's boxes; tests install their own (Override) to
// script the answers and record what was asked.
class UiPrompts
{
public:
    UiPrompts() = default;
    virtual ~UiPrompts();

    // An information box with a single OK button; returns when it is closed.
    virtual void information(QWidget *parent, const QString &title, const QString &text);

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
