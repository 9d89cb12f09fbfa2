// The main window's Open and Save of a large project, from the action until the busy
// overlay is idle again, with the CPU time the GUI thread spent meanwhile.
#include "bench.h"
#include "largeproject.h"

#include "applicationsetup.h"
#include "busyspinnerwidget.h"
#include "jsontext.h"
#include "mainwindow.h"
#include "projectitem.h"
#include "uiprompts.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <ctime>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Every file dialog chooses the bench's file; boxes are counted, never shown.
class BenchPrompts : public UiPrompts
{
public:
    QString path;
    int boxes = 0;

    void warning(QWidget *, const QString &, const QString &) override { ++boxes; }
    void information(QWidget *, const QString &, const QString &) override { ++boxes; }
    void critical(QWidget *, const QString &, const QString &) override { ++boxes; }
    QString getOpenFileName(QWidget *, const QString &, const QString &, const QString &) override { return path; }
    QString getSaveFileName(QWidget *, const QString &, const QString &, const QString &) override { return path; }
};

// CPU time the calling thread has used, in milliseconds. On a loaded machine the GUI
// thread's share of an action is clearer in CPU time than in gaps of wall time.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// The routes of the generated diagrams are not in the scene's form, so every load warns
// once per edge, and offscreen the overlay cannot grab input; warnings are counted
// instead of printed.
int g_warnings = 0;
QtMessageHandler g_previousHandler = nullptr;

void countWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg)
        ++g_warnings;
    else if (g_previousHandler)
        g_previousHandler(type, context, message);
}

struct Run
{
    double totalMs = 0;
    double guiCpuMs = 0;
};

// From the action until the overlay is down, its completion and report included.
Run runAction(MainWindow &window, const char *actionName)
{
    auto *spinner = window.findChild<BusySpinnerWidget *>();
    QAction *action = window.findChild<QAction *>(QLatin1String(actionName));
    QElapsedTimer timer;
    const double cpuBefore = threadCpuMs();
    timer.start();
    action->trigger();
    while (spinner->isBusy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return {timer.nsecsElapsed() / 1e6, threadCpuMs() - cpuBefore};
}

// The overlay alone over the opened diagram while a worker sleeps for a second: what the
// GUI thread spends on showing that it waits.
Run overlayWait(MainWindow &window)
{
    auto *spinner = window.findChild<BusySpinnerWidget *>();
    QElapsedTimer timer;
    const double cpuBefore = threadCpuMs();
    timer.start();
    spinner->runInThread([] { QThread::msleep(1000); }, {}, {});
    while (spinner->isBusy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return {timer.nsecsElapsed() / 1e6, threadCpuMs() - cpuBefore};
}

Run median(std::vector<Run> runs)
{
    std::sort(runs.begin(), runs.end(), [](const Run &a, const Run &b) { return a.totalMs < b.totalMs; });
    return runs[runs.size() / 2];
}

void reportRuns(const QString &name, const std::vector<Run> &runs, double targetMs)
{
    QStringList each;
    for (const Run &run : runs)
        each.append(QString::number(run.totalMs, 'f', 0));
    const Run mid = median(runs);
    bench::report(name + u" runs (ms)"_s, each.join(u", "_s));
    bench::report(name + u" median"_s, u"%1 ms, target %2 ms: %3"_s.arg(mid.totalMs, 0, 'f', 1)
                                           .arg(targetMs, 0, 'f', 0)
                                           .arg(mid.totalMs < targetMs ? u"met"_s : u"MISSED"_s));
    bench::report(name + u" GUI thread CPU"_s,
                  u"%1 ms (%2% of the wall time)"_s.arg(mid.guiCpuMs, 0, 'f', 1)
                      .arg(100.0 * mid.guiCpuMs / mid.totalMs, 0, 'f', 0));
}

void projectOpenSave()
{
    configureApplication(*qApp);

    QTemporaryDir dir;
    BenchPrompts prompts;
    prompts.path = dir.filePath(u"large-project.json"_s);
    {
        ProjectItem project;
        bench::buildLargeProject(project);
        QSaveFile file(prompts.path);
        if (!file.open(QIODevice::WriteOnly) || file.write(indentedJsonText(project.toDocument())) < 0
            || !file.commit()) {
            bench::report(u"writing the project"_s, u"FAILED: "_s + file.errorString());
            return;
        }
    }
    bench::report(u"project file"_s, u"%1 MiB"_s.arg(QFileInfo(prompts.path).size() / 1048576.0, 0, 'f', 1));
    const UiPrompts::Override answering(&prompts);

    MainWindow window;
    bench::showExposed(window);

    constexpr int runs = 5;
    std::vector<Run> opens;
    std::vector<Run> saves;
    g_previousHandler = qInstallMessageHandler(countWarnings);
    for (int i = 0; i < runs; ++i)
        opens.push_back(runAction(window, "action_Open"));
    const QString shown = window.findChild<QLabel *>(u"labelFileName"_s)->text();
    const Run waiting = overlayWait(window);
    for (int i = 0; i < runs; ++i)
        saves.push_back(runAction(window, "action_Save"));
    qInstallMessageHandler(g_previousHandler);

    bench::report(u"status bar after Open"_s, shown);
    reportRuns(u"Open"_s, opens, 2000);
    reportRuns(u"Save"_s, saves, 2000);
    bench::report(u"overlay over a 1 s wait, GUI thread CPU"_s, u"%1 ms"_s.arg(waiting.guiCpuMs, 0, 'f', 1));
    bench::report(u"saved file"_s, u"%1 MiB"_s.arg(QFileInfo(prompts.path).size() / 1048576.0, 0, 'f', 1));
    bench::report(u"boxes shown (failures)"_s, QString::number(prompts.boxes));
    bench::report(u"warnings logged"_s, QString::number(g_warnings));
    bench::report(u"peak RSS"_s, u"%1 MiB"_s.arg(bench::peakRssMiB(), 0, 'f', 1));
}

} // namespace

VELMORA_BENCH("project-open-save",
              "the window's Open and Save of 2,000 tables x 30 columns, 20 stored diagrams", projectOpenSave);
