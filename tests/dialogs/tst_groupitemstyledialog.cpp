#include "groupitemstyledialog.h"
#include "grouppreviewitem.h"

#include "dialogtestsupport.h"

#include <QGraphicsView>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>

using namespace dialogtest;

namespace {

const char *const Editors[] = {"lineEditGroupFillHexLight", "lineEditGroupBorderHexLight",
                               "lineEditGroupTextHexLight", "lineEditGroupFillHexDark",
                               "lineEditGroupBorderHexDark", "lineEditGroupTextHexDark"};

QStringList editorTexts(const GroupItemStyleDialog &dialog)
{
    QStringList texts;
    for (const char *name : Editors)
        texts << child<QLineEdit>(&dialog, QString::fromLatin1(name))->text();
    return texts;
}

GroupPreviewItem *previewItem(const GroupItemStyleDialog &dialog, const QString &view)
{
    const QList<QGraphicsItem *> items = child<QGraphicsView>(&dialog, view)->scene()->items();
    return items.isEmpty() ? nullptr : dynamic_cast<GroupPreviewItem *>(items.first());
}

GroupItemStyle emittedBy(GroupItemStyleDialog &dialog)
{
    QSignalSpy spy(&dialog, &GroupItemStyleDialog::applyRequested);
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonApply"), Qt::LeftButton);
    return spy.isEmpty() ? GroupItemStyle() : spy.first().first().value<GroupItemStyle>();
}

QImage paintedImage(GroupPreviewItem *item)
{
    QImage image(item->boundingRect().size().toSize() + QSize(4, 4), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.translate(2, 2);
    item->paint(&painter, nullptr, nullptr);
    return image;
}

const QStringList DefaultTexts = {"#5AFAFAFA", "#000000", "#000000",
                                  "#5A262626", "#D2D2D2", "#E6E6E6"};

} // namespace

class tst_GroupItemStyleDialog : public DialogTestCase
{
    Q_OBJECT

private slots:
    void newDialogShowsDefaultsInRowFormats();
    void fillKeepsRememberedAlpha_data();
    void fillKeepsRememberedAlpha();
    void opaqueStyleStaysOpaque();
    void invalidColoursFallBackOnDefaults();
    void pickedFillKeepsAlphaBorderDropsIt();
    void clearedBorderWarnsAndPreviewUsesStandIn();
};

void tst_GroupItemStyleDialog::newDialogShowsDefaultsInRowFormats()
{
    GroupItemStyleDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Group style"));
    QCOMPARE(editorTexts(dialog), DefaultTexts);
    QCOMPARE(child<QLineEdit>(&dialog, "lineEditGroupFillHexDark")->placeholderText(),
             QStringLiteral("#AARRGGBB"));
    QCOMPARE(child<QLineEdit>(&dialog, "lineEditGroupBorderHexDark")->placeholderText(),
             QStringLiteral("#RRGGBB"));
    QCOMPARE(previewItem(dialog, "graphicsViewLight")->fill(), QColor(0xFA, 0xFA, 0xFA, 90));
    QCOMPARE(emittedBy(dialog), GroupItemStyleDialog::defaultStyle());
}

void tst_GroupItemStyleDialog::fillKeepsRememberedAlpha_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("finish");
    QTest::addColumn<QColor>("fill");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("laterSixDigits"); // what a later FFFFFF becomes
    QTest::newRow("six digits, left") << "FFFFFF" << true << QColor(255, 255, 255, 90)
                                      << "#5AFFFFFF" << "#5AFFFFFF";
    QTest::newRow("six digits, typing") << "FFFFFF" << false << QColor(255, 255, 255, 90)
                                        << "FFFFFF" << "#5AFFFFFF";
    QTest::newRow("eight digits, left") << "80FF0000" << true << QColor(255, 0, 0, 128)
                                        << "#80FF0000" << "#80FFFFFF";
    QTest::newRow("eight digits, typing") << "80FF0000" << false << QColor(255, 0, 0, 128)
                                          << "80FF0000" << "#5AFFFFFF";
    QTest::newRow("three digits") << "FFF" << true << QColor(255, 255, 255, 255) << "#FFFFFFFF"
                                  << "#FFFFFFFF";
    QTest::newRow("alpha zero") << "#00FFFFFF" << true << QColor(255, 255, 255, 0) << "#00FFFFFF"
                                << "#00FFFFFF";
}

