#pragma once

#include "entitycolorscheme.h"

#include <QList>
#include <QString>

QT_BEGIN_NAMESPACE
class QSettings;
QT_END_NAMESPACE

// A named table and view colour scheme the user saved from the colours dialog.
struct UserColorPreset
{
    QString name; // trimmed, never empty
    DualThemeColorScheme scheme;
};

// The colour presets of tables and views: the built-in ones and the user's own, kept in
// the per-user settings store as the array "ColorPresets".
namespace colorpresets {

// A stored count is not trusted: a damaged store must not keep the dialog from opening.
constexpr int MaxUserPresets = 1000;

// The "Default" preset with its own header colours; also what a stored preset falls
// back on colour by colour.
DualThemeColorScheme defaultScheme();

// True when none of the four colours is left unset.
bool allColorsSet(const EntityColorScheme &scheme);

// The six built-in presets in combo order, "Default" first; each header equals its fill.
QList<DualThemeColorScheme> builtInSchemes();

// Reads at most MaxUserPresets entries; entries without a name are skipped. A store
// that cannot be read gives no presets.
QList<UserColorPreset> loadUserPresets();

// Replaces the stored array with presets and flushes the store; false when the store
// could not be written.
bool saveUserPresets(const QList<UserColorPreset> &presets);

// The four colours of one theme under prefix ("light" or "dark") plus "Bg", "Header",
// "Border" and "Text". A missing or unparsable value keeps the default's colour.
EntityColorScheme readSchemeHalf(const QSettings &settings, const QString &prefix,
                                 const EntityColorScheme &defaults);
void writeSchemeHalf(QSettings &settings, const QString &prefix,
                     const EntityColorScheme &scheme);

} // namespace colorpresets
