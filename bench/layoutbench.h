#pragma once

// What the layout-quality and layout-peers workloads share: the schemas they lay out, one
// layout of a schema in a shown view, and the figures they print, in one order.
#include "diagramgenerator.h"
#include "layoutquality.h"

#include <QList>
#include <QString>

#include <functional>

class ERScene;

namespace layoutbench {

struct Shape
{
    QString key; // the workload names end in it: layout-quality-<key>
    QString description;
    std::function<diagramgenerator::Diagram(ERScene *)> build;
};

// Every schema, each deterministic.
const QList<Shape> &shapes();

// Adds the bundled monospace font once per process, as the layout workloads always have.
void registerFont();

// A scene that lives to the end of the process (its teardown is not what is measured).
ERScene *newScene();

struct Laid
{
    ERScene *scene = nullptr;
    diagramgenerator::Diagram diagram;
    double ms = 0; // autoLayout alone
};

// Builds the shape in a new scene, routes every edge as the loader would, shows it in a
// view and lays it out.
Laid layOutShown(const Shape &shape);

struct Figure
{
    QString label;
    // The figure as printed.
    std::function<QString(const layout::LayoutQuality &)> text;
    // Lower is better; the ratio to a peer is taken on it. Null for a figure shown only.
    std::function<double(const layout::LayoutQuality &)> score;
};

// The figures of a laid-out drawing, in print order.
const QList<Figure> &figures();

} // namespace layoutbench
