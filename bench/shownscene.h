#pragma once

#include "bench.h"
#include "erscene.h"
#include "erview.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QList>
#include <QTimer>

#include <algorithm>

namespace bench {

// A diagram scene shown in a view of the given size, as the window has it; the figures of
// loads and drags are about what this view then paints.
struct ShownScene
{
    explicit ShownScene(const QSize &size = QSize(1600, 1000))
    {
        view.setScene(&scene);
        view.resize(size);
        view.show();
        waitForPaint();
    }

    // Turns the event loop until the viewport has painted (at most five seconds).
    void waitForPaint()
    {
        PaintWatcher watcher;
        view.viewport()->installEventFilter(&watcher);
        QElapsedTimer cap;
        cap.start();
        while (!watcher.painted && cap.elapsed() < 5000)
            QCoreApplication::processEvents();
        view.viewport()->removeEventFilter(&watcher);
    }

    ERScene scene;
    ERView view;
};

// The longest time the event loop went without turning while it watched: a zero timer
// fires at every turn, and the gap between two firings is the stall the user sees.
class StallWatch : public QObject
{
public:
    StallWatch()
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
    }
    void start()
    {
        m_longest = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    // The longest gap in milliseconds, the time up to now included.
    double stop()
    {
        tick();
        m_timer.stop();
        return m_longest;
    }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_longest = std::max(m_longest, (now - m_last) / 1e6);
        m_last = now;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    double m_longest = 0;
};

// Loads of one document, each into a fresh shown scene until its first paint: the time, the
// share of the routing and the longest stall of each run, every list sorted.
struct ShownLoads
{
    QList<double> loads;
    QList<double> routing;
    QList<double> stalls;
};

inline ShownLoads loadShown(const QJsonObject &document, int runs)
{
    ShownLoads figures;
    for (int run = 0; run < runs; ++run) {
        ShownScene shown;
        StallWatch stall;
        QElapsedTimer timer;
        timer.start();
        stall.start();
        shown.scene.loadFromJson(document);
        figures.routing.append(shown.scene.lastLoadTimings().routing);
        shown.waitForPaint();
        figures.stalls.append(stall.stop());
        figures.loads.append(timer.nsecsElapsed() / 1e6);
    }
    for (QList<double> *list : {&figures.loads, &figures.routing, &figures.stalls})
        std::sort(list->begin(), list->end());
    return figures;
}

} // namespace bench
