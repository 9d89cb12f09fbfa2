// The Indexes tab of the table details panel.
#include "tabledetailscontroller.h"

#include "columnitem.h"
#include "generatednames.h"
#include "indexitem.h"
#include "itemnames.h"
#include "tableitem.h"

#include "ui_MainWindow.h"

#include <QScopeGuard>
#include <QStandardItemModel>

namespace {

enum IndexCell { NameCell, TypeCell };

const QString uniqueLabel = QStringLiteral("Unique");

} // namespace

QStringList TableDetailsController::indexTypeLabels()
{
    return {uniqueLabel, QStringLiteral("Non-unique")};
}

void TableDetailsController::populateIndexes()
{
    m_indexesModel->clear();
    m_indexesModel->setHorizontalHeaderLabels({tr("Name"), tr("Type")});
    if (!m_table)
        return;
    for (const IndexItem *index : m_table->indexes()) {
        if (!index)
            continue;
        QStandardItem *name = makeTextItem(index->name(), true);
        name->setData(index->id(), IdRole);
        m_indexesModel->appendRow({name, makeTextItem(indexTypeLabels().at(index->isUnique() ? 0 : 1), true)});
    }
}

void TableDetailsController::populateIndexColumns()
{
    m_indexColumnsModel->clear();
    m_indexColumnsModel->setHorizontalHeaderLabels({tr("Column")});
    const IndexItem *index = selectedIndex();
    if (!index)
        return;
    const QScopeGuard fit([this] {
        if (!m_refreshing)
            fitColumnsToContents(m_ui->tableViewIndColumns);
    });
    for (const QString &columnId : index->columns()) {
        const ColumnItem *column = m_table->column(columnId);
        QStandardItem *item = makeTextItem(column ? column->name() : QString(), true);
        item->setData(index->id(), IdRole);
        item->setData(columnId, ColumnIdRole);
        m_indexColumnsModel->appendRow(item);
    }
}

void TableDetailsController::addIndex()
{
    if (!m_table || m_busy || m_refreshing)
        return;
    const QStringList taken = namesOf(m_table->indexes());
    IndexItem *index = m_table->addIndex();
    index->setName(uniqueGeneratedName(QStringLiteral("ix_") + m_table->name(), taken));
    const QString first = firstUnusedColumnId(m_table, {});
    if (!first.isEmpty())
        index->setColumns({first});
    m_pendingIndexId = index->id();
    refresh();
}

void TableDetailsController::removeIndex()
{
    if (!m_table || m_busy || m_refreshing)
        return;
    if (const IndexItem *index = selectedIndex()) {
        m_table->removeIndex(index->id());
        refresh();
    }
}

void TableDetailsController::addIndexColumn()
{
    if (!m_table || m_busy || m_refreshing)
        return;
    IndexItem *index = selectedIndex();
    const QString next = index ? firstUnusedColumnId(m_table, index->columns()) : QString();
    if (next.isEmpty())
        return;
    index->setColumns(index->columns() << next);
    m_pendingIndexId = index->id();
    refresh();
}

void TableDetailsController::removeIndexColumn()
{
    if (!m_table || m_busy || m_refreshing || !m_ui || !m_ui->tableViewIndColumns)
        return;
    IndexItem *index = selectedIndex();
    const int row = m_ui->tableViewIndColumns->currentIndex().row();
    if (!index || row < 0 || row >= index->columns().size())
        return;
    QStringList columns = index->columns();
    columns.removeAt(row);
    index->setColumns(columns);
    m_pendingIndexId = index->id();
    refresh();
}

void TableDetailsController::onIndexItemChanged(QStandardItem *item)
{
    if (m_busy || !m_table || !item)
        return;
    IndexItem *index = m_table->index(rowId(m_indexesModel, item->row()));
    if (!index)
        return;
    if (item->column() == NameCell)
        index->setName(item->text().trimmed());
    else if (item->column() == TypeCell)
        index->setUnique(item->text() == uniqueLabel);
}

void TableDetailsController::onIndexColumnItemChanged(QStandardItem *item)
{
    if (m_busy || !m_table || !item)
        return;
    IndexItem *index = m_table->index(item->data(IdRole).toString());
    const ColumnItem *column = m_table->columnMatching(item->text().trimmed());
    if (!index || !column) {
        scheduleRefresh();
        return;
    }
    QStringList columns = index->columns();
    const int row = item->row();
    if (row >= columns.size() || columns.at(row) == column->id())
        return;
    if (columns.contains(column->id())) {
        scheduleRefresh(); // a column occurs once per index
        return;
    }
    columns[row] = column->id();
    index->setColumns(columns);
}
