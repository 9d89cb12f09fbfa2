#include "busyspinnerwidget.h"

#include "applog.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QEvent>
#include <QMutex>
#include <QPainter>
#include <QPen>
#include <QThreadPool>
#include <QWaitCondition>

#include <exception>

namespace {

// Work that throws must not end the process: log it and let the operation complete.
// The caller's success flag then stays unset, so its usual failure report shows.
void runGuarded(const BusySpinnerWidget::Step &work)
{
    if (!work)
        return;
    try {
        work();
    } catch (const std::exception &e) {
        qCWarning(lcApp) << "Background task failed:" << e.what();
    } catch (...) {
        qCWarning(lcApp) << "Background task failed:" << "unknown exception";
    }
}

void call(const BusySpinnerWidget::Step &step)
{
    if (step)
        step();
}

// The workers are kept between operations: a reader builds its whole result on the worker,
// and a fresh thread's allocator grows a heap of its own page by page at every import,
// where a kept one finds the pages of the last import still there.
Q_GLOBAL_STATIC(QThreadPool, keptWorkers)

QThreadPool *workerPool()
{
    static QThreadPool *const pool = [] {
        keptWorkers()->setExpiryTimeout(-1);
        return keptWorkers();
    }();
    return pool;
}

} // namespace

// Whether an operation's work has returned, for the destructor to wait on.
struct BusySpinnerWidget::Worker
{
    QMutex mutex;
    QWaitCondition finished;
    bool done = false;

    void markDone()
    {
        QMutexLocker locker(&mutex);
        done = true;
        finished.wakeAll();
    }

    bool wait(QDeadlineTimer deadline)
    {
        QMutexLocker locker(&mutex);
        while (!done) {
            if (!finished.wait(&mutex, deadline))
                return done;
        }
        return true;
    }
};

BusySpinnerWidget::BusySpinnerWidget(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("background: transparent;"));
    setFocusPolicy(Qt::NoFocus);
    hide();
    m_timer.setInterval(16);
    connect(&m_timer, &QTimer::timeout, this, &BusySpinnerWidget::tick);
    if (parent)
        parent->installEventFilter(this);
}

BusySpinnerWidget::~BusySpinnerWidget()
{
    if (!m_worker)
        return;
    const std::shared_ptr<Worker> worker = std::move(m_worker);
    // The worker may be writing a file; cutting it off would lose both the old and the
    // new content, so wait for it however long it takes. Neither callback runs: the one
    // it posts goes with this object.
    if (!worker->wait(QDeadlineTimer(30000))) {
        qCWarning(lcApp) << "BusySpinnerWidget: still waiting for a background task after 30 s";
        worker->wait(QDeadlineTimer::Forever);
    }
}

void BusySpinnerWidget::start()
{
    if (m_active)
        return;
    m_active = true;
    updateOverlayGeometry();
    m_angle = 0;
    show();
    raise();
    grabMouse();
    grabKeyboard();
    m_timer.start();
    update();
}

void BusySpinnerWidget::stop()
{
    if (m_worker)
        return;
    m_timer.stop();
    releaseKeyboard();
    releaseMouse();
    hide();
    m_active = false;
    m_queued = false;
}

void BusySpinnerWidget::finish(const Step &onDone, const Step &onAfter)
{
    call(onDone);
    m_worker = nullptr;
    stop();
    call(onAfter);
}

void BusySpinnerWidget::run(Step work, Step onAfter)
{
    if (m_active || m_queued)
        return;
    start();
    m_queued = true;
    QTimer::singleShot(0, Qt::PreciseTimer, this,
                       [this, work = std::move(work), onAfter = std::move(onAfter)] {
                           m_queued = false;
                           runGuarded(work);
                           finish(Step(), onAfter);
                       });
}

void BusySpinnerWidget::runInThread(Step work, Step onDone, Step onAfter)
{
    if (m_active || m_queued)
        return;
    start();
    const auto worker = std::make_shared<Worker>();
    m_worker = worker;
    const auto completed = [this, worker, onDone = std::move(onDone), onAfter = std::move(onAfter)] {
        if (m_worker == worker)
            finish(onDone, onAfter);
    };
    // The completion is posted before the work counts as done, so this object still
    // lives when it is posted; it goes unrun when the object is destroyed first.
    workerPool()->start([this, worker, work = std::move(work), completed]() mutable {
        runGuarded(work);
        work = Step();
        QMetaObject::invokeMethod(this, std::move(completed), Qt::QueuedConnection);
        worker->markDone();
    });
}

void BusySpinnerWidget::updateOverlayGeometry()
{
    QWidget *parent = parentWidget();
    if (!parent)
        return;
    setGeometry(0, 0, parent->width(), parent->height());
    raise();
}

bool BusySpinnerWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && isVisible()
        && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        updateOverlayGeometry();
    }
    return QWidget::eventFilter(watched, event);
}

QRectF BusySpinnerWidget::arcRect() const
{
    return QRectF((width() - ArcSide) / 2.0, (height() - ArcSide) / 2.0, ArcSide, ArcSide);
}

void BusySpinnerWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(QColor(59, 130, 246), ArcPenWidth, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(arcRect(), -16 * m_angle, 270 * 16);
}

void BusySpinnerWidget::tick()
{
    m_angle = (m_angle + 8) % 360;
    // Only the arc moves: repainting the whole overlay would repaint the window under it
    // sixty times a second, taking half a core from the work it waits for.
    const qreal margin = ArcPenWidth;
    update(arcRect().adjusted(-margin, -margin, margin, margin).toAlignedRect());
}
