#include "scriptedprompts.h"

template<typename T>
bool ScriptedPrompts::take(QQueue<T> &queue, T &answer)
{
    if (queue.isEmpty()) {
        ++unexpected;
        return false;
    }
    answer = queue.dequeue();
    return true;
}

void ScriptedPrompts::recordBox(const QString &kind, const QString &title, const QString &text)
{
    Prompt p;
    p.kind = kind;
    p.title = title;
    p.text = text;
    prompts.append(p);
    int boxes = 0;
    for (const Prompt &q : prompts) {
        if (q.kind == QLatin1String("information") || q.kind == QLatin1String("warning")
            || q.kind == QLatin1String("critical"))
            ++boxes;
    }
    if (boxes > allowed)
        ++unexpected;
}

void ScriptedPrompts::information(QWidget *, const QString &title, const QString &text)
{
    recordBox(QStringLiteral("information"), title, text);
}

void ScriptedPrompts::warning(QWidget *, const QString &title, const QString &text)
{
    recordBox(QStringLiteral("warning"), title, text);
}

void ScriptedPrompts::critical(QWidget *, const QString &title, const QString &text)
{
    recordBox(QStringLiteral("critical"), title, text);
}

QMessageBox::StandardButton ScriptedPrompts::question(QWidget *, const QString &title,
                                                      const QString &text,
                                                      QMessageBox::StandardButtons buttons,
                                                      QMessageBox::StandardButton)
{
    Prompt p;
    p.kind = QStringLiteral("question");
    p.title = title;
    p.text = text;
    prompts.append(p);
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    if (take(questions, answer))
        return answer;
    return buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel : QMessageBox::No;
}

int ScriptedPrompts::ask(const Question &question)
{
    Prompt p;
    p.kind = QStringLiteral("ask");
    p.title = question.title;
    p.text = question.text;
    p.detail = question.informativeText;
    for (const Button &b : question.buttons)
        p.buttons.append(b.text);
    prompts.append(p);
    AskAnswer answer;
    if (!take(asks, answer))
        return -1;
    if (answer.index == -2) {
        const int index = p.buttons.indexOf(answer.text);
        if (index < 0)
            ++unexpected;
        return index;
    }
    return answer.index < question.buttons.size() ? answer.index : -1;
}

QString ScriptedPrompts::getOpenFileName(QWidget *, const QString &caption,
                                         const QString &directory, const QString &filter)
{
    prompts.append({QStringLiteral("open-file"), caption, QString(), QString(), {}, filter,
                    directory});
    QString path;
    take(openFiles, path);
    return path;
}

QString ScriptedPrompts::getSaveFileName(QWidget *, const QString &caption,
                                         const QString &directory, const QString &filter)
{
    prompts.append({QStringLiteral("save-file"), caption, QString(), QString(), {}, filter,
                    directory});
    QString path;
    take(saveFiles, path);
    return path;
}

QString ScriptedPrompts::getExistingDirectory(QWidget *, const QString &caption,
                                              const QString &directory)
{
    prompts.append({QStringLiteral("directory"), caption, QString(), QString(), {}, QString(),
                    directory});
    QString path;
    take(directories, path);
    return path;
}

QColor ScriptedPrompts::getColor(const QColor &initial, QWidget *, const QString &title)
{
    prompts.append({QStringLiteral("color"), title, QString(), QString(), {}, QString(),
                    initial.name(QColor::HexArgb)});
    QColor color;
    take(colors, color);
    return color;
}

QString ScriptedPrompts::getText(QWidget *, const QString &title, const QString &label,
                                 const QString &text, bool *ok)
{
    prompts.append({QStringLiteral("text"), title, QString(), label, {}, QString(), text});
    TextAnswer answer;
    answer.accepted = false;
    take(texts, answer);
    if (ok)
        *ok = answer.accepted;
    return answer.accepted ? answer.text : QString();
}

void ScriptedPrompts::reset(int allowedBoxes)
{
    prompts.clear();
    allowed = allowedBoxes;
    unexpected = 0;
    openFiles.clear();
    saveFiles.clear();
    directories.clear();
    colors.clear();
    texts.clear();
    questions.clear();
    asks.clear();
}

QList<ScriptedPrompts::Prompt> ScriptedPrompts::promptsOf(const QString &kind) const
{
    QList<Prompt> result;
    for (const Prompt &p : prompts) {
        if (p.kind == kind)
            result.append(p);
    }
    return result;
}

int ScriptedPrompts::unusedAnswers() const
{
    return int(openFiles.size() + saveFiles.size() + directories.size() + colors.size()
               + texts.size() + questions.size() + asks.size());
}
