#include "uiseam.h"

#include <QDialog>
#include <QMenu>
#include <QTest>

class tst_UiSeam : public QObject
{
    Q_OBJECT

private slots:
    void menuRunnerPicksActionAndRestores();
    void dialogRunnerAnswersAndRestores();
    void nullArgumentsAreHarmless();
};

void tst_UiSeam::menuRunnerPicksActionAndRestores()
{
    QMenu menu;
    QAction *first = menu.addAction(QStringLiteral("First"));
    QAction *second = menu.addAction(QStringLiteral("Second"));
    Q_UNUSED(first);
    QPoint seenPos;
    auto previous = uiseam::setMenuRunner([&](QMenu *m, const QPoint &pos) {
        seenPos = pos;
        return m->actions().value(1);
    });
    QVERIFY(!previous);
    QCOMPARE(uiseam::runMenu(&menu, QPoint(10, 20)), second);
    QCOMPARE(seenPos, QPoint(10, 20));

    auto mine = uiseam::setMenuRunner(previous);
    QVERIFY(bool(mine));
}

void tst_UiSeam::dialogRunnerAnswersAndRestores()
{
    QDialog dialog;
    QDialog *seen = nullptr;
    uiseam::setDialogRunner([&](QDialog *d) {
        seen = d;
        return int(QDialog::Accepted);
    });
    QCOMPARE(uiseam::runDialog(&dialog), int(QDialog::Accepted));
    QCOMPARE(seen, &dialog);
    QVERIFY(bool(uiseam::setDialogRunner({})));
}

void tst_UiSeam::nullArgumentsAreHarmless()
{
    QCOMPARE(uiseam::runMenu(nullptr, QPoint()), static_cast<QAction *>(nullptr));
    QCOMPARE(uiseam::runDialog(nullptr), int(QDialog::Rejected));
}

QTEST_MAIN(tst_UiSeam)
#include "tst_uiseam.moc"
