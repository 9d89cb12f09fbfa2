// Style dialogs: what a person waits for when opening one, saving a preset and typing a
// colour, with a settings store that holds 1,000 user presets.
#include "bench.h"

#include "applicationsetup.h"
#include "colorpresets.h"
#include "colorsdialog.h"
#include "entitycolordialog.h"
#include "groupitemstyledialog.h"
#include "textitemstyledialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGraphicsView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

void processUntil(const std::function<bool()> &done)
{
    QElapsedTimer cap;
    cap.start();
    while (!done() && cap.elapsed() < 5000)
        QCoreApplication::processEvents();
}

// Builds, shows and paints one dialog; returns when the first paint was processed.
template<typename Dialog>
void openOnce()
{
    Dialog dialog;
    bench::PaintWatcher watcher;
    dialog.installEventFilter(&watcher);
    dialog.show();
    processUntil([&] { return watcher.painted; });
}

QList<UserColorPreset> thousandPresets()
{
    QList<UserColorPreset> presets;
    DualThemeColorScheme scheme = colorpresets::defaultScheme();
    for (int i = 0; i < colorpresets::MaxUserPresets; ++i) {
        scheme.light.background = QColor::fromRgb(i * 0x10307 & 0xFFFFFF);
        presets.append({QStringLiteral("Preset %1").arg(i), scheme});
    }
    return presets;
}

double typingMs()
{
    ColorsDialog dialog;
    dialog.show();
    bench::PaintWatcher first;
    dialog.installEventFilter(&first);
    processUntil([&] { return first.painted; });

    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("lineEditBgHexLight"));
    QWidget *light = dialog.findChild<QGraphicsView *>(QStringLiteral("graphicsViewLight"))->viewport();
    QWidget *dark = dialog.findChild<QGraphicsView *>(QStringLiteral("graphicsViewDark"))->viewport();
    bench::PaintWatcher lightPaint;
    bench::PaintWatcher darkPaint;
    light->installEventFilter(&lightPaint);
    dark->installEventFilter(&darkPaint);

    std::vector<double> times;
    for (int i = 0; i < 21; ++i) {
        // Five digits parse to no colour, so the previews keep the last one.
        edit->setText(QStringLiteral("#AABBC"));
        QCoreApplication::processEvents();
        lightPaint.painted = darkPaint.painted = false;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + i % 10, Qt::NoModifier,
                        QString::number(i % 10));
        QElapsedTimer timer;
        timer.start();
        QCoreApplication::sendEvent(edit, &press);
        processUntil([&] { return lightPaint.painted && darkPaint.painted; });
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The first open pays for what the process has not loaded yet; later ones show the
// dialog's own cost.
template<typename Dialog>
void reportOpen(const QString &name)
{
    QElapsedTimer timer;
    timer.start();
    openOnce<Dialog>();
    bench::reportMs(name + QStringLiteral(" first open (target < 150)"), timer.nsecsElapsed() / 1e6);
    bench::reportMs(name + QStringLiteral(" open, median of 3"), bench::medianMs(openOnce<Dialog>));
}

void styleDialogs()
{
    configureApplication(*qApp);
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir store;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());

    const QList<UserColorPreset> presets = thousandPresets();
    const double saveMs = bench::medianMs([&] { colorpresets::saveUserPresets(presets); });
    bench::reportMs(QStringLiteral("saveUserPresets, 1000 (target < 100)"), saveMs);

    reportOpen<ColorsDialog>(QStringLiteral("ColorsDialog"));
    reportOpen<TextItemStyleDialog>(QStringLiteral("TextItemStyleDialog"));
    reportOpen<GroupItemStyleDialog>(QStringLiteral("GroupItemStyleDialog"));
    reportOpen<EntityColorDialog>(QStringLiteral("EntityColorDialog"));
    bench::reportMs(QStringLiteral("typed hex digit to both previews (target < 16)"), typingMs());
}

} // namespace

VELMORA_BENCH("style_dialogs", "open each style dialog, save 1000 presets, type a colour digit", styleDialogs);
