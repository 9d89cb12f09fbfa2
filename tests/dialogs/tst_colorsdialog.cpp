#include "colorsdialog.h"
#include "entitypreviewitem.h"
#include "previewscene.h"
#include "thememanager.h"

#include "dialogtestsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsView>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>

using namespace dialogtest;

namespace {

const char *const Editors[] = {"lineEditBgHexLight",  "lineEditFgHexLight", "lineEditTxtHexLight",
                               "lineEditBgHexDark",   "lineEditFgHexDark",  "lineEditTxtHexDark"};

QStringList editorTexts(const ColorsDialog &dialog)
{
    QStringList texts;
    for (const char *name : Editors)
        texts << child<QLineEdit>(&dialog, QString::fromLatin1(name))->text();
    return texts;
}

EntityPreviewItem *previewItem(const ColorsDialog &dialog, const QString &view)
{
    const QList<QGraphicsItem *> items = child<QGraphicsView>(&dialog, view)->scene()->items();
    return items.isEmpty() ? nullptr : dynamic_cast<EntityPreviewItem *>(items.first());
}

DualThemeColorScheme schemeOf(const char *lightFill, const char *lightHeader, const char *darkFill)
{
    return {{QColor(lightFill), QColor(lightHeader), QColor("#2D5B88"), QColor("#0F172A")},
            {QColor(darkFill), QColor("#3A404A"), QColor("#7EB6E8"), QColor("#E2F0FF")}};
}

QImage renderScene(QGraphicsScene *scene)
{
    QImage image(scene->sceneRect().size().toSize(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    scene->render(&painter, QRectF(image.rect()), scene->sceneRect());
    return image;
}

const QStringList DefaultTexts = {"#F7F7F7", "#2E2E2E", "#111111",
                                  "#2B2F36", "#C7CED9", "#F8FAFC"};

} // namespace

class tst_ColorsDialog : public DialogTestCase
{
    Q_OBJECT

private slots:
    void newDialogShowsDefaults();
    void typedColourShowsAtOnceAndIsNormalisedWhenEditingEnds_data();
    void typedColourShowsAtOnceAndIsNormalisedWhenEditingEnds();
    void unparsableTextChangesNothingAndBlocksOk_data();
    void unparsableTextChangesNothingAndBlocksOk();
    void overlongPasteIsRefused();
    void emittedSchemeTakesEachFillAsHeader();
    void setSchemeWithAnyInvalidColourShowsDefaults();
    void choosingPresetFillsEditorsAndEmitsNothing();
    void applyThenCancelEmitsOnce();
    void resetShowsDefaultPreset();
    void pickingSetsOpaqueTextAndTranslucentSwatch();
    void cancelledPickChangesNothing();
    void pickIconShowsOnThemeBackground_data();
    void pickIconShowsOnThemeBackground();
    void previewsDrawSampleOnThemeGrid_data();
    void previewsDrawSampleOnThemeGrid();
};

void tst_ColorsDialog::newDialogShowsDefaults()
{
    ColorsDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Table and view colors"));
    QVERIFY(dialog.isModal());
    QCOMPARE(child<QComboBox>(&dialog, "comboBoxPreset")->currentText(), QStringLiteral("Custom"));
    QCOMPARE(child<QComboBox>(&dialog, "comboBoxPreset")->count(), 7);
    QCOMPARE(child<QComboBox>(&dialog, "comboBoxSelectedChoice")->currentIndex(), 0);
    QCOMPARE(dialog.applyTarget(), ColorsDialog::SelectedItem);
    QVERIFY(!dialog.useForNewEntities());
    QCOMPARE(editorTexts(dialog), DefaultTexts);
    QCOMPARE(swatchColor(child<QFrame>(&dialog, "frameBgColorDark")), QColor("#2B2F36"));
    QCOMPARE(previewItem(dialog, "graphicsViewDark")->colors().background, QColor("#2B2F36"));
}

void tst_ColorsDialog::typedColourShowsAtOnceAndIsNormalisedWhenEditingEnds_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("normalised");
    QTest::newRow("three digits") << "abc" << "#AABBCC";
    QTest::newRow("mixed case with hash") << "#aBc" << "#AABBCC";
    QTest::newRow("six digits") << "1a2b3c" << "#1A2B3C";
}

void tst_ColorsDialog::typedColourShowsAtOnceAndIsNormalisedWhenEditingEnds()
{
    QFETCH(QString, typed);
    QFETCH(QString, normalised);
    ColorsDialog dialog;
    QComboBox *preset = child<QComboBox>(&dialog, "comboBoxPreset");
    preset->setCurrentIndex(2); // Ocean
    QLineEdit *edit = child<QLineEdit>(&dialog, "lineEditBgHexLight");

    retype(edit, typed);
    QCOMPARE(edit->text(), typed);
    QCOMPARE(swatchColor(child<QFrame>(&dialog, "frameBgColorLight")), QColor(normalised));
    QCOMPARE(previewItem(dialog, "graphicsViewLight")->colors().background, QColor(normalised));
    QCOMPARE(preset->currentText(), QStringLiteral("Custom"));

    finishEditing(edit);
    QCOMPARE(edit->text(), normalised);
}

void tst_ColorsDialog::unparsableTextChangesNothingAndBlocksOk_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("hash only") << "#";
    QTest::newRow("hash and two digits") << "#12";
    QTest::newRow("five digits") << "12345";
}

