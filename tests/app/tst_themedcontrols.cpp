#include "applicationsetup.h"
#include "colorsdialog.h"
#include "dbimportdialog.h"
#include "entitycolordialog.h"
#include "testsupport.h"
#include "themehelpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

using namespace Qt::StringLiterals;

// Controls of the dialogs under the application's two palettes and style sheets, as the
// user meets them: what must be seen is looked for in the rendered pixels.
class tst_ThemedControls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void checkBoxShowsItsBox_data();
    void checkBoxShowsItsBox();
    void browseButtonsShowTheirText_data();
    void browseButtonsShowTheirText();
    void entityColorDialogOpensAtItsSize_data();
    void entityColorDialogOpensAtItsSize();
};

namespace {

void useTheme(bool dark)
{
    QApplication::setPalette(dark ? darkApplicationPalette() : lightApplicationPalette());
    QFile sheet(dark ? u":/styles/resources/styles/app-dark.qss"_s : u":/styles/resources/styles/app-light.qss"_s);
    QVERIFY(sheet.open(QIODevice::ReadOnly));
    qApp->setStyleSheet(QString::fromUtf8(sheet.readAll()));
}

void addThemes()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

int channelDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// Pixels of the rectangle that stand out from the colour around them.
int inkPixels(const QImage &image, const QRect &rect, QRgb background)
{
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            if (channelDistance(image.pixel(x, y), background) > 48)
                ++count;
        }
    }
    return count;
}

QImage grabOf(QWidget *widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void savePicture(const QImage &image, const QString &name)
{
    QVERIFY(image.save(testsupport::outputDir(u"app"_s) + u"/"_s + name + u".png"_s));
}

} // namespace

void tst_ThemedControls::initTestCase()
{
    configureApplication(*qApp);
}

void tst_ThemedControls::cleanup()
{
    QApplication::setPalette(QApplication::style()->standardPalette());
    qApp->setStyleSheet(QString());
}

void tst_ThemedControls::checkBoxShowsItsBox_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<bool>("checked");
    for (bool dark : {false, true}) {
        for (bool checked : {false, true}) {
            QTest::addRow("%s, %s", dark ? "dark" : "light", checked ? "checked" : "unchecked") << dark << checked;
        }
    }
}

void tst_ThemedControls::checkBoxShowsItsBox()
{
    QFETCH(bool, dark);
    QFETCH(bool, checked);
    useTheme(dark);
    ColorsDialog dialog;
    dialog.setUseForNewEntities(checked);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *box = dialog.findChild<QCheckBox *>(u"checkBoxUseNewEntities"_s);
    QVERIFY(box);
    QCOMPARE(box->isChecked(), checked);

    // The dialog's pixels: the box's own grab has no background of its own.
    const QImage image = grabOf(&dialog);
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator = box->style()
                                ->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box)
                                .translated(box->mapTo(&dialog, QPoint(0, 0)));
    QVERIFY(indicator.width() >= 10 && indicator.height() >= 10);
    // The colour beside the box, between it and the label.
    const QRgb background = image.pixel(indicator.right() + 3, indicator.center().y());
    // At least the outline: three of its four sides.
    const int perimeter = 2 * (indicator.width() + indicator.height());
    const int ink = inkPixels(image, indicator, background);
    savePicture(image, u"colors-dialog-%1-%2"_s.arg(dark ? u"dark"_s : u"light"_s,
                                                               checked ? u"checked"_s : u"unchecked"_s));
    QVERIFY2(ink >= perimeter * 3 / 4, qPrintable(u"%1 of %2"_s.arg(ink).arg(perimeter)));
}

void tst_ThemedControls::browseButtonsShowTheirText_data()
{
    addThemes();
}

void tst_ThemedControls::browseButtonsShowTheirText()
{
    QFETCH(bool, dark);
    useTheme(dark);
    DbImportDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QString theme = dark ? u"dark"_s : u"light"_s;
    savePicture(grabOf(&dialog), u"db-import-dialog-%1"_s.arg(theme));
    for (const QString &name : {u"browsePython"_s, u"browseScript"_s, u"browseCsv"_s}) {
        if (name == u"browseCsv"_s) {
            auto *combo = dialog.findChild<QComboBox *>(u"dialectCombo"_s);
            combo->setCurrentIndex(combo->findData(u"csv"_s));
            QCoreApplication::processEvents();
            savePicture(grabOf(&dialog), u"db-import-dialog-csv-%1"_s.arg(theme));
        }
        auto *button = dialog.findChild<QPushButton *>(name);
        QVERIFY(button && button->isVisible());
        QCOMPARE(button->text(), u"..."_s);
        const QImage image = grabOf(button);
        // Inside the border, the three dots stand out from the button's face.
        const QRect face = button->rect().adjusted(3, 3, -3, -3);
        const QRgb background = image.pixel(face.left(), face.center().y());
        const int ink = inkPixels(image, face, background);
        QVERIFY2(ink >= 3, qPrintable(u"%1: %2"_s.arg(name).arg(ink)));
    }
}

void tst_ThemedControls::entityColorDialogOpensAtItsSize_data()
{
    addThemes();
}

void tst_ThemedControls::entityColorDialogOpensAtItsSize()
{
    QFETCH(bool, dark);
    useTheme(dark);
    EntityColorDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    savePicture(grabOf(&dialog), u"entity-color-dialog-%1"_s.arg(dark ? u"dark"_s : u"light"_s));
    QCOMPARE(dialog.size(), QSize(860, 560));
    // Nothing in it is squeezed below what it asks for.
    QVERIFY(dialog.minimumSizeHint().height() <= 560);
}

QTEST_MAIN(tst_ThemedControls)
#include "tst_themedcontrols.moc"
