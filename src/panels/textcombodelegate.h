#pragma once

#include <QStringList>
#include <QStyledItemDelegate>

#include <functional>

// A cell editor that offers a list of texts in a combo box, optionally taking free text
// too. The cell's present text is always offered, first when the list lacks it, and an
// unchanged text is not written back. Tab and Shift+Tab move the editor along the row.
class TextComboDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using OptionsProvider = std::function<QStringList(const QModelIndex &index)>;

    TextComboDelegate(OptionsProvider optionsProvider, bool editable, QObject *parent);
    ~TextComboDelegate() override;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
    // At least as high as the rows of a table view in the same style.
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

protected:
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    bool stepAlongRow(QWidget *editor, bool backward);

    OptionsProvider m_optionsProvider;
    bool m_editable;
};
