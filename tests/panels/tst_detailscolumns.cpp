#include "detailspanelfixture.h"

#include "diagramitem.h"
#include "dialectcatalog.h"
#include "viewitem.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

// The General, Columns and Governance tabs and the add and remove column buttons.
class tst_DetailsColumns : public QObject
{
    Q_OBJECT

private slots:
    void parseOptionalInt_data();
    void parseOptionalInt();
    void parameterisedTypeSplitOnRefresh();
    void cellEdits_data();
    void cellEdits();
    void typeTexts_data();
    void typeTexts();
    void nullableChangesOnlyTheModel();
    void boxFollowsTypeAndSizeEdits();
    void columnRenameWithABoxGoesThroughTheBox();
    void viewTypeWithParametersWinsOverSizes();
    void tableAndViewRenamesAreHandedOn();
    void generalEditsAndComments();
    void focusedNameIsNotOverwritten();
    void propertiesFollowTheDialect_data();
    void propertiesFollowTheDialect();
    void governanceStoredWithoutRefresh();
    void addColumnNames_data();
    void addColumnNames();
    void removingATableColumnOnlyAsks();
    void removingAViewColumnRemovesTheRow();
    void editsWithoutABoxReachStoredDiagrams_data();
    void editsWithoutABoxReachStoredDiagrams();
};

namespace {

enum Cell { Name, Type, Length, Precision, Scale, Nullable, Default };

QList<DetailsPanelFixture::ColumnSpec> orderColumns()
{
    return {{u"code"_s, u"varchar(20)"_s}, {u"amount"_s, u"DECIMAL(10,2)"_s}};
}

// The view "totals" shown with its box of those rows.
EntityItem *showTotalsView(DetailsPanelFixture &f, const QList<DetailsPanelFixture::ColumnSpec> &rows)
{
    ViewItem *view = f.model->addView();
    view->setName(u"totals"_s);
    auto *box = new EntityItem(view->name(), QSizeF(120, 60));
    box->setKind(EntityKind::View);
    box->storedId = view->id();
    f.scene.addItem(box);
    for (const auto &row : rows)
        box->addAttributeRow(row.first, row.second, false, false, false, false);
    f.panel->setView(f.model, view, box);
    return box;
}

QStringList rowNames(const EntityItem *box)
{
    QStringList names;
    for (int row = 0; row < box->attributeCount(); ++row)
        names << box->attributeName(row);
    return names;
}

} // namespace

void tst_DetailsColumns::parseOptionalInt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");

    QTest::newRow("empty") << u""_s << true << -1;
    QTest::newRow("blanks") << u"   "_s << true << -1;
    QTest::newRow("padded") << u" 7 "_s << true << 7;
    QTest::newRow("zero") << u"0"_s << true << 0;
    QTest::newRow("plus sign") << u"+3"_s << true << 3;
    QTest::newRow("negative") << u"-5"_s << true << -1;
    QTest::newRow("int max") << u"2147483647"_s << true << 2147483647;
    QTest::newRow("int min") << u"-2147483648"_s << true << -1;
    QTest::newRow("past int max") << u"2147483648"_s << false << -1;
    QTest::newRow("far past") << u"99999999999"_s << false << -1;
    QTest::newRow("past int min") << u"-2147483649"_s << false << -1;
    QTest::newRow("letters") << u"abc"_s << false << -1;
    QTest::newRow("exponent") << u"1e3"_s << false << -1;
    QTest::newRow("full-width digits") << u"２０"_s << false << -1;
    QTest::newRow("hex") << u"0x10"_s << false << -1;
    QTest::newRow("sign alone") << u"-"_s << false << -1;
    QTest::newRow("inner blank") << u"1 2"_s << false << -1;
}

void tst_DetailsColumns::parseOptionalInt()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, value);
    bool ok = !valid;
    const int parsed = TableDetailsController::parseOptionalInt(text, &ok);
    QCOMPARE(ok, valid);
    if (valid)
        QCOMPARE(parsed, value);
}

