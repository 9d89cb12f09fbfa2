// Reading order of text fragments: rows from the top, left to right inside a row.
#include "recognitionsteps.h"

#include <algorithm>
#include <cmath>

namespace {

double centreY(const TextFragment &fragment)
{
    return fragment.rect.top() + fragment.rect.height() * 0.5;
}

} // namespace

bool precedesInRows(const TextFragment &a, const TextFragment &b, double tolerance)
{
    const double ya = centreY(a);
    const double yb = centreY(b);
    if (std::abs(ya - yb) > tolerance)
        return ya < yb;
    return a.rect.x() < b.rect.x();
}

// Being in one row is not transitive, so the row test is no strict weak ordering; the order
// it gives is the one of std::sort with this test, which stays inside the list as long as
// the test is irreflexive and asymmetric (no coordinate is NaN).
void sortByRows(QList<TextFragment> &fragments, double tolerance)
{
    std::sort(fragments.begin(), fragments.end(),
              [tolerance](const TextFragment &a, const TextFragment &b) {
                  return precedesInRows(a, b, tolerance);
              });
}

void sortByCentres(QList<TextFragment> &fragments)
{
    std::sort(fragments.begin(), fragments.end(), [](const TextFragment &a, const TextFragment &b) {
        return centreY(a) < centreY(b);
    });
}

void sortByLeftEdges(QList<TextFragment> &fragments)
{
    std::sort(fragments.begin(), fragments.end(), [](const TextFragment &a, const TextFragment &b) {
        return a.rect.x() < b.rect.x();
    });
}
