#pragma once

#include <QColor>
#include <QMetaType>
#include <QObject>

enum class ThemeKind : qint32 {
    Light = 0,
    Dark = 1
};
Q_DECLARE_METATYPE(ThemeKind)

// The nine colours every diagram element falls back on. The order is fixed; items may
// pick an entry by index through at().
struct ThemePalette
{
    enum Entry : int {
        Background = 0,
        Grid,
        Surface,
        Header,
        Border,
        Selection,
        Text,
        Line,
        Accent,
        EntryCount
    };

    QColor background;
    QColor grid;
    QColor surface;
    QColor header;
    QColor border;
    QColor selection;
    QColor text;
    QColor line;
    QColor accent;

    // An index outside 0..8 gives an invalid colour.
    QColor at(int index) const;
    void set(int index, const QColor &color);

    bool operator==(const ThemePalette &other) const;
    bool operator!=(const ThemePalette &other) const { return !(*this == other); }
};

// Process-wide holder of the current theme. Listeners re-read colors() and kind() when
// themeChanged() is emitted, which happens on every setTheme() and setColors() call.
class ThemeManager : public QObject
{
    Q_OBJECT

public:
    // Reads the application palette, so the application object must exist first.
    explicit ThemeManager(QObject *parent = nullptr);

    static ThemeManager *instance();

    static ThemePalette lightColors();
    static ThemePalette darkColors();

    void setTheme(ThemeKind kind);
    // Puts back a saved state exactly, whatever the colours are.
    void setColors(const ThemePalette &palette, ThemeKind kind);

    ThemeKind kind() const { return m_kind; }
    ThemePalette colors() const { return m_colors; }
    bool isDark() const { return m_kind == ThemeKind::Dark; }

signals:
    void themeChanged();

private:
    ThemePalette m_colors;
    ThemeKind m_kind = ThemeKind::Light;
};
