#pragma once

#include "uiprompts.h"

#include <QColor>
#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

// A UiPrompts for tests: records every prompt and answers from queued answers, one queue
// per kind of prompt. Boxes without a choice (information, warning, critical) need no
// answer; those beyond `allowed` count as unexpected. A prompt that needs an answer and
// has none queued counts as unexpected and is cancelled (empty path, invalid colour, the
// escape answer of a question). Tests end with QCOMPARE(prompts.unexpected, 0).
class ScriptedPrompts : public UiPrompts
{
public:
    struct Prompt
    {
        // "information", "warning", "critical", "question", "ask", "open-file",
        // "save-file", "directory", "color" or "text".
        QString kind;
        QString title;
        QString text;
        // The informative text of "ask"; the label of "text".
        QString detail;
        // Button texts of "ask".
        QStringList buttons;
        // The filter of file dialogs.
        QString filter;
        // The start directory of file dialogs; the initial text of "text"; the initial
        // colour's name (#aarrggbb) of "color".
        QString initial;
    };

    void information(QWidget *parent, const QString &title, const QString &text) override;
    void warning(QWidget *parent, const QString &title, const QString &text) override;
    void critical(QWidget *parent, const QString &title, const QString &text) override;
    QMessageBox::StandardButton question(QWidget *parent, const QString &title,
                                         const QString &text,
                                         QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton defaultButton) override;
    int ask(const Question &question) override;
    QString getOpenFileName(QWidget *parent, const QString &caption, const QString &directory,
                            const QString &filter) override;
    QString getSaveFileName(QWidget *parent, const QString &caption, const QString &directory,
                            const QString &filter) override;
    QString getExistingDirectory(QWidget *parent, const QString &caption,
                                 const QString &directory) override;
    QColor getColor(const QColor &initial, QWidget *parent, const QString &title) override;
    QString getText(QWidget *parent, const QString &title, const QString &label,
                    const QString &text, bool *ok) override;

    // Answers for the next prompts of each kind, first in first out. An empty path
    // answers a file dialog with Cancel.
    void answerOpenFile(const QString &path) { openFiles.enqueue(path); }
    void answerSaveFile(const QString &path) { saveFiles.enqueue(path); }
    void answerDirectory(const QString &path) { directories.enqueue(path); }
    void answerColor(const QColor &color) { colors.enqueue(color); }
    void answerText(const QString &text, bool accepted = true) { texts.enqueue({text, accepted}); }
    void answerQuestion(QMessageBox::StandardButton button) { questions.enqueue(button); }
    // The index of the button to press, or -1 for closing the box without one; or the
    // text of the button to press.
    void answerAsk(int buttonIndex) { asks.enqueue({buttonIndex, QString()}); }
    void answerAsk(const QString &buttonText) { asks.enqueue({-2, buttonText}); }

    // Forgets prompts and answers; allows that many boxes from now on.
    void reset(int allowedBoxes = 0);

    // The prompts of one kind, in the order they came.
    QList<Prompt> promptsOf(const QString &kind) const;
    // Answers queued but never asked for.
    int unusedAnswers() const;

    QList<Prompt> prompts;
    int allowed = 0;
    int unexpected = 0;

private:
    struct TextAnswer
    {
        QString text;
        bool accepted = true;
    };
    struct AskAnswer
    {
        int index = -1;
        QString text;
    };

    void recordBox(const QString &kind, const QString &title, const QString &text);
    template<typename T>
    bool take(QQueue<T> &queue, T &answer);

    QQueue<QString> openFiles;
    QQueue<QString> saveFiles;
    QQueue<QString> directories;
    QQueue<QColor> colors;
    QQueue<TextAnswer> texts;
    QQueue<QMessageBox::StandardButton> questions;
    QQueue<AskAnswer> asks;
};
