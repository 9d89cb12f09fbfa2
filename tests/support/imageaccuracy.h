#pragma once

// The accuracy of image import on a picture whose truth is known: the picture is recognised
// and imported into a scene as the application imports it, and its boxes, titles, rows, keys
// and relationships are compared with a truth file that render_diagram (or a person) wrote.

#include <QString>
#include <QStringList>

namespace imageaccuracy {

struct Figures
{
    int truthEntities = 0;
    int matchedEntities = 0;
    int spuriousBoxes = 0;
    int titles = 0;
    int truthRows = 0;
    int rowsFound = 0;
    int truthKeys = 0;
    int keysFound = 0;
    int truthLinks = 0;
    int linksFound = 0;
    int orientable = 0;
    int oriented = 0;
    int linksMade = 0;   // edges after the import (of a box with itself too)
    int wrongLinks = 0;  // of those, edges between boxes with no relationship, or to a spurious box
    int endsRead = 0;    // links found whose cardinalities at both ends are those drawn
    int wrongKeys = 0;   // rows found flagged as a primary or foreign key they are not

    void add(const Figures &other);

    // Shares in percent; a share of nothing is 100.
    double entities() const;
    double titleShare() const;
    double attributeNames() const;
    double keys() const;
    double links() const;
    double orientedShare() const;
    double endsShare() const;  // of the links found
};

// Recognises the picture, imports it into a scene of its own and compares the outcome with
// the truth file. False, with the reason, when the truth cannot be read; a picture in which
// nothing is recognised scores zero.
bool scorePicture(const QString &picturePath, const QString &truthPath, Figures *figures, QString *failure);

// One line with every figure, its counts, the spurious boxes and the wrong links.
QString describe(const Figures &figures);

} // namespace imageaccuracy
