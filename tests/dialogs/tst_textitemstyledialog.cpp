#include "textitemstyledialog.h"
#include "textpreviewitem.h"

#include "dialogtestsupport.h"

#include <QComboBox>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QGraphicsView>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QToolButton>

using namespace dialogtest;

namespace {

TextPreviewItem *previewItem(const TextItemStyleDialog &dialog, const QString &view)
{
    const QList<QGraphicsItem *> items = child<QGraphicsView>(&dialog, view)->scene()->items();
    return items.isEmpty() ? nullptr : dynamic_cast<TextPreviewItem *>(items.first());
}

TextItemStyle emittedBy(TextItemStyleDialog &dialog)
{
    QSignalSpy spy(&dialog, &TextItemStyleDialog::applyRequested);
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonApply"), Qt::LeftButton);
    return spy.isEmpty() ? TextItemStyle() : spy.first().first().value<TextItemStyle>();
}

bool checked(const TextItemStyleDialog &dialog, const char *button)
{
    return child<QToolButton>(&dialog, QString::fromLatin1(button))->isChecked();
}

} // namespace

class tst_TextItemStyleDialog : public DialogTestCase
{
    Q_OBJECT

private slots:
    void newDialogShowsDefaults();
    void emptyFamilyFallsBackOnDefaultFont();
    void sizeAndWeightAreBroughtIntoRange_data();
    void sizeAndWeightAreBroughtIntoRange();
    void otherFontsAndColoursAreKept();
    void typedColourIsNormalisedWhenEditingEnds();
    void pickedAlphaShowsInSwatchButIsNotHandedOut();
    void emptyLightEditorBlocksApplyWhileDarkPreviewFollows();
    void sampleUsesLightColourAndCurrentFont();
    void okEmitsAndClosesCancelEmitsNothing();
};

void tst_TextItemStyleDialog::newDialogShowsDefaults()
{
    TextItemStyleDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Text item style"));
    QCOMPARE(child<QFontComboBox>(&dialog, "fontComboText")->currentFont().family(),
             QStringLiteral("JetBrains Mono"));
    QCOMPARE(child<QSpinBox>(&dialog, "spinTextSize")->value(), 12);
    QVERIFY(!checked(dialog, "btnTextBold") && !checked(dialog, "btnTextItalic")
            && !checked(dialog, "btnTextUnderline"));
    QCOMPARE(child<QLineEdit>(&dialog, "lineEditTextHexLight")->text(), QStringLiteral("#000000"));
    QCOMPARE(child<QLineEdit>(&dialog, "lineEditTextHexDark")->text(), QStringLiteral("#E6E6E6"));
    QCOMPARE(child<QComboBox>(&dialog, "comboBoxApplyTo")->currentText(),
             QStringLiteral("Selected text item"));
    QVERIFY(!dialog.useForNew());
    QCOMPARE(previewItem(dialog, "graphicsViewDark")->color(), QColor("#E6E6E6"));
}

void tst_TextItemStyleDialog::emptyFamilyFallsBackOnDefaultFont()
{
    TextItemStyleDialog dialog;
    QFont odd;
    odd.setFamily(QString());
    odd.setPointSize(30);
    odd.setWeight(QFont::Bold);
    odd.setItalic(true);
    odd.setUnderline(true);
    dialog.setItemStyle({odd, QColor("#102030"), QColor("#405060")});

    const TextItemStyle style = emittedBy(dialog);
    QCOMPARE(style.font.family(), QStringLiteral("JetBrains Mono"));
    QCOMPARE(style.font.pointSize(), 12);
    QCOMPARE(style.font.weight(), QFont::Normal);
    QVERIFY(!style.font.italic() && !style.font.underline());
}

void tst_TextItemStyleDialog::sizeAndWeightAreBroughtIntoRange_data()
{
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<int>("weight");
    QTest::addColumn<int>("shownSize");
    QTest::addColumn<bool>("shownBold");
    QTest::addColumn<int>("handedOutWeight");
    QTest::newRow("100 pt") << 100 << -1 << 400 << 72 << false << 400;
    QTest::newRow("4 pt") << 4 << -1 << 400 << 8 << false << 400;
    QTest::newRow("sized in pixels") << -1 << 20 << 400 << 12 << false << 400;
    QTest::newRow("weight 600") << 14 << -1 << 600 << 14 << true << 700;
    QTest::newRow("weight 500") << 14 << -1 << 500 << 14 << false << 400;
}

void tst_TextItemStyleDialog::sizeAndWeightAreBroughtIntoRange()
{
    QFETCH(int, pointSize);
    QFETCH(int, pixelSize);
    QFETCH(int, weight);
    QFETCH(int, shownSize);
    QFETCH(bool, shownBold);
    QFETCH(int, handedOutWeight);
    QFont font(QStringLiteral("JetBrains Mono"));
    if (pixelSize > 0)
        font.setPixelSize(pixelSize);
    else
        font.setPointSize(pointSize);
    font.setWeight(QFont::Weight(weight));

    TextItemStyleDialog dialog;
    dialog.setItemStyle({font, QColor(), QColor()});
    QCOMPARE(child<QSpinBox>(&dialog, "spinTextSize")->value(), shownSize);
    QCOMPARE(checked(dialog, "btnTextBold"), shownBold);
    const TextItemStyle style = emittedBy(dialog);
    QCOMPARE(style.font.pointSize(), shownSize);
    QCOMPARE(int(style.font.weight()), handedOutWeight);
    QCOMPARE(style.colorLight, QColor("#000000"));
    QCOMPARE(style.colorDark, QColor("#E6E6E6"));
}

