#include "erscene.h"
#include "erview.h"
#include "testsupport.h"

#include <QGraphicsRectItem>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>

// The diagram view: zoom limits, wheel, fit, middle-button pan, clicks, placement modes,
// Escape and drops from the model explorer.
class tst_ERViewNavigation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void zoomInStopsAtUpperLimit();
    void setZoomClampsToLowerLimit();
    void nonFiniteZoomIsIgnored_data();
    void nonFiniteZoomIsIgnored();
    void controlWheelZooms_data();
    void controlWheelZooms();
    void wheelWithoutControlScrolls();
    void fitAllMayExceedLimitUntilNextZoom();
    void fitAllWithoutItemsDoesNothing();

    void middleButtonDragPansWithoutClick();
    void clicksAndMovesReportScenePositions();
    void placementModesSetCrossCursor();
    void escapeGoesToSceneUnlessModeActive_data();
    void escapeGoesToSceneUnlessModeActive();

    void explorerDropEmitsPayloadAndPosition();
    void otherDragsAreLeftToBaseView();
};

namespace {

// Remembers the keys that reach it.
class KeyCatcher : public QGraphicsRectItem
{
public:
    KeyCatcher()
        : QGraphicsRectItem(0, 0, 20, 20)
    {
        setFlag(ItemIsFocusable);
    }
    QList<int> keys;

protected:
    void keyPressEvent(QKeyEvent *event) override { keys.append(event->key()); }
};

struct Fixture
{
    explicit Fixture(const QSize &size = QSize(400, 300))
    {
        view.setScene(&scene);
        view.resize(size);
    }
    bool show()
    {
        view.show();
        view.activateWindow();
        return QTest::qWaitForWindowActive(&view);
    }

    ERScene scene;
    ERView view;
};

void sendWheel(ERView &view, const QPoint &angle, Qt::KeyboardModifiers modifiers)
{
    const QPointF pos(view.viewport()->width() / 2.0, view.viewport()->height() / 2.0);
    QWheelEvent event(pos, view.viewport()->mapToGlobal(pos), QPoint(), angle, Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view.viewport(), &event);
}

} // namespace

void tst_ERViewNavigation::initTestCase()
{
    testsupport::registerBundledMonoFont();
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

void tst_ERViewNavigation::zoomInStopsAtUpperLimit()
{
    Fixture f;
    QSignalSpy zoomed(&f.view, &ERView::zoomChanged);
    for (int i = 0; i < 9; ++i)
        f.view.zoomIn();
    QCOMPARE(zoomed.size(), 9);
    double expected = 1.0;
    for (int i = 0; i < 9; ++i) {
        expected = qMin(expected * 1.25, 4.0);
        QCOMPARE(zoomed.at(i).at(0).toDouble(), expected);
    }
    QCOMPARE(f.view.zoomFactor, 4.0);
    QCOMPARE(f.view.transform().m11(), 4.0);
    QCOMPARE(f.view.transform().m22(), 4.0);

    f.view.zoomOut();
    QCOMPARE(f.view.zoomFactor, 3.2);
    f.view.resetZoom();
    QCOMPARE(f.view.zoomFactor, 1.0);
    QCOMPARE(zoomed.last().at(0).toDouble(), 1.0);
}

void tst_ERViewNavigation::setZoomClampsToLowerLimit()
{
    Fixture f;
    QSignalSpy zoomed(&f.view, &ERView::zoomChanged);
    f.view.setZoom(0.05);
    QCOMPARE(zoomed.size(), 1);
    QCOMPARE(zoomed.at(0).at(0).toDouble(), 0.1);
    QCOMPARE(f.view.transform().m11(), 0.1);
    f.view.setZoom(12.0);
    QCOMPARE(zoomed.at(1).at(0).toDouble(), 4.0);
}

void tst_ERViewNavigation::nonFiniteZoomIsIgnored_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("asFactor");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("setZoom NaN") << nan << false;
    QTest::newRow("setZoom +inf") << inf << false;
    QTest::newRow("setZoom -inf") << -inf << false;
    QTest::newRow("zoomBy NaN") << nan << true;
    QTest::newRow("zoomBy +inf") << inf << true;
}

void tst_ERViewNavigation::nonFiniteZoomIsIgnored()
{
    QFETCH(double, value);
    QFETCH(bool, asFactor);
    Fixture f;
    f.view.setZoom(2.0);
    QSignalSpy zoomed(&f.view, &ERView::zoomChanged);
    if (asFactor)
        f.view.zoomBy(value);
    else
        f.view.setZoom(value);
    QCOMPARE(zoomed.size(), 0);
    QCOMPARE(f.view.zoomFactor, 2.0);
    QCOMPARE(f.view.transform().m11(), 2.0);
}

