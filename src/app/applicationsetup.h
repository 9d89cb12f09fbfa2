#pragma once

#include <QString>
#include <QStringList>

QT_BEGIN_NAMESPACE
class QApplication;
QT_END_NAMESPACE

// The five bundled font files, in the order they are registered; the first gives the
// application font.
QStringList defaultApplicationFontPaths();

// Registers a font file and returns the first family it provides; empty when the file
// cannot be registered or names no family.
QString loadApplicationFont(const QString &path);

// Everything start-up does between creating the application object and building the
// main window: resource bundle, identity, style, window icon, fonts and the application
// font (the first family at 10 pt; the toolkit default stays when that file fails).
// Returns the application font family, empty when none was set.
QString configureApplication(QApplication &app,
                             const QStringList &fontPaths = defaultApplicationFontPaths());
