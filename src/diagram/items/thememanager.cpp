#include "thememanager.h"

#include <QGuiApplication>
#include <QPalette>

QColor ThemePalette::at(int index) const
{
    switch (index) {
    case Background: return background;
    case Grid: return grid;
    case Surface: return surface;
    case Header: return header;
    case Border: return border;
    case Selection: return selection;
    case Text: return text;
    case Line: return line;
    case Accent: return accent;
    default: return QColor();
    }
}

void ThemePalette::set(int index, const QColor &color)
{
    switch (index) {
    case Background: background = color; break;
    case Grid: grid = color; break;
    case Surface: surface = color; break;
    case Header: header = color; break;
    case Border: border = color; break;
    case Selection: selection = color; break;
    case Text: text = color; break;
    case Line: line = color; break;
    case Accent: accent = color; break;
    default: break;
    }
}

bool ThemePalette::operator==(const ThemePalette &other) const
{
    for (int i = 0; i < EntryCount; ++i) {
        if (at(i) != other.at(i))
            return false;
    }
    return true;
}

ThemeManager::ThemeManager(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<ThemeKind>("ThemeKind");
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    setTheme(window.lightness() <= 127 ? ThemeKind::Dark : ThemeKind::Light);
}

ThemeManager *ThemeManager::instance()
{
    // Function-local static: made once on the first call, also under concurrent first
    // calls, and destroyed at process exit.
    static ThemeManager manager;
    return &manager;
}

ThemePalette ThemeManager::lightColors()
{
    ThemePalette p;
    p.background = QColor(0xff, 0xff, 0xff);
    p.grid = QColor(0xeb, 0xeb, 0xeb);
    p.surface = QColor(0xfa, 0xfa, 0xfa);
    p.header = QColor(0xeb, 0xeb, 0xeb);
    p.border = QColor(0x00, 0x00, 0x00);
    p.selection = QColor(0x00, 0x78, 0xd7);
    p.text = QColor(0x00, 0x00, 0x00);
    p.line = QColor(0x00, 0x00, 0x00);
    p.accent = QColor(0x00, 0x78, 0xd7);
    return p;
}

ThemePalette ThemeManager::darkColors()
{
    ThemePalette p;
    p.background = QColor(0x1a, 0x1a, 0x1a);
    p.grid = QColor(0x3c, 0x3c, 0x3c);
    p.surface = QColor(0x26, 0x26, 0x26);
    p.header = QColor(0x37, 0x37, 0x37);
    p.border = QColor(0xd2, 0xd2, 0xd2);
    p.selection = QColor(0x50, 0xaa, 0xff);
    p.text = QColor(0xe6, 0xe6, 0xe6);
    p.line = QColor(0xd2, 0xd2, 0xd2);
    p.accent = QColor(0x50, 0xaa, 0xff);
    return p;
}

void ThemeManager::setTheme(ThemeKind kind)
{
    m_kind = kind;
    m_colors = kind == ThemeKind::Light ? lightColors() : darkColors();
    emit themeChanged();
}

void ThemeManager::setColors(const ThemePalette &palette, ThemeKind kind)
{
    m_colors = palette;
    m_kind = kind;
    emit themeChanged();
}
