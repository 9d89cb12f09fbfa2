// window_demo: runs the real main window, drives it through the steps given on the
// command line, in their order, and keeps it on screen for a screenshot (under Xvfb, for
// example) until it is killed or --quit-after has passed. File dialogs are answered from
// the options; every other prompt is answered with Cancel or No and named on stderr, so
// the demo never blocks.
#include "applicationsetup.h"
#include "busyspinnerwidget.h"
#include "diagramitemtypes.h"
#include "entityitem.h"
#include "erview.h"
#include "mainwindow.h"
#include "thememanager.h"
#include "uiprompts.h"
#include "uiseam.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardItemModel>
#include <QTreeView>
#include <QLineEdit>
#include <QPushButton>
#include <QQueue>
#include <QScreen>
#include <QTextStream>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <algorithm>
#include <functional>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr int ExposeTimeoutMs = 5000;

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

void sayOnStderr(const QString &line)
{
    err() << "window_demo: " << line << "\n";
    err().flush();
}

// Answers file dialogs from the queued paths; everything else is Cancel or No.
class DemoPrompts : public UiPrompts
{
public:
    struct Box
    {
        QString title;
        QString text;
    };

    void information(QWidget *, const QString &title, const QString &text) override { box(title, text); }
    void warning(QWidget *, const QString &title, const QString &text) override { box(title, text); }
    void critical(QWidget *, const QString &title, const QString &text) override { box(title, text); }

    QMessageBox::StandardButton question(QWidget *, const QString &title, const QString &,
                                         QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton) override
    {
        unanswered(title);
        return buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel : QMessageBox::No;
    }

    int ask(const Question &question) override
    {
        unanswered(question.title);
        return -1;
    }

    QString getOpenFileName(QWidget *, const QString &caption, const QString &, const QString &) override
    {
        return take(openFiles, caption);
    }

    QString getSaveFileName(QWidget *, const QString &caption, const QString &, const QString &) override
    {
        return take(saveFiles, caption);
    }

    QString getExistingDirectory(QWidget *, const QString &caption, const QString &) override
    {
        unanswered(caption);
        return QString();
    }

    QColor getColor(const QColor &, QWidget *, const QString &title) override
    {
        unanswered(title);
        return QColor();
    }

    QString getText(QWidget *, const QString &title, const QString &, const QString &, bool *ok) override
    {
        unanswered(title);
        if (ok)
            *ok = false;
        return QString();
    }

    static void unanswered(const QString &title) { sayOnStderr(QStringLiteral("unanswered prompt: ") + title); }

    QQueue<QString> openFiles;
    QQueue<QString> saveFiles;
    QList<Box> boxes;
    int fileDialogs = 0;

private:
    void box(const QString &title, const QString &text)
    {
        unanswered(title);
        boxes.append({title, text});
    }

    QString take(QQueue<QString> &answers, const QString &caption)
    {
        ++fileDialogs;
        if (answers.isEmpty()) {
            unanswered(caption);
            return QString();
        }
        return answers.dequeue();
    }
};

struct Demo
{
    MainWindow *window = nullptr;
    DemoPrompts *prompts = nullptr;
};

// One step: runs with its option's value; false with a sentence for stderr on failure.
using StepRun = std::function<bool(Demo &, const QString &value, QString *error)>;

struct StepOption
{
    QString name;
    QString valueName;
    QString help;
    // Empty when the value is acceptable, else what is wrong with it.
    std::function<QString(const QString &)> check;
    StepRun run;
};

void waitUntilIdle(Demo &demo)
{
    auto *spinner = demo.window->findChild<BusySpinnerWidget *>();
    while (spinner && spinner->isBusy())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents();
}

bool triggerAction(Demo &demo, const char *name, QString *error)
{
    auto *action = demo.window->findChild<QAction *>(QLatin1String(name));
    if (!action) {
        *error = QStringLiteral("the window has no action %1.").arg(QLatin1String(name));
        return false;
    }
    action->trigger();
    return true;
}

