#include "busyspinnerwidget.h"

#include <QMutex>
#include <QPaintEvent>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>
#include <stdexcept>

namespace {

struct Step
{
    QString name;
    bool onGuiThread;
    bool busy;
    bool overlayVisible;
};

class PaintRecorder : public QObject
{
public:
    int paints = 0;
    QRect latest;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            latest = static_cast<QPaintEvent *>(event)->rect();
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class TestBusySpinnerWidget : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QWidget> m_parent;
    BusySpinnerWidget *m_spinner = nullptr;
    QList<Step> m_steps;
    QMutex m_mutex;

    void record(const QString &name)
    {
        const bool gui = QThread::currentThread() == qApp->thread();
        // The spinner is read only on the GUI thread.
        Step step{name, gui, gui && m_spinner->isBusy(), gui && m_spinner->isVisible()};
        QMutexLocker lock(&m_mutex);
        m_steps.append(step);
    }

    BusySpinnerWidget::Step recorder(const QString &name)
    {
        return [this, name] { record(name); };
    }

    bool waitIdle() { return QTest::qWaitFor([this] { return !m_spinner->isBusy(); }, 5000); }

private Q_SLOTS:
    void init()
    {
        m_parent = std::make_unique<QWidget>();
        m_parent->resize(300, 200);
        m_parent->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_parent.get()));
        m_spinner = new BusySpinnerWidget(m_parent.get());
        m_steps.clear();
    }

    void cleanup()
    {
        m_parent.reset();
        m_spinner = nullptr;
    }

    void runInThreadCallbackOrder()
    {
        m_spinner->runInThread(recorder("work"), recorder("done"), recorder("after"));
        QVERIFY(m_spinner->isBusy());
        QVERIFY(m_spinner->isVisible());
        QVERIFY(waitIdle());
        QCOMPARE(m_steps.size(), 3);
        QCOMPARE(m_steps[0].name, QStringLiteral("work"));
        QVERIFY(!m_steps[0].onGuiThread);
        QCOMPARE(m_steps[1].name, QStringLiteral("done"));
        QVERIFY(m_steps[1].onGuiThread);
        QVERIFY(m_steps[1].busy);
        QVERIFY(m_steps[1].overlayVisible);
        QCOMPARE(m_steps[2].name, QStringLiteral("after"));
        QVERIFY(m_steps[2].onGuiThread);
        QVERIFY(!m_steps[2].busy);
        QVERIFY(!m_steps[2].overlayVisible);
        QVERIFY(!m_spinner->isVisible());
    }

    // A reader builds its whole result on the worker: a fresh thread would grow a heap of
    // its own at every import. Operations of this and of another spinner find the state
    // an earlier operation left on its thread.
    void workerThreadIsKeptBetweenOperations()
    {
        static thread_local int operationsOnThisThread = 0;
        QList<int> seen;
        const auto work = [&seen] { seen.append(operationsOnThisThread++); };
        m_spinner->runInThread(work, {}, {});
        QVERIFY(waitIdle());
        m_spinner->runInThread(work, {}, {});
        QVERIFY(waitIdle());
        BusySpinnerWidget other(m_parent.get());
        other.runInThread(work, {}, {});
        QVERIFY(QTest::qWaitFor([&other] { return !other.isBusy(); }, 5000));
        QCOMPARE(seen.size(), 3);
        QVERIFY(seen.at(1) > seen.at(0));
        QVERIFY(seen.at(2) > seen.at(1));
    }

    void runCallbackOrder()
    {
        m_spinner->run(recorder("work"), recorder("after"));
        // The overlay is up and the work waits for the event loop.
        QVERIFY(m_spinner->isBusy());
        QVERIFY(m_spinner->isVisible());
        QVERIFY(m_steps.isEmpty());
        QVERIFY(waitIdle());
        QCOMPARE(m_steps.size(), 2);
        QCOMPARE(m_steps[0].name, QStringLiteral("work"));
        QVERIFY(m_steps[0].onGuiThread);
        QVERIFY(m_steps[0].busy);
        QVERIFY(m_steps[0].overlayVisible);
        QCOMPARE(m_steps[1].name, QStringLiteral("after"));
        QVERIFY(!m_steps[1].busy);
        QVERIFY(!m_steps[1].overlayVisible);
    }

    void requestWhileBusyIsDropped_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<bool>("secondInThread");
        for (const char *first : {"run queued", "run working", "worker pending"}) {
            QTest::addRow("%s, then run", first) << first << false;
            QTest::addRow("%s, then runInThread", first) << first << true;
        }
    }

    void requestWhileBusyIsDropped()
    {
        QFETCH(QString, first);
        QFETCH(bool, secondInThread);
        QSemaphore release;
        const auto second = [&] {
            if (secondInThread)
                m_spinner->runInThread(recorder("refused work"), recorder("refused done"), recorder("refused after"));
            else
                m_spinner->run(recorder("refused work"), recorder("refused after"));
        };

        if (first == QLatin1String("run queued")) {
            m_spinner->run(recorder("work"), recorder("after"));
            second();
        } else if (first == QLatin1String("run working")) {
            m_spinner->run([&] { record("work"); second(); }, recorder("after"));
        } else {
            m_spinner->runInThread([&] { release.acquire(); record("work"); }, recorder("done"), recorder("after"));
            second();
            release.release();
        }
        QVERIFY(waitIdle());
        QTest::qWait(20);
        QStringList names;
        for (const Step &step : std::as_const(m_steps))
            names << step.name;
        const QStringList expected = first == QLatin1String("worker pending")
                                         ? QStringList{"work", "done", "after"}
                                         : QStringList{"work", "after"};
        QCOMPARE(names, expected);
    }

    void afterOfRunMayStartAnotherRun()
    {
        m_spinner->run(recorder("first"), [this] { m_spinner->run(recorder("second"), recorder("second after")); });
        QVERIFY(QTest::qWaitFor([this] { return m_steps.size() == 3; }, 5000));
        QCOMPARE(m_steps[1].name, QStringLiteral("second"));
        QCOMPARE(m_steps[2].name, QStringLiteral("second after"));
        QVERIFY(!m_spinner->isBusy());
    }

    void emptyWorkCompletes()
    {
        bool after = false;
        m_spinner->run({}, [&] { after = true; });
        QVERIFY(waitIdle());
        QVERIFY(after);
        after = false;
        bool done = false;
        m_spinner->runInThread({}, [&] { done = true; }, [&] { after = true; });
        QVERIFY(waitIdle());
        QVERIFY(done);
        QVERIFY(after);
        QVERIFY(!m_spinner->isVisible());
    }

    void overlayFollowsParentOnlyWhileShown()
    {
        QSemaphore release;
        m_spinner->runInThread([&] { release.acquire(); }, {}, {});
        m_parent->resize(420, 260);
        QTRY_COMPARE(m_spinner->geometry(), QRect(0, 0, 420, 260));
        m_parent->move(m_parent->pos() + QPoint(10, 10));
        QCOMPARE(m_spinner->geometry(), QRect(0, 0, 420, 260));
        release.release();
        QVERIFY(waitIdle());

        m_parent->resize(500, 300);
        QTest::qWait(10);
        QCOMPARE(m_spinner->geometry(), QRect(0, 0, 420, 260));
        m_spinner->run({}, {});
        QCOMPARE(m_spinner->geometry(), QRect(0, 0, 500, 300));
        QVERIFY(waitIdle());
    }

    // Turning the arc repaints the arc, not the window under the overlay.
    void turningRepaintsOnlyTheArc()
    {
        m_parent->resize(800, 600);
        QSemaphore release;
        m_spinner->runInThread([&] { release.acquire(); }, {}, {});
        PaintRecorder recorder;
        m_spinner->installEventFilter(&recorder);
        QTRY_VERIFY(recorder.paints >= 3);
        release.release();
        QVERIFY(waitIdle());
        const QRect arcArea(400 - 40, 300 - 40, 80, 80);
        QVERIFY2(arcArea.contains(recorder.latest), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                   .arg(recorder.latest.x()).arg(recorder.latest.y())
                                                                   .arg(recorder.latest.width())
                                                                   .arg(recorder.latest.height())));
    }

    void destructionWaitsForWorkerAndCallsNothing()
    {
        QSemaphore started;
        std::atomic_bool finished{false};
        bool callbackRan = false;
        m_spinner->runInThread(
            [&] {
                started.release();
                QThread::msleep(100);
                finished = true;
            },
            [&] { callbackRan = true; }, [&] { callbackRan = true; });
        started.acquire();
        delete m_spinner;
        m_spinner = nullptr;
        QVERIFY(finished);
        QTest::qWait(20);
        QVERIFY(!callbackRan);
    }

    void throwingWorkIsLoggedAndCompletes_data()
    {
        QTest::addColumn<bool>("inThread");
        QTest::addColumn<bool>("standardException");
        QTest::newRow("runInThread, std::runtime_error") << true << true;
        QTest::newRow("runInThread, other throw") << true << false;
        QTest::newRow("run, std::runtime_error") << false << true;
        QTest::newRow("run, other throw") << false << false;
    }

    void throwingWorkIsLoggedAndCompletes()
    {
        QFETCH(bool, inThread);
        QFETCH(bool, standardException);
        const BusySpinnerWidget::Step work = [standardException] {
            if (standardException)
                throw std::runtime_error("disk on fire");
            throw 42;
        };
        QTest::ignoreMessage(QtWarningMsg,
                             standardException ? "Background task failed: disk on fire"
                                               : "Background task failed: unknown exception");
        int callbacks = 0;
        if (inThread)
            m_spinner->runInThread(work, [&] { ++callbacks; }, [&] { ++callbacks; });
        else
            m_spinner->run(work, [&] { ++callbacks; });
        QVERIFY(waitIdle());
        QCOMPARE(callbacks, inThread ? 2 : 1);
        QVERIFY(!m_spinner->isBusy());
        QVERIFY(!m_spinner->isVisible());
    }
};

QTEST_MAIN(TestBusySpinnerWidget)
#include "tst_busyspinnerwidget.moc"
