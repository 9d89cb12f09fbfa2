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

// Schemas of other shapes, built the same way (tables of 3 to 15 random columns on a grid,
// one edge per foreign key from the referenced table to the referring one).

// A tree (each table refers to one earlier table) with extra links between random pairs.
diagramgenerator::Diagram buildTreeWithLinks(QGraphicsScene *scene, int tables, int extraLinks, std::uint64_t seed);

// One centre referred to by `arms` tables, each referred to by `leaves` tables of its own.
diagramgenerator::Diagram buildStarOfStars(QGraphicsScene *scene, int arms, int leaves, std::uint64_t seed);

// Each table refers to the one before it.
diagramgenerator::Diagram buildChain(QGraphicsScene *scene, int tables, std::uint64_t seed);

// A connected graph in which no table is on more than three relationships: a tree of that
// degree with extra links between tables that still have room.
diagramgenerator::Diagram buildSparseGraph(QGraphicsScene *scene, int tables, int extraLinks, std::uint64_t seed);

// A film rental shop's schema written by hand: 16 tables and 22 foreign keys.
diagramgenerator::Diagram buildFilmRental(QGraphicsScene *scene);

} // namespace schemagenerator