bool openStep(Demo &demo, const QString &file, QString *error)
{
    const int dialogsBefore = demo.prompts->fileDialogs;
    const qsizetype boxesBefore = demo.prompts->boxes.size();
    demo.prompts->openFiles.enqueue(file);
    if (!triggerAction(demo, "action_Open", error))
        return false;
    waitUntilIdle(demo);
    demo.prompts->openFiles.clear();
    if (demo.prompts->fileDialogs == dialogsBefore) {
        *error = QStringLiteral("the Open action did not ask for a file.");
        return false;
    }
    for (qsizetype i = boxesBefore; i < demo.prompts->boxes.size(); ++i) {
        const DemoPrompts::Box &box = demo.prompts->boxes.at(i);
        if (box.title == QLatin1String("Open Project")
            && box.text == QLatin1String("Could not open the selected file as a project or diagram.")) {
            *error = QStringLiteral("could not open %1.").arg(file);
            return false;
        }
    }
    return true;
}

// Answers the action's file dialog with file, waits until the overlay is idle and fails on
// a box titled boxTitle (the action's failure report).
bool fileActionStep(Demo &demo, const char *action, bool save, const QString &boxTitle, const QString &file,
                    QString *error)
{
    const int dialogsBefore = demo.prompts->fileDialogs;
    const qsizetype boxesBefore = demo.prompts->boxes.size();
    (save ? demo.prompts->saveFiles : demo.prompts->openFiles).enqueue(file);
    if (!triggerAction(demo, action, error))
        return false;
    waitUntilIdle(demo);
    demo.prompts->openFiles.clear();
    demo.prompts->saveFiles.clear();
    if (demo.prompts->fileDialogs == dialogsBefore) {
        *error = QStringLiteral("%1 did not ask for a file.").arg(boxTitle);
        return false;
    }
    for (qsizetype i = boxesBefore; i < demo.prompts->boxes.size(); ++i) {
        const DemoPrompts::Box &box = demo.prompts->boxes.at(i);
        if (box.title == boxTitle) {
            *error = QStringLiteral("%1: %2").arg(boxTitle, box.text);
            return false;
        }
    }
    return true;
}

bool importMermaidStep(Demo &demo, const QString &file, QString *error)
{
    return fileActionStep(demo, "actionImport_from_Mermaid", false, QStringLiteral("Import from Mermaid"), file, error);
}

bool importDrawioStep(Demo &demo, const QString &file, QString *error)
{
    return fileActionStep(demo, "actionImport_from_Drawio", false, QStringLiteral("Import from draw.io"), file, error);
}

bool exportPdfStep(Demo &demo, const QString &file, QString *error)
{
    return fileActionStep(demo, "actionExport_to_PDF", true, QStringLiteral("Export to PDF"), file, error);
}

bool exportSvgStep(Demo &demo, const QString &file, QString *error)
{
    return fileActionStep(demo, "actionExport_to_SVG", true, QStringLiteral("Export to SVG"), file, error);
}

bool themeStep(Demo &demo, const QString &theme, QString *error)
{
    const ThemeKind wanted = theme == QLatin1String("dark") ? ThemeKind::Dark : ThemeKind::Light;
    if (ThemeManager::instance()->kind() != wanted && !triggerAction(demo, "actionToggle_Theme", error))
        return false;
    QCoreApplication::processEvents();
    return true;
}

bool searchStep(Demo &demo, const QString &text, QString *error)
{
    auto *search = demo.window->findChild<QLineEdit *>(QStringLiteral("lineEditSearch"));
    if (!search) {
        *error = QStringLiteral("the window has no explorer search field.");
        return false;
    }
    search->setText(text);
    QCoreApplication::processEvents();
    return true;
}

// The kinds --hide accepts, with the filter pop-up's box for each.
const QList<QPair<QString, QString>> &hideableKinds()
{
    static const QList<QPair<QString, QString>> kinds{
        {QStringLiteral("table"), QStringLiteral("Tables")},
        {QStringLiteral("view"), QStringLiteral("Views")},
        {QStringLiteral("relationship"), QStringLiteral("Relationships")},
        {QStringLiteral("diagram"), QStringLiteral("Diagrams")},
        {QStringLiteral("sequence"), QStringLiteral("Sequences")},
        {QStringLiteral("mapping"), QStringLiteral("Mappings")},
        {QStringLiteral("document"), QStringLiteral("Documents")},
    };
    return kinds;
}

