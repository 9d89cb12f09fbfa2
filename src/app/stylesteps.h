#pragma once

#include "colorsdialog.h"
#include "groupitemstyledialog.h"
#include "stylevalues.h"
#include "textitemstyledialog.h"

class ERScene;

// What the window does with the style dialogs: the value a run starts from, the target
// it proposes, and the steps that apply each Apply and OK. Every function takes the
// scene as it is at the moment of the call; a null scene gives the built-in start and
// changes nothing.
namespace stylesteps {

// Selected items of one DiagramItemType.
int selectedCount(const ERScene *scene, int itemType);

// SelectedItem (0) for one, SelectedItems (1) for more, AllInDiagram (2) for none.
int proposedTarget(int selected);

// The built-in scheme, then remembered when all eight of its colours are valid, then the
// colours of the first selected entity box.
DualThemeColorScheme colorsStart(const ERScene *scene, const DualThemeColorScheme &remembered);
// The dialog's default, then the scene's style for new notes, then the first selected note.
TextItemStyle textStart(const ERScene *scene);
// The dialog's default, then the scene's style for new frames, then the first selected frame.
GroupItemStyle groupStart(const ERScene *scene);

// Selected targets take every selected item of the kind, AllInDiagram every item of the
// kind. DefaultsOnly, or a set useForNew, also stores the value for new items; the entity
// step stores it in remembered as well.
void applyEntityColors(ERScene *scene, const DualThemeColorScheme &scheme,
                       ColorsDialog::ApplyTarget target, bool useForNew,
                       DualThemeColorScheme *remembered);
void applyTextStyle(ERScene *scene, const TextItemStyle &style,
                    TextItemStyleDialog::ApplyTarget target, bool useForNew);
void applyGroupStyle(ERScene *scene, const GroupItemStyle &style,
                     GroupItemStyleDialog::ApplyTarget target, bool useForNew);

} // namespace stylesteps
