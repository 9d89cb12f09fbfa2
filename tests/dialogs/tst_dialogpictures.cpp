#include "applicationsetup.h"
#include "colorsdialog.h"
#include "edgeeditdialog.h"
#include "entitycolordialog.h"
#include "entityeditdialog.h"
#include "groupitemstyledialog.h"
#include "textitemstyledialog.h"
#include "themehelpers.h"

#include "dialogtestsupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFontComboBox>

using namespace dialogtest;

// Every dialog of this folder and the two edit dialogs, grabbed under the light and the
// dark application palette for a person to look at.
class tst_DialogPictures : public DialogTestCase
{
    Q_OBJECT

private slots:
    void grabEachDialog_data();
    void grabEachDialog();
    void grabOpenFontList_data();
    void grabOpenFontList();

private:
    void setUpOnce() override { configureApplication(*qApp); }
    void usePalette(const QString &theme) const;
    void save(QWidget *widget, const QString &name) const;
};

void tst_DialogPictures::usePalette(const QString &theme) const
{
    QApplication::setPalette(theme == QLatin1String("dark") ? darkApplicationPalette()
                                                            : lightApplicationPalette());
}

void tst_DialogPictures::save(QWidget *widget, const QString &name) const
{
    const QImage image = widget->grab().toImage();
    QVERIFY(!image.isNull());
    const QString path = testsupport::outputDir(QStringLiteral("dialogs")) + "/" + name + ".png";
    QVERIFY(image.save(path));
}

void tst_DialogPictures::grabEachDialog_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("theme");
    for (const char *theme : {"light", "dark"}) {
        for (const char *dialog : {"colors", "text-style", "group-style", "entity-colors",
                                   "edit-entity", "edit-relationship"}) {
            QTest::addRow("%s-%s", dialog, theme) << dialog << theme;
        }
    }
}

void tst_DialogPictures::grabEachDialog()
{
    QFETCH(QString, dialog);
    QFETCH(QString, theme);
    usePalette(theme);
    std::unique_ptr<QDialog> shown;
    if (dialog == QLatin1String("colors"))
        shown = std::make_unique<ColorsDialog>();
    else if (dialog == QLatin1String("text-style"))
        shown = std::make_unique<TextItemStyleDialog>();
    else if (dialog == QLatin1String("group-style"))
        shown = std::make_unique<GroupItemStyleDialog>();
    else if (dialog == QLatin1String("entity-colors"))
        shown = std::make_unique<EntityColorDialog>();
    else if (dialog == QLatin1String("edit-entity"))
        shown = std::make_unique<EntityEditDialog>(QStringLiteral("orders"));
    else
        shown = std::make_unique<EdgeEditDialog>(QStringLiteral("orders — customers"));
    shown->show();
    QVERIFY(QTest::qWaitForWindowExposed(shown.get()));
    save(shown.get(), dialog + "-" + theme);
}

void tst_DialogPictures::grabOpenFontList_data()
{
    QTest::addColumn<QString>("theme");
    QTest::newRow("light") << "light";
    QTest::newRow("dark") << "dark";
}

void tst_DialogPictures::grabOpenFontList()
{
    QFETCH(QString, theme);
    usePalette(theme);
    TextItemStyleDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *combo = child<QFontComboBox>(&dialog, "fontComboText");
    combo->showPopup();
    QWidget *list = combo->view()->parentWidget();
    QVERIFY(list->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(list));
    save(list, "font-list-" + theme);
    combo->hidePopup();
}

QTEST_MAIN(tst_DialogPictures)
#include "tst_dialogpictures.moc"
