// The Columns tab of the table details panel: a table's columns or a view box's rows,
// the current column's comment, and the add and remove column buttons.
#include "tabledetailscontroller.h"

#include "columnitem.h"
#include "dialectcatalog.h"
#include "entityitem.h"
#include "flagguard.h"
#include "itemnames.h"
#include "modelitem.h"
#include "storeddiagramcolumns.h"
#include "tableitem.h"
#include "viewitem.h"

#include "ui_MainWindow.h"

#include <QStandardItemModel>

namespace {

enum ColumnCell { NameCell, TypeCell, LengthCell, PrecisionCell, ScaleCell, NullableCell, DefaultCell };

const QString undefinedType = QStringLiteral("undefined");

QString sizeText(int value)
{
    return value < 0 ? QString() : QString::number(value);
}

} // namespace

void TableDetailsController::populateColumns()
{
    m_columnsModel->clear();
    m_columnsModel->setHorizontalHeaderLabels(
        {tr("Name"), tr("Type"), tr("Length"), tr("Precision"), tr("Scale"), tr("Nullable"), tr("Default")});
    if (m_table) {
        for (ColumnItem *column : m_table->columns()) {
            if (column)
                appendTableColumnRow(column);
        }
    } else if (m_view) {
        if (const EntityItem *entity = shownEntity()) {
            for (int row = 0; row < entity->attributeCount(); ++row)
                appendViewAttributeRow(entity, row);
        }
    }
}

void TableDetailsController::appendTableColumnRow(ColumnItem *column)
{
    // A type stored with its parameters ("varchar(20)") keeps them in the size fields.
    if (parseDataType(column->dataType()).hasParameters)
        column->setDataType(column->dataType());
    QStandardItem *name = makeTextItem(column->name(), true);
    name->setData(column->id(), IdRole);
    m_columnsModel->appendRow({name, makeTextItem(column->dataType(), true),
                               makeTextItem(sizeText(column->length()), true),
                               makeTextItem(sizeText(column->precision()), true),
                               makeTextItem(sizeText(column->scale()), true), makeCheckItem(column->isNullable()),
                               makeTextItem(column->defaultValue(), true)});
}

void TableDetailsController::appendViewAttributeRow(const EntityItem *entity, int row)
{
    const QString attributeName = entity->attributeName(row);
    const ParsedDataType type = parseDataType(entity->attributeType(row));
    QStandardItem *name = makeTextItem(attributeName, true);
    name->setData(attributeName, IdRole);
    m_columnsModel->appendRow({name, makeTextItem(type.type, true), makeTextItem(sizeText(type.length), true),
                               makeTextItem(sizeText(type.precision), true), makeTextItem(sizeText(type.scale), true),
                               makeTextItem(QString(), false), makeTextItem(QString(), false)});
}

void TableDetailsController::updateColumnComment()
{
    QPlainTextEdit *edit = m_ui ? m_ui->plainTextEdit : nullptr;
    if (!edit || edit->hasFocus())
        return;
    const ColumnItem *column = m_table ? m_table->column(currentRowId(m_ui->tableViewColumns)) : nullptr;
    setPlainTextQuietly(edit, column ? column->comment() : QString());
    edit->setEnabled(column != nullptr);
}

void TableDetailsController::onColumnCommentChanged()
{
    if (m_busy || !m_table || !m_ui->plainTextEdit)
        return;
    if (ColumnItem *column = m_table->column(currentRowId(m_ui->tableViewColumns)))
        column->setComment(m_ui->plainTextEdit->toPlainText());
}

void TableDetailsController::onColumnItemChanged(QStandardItem *item)
{
    if (m_busy || !item)
        return;
    if (m_view) {
        editViewAttribute(item);
        return;
    }
    if (!m_table)
        return;
    if (ColumnItem *column = m_table->column(rowId(m_columnsModel, item->row())))
        editTableColumn(item, column);
}

void TableDetailsController::editTableColumn(QStandardItem *item, ColumnItem *column)
{
    switch (item->column()) {
    case NameCell:
        renameColumn(column, item->text());
        return;
    case TypeCell:
        column->setDataType(item->text().trimmed());
        if (!pushColumnType(column))
            spreadToStoredBoxes();
        scheduleRefresh();
        return;
    case LengthCell:
    case PrecisionCell:
    case ScaleCell: {
        bool valid = false;
        const int value = parseOptionalInt(item->text(), &valid);
        if (valid) {
            if (item->column() == LengthCell)
                column->setLength(value);
            else if (item->column() == PrecisionCell)
                column->setPrecision(value);
            else
                column->setScale(value);
            if (!pushColumnType(column))
                spreadToStoredBoxes();
        }
        // An entry that is no size gets the stored value back.
        scheduleRefresh();
        return;
    }
    case NullableCell:
        column->setNullable(item->checkState() == Qt::Checked);
        return;
    case DefaultCell:
        column->setDefaultValue(item->text());
        return;
    default:
        return;
    }
}

