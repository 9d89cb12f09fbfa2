#include "projecttreemodel.h"

ProjectTreeModel::ProjectTreeModel(QObject *parent)
    : QStandardItemModel(parent)
{
}

ExplorerFilterProxy::ExplorerFilterProxy(QObject *parent)
    : QSortFilterProxyModel(parent)
{
}

bool ExplorerFilterProxy::filterAcceptsRow(int, const QModelIndex &) const
{
    return true;
}

ProjectTreeItemDelegate::ProjectTreeItemDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}