void tst_DetailsColumns::parameterisedTypeSplitOnRefresh()
{
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, {{u"code"_s, u"text"_s}});
    ColumnItem *code = orders->columns().at(0);
    // As an older file may hold it: the parameter inside the stored type name.
    QJsonObject stored = code->toJson();
    stored["dataType"_L1] = u"varchar(20)"_s;
    stored["length"_L1] = -1;
    code->fromJson(stored);

    f.panel->setTable(f.model, orders, nullptr);
    QCOMPARE(f.cell(f.ui.tableViewColumns, 0, Type), u"varchar"_s);
    QCOMPARE(f.cell(f.ui.tableViewColumns, 0, Length), u"20"_s);
    QCOMPARE(code->dataType(), u"varchar"_s);
    QCOMPARE(code->length(), 20);
}

void tst_DetailsColumns::cellEdits_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("cell");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");

    const QString longName(10000, u'n');
    QTest::newRow("name trimmed") << 0 << int(Name) << u" id2 "_s << u"id2"_s << u"id2"_s;
    QTest::newRow("name empty") << 0 << int(Name) << u""_s << u"code"_s << u"code"_s;
    QTest::newRow("name blank") << 0 << int(Name) << u"   "_s << u"code"_s << u"code"_s;
    QTest::newRow("name very long") << 0 << int(Name) << longName << longName << longName;
    QTest::newRow("length letters") << 0 << int(Length) << u"abc"_s << u"20"_s << u"20"_s;
    QTest::newRow("length exponent") << 0 << int(Length) << u"1e3"_s << u"20"_s << u"20"_s;
    QTest::newRow("length too large") << 0 << int(Length) << u"99999999999"_s << u"20"_s << u"20"_s;
    QTest::newRow("length full-width") << 0 << int(Length) << u"２０"_s << u"20"_s << u"20"_s;
    QTest::newRow("length negative") << 0 << int(Length) << u"-5"_s << u"-1"_s << u""_s;
    QTest::newRow("length cleared") << 0 << int(Length) << u""_s << u"-1"_s << u""_s;
    QTest::newRow("length padded") << 0 << int(Length) << u" 7 "_s << u"7"_s << u"7"_s;
    QTest::newRow("precision") << 1 << int(Precision) << u"12"_s << u"12"_s << u"12"_s;
    QTest::newRow("precision letters") << 1 << int(Precision) << u"x"_s << u"10"_s << u"10"_s;
    QTest::newRow("scale negative") << 1 << int(Scale) << u"-1"_s << u"-1"_s << u""_s;
    QTest::newRow("scale signed") << 1 << int(Scale) << u"+3"_s << u"3"_s << u"3"_s;
}

void tst_DetailsColumns::cellEdits()
{
    QFETCH(int, row);
    QFETCH(int, cell);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, orderColumns());
    f.panel->setTable(f.model, orders, nullptr);
    ColumnItem *column = orders->columns().at(row);

    QVERIFY(f.edit(f.ui.tableViewColumns, row, cell, typed));
    f.settle();
    const QString value = cell == Name ? column->name()
        : cell == Length               ? QString::number(column->length())
        : cell == Precision            ? QString::number(column->precision())
                                       : QString::number(column->scale());
    QCOMPARE(value, stored);
    QCOMPARE(f.cell(f.ui.tableViewColumns, row, cell), shown);
}

void tst_DetailsColumns::typeTexts_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("dataType");
    QTest::addColumn<QString>("fullType");

    QTest::newRow("plain") << u" text "_s << u"text"_s << u"text(20)"_s;
    QTest::newRow("with parameters") << u"numeric(12, 3)"_s << u"numeric"_s << u"numeric(12,3)"_s;
    QTest::newRow("unclosed") << u"VARCHAR(40"_s << u"VARCHAR(40"_s << u"VARCHAR(40"_s;
    QTest::newRow("missing scale") << u"DECIMAL(10,)"_s << u"DECIMAL(10,)"_s << u"DECIMAL(10,)"_s;
    QTest::newRow("size too large") << u"VARCHAR(99999999999)"_s << u"VARCHAR(99999999999)"_s
                                    << u"VARCHAR(99999999999)"_s;
}

void tst_DetailsColumns::typeTexts()
{
    QFETCH(QString, typed);
    QFETCH(QString, dataType);
    QFETCH(QString, fullType);
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, orderColumns());
    f.panel->setTable(f.model, orders, nullptr);

    QVERIFY(f.edit(f.ui.tableViewColumns, 0, Type, typed));
    f.settle();
    ColumnItem *code = orders->columns().at(0);
    QCOMPARE(code->dataType(), dataType);
    QCOMPARE(code->fullTypeName(), fullType);
    QCOMPARE(f.cell(f.ui.tableViewColumns, 0, Type), dataType);
}