// Clicks the explorer's filter button and answers its pop-up: the boxes of the kinds
// unticked, then Apply.
bool hideStep(Demo &demo, const QString &kinds, QString *error)
{
    auto *button = demo.window->findChild<QToolButton *>(QStringLiteral("toolButtonFilter"));
    if (!button) {
        *error = QStringLiteral("the window has no explorer filter button.");
        return false;
    }
    QStringList boxes;
    for (const QString &kind : kinds.split(QLatin1Char(','))) {
        for (const auto &[name, box] : hideableKinds()) {
            if (name == kind)
                boxes.append(box);
        }
    }
    bool applied = false;
    const uiseam::DialogRunner previous = uiseam::setDialogRunner([&](QDialog *dialog) {
        for (QCheckBox *box : dialog->findChildren<QCheckBox *>())
            box->setChecked(!boxes.contains(box->text()));
        auto *buttons = dialog->findChild<QDialogButtonBox *>();
        if (QPushButton *apply = buttons ? buttons->button(QDialogButtonBox::Apply) : nullptr) {
            apply->click();
            applied = true;
        }
        return dialog->result();
    });
    button->click();
    uiseam::setDialogRunner(previous);
    QCoreApplication::processEvents();
    if (!applied)
        *error = QStringLiteral("the explorer filter did not offer Apply.");
    return applied;
}

bool selectAllStep(Demo &demo, const QString &, QString *error)
{
    if (!triggerAction(demo, "actionSelect_All", error))
        return false;
    QCoreApplication::processEvents();
    return true;
}

bool newDiagramStep(Demo &demo, const QString &, QString *error)
{
    if (!triggerAction(demo, "action_New_Diagram", error))
        return false;
    QCoreApplication::processEvents();
    return true;
}

// The explorer rows of tables and views named so, as one drag payload would carry them.
QJsonArray payloadItems(Demo &demo, const QStringList &names)
{
    QJsonArray items;
    auto *tree = demo.window->findChild<QTreeView *>(QStringLiteral("treeViewProject"));
    const QAbstractItemModel *model = tree ? tree->model() : nullptr;
    if (!model)
        return items;
    for (const QString &name : names) {
        QList<QModelIndex> pending{QModelIndex()};
        bool found = false;
        while (!pending.isEmpty() && !found) {
            const QModelIndex parent = pending.takeFirst();
            for (int row = 0; row < model->rowCount(parent) && !found; ++row) {
                const QModelIndex index = model->index(row, 0, parent);
                const QString kind = index.data(Qt::UserRole).toString();
                if ((kind == QLatin1String("table") || kind == QLatin1String("view")) && index.data().toString() == name) {
                    items.append(QJsonObject{{QStringLiteral("kind"), kind},
                                             {QStringLiteral("id"), index.data(Qt::UserRole + 1).toString()}});
                    found = true;
                }
                pending.append(index);
            }
        }
    }
    return items;
}

// NAME[,NAME...]@X,Y: the named tables and views dropped as one explorer payload at that
// scene point.
bool dropStep(Demo &demo, const QString &value, QString *error)
{
    const QStringList names = value.section(QLatin1Char('@'), 0, 0).split(QLatin1Char(','), Qt::SkipEmptyParts);
    const QStringList point = value.section(QLatin1Char('@'), 1).split(QLatin1Char(','));
    const QJsonArray items = payloadItems(demo, names);
    if (items.size() != names.size()) {
        *error = QStringLiteral("--drop: not every name is a table or view in the explorer.");
        return false;
    }
    const QByteArray payload = QJsonDocument(QJsonObject{{QStringLiteral("items"), items}}).toJson(QJsonDocument::Compact);
    const QPointF at(point.value(0).toDouble(), point.value(1).toDouble());
    QMetaObject::invokeMethod(demo.window, "onExplorerDropRequested", Q_ARG(QByteArray, payload), Q_ARG(QPointF, at));
    QCoreApplication::processEvents();
    return true;
}

