#pragma once

#include <QSet>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QStyledItemDelegate>

// The model explorer's item model, filter proxy and delegate. The explorer's display,
// drag, filter and editor behaviour is added to these classes by the explorer work.
class ProjectTreeModel : public QStandardItemModel
{
    Q_OBJECT

public:
    explicit ProjectTreeModel(QObject *parent = nullptr);
};

class ExplorerFilterProxy : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit ExplorerFilterProxy(QObject *parent = nullptr);

    QString searchText() const { return m_searchText; }
    void setSearchText(const QString &text) { m_searchText = text; }
    QSet<QString> hiddenKinds() const { return m_hiddenKinds; }
    void setHiddenKinds(const QSet<QString> &kinds) { m_hiddenKinds = kinds; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    QString m_searchText;
    QSet<QString> m_hiddenKinds;
};

class ProjectTreeItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit ProjectTreeItemDelegate(QObject *parent = nullptr);
};