void tst_DetailsColumns::nullableChangesOnlyTheModel()
{
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, orderColumns());
    EntityItem *box = f.addBox(orders);
    f.panel->setTable(f.model, orders, box);
    QSignalSpy resets(f.columns(), &QAbstractItemModel::modelReset);
    QSignalSpy structure(box, &EntityItem::structureChanged);
    QSignalSpy edited(box, &EntityItem::attributeEdited);

    QVERIFY(f.edit(f.ui.tableViewColumns, 1, Nullable, Qt::Unchecked, Qt::CheckStateRole));
    QVERIFY(f.edit(f.ui.tableViewColumns, 1, Default, u"0"_s));
    f.settle();
    QVERIFY(!orders->columns().at(1)->isNullable());
    QCOMPARE(orders->columns().at(1)->defaultValue(), u"0"_s);
    QCOMPARE(resets.count(), 0);
    QCOMPARE(structure.count() + edited.count(), 0);
}

void tst_DetailsColumns::boxFollowsTypeAndSizeEdits()
{
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, orderColumns());
    EntityItem *box = f.addBox(orders);
    f.panel->setTable(f.model, orders, nullptr);

    QVERIFY(f.edit(f.ui.tableViewColumns, 0, Length, u"40"_s));
    QCOMPARE(box->attributeType(0), u"varchar(40)"_s);
    QVERIFY(f.edit(f.ui.tableViewColumns, 1, Type, u"numeric"_s));
    QCOMPARE(box->attributeType(1), u"numeric(10,2)"_s);
    QVERIFY(f.edit(f.ui.tableViewColumns, 1, Scale, u""_s));
    QCOMPARE(box->attributeType(1), u"numeric(10)"_s);
    f.settle();
    QCOMPARE(f.cell(f.ui.tableViewColumns, 1, Precision), u"10"_s);
    QVERIFY(f.cell(f.ui.tableViewColumns, 1, Scale).isEmpty());
}

void tst_DetailsColumns::columnRenameWithABoxGoesThroughTheBox()
{
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, orderColumns());
    EntityItem *box = f.addBox(orders);
    f.panel->setTable(f.model, orders, nullptr);
    QSignalSpy edited(box, &EntityItem::attributeEdited);

    QVERIFY(f.edit(f.ui.tableViewColumns, 0, Name, u"amount"_s));
    QCOMPARE(edited.count(), 1);
    QCOMPARE(box->attributeName(0), u"amount_2"_s);
    QCOMPARE(edited.at(0).at(2).toString(), u"amount_2"_s);
    // The window renames the column after the box.
    QCOMPARE(orders->columns().at(0)->name(), u"code"_s);
}

void tst_DetailsColumns::viewTypeWithParametersWinsOverSizes()
{
    DetailsPanelFixture f;
    EntityItem *box = showTotalsView(f, {{u"amount"_s, u"int"_s}, {u"label"_s, u"varchar(30)"_s}});
    QCOMPARE(f.cell(f.ui.tableViewColumns, 1, Type), u"varchar"_s);
    QCOMPARE(f.cell(f.ui.tableViewColumns, 1, Length), u"30"_s);
    QVERIFY(!(f.columns()->item(0, Default)->flags() & Qt::ItemIsEditable));

    QVERIFY(f.edit(f.ui.tableViewColumns, 0, Length, u"abc"_s));
    QCOMPARE(box->attributeType(0), u"int"_s);
    QVERIFY(f.edit(f.ui.tableViewColumns, 0, Type, u"DECIMAL(10,2)"_s));
    QCOMPARE(box->attributeType(0), formatDataType(u"DECIMAL"_s, -1, 10, 2));
    f.settle();
    QVERIFY(f.edit(f.ui.tableViewColumns, 1, Length, u"64"_s));
    QCOMPARE(box->attributeType(1), u"varchar(64)"_s);
    QVERIFY(f.edit(f.ui.tableViewColumns, 1, Name, u"caption"_s));
    QCOMPARE(box->attributeName(1), u"caption"_s);
    f.settle();
    QCOMPARE(f.cell(f.ui.tableViewColumns, 1, Name), u"caption"_s);
}