void tst_ColorsDialog::unparsableTextChangesNothingAndBlocksOk()
{
    QFETCH(QString, text);
    ColorsDialog dialog;
    QSignalSpy spy(&dialog, &ColorsDialog::applyRequested);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QComboBox *preset = child<QComboBox>(&dialog, "comboBoxPreset");
    preset->setCurrentIndex(3); // Forest
    QLineEdit *edit = child<QLineEdit>(&dialog, "lineEditFgHexDark");

    edit->setText(text); // whole, so no shorter prefix parses on the way
    finishEditing(edit);
    QCOMPARE(edit->text(), text);
    QCOMPARE(swatchColor(child<QFrame>(&dialog, "frameFgColorDark")), QColor("#7CB88A"));
    QCOMPARE(previewItem(dialog, "graphicsViewDark")->colors().border, QColor("#7CB88A"));
    QCOMPARE(preset->currentText(), QStringLiteral("Forest"));

    prompts().reset(2);
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonApply"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonOK"), Qt::LeftButton);
    QCOMPARE(spy.count(), 0);
    QVERIFY(dialog.isVisible());
    const QList<ScriptedPrompts::Prompt> warnings = prompts().promptsOf("warning");
    QCOMPARE(warnings.size(), 2);
    QCOMPARE(warnings.first().title, QStringLiteral("Invalid colors"));
    QCOMPARE(warnings.first().text, QStringLiteral("Please enter valid hex colors for all fields."));
}

void tst_ColorsDialog::overlongPasteIsRefused()
{
    ColorsDialog dialog;
    QLineEdit *edit = child<QLineEdit>(&dialog, "lineEditTxtHexLight");
    edit->clear();
    edit->insert(QStringLiteral("#11223344"));
    QCOMPARE(edit->text(), QString());
    edit->insert(QStringLiteral("#112233"));
    QCOMPARE(edit->text(), QStringLiteral("#112233"));
}

