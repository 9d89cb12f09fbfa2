#pragma once

#include <QColor>
#include <QMetaType>

// The four colours of an entity box in one theme. An invalid colour means "not set":
// the box then falls back on the theme palette for that entry.
struct EntityColorScheme
{
    QColor background; // body fill
    QColor header;     // fill of the title band
    QColor border;     // outline
    QColor text;       // title and row text

    bool operator==(const EntityColorScheme &other) const
    {
        return background == other.background && header == other.header
            && border == other.border && text == other.text;
    }
    bool operator!=(const EntityColorScheme &other) const { return !(*this == other); }
};
Q_DECLARE_METATYPE(EntityColorScheme)

// An entity box's colours for both themes.
struct DualThemeColorScheme
{
    EntityColorScheme light;
    EntityColorScheme dark;

    bool operator==(const DualThemeColorScheme &other) const
    {
        return light == other.light && dark == other.dark;
    }
    bool operator!=(const DualThemeColorScheme &other) const { return !(*this == other); }
};
Q_DECLARE_METATYPE(DualThemeColorScheme)
