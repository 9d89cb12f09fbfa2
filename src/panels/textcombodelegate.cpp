#include "textcombodelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>
#include <QTreeView>

namespace {

// The list opens as wide as its longest entry, not as narrow as the cell.
void fitPopupToItems(QComboBox *combo)
{
    QAbstractItemView *list = combo->view();
    const int items = list->sizeHintForColumn(0);
    if (items <= 0)
        return;
    const int frame = 2 * list->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, list);
    const int scrollBar = combo->count() > combo->maxVisibleItems()
                              ? list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list)
                              : 0;
    list->setMinimumWidth(items + frame + scrollBar);
}

} // namespace

TextComboDelegate::TextComboDelegate(OptionsProvider optionsProvider, bool editable, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_optionsProvider(std::move(optionsProvider))
    , m_editable(editable)
{
}

TextComboDelegate::~TextComboDelegate() = default;

QWidget *TextComboDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                         const QModelIndex &index) const
{
    auto *combo = new QComboBox(parent);
    combo->setEditable(m_editable);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // Inline completion would turn a typed prefix of a listed text back into that text,
    // and a case-blind completer would change the letters' case: what is typed is kept.
    if (m_editable)
        combo->setCompleter(nullptr);
    QStringList options = m_optionsProvider ? m_optionsProvider(index) : QStringList();
    const QString current = index.data(Qt::DisplayRole).toString();
    if (!current.isEmpty() && !options.contains(current, Qt::CaseSensitive))
        options.prepend(current);
    combo->addItems(options);
    fitPopupToItems(combo);
    return combo;
}

void TextComboDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *combo = qobject_cast<QComboBox *>(editor);
    if (!combo)
        return;
    const QString text = index.data(Qt::DisplayRole).toString();
    const int match = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (match >= 0)
        combo->setCurrentIndex(match);
    else if (combo->isEditable())
        combo->setEditText(text);
    // As in a line-edit cell, typing replaces the whole text.
    if (QLineEdit *edit = combo->lineEdit())
        edit->selectAll();
}

void TextComboDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                     const QModelIndex &index) const
{
    auto *combo = qobject_cast<QComboBox *>(editor);
    if (!combo || !model)
        return;
    const QString text = combo->currentText();
    if (text != index.data(Qt::DisplayRole).toString())
        model->setData(index, text, Qt::EditRole);
}

bool TextComboDelegate::eventFilter(QObject *object, QEvent *event)
{
    auto *editor = qobject_cast<QWidget *>(object);
    if (editor && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool backward = key->key() == Qt::Key_Backtab
                              || (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier));
        if ((backward || key->key() == Qt::Key_Tab) && stepAlongRow(editor, backward))
            return true;
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

// A tree view that selects whole rows keeps the same cell current on Tab, so the editor
// would open again where it was; it moves to the neighbouring cell itself instead, on to
// the next or previous row at the ends, as in a table.
bool TextComboDelegate::stepAlongRow(QWidget *editor, bool backward)
{
    QWidget *viewport = editor->parentWidget();
    auto *tree = viewport ? qobject_cast<QTreeView *>(viewport->parentWidget()) : nullptr;
    if (!tree || !tree->model())
        return false;
    const QModelIndex current = tree->currentIndex();
    if (!current.isValid() || tree->indexWidget(current) != editor)
        return false;
    const int columns = tree->model()->columnCount(current.parent());
    int row = current.row();
    int column = current.column() + (backward ? -1 : 1);
    if (column >= columns) {
        column = 0;
        ++row;
    } else if (column < 0) {
        column = columns - 1;
        --row;
    }
    const QPersistentModelIndex next = tree->model()->index(row, column, current.parent());
    emit commitData(editor);
    emit closeEditor(editor, NoHint);
    if (next.isValid()) {
        tree->setCurrentIndex(next);
        tree->edit(next);
    }
    return true;
}

QSize TextComboDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    // A tree sizes its rows by their cells; a table by its header's default section, which
    // also leaves room for the combo box that edits the cell.
    const QWidget *widget = option.widget;
    const QStyle *style = widget ? widget->style() : QApplication::style();
    size.setHeight(std::max(size.height(),
                            style->pixelMetric(QStyle::PM_HeaderDefaultSectionSizeVertical, nullptr, widget)));
    return size;
}
