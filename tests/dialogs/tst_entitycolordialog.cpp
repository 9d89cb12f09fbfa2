#include "entitycolordialog.h"
#include "entitycolorpreviewwidget.h"

#include "dialogtestsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

using namespace dialogtest;

namespace {

QStringList editorTexts(const EntityColorDialog &dialog)
{
    QStringList texts;
    for (const QLineEdit *edit : dialog.findChildren<QLineEdit *>())
        texts << edit->text();
    return texts;
}

QPushButton *button(const EntityColorDialog &dialog, const QString &text, int nth = 0)
{
    QList<QPushButton *> found;
    for (QPushButton *candidate : dialog.findChildren<QPushButton *>()) {
        if (candidate->text() == text)
            found << candidate;
    }
    return found.value(nth);
}

QComboBox *presetCombo(const EntityColorDialog &dialog)
{
    return dialog.findChild<QComboBox *>();
}

QList<QCheckBox *> behaviourBoxes(const EntityColorDialog &dialog)
{
    QList<QCheckBox *> boxes = dialog.findChildren<QCheckBox *>();
    boxes.removeFirst(); // the use-for-new box comes first
    return boxes;
}

} // namespace

class tst_EntityColorDialog : public DialogTestCase
{
    Q_OBJECT

private slots:
    void newDialogShowsLowerCaseDefaults();
    void presetThenOkEmitsItAndCloses();
    void pickIsStoredOpaqueAndSelectsCustom();
    void cancelledPickKeepsColourButSelectsCustom();
    void setSchemeWithInvalidColourShowsDefaults();
    void applyTargetFollowsRadioButtons_data();
    void applyTargetFollowsRadioButtons();
    void deadControlsChangeNothing();
    void smallPreviewShowsOnlyTheGrid_data();
    void smallPreviewShowsOnlyTheGrid();
};

void tst_EntityColorDialog::newDialogShowsLowerCaseDefaults()
{
    EntityColorDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Entity Colors"));
    QCOMPARE(dialog.size(), QSize(860, 560));
    QCOMPARE(editorTexts(dialog), QStringList({"#f7f7f7", "#ececec", "#2e2e2e", "#111111"}));
    QCOMPARE(presetCombo(dialog)->currentText(), QStringLiteral("Custom"));
    QCOMPARE(dialog.applyTarget(), EntityColorDialog::SelectedItem);
    QVERIFY(!dialog.useForNewEntities());
    QList<bool> states;
    for (const QCheckBox *box : behaviourBoxes(dialog))
        states << box->isChecked();
    QCOMPARE(states, QList<bool>({true, true, false, false}));
    QCOMPARE(dialog.findChild<EntityColorPreviewWidget *>()->colors().header, QColor("#ECECEC"));
}

