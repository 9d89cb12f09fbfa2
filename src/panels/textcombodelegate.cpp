#include "textcombodelegate.h"

#include <QComboBox>

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
    QStringList options = m_optionsProvider ? m_optionsProvider(index) : QStringList();
    const QString current = index.data(Qt::DisplayRole).toString();
    if (!current.isEmpty() && !options.contains(current, Qt::CaseSensitive))
        options.prepend(current);
    combo->addItems(options);
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