// NAME@X,Y: Add Relationship on, the named box clicked and the mouse moved to that point.
bool rubberBandStep(Demo &demo, const QString &value, QString *error)
{
    const QString name = value.section(QLatin1Char('@'), 0, 0);
    const QStringList point = value.section(QLatin1Char('@'), 1).split(QLatin1Char(','));
    auto *view = demo.window->findChild<ERView *>(QStringLiteral("view"));
    EntityItem *box = nullptr;
    if (view && view->scene()) {
        for (QGraphicsItem *item : view->scene()->items()) {
            auto *entity = item->type() == DiagramItemType::EntityItem ? static_cast<EntityItem *>(item) : nullptr;
            if (entity && entity->title() == name) {
                box = entity;
                break;
            }
        }
    }
    if (!box) {
        *error = QStringLiteral("--rubber-band: no box is titled %1.").arg(name);
        return false;
    }
    auto *action = demo.window->findChild<QAction *>(QStringLiteral("actionAdd_Relationship"));
    if (!action) {
        *error = QStringLiteral("the window has no action actionAdd_Relationship.");
        return false;
    }
    if (!action->isChecked())
        action->trigger();
    emit view->sceneClicked(box->sceneBoundingRect().center(), Qt::LeftButton);
    emit view->sceneMouseMoved(QPointF(point.value(0).toDouble(), point.value(1).toDouble()));
    QCoreApplication::processEvents();
    return true;
}

bool autoLayoutStep(Demo &demo, const QString &, QString *error)
{
    if (!triggerAction(demo, "actionAuto_layout", error))
        return false;
    waitUntilIdle(demo);
    return true;
}

QString needsDrop(const QString &value)
{
    const QStringList point = value.section(QLatin1Char('@'), 1).split(QLatin1Char(','));
    bool okX = false;
    bool okY = false;
    if (point.size() == 2) {
        point.at(0).toDouble(&okX);
        point.at(1).toDouble(&okY);
    }
    return value.section(QLatin1Char('@'), 0, 0).isEmpty() || !okX || !okY
        ? QStringLiteral("takes NAME[,NAME...]@X,Y.")
        : QString();
}

QString needsFile(const QString &value)
{
    return value.isEmpty() ? QStringLiteral("needs a file.") : QString();
}

QString needsTheme(const QString &value)
{
    return value == QLatin1String("light") || value == QLatin1String("dark") ? QString()
                                                                            : QStringLiteral("takes light or dark.");
}

QString needsKinds(const QString &value)
{
    for (const QString &kind : value.split(QLatin1Char(','))) {
        const auto &known = hideableKinds();
        if (std::none_of(known.cbegin(), known.cend(), [&kind](const auto &entry) { return entry.first == kind; }))
            return QStringLiteral("takes kinds among table, view, relationship, diagram, sequence, mapping and document.");
    }
    return QString();
}

QString needsNothing(const QString &)
{
    return QString();
}

const QList<StepOption> &stepOptions()
{
    static const QList<StepOption> options{
        {QStringLiteral("--open"), QStringLiteral("FILE"),
         QStringLiteral("Open FILE through the Open action and wait until it is loaded."), needsFile, openStep},
        {QStringLiteral("--import-mermaid"), QStringLiteral("FILE"),
         QStringLiteral("Import FILE through Import from Mermaid and wait until it is shown."), needsFile,
         importMermaidStep},
        {QStringLiteral("--import-drawio"), QStringLiteral("FILE"),
         QStringLiteral("Import FILE through Import from draw.io and wait until it is shown."), needsFile,
         importDrawioStep},
        {QStringLiteral("--export-pdf"), QStringLiteral("FILE"),
         QStringLiteral("Export the diagram to FILE through Export to PDF and wait until it is written."), needsFile,
         exportPdfStep},
        {QStringLiteral("--export-svg"), QStringLiteral("FILE"),
         QStringLiteral("Export the diagram to FILE through Export to SVG and wait until it is written."), needsFile,
         exportSvgStep},
        {QStringLiteral("--theme"), QStringLiteral("light|dark"),
         QStringLiteral("Switch the window to that theme."), needsTheme, themeStep},
        {QStringLiteral("--search"), QStringLiteral("TEXT"),
         QStringLiteral("Type TEXT into the explorer's search field."), needsNothing, searchStep},
        {QStringLiteral("--hide"), QStringLiteral("KIND[,KIND...]"),
         QStringLiteral("Hide those kinds of rows through the explorer's filter button."), needsKinds, hideStep},
        {QStringLiteral("--select-all"), QString(),
         QStringLiteral("Select everything on the diagram (the Select All action)."), nullptr, selectAllStep},
        {QStringLiteral("--new-diagram"), QString(),
         QStringLiteral("Add a diagram to the current model and open it (the New Diagram action)."), nullptr,
         newDiagramStep},
        {QStringLiteral("--drop"), QStringLiteral("NAME[,NAME...]@X,Y"),
         QStringLiteral("Drop the named tables and views of the explorer on the diagram at that scene point."),
         needsDrop, dropStep},
        {QStringLiteral("--rubber-band"), QStringLiteral("NAME@X,Y"),
         QStringLiteral("Turn on Add Relationship, click the box titled NAME and move the mouse to that scene point."),
         needsDrop, rubberBandStep},
        {QStringLiteral("--auto-layout"), QString(),
         QStringLiteral("Lay the diagram out (the Auto layout action) and wait until it is done."), nullptr,
         autoLayoutStep},
    };
    return options;
}