void tst_EntityColorDialog::presetThenOkEmitsItAndCloses()
{
    EntityColorDialog dialog;
    QSignalSpy spy(&dialog, &EntityColorDialog::applyRequested);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    presetCombo(dialog)->setCurrentText(QStringLiteral("Dark"));
    QCOMPARE(editorTexts(dialog), QStringList({"#2b2f36", "#3a404a", "#c7ced9", "#f8fafc"}));
    QCOMPARE(spy.count(), 0);

    QTest::mouseClick(button(dialog, "OK"), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    const EntityColorScheme scheme = spy.first().at(0).value<EntityColorScheme>();
    QCOMPARE(scheme.background, QColor("#2B2F36"));
    QCOMPARE(scheme.header, QColor("#3A404A"));
    QCOMPARE(spy.first().at(1).value<EntityColorDialog::ApplyTarget>(), EntityColorDialog::SelectedItem);
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void tst_EntityColorDialog::pickIsStoredOpaqueAndSelectsCustom()
{
    EntityColorDialog dialog;
    presetCombo(dialog)->setCurrentIndex(2);
    prompts().answerColor(QColor(0x12, 0x34, 0x56, 100));
    QTest::mouseClick(button(dialog, "Pick", 1), Qt::LeftButton); // header
    QCOMPARE(prompts().promptsOf("color").value(0).title, QStringLiteral("Choose header color"));
    QCOMPARE(editorTexts(dialog).at(1), QStringLiteral("#123456"));
    QCOMPARE(presetCombo(dialog)->currentIndex(), 0);
    QCOMPARE(dialog.findChild<EntityColorPreviewWidget *>()->colors().header, QColor("#123456"));

    QSignalSpy spy(&dialog, &EntityColorDialog::applyRequested);
    QTest::mouseClick(button(dialog, "Apply"), Qt::LeftButton);
    QCOMPARE(spy.first().at(0).value<EntityColorScheme>().header, QColor(0x12, 0x34, 0x56));
}

void tst_EntityColorDialog::cancelledPickKeepsColourButSelectsCustom()
{
    EntityColorDialog dialog;
    presetCombo(dialog)->setCurrentText(QStringLiteral("Rose"));
    prompts().answerColor(QColor());
    QTest::mouseClick(button(dialog, "Pick", 3), Qt::LeftButton); // text
    const ScriptedPrompts::Prompt pick = prompts().promptsOf("color").value(0);
    QCOMPARE(pick.title, QStringLiteral("Choose text color"));
    QCOMPARE(pick.initial, QStringLiteral("#ff2a0f18"));
    QCOMPARE(editorTexts(dialog).at(3), QStringLiteral("#2a0f18"));
    QCOMPARE(presetCombo(dialog)->currentText(), QStringLiteral("Custom"));
}

void tst_EntityColorDialog::setSchemeWithInvalidColourShowsDefaults()
{
    EntityColorDialog dialog;
    dialog.setScheme({QColor("#010101"), QColor("#020202"), QColor("#030303"), QColor("#040404")});
    QCOMPARE(editorTexts(dialog), QStringList({"#010101", "#020202", "#030303", "#040404"}));
    dialog.setScheme({QColor("#010101"), QColor(), QColor("#030303"), QColor("#040404")});
    QCOMPARE(editorTexts(dialog), QStringList({"#f7f7f7", "#ececec", "#2e2e2e", "#111111"}));

    presetCombo(dialog)->setCurrentIndex(3);
    QTest::mouseClick(button(dialog, "Reset to default"), Qt::LeftButton);
    QCOMPARE(presetCombo(dialog)->currentText(), QStringLiteral("Default"));
    QCOMPARE(editorTexts(dialog).first(), QStringLiteral("#f7f7f7"));
}

void tst_EntityColorDialog::applyTargetFollowsRadioButtons_data()
{
    QTest::addColumn<int>("set");
    QTest::addColumn<int>("expected");
    QTest::newRow("selected entities") << 1 << 1;
    QTest::newRow("all in diagram") << 2 << 2;
    QTest::newRow("defaults only") << 3 << 3;
    QTest::newRow("below range") << -1 << 0;
    QTest::newRow("above range") << 7 << 0;
}

void tst_EntityColorDialog::applyTargetFollowsRadioButtons()
{
    QFETCH(int, set);
    QFETCH(int, expected);
    EntityColorDialog dialog;
    dialog.setApplyTarget(EntityColorDialog::ApplyTarget(set));
    QCOMPARE(int(dialog.applyTarget()), expected);
    QCOMPARE(dialog.findChildren<QRadioButton *>().at(expected)->isChecked(), true);
}

void tst_EntityColorDialog::deadControlsChangeNothing()
{
    EntityColorDialog dialog;
    QSignalSpy spy(&dialog, &EntityColorDialog::applyRequested);
    presetCombo(dialog)->setCurrentText(QStringLiteral("Ocean"));
    const QStringList before = editorTexts(dialog);
    QTest::mouseClick(button(dialog, "Save preset..."), Qt::LeftButton);
    for (QCheckBox *box : behaviourBoxes(dialog))
        box->click();
    QCOMPARE(editorTexts(dialog), before);
    QCOMPARE(presetCombo(dialog)->currentText(), QStringLiteral("Ocean"));
    QCOMPARE(spy.count(), 0);
}

void tst_EntityColorDialog::smallPreviewShowsOnlyTheGrid_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("probe");
    QTest::addColumn<bool>("table");
    QTest::newRow("249 wide") << QSize(249, 300) << QPoint(124, 150) << false;
    QTest::newRow("189 high") << QSize(300, 189) << QPoint(150, 94) << false;
    // Just big enough: a point of the body left of the row texts.
    QTest::newRow("250 x 190") << QSize(250, 190) << QPoint(42, 142) << true;
}

void tst_EntityColorDialog::smallPreviewShowsOnlyTheGrid()
{
    QFETCH(QSize, size);
    QFETCH(QPoint, probe);
    QFETCH(bool, table);
    EntityColorPreviewWidget widget;
    widget.setMinimumHeight(0);
    widget.setColors({QColor("#40C080"), QColor("#ECECEC"), QColor("#2E2E2E"), QColor("#111111")});
    widget.resize(size);
    const QImage image = widget.grab().toImage();
    QCOMPARE(image.size(), size);
    QCOMPARE(image.pixelColor(probe), table ? QColor("#40C080") : widget.palette().window().color());
}

QTEST_MAIN(tst_EntityColorDialog)
#include "tst_entitycolordialog.moc"
