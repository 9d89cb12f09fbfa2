#include "detailspanelfixture.h"

#include "applicationsetup.h"
#include "constraintitem.h"
#include "indexitem.h"
#include "mappingitem.h"
#include "relationshipitem.h"
#include "testsupport.h"
#include "themehelpers.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QStyle>
#include <QTabWidget>
#include <QTest>

using namespace Qt::StringLiterals;

// The details tabs of a filled table under both themes, written as pictures to look at.
class tst_DetailsPanelPictures : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void tabs_data();
    void tabs();
    void cellsAndListsShowTheirWholeText_data();
    void cellsAndListsShowTheirWholeText();
};

namespace {

void useTheme(bool dark)
{
    QApplication::setPalette(dark ? darkApplicationPalette() : lightApplicationPalette());
    QFile sheet(dark ? u":/styles/resources/styles/app-dark.qss"_s : u":/styles/resources/styles/app-light.qss"_s);
    if (sheet.open(QIODevice::ReadOnly))
        qApp->setStyleSheet(QString::fromUtf8(sheet.readAll()));
}

// Every cell of the view's rows fits its section.
void verifyCellsFit(QAbstractItemView *view)
{
    const auto *table = qobject_cast<QTableView *>(view);
    const auto *tree = qobject_cast<QTreeView *>(view);
    const QHeaderView *header = table ? table->horizontalHeader() : tree->header();
    for (int section = 0; section < header->count(); ++section) {
        QVERIFY2(header->sectionSize(section) >= view->sizeHintForColumn(section),
                 qPrintable(u"%1, column %2"_s.arg(view->objectName()).arg(section)));
    }
}

} // namespace

void tst_DetailsPanelPictures::initTestCase()
{
    configureApplication(*qApp);
}

void tst_DetailsPanelPictures::cleanup()
{
    QApplication::setPalette(QApplication::style()->standardPalette());
    qApp->setStyleSheet(QString());
}

void tst_DetailsPanelPictures::tabs_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void tst_DetailsPanelPictures::tabs()
{
    QFETCH(bool, dark);
    useTheme(dark);

    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, {{u"order_id"_s, u"bigint"_s},
                                                 {u"customer_email"_s, u"varchar(120)"_s},
                                                 {u"amount"_s, u"numeric(12,2)"_s},
                                                 {u"placed_at"_s, u"timestamp"_s},
                                                 {u"status"_s, u"char(1)"_s},
                                                 {u"notes"_s, u"text"_s}});
    orders->setSchema(u"sales"_s);
    orders->setComment(u"One row per order placed in the web shop."_s);
    orders->setProperty(u"tablespace"_s, u"fast_ssd"_s);
    orders->setProperty(u"fillfactor"_s, u"90"_s);
    const QList<ColumnItem *> columns = orders->columns();
    columns.at(0)->setNullable(false);
    columns.at(3)->setDefaultValue(u"now()"_s);
    columns.at(1)->setComment(u"Where the receipt goes; personal data."_s);
    columns.at(1)->setPersonal(true);
    columns.at(1)->setSensible(true);
    columns.at(1)->setClassification(u"Confidential"_s);
    columns.at(2)->setSensible(true);
    columns.at(2)->setClassification(u"Internal"_s);
    TableItem *customers = f.addTable(u"customers"_s, {{u"customer_id"_s, u"bigint"_s}, {u"email"_s, u"text"_s},
                                                       {u"country"_s, u"char(2)"_s}});
    customers->setSchema(u"crm"_s);
    ConstraintItem *primaryKey = orders->addConstraint();
    primaryKey->setName(u"pk_orders"_s);
    primaryKey->setType(ConstraintType::PrimaryKey);
    primaryKey->setColumns({columns.at(0)->id()});
    ConstraintItem *foreignKey = orders->addConstraint();
    foreignKey->setName(u"fk_orders_customers"_s);
    foreignKey->setType(ConstraintType::ForeignKey);
    foreignKey->setColumns({columns.at(1)->id(), columns.at(4)->id()});
    foreignKey->setReferencedTableId(customers->id());
    foreignKey->setReferencedColumns({customers->columns().at(1)->id(), customers->columns().at(2)->id()});
    ConstraintItem *check = orders->addConstraint();
    check->setName(u"ck_orders_amount"_s);
    check->setType(ConstraintType::Check);
    check->setExpression(u"amount >= 0"_s);
    IndexItem *byCustomer = orders->addIndex();
    byCustomer->setName(u"ix_orders"_s);
    byCustomer->setColumns({columns.at(1)->id(), columns.at(3)->id()});
    IndexItem *byStatus = orders->addIndex();
    byStatus->setName(u"ix_orders_2"_s);
    byStatus->setUnique(true);
    byStatus->setColumns({columns.at(4)->id()});
    for (int i = 0; i < 3; ++i) {
        MappingItem *mapping = i == 0 ? f.project.addMapping() : f.model->addMapping();
        mapping->setSourceModelId(f.model->id());
        mapping->setSourceTableId(customers->id());
        mapping->setSourceColumnId(customers->columns().at(i)->id());
        mapping->setTargetModelId(f.model->id());
        mapping->setTargetTableId(orders->id());
        mapping->setTargetColumnId(columns.at(i == 0 ? 1 : i + 2)->id());
    }
    f.addBox(orders);
    f.window.resize(1600, 760);
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    f.panel->setTable(f.model, orders, nullptr);
    f.ui.tableViewColumns->setCurrentIndex(f.columns()->index(1, 0));
    QCOMPARE(f.ui.plainTextEdit->toPlainText(), columns.at(1)->comment());
    f.ui.tableViewConstraints->setCurrentIndex(f.itemModel(f.ui.tableViewConstraints)->index(1, 0));
    QCOMPARE(f.itemModel(f.ui.tableViewConsColumns)->columnCount(), 6);
    QCOMPARE(f.cell(f.ui.tableViewConsColumns, 0, 4), u"customers"_s);
    QCOMPARE(f.itemModel(f.ui.tableViewIndColumns)->rowCount(), 2);
    QCOMPARE(f.itemModel(f.ui.treeView)->rowCount(), 4);

    const QString folder = testsupport::outputDir(u"panels"_s);
    for (QWidget *tab : {f.ui.tabGeneral, f.ui.tabColumns, f.ui.tabConstraints, f.ui.tabIndexes, f.ui.tabGovernance,
                         f.ui.tabMappings}) {
        f.ui.tabWidget->setCurrentWidget(tab);
        QCoreApplication::processEvents();
        const QImage picture = f.ui.tabWidget->grab().toImage();
        QVERIFY(!picture.isNull());
        if (tab == f.ui.tabIndexes) // an index with two columns, selected
            QCOMPARE(f.currentRow(f.ui.tableViewIndexes), 0);
        const QString name = u"%1/details-%2-%3.png"_s.arg(folder, tab->objectName().mid(3).toLower(),
                                                          dark ? u"dark"_s : u"light"_s);
        QVERIFY(picture.save(name));
    }
    // Every header label fits its section.
    const QList<QAbstractItemView *> views{f.ui.tableViewPhysical, f.ui.tableViewColumns, f.ui.tableViewConstraints,
                                           f.ui.tableViewConsColumns, f.ui.tableViewIndexes, f.ui.tableViewIndColumns,
                                           f.ui.tableView, f.ui.treeView};
    for (QAbstractItemView *view : views) {
        const auto *table = qobject_cast<QTableView *>(view);
        QHeaderView *header = table ? table->horizontalHeader() : f.ui.treeView->header();
        for (int section = 0; section < header->count(); ++section) {
            const QString label = view->model()->headerData(section, Qt::Horizontal).toString();
            QVERIFY2(header->sectionSize(section) >= header->fontMetrics().horizontalAdvance(label),
                     qPrintable(label));
        }
    }
}

