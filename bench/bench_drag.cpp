// Moving boxes as the user does, in a shown view: one box with 20 relationships dragged
// with the mouse at 3840x2160, one box nudged among 10,000, and the hub of a star of
// 1,000 relationships dragged one step.
#include "bench.h"
#include "shownscene.h"

#include "diagramgenerator.h"
#include "edgeitem.h"
#include "entityitem.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

namespace {

double elapsedMs(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

EntityItem *newBox(ERScene &scene, const QString &title, const QPointF &pos)
{
    auto *box = new EntityItem(title, QSizeF(150, 70));
    box->addAttributeRow(QStringLiteral("id"), QStringLiteral("INTEGER"), true, false, false, false);
    for (int r = 1; r < 5; ++r)
        box->addAttributeRow(QStringLiteral("column_%1").arg(r), QStringLiteral("VARCHAR(40)"), false,
                             false, false, false);
    box->setPos(pos);
    scene.addItem(box);
    return box;
}

// A point of the viewport where box itself, not one of its cells or slots, takes the press.
QPoint grabPoint(const bench::ShownScene &shown, EntityItem *box)
{
    const QRectF rect = box->sceneBoundingRect();
    for (double y = rect.top() + 2; y < rect.bottom(); y += 2) {
        for (double x = rect.left() + 6; x < rect.right(); x += 3) {
            if (shown.scene.itemAt(QPointF(x, y), shown.view.transform()) == box)
                return shown.view.mapFromScene(QPointF(x, y));
        }
    }
    return shown.view.mapFromScene(rect.center());
}

void sendMouse(bench::ShownScene &shown, QEvent::Type type, const QPoint &at)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), QPointF(shown.view.viewport()->mapToGlobal(at)), Qt::LeftButton,
                      buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(shown.view.viewport(), &event);
}

struct DragFigures
{
    double move = 0;     // mean per move: the event, the quick re-routes, the repaint
    double worst = 0;
    double paint = 0;    // mean repaint alone
    double release = 0;
    double press = 0;
};

// Presses on box, moves it steps times by (dx, dy), each move followed by the re-route
// timer's work and a repaint of the viewport, then releases.
DragFigures dragBox(bench::ShownScene &shown, EntityItem *box, int steps, int dx, int dy)
{
    DragFigures figures;
    QPoint at = grabPoint(shown, box);
    QElapsedTimer pressTimer;
    pressTimer.start();
    sendMouse(shown, QEvent::MouseButtonPress, at);
    figures.press = elapsedMs(pressTimer);
    for (int step = 0; step < steps; ++step) {
        at += QPoint(dx, dy);
        QElapsedTimer timer;
        timer.start();
        sendMouse(shown, QEvent::MouseMove, at);
        EdgeItem::flushPendingReroutes();
        QElapsedTimer paintTimer;
        paintTimer.start();
        shown.view.viewport()->repaint();
        figures.paint += elapsedMs(paintTimer);
        const double ms = elapsedMs(timer);
        figures.move += ms;
        figures.worst = std::max(figures.worst, ms);
    }
    QElapsedTimer timer;
    timer.start();
    sendMouse(shown, QEvent::MouseButtonRelease, at);
    shown.view.viewport()->repaint();
    figures.release = elapsedMs(timer);
    figures.move /= steps;
    figures.paint /= steps;
    return figures;
}

void drag4k()
{
    bench::loadBundledFontsQuietly();
    bench::ShownScene shown(QSize(3840, 2160));
    EntityItem *centre = newBox(shown.scene, QStringLiteral("centre"), QPointF(1200, 800));
    for (int i = 0; i < 20; ++i) {
        const double angle = i * 6.283185307179586 / 20;
        EntityItem *other = newBox(shown.scene, QStringLiteral("around_%1").arg(i),
                                   QPointF(1200 + 700 * std::cos(angle), 800 + 600 * std::sin(angle)));
        if (EdgeItem *edge = shown.scene.createEdge(other, centre, false))
            edge->updatePath();
    }
    shown.view.centerOn(centre);
    shown.waitForPaint();
    const DragFigures figures = dragBox(shown, centre, 40, 3, 2);
    bench::reportMs(QStringLiteral("per move (target < 16)"), figures.move);
    bench::reportMs(QStringLiteral("  slowest move"), figures.worst);
    bench::reportMs(QStringLiteral("  of which the repaint"), figures.paint);
    bench::reportMs(QStringLiteral("release"), figures.release);
}

