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

static void initBundle()
{
    Q_INIT_RESOURCE(velmora);
}

namespace {

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

VELMORA_BENCH("entity-read-1000-rows", "B2a: one entity object of 1,000 rows read into a fresh box (target < 300 ms)", [] {
    registerMonoFont();
    const QJsonObject object = entityObject(0, 1000);
    QList<double> times;
    for (int run = 0; run < 3; ++run) {
        ERScene scene;
        QElapsedTimer timer;
        timer.start();
        readInto(scene, object);
        times.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    const double ms = times.at(1);
    bench::reportMs(QStringLiteral("fromJson, 1,000 rows (median of 3)"), ms);
    bench::report(QStringLiteral("peak memory"), QString::number(bench::peakRssMiB(), 'f', 1) + " MiB");
});

VELMORA_BENCH("entity-read-300x30", "B2b: 300 entity objects of 30 rows read into one scene (target < 1.5 s)", [] {
    registerMonoFont();
    QList<QJsonObject> objects;
    for (int i = 0; i < 300; ++i)
        objects.append(entityObject(i, 30));
    QList<double> times;
    for (int run = 0; run < 3; ++run) {
        ERScene scene;
        QElapsedTimer timer;
        timer.start();
        for (const QJsonObject &object : qAsConst(objects))
            readInto(scene, object);
        times.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    const double ms = times.at(1);
    bench::reportMs(QStringLiteral("create and read 300 x 30 rows (median of 3)"), ms);
    bench::report(QStringLiteral("peak memory"), QString::number(bench::peakRssMiB(), 'f', 1) + " MiB");
});

VELMORA_BENCH("entity-theme-switch", "B3: theme switch with 300 boxes of 30 rows in the scene", [] {
    registerMonoFont();
    ERScene scene;
    for (int i = 0; i < 300; ++i)
        readInto(scene, entityObject(i, 30));
    ThemeManager *theme = ThemeManager::instance();
    const ThemeKind original = theme->kind();
    bool dark = original != ThemeKind::Dark;
    const double ms = bench::medianMs([&] {
        theme->setTheme(dark ? ThemeKind::Dark : ThemeKind::Light);
        dark = !dark;
    }, 5);
    bench::reportMs(QStringLiteral("setTheme, 300 boxes, 18,000 cells (median of 5)"), ms);
    theme->setTheme(original);
});
