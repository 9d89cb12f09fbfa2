#pragma once

#include <QList>

// Placing values on one axis as near their desired positions as a set of separation
// constraints allows: the block-merging method of placing variables with separation
// constraints (Dwyer, Marriott and Stuckey). Used to move boxes apart and to spread lines
// over tracks.
namespace layout {

// position[right] - position[left] >= gap.
struct SeparationConstraint
{
    int left = 0;
    int right = 0;
    double gap = 0;
};

// Positions that meet every constraint and lie near the desired ones, each variable pulled
// towards its desired position by its weight (all 1 when weights is empty). order lists
// every variable once, and a constraint's left variable must come before its right one in
// it; an empty order means by desired position, then index. Constraints naming a variable
// that does not exist are ignored.
QList<double> solveSeparation(const QList<double> &desired, const QList<SeparationConstraint> &constraints,
                              const QList<double> &weights = {}, const QList<int> &order = {});

} // namespace layout