void tst_DetailsPanelPictures::cellsAndListsShowTheirWholeText_data()
{
    tabs_data();
}

void tst_DetailsPanelPictures::cellsAndListsShowTheirWholeText()
{
    QFETCH(bool, dark);
    useTheme(dark);
    DetailsPanelFixture f;
    TableItem *customers = f.addTable(u"customers"_s, {{u"id"_s, u"bigint"_s}, {u"email"_s, u"text"_s}});
    MappingItem *mapping = f.project.addMapping();
    mapping->setSourceModelId(f.model->id());
    mapping->setSourceTableId(customers->id());
    mapping->setSourceColumnId(customers->columns().at(0)->id());
    f.window.resize(1100, 700);
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    f.panel->setTable(f.model, customers, nullptr);
    QCoreApplication::processEvents();
    const QString theme = dark ? u"dark"_s : u"light"_s;
    const QString folder = testsupport::outputDir(u"panels"_s);

    // Rows added to the shown table after its columns were fitted.
    ConstraintItem *unique = customers->addConstraint();
    unique->setName(u"uk_customers_email_and_country"_s);
    unique->setType(ConstraintType::Unique);
    customers->columns().at(1)->setDataType(u"undefined_geometry_type"_s);
    f.panel->refresh();
    QCoreApplication::processEvents();
    for (QAbstractItemView *view : QList<QAbstractItemView *>{f.ui.tableViewColumns, f.ui.tableViewConstraints,
                                                               f.ui.treeView})
        verifyCellsFit(view);

    // Mapping rows as high as the rows of the other tabs.
    f.ui.tabWidget->setCurrentWidget(f.ui.tabMappings);
    QCoreApplication::processEvents();
    QVERIFY(f.ui.treeView->visualRect(f.itemModel(f.ui.treeView)->index(0, 0)).height()
            >= f.ui.tableViewColumns->verticalHeader()->defaultSectionSize());
    QVERIFY(f.ui.tabWidget->grab().save(u"%1/details-mapping-rows-%2.png"_s.arg(folder, theme)));

    // The type list opens as wide as its longest entry.
    f.ui.tabWidget->setCurrentWidget(f.ui.tabColumns);
    const QModelIndex type = f.columns()->index(0, 1);
    f.ui.tableViewColumns->setCurrentIndex(type);
    f.ui.tableViewColumns->edit(type);
    auto *combo = qobject_cast<QComboBox *>(f.ui.tableViewColumns->indexWidget(type));
    QVERIFY(combo);
    combo->showPopup();
    QAbstractItemView *list = combo->view();
    QVERIFY(QTest::qWaitForWindowExposed(list->window()));
    QVERIFY(list->window()->grab().save(u"%1/details-type-list-%2.png"_s.arg(folder, theme)));
    int widest = 0;
    for (int row = 0; row < combo->count(); ++row)
        widest = std::max(widest, list->fontMetrics().horizontalAdvance(combo->itemText(row)));
    QVERIFY2(list->viewport()->width() >= widest, qPrintable(u"%1 < %2"_s.arg(list->viewport()->width()).arg(widest)));
    combo->hidePopup();
}

QTEST_MAIN(tst_DetailsPanelPictures)
#include "tst_detailspanelpictures.moc"
