// Entity box workloads: reading large entity objects and switching the theme of a
// diagram full of boxes. Scene teardown is left out of the times.
#include "bench.h"

#include "entityitem.h"
#include "erscene.h"
#include "thememanager.h"

#include <QFontDatabase>
#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <ctime>

#include <malloc.h>

static void initBundle()
{
    Q_INIT_RESOURCE(velmora);
}

namespace {

// CPU time of this thread in milliseconds: on a loaded machine it says more than the
// wall time, which the other processes stretch.
double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

void registerMonoFont()
{
    static const bool done = [] {
        initBundle();
        QFontDatabase::addApplicationFont(
            QStringLiteral(":/fonts/resources/fonts/JetBrainsMono-Regular.ttf"));
        return true;
    }();
    Q_UNUSED(done);
}

QJsonObject entityObject(int index, int rows)
{
    QJsonArray attributes;
    for (int r = 0; r < rows; ++r) {
        QJsonObject row;
        row.insert(QStringLiteral("name"), QStringLiteral("column_%1_of_%2").arg(r).arg(index));
        row.insert(QStringLiteral("type"), r % 3 == 0 ? QStringLiteral("BIGINT") : QStringLiteral("VARCHAR(120)"));
        row.insert(QStringLiteral("isPrimaryKey"), r == 0);
        row.insert(QStringLiteral("isUniqueKey"), r == 1);
        row.insert(QStringLiteral("isForeignKey"), r % 7 == 3);
        row.insert(QStringLiteral("columnId"), QStringLiteral("col-%1-%2").arg(index).arg(r));
        attributes.append(row);
    }
    QJsonObject object;
    object.insert(QStringLiteral("id"), QStringLiteral("entity-%1").arg(index));
    object.insert(QStringLiteral("x"), 220.0 * (index % 20));
    object.insert(QStringLiteral("y"), 160.0 * (index / 20));
    object.insert(QStringLiteral("title"), QStringLiteral("table_%1").arg(index));
    object.insert(QStringLiteral("perspective"), QStringLiteral("full"));
    object.insert(QStringLiteral("attributes"), attributes);
    return object;
}

EntityItem *readInto(ERScene &scene, const QJsonObject &object)
{
    auto *box = new EntityItem(object.value(QStringLiteral("title")).toString(), QSizeF(150, 70));
    scene.addItem(box);
    box->storedId = object.value(QStringLiteral("id")).toString();
    box->fromJson(object);
    return box;
}

} // namespace

