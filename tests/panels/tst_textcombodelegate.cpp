#include "detailspanelfixture.h"

#include "dialectcatalog.h"
#include "textcombodelegate.h"

#include <QApplication>
#include <QComboBox>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

// The combo-box cell editor of the details panel and the type list it offers.
class tst_TextComboDelegate : public QObject
{
    Q_OBJECT

private slots:
    void offersTheCellTextFirstWhenUnlisted();
    void selectsExactMatchesOnly_data();
    void selectsExactMatchesOnly();
    void writesOnlyAChangedText();
    void typeListFollowsTheEffectiveDialect_data();
    void typeListFollowsTheEffectiveDialect();
    void typedTextIsStoredAsTyped_data();
    void typedTextIsStoredAsTyped();
};

namespace {

struct Cell
{
    Cell(const QString &text)
        : model(1, 1)
    {
        model.setItem(0, 0, new QStandardItem(text));
    }
    QModelIndex index() const { return model.index(0, 0); }

    QStandardItemModel model;
};

std::unique_ptr<QComboBox> openEditor(const QAbstractItemDelegate &delegate, const QModelIndex &index,
                                      QWidget *parent)
{
    std::unique_ptr<QComboBox> combo(
        qobject_cast<QComboBox *>(delegate.createEditor(parent, QStyleOptionViewItem(), index)));
    if (combo)
        delegate.setEditorData(combo.get(), index);
    return combo;
}

QStringList items(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

} // namespace

void tst_TextComboDelegate::offersTheCellTextFirstWhenUnlisted()
{
    QWidget parent;
    const QStringList options{u"INTEGER"_s, u"TEXT"_s};
    TextComboDelegate delegate([&](const QModelIndex &) { return options; }, false, nullptr);

    Cell unknown(u"geometry"_s);
    auto combo = openEditor(delegate, unknown.index(), &parent);
    QVERIFY(combo && !combo->isEditable());
    QCOMPARE(items(combo.get()), (QStringList{u"geometry"_s, u"INTEGER"_s, u"TEXT"_s}));
    QCOMPARE(combo->currentText(), u"geometry"_s);

    Cell listed(u"TEXT"_s);
    combo = openEditor(delegate, listed.index(), &parent);
    QCOMPARE(items(combo.get()), options);
    Cell empty(u""_s);
    combo = openEditor(delegate, empty.index(), &parent);
    QCOMPARE(items(combo.get()), options);

    TextComboDelegate bare(nullptr, true, nullptr);
    combo = openEditor(bare, unknown.index(), &parent);
    QCOMPARE(items(combo.get()), QStringList{u"geometry"_s});
}

void tst_TextComboDelegate::selectsExactMatchesOnly_data()
{
    QTest::addColumn<bool>("editable");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("currentIndex");
    QTest::addColumn<QString>("currentText");

    // The editor always offers the cell's own text, so a case variant comes first.
    QTest::newRow("exact") << false << u"TEXT"_s << 1 << u"TEXT"_s;
    QTest::newRow("other case, fixed list") << false << u"text"_s << 0 << u"text"_s;
    QTest::newRow("other case, free text") << true << u"text"_s << 0 << u"text"_s;
    QTest::newRow("empty, free text") << true << u""_s << 0 << u""_s;
    QTest::newRow("empty, fixed list") << false << u""_s << 0 << u"INTEGER"_s;
}

void tst_TextComboDelegate::selectsExactMatchesOnly()
{
    QFETCH(bool, editable);
    QFETCH(QString, text);
    QFETCH(int, currentIndex);
    QFETCH(QString, currentText);
    QWidget parent;
    TextComboDelegate delegate([](const QModelIndex &) { return QStringList{u"INTEGER"_s, u"TEXT"_s}; },
                               editable, nullptr);
    Cell cell(text);
    auto combo = openEditor(delegate, cell.index(), &parent);
    QCOMPARE(combo->currentIndex(), currentIndex);
    QCOMPARE(combo->currentText(), currentText);
}

void tst_TextComboDelegate::writesOnlyAChangedText()
{
    QWidget parent;
    TextComboDelegate delegate([](const QModelIndex &) { return QStringList{u"Unique"_s, u"Non-unique"_s}; },
                               false, nullptr);
    Cell cell(u"Unique"_s);
    QSignalSpy changed(&cell.model, &QStandardItemModel::itemChanged);
    auto combo = openEditor(delegate, cell.index(), &parent);
    delegate.setModelData(combo.get(), &cell.model, cell.index());
    QCOMPARE(changed.count(), 0);

    combo->setCurrentIndex(1);
    delegate.setModelData(combo.get(), &cell.model, cell.index());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(cell.model.item(0, 0)->text(), u"Non-unique"_s);

    QLineEdit notACombo;
    delegate.setEditorData(&notACombo, cell.index());
    delegate.setModelData(&notACombo, &cell.model, cell.index());
    delegate.setModelData(combo.get(), nullptr, cell.index());
    QCOMPARE(changed.count(), 1);
}

void tst_TextComboDelegate::typeListFollowsTheEffectiveDialect_data()
{
    QTest::addColumn<QString>("modelDialect");
    QTest::addColumn<QString>("defaultDialect");
    QTest::addColumn<QString>("listOf"); // the dialect whose types are offered

    QTest::newRow("model's dialect") << u"SQLite"_s << u"MySQL"_s << u"SQLite"_s;
    QTest::newRow("default when the model has none") << u""_s << u"Oracle"_s << u"Oracle"_s;
    QTest::newRow("unknown dialect") << u"Nonesuch"_s << u"MySQL"_s << u""_s;
}

void tst_TextComboDelegate::typeListFollowsTheEffectiveDialect()
{
    QFETCH(QString, modelDialect);
    QFETCH(QString, defaultDialect);
    QFETCH(QString, listOf);
    DetailsPanelFixture f;
    f.model->setDialect(modelDialect);
    f.panel->setDefaultDialect(defaultDialect);
    TableItem *orders = f.addTable(u"orders"_s, {{u"payload"_s, u"geometry"_s}});
    f.panel->setTable(f.model, orders, nullptr);
    QAbstractItemDelegate *types = f.ui.tableViewColumns->itemDelegateForColumn(1);
    QVERIFY(types);

    auto combo = openEditor(*types, f.columns()->index(0, 1), &f.window);
    QVERIFY(combo->isEditable());
    QCOMPARE(items(combo.get()), QStringList{u"geometry"_s} + dataTypesForDialect(listOf));
    QCOMPARE(combo->currentText(), u"geometry"_s);

    // A type typed freely reaches the column through the cell.
    combo->setEditText(u"point"_s);
    types->setModelData(combo.get(), f.columns(), f.columns()->index(0, 1));
    QCOMPARE(orders->columns().at(0)->dataType(), u"point"_s);
}

void tst_TextComboDelegate::typedTextIsStoredAsTyped_data()
{
    QTest::addColumn<bool>("mapping"); // else the Type cell of the columns table
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("typed");

    // A prefix of the listed or present text, which inline completion used to restore.
    QTest::newRow("type, prefix of the present type") << false << u"BIGINTEGER"_s << u"BIGINT"_s;
    QTest::newRow("type, prefix of a listed type") << false << u"text"_s << u"INT"_s;
    QTest::newRow("type, other case of a listed type") << false << u"text"_s << u"bigint"_s;
    QTest::newRow("mapping, prefix of the present text") << true << u"Model 1customers"_s << u"Model 1"_s;
    QTest::newRow("mapping, prefix of a listed model") << true << u""_s << u"Ware"_s;
}

void tst_TextComboDelegate::typedTextIsStoredAsTyped()
{
    QFETCH(bool, mapping);
    QFETCH(QString, before);
    QFETCH(QString, typed);
    DetailsPanelFixture f;
    f.project.addModel()->setName(u"Warehouse"_s);
    TableItem *orders = f.addTable(u"orders"_s, {{u"id"_s, before}});
    f.panel->setTable(f.model, orders, nullptr);
    f.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    QAbstractItemView *view = mapping ? static_cast<QAbstractItemView *>(f.ui.treeView) : f.ui.tableViewColumns;
    f.ui.tabWidget->setCurrentWidget(mapping ? f.ui.tabMappings : f.ui.tabColumns);
    const QModelIndex cell = view->model()->index(0, mapping ? 0 : 1);
    if (mapping && !before.isEmpty())
        QVERIFY(f.edit(view, 0, 0, before)); // a part-typed new mapping keeps its text
    QCOMPARE(cell.data().toString(), before);

    view->setCurrentIndex(cell);
    view->edit(cell);
    QWidget *editor = QApplication::focusWidget();
    QVERIFY(qobject_cast<QComboBox *>(editor));
    QTest::keyClicks(editor, typed);
    QTest::keyClick(editor, Qt::Key_Return);
    f.settle();
    QCOMPARE(view->model()->index(0, mapping ? 0 : 1).data().toString(), typed);
    if (!mapping)
        QCOMPARE(orders->columns().at(0)->dataType(), typed);
}

QTEST_MAIN(tst_TextComboDelegate)
#include "tst_textcombodelegate.moc"
