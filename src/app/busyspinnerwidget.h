#pragma once

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// The busy overlay of the main window and the one-at-a-time runner of every long action.
// While an operation runs it covers its parent, takes mouse and keyboard, and turns a
// blue arc. run() does the work on the GUI thread once the overlay has been painted;
// runInThread() does it on a worker thread kept for such operations. Callbacks always run
// on the GUI thread. A request made while busy is dropped: nothing of it runs.
class BusySpinnerWidget : public QWidget
{
    Q_OBJECT

public:
    using Step = std::function<void()>;

    explicit BusySpinnerWidget(QWidget *parent);
    // Waits for a running worker (it may be writing a file) and calls no callback.
    ~BusySpinnerWidget() override;

    bool isBusy() const { return m_active; }

    // work on the GUI thread from a zero-delay timer; onAfter once the overlay is down.
    void run(Step work, Step onAfter);
    // work on a worker thread; onDone with the overlay still up, then onAfter.
    void runInThread(Step work, Step onDone, Step onAfter);

    void start();
    // Does nothing while a worker is pending: only its completion takes the overlay down.
    void stop();
    void updateOverlayGeometry();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    struct Worker;

    static constexpr qreal ArcSide = 56.0;
    static constexpr qreal ArcPenWidth = 6.0;

    void finish(const Step &onDone, const Step &onAfter);
    void tick();
    QRectF arcRect() const;

    QTimer m_timer;
    std::shared_ptr<Worker> m_worker;
    int m_angle = 0;
    bool m_active = false;
    bool m_queued = false;
};