namespace {

// Warms the font and shaping caches, which the first read would otherwise pay for.
void warmUp()
{
    ERScene scene;
    readInto(scene, entityObject(1, 50));
}

// Reads the objects into a fresh scene three times and prints the median wall and thread
// CPU times under label, and the peak memory.
void reportReads(const QList<QJsonObject> &objects, const QString &label)
{
    QList<double> times;
    QList<double> cpu;
    for (int run = 0; run < 3; ++run) {
        ERScene scene;
        QElapsedTimer timer;
        const double cpuStart = threadCpuMs();
        timer.start();
        for (const QJsonObject &object : objects)
            readInto(scene, object);
        times.append(timer.nsecsElapsed() / 1e6);
        cpu.append(threadCpuMs() - cpuStart);
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    bench::reportMs(label, times.at(1));
    bench::reportMs(QStringLiteral("the same, thread CPU time"), cpu.at(1));
    bench::report(QStringLiteral("peak memory"), QString::number(bench::peakRssMiB(), 'f', 1) + " MiB");
}

} // namespace

VELMORA_BENCH("entity-read-1000-rows", "B2a: one entity object of 1,000 rows read into a fresh box (target < 300 ms)", [] {
    registerMonoFont();
    warmUp();
    reportReads({entityObject(0, 1000)}, QStringLiteral("fromJson, 1,000 rows (median of 3)"));
});

VELMORA_BENCH("entity-read-300x30", "B2b: 300 entity objects of 30 rows read into one scene (target < 1.5 s)", [] {
    registerMonoFont();
    QList<QJsonObject> objects;
    for (int i = 0; i < 300; ++i)
        objects.append(entityObject(i, 30));
    warmUp();
    reportReads(objects, QStringLiteral("create and read 300 x 30 rows (median of 3)"));
});

namespace {

// Kept out of the macro: its braced lists would split the macro arguments.
void runThemeSwitch()
{
    registerMonoFont();
    constexpr int Boxes = 500;
    constexpr int Rows = 20;
    constexpr int Rounds = 3;
    ThemeManager *theme = ThemeManager::instance();
    const ThemeKind original = theme->kind();
    // The boxes are made in the dark theme, so the first timed switch really changes colours.
    theme->setTheme(ThemeKind::Dark);
    ERScene scene;
    for (int i = 0; i < Boxes; ++i)
        readInto(scene, entityObject(i, Rows));

    // Each round is the export's double switch; every switch is timed on its own.
    const ThemeKind steps[] = {ThemeKind::Light, ThemeKind::Dark};
    QList<double> wall[2];
    QList<double> cpu[2];
    for (int round = 0; round < Rounds; ++round) {
        for (int s = 0; s < 2; ++s) {
            QElapsedTimer timer;
            const double cpuStart = threadCpuMs();
            timer.start();
            theme->setTheme(steps[s]);
            wall[s].append(timer.nsecsElapsed() / 1e6);
            cpu[s].append(threadCpuMs() - cpuStart);
        }
    }
    const int rowCount = Boxes * Rows;
    const QString labels[] = {QStringLiteral("Dark -> Light"), QStringLiteral("Light -> Dark")};
    for (int s = 0; s < 2; ++s) {
        std::sort(wall[s].begin(), wall[s].end());
        std::sort(cpu[s].begin(), cpu[s].end());
        const double ms = wall[s].at(Rounds / 2);
        bench::reportMs(labels[s] + QStringLiteral(", %1 x %2 rows (median of %3)").arg(Boxes).arg(Rows).arg(Rounds), ms);
        bench::reportMs(QStringLiteral("  the same, thread CPU time"), cpu[s].at(Rounds / 2));
        bench::report(QStringLiteral("  per row"), QString::number(ms * 1e3 / rowCount, 'f', 2) + " us");
    }
    theme->setTheme(original);
}

} // namespace

VELMORA_BENCH("entity-theme-switch", "B3: theme switch Dark -> Light -> Dark with 500 boxes of 20 rows (target < 0.5 s per switch)", runThemeSwitch);

VELMORA_BENCH("entity-memory", "heap taken by 1,000 boxes of 10 rows read into one scene", [] {
    registerMonoFont();
    constexpr int Boxes = 1000;
    constexpr int Rows = 10;
    QList<QJsonObject> objects;
    for (int i = 0; i < Boxes; ++i)
        objects.append(entityObject(i, Rows));
    warmUp();
    ERScene scene;
    const size_t before = mallinfo2().uordblks;
    for (const QJsonObject &object : std::as_const(objects))
        readInto(scene, object);
    const double bytes = double(mallinfo2().uordblks - before);
    bench::report(QStringLiteral("heap in use"), QString::number(bytes / 1048576.0, 'f', 1) + " MiB");
    bench::report(QStringLiteral("  per box"), QString::number(bytes / Boxes / 1024.0, 'f', 1) + " KiB");
    bench::report(QStringLiteral("  per cell (title and two per row)"),
                  QString::number(bytes / (Boxes * (2 * Rows + 1)) / 1024.0, 'f', 2) + " KiB");
    ERScene bare;
    const size_t bareBefore = mallinfo2().uordblks;
    for (int i = 0; i < Boxes; ++i)
        readInto(bare, entityObject(i + Boxes, 0));
    bench::report(QStringLiteral("  per box without rows"),
                  QString::number(double(mallinfo2().uordblks - bareBefore) / Boxes / 1024.0, 'f', 1) + " KiB");
});
