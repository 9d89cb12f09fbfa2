// velmora_bench: runs the named workloads (all of them without arguments) and prints
// their figures. Run by hand on a release build; never part of the test suite.
#include "bench.h"

#include <QApplication>

#include <cstdio>

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
    if (wanted.isEmpty())
        wanted = workloads.keys();
    int status = 0;
    for (const QString &name : wanted) {
        auto it = workloads.constFind(name);
        if (it == workloads.cend()) {
            std::fprintf(stderr, "unknown workload: %s (try --list)\n", qPrintable(name));
            status = 1;
            continue;
        }
        std::printf("%s: %s\n", qPrintable(name), qPrintable(it->description));
        it->run();
    }
    return status;
}
