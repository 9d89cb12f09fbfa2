#include "stylesteps.h"

#include "colorpresets.h"
#include "diagramitemtypes.h"
#include "entityitem.h"
#include "erscene.h"
#include "groupitem.h"
#include "textitem.h"

namespace stylesteps {

namespace {

bool allEightValid(const DualThemeColorScheme &scheme)
{
    return colorpresets::allColorsSet(scheme.light) && colorpresets::allColorsSet(scheme.dark);
}

template<typename Item>
Item *firstSelected(const ERScene *scene)
{
    if (!scene)
        return nullptr;
    const QList<QGraphicsItem *> selected = scene->selectedItems();
    for (QGraphicsItem *item : selected) {
        if (item->type() == Item::Type)
            return static_cast<Item *>(item);
    }
    return nullptr;
}

// The four dialogs number their targets alike.
constexpr int AllInDiagram = 2;
static_assert(ColorsDialog::AllInDiagram == AllInDiagram && TextItemStyleDialog::AllInDiagram == AllInDiagram
              && GroupItemStyleDialog::AllInDiagram == AllInDiagram);

// SelectedItem and SelectedItems alike take every selected item of the kind.
template<typename Item>
QList<Item *> targetItems(const ERScene *scene, int target)
{
    QList<Item *> result;
    if (!scene)
        return result;
    const QList<QGraphicsItem *> items = target == AllInDiagram ? scene->items() : scene->selectedItems();
    for (QGraphicsItem *item : items) {
        if (item->type() == Item::Type)
            result.append(static_cast<Item *>(item));
    }
    return result;
}

void storeTextDefaults(ERScene *scene, const TextItemStyle &style)
{
    scene->setTextItemStyle(style.font, style.colorLight, style.colorDark);
}

void storeGroupDefaults(ERScene *scene, const GroupItemStyle &style)
{
    scene->setGroupItemStyle(style.fillLight, style.borderLight, style.textLight, style.fillDark,
                             style.borderDark, style.textDark);
}

} // namespace

int selectedCount(const ERScene *scene, int itemType)
{
    if (!scene)
        return 0;
    int count = 0;
    const QList<QGraphicsItem *> selected = scene->selectedItems();
    for (QGraphicsItem *item : selected) {
        if (item->type() == itemType)
            ++count;
    }
    return count;
}

int proposedTarget(int selected)
{
    if (selected == 1)
        return ColorsDialog::SelectedItem;
    return selected >= 2 ? ColorsDialog::SelectedItems : AllInDiagram;
}

DualThemeColorScheme colorsStart(const ERScene *scene, const DualThemeColorScheme &remembered)
{
    if (!scene)
        return colorpresets::defaultScheme();
    if (const EntityItem *entity = firstSelected<EntityItem>(scene))
        return entity->colorScheme();
    return allEightValid(remembered) ? remembered : colorpresets::defaultScheme();
}

TextItemStyle textStart(const ERScene *scene)
{
    TextItemStyle style = TextItemStyleDialog::defaultStyle();
    if (!scene)
        return style;
    if (const TextItem *text = firstSelected<TextItem>(scene))
        return {text->font(), text->colorLight(), text->colorDark()};
    if (scene->textItemStyleSet)
        style = {scene->textItemFont, scene->textItemColorLight, scene->textItemColorDark};
    return style;
}

GroupItemStyle groupStart(const ERScene *scene)
{
    GroupItemStyle style = GroupItemStyleDialog::defaultStyle();
    if (!scene)
        return style;
    if (const GroupItem *group = firstSelected<GroupItem>(scene)) {
        return {group->fillLight(), group->borderLight(), group->textColorLight(),
                group->fillDark(), group->borderDark(), group->textColorDark()};
    }
    if (scene->groupItemStyleSet) {
        style = {scene->groupFillLight, scene->groupBorderLight, scene->groupTextLight,
                 scene->groupFillDark, scene->groupBorderDark, scene->groupTextDark};
    }
    return style;
}

void applyEntityColors(ERScene *scene, const DualThemeColorScheme &scheme,
                       ColorsDialog::ApplyTarget target, bool useForNew,
                       DualThemeColorScheme *remembered)
{
    if (!scene)
        return;
    if (target != ColorsDialog::DefaultsOnly) {
        for (EntityItem *entity : targetItems<EntityItem>(scene, target))
            entity->setColorScheme(scheme);
        if (!useForNew)
            return;
    }
    if (remembered)
        *remembered = scheme;
    scene->defaultEntityColors = scheme;
}

void applyTextStyle(ERScene *scene, const TextItemStyle &style,
                    TextItemStyleDialog::ApplyTarget target, bool useForNew)
{
    if (!scene)
        return;
    if (target == TextItemStyleDialog::DefaultsOnly) {
        storeTextDefaults(scene, style);
        return;
    }
    for (TextItem *text : targetItems<TextItem>(scene, target)) {
        text->setFont(style.font);
        text->setColors(style.colorLight, style.colorDark);
    }
    if (useForNew)
        storeTextDefaults(scene, style);
}

void applyGroupStyle(ERScene *scene, const GroupItemStyle &style,
                     GroupItemStyleDialog::ApplyTarget target, bool useForNew)
{
    if (!scene)
        return;
    if (target == GroupItemStyleDialog::DefaultsOnly) {
        storeGroupDefaults(scene, style);
        return;
    }
    for (GroupItem *group : targetItems<GroupItem>(scene, target)) {
        group->setColors(style.fillLight, style.borderLight, style.textLight, style.fillDark,
                         style.borderDark, style.textDark);
    }
    if (useForNew)
        storeGroupDefaults(scene, style);
}

} // namespace stylesteps
