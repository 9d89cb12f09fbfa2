#include "colorsdialog.h"
#include "entitycolordialog.h"
#include "groupitemstyledialog.h"
#include "textitemstyledialog.h"
#include "thememanager.h"

#include "dialogtestsupport.h"

#include <QComboBox>
#include <QMetaEnum>
#include <QRadioButton>

using namespace dialogtest;

class tst_StyleValues : public DialogTestCase
{
    Q_OBJECT

private slots:
    void defaultsDoNotFollowTheActiveTheme();
    void targetEnumsShareTheirValues();
    void comboWithoutCurrentEntryTargetsTheDiagram();
    void entityDialogWithoutFirstThreeTargetsDefaults();
    void valuesTravelThroughVariants();
    void closingWithFocusedEditorIsSafe_data();
    void closingWithFocusedEditorIsSafe();
};

void tst_StyleValues::defaultsDoNotFollowTheActiveTheme()
{
    for (ThemeKind kind : {ThemeKind::Dark, ThemeKind::Light}) {
        ThemeManager::instance()->setTheme(kind);
        const TextItemStyle text = TextItemStyleDialog::defaultStyle();
        QCOMPARE(text.font.family(), QStringLiteral("JetBrains Mono"));
        QCOMPARE(text.font.pointSize(), 12);
        QCOMPARE(text.font.weight(), QFont::Normal);
        QVERIFY(!text.font.italic() && !text.font.underline());
        QCOMPARE(text.colorLight, QColor("#000000"));
        QCOMPARE(text.colorDark, QColor("#e6e6e6"));

        const GroupItemStyle group = GroupItemStyleDialog::defaultStyle();
        QCOMPARE(group.fillLight, QColor(0xfa, 0xfa, 0xfa, 90));
        QCOMPARE(group.fillDark, QColor(0x26, 0x26, 0x26, 90));
        QCOMPARE(group.borderLight, QColor("#000000"));
        QCOMPARE(group.textLight, QColor("#000000"));
        QCOMPARE(group.borderDark, QColor("#d2d2d2"));
        QCOMPARE(group.textDark, QColor("#e6e6e6"));
    }
}

void tst_StyleValues::targetEnumsShareTheirValues()
{
    const QMetaEnum enums[] = {QMetaEnum::fromType<ColorsDialog::ApplyTarget>(),
                               QMetaEnum::fromType<TextItemStyleDialog::ApplyTarget>(),
                               QMetaEnum::fromType<GroupItemStyleDialog::ApplyTarget>(),
                               QMetaEnum::fromType<EntityColorDialog::ApplyTarget>()};
    for (const QMetaEnum &e : enums) {
        QCOMPARE(e.keyCount(), 4);
        QCOMPARE(e.keyToValue("SelectedItem"), 0);
        QCOMPARE(e.keyToValue("SelectedItems"), 1);
        QCOMPARE(e.keyToValue("AllInDiagram"), 2);
        QCOMPARE(e.keyToValue("DefaultsOnly"), 3);
    }
}

void tst_StyleValues::comboWithoutCurrentEntryTargetsTheDiagram()
{
    ColorsDialog colors;
    TextItemStyleDialog text;
    GroupItemStyleDialog group;
    child<QComboBox>(&colors, "comboBoxSelectedChoice")->setCurrentIndex(-1);
    child<QComboBox>(&text, "comboBoxApplyTo")->setCurrentIndex(-1);
    child<QComboBox>(&group, "comboBoxApplyTo")->setCurrentIndex(-1);
    QCOMPARE(colors.applyTarget(), ColorsDialog::AllInDiagram);
    QCOMPARE(text.applyTarget(), TextItemStyleDialog::AllInDiagram);
    QCOMPARE(group.applyTarget(), GroupItemStyleDialog::AllInDiagram);

    colors.setApplyTarget(ColorsDialog::SelectedItems);
    text.setApplyTarget(TextItemStyleDialog::DefaultsOnly);
    group.setApplyTarget(GroupItemStyleDialog::SelectedItem);
    QCOMPARE(colors.applyTarget(), ColorsDialog::SelectedItems);
    QCOMPARE(text.applyTarget(), TextItemStyleDialog::DefaultsOnly);
    QCOMPARE(group.applyTarget(), GroupItemStyleDialog::SelectedItem);
    QCOMPARE(child<QComboBox>(&group, "comboBoxApplyTo")->currentText(), QStringLiteral("Selected group"));
}

void tst_StyleValues::entityDialogWithoutFirstThreeTargetsDefaults()
{
    EntityColorDialog dialog;
    QList<QRadioButton *> buttons = dialog.findChildren<QRadioButton *>();
    QCOMPARE(buttons.size(), 4);
    buttons.at(3)->click();
    QCOMPARE(buttons.at(3)->text(), QStringLiteral("Current defaults only"));
    QCOMPARE(dialog.applyTarget(), EntityColorDialog::DefaultsOnly);
}

void tst_StyleValues::valuesTravelThroughVariants()
{
    const GroupItemStyle group = GroupItemStyleDialog::defaultStyle();
    QCOMPARE(QVariant::fromValue(group).value<GroupItemStyle>(), group);
    const TextItemStyle text = TextItemStyleDialog::defaultStyle();
    QCOMPARE(QVariant::fromValue(text).value<TextItemStyle>(), text);
}

void tst_StyleValues::closingWithFocusedEditorIsSafe_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("editor");
    QTest::newRow("colors") << "colors" << "lineEditBgHexLight";
    QTest::newRow("text") << "text" << "lineEditTextHexDark";
    QTest::newRow("group") << "group" << "lineEditGroupFillHexLight";
}

void tst_StyleValues::closingWithFocusedEditorIsSafe()
{
    QFETCH(QString, dialog);
    QFETCH(QString, editor);
    std::unique_ptr<QDialog> shown;
    if (dialog == QLatin1String("colors"))
        shown = std::make_unique<ColorsDialog>();
    else if (dialog == QLatin1String("text"))
        shown = std::make_unique<TextItemStyleDialog>();
    else
        shown = std::make_unique<GroupItemStyleDialog>();
    shown->show();
    QVERIFY(QTest::qWaitForWindowActive(shown.get()));
    QLineEdit *edit = child<QLineEdit>(shown.get(), editor);
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    retype(edit, QStringLiteral("#123"));
    // Destroyed while shown: hiding it ends the editing after the dialog's own part is gone.
    shown.reset();
}

QTEST_MAIN(tst_StyleValues)
#include "tst_stylevalues.moc"
