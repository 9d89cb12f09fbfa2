#include "detailspanelfixture.h"

#include "applicationsetup.h"
#include "constraintitem.h"
#include "testsupport.h"
#include "themehelpers.h"

#include <QApplication>
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
};

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
    QApplication::setPalette(dark ? darkApplicationPalette() : lightApplicationPalette());
    QFile sheet(dark ? u":/styles/resources/styles/app-dark.qss"_s : u":/styles/resources/styles/app-light.qss"_s);
    if (sheet.open(QIODevice::ReadOnly))
        qApp->setStyleSheet(QString::fromUtf8(sheet.readAll()));

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
    f.addBox(orders);
    f.window.resize(1400, 760);
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    f.panel->setTable(f.model, orders, nullptr);
    f.ui.tableViewColumns->setCurrentIndex(f.columns()->index(1, 0));
    QCOMPARE(f.ui.plainTextEdit->toPlainText(), columns.at(1)->comment());

    const QString folder = testsupport::outputDir(u"panels"_s);
    for (QWidget *tab : {f.ui.tabGeneral, f.ui.tabColumns, f.ui.tabGovernance}) {
        f.ui.tabWidget->setCurrentWidget(tab);
        QCoreApplication::processEvents();
        const QImage picture = f.ui.tabWidget->grab().toImage();
        QVERIFY(!picture.isNull());
        const QString name = u"%1/details-%2-%3.png"_s.arg(folder, tab->objectName().mid(3).toLower(),
                                                          dark ? u"dark"_s : u"light"_s);
        QVERIFY(picture.save(name));
    }
    // Every header label fits its section.
    for (QTableView *view : {f.ui.tableViewPhysical, f.ui.tableViewColumns, f.ui.tableView}) {
        QHeaderView *header = view->horizontalHeader();
        for (int section = 0; section < header->count(); ++section) {
            const QString label = view->model()->headerData(section, Qt::Horizontal).toString();
            QVERIFY2(header->sectionSize(section) >= header->fontMetrics().horizontalAdvance(label),
                     qPrintable(label));
        }
    }
}

QTEST_MAIN(tst_DetailsPanelPictures)
#include "tst_detailspanelpictures.moc"