QString usage()
{
    QString text = QStringLiteral("usage: window_demo [STEP...] [--quit-after MS]\n"
                                  "Steps run in the order given, after the window is shown:\n");
    for (const StepOption &option : stepOptions())
        text += QStringLiteral("  %1\n      %2\n").arg((option.name + QLatin1Char(' ') + option.valueName).trimmed(),
                                                     option.help);
    text += QStringLiteral("  --quit-after MS\n      Quit MS milliseconds after the last step "
                           "(without it the window stays until killed).\n");
    return text;
}

int usageError(const QString &message)
{
    sayOnStderr(message);
    err() << usage();
    err().flush();
    return ExitUsage;
}

struct Step
{
    const StepOption *option = nullptr;
    QString value;
};

struct Plan
{
    QList<Step> steps;
    int quitAfterMs = -1;
    bool help = false;
};

// Empty when args parse, else the usage error.
QString parse(const QStringList &args, Plan *plan)
{
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            plan->help = true;
            continue;
        }
        const StepOption *option = nullptr;
        for (const StepOption &candidate : stepOptions()) {
            if (candidate.name == arg)
                option = &candidate;
        }
        if (option && option->valueName.isEmpty()) {
            plan->steps.append({option, QString()});
            continue;
        }
        if (i + 1 >= args.size())
            return QStringLiteral("%1 needs a value.").arg(arg);
        const QString value = args.at(++i);
        if (arg == QLatin1String("--quit-after")) {
            bool ok = false;
            plan->quitAfterMs = value.toInt(&ok);
            if (!ok || plan->quitAfterMs < 0)
                return QStringLiteral("--quit-after takes a whole number of milliseconds.");
            continue;
        }
        if (!option)
            return QStringLiteral("unknown option %1.").arg(arg);
        if (const QString problem = option->check(value); !problem.isEmpty())
            return option->name + QLatin1Char(' ') + problem;
        plan->steps.append({option, value});
    }
    return QString();
}

void refuseDialogsAndMenus()
{
    uiseam::setDialogRunner([](QDialog *dialog) {
        DemoPrompts::unanswered(dialog ? dialog->windowTitle() : QString());
        return int(QDialog::Rejected);
    });
    uiseam::setMenuRunner([](QMenu *, const QPoint &) -> QAction * {
        DemoPrompts::unanswered(QStringLiteral("context menu"));
        return nullptr;
    });
}

void waitUntilExposed(QWidget &window)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < ExposeTimeoutMs
           && !(window.windowHandle() && window.windowHandle()->isExposed())) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);

    Plan plan;
    if (const QString problem = parse(app.arguments(), &plan); !problem.isEmpty())
        return usageError(problem);
    if (plan.help) {
        QTextStream(stdout) << usage();
        return ExitOk;
    }

    configureApplication(app);
    DemoPrompts prompts;
    const UiPrompts::Override answering(&prompts);
    refuseDialogsAndMenus();

    MainWindow window;
    // The whole screen, so a screenshot shows as much of the explorer and diagram as fits.
    if (QScreen *screen = QGuiApplication::primaryScreen())
        window.setGeometry(screen->availableGeometry());
    window.show();
    waitUntilExposed(window);

    Demo demo{&window, &prompts};
    for (const Step &step : std::as_const(plan.steps)) {
        QString error;
        if (!step.option->run(demo, step.value, &error)) {
            sayOnStderr(error);
            return ExitFailure;
        }
    }
    if (plan.quitAfterMs >= 0)
        QTimer::singleShot(plan.quitAfterMs, &app, &QCoreApplication::quit);
    return app.exec();
}