void nudge10000()
{
    bench::loadBundledFontsQuietly();
    bench::ShownScene shown;
    diagramgenerator::DiagramPlan plan;
    plan.columns = 100;
    plan.rows = 100;
    plan.views = 0;
    plan.edges = 0;
    plan.selfRelationships = 0;
    plan.viewLinks = 0;
    const diagramgenerator::Diagram diagram = diagramgenerator::buildDiagram(&shown.scene, plan);
    shown.waitForPaint();
    EntityItem *box = diagram.boxes.at(diagram.boxes.size() / 2);
    // The nudge and the event-loop turn after it, where the scene announces the change.
    constexpr int Nudges = 20;
    const double ms = bench::medianMs([&] {
        for (int i = 0; i < Nudges; ++i) {
            box->moveBy(i % 2 == 0 ? 1 : -1, 0);
            QCoreApplication::processEvents();
        }
    });
    bench::report(QStringLiteral("boxes"), QString::number(diagram.boxes.size()));
    bench::reportMs(QStringLiteral("one nudge (target < 2)"), ms / Nudges);
}

// A hub box and 1,000 boxes around it in ten rings, each joined to the hub; not routed.
EntityItem *buildHub(ERScene &scene, QList<EdgeItem *> &edges)
{
    EntityItem *hub = newBox(scene, QStringLiteral("hub"), QPointF(0, 0));
    QList<EntityItem *> spokes;
    for (int i = 0; i < 1000; ++i) {
        const int ring = i / 100;
        const double angle = (i % 100) * 6.283185307179586 / 100;
        const double radius = 900 + ring * 350;
        spokes.append(newBox(scene, QStringLiteral("spoke_%1").arg(i),
                             QPointF(radius * std::cos(angle), radius * std::sin(angle))));
    }
    for (EntityItem *spoke : std::as_const(spokes)) {
        if (EdgeItem *edge = scene.createEdge(spoke, hub, false))
            edges.append(edge);
    }
    return hub;
}

void hubDrag()
{
    bench::loadBundledFontsQuietly();
    bench::ShownScene shown;
    QList<EdgeItem *> edges;
    EntityItem *hub = buildHub(shown.scene, edges);
    QElapsedTimer timer;
    timer.start();
    for (EdgeItem *edge : std::as_const(edges))
        edge->updatePath();
    bench::reportMs(QStringLiteral("routing the 1,000 edges (target < 1000)"), elapsedMs(timer));
    shown.view.centerOn(hub);
    shown.waitForPaint();
    const DragFigures figures = dragBox(shown, hub, 3, 5, 3);
    bench::reportMs(QStringLiteral("press"), figures.press);
    bench::reportMs(QStringLiteral("per drag step, re-routes and repaint (target < 50)"), figures.move);
    bench::reportMs(QStringLiteral("  of which the repaint"), figures.paint);
    bench::reportMs(QStringLiteral("release (target < 1000)"), figures.release);
}

// The hub diagram written without routes and loaded into a shown scene, which routes
// every line to the hub.
void hubLoad()
{
    bench::loadBundledFontsQuietly();
    QJsonObject document;
    {
        ERScene source;
        QList<EdgeItem *> edges;
        buildHub(source, edges);
        document = source.toJson();
    }
    const bench::ShownLoads figures = bench::loadShown(document, 3);
    const QList<double> &loads = figures.loads;
    const QList<double> &stalls = figures.stalls;
    const QList<double> &routing = figures.routing;
    bench::report(QStringLiteral("load until painted (target < 1000)"),
                  QStringLiteral("%1 / %2 / %3 ms").arg(loads.first(), 0, 'f', 1).arg(loads.at(1), 0, 'f', 1)
                      .arg(loads.last(), 0, 'f', 1));
    bench::reportMs(QStringLiteral("  of which routing (median)"), routing.at(1));
    bench::reportMs(QStringLiteral("longest stall (median)"), stalls.at(1));
}

} // namespace

VELMORA_BENCH("drag-4k", "drag one box with 20 relationships in a 3840x2160 view (target < 16 ms a move)", drag4k);
VELMORA_BENCH("nudge-10000", "nudge one box of 10,000 in a shown view (target < 2 ms)", nudge10000);
VELMORA_BENCH("hub-drag", "drag the hub of a star of 1,000 relationships one step (target < 50 ms, release < 1 s)",
              hubDrag);
VELMORA_BENCH("hub-load", "load the star of 1,000 relationships without routes into a shown view (target < 1 s)",
              hubLoad);