void tst_GroupItemStyleDialog::fillKeepsRememberedAlpha()
{
    QFETCH(QString, typed);
    QFETCH(bool, finish);
    QFETCH(QColor, fill);
    QFETCH(QString, text);
    QFETCH(QString, laterSixDigits);
    GroupItemStyleDialog dialog;
    QLineEdit *edit = child<QLineEdit>(&dialog, "lineEditGroupFillHexLight");
    retype(edit, typed);
    if (finish)
        finishEditing(edit);
    QCOMPARE(edit->text(), text);
    QCOMPARE(previewItem(dialog, "graphicsViewLight")->fill(), fill);
    QCOMPARE(emittedBy(dialog).fillLight, fill);

    retype(edit, QStringLiteral("FFFFFF"));
    finishEditing(edit);
    QCOMPARE(edit->text(), laterSixDigits);
}

void tst_GroupItemStyleDialog::opaqueStyleStaysOpaque()
{
    GroupItemStyle style = GroupItemStyleDialog::defaultStyle();
    style.fillDark = QColor("#336699");
    GroupItemStyleDialog dialog;
    dialog.setItemStyle(style);
    QLineEdit *edit = child<QLineEdit>(&dialog, "lineEditGroupFillHexDark");
    QCOMPARE(edit->text(), QStringLiteral("#FF336699"));
    retype(edit, QStringLiteral("112233"));
    QCOMPARE(emittedBy(dialog).fillDark, QColor("#112233"));
    QCOMPARE(emittedBy(dialog).fillLight.alpha(), 90);
}

void tst_GroupItemStyleDialog::invalidColoursFallBackOnDefaults()
{
    GroupItemStyleDialog dialog;
    dialog.setItemStyle({QColor("#10203040"), QColor(), QColor("#ABCDEF"), QColor(), QColor(),
                         QColor()});
    QCOMPARE(editorTexts(dialog), QStringList({"#10203040", "#000000", "#ABCDEF", "#5A262626",
                                               "#D2D2D2", "#E6E6E6"}));
    dialog.setItemStyle(GroupItemStyle());
    QCOMPARE(editorTexts(dialog), DefaultTexts);
    QCOMPARE(emittedBy(dialog), GroupItemStyleDialog::defaultStyle());
}

void tst_GroupItemStyleDialog::pickedFillKeepsAlphaBorderDropsIt()
{
    GroupItemStyleDialog dialog;
    prompts().answerColor(QColor(0x10, 0x20, 0x30, 40));
    prompts().answerColor(QColor(0x40, 0x50, 0x60, 40));
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonPickGroupFillDark"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonPickGroupBorderDark"), Qt::LeftButton);

    const QList<ScriptedPrompts::Prompt> picks = prompts().promptsOf("color");
    QCOMPARE(picks.value(0).title, QStringLiteral("Choose group fill (dark theme)"));
    QCOMPARE(picks.value(0).initial, QStringLiteral("#5a262626"));
    QCOMPARE(picks.value(1).title, QStringLiteral("Choose group border (dark theme)"));
    QCOMPARE(child<QLineEdit>(&dialog, "lineEditGroupFillHexDark")->text(), QStringLiteral("#28102030"));
    QCOMPARE(child<QLineEdit>(&dialog, "lineEditGroupBorderHexDark")->text(), QStringLiteral("#405060"));
    QCOMPARE(swatchColor(child<QFrame>(&dialog, "frameGroupBorderDark")), QColor(0x40, 0x50, 0x60, 40));
    const GroupItemStyle style = emittedBy(dialog);
    QCOMPARE(style.fillDark, QColor(0x10, 0x20, 0x30, 40));
    QCOMPARE(style.borderDark, QColor(0x40, 0x50, 0x60));
}

void tst_GroupItemStyleDialog::clearedBorderWarnsAndPreviewUsesStandIn()
{
    GroupItemStyleDialog dialog;
    QSignalSpy spy(&dialog, &GroupItemStyleDialog::applyRequested);
    GroupPreviewItem *light = previewItem(dialog, "graphicsViewLight");
    child<QLineEdit>(&dialog, "lineEditGroupBorderHexLight")->clear();
    QCOMPARE(light->border(), QColor("#000000"));

    prompts().reset(2);
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonApply"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonOK"), Qt::LeftButton);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(prompts().promptsOf("warning").size(), 2);

    retype(child<QLineEdit>(&dialog, "lineEditGroupTextHexLight"), QStringLiteral("#123456"));
    QVERIFY(!light->border().isValid());
    GroupPreviewItem standIn;
    standIn.setColors(light->fill(), QColor(90, 90, 90), light->text());
    QCOMPARE(paintedImage(light), paintedImage(&standIn));
}

QTEST_MAIN(tst_GroupItemStyleDialog)
#include "tst_groupitemstyledialog.moc"