void tst_ERViewNavigation::controlWheelZooms_data()
{
    QTest::addColumn<int>("delta");
    QTest::addColumn<double>("expected");
    QTest::newRow("+120") << 120 << std::pow(1.0015, 120);
    QTest::newRow("-120") << -120 << 1.0 / std::pow(1.0015, 120);
    QTest::newRow("huge up") << std::numeric_limits<int>::max() << 4.0;
    QTest::newRow("huge down") << std::numeric_limits<int>::min() << 0.1;
}

void tst_ERViewNavigation::controlWheelZooms()
{
    QFETCH(int, delta);
    QFETCH(double, expected);
    Fixture f;
    QSignalSpy zoomed(&f.view, &ERView::zoomChanged);
    const int vertical = f.view.verticalScrollBar()->value();
    sendWheel(f.view, QPoint(0, delta), Qt::ControlModifier);
    QCOMPARE(zoomed.size(), 1);
    QVERIFY(qAbs(f.view.zoomFactor - expected) < 1e-9);
    QVERIFY(std::isfinite(f.view.transform().m11()));
    if (delta == 120)
        QVERIFY(qAbs(f.view.zoomFactor - 1.197) < 0.001);
    Q_UNUSED(vertical);
}

void tst_ERViewNavigation::wheelWithoutControlScrolls()
{
    Fixture f;
    QVERIFY(f.show());
    QScrollBar *v = f.view.verticalScrollBar();
    QScrollBar *h = f.view.horizontalScrollBar();
    const int v0 = v->value();
    const int h0 = h->value();
    sendWheel(f.view, QPoint(0, -120), Qt::NoModifier);
    QCOMPARE(v->value(), v0 + 120);
    sendWheel(f.view, QPoint(0, 120), Qt::ShiftModifier);
    QCOMPARE(h->value(), h0 - 120);
    QCOMPARE(v->value(), v0 + 120);
    sendWheel(f.view, QPoint(std::numeric_limits<int>::min(), std::numeric_limits<int>::min()),
              Qt::NoModifier);
    QCOMPARE(v->value(), v->maximum());
    QCOMPARE(h->value(), h->maximum());
    QCOMPARE(f.view.zoomFactor, 1.0);
}

void tst_ERViewNavigation::fitAllMayExceedLimitUntilNextZoom()
{
    Fixture f(QSize(800, 600));
    QVERIFY(f.show());
    f.scene.addRect(0, 0, 2, 2);
    QSignalSpy zoomed(&f.view, &ERView::zoomChanged);
    f.view.fitAll();
    QCOMPARE(zoomed.size(), 1);
    QVERIFY2(f.view.zoomFactor > 4.0, qPrintable(QString::number(f.view.zoomFactor)));
    QCOMPARE(zoomed.at(0).at(0).toDouble(), f.view.zoomFactor);
    QCOMPARE(f.view.transform().m11(), f.view.zoomFactor);
    f.view.zoomIn();
    QCOMPARE(f.view.zoomFactor, 4.0);
}

void tst_ERViewNavigation::fitAllWithoutItemsDoesNothing()
{
    ERView alone;
    QSignalSpy aloneZoomed(&alone, &ERView::zoomChanged);
    alone.fitAll();
    QCOMPARE(aloneZoomed.size(), 0);

    Fixture f;
    QSignalSpy zoomed(&f.view, &ERView::zoomChanged);
    f.view.fitAll();
    QCOMPARE(zoomed.size(), 0);
    QCOMPARE(f.view.zoomFactor, 1.0);
}

void tst_ERViewNavigation::middleButtonDragPansWithoutClick()
{
    Fixture f;
    QVERIFY(f.show());
    QSignalSpy clicked(&f.view, &ERView::sceneClicked);
    QScrollBar *v = f.view.verticalScrollBar();
    QScrollBar *h = f.view.horizontalScrollBar();
    const int v0 = v->value();
    const int h0 = h->value();
    QWidget *viewport = f.view.viewport();

    QTest::mousePress(viewport, Qt::MiddleButton, Qt::NoModifier, QPoint(200, 150));
    QCOMPARE(f.view.dragMode(), QGraphicsView::ScrollHandDrag);
    QMouseEvent move(QEvent::MouseMove, QPointF(150, 110), viewport->mapToGlobal(QPointF(150, 110)),
                     Qt::NoButton, Qt::MiddleButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &move);
    QTest::mouseRelease(viewport, Qt::MiddleButton, Qt::NoModifier, QPoint(150, 110));

    QCOMPARE(h->value(), h0 + 50);
    QCOMPARE(v->value(), v0 + 40);
    QCOMPARE(clicked.size(), 0);
    QCOMPARE(f.view.dragMode(), QGraphicsView::RubberBandDrag);
}