void tst_DetailsColumns::tableAndViewRenamesAreHandedOn()
{
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, orderColumns());
    f.panel->setTable(f.model, orders, nullptr);
    QSignalSpy renames(f.panel.get(), &TableDetailsController::objectRenameRequested);

    f.ui.lineEditTable->setText(u" purchases "_s);
    emit f.ui.lineEditTable->editingFinished();
    QCOMPARE(renames.count(), 1);
    QCOMPARE(renames.at(0), (QVariantList{u"table"_s, orders->id(), u"purchases"_s}));
    QCOMPARE(orders->name(), u"orders"_s);

    f.ui.lineEditTable->setText(u"orders"_s);
    emit f.ui.lineEditTable->editingFinished();
    f.ui.lineEditTable->setText(u"   "_s);
    emit f.ui.lineEditTable->editingFinished();
    QCOMPARE(renames.count(), 1);
    QCOMPARE(f.ui.lineEditTable->text(), u"orders"_s);

    ViewItem *view = f.model->addView();
    view->setName(u"recent"_s);
    f.panel->setView(f.model, view, nullptr);
    f.ui.lineEditTable->setText(u"latest"_s);
    emit f.ui.lineEditTable->editingFinished();
    QCOMPARE(renames.count(), 2);
    QCOMPARE(renames.at(1), (QVariantList{u"view"_s, view->id(), u"latest"_s}));
}

void tst_DetailsColumns::generalEditsAndComments()
{
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, orderColumns());
    orders->columns().at(1)->setComment(u"gross"_s);
    f.panel->setTable(f.model, orders, nullptr);
    QVERIFY(f.ui.plainTextEdit->toPlainText().isEmpty());
    QVERIFY(f.ui.plainTextEdit->isEnabled());

    f.ui.tableViewColumns->setCurrentIndex(f.columns()->index(1, 0));
    QCOMPARE(f.ui.plainTextEdit->toPlainText(), u"gross"_s);
    f.ui.plainTextEdit->setPlainText(u"net of tax"_s);
    QCOMPARE(orders->columns().at(1)->comment(), u"net of tax"_s);

    f.ui.lineEditSchema->setText(u"sales"_s);
    emit f.ui.lineEditSchema->editingFinished();
    QCOMPARE(orders->schema(), u"sales"_s);
    f.ui.plainTextEditTableComments->setPlainText(u"one row per order\nsecond line"_s);
    QCOMPARE(orders->comment(), u"one row per order\nsecond line"_s);
    f.settle();
    QCOMPARE(f.currentRow(f.ui.tableViewColumns), 1);
    QCOMPARE(f.ui.plainTextEdit->toPlainText(), u"net of tax"_s);

    ViewItem *view = f.model->addView();
    f.panel->setView(f.model, view, nullptr);
    QVERIFY(f.ui.plainTextEditTableComments->toPlainText().isEmpty());
    QVERIFY(!f.ui.plainTextEdit->isEnabled());
    f.ui.lineEditSchema->setText(u"reporting"_s);
    emit f.ui.lineEditSchema->editingFinished();
    f.ui.plainTextEditTableComments->setPlainText(u"latest orders"_s);
    QCOMPARE(view->schema(), u"reporting"_s);
    QCOMPARE(view->comment(), u"latest orders"_s);
}

void tst_DetailsColumns::focusedNameIsNotOverwritten()
{
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, orderColumns());
    f.panel->setTable(f.model, orders, nullptr);
    f.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    f.ui.lineEditTable->setFocus();
    QVERIFY(f.ui.lineEditTable->hasFocus());
    f.ui.lineEditTable->setText(u"half typed"_s);
    orders->setSchema(u"sales"_s);

    f.panel->refresh();
    QCOMPARE(f.ui.lineEditTable->text(), u"half typed"_s);
    QCOMPARE(f.ui.lineEditSchema->text(), u"sales"_s);
}

void tst_DetailsColumns::propertiesFollowTheDialect_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::newRow("PostgreSQL") << u"PostgreSQL"_s;
    QTest::newRow("alias") << u"postgres"_s;
    QTest::newRow("Conceptual ER") << u"Conceptual ER"_s;
    QTest::newRow("DuckDB") << u"DuckDB"_s;
    QTest::newRow("unknown") << u"Nonesuch"_s;
    QTest::newRow("none, default unknown") << u""_s;
}

