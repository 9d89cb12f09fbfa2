#pragma once

#include "thememanager.h"

#include <QIcon>
#include <QPalette>

QT_BEGIN_NAMESPACE
class QImage;
class QSize;
QT_END_NAMESPACE

// The application palettes of the two themes.
QPalette lightApplicationPalette();
QPalette darkApplicationPalette();

// The explorer tree's palette; any kind but Light gives the dark colours.
QPalette explorerTreePalette(ThemeKind kind);

// Inverts red, green and blue of every pixel in place and keeps alpha. Images that are
// neither 32-bit RGB nor 32-bit ARGB become 32-bit ARGB first.
void invertImageColors(QImage &image);

// The dark-theme variant of an icon at a size: its pixmap inverted, with the pixmap's
// device pixel ratio. Empty when the icon, the size or the pixmap is unusable.
QIcon invertedIcon(const QIcon &icon, const QSize &size);
