#include "colorpresets.h"

#include <QSettings>

namespace colorpresets {
namespace {

const QString ArrayName = QStringLiteral("ColorPresets");
const QString NameKey = QStringLiteral("name");

struct ColorKey
{
    const char *suffix;
    QColor EntityColorScheme::*field;
};

const ColorKey ColorKeys[] = {
    {"Bg", &EntityColorScheme::background},
    {"Header", &EntityColorScheme::header},
    {"Border", &EntityColorScheme::border},
    {"Text", &EntityColorScheme::text},
};

EntityColorScheme schemeHalf(const char *fill, const char *header, const char *border,
                             const char *text)
{
    return {QColor::fromString(fill), QColor::fromString(header), QColor::fromString(border),
            QColor::fromString(text)};
}

DualThemeColorScheme builtIn(const char *lightFill, const char *lightBorder,
                             const char *lightText, const char *darkFill,
                             const char *darkBorder, const char *darkText)
{
    return {schemeHalf(lightFill, lightFill, lightBorder, lightText),
            schemeHalf(darkFill, darkFill, darkBorder, darkText)};
}

} // namespace

DualThemeColorScheme defaultScheme()
{
    return {schemeHalf("#F7F7F7", "#ECECEC", "#2E2E2E", "#111111"),
            schemeHalf("#2B2F36", "#3A404A", "#C7CED9", "#F8FAFC")};
}

bool allColorsSet(const EntityColorScheme &scheme)
{
    return scheme.background.isValid() && scheme.header.isValid() && scheme.border.isValid()
        && scheme.text.isValid();
}

QList<DualThemeColorScheme> builtInSchemes()
{
    return {
        builtIn("#F7F7F7", "#2E2E2E", "#111111", "#2B2F36", "#C7CED9", "#F8FAFC"),
        builtIn("#EAF4FF", "#2D5B88", "#0F172A", "#0F2744", "#7EB6E8", "#E2F0FF"),
        builtIn("#EEF7EE", "#3C6E47", "#102014", "#142418", "#7CB88A", "#E8F5E9"),
        builtIn("#FFF6E8", "#8A5A00", "#1F1300", "#2A1C00", "#E8B84A", "#FFF6E8"),
        builtIn("#FFF0F3", "#8B3A57", "#2A0F18", "#2A1018", "#E88AA8", "#FFF0F3"),
        builtIn("#E8EAED", "#3A404A", "#1A1D21", "#2B2F36", "#C7CED9", "#F8FAFC"),
    };
}

EntityColorScheme readSchemeHalf(const QSettings &settings, const QString &prefix,
                                 const EntityColorScheme &defaults)
{
    EntityColorScheme scheme = defaults;
    for (const ColorKey &key : ColorKeys) {
        const QColor color = QColor::fromString(
            settings.value(prefix + QLatin1String(key.suffix)).toString());
        if (color.isValid())
            scheme.*key.field = color;
    }
    return scheme;
}

void writeSchemeHalf(QSettings &settings, const QString &prefix,
                     const EntityColorScheme &scheme)
{
    // An invalid colour is written as its plain name, black, and reads back black.
    for (const ColorKey &key : ColorKeys)
        settings.setValue(prefix + QLatin1String(key.suffix), (scheme.*key.field).name());
}

QList<UserColorPreset> loadUserPresets()
{
    const DualThemeColorScheme defaults = defaultScheme();
    QSettings settings;
    const int count = settings.beginReadArray(ArrayName);
    if (count > MaxUserPresets) {
        qWarning().noquote()
            << QStringLiteral("loadUserPresets: ColorPresets holds %1 entries; only the first %2 are read")
                   .arg(count)
                   .arg(MaxUserPresets);
    }
    QList<UserColorPreset> presets;
    const int readable = qMin(count, MaxUserPresets);
    for (int i = 0; i < readable; ++i) {
        settings.setArrayIndex(i);
        const QString name = settings.value(NameKey).toString().trimmed();
        if (name.isEmpty())
            continue;
        presets.append({name,
                        {readSchemeHalf(settings, QStringLiteral("light"), defaults.light),
                         readSchemeHalf(settings, QStringLiteral("dark"), defaults.dark)}});
    }
    settings.endArray();
    return presets;
}

bool saveUserPresets(const QList<UserColorPreset> &presets)
{
    QSettings settings;
    settings.remove(ArrayName);
    settings.beginWriteArray(ArrayName);
    for (int i = 0; i < presets.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(NameKey, presets.at(i).name);
        writeSchemeHalf(settings, QStringLiteral("light"), presets.at(i).scheme.light);
        writeSchemeHalf(settings, QStringLiteral("dark"), presets.at(i).scheme.dark);
    }
    settings.endArray();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace colorpresets