void tst_ColorsDialog::emittedSchemeTakesEachFillAsHeader()
{
    ColorsDialog dialog;
    dialog.setScheme(schemeOf("#EAF4FF", "#123456", "#0F2744"));
    dialog.setApplyTarget(ColorsDialog::DefaultsOnly);
    dialog.setUseForNewEntities(true);
    QSignalSpy spy(&dialog, &ColorsDialog::applyRequested);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonOK"), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    const auto scheme = spy.at(0).at(0).value<DualThemeColorScheme>();
    QCOMPARE(scheme.light.background, QColor("#EAF4FF"));
    QCOMPARE(scheme.light.header, QColor("#EAF4FF"));
    QCOMPARE(scheme.dark.header, QColor("#0F2744"));
    QCOMPARE(scheme.dark.text, QColor("#E2F0FF"));
    QCOMPARE(spy.at(0).at(1).value<ColorsDialog::ApplyTarget>(), ColorsDialog::DefaultsOnly);
    QCOMPARE(spy.at(0).at(2).toBool(), true);
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void tst_ColorsDialog::setSchemeWithAnyInvalidColourShowsDefaults()
{
    ColorsDialog dialog;
    dialog.setScheme(schemeOf("#EAF4FF", "#EAF4FF", "#0F2744"));
    QCOMPARE(editorTexts(dialog).first(), QStringLiteral("#EAF4FF"));

    DualThemeColorScheme broken = schemeOf("#EAF4FF", "#EAF4FF", "#0F2744");
    broken.dark.header = QColor();
    dialog.setScheme(broken);
    QCOMPARE(editorTexts(dialog), DefaultTexts);
    QCOMPARE(child<QComboBox>(&dialog, "comboBoxPreset")->currentText(), QStringLiteral("Custom"));
}

void tst_ColorsDialog::choosingPresetFillsEditorsAndEmitsNothing()
{
    ColorsDialog dialog;
    QSignalSpy spy(&dialog, &ColorsDialog::applyRequested);
    QComboBox *preset = child<QComboBox>(&dialog, "comboBoxPreset");
    preset->setCurrentText(QStringLiteral("Ocean"));
    const QStringList ocean = {"#EAF4FF", "#2D5B88", "#0F172A", "#0F2744", "#7EB6E8", "#E2F0FF"};
    QCOMPARE(editorTexts(dialog), ocean);
    QCOMPARE(previewItem(dialog, "graphicsViewLight")->colors().border, QColor("#2D5B88"));

    preset->setCurrentIndex(0);
    QCOMPARE(editorTexts(dialog), ocean);
    QCOMPARE(spy.count(), 0);
}

void tst_ColorsDialog::applyThenCancelEmitsOnce()
{
    ColorsDialog dialog;
    QSignalSpy spy(&dialog, &ColorsDialog::applyRequested);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonApply"), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QVERIFY(dialog.isVisible());
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonCancel"), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void tst_ColorsDialog::resetShowsDefaultPreset()
{
    ColorsDialog dialog;
    child<QComboBox>(&dialog, "comboBoxPreset")->setCurrentText(QStringLiteral("Rose"));
    retype(child<QLineEdit>(&dialog, "lineEditTxtHexDark"), QStringLiteral("#010203"));
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonResetPreset"), Qt::LeftButton);
    QCOMPARE(child<QComboBox>(&dialog, "comboBoxPreset")->currentText(), QStringLiteral("Default"));
    QCOMPARE(editorTexts(dialog), DefaultTexts);
}

void tst_ColorsDialog::pickingSetsOpaqueTextAndTranslucentSwatch()
{
    ColorsDialog dialog;
    QSignalSpy spy(&dialog, &ColorsDialog::applyRequested);
    child<QComboBox>(&dialog, "comboBoxPreset")->setCurrentIndex(1);
    prompts().answerColor(QColor(0x12, 0x34, 0x56, 128));
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonPickBgColorDark"), Qt::LeftButton);

    const ScriptedPrompts::Prompt pick = prompts().promptsOf("color").value(0);
    QCOMPARE(pick.title, QStringLiteral("Choose table fill (dark theme)"));
    QCOMPARE(pick.initial, QStringLiteral("#ff2b2f36"));
    QCOMPARE(child<QLineEdit>(&dialog, "lineEditBgHexDark")->text(), QStringLiteral("#123456"));
    QCOMPARE(swatchColor(child<QFrame>(&dialog, "frameBgColorDark")), QColor(0x12, 0x34, 0x56, 128));
    QCOMPARE(previewItem(dialog, "graphicsViewDark")->colors().background, QColor("#123456"));
    QCOMPARE(child<QComboBox>(&dialog, "comboBoxPreset")->currentText(), QStringLiteral("Custom"));
    QCOMPARE(spy.count(), 0);
}

void tst_ColorsDialog::cancelledPickChangesNothing()
{
    ColorsDialog dialog;
    child<QComboBox>(&dialog, "comboBoxPreset")->setCurrentIndex(4); // Amber
    QLineEdit *edit = child<QLineEdit>(&dialog, "lineEditFgHexLight");
    edit->clear(); // a row without a colour offers white
    prompts().answerColor(QColor());
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonPickFgColorLight"), Qt::LeftButton);
    QCOMPARE(prompts().promptsOf("color").value(0).initial, QStringLiteral("#ffffffff"));
    QCOMPARE(edit->text(), QString());
    QCOMPARE(child<QComboBox>(&dialog, "comboBoxPreset")->currentText(), QStringLiteral("Amber"));
}

void tst_ColorsDialog::pickIconShowsOnThemeBackground_data()
{
    QTest::addColumn<ThemeKind>("theme");
    QTest::addColumn<bool>("lightInk");
    QTest::newRow("light theme: dark dropper") << ThemeKind::Light << false;
    QTest::newRow("dark theme: light dropper") << ThemeKind::Dark << true;
}

// The dropper must stand out from the button of the theme the dialog opens in.
void tst_ColorsDialog::pickIconShowsOnThemeBackground()
{
    QFETCH(ThemeKind, theme);
    QFETCH(bool, lightInk);
    ThemeManager::instance()->setTheme(theme);
    ColorsDialog dialog;
    ThemeManager::instance()->setTheme(ThemeKind::Light);

    const QImage icon = child<QPushButton>(&dialog, "pushButtonPickTxtColorDark")
                            ->icon().pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
    qint64 ink = 0;
    int inked = 0;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            const QRgb pixel = icon.pixel(x, y);
            if (qAlpha(pixel) > 128) {
                ink += qGray(pixel);
                ++inked;
            }
        }
    }
    QVERIFY(inked > 0);
    QCOMPARE(ink / inked > 128, lightInk);
}

