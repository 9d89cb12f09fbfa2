#pragma once

#include <QString>

class ERScene;

// draw.io import and export straight from and into the diagram scene. Unlike the converters
// these touch the scene, so they belong on the GUI thread.

// Reads a draw.io file and loads its diagram into scene, replacing what the scene held.
// False with a sentence in *error (when error is not null); *error is left alone on success.
bool importDrawioIntoScene(ERScene *scene, const QString &path, QString *error = nullptr);

// Writes the scene's diagram as a draw.io file. False with a sentence in *error.
bool exportSceneToDrawioFile(const ERScene *scene, const QString &path, QString *error = nullptr);

// The draw.io text of the scene's diagram, without a file; empty for a null scene or a
// scene without entity boxes.
QString sceneToDrawioXml(const ERScene *scene);
