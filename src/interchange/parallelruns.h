#pragma once

#include <QList>
#include <QThread>

// Calls run(0) .. run(count - 1) at once, run(0) on the calling thread and each other on a
// thread of its own, and returns when all are done. The runs must write to places of their
// own, so the result does not depend on which finishes first.
template<typename Run>
void runInParallel(int count, const Run &run)
{
    QList<QThread *> workers;
    for (int i = 1; i < count; ++i) {
        workers.append(QThread::create(run, i));
        workers.last()->start();
    }
    if (count > 0)
        run(0);
    for (QThread *worker : std::as_const(workers)) {
        worker->wait();
        delete worker;
    }
}