void tst_ERViewNavigation::clicksAndMovesReportScenePositions()
{
    Fixture f;
    QVERIFY(f.show());
    f.view.setZoom(2.0);
    QSignalSpy clicked(&f.view, &ERView::sceneClicked);
    QSignalSpy moved(&f.view, &ERView::sceneMouseMoved);
    QWidget *viewport = f.view.viewport();

    QTest::mouseMove(viewport, QPoint(30, 40));
    QVERIFY(!moved.isEmpty());
    QCOMPARE(moved.last().at(0).toPointF(), f.view.mapToScene(QPoint(30, 40)));
    QTest::mouseClick(viewport, Qt::RightButton, Qt::NoModifier, QPoint(100, 60));
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(clicked.at(0).at(0).toPointF(), f.view.mapToScene(QPoint(100, 60)));
    QCOMPARE(clicked.at(0).at(1).value<Qt::MouseButton>(), Qt::RightButton);
}

void tst_ERViewNavigation::placementModesSetCrossCursor()
{
    Fixture f;
    using Setter = void (ERView::*)(bool);
    const Setter setters[] = {&ERView::setAddTableMode, &ERView::setAddViewMode,
                              &ERView::setAddRelationshipMode, &ERView::setAddTextMode,
                              &ERView::setAddGroupMode};
    for (Setter set : setters) {
        (f.view.*set)(true);
        QVERIFY(f.view.isAnyModeActive());
        QCOMPARE(f.view.viewport()->cursor().shape(), Qt::CrossCursor);
        QCOMPARE(f.view.cursor().shape(), Qt::CrossCursor);
        (f.view.*set)(false);
        QVERIFY(!f.view.isAnyModeActive());
        QVERIFY(!f.view.viewport()->testAttribute(Qt::WA_SetCursor));
        QCOMPARE(f.view.cursor().shape(), Qt::ArrowCursor);
    }
}

void tst_ERViewNavigation::escapeGoesToSceneUnlessModeActive_data()
{
    QTest::addColumn<bool>("modeOn");
    QTest::newRow("no mode") << false;
    QTest::newRow("add table mode") << true;
}

void tst_ERViewNavigation::escapeGoesToSceneUnlessModeActive()
{
    QFETCH(bool, modeOn);
    Fixture f;
    auto *catcher = new KeyCatcher;
    f.scene.addItem(catcher);
    QVERIFY(f.show());
    f.view.setFocus();
    f.scene.setFocusItem(catcher);
    QCOMPARE(f.scene.focusItem(), catcher);
    f.view.setAddTableMode(modeOn);
    QSignalSpy escaped(&f.view, &ERView::escapePressed);

    QTest::keyClick(&f.view, Qt::Key_Escape);
    QCOMPARE(escaped.size(), modeOn ? 1 : 0);
    QCOMPARE(catcher->keys.contains(Qt::Key_Escape), !modeOn);
}

void tst_ERViewNavigation::explorerDropEmitsPayloadAndPosition()
{
    Fixture f;
    QVERIFY(f.show());
    f.view.setZoom(0.5);
    QSignalSpy dropped(&f.view, &ERView::explorerDropRequested);
    QMimeData mime;
    // Handed on unread, whatever it holds and however large it is.
    QByteArray payload(1 << 20, 'x');
    payload.prepend("{\"items\":[");
    mime.setData(QLatin1String(ExplorerMimeType), payload);
    QWidget *viewport = f.view.viewport();

    for (QEvent::Type type : {QEvent::DragEnter, QEvent::DragMove}) {
        QDragMoveEvent drag(QPoint(50, 60), Qt::CopyAction | Qt::MoveAction, &mime,
                            Qt::LeftButton, Qt::NoModifier, type);
        drag.setDropAction(Qt::MoveAction);
        drag.ignore();
        QCoreApplication::sendEvent(viewport, &drag);
        QVERIFY(drag.isAccepted());
        QCOMPARE(drag.dropAction(), Qt::CopyAction);
    }

    QDropEvent drop(QPointF(120.6, 80.4), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                    Qt::NoModifier);
    drop.ignore();
    QCoreApplication::sendEvent(viewport, &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(drop.dropAction(), Qt::CopyAction);
    QCOMPARE(dropped.size(), 1);
    QCOMPARE(dropped.at(0).at(0).toByteArray(), payload);
    QCOMPARE(dropped.at(0).at(1).toPointF(), f.view.mapToScene(QPoint(121, 80)));
}

void tst_ERViewNavigation::otherDragsAreLeftToBaseView()
{
    Fixture f;
    QVERIFY(f.show());
    QSignalSpy dropped(&f.view, &ERView::explorerDropRequested);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/diagram.json"))});
    QWidget *viewport = f.view.viewport();

    // The base view hands these to the scene, whose empty area takes nothing.
    QDragEnterEvent enter(QPoint(50, 60), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(QPoint(55, 60), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    move.ignore();
    QCoreApplication::sendEvent(viewport, &move);
    QVERIFY(!move.isAccepted());
    QDropEvent drop(QPointF(50, 60), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
    QCOMPARE(dropped.size(), 0);
}

QTEST_MAIN(tst_ERViewNavigation)
#include "tst_erviewnavigation.moc"