void tst_DetailsColumns::propertiesFollowTheDialect()
{
    QFETCH(QString, dialect);
    DetailsPanelFixture f;
    f.model->setDialect(dialect);
    f.panel->setDefaultDialect(QString());
    TableItem *orders = f.addTable(u"orders"_s, orderColumns());
    orders->setProperty(u"tablespace"_s, u"fast"_s);
    orders->setProperty(u"engine"_s, u"InnoDB"_s);
    f.panel->setTable(f.model, orders, nullptr);
    QStandardItemModel *properties = f.itemModel(f.ui.tableViewPhysical);
    QCOMPARE(properties->columnCount(), 2);
    QCOMPARE(properties->headerData(1, Qt::Horizontal).toString(), u"Value"_s);

    const QList<TablePhysicalOption> options = dialectPhysicalOptions(dialect);
    QCOMPARE(properties->rowCount(), options.size());
    for (int row = 0; row < options.size(); ++row) {
        QCOMPARE(f.cell(f.ui.tableViewPhysical, row, 0), options.at(row).second);
        QCOMPARE(f.cell(f.ui.tableViewPhysical, row, 1), orders->property(options.at(row).first));
    }
    if (!options.isEmpty()) {
        QCOMPARE(f.cell(f.ui.tableViewPhysical, 0, 0), u"Tablespace"_s);
        QCOMPARE(f.cell(f.ui.tableViewPhysical, 0, 1), u"fast"_s);
        QVERIFY(f.edit(f.ui.tableViewPhysical, 1, 1, u"70"_s));
        QVERIFY(f.edit(f.ui.tableViewPhysical, 0, 1, u""_s));
        QCOMPARE(orders->property(u"fillfactor"_s), u"70"_s);
        QVERIFY(orders->properties().contains("tablespace"_L1));
        QVERIFY(orders->property(u"tablespace"_s).isEmpty());
    }
    QCOMPARE(orders->property(u"engine"_s), u"InnoDB"_s);
}

void tst_DetailsColumns::governanceStoredWithoutRefresh()
{
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, orderColumns());
    orders->columns().at(1)->setPersonal(true);
    f.panel->setTable(f.model, orders, nullptr);
    const QAbstractItemView *governance = f.ui.tableView;
    QCOMPARE(f.itemModel(governance)->rowCount(), 2);
    QCOMPARE(f.cell(governance, 1, 0), u"amount"_s);
    QCOMPARE(f.itemModel(governance)->item(1, 1)->checkState(), Qt::Checked);
    QVERIFY(!(f.itemModel(governance)->item(0, 0)->flags() & Qt::ItemIsEditable));
    QSignalSpy resets(f.itemModel(governance), &QAbstractItemModel::modelReset);

    QVERIFY(f.edit(governance, 0, 1, Qt::Checked, Qt::CheckStateRole));
    QVERIFY(f.edit(governance, 0, 2, Qt::Checked, Qt::CheckStateRole));
    QVERIFY(f.edit(governance, 1, 1, Qt::Unchecked, Qt::CheckStateRole));
    QVERIFY(f.edit(governance, 1, 3, u"Confidential"_s));
    f.settle();
    const ColumnItem *code = orders->columns().at(0);
    const ColumnItem *amount = orders->columns().at(1);
    QVERIFY(code->isPersonal() && code->isSensible());
    QVERIFY(!amount->isPersonal() && !amount->isSensible());
    QCOMPARE(amount->classification(), u"Confidential"_s);
    QCOMPARE(resets.count(), 0);
}

void tst_DetailsColumns::addColumnNames_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<bool>("withBox");
    QTest::addColumn<QString>("added");

    QTest::newRow("two columns") << QStringList{u"id"_s, u"name"_s} << false << u"column_3"_s;
    QTest::newRow("next one taken in another case")
        << QStringList{u"id"_s, u"name"_s, u"COLUMN_3"_s} << false << u"column_4"_s;
    QTest::newRow("empty table") << QStringList{} << false << u"column_1"_s;
    QTest::newRow("with a box") << QStringList{u"id"_s, u"name"_s} << true << u"column_3"_s;
}