void TableDetailsController::editViewAttribute(QStandardItem *item)
{
    EntityItem *entity = shownEntity();
    const int row = findAttributeRow(entity, rowId(m_columnsModel, item->row()));
    if (row < 0)
        return;
    const int cell = item->column();
    if (cell == NameCell) {
        {
            const FlagGuard busy(m_busy);
            entity->renameAttribute(row, item->text());
        }
        scheduleRefresh();
        return;
    }
    if (cell < TypeCell || cell > ScaleCell)
        return;

    const int r = item->row();
    bool sizesValid = true;
    int sizes[3];
    for (int i = 0; i < 3; ++i) {
        bool valid = false;
        sizes[i] = parseOptionalInt(cellText(m_columnsModel, r, LengthCell + i), &valid);
        sizesValid = sizesValid && valid;
    }
    QString base = cellText(m_columnsModel, r, TypeCell).trimmed();
    // Parameters typed into the type win over the size cells.
    const ParsedDataType typed = parseDataType(base);
    if (typed.hasParameters) {
        base = typed.type;
        sizes[0] = typed.length;
        sizes[1] = typed.precision;
        sizes[2] = typed.scale;
    }
    if (sizesValid || typed.hasParameters) {
        const FlagGuard busy(m_busy);
        entity->setAttributeType(row, formatDataType(base, sizes[0], sizes[1], sizes[2]));
    }
    scheduleRefresh();
}

void TableDetailsController::renameColumn(ColumnItem *column, const QString &text)
{
    const QString name = text.trimmed();
    if (name.isEmpty() || name == column->name()) {
        scheduleRefresh();
        return;
    }
    auto *owner = qobject_cast<TableItem *>(column->parent());
    EntityItem *entity = owner ? entityForTable(owner->id()) : nullptr;
    const int row = findAttributeRow(entity, column->name());
    if (row >= 0) {
        // The box makes the name unique among its rows and reports the edit; the window
        // renames the column after it.
        const FlagGuard busy(m_busy);
        entity->renameAttribute(row, name);
    } else {
        column->setName(name);
        spreadToStoredBoxes();
    }
    scheduleRefresh();
}

bool TableDetailsController::pushColumnType(ColumnItem *column)
{
    EntityItem *entity = m_table ? entityForTable(m_table->id()) : nullptr;
    const int row = findAttributeRow(entity, column->name());
    if (row < 0)
        return false;
    const QString type = column->fullTypeName();
    if (entity->attributeType(row) != type) {
        const FlagGuard busy(m_busy);
        entity->setAttributeType(row, type);
    }
    return true;
}

void TableDetailsController::spreadToStoredBoxes(const QSet<QString> &newColumnIds)
{
    // Where no box on the open diagram shows the column, nothing tells the window of the
    // edit; the stored boxes of the other diagrams would otherwise undo it (their rows are
    // matched to columns by name) the next time one of them is opened.
    if (m_model && m_table)
        spreadTableColumnsToStoredDiagrams(m_model, m_table, newColumnIds, QString());
}

QStringList TableDetailsController::existingColumnNames(const EntityItem *entity) const
{
    if (m_table)
        return namesOf(m_table->columns());
    QStringList names;
    for (int row = 0; entity && row < entity->attributeCount(); ++row)
        names.append(entity->attributeName(row));
    return names;
}

void TableDetailsController::addColumn()
{
    if (m_busy || m_refreshing)
        return;
    EntityItem *entity = m_table ? entityForTable(m_table->id()) : shownEntity();
    if (!m_table && !(m_view && entity))
        return;
    const QStringList names = existingColumnNames(entity);
    int n = int(names.size()) + 1;
    while (names.contains(QStringLiteral("column_%1").arg(n), Qt::CaseInsensitive))
        ++n;
    const QString name = QStringLiteral("column_%1").arg(n);

    ColumnItem *column = nullptr;
    if (m_table) {
        column = m_table->addColumn();
        column->setName(name);
        column->setDataType(undefinedType);
        m_pendingColumnId = column->id();
    } else {
        m_pendingColumnId = name;
    }
    if (entity) {
        const FlagGuard busy(m_busy);
        entity->addAttributeRow(name, undefinedType, false, false, false, false);
    } else {
        spreadToStoredBoxes({column->id()});
    }
    refresh();
}

void TableDetailsController::removeColumn()
{
    if (m_busy || m_refreshing || !m_ui)
        return;
    const QString key = currentRowId(m_ui->tableViewColumns);
    if (key.isEmpty())
        return;
    if (m_table) {
        // The window asks the user how to remove it and cleans up every reference.
        if (const ColumnItem *column = m_table->column(key))
            emit columnRemovalRequested(column->id());
        return;
    }
    EntityItem *entity = m_view ? shownEntity() : nullptr;
    const int row = findAttributeRow(entity, key);
    if (row < 0)
        return;
    {
        const FlagGuard busy(m_busy);
        entity->removeAttributeByName(entity->attributeName(row));
    }
    refresh();
}