void tst_TextItemStyleDialog::otherFontsAndColoursAreKept()
{
    const QString other = QFontDatabase::families().value(0) == QStringLiteral("JetBrains Mono")
                              ? QFontDatabase::families().value(1)
                              : QFontDatabase::families().value(0);
    QFont font(other, 20);
    font.setItalic(true);
    TextItemStyleDialog dialog;
    dialog.setItemStyle({font, QColor("#102030"), QColor("#405060")});
    const TextItemStyle style = emittedBy(dialog);
    QCOMPARE(style.font.family(), other);
    QCOMPARE(style.font.pointSize(), 20);
    QVERIFY(style.font.italic());
    QCOMPARE(style.colorLight, QColor("#102030"));
    QCOMPARE(style.colorDark, QColor("#405060"));

    // A family that is not installed shows whatever the list offers instead.
    dialog.setItemStyle({QFont(QStringLiteral("No Such Family 9k"), 12), QColor(), QColor()});
    QVERIFY(!emittedBy(dialog).font.family().isEmpty());
}

void tst_TextItemStyleDialog::typedColourIsNormalisedWhenEditingEnds()
{
    TextItemStyleDialog dialog;
    QLineEdit *edit = child<QLineEdit>(&dialog, "lineEditTextHexDark");
    retype(edit, QStringLiteral("abc"));
    QCOMPARE(previewItem(dialog, "graphicsViewDark")->color(), QColor("#AABBCC"));
    QCOMPARE(edit->text(), QStringLiteral("abc"));
    finishEditing(edit);
    QCOMPARE(edit->text(), QStringLiteral("#AABBCC"));
    QCOMPARE(swatchColor(child<QFrame>(&dialog, "frameTextColorDark")), QColor("#AABBCC"));
}

void tst_TextItemStyleDialog::pickedAlphaShowsInSwatchButIsNotHandedOut()
{
    TextItemStyleDialog dialog;
    prompts().answerColor(QColor(0x10, 0x20, 0x30, 128));
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonPickTextColorLight"), Qt::LeftButton);
    QCOMPARE(prompts().promptsOf("color").value(0).title,
             QStringLiteral("Choose text-item color (light theme)"));
    QCOMPARE(swatchColor(child<QFrame>(&dialog, "frameTextColorLight")), QColor(0x10, 0x20, 0x30, 128));
    QCOMPARE(child<QLineEdit>(&dialog, "lineEditTextHexLight")->text(), QStringLiteral("#102030"));
    QCOMPARE(emittedBy(dialog).colorLight, QColor(0x10, 0x20, 0x30));
}

void tst_TextItemStyleDialog::emptyLightEditorBlocksApplyWhileDarkPreviewFollows()
{
    TextItemStyleDialog dialog;
    QSignalSpy spy(&dialog, &TextItemStyleDialog::applyRequested);
    child<QLineEdit>(&dialog, "lineEditTextHexLight")->clear();
    retype(child<QLineEdit>(&dialog, "lineEditTextHexDark"), QStringLiteral("#336699"));
    QCOMPARE(previewItem(dialog, "graphicsViewDark")->color(), QColor("#336699"));
    QVERIFY(!previewItem(dialog, "graphicsViewLight")->color().isValid()); // painted black

    prompts().reset(1);
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonApply"), Qt::LeftButton);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(prompts().promptsOf("warning").value(0).title, QStringLiteral("Invalid colors"));
}

void tst_TextItemStyleDialog::sampleUsesLightColourAndCurrentFont()
{
    TextItemStyleDialog dialog;
    QLabel *sample = child<QLabel>(&dialog, "labelFontPreview");
    retype(child<QLineEdit>(&dialog, "lineEditTextHexDark"), QStringLiteral("#FFFFFF"));
    retype(child<QLineEdit>(&dialog, "lineEditTextHexLight"), QStringLiteral("#A1B2C3"));
    QCOMPARE(sample->styleSheet(), QStringLiteral("QLabel { color: #a1b2c3; }"));
    child<QSpinBox>(&dialog, "spinTextSize")->setValue(30);
    child<QToolButton>(&dialog, "btnTextItalic")->click();
    QCOMPARE(sample->font().pointSize(), 30);
    QVERIFY(sample->font().italic());
    QCOMPARE(previewItem(dialog, "graphicsViewLight")->font().pointSize(), 30);
    QVERIFY(previewItem(dialog, "graphicsViewLight")->boundingRect().width() > 120);
}

void tst_TextItemStyleDialog::okEmitsAndClosesCancelEmitsNothing()
{
    TextItemStyleDialog dialog;
    dialog.setApplyTarget(TextItemStyleDialog::AllInDiagram);
    dialog.setUseForNew(true);
    QSignalSpy spy(&dialog, &TextItemStyleDialog::applyRequested);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonOK"), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(1).value<TextItemStyleDialog::ApplyTarget>(),
             TextItemStyleDialog::AllInDiagram);
    QCOMPARE(spy.first().at(2).toBool(), true);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    dialog.show();
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonCancel"), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

QTEST_MAIN(tst_TextItemStyleDialog)
#include "tst_textitemstyledialog.moc"
