#include "projecttreemodel.h"

#include "explorerkinds.h"

#include <QFont>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMimeData>

namespace {

bool isDraggableKind(const QString &kind)
{
    return kind == ExplorerKind::Table || kind == ExplorerKind::View;
}

// The leaf kind whose hiding also hides this group row; empty for other rows.
QString leafKindOfGroup(const QString &kind)
{
    static const QHash<QString, QString> leaves{
        {ExplorerKind::Tables, ExplorerKind::Table},
        {ExplorerKind::Views, ExplorerKind::View},
        {ExplorerKind::Relationships, ExplorerKind::Relationship},
        {ExplorerKind::Sequences, ExplorerKind::Sequence},
        {ExplorerKind::Diagrams, ExplorerKind::Diagram},
        {ExplorerKind::Mappings, ExplorerKind::Mapping},
        {ExplorerKind::Documents, ExplorerKind::Document},
    };
    return leaves.value(kind);
}

} // namespace

const QString ProjectTreeModel::MimeType = QStringLiteral("application/x-velmora-explorer");

ProjectTreeModel::ProjectTreeModel(QObject *parent)
    : QStandardItemModel(parent)
{
}

void ProjectTreeModel::setRowBold(QStandardItem *item, bool bold)
{
    QFont font = item->data(Qt::FontRole).value<QFont>();
    if ((font.weight() > QFont::Medium) == bold)
        return;
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    item->setData(font, Qt::FontRole);
}

QVariant ProjectTreeModel::data(const QModelIndex &index, int role) const
{
    if (index.isValid() && role == Qt::DisplayRole
        && QStandardItemModel::data(index, ExplorerKindRole).toString() == ExplorerKind::Model) {
        const QString name = QStandardItemModel::data(index, Qt::DisplayRole).toString();
        const QString dialect = QStandardItemModel::data(index, ExplorerDialectRole).toString();
        if (!name.isEmpty() && !dialect.isEmpty())
            return QStringLiteral("%1 (%2)").arg(name, dialect);
    }
    return QStandardItemModel::data(index, role);
}

QStringList ProjectTreeModel::mimeTypes() const
{
    return {MimeType};
}

QMimeData *ProjectTreeModel::mimeData(const QModelIndexList &indexes) const
{
    QJsonArray items;
    QSet<QString> seen;
    for (const QModelIndex &index : indexes) {
        const QString kind = index.data(ExplorerKindRole).toString();
        const QString id = index.data(ExplorerIdRole).toString();
        if (!isDraggableKind(kind) || id.isEmpty())
            continue;
        const QString key = kind + QLatin1Char(':') + id;
        if (seen.contains(key))
            continue;
        seen.insert(key);
        items.append(QJsonObject{{QStringLiteral("kind"), kind}, {QStringLiteral("id"), id}});
    }
    if (items.isEmpty())
        return nullptr;
    auto *mime = new QMimeData;
    mime->setData(MimeType, QJsonDocument(QJsonObject{{QStringLiteral("items"), items}})
                                .toJson(QJsonDocument::Compact));
    return mime;
}

Qt::DropActions ProjectTreeModel::supportedDragActions() const
{
    return Qt::CopyAction;
}

Qt::ItemFlags ProjectTreeModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags result = QStandardItemModel::flags(index);
    if (!index.isValid())
        return result;
    return isDraggableKind(index.data(ExplorerKindRole).toString()) ? result | Qt::ItemIsDragEnabled
                                                                    : result & ~Qt::ItemIsDragEnabled;
}

ExplorerFilterProxy::ExplorerFilterProxy(QObject *parent)
    : QSortFilterProxyModel(parent)
{
}

bool ExplorerFilterProxy::setSearchText(const QString &text)
{
    if (text == m_searchText)
        return false;
    m_searchText = text;
    refilter();
    return true;
}

bool ExplorerFilterProxy::setHiddenKinds(const QSet<QString> &kinds)
{
    if (kinds == m_hiddenKinds)
        return false;
    m_hiddenKinds = kinds;
    refilter();
    return true;
}

void ExplorerFilterProxy::refilter()
{
    ++m_refilterCount;
    invalidateFilter();
}

bool ExplorerFilterProxy::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    const QAbstractItemModel *source = sourceModel();
    if (!source)
        return true;
    const QModelIndex index = source->index(sourceRow, 0, sourceParent);
    const QString kind = index.data(ExplorerKindRole).toString();
    if (m_hiddenKinds.contains(kind))
        return false;
    const QString leafKind = leafKindOfGroup(kind);
    if (!leafKind.isEmpty() && m_hiddenKinds.contains(leafKind))
        return false;
    if (m_searchText.isEmpty())
        return true;
    if (kind == ExplorerKind::Project || !leafKind.isEmpty())
        return true;
    // A plain substring, never a pattern: "(" or "*" are characters of a name.
    return index.data(Qt::DisplayRole).toString().contains(m_searchText, Qt::CaseInsensitive);
}

ProjectTreeItemDelegate::ProjectTreeItemDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

QSize ProjectTreeItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QSize base = QStyledItemDelegate::sizeHint(option, index);
    return QSize(base.width(), qMax(option.fontMetrics.height() + 10, qMax(base.height(), 24)));
}

QWidget *ProjectTreeItemDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                               const QModelIndex &index) const
{
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto *line = qobject_cast<QLineEdit *>(editor))
        line->setTextMargins(2, 1, 2, 1);
    return editor;
}

void ProjectTreeItemDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                                   const QModelIndex &) const
{
    editor->setGeometry(option.rect.adjusted(1, 1, -1, -1));
}
