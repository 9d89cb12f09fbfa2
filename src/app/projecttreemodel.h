#pragma once

#include <QSet>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QStyledItemDelegate>

// The model explorer's item model: model rows show their dialect, only table and view rows
// can be dragged, and a drag carries their kinds and ids.
class ProjectTreeModel : public QStandardItemModel
{
    Q_OBJECT

public:
    explicit ProjectTreeModel(QObject *parent = nullptr);

    static const QString MimeType;

    // Bold for the current model and diagram. Writes the row's font only when its
    // boldness changes, so other rows report no change.
    static void setRowBold(QStandardItem *item, bool bold);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
};

// Narrows the explorer to the kinds not hidden and, while a search is set, to the leaves
// whose shown text contains it. Each setter re-runs the filter only when its value changes.
class ExplorerFilterProxy : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit ExplorerFilterProxy(QObject *parent = nullptr);

    QString searchText() const { return m_searchText; }
    bool setSearchText(const QString &text);
    QSet<QString> hiddenKinds() const { return m_hiddenKinds; }
    bool setHiddenKinds(const QSet<QString> &kinds);
    // How often the filter was re-run by the setters.
    int refilterCount() const { return m_refilterCount; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    void refilter();

    QString m_searchText;
    QSet<QString> m_hiddenKinds;
    int m_refilterCount = 0;
};

// Explorer rows are at least 24 pixels high; the name editor fills the row but its border.
class ProjectTreeItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit ProjectTreeItemDelegate(QObject *parent = nullptr);

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
};
