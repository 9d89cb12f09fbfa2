#pragma once

#include <QString>

class ERScene;

// Mermaid import and export straight from and into the diagram scene. Unlike the converters
// these touch the scene, so they belong on the GUI thread.

// Reads a Mermaid file and loads its diagram into scene, replacing what the scene held.
// False with a sentence in *error (when error is not null); *error is left alone on success.
bool importMermaidIntoScene(ERScene *scene, const QString &path, QString *error);

// The scene's diagram as Mermaid erDiagram text; empty for a null scene.
QString sceneToMermaidText(const ERScene *scene);

// Writes the scene's diagram as a Mermaid file. False with a sentence in *error.
bool exportSceneToMermaidFile(const ERScene *scene, const QString &path, QString *error);
