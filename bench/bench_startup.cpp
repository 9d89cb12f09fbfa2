// Start-up of the application: configuration, main window construction, first paint and
// one theme toggle, each measured once as a person starting the program would see it.
#include "bench.h"

#include "applicationsetup.h"
#include "mainwindow.h"
#include "thememanager.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>

namespace {

double elapsedMs(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

void startup()
{
    QElapsedTimer timer;
    timer.start();
    configureApplication(*qApp);
    const double configureMs = elapsedMs(timer);

    timer.restart();
    MainWindow window;
    const double constructMs = elapsedMs(timer);

    bench::PaintWatcher watcher;
    window.installEventFilter(&watcher);
    timer.restart();
    window.show();
    QElapsedTimer cap;
    cap.start();
    while (!watcher.painted && cap.elapsed() < 5000)
        QCoreApplication::processEvents();
    const double paintMs = elapsedMs(timer);

    QAction *toggle = window.findChild<QAction *>(QStringLiteral("actionToggle_Theme"));
    timer.restart();
    toggle->trigger();
    const double toggleMs = elapsedMs(timer);

    bench::reportMs(QStringLiteral("configureApplication"), configureMs);
    bench::reportMs(QStringLiteral("MainWindow construction"), constructMs);
    bench::reportMs(QStringLiteral("show until first paint"), paintMs);
    bench::reportMs(QStringLiteral("first three together (target < 300)"), configureMs + constructMs + paintMs);
    bench::reportMs(QStringLiteral("theme toggle (target < 100)"), toggleMs);
}

} // namespace

VELMORA_BENCH("startup", "configure the application, build and show the main window, toggle the theme", startup);
