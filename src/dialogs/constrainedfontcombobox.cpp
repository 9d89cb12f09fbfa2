#include "constrainedfontcombobox.h"

#include "comboliststyle.h"
#include "compactfontdelegate.h"

#include <QAbstractItemView>

namespace {

constexpr int DefaultVisibleItems = 12;
constexpr int FewestVisibleItems = 6;
constexpr int SmallWindowHeight = 160;
constexpr int FullListWindowHeight = 346;

} // namespace

ConstrainedFontComboBox::ConstrainedFontComboBox(QWidget *parent)
    : QFontComboBox(parent)
{
    setEditable(false);
    setInsertPolicy(QComboBox::NoInsert);
    setFontFilters(QFontComboBox::AllFonts);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(18);
    setMaxVisibleItems(DefaultVisibleItems);
    setItemDelegate(new CompactFontDelegate(this));
    // setStyle does not take ownership; the combo's children die with it.
    auto *listStyle = new ComboListStyle;
    listStyle->setParent(this);
    setStyle(listStyle);
    view()->setMinimumWidth(280);
}

ConstrainedFontComboBox::~ConstrainedFontComboBox() = default;

ConstrainedFontComboBox::PopupLimits ConstrainedFontComboBox::popupLimitsFor(int windowHeight)
{
    if (windowHeight < 0)
        return {400, DefaultVisibleItems};
    if (windowHeight <= SmallWindowHeight)
        return {SmallWindowHeight, FewestVisibleItems};
    if (windowHeight < FullListWindowHeight)
        return {windowHeight,
                qMax((windowHeight - 8) / CompactFontDelegate::RowHeight, FewestVisibleItems)};
    return {windowHeight, DefaultVisibleItems};
}

void ConstrainedFontComboBox::showPopup()
{
    const QWidget *top = window();
    const PopupLimits limits = popupLimitsFor(top && top != this ? top->height() : -1);
    setMaxVisibleItems(limits.visibleItems);
    view()->setMaximumHeight(limits.maxHeight);
    if (QWidget *container = view()->parentWidget())
        container->setMaximumHeight(limits.maxHeight);
    QFontComboBox::showPopup();
}
