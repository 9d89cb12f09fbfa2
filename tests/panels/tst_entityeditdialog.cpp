#include "entityeditdialog.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

class tst_EntityEditDialog : public QObject
{
    Q_OBJECT

private slots:
    void showsTheEntityName();
    void keysCloseTheDialog_data();
    void keysCloseTheDialog();
    void buttonsCloseTheDialog_data();
    void buttonsCloseTheDialog();
};

void tst_EntityEditDialog::showsTheEntityName()
{
    EntityEditDialog dialog(QStringLiteral("customer"), nullptr);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labelEntityName"))->text(),
             QStringLiteral("Entity: customer"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Edit Entity"));
    QVERIFY(dialog.isModal());
    QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
    QVERIFY(dialog.findChild<QPushButton *>(QStringLiteral("pushButtonOK"))->isDefault());

    EntityEditDialog odd(QStringLiteral("%1 & <b>"), nullptr);
    QCOMPARE(odd.findChild<QLabel *>(QStringLiteral("labelEntityName"))->text(),
             QStringLiteral("Entity: %1 & <b>"));
}

void tst_EntityEditDialog::keysCloseTheDialog_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("Return accepts") << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::newRow("Enter accepts") << int(Qt::Key_Enter) << int(QDialog::Accepted);
    QTest::newRow("Escape rejects") << int(Qt::Key_Escape) << int(QDialog::Rejected);
}

void tst_EntityEditDialog::keysCloseTheDialog()
{
    QFETCH(int, key);
    QFETCH(int, result);

    EntityEditDialog dialog(QStringLiteral("order"), nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.setResult(-1);
    QTest::keyClick(&dialog, Qt::Key(key));
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), result);
}

void tst_EntityEditDialog::buttonsCloseTheDialog_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");
    QTest::newRow("OK") << "pushButtonOK" << int(QDialog::Accepted);
    QTest::newRow("Cancel") << "pushButtonCancel" << int(QDialog::Rejected);
}

void tst_EntityEditDialog::buttonsCloseTheDialog()
{
    QFETCH(QString, button);
    QFETCH(int, result);

    EntityEditDialog dialog(QStringLiteral("order"), nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.setResult(-1);
    QTest::mouseClick(dialog.findChild<QPushButton *>(button), Qt::LeftButton);
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), result);
}

QTEST_MAIN(tst_EntityEditDialog)
#include "tst_entityeditdialog.moc"
