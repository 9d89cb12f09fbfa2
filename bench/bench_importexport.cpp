// The window's export and import actions as the user waits for them: PDF and SVG of a
// 2,000-box diagram, and a Mermaid file of 2,000 entities imported into a new project.
#include "bench.h"

#include "applicationsetup.h"
#include "busyspinnerwidget.h"
#include "diagramgenerator.h"
#include "erscene.h"
#include "erview.h"
#include "mainwindow.h"
#include "mermaidreader.h"
#include "mermaidwriter.h"
#include "uiprompts.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

class FilePrompts : public UiPrompts
{
public:
    QString path;
    QString getOpenFileName(QWidget *, const QString &, const QString &, const QString &) override { return path; }
    QString getSaveFileName(QWidget *, const QString &, const QString &, const QString &) override { return path; }
    void warning(QWidget *, const QString &title, const QString &text) override
    {
        bench::report(u"box "_s + title, text);
    }
};

diagramgenerator::DiagramPlan largePlan()
{
    diagramgenerator::DiagramPlan plan;
    plan.columns = 50;
    plan.rows = 40;
    plan.views = 40;
    plan.edges = 3000;
    return plan;
}

// Triggers the action and returns the milliseconds until the overlay is down.
double runAction(MainWindow &window, const char *action)
{
    auto *spinner = window.findChild<BusySpinnerWidget *>();
    QElapsedTimer timer;
    timer.start();
    window.findChild<QAction *>(QLatin1String(action))->trigger();
    while (spinner->isBusy())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return timer.nsecsElapsed() / 1e6;
}

ERScene *sceneOf(MainWindow &window)
{
    return qobject_cast<ERScene *>(window.findChild<ERView *>()->scene());
}

void reportAgainst(const QString &label, double ms, double targetMs)
{
    bench::report(label, u"%1 ms, target %2 ms: %3"_s.arg(ms, 0, 'f', 0).arg(targetMs, 0, 'f', 0)
                             .arg(ms < targetMs ? u"met"_s : u"MISSED"_s));
}

void exportPdfSvg()
{
    QLoggingCategory::setFilterRules(u"default.debug=false"_s);
    configureApplication(*qApp);
    QTemporaryDir dir;
    FilePrompts prompts;
    const UiPrompts::Override answering(&prompts);
    MainWindow window;
    window.resize(1600, 1000);
    bench::showExposed(window);
    ERScene *scene = sceneOf(window);
    const diagramgenerator::Diagram diagram = diagramgenerator::buildDiagram(scene, largePlan());
    QCoreApplication::processEvents();
    bench::report(u"boxes, edges"_s, u"%1, %2"_s.arg(diagram.boxes.size()).arg(diagram.edges.size()));

    prompts.path = dir.filePath(u"large.pdf"_s);
    reportAgainst(u"Export to PDF, action to idle"_s, runAction(window, "actionExport_to_PDF"), 3000);
    bench::report(u"PDF size"_s, u"%1 KiB"_s.arg(QFileInfo(prompts.path).size() / 1024));
    prompts.path = dir.filePath(u"large.svg"_s);
    reportAgainst(u"Export to SVG, action to idle"_s, runAction(window, "actionExport_to_SVG"), 3000);
    bench::report(u"SVG size"_s, u"%1 KiB"_s.arg(QFileInfo(prompts.path).size() / 1024));
}

void importAdopt()
{
    QLoggingCategory::setFilterRules(u"default.debug=false"_s);
    configureApplication(*qApp);
    QTemporaryDir dir;
    FilePrompts prompts;
    prompts.path = dir.filePath(u"large.mmd"_s);
    {
        ERScene source;
        diagramgenerator::buildDiagram(&source, largePlan());
        QString error;
        if (!writeMermaidFile(source.toJson(), prompts.path, &error)) {
            bench::report(u"writing the Mermaid file"_s, u"FAILED: "_s + error);
            return;
        }
    }
    bench::report(u"Mermaid file"_s, u"%1 KiB"_s.arg(QFileInfo(prompts.path).size() / 1024));
    bench::reportMs(u"parse on its own (parseMermaidFile)"_s,
                    bench::medianMs([&] { parseMermaidFile(prompts.path, nullptr); }, 1));

    const UiPrompts::Override answering(&prompts);
    MainWindow window;
    window.resize(1600, 1000);
    bench::showExposed(window);
    reportAgainst(u"Import from Mermaid, action to idle"_s, runAction(window, "actionImport_from_Mermaid"), 5000);
    bench::report(u"items on the scene"_s, QString::number(sceneOf(window)->items().size()));
}

} // namespace

VELMORA_BENCH("export-pdf-svg",
              "Export to PDF and to SVG of 2,000 boxes and 3,000 edges shown in the window (targets < 3 s each)",
              exportPdfSvg);
VELMORA_BENCH("import-adopt",
              "Import from Mermaid of 2,000 entities and 3,000 relationships into a new project, action to idle (target < 5 s)",
              importAdopt);
