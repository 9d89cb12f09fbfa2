#pragma once

#include <QElapsedTimer>
#include <QEvent>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace bench {

using Workload = std::function<void()>;

struct Entry
{
    QString description;
    Workload run;
};

// Every registered workload by name.
const QMap<QString, Entry> &workloads();

// Registers a named workload; used through VELMORA_BENCH at file scope.
bool registerWorkload(const char *name, const char *description, Workload run);

// Runs step three times and returns the median wall time in milliseconds.
double medianMs(const std::function<void()> &step, int runs = 3);

// The fastest, middle and slowest of several runs.
struct Spread
{
    double min = 0;
    double median = 0;
    double max = 0;
};
Spread spreadOf(QList<double> values);
// The machine's one-minute load average, to note beside a figure.
QString loadAverage();
// Prints "min / median / max ms (n runs, load L)".
void reportSpread(const QString &label, const QList<double> &ms);

// Prints "  <label>: <value>" aligned, so every workload reads the same.
void report(const QString &label, const QString &value);
void reportMs(const QString &label, double ms);

// Notes that a watched widget got a paint event; install it as an event filter and
// clear painted before the step that should cause the paint.
class PaintWatcher : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

// Loads the bundled Inter and JetBrains Mono fonts as the application does and silences
// the items' debug lines, once per process: the figures are about the work, not the terminal.
void loadBundledFontsQuietly();

// Shows the window and turns the event loop until it is exposed (at most 5 s).
void showExposed(QWidget &window);

// Peak resident set size of this process in MiB (from /proc/self/status).
double peakRssMiB();

} // namespace bench

#define VELMORA_BENCH_CAT2(a, b) a##b
#define VELMORA_BENCH_CAT(a, b) VELMORA_BENCH_CAT2(a, b)
#define VELMORA_BENCH(name, description, fn) \
    static const bool VELMORA_BENCH_CAT(benchRegistered_, __LINE__) = \
        bench::registerWorkload(name, description, fn)