void tst_DetailsColumns::addColumnNames()
{
    QFETCH(QStringList, existing);
    QFETCH(bool, withBox);
    QFETCH(QString, added);
    DetailsPanelFixture f;
    QList<DetailsPanelFixture::ColumnSpec> specs;
    for (const QString &name : existing)
        specs.append({name, u"int"_s});
    TableItem *orders = f.addTable(u"orders"_s, specs);
    EntityItem *box = withBox ? f.addBox(orders) : nullptr;
    f.panel->setTable(f.model, orders, nullptr);
    QVERIFY(f.ui.toolButtonAddTableColumn->isEnabled());

    f.ui.toolButtonAddTableColumn->click();
    QCOMPARE(orders->columns().size(), existing.size() + 1);
    const ColumnItem *column = orders->columns().constLast();
    QCOMPARE(column->name(), added);
    QCOMPARE(column->dataType(), u"undefined"_s);
    QCOMPARE(TableDetailsController::currentRowId(f.ui.tableViewColumns), column->id());
    if (box) {
        QCOMPARE(box->attributeCount(), existing.size() + 1);
        QCOMPARE(box->attributeName(box->attributeCount() - 1), added);
        QCOMPARE(box->attributeType(box->attributeCount() - 1), u"undefined"_s);
    }
    QCOMPARE(f.prompts.unexpected, 0);
}

void tst_DetailsColumns::removingATableColumnOnlyAsks()
{
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, orderColumns());
    f.addBox(orders);
    f.panel->setTable(f.model, orders, nullptr);
    QSignalSpy requested(f.panel.get(), &TableDetailsController::columnRemovalRequested);
    QSignalSpy removed(f.panel.get(), &TableDetailsController::columnRemoved);

    f.ui.tableViewColumns->setCurrentIndex(f.columns()->index(1, 0));
    f.ui.toolButtonRemoveTableColumn->click();
    QCOMPARE(requested.count(), 1);
    QCOMPARE(requested.at(0).at(0).toString(), orders->columns().at(1)->id());
    QCOMPARE(removed.count(), 0);
    QCOMPARE(orders->columns().size(), 2);
    QCOMPARE(f.findBox(orders->id())->attributeCount(), 2);
}

void tst_DetailsColumns::removingAViewColumnRemovesTheRow()
{
    DetailsPanelFixture f;
    EntityItem *box = showTotalsView(f, {{u"amount"_s, u"int"_s}, {u"label"_s, u"text"_s}});
    f.ui.toolButtonAddTableColumn->click();
    QCOMPARE(rowNames(box), (QStringList{u"amount"_s, u"label"_s, u"column_3"_s}));
    QCOMPARE(f.currentRow(f.ui.tableViewColumns), 2);

    f.ui.tableViewColumns->setCurrentIndex(f.columns()->index(1, 0));
    f.ui.toolButtonRemoveTableColumn->click();
    QCOMPARE(rowNames(box), (QStringList{u"amount"_s, u"column_3"_s}));
    QCOMPARE(f.columns()->rowCount(), 2);
}

void tst_DetailsColumns::editsWithoutABoxReachStoredDiagrams_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<bool>("amountHidden");
    QTest::addColumn<QStringList>("attributes"); // name:type of the stored box afterwards

    QTest::newRow("add") << u"add"_s << false
                         << QStringList{u"code:varchar(20)"_s, u"amount:DECIMAL(10,2)"_s, u"column_3:undefined"_s};
    QTest::newRow("rename") << u"rename"_s << false << QStringList{u"sku:varchar(20)"_s, u"amount:DECIMAL(10,2)"_s};
    QTest::newRow("type") << u"type"_s << false << QStringList{u"code:text(20)"_s, u"amount:DECIMAL(10,2)"_s};
    QTest::newRow("length") << u"length"_s << false << QStringList{u"code:varchar(40)"_s, u"amount:DECIMAL(10,2)"_s};
    QTest::newRow("add where a column is hidden")
        << u"add"_s << true << QStringList{u"code:varchar(20)"_s, u"column_3:undefined"_s};
    QTest::newRow("rename of a hidden column") << u"rename amount"_s << true << QStringList{u"code:varchar(20)"_s};
}

