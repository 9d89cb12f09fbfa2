#include "compactfontdelegate.h"
#include "constrainedfontcombobox.h"

#include "dialogtestsupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QStyle>
#include <QVBoxLayout>

using namespace dialogtest;

class tst_ConstrainedFontComboBox : public DialogTestCase
{
    Q_OBJECT

private slots:
    void listFitsTheWindow_data();
    void listFitsTheWindow();
    void comboIsAPlainFamilyList();
    void delegateRowsAreCompact();
    void applicationStyleOutlivesTheCombo();
};

void tst_ConstrainedFontComboBox::listFitsTheWindow_data()
{
    QTest::addColumn<int>("windowHeight");
    QTest::addColumn<int>("visibleItems");
    QTest::addColumn<int>("heightLimit");
    QTest::newRow("100") << 100 << 6 << 160;
    QTest::newRow("160") << 160 << 6 << 160;
    QTest::newRow("161") << 161 << 6 << 161;
    QTest::newRow("300") << 300 << 11 << 300;
    QTest::newRow("345") << 345 << 12 << 345;
    QTest::newRow("346") << 346 << 12 << 346;
}

void tst_ConstrainedFontComboBox::listFitsTheWindow()
{
    QFETCH(int, windowHeight);
    QFETCH(int, visibleItems);
    QFETCH(int, heightLimit);
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *combo = new ConstrainedFontComboBox(&window);
    layout->addWidget(combo);
    layout->addStretch();
    window.setFixedSize(400, windowHeight);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.height(), windowHeight);

    combo->showPopup();
    QWidget *container = combo->view()->parentWidget();
    QVERIFY(container->isVisible());
    QCOMPARE(combo->maxVisibleItems(), visibleItems);
    QCOMPARE(combo->view()->maximumHeight(), heightLimit);
    QVERIFY(container->height() <= heightLimit);
    combo->hidePopup();
}

void tst_ConstrainedFontComboBox::comboIsAPlainFamilyList()
{
    QWidget window;
    ConstrainedFontComboBox combo(&window);
    QVERIFY(!combo.isEditable());
    QCOMPARE(combo.insertPolicy(), QComboBox::NoInsert);
    QCOMPARE(combo.fontFilters(), QFontComboBox::AllFonts);
    QVERIFY(combo.findText(QStringLiteral("JetBrains Mono")) >= 0);
    QVERIFY(qobject_cast<CompactFontDelegate *>(combo.itemDelegate()));
    QCOMPARE(combo.style()->styleHint(QStyle::SH_ComboBox_Popup, nullptr, &combo), 0);
    QCOMPARE(combo.view()->minimumWidth(), 280);

    // A combo that is its own window opens with the full list.
    ConstrainedFontComboBox alone;
    alone.show();
    QVERIFY(QTest::qWaitForWindowExposed(&alone));
    alone.showPopup();
    QCOMPARE(alone.maxVisibleItems(), 12);
    QCOMPARE(alone.view()->maximumHeight(), 400);
    alone.hidePopup();
}

void tst_ConstrainedFontComboBox::delegateRowsAreCompact()
{
    ConstrainedFontComboBox combo;
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 310, 40);
    const QModelIndex first = combo.model()->index(0, 0);
    QCOMPARE(combo.itemDelegate()->sizeHint(option, first), QSize(310, 26));
}

void tst_ConstrainedFontComboBox::applicationStyleOutlivesTheCombo()
{
    QStyle *appStyle = QApplication::style();
    {
        ConstrainedFontComboBox combo;
        combo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&combo));
    }
    QCOMPARE(QApplication::style(), appStyle);
    QVERIFY(appStyle->styleHint(QStyle::SH_ComboBox_Popup) >= 0); // still alive
    ConstrainedFontComboBox again;
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
}

QTEST_MAIN(tst_ConstrainedFontComboBox)
#include "tst_constrainedfontcombobox.moc"