void tst_ColorsDialog::previewsDrawSampleOnThemeGrid_data()
{
    QTest::addColumn<QString>("view");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<int>("theme");
    QTest::newRow("light") << "graphicsViewLight" << "lineEditBgHexLight" << int(ThemeKind::Light);
    QTest::newRow("dark") << "graphicsViewDark" << "lineEditBgHexDark" << int(ThemeKind::Dark);
}

void tst_ColorsDialog::previewsDrawSampleOnThemeGrid()
{
    QFETCH(QString, view);
    QFETCH(QString, editor);
    QFETCH(int, theme);
    const ThemePalette palette = ThemeKind(theme) == ThemeKind::Dark ? ThemeManager::darkColors()
                                                                      : ThemeManager::lightColors();
    ColorsDialog dialog;
    retype(child<QLineEdit>(&dialog, editor), QStringLiteral("#40C080"));
    QGraphicsScene *scene = child<QGraphicsView>(&dialog, view)->scene();
    QCOMPARE(scene->sceneRect(), QRectF(0, 0, 260, 220));

    const QImage image = renderScene(scene);
    image.save(testsupport::outputDir(QStringLiteral("dialogs")) + "/colors-preview-" + view + ".png");
    QCOMPARE(image.pixelColor(130, 110), QColor("#40C080")); // centre of the sample table
    QCOMPARE(image.pixelColor(16, 8), palette.grid);         // a grid line above the table
    QCOMPARE(image.pixelColor(8, 8), palette.background);
}

QTEST_MAIN(tst_ColorsDialog)
#include "tst_colorsdialog.moc"
