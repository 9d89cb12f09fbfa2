#pragma once

#include <QString>

QT_BEGIN_NAMESPACE
class QGraphicsScene;
QT_END_NAMESPACE

// Writes the scene to an SVG file as the Export to SVG action does: light colours on white,
// no grid and no selection marks, the items' bounds grown by 80 (800 x 600 for an empty
// scene) drawn at one unit per scene unit. Theme, selection and background are as before
// when it returns. False, with no file written, when scene is null or the file cannot be
// written.
bool exportSceneToSvgFile(QGraphicsScene *scene, const QString &path);

// The same look on one A2 page with margins of 12 mm at 300 dpi, landscape when the items'
// bounds grown by 80 are wider than high, drawn to fill the page's printable area. False,
// with no file written, when scene is null or the file cannot be written.
bool exportSceneToPdfFile(QGraphicsScene *scene, const QString &path);
