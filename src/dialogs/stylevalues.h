#pragma once

#include <QColor>
#include <QFont>
#include <QMetaType>

// The style of a text note, as the text style dialog hands it out. An invalid colour
// means "not set".
struct TextItemStyle
{
    QFont font;
    QColor colorLight;
    QColor colorDark;

    bool operator==(const TextItemStyle &other) const
    {
        return font == other.font && colorLight == other.colorLight
            && colorDark == other.colorDark;
    }
    bool operator!=(const TextItemStyle &other) const { return !(*this == other); }
};
Q_DECLARE_METATYPE(TextItemStyle)

// The six colours of a group frame, as the group style dialog hands them out. The fills
// are normally translucent; an invalid colour means "not set". The group frame keeps the
// titles under its own names; the fields line up by position.
struct GroupItemStyle
{
    QColor fillLight;
    QColor borderLight;
    QColor textLight;
    QColor fillDark;
    QColor borderDark;
    QColor textDark;

    bool operator==(const GroupItemStyle &other) const
    {
        return fillLight == other.fillLight && borderLight == other.borderLight
            && textLight == other.textLight && fillDark == other.fillDark
            && borderDark == other.borderDark && textDark == other.textDark;
    }
    bool operator!=(const GroupItemStyle &other) const { return !(*this == other); }
};
Q_DECLARE_METATYPE(GroupItemStyle)
