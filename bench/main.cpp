// velmora_bench: runs the named workloads (all of them without arguments) and prints
// their figures. Run by hand on a release build; never part of the test suite.
// Each workload runs in a process of its own, so that one workload's heap, fonts and live
// scenes do not change another's figure; --in-process runs them all in this one. A name
// that is no workload but starts some (layout-quality for layout-quality-30, ...) runs
// each of them.
#include "bench.h"

#include <QApplication>
#include <QProcess>

#include <cstdio>

namespace {

int runInProcess(const QString &name, const bench::Entry &entry)
{
    std::printf("%s: %s\n", qPrintable(name), qPrintable(entry.description));
    std::fflush(stdout);
    entry.run();
    return 0;
}

int runInChild(const QString &name)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--in-process"), name});
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit) {
        std::fprintf(stderr, "workload %s did not finish normally\n", qPrintable(name));
        return 1;
    }
    return child.exitCode();
}

// The workloads a name on the command line stands for: itself, or the group it begins.
QStringList expand(const QString &name, const QMap<QString, bench::Entry> &workloads)
{
    if (workloads.contains(name))
        return {name};
    QStringList group;
    for (auto it = workloads.cbegin(); it != workloads.cend(); ++it) {
        if (it.key().startsWith(name + QLatin1Char('-')))
            group.append(it.key());
    }
    return group;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QStringList wanted = app.arguments().mid(1);
    const auto &workloads = bench::workloads();
    if (wanted.contains(QStringLiteral("--list"))) {
        for (auto it = workloads.cbegin(); it != workloads.cend(); ++it)
            std::printf("%-24s %s\n", qPrintable(it.key()), qPrintable(it->description));
        return 0;
    }
    const bool inProcess = wanted.removeAll(QStringLiteral("--in-process")) > 0;
    if (wanted.isEmpty())
        wanted = workloads.keys();
    int status = 0;
    for (const QString &asked : std::as_const(wanted)) {
        const QStringList names = expand(asked, workloads);
        if (names.isEmpty()) {
            std::fprintf(stderr, "unknown workload: %s (try --list)\n", qPrintable(asked));
            status = 1;
        }
        for (const QString &name : names) {
            const int result = inProcess ? runInProcess(name, workloads[name]) : runInChild(name);
            status = result != 0 ? result : status;
        }
    }
    return status;
}
