#include "bench.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFontDatabase>
#include <QLoggingCategory>
#include <QMap>
#include <QTextStream>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <vector>

static void initBenchBundle()
{
    Q_INIT_RESOURCE(velmora);
}

namespace bench {

static QMap<QString, Entry> &registry()
{
    static QMap<QString, Entry> entries;
    return entries;
}

const QMap<QString, Entry> &workloads()
{
    return registry();
}

bool registerWorkload(const char *name, const char *description, Workload run)
{
    registry().insert(QString::fromUtf8(name), {QString::fromUtf8(description), std::move(run)});
    return true;
}

double medianMs(const std::function<void()> &step, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        step();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

Spread spreadOf(QList<double> values)
{
    if (values.isEmpty())
        return {};
    std::sort(values.begin(), values.end());
    return {values.first(), values.at(values.size() / 2), values.last()};
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 0);
}

void reportSpread(const QString &label, const QList<double> &ms)
{
    const Spread s = spreadOf(ms);
    report(label, QStringLiteral("%1 / %2 / %3 ms (%4 runs, load %5)")
                      .arg(s.min, 0, 'f', 1)
                      .arg(s.median, 0, 'f', 1)
                      .arg(s.max, 0, 'f', 1)
                      .arg(ms.size())
                      .arg(loadAverage()));
}

void report(const QString &label, const QString &value)
{
    std::printf("  %-44s %s\n", qPrintable(label), qPrintable(value));
    std::fflush(stdout);
}

void reportMs(const QString &label, double ms)
{
    report(label, QString::number(ms, 'f', 2) + " ms");
}

double peakRssMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    const QStringList lines = QString::fromLatin1(status.readAll()).split('\n');
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("VmHWM:")))
            return line.section(QLatin1Char(' '), 1, -1, QString::SectionSkipEmpty)
                       .section(QLatin1Char(' '), 0, 0).toDouble() / 1024.0;
    }
    return 0;
}

void loadBundledFontsQuietly()
{
    static const bool done = [] {
        initBenchBundle();
        QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/resources/fonts/Inter-Regular.otf"));
        QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/resources/fonts/JetBrainsMono-Regular.ttf"));
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        return true;
    }();
    Q_UNUSED(done);
}

void showExposed(QWidget &window)
{
    window.show();
    QElapsedTimer exposing;
    exposing.start();
    while (!(window.windowHandle() && window.windowHandle()->isExposed()) && exposing.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

} // namespace bench
