#pragma once

#include "diagramgenerator.h"

#include <cstdint>

QT_BEGIN_NAMESPACE
class QGraphicsScene;
QT_END_NAMESPACE

// Seeded schemas shaped like real ones, for judging the automatic layout: a few hub tables
// that many others refer to, chains of tables each referring to the one before, some
// self references, 1 to 4 foreign keys and 3 to 15 columns per table. The same plan gives
// the same diagram on every machine.
namespace schemagenerator {

struct SchemaPlan
{
    int tables = 30;
    std::uint64_t seed = 1;
};

// Builds the tables on a grid in creation order and one edge per foreign key, from the
// referenced table to the referring one (a self reference joins a table to itself).
// Edges are made without foreign-key rows and without a route.
diagramgenerator::Diagram buildSchema(QGraphicsScene *scene, const SchemaPlan &plan);

} // namespace schemagenerator