void tst_DetailsColumns::editsWithoutABoxReachStoredDiagrams()
{
    QFETCH(QString, edit);
    QFETCH(bool, amountHidden);
    QFETCH(QStringList, attributes);
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, orderColumns());
    TableItem *other = f.addTable(u"customers"_s, {{u"id"_s, u"int"_s}});
    const QString codeId = orders->columns().at(0)->id();
    const QString amountId = orders->columns().at(1)->id();
    auto attribute = [](const QString &id, const QString &name, const QString &type) {
        return QJsonObject{{"columnId"_L1, id}, {"name"_L1, name}, {"type"_L1, type},
                           {"isPrimaryKey"_L1, false}, {"isUniqueKey"_L1, false}, {"isForeignKey"_L1, false}};
    };
    QJsonArray storedRows{attribute(codeId, u"code"_s, u"varchar(20)"_s)};
    QJsonObject tableBox{{"id"_L1, orders->id()}, {"title"_L1, u"orders"_s}, {"x"_L1, 40}};
    if (amountHidden)
        tableBox.insert("hiddenColumns"_L1, QJsonArray{amountId});
    else
        storedRows.append(attribute(amountId, u"amount"_s, u"DECIMAL(10,2)"_s));
    tableBox.insert("attributes"_L1, storedRows);
    const auto document = [](const QJsonValue &entities) {
        return QJsonObject{{"version"_L1, u"1.0"_s}, {"type"_L1, u"er-diagram"_s}, {"entities"_L1, entities}};
    };
    QList<DiagramItem *> diagrams;
    for (const QJsonValue &entities :
         {QJsonValue(QJsonArray{tableBox}),
          QJsonValue(QJsonArray{QJsonObject{{"id"_L1, orders->id()}, {"kind"_L1, u"entity-view"_s},
                                            {"attributes"_L1, QJsonArray{attribute(codeId, u"code"_s, u"x"_s)}}}}),
          QJsonValue(QJsonArray{QJsonObject{{"id"_L1, other->id()}, {"attributes"_L1, QJsonArray{}}}}),
          QJsonValue(u"broken"_s)}) {
        DiagramItem *diagram = f.model->addDiagram();
        diagram->setSceneJson(document(entities));
        diagrams << diagram;
    }
    QList<QByteArray> before;
    for (const DiagramItem *diagram : diagrams)
        before << QJsonDocument(diagram->sceneJson()).toJson();
    // The open diagram shows another table only.
    f.addBox(other);
    f.panel->setTable(f.model, orders, nullptr);

    if (edit == "add"_L1)
        f.panel->addColumn();
    else if (edit == "rename"_L1)
        f.edit(f.ui.tableViewColumns, 0, Name, u"sku"_s);
    else if (edit == "rename amount"_L1)
        f.edit(f.ui.tableViewColumns, 1, Name, u"total"_s);
    else if (edit == "type"_L1)
        f.edit(f.ui.tableViewColumns, 0, Type, u"text"_s);
    else
        f.edit(f.ui.tableViewColumns, 0, Length, u"40"_s);
    f.settle();

    const QJsonObject box = diagrams.at(0)->sceneJson()["entities"_L1].toArray().at(0).toObject();
    QStringList actual;
    const QJsonArray rows = box["attributes"_L1].toArray();
    for (int i = 0; i < rows.size(); ++i) {
        const QJsonObject row = rows.at(i).toObject();
        actual << row["name"_L1].toString() + u':' + row["type"_L1].toString();
        QCOMPARE(row["columnId"_L1].toString(), orders->columns().at(i + (amountHidden && i > 0 ? 1 : 0))->id());
    }
    QCOMPARE(actual, attributes);
    QCOMPARE(box["x"_L1].toInt(), 40);
    QCOMPARE(box["hiddenColumns"_L1].toArray(), amountHidden ? QJsonArray{amountId} : QJsonArray());
    for (int i = 1; i < diagrams.size(); ++i)
        QCOMPARE(QJsonDocument(diagrams.at(i)->sceneJson()).toJson(), before.at(i));
    QCOMPARE(orders->columns().size(), edit == "add"_L1 ? 3 : 2);
}

QTEST_MAIN(tst_DetailsColumns)
#include "tst_detailscolumns.moc"
