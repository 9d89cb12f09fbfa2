#include "edgeeditdialog.h"
#include "entityeditdialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

// The two edit dialogs share one form layout; each case runs on both.
enum class Kind { Entity, Relationship };

std::unique_ptr<QDialog> makeDialog(Kind kind, const QString &name)
{
    if (kind == Kind::Entity)
        return std::make_unique<EntityEditDialog>(name, nullptr);
    return std::make_unique<EdgeEditDialog>(name, nullptr);
}

const char *kindName(Kind kind)
{
    return kind == Kind::Entity ? "entity" : "relationship";
}

QLabel *nameLabel(const QDialog &dialog)
{
    QLabel *label = dialog.findChild<QLabel *>(QStringLiteral("labelEntityName"));
    return label ? label : dialog.findChild<QLabel *>(QStringLiteral("labelRelationshipName"));
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class tst_EditDialogs : public QObject
{
    Q_OBJECT

private slots:
    void formMatchesTheDialog_data();
    void formMatchesTheDialog();
    void namesShowLiterally_data();
    void namesShowLiterally();
    void keysCloseTheDialog_data();
    void keysCloseTheDialog();
    void buttonsCloseTheDialog_data();
    void buttonsCloseTheDialog();
};

void tst_EditDialogs::formMatchesTheDialog_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("title");
    QTest::newRow("entity") << Kind::Entity << "Edit Entity";
    QTest::newRow("relationship") << Kind::Relationship << "Edit Relationship";
}

void tst_EditDialogs::formMatchesTheDialog()
{
    QFETCH(Kind, kind);
    QFETCH(QString, title);
    const std::unique_ptr<QDialog> dialog = makeDialog(kind, QStringLiteral("orders"));
    QCOMPARE(dialog->windowTitle(), title);
    QCOMPARE(dialog->size(), QSize(480, 360));
    QVERIFY(dialog->isModal());
    QVERIFY(!(dialog->windowFlags() & Qt::WindowContextHelpButtonHint));
    QVERIFY(dialog->findChild<QPushButton *>(QStringLiteral("pushButtonOK"))->isDefault());

    auto *details = dialog->findChild<QGroupBox *>(QStringLiteral("grpBoxDetails"));
    QCOMPARE(details->title(), QStringLiteral("Details"));
    QVERIFY(details->findChildren<QWidget *>().isEmpty());
    QCOMPARE(details->layout()->count(), 1);
    QVERIFY(details->layout()->itemAt(0)->spacerItem());
}

void tst_EditDialogs::namesShowLiterally_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::newRow("entity") << Kind::Entity << "orders" << "Entity: orders";
    QTest::newRow("relationship") << Kind::Relationship << "a — b" << "Relationship: a — b";
    QTest::newRow("entity markup") << Kind::Entity << "<b>x</b>" << "Entity: <b>x</b>";
    QTest::newRow("relationship image tag") << Kind::Relationship << "<img src=x>"
                                            << "Relationship: <img src=x>";
    QTest::newRow("placeholder and ampersand") << Kind::Entity << "%1 & <b>" << "Entity: %1 & <b>";
    QTest::newRow("entity empty") << Kind::Entity << "" << "Entity: ";
    const QString longName(10000, QLatin1Char('n'));
    QTest::newRow("relationship 10,000 characters") << Kind::Relationship << longName
                                                    << "Relationship: " + longName;
}

void tst_EditDialogs::namesShowLiterally()
{
    QFETCH(Kind, kind);
    QFETCH(QString, name);
    QFETCH(QString, shown);
    const std::unique_ptr<QDialog> dialog = makeDialog(kind, name);
    QLabel *label = nameLabel(*dialog);
    QCOMPARE(label->text(), shown);
    QCOMPARE(label->textFormat(), Qt::PlainText);
}

void tst_EditDialogs::keysCloseTheDialog_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    for (Kind kind : {Kind::Entity, Kind::Relationship}) {
        QTest::addRow("%s: Return accepts", kindName(kind))
            << kind << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::addRow("%s: Enter accepts", kindName(kind))
            << kind << int(Qt::Key_Enter) << int(QDialog::Accepted);
        QTest::addRow("%s: Escape rejects", kindName(kind))
            << kind << int(Qt::Key_Escape) << int(QDialog::Rejected);
    }
}

void tst_EditDialogs::keysCloseTheDialog()
{
    QFETCH(Kind, kind);
    QFETCH(int, key);
    QFETCH(int, result);
    const std::unique_ptr<QDialog> dialog = makeDialog(kind, QStringLiteral("order"));
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    dialog->setResult(-1);
    QTest::keyClick(dialog.get(), Qt::Key(key));
    QVERIFY(dialog->isHidden());
    QCOMPARE(dialog->result(), result);
}

void tst_EditDialogs::buttonsCloseTheDialog_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");
    for (Kind kind : {Kind::Entity, Kind::Relationship}) {
        QTest::addRow("%s: OK", kindName(kind)) << kind << "pushButtonOK" << int(QDialog::Accepted);
        QTest::addRow("%s: Cancel", kindName(kind))
            << kind << "pushButtonCancel" << int(QDialog::Rejected);
    }
}

void tst_EditDialogs::buttonsCloseTheDialog()
{
    QFETCH(Kind, kind);
    QFETCH(QString, button);
    QFETCH(int, result);
    const std::unique_ptr<QDialog> dialog = makeDialog(kind, QStringLiteral("order"));
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    dialog->setResult(-1);
    QTest::mouseClick(dialog->findChild<QPushButton *>(button), Qt::LeftButton);
    QVERIFY(dialog->isHidden());
    QCOMPARE(dialog->result(), result);
}

QTEST_MAIN(tst_EditDialogs)
#include "tst_editdialogs.moc"
