#include "segmentseparation.h"

#include "layoutquality.h"
#include "separationsolver.h"
#include "unionfind.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <set>
#include <vector>

namespace layout {

namespace {

constexpr double AxisTolerance = 0.5;
// A segment keeps this far from a box it runs beside.
constexpr double BoxClearance = 6;
// A moved segment leaves its neighbours at least this long, and a first or last segment
// (the stub at a box) at least StubLength.
constexpr double MinLeg = 6;
constexpr double StubLength = 8;
// A long first or last segment moves apart from the others as a whole but for its first
// JogDistance at the box, where the end marker is drawn: a jog joins the two.
constexpr double JogDistance = 24;
// A first or last segment moves only off a line it shares, or nearly shares, with another
// (a jog costs two bends), and then by less than others if it can; a move too small to see
// is left out.
constexpr double JogWithin = 4;
constexpr double JogWeight = 100;
constexpr double SmallestJog = 1;
// No segment moves farther than this: far-off room is no channel of its own.
constexpr double MaxShift = 96;
// The narrowest spacing of tracks in a crowded channel: lines still a pixel apart rather
// than one drawn over the other.
constexpr double MinSpacing = 0.75;
constexpr int Rounds = 3;
constexpr double GridCell = 256;
// A segment left less room than a track between boxes on either side of it, where those
// boxes stand at different places along it, is cut where no box is beside it and joined
// by a jog, so that each piece can give way to the side that is free there. At most
// MaxSplits cuts per segment; room beyond RoomCap makes no difference to where to cut.
constexpr double NarrowRoom = TrackSpacing;
constexpr int MaxSplits = 3;
constexpr double RoomCap = 2 * TrackSpacing;

// One axis-parallel segment of a route. "Across" is the coordinate the segment moves in
// (x of a vertical segment), "along" its extent.
enum class Jog { None, AtStart, AtEnd };

struct Run
{
    int route = 0;
    int segment = 0; // from point segment to point segment + 1
    bool movable = false;
    Jog jog = Jog::None; // a movable first or last segment keeps its stub and jogs
    double across = 0;
    double low = 0;
    double high = 0;
    double minAcross = 0; // where it may move; both equal across when it may not
    double maxAcross = 0;
    int turnLow = 0;  // -1, 0 or +1: where the route goes on past the low end, across
    int turnHigh = 0;
    // The route's point at the low or high end where it goes on beyond the run; -1 at the
    // route's end, a cut or a jog.
    qsizetype cornerLow = -1;
    qsizetype cornerHigh = -1;
    // A piece of a cut segment: its low or high end is a cut, not a corner of the route.
    bool cutLow = false;
    bool cutHigh = false;
};

// The route's corners beyond the two ends of a run and how far the run must keep from
// each.
struct RunEnds
{
    QPointF lowNeighbour;
    QPointF highNeighbour;
    double lowLeg = 0;
    double highLeg = 0;
    bool lowIsEnd = false; // the low end is the route's anchor: nothing to keep from
    bool highIsEnd = false;
};

double acrossOf(const QPointF &p, bool vertical)
{
    return vertical ? p.x() : p.y();
}

double alongOf(const QPointF &p, bool vertical)
{
    return vertical ? p.y() : p.x();
}

// Boxes by grid cell, so that each segment looks only at the boxes around it.
class BoxGrid
{
public:
    explicit BoxGrid(const QList<QRectF> &boxes) : m_boxes(boxes)
    {
        for (const QRectF &b : boxes) {
            if (std::isfinite(b.x()) && std::isfinite(b.y()) && std::isfinite(b.width()) && std::isfinite(b.height()))
                m_bounds = m_bounds.isNull() ? b : m_bounds.united(b);
        }
        if (m_bounds.isNull())
            return;
        m_columns = int(m_bounds.width() / GridCell) + 1;
        m_rows = int(m_bounds.height() / GridCell) + 1;
        m_cells.resize(std::size_t(m_columns) * m_rows);
        m_seen.assign(boxes.size(), 0);
        for (qsizetype i = 0; i < boxes.size(); ++i) {
            const QRectF &b = boxes[i];
            if (!m_bounds.contains(b.center()))
                continue;
            for (int y = row(b.top()); y <= row(b.bottom()); ++y) {
                for (int x = column(b.left()); x <= column(b.right()); ++x)
                    m_cells[std::size_t(y) * m_columns + x].push_back(int(i));
            }
        }
    }

    // Indices of the boxes meeting region (closed), in ascending order.
    std::vector<int> meeting(const QRectF &region) const
    {
        std::vector<int> found;
        if (m_cells.empty() || region.right() < m_bounds.left() || region.left() > m_bounds.right()
            || region.bottom() < m_bounds.top() || region.top() > m_bounds.bottom())
            return found;
        ++m_stamp;
        for (int y = row(region.top()); y <= row(region.bottom()); ++y) {
            for (int x = column(region.left()); x <= column(region.right()); ++x) {
                for (int i : m_cells[std::size_t(y) * m_columns + x]) {
                    if (m_seen[i] == m_stamp)
                        continue;
                    m_seen[i] = m_stamp;
                    const QRectF &b = m_boxes[i];
                    if (b.left() <= region.right() && region.left() <= b.right() && b.top() <= region.bottom()
                        && region.top() <= b.bottom())
                        found.push_back(i);
                }
            }
        }
        std::sort(found.begin(), found.end());
        return found;
    }

    const QRectF &box(int i) const { return m_boxes[i]; }

private:
    int column(double x) const
    {
        return int(std::clamp((x - m_bounds.left()) / GridCell, 0.0, double(m_columns - 1)));
    }
    int row(double y) const { return int(std::clamp((y - m_bounds.top()) / GridCell, 0.0, double(m_rows - 1))); }

    const QList<QRectF> &m_boxes;
    QRectF m_bounds;
    int m_columns = 0;
    int m_rows = 0;
    std::vector<std::vector<int>> m_cells;
    mutable std::vector<unsigned> m_seen;
    mutable unsigned m_stamp = 0;
};

int turnTowards(double across, const QPointF &neighbour, bool vertical)
{
    const double d = acrossOf(neighbour, vertical) - across;
    return std::abs(d) < AxisTolerance ? 0 : d > 0 ? 1 : -1;
}

// Narrows [minAcross, maxAcross] so that moving the run never folds the route back over
// the neighbouring corner at point k.
bool keepBeforeNeighbour(Run &run, const QPointF &neighbour, bool vertical, double leg)
{
    const double n = acrossOf(neighbour, vertical);
    if (std::abs(n - run.across) < AxisTolerance)
        return false;
    if (n < run.across)
        run.minAcross = std::max(run.minAcross, n + leg);
    else
        run.maxAcross = std::min(run.maxAcross, n - leg);
    return true;
}

// Narrows the run's room to the free space between the boxes beside it.
bool keepOutOfBoxes(Run &run, const BoxGrid &grid, bool vertical)
{
    const QRectF reach = vertical ? QRectF(QPointF(run.across - MaxShift, run.low), QPointF(run.across + MaxShift, run.high))
                                  : QRectF(QPointF(run.low, run.across - MaxShift), QPointF(run.high, run.across + MaxShift));
    for (int i : grid.meeting(reach)) {
        const QRectF &b = grid.box(i);
        const double lowEdge = vertical ? b.left() : b.top();
        const double highEdge = vertical ? b.right() : b.bottom();
        if (highEdge <= run.across)
            run.minAcross = std::max(run.minAcross, highEdge + BoxClearance);
        else if (lowEdge >= run.across)
            run.maxAcross = std::min(run.maxAcross, lowEdge - BoxClearance);
        else
            return false; // through a box already: leave it to the caller's check
    }
    return true;
}

// The first or last segment of a route, with p its anchor, split where it may jog: the
// stub at the box stays, the rest may move. False when it is too short for that.
bool splitAtJog(const routing::Route &route, qsizetype s, bool vertical, Run &stub, Run &rest)
{
    const qsizetype n = route.size();
    const bool first = s == 0;
    if (n < 3)
        return false;
    const QPointF &anchor = first ? route[0] : route[n - 1];
    const QPointF &corner = first ? route[1] : route[n - 2];
    const double from = alongOf(anchor, vertical);
    const double to = alongOf(corner, vertical);
    if (std::abs(to - from) < JogDistance + MinLeg)
        return false;
    const double jog = from + (to > from ? JogDistance : -JogDistance);
    stub.low = std::min(from, jog);
    stub.high = std::max(from, jog);
    rest.low = std::min(jog, to);
    rest.high = std::max(jog, to);
    rest.jog = first ? Jog::AtStart : Jog::AtEnd;
    return true;
}

// The room of a run: between its corners (a cut end has none) and the boxes beside it.
// False when it may not move.
bool fitRoom(Run &run, const RunEnds &ends, const BoxGrid &grid, bool vertical)
{
    run.minAcross = run.across - MaxShift;
    run.maxAcross = run.across + MaxShift;
    const bool keepsLow = run.cutLow || ends.lowIsEnd || keepBeforeNeighbour(run, ends.lowNeighbour, vertical, ends.lowLeg);
    const bool keepsHigh = run.cutHigh || ends.highIsEnd || keepBeforeNeighbour(run, ends.highNeighbour, vertical, ends.highLeg);
    return keepsLow && keepsHigh && keepOutOfBoxes(run, grid, vertical);
}

double cappedRoom(const Run &run)
{
    return std::min(run.maxAcross - run.minAcross, RoomCap);
}

// Places along the run where a jog may cross its line: the middle of each stretch where
// no box lies within the run's reach across, away from the run's ends.
std::vector<double> cutPlaces(const Run &run, const BoxGrid &grid, bool vertical)
{
    const QRectF reach = vertical ? QRectF(QPointF(run.across - MaxShift, run.low), QPointF(run.across + MaxShift, run.high))
                                  : QRectF(QPointF(run.low, run.across - MaxShift), QPointF(run.high, run.across + MaxShift));
    std::vector<std::pair<double, double>> taken;
    for (int i : grid.meeting(reach)) {
        const QRectF &b = grid.box(i);
        taken.emplace_back((vertical ? b.top() : b.left()) - BoxClearance, (vertical ? b.bottom() : b.right()) + BoxClearance);
    }
    std::sort(taken.begin(), taken.end());
    std::vector<double> places;
    double freeFrom = run.low + MinLeg;
    const auto offer = [&](double freeTo) {
        if (freeTo - freeFrom > 2 * MinLeg)
            places.push_back((freeFrom + freeTo) / 2);
    };
    for (const auto &[from, to] : taken) {
        offer(std::min(from, run.high - MinLeg));
        freeFrom = std::max(freeFrom, to);
    }
    offer(run.high - MinLeg);
    return places;
}

// A run pressed between boxes, cut into pieces that each have more room; the run alone
// when no cut gives any piece more.
std::vector<Run> cutNarrowRun(const Run &run, const RunEnds &ends, const BoxGrid &grid, bool vertical)
{
    std::vector<Run> pieces{run};
    const std::vector<double> places = cutPlaces(run, grid, vertical);
    for (int cut = 0; cut < MaxSplits; ++cut) {
        double bestGain = 1;
        std::size_t bestPiece = 0;
        Run bestLow;
        Run bestHigh;
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            const Run &piece = pieces[k];
            if (piece.maxAcross - piece.minAcross >= NarrowRoom)
                continue;
            for (double at : places) {
                if (at <= piece.low + MinLeg || at >= piece.high - MinLeg)
                    continue;
                Run low = piece;
                Run high = piece;
                low.high = at;
                low.cutHigh = true;
                low.turnHigh = 0;
                low.cornerHigh = -1;
                high.low = at;
                high.cutLow = true;
                high.turnLow = 0;
                high.cornerLow = -1;
                if (!fitRoom(low, ends, grid, vertical) || !fitRoom(high, ends, grid, vertical))
                    continue;
                const double gain = cappedRoom(low) + cappedRoom(high) - 2 * std::max(0.0, cappedRoom(piece));
                if (gain > bestGain) {
                    bestGain = gain;
                    bestPiece = k;
                    bestLow = low;
                    bestHigh = high;
                }
            }
        }
        if (bestGain <= 1)
            break;
        pieces[bestPiece] = bestLow;
        pieces.insert(pieces.begin() + bestPiece + 1, bestHigh);
    }
    return pieces;
}

// mayCut: whether narrow runs may be cut into pieces; the last round does not, so that
// the jogs it would add keep no one else's line.
std::vector<Run> collectRuns(const QList<routing::Route> &routes, const BoxGrid &grid, bool vertical, bool mayCut)
{
    std::vector<Run> runs;
    for (qsizetype r = 0; r < routes.size(); ++r) {
        const routing::Route &route = routes[r];
        const qsizetype n = route.size();
        for (qsizetype s = 0; s + 1 < n; ++s) {
            const QPointF &p = route[s];
            const QPointF &q = route[s + 1];
            if (std::abs(acrossOf(q, vertical) - acrossOf(p, vertical)) >= AxisTolerance
                || std::abs(alongOf(q, vertical) - alongOf(p, vertical)) < AxisTolerance)
                continue;
            Run run;
            run.route = int(r);
            run.segment = int(s);
            run.across = acrossOf(p, vertical);
            const bool pLow = alongOf(p, vertical) < alongOf(q, vertical);
            run.low = std::min(alongOf(p, vertical), alongOf(q, vertical));
            run.high = std::max(alongOf(p, vertical), alongOf(q, vertical));
            const int turnP = s > 0 ? turnTowards(run.across, route[s - 1], vertical) : 0;
            const int turnQ = s + 2 < n ? turnTowards(run.across, route[s + 2], vertical) : 0;
            run.turnLow = pLow ? turnP : turnQ;
            run.turnHigh = pLow ? turnQ : turnP;
            const qsizetype cornerP = s > 0 ? s : -1;
            const qsizetype cornerQ = s + 2 < n ? s + 1 : -1;
            run.cornerLow = pLow ? cornerP : cornerQ;
            run.cornerHigh = pLow ? cornerQ : cornerP;
            run.minAcross = run.across - MaxShift;
            run.maxAcross = run.across + MaxShift;

            const bool inner = s >= 1 && s + 2 < n;
            Run stub = run;
            if (!inner && splitAtJog(route, s, vertical, stub, run)) {
                stub.minAcross = stub.maxAcross = stub.across;
                // The stub stays on the line; only the rest turns off it, so the stub sorts
                // between the runs that leave the line to either side.
                stub.turnLow = stub.turnHigh = 0;
                stub.cornerLow = stub.cornerHigh = -1;
                runs.push_back(stub);
            }
            RunEnds ends;
            const bool startIsEnd = s == 0;
            const bool finishIsEnd = s + 2 == n;
            const QPointF start = startIsEnd ? p : route[s - 1];
            const QPointF finish = finishIsEnd ? q : route[s + 2];
            const double startLeg = s == 1 ? StubLength : MinLeg;
            const double finishLeg = s + 2 == n - 1 ? StubLength : MinLeg;
            ends.lowNeighbour = pLow ? start : finish;
            ends.highNeighbour = pLow ? finish : start;
            ends.lowLeg = pLow ? startLeg : finishLeg;
            ends.highLeg = pLow ? finishLeg : startLeg;
            ends.lowIsEnd = pLow ? startIsEnd : finishIsEnd;
            ends.highIsEnd = pLow ? finishIsEnd : startIsEnd;
            run.movable = (inner || run.jog != Jog::None) && fitRoom(run, ends, grid, vertical);
            std::vector<Run> pieces{run};
            if (mayCut && inner && run.movable && run.maxAcross - run.minAcross < NarrowRoom)
                pieces = cutNarrowRun(run, ends, grid, vertical);
            for (Run &piece : pieces) {
                // A run already closer to something than its margin may stay where it is.
                piece.minAcross = piece.movable ? std::min(piece.minAcross, piece.across) : piece.across;
                piece.maxAcross = piece.movable ? std::max(piece.maxAcross, piece.across) : piece.across;
                runs.push_back(piece);
            }
        }
    }
    return runs;
}

// A route followed from one end of a run on, away from the run.
struct Walk
{
    const routing::Route *route = nullptr; // null: the end is a cut, a jog or the route's end
    qsizetype at = 0;
    int step = 0;
    double end = 0; // how far along the walk the run ends, when there is no route to follow
};

QPointF axisStep(const QPointF &from, const QPointF &to)
{
    const QPointF d = to - from;
    if (std::abs(d.x()) < AxisTolerance && std::abs(d.y()) < AxisTolerance)
        return {};
    return std::abs(d.x()) >= std::abs(d.y()) ? QPointF(d.x() > 0 ? 1 : -1, 0) : QPointF(0, d.y() > 0 ? 1 : -1);
}

double dot(const QPointF &a, const QPointF &b)
{
    return a.x() * b.x() + a.y() * b.y();
}

// +1 when v points to one side of the heading t, -1 to the other, 0 when v is null. Two
// lines side by side keep their sides of each other through every corner they turn together.
int sideOfHeading(const QPointF &t, const QPointF &v)
{
    const double c = t.x() * v.y() - t.y() * v.x();
    return c > 0 ? 1 : c < 0 ? -1 : 0;
}

// Moves the walk on along t to the point where its route turns and returns the direction
// it turns to; null where it ends or folds back.
QPointF toNextTurn(Walk &w, const QPointF &t)
{
    if (!w.route)
        return {};
    const routing::Route &route = *w.route;
    for (;;) {
        const qsizetype next = w.at + w.step;
        if (next < 0 || next >= route.size())
            return {};
        const QPointF d = axisStep(route[w.at], route[next]);
        if (!d.isNull() && d != t)
            return d == -t ? QPointF() : d;
        w.at = next;
    }
}

double reached(const Walk &w, const QPointF &t)
{
    return w.route ? dot((*w.route)[w.at], t) : w.end;
}

// Where two lines on one line heading t part: the side of b that a lies on, as
// sideOfHeading gives it, and the corner where they part. A line that turns off first
// lies on the side it turns to; two that turn together at one corner are followed on. 0
// when one ends first or at the same place.
std::pair<int, QPointF> whereLinesPart(Walk a, Walk b, QPointF t)
{
    constexpr int MaxCorners = 64; // no route turns this often; a bound all the same
    for (int corner = 0; corner < MaxCorners; ++corner) {
        const QPointF ta = toNextTurn(a, t);
        const QPointF tb = toNextTurn(b, t);
        const double ea = reached(a, t);
        const double eb = reached(b, t);
        if (ea < eb - AxisTolerance)
            return {sideOfHeading(t, ta), a.route ? (*a.route)[a.at] : QPointF()};
        if (eb < ea - AxisTolerance)
            return {-sideOfHeading(t, tb), b.route ? (*b.route)[b.at] : QPointF()};
        if (ta.isNull() || tb.isNull())
            return {0, {}};
        if (ta != tb)
            return {sideOfHeading(t, ta), (*a.route)[a.at]};
        t = ta;
    }
    return {0, {}};
}

Walk walkFrom(const Run &r, bool high, const QList<routing::Route> &routes)
{
    Walk w;
    const qsizetype corner = high ? r.cornerHigh : r.cornerLow;
    if (corner < 0) {
        w.end = high ? r.high : -r.low;
        return w;
    }
    w.route = &routes[r.route];
    w.at = corner;
    // The run's other point is the one before the corner on the way out.
    w.step = corner == r.segment ? -1 : 1;
    return w;
}

bool lessPoint(const QPointF &a, const QPointF &b)
{
    return a.x() != b.x() ? a.x() < b.x() : a.y() < b.y();
}

// -1 when run a should lie below run b across so that their lines do not cross past the
// ends of the run, +1 above, 0 when either will do. Where the two ends ask for opposite
// sides a crossing is due anyway: the corner where the lines part first, in a fixed order
// of points, decides, so that every run the two lines share decides alike.
int sideAcross(const Run &a, const Run &b, const QList<routing::Route> &routes, bool vertical)
{
    const QPointF along = vertical ? QPointF(0, 1) : QPointF(1, 0);
    const QPointF across = vertical ? QPointF(1, 0) : QPointF(0, 1);
    std::pair<int, QPointF> side[2];
    for (const bool high : {false, true}) {
        const QPointF t = high ? along : -along;
        const std::pair<int, QPointF> part
            = whereLinesPart(walkFrom(a, high, routes), walkFrom(b, high, routes), t);
        side[high] = {part.first * sideOfHeading(t, across), part.second};
    }
    if (side[0].first == 0 || side[0].first == side[1].first)
        return side[1].first;
    if (side[1].first == 0)
        return side[0].first;
    return lessPoint(side[1].second, side[0].second) ? side[1].first : side[0].first;
}

// The runs of one line (within 0.5), given in a fallback order, in an order across in
// which each two that overlap lie on the side sideAcross asks for where that is possible
// (a line that asks for both sides of another through others gives way where it asks
// least); otherwise in the fallback order.
void orderOnOneLine(std::vector<int>::iterator first, std::vector<int>::iterator last, const std::vector<Run> &runs,
                    const QList<routing::Route> &routes, bool vertical)
{
    const std::vector<int> given(first, last);
    const std::size_t n = given.size();
    std::vector<std::vector<int>> after(n);
    std::vector<int> before(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        const Run &a = runs[given[i]];
        for (std::size_t j = i + 1; j < n; ++j) {
            const Run &b = runs[given[j]];
            if (a.route == b.route || std::min(a.high, b.high) - std::max(a.low, b.low) <= AxisTolerance)
                continue;
            const int side = sideAcross(a, b, routes, vertical);
            if (side < 0) {
                after[i].push_back(int(j));
                ++before[j];
            } else if (side > 0) {
                after[j].push_back(int(i));
                ++before[i];
            }
        }
    }
    std::vector<bool> placed(n, false);
    for (std::size_t k = 0; k < n; ++k) {
        // The first in the fallback order with nothing left to go before it; on a cycle,
        // the one with least.
        std::size_t next = n;
        for (std::size_t i = 0; i < n; ++i) {
            if (!placed[i] && (next == n || before[i] < before[next]))
                next = i;
        }
        placed[next] = true;
        for (int j : after[next])
            --before[j];
        *(first + k) = given[next];
    }
}

// Runs in order across; runs on one line (within 0.5) ordered by where their routes go on
// past each end, so that they do not cross to get there.
std::vector<int> orderAcross(const std::vector<Run> &runs, const QList<routing::Route> &routes, bool vertical)
{
    std::vector<int> order(runs.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return runs[a].across < runs[b].across; });
    for (std::size_t start = 0; start < order.size();) {
        std::size_t end = start + 1;
        while (end < order.size() && runs[order[end]].across - runs[order[start]].across < AxisTolerance)
            ++end;
        if (end - start < 2) {
            start = end;
            continue;
        }
        double low = runs[order[start]].low;
        double high = runs[order[start]].high;
        for (std::size_t k = start; k < end; ++k) {
            low = std::min(low, runs[order[k]].low);
            high = std::max(high, runs[order[k]].high);
        }
        // The fallback: a route that leaves the line earlier towards one side runs on
        // that side.
        const double big = high - low + 1;
        const auto key = [&](const Run &r) {
            return r.turnLow * (big + (r.low - low)) + r.turnHigh * (big + (high - r.high));
        };
        std::stable_sort(order.begin() + start, order.begin() + end, [&](int a, int b) {
            const double ka = key(runs[a]);
            const double kb = key(runs[b]);
            if (ka != kb)
                return ka < kb;
            return runs[a].route < runs[b].route;
        });
        orderOnOneLine(order.begin() + start, order.begin() + end, runs, routes, vertical);
        start = end;
    }
    return order;
}

struct RunPair
{
    int first = 0; // before second in the order across
    int second = 0;
    friend bool operator<(const RunPair &a, const RunPair &b)
    {
        return a.first != b.first ? a.first < b.first : a.second < b.second;
    }
    friend bool operator==(const RunPair &a, const RunPair &b) { return a.first == b.first && a.second == b.second; }
};

// Pairs of runs that overlap along their length and are neighbours in the order across
// at some point of a sweep along: every two overlapping runs are joined through such
// pairs, so keeping each pair apart keeps them all apart.
std::vector<RunPair> neighbourPairs(const std::vector<Run> &runs, const std::vector<int> &rank)
{
    struct Event
    {
        double at;
        bool opens;
        int run;
    };
    std::vector<Event> events;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (runs[i].high - runs[i].low <= 2 * AxisTolerance)
            continue;
        events.push_back({runs[i].low + AxisTolerance, true, int(i)});
        events.push_back({runs[i].high - AxisTolerance, false, int(i)});
    }
    std::stable_sort(events.begin(), events.end(), [](const Event &a, const Event &b) {
        if (a.at != b.at)
            return a.at < b.at;
        return !a.opens && b.opens;
    });
    const auto byRank = [&](int a, int b) { return rank[a] < rank[b]; };
    std::set<int, decltype(byRank)> scan(byRank);
    std::vector<RunPair> pairs;
    const auto pair = [&](int a, int b) { pairs.push_back({a, b}); };
    for (const Event &e : events) {
        if (e.opens) {
            const auto at = scan.insert(e.run).first;
            if (at != scan.begin())
                pair(*std::prev(at), e.run);
            if (std::next(at) != scan.end())
                pair(e.run, *std::next(at));
        } else {
            const auto at = scan.find(e.run);
            if (at != scan.begin() && std::next(at) != scan.end())
                pair(*std::prev(at), *std::next(at));
            scan.erase(at);
        }
    }
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    return pairs;
}

// Runs joined into groups; each group is named by its smallest member.
using RunGroups = routing::UnionFind;

// The runs' positions across: each pair a gap apart (two runs that stay where they are
// keep at most the distance they have), each movable run within its room. Variables are
// the runs followed by two walls per run that hold its room.
class TrackProblem
{
public:
    TrackProblem(const std::vector<Run> &runs, const std::vector<int> &order, const std::vector<RunPair> &pairs)
        : m_runs(runs)
        , m_pairs(pairs)
        , m_gaps(pairs.size(), TrackSpacing)
    {
        const int n = int(runs.size());
        for (const Run &r : runs) {
            m_desired.append(r.across);
            m_weights.append(!r.movable ? Pinned : r.jog == Jog::None ? 1 : JogWeight);
        }
        for (const Run &r : runs) {
            m_desired.append(r.minAcross);
            m_weights.append(Pinned);
        }
        for (const Run &r : runs) {
            m_desired.append(r.maxAcross);
            m_weights.append(Pinned);
        }
        // Each run follows its low wall; the high walls come last, from the far end back.
        // The solver only merges blocks, never splits them: a high wall taken in before
        // the runs beyond it would hold the whole chain those runs push against it.
        for (int i : order)
            m_order << n + i << i;
        for (auto i = order.crbegin(); i != order.crend(); ++i)
            m_order << 2 * n + *i;
    }

    // Solves, narrowing the gaps where runs are pressed out of their room, and returns the
    // positions of the runs, each within its room.
    std::vector<double> solve()
    {
        const int n = int(m_runs.size());
        std::vector<double> placed(n);
        for (int attempt = 0; attempt < Attempts; ++attempt) {
            const QList<double> solved = solveSeparation(m_desired, constraints(), m_weights, m_order);
            for (int i = 0; i < n; ++i)
                placed[i] = solved[i];
            if (!narrowPressedGaps(placed))
                break;
        }
        // The walls weigh much but not infinitely: a run pressed against one stands a hair
        // beyond it.
        std::vector<int> stillPressed;
        for (int i = 0; i < n; ++i) {
            if (pressed(i, placed[i]))
                stillPressed.push_back(i);
            placed[i] = std::clamp(placed[i], m_runs[i].minAcross, m_runs[i].maxAcross);
        }
        settle(stillPressed, placed);
        return placed;
    }

private:
    static constexpr double Pinned = 1e6;
    static constexpr double Give = 0.01;
    static constexpr int Attempts = 7;

    // Runs that no spacing fitted into their room would stand on its edge together: each
    // takes the place nearest to that edge that is clear of every run beside it instead,
    // even at the cost of the order across.
    void settle(const std::vector<int> &runs, std::vector<double> &placed) const
    {
        if (runs.empty())
            return;
        for (int i : runs) {
            const Run &r = m_runs[i];
            std::vector<double> taken;
            for (std::size_t j = 0; j < m_runs.size(); ++j) {
                const Run &o = m_runs[j];
                if (int(j) != i && placed[j] >= r.minAcross - MinSpacing && placed[j] <= r.maxAcross + MinSpacing
                    && std::min(r.high, o.high) - std::max(r.low, o.low) > AxisTolerance)
                    taken.push_back(placed[j]);
            }
            const auto clear = [&](double at) {
                return std::all_of(taken.cbegin(), taken.cend(), [&](double t) { return std::abs(t - at) >= MinSpacing; });
            };
            if (clear(placed[i]))
                continue;
            std::vector<double> options;
            for (double t : taken) {
                options.push_back(t - MinSpacing);
                options.push_back(t + MinSpacing);
            }
            double best = placed[i];
            double bestDistance = std::numeric_limits<double>::infinity();
            for (double at : options) {
                if (at < r.minAcross || at > r.maxAcross || !clear(at))
                    continue;
                const double distance = std::abs(at - placed[i]);
                if (distance < bestDistance) {
                    best = at;
                    bestDistance = distance;
                }
            }
            placed[i] = best;
        }
    }

    bool pressed(int i, double at) const
    {
        return at < m_runs[i].minAcross - Give || at > m_runs[i].maxAcross + Give;
    }

    // Halves every gap of a chain of runs held at their gaps that presses a run out of its
    // room; false when no run is pressed.
    bool narrowPressedGaps(const std::vector<double> &placed)
    {
        const int n = int(m_runs.size());
        RunGroups chain(n);
        const auto find = [&](int i) { return chain.find(i); };
        for (std::size_t p = 0; p < m_pairs.size(); ++p) {
            const int a = m_pairs[p].first;
            const int b = m_pairs[p].second;
            if (placed[b] - placed[a] <= m_gaps[p] + Give)
                chain.join(a, b);
        }
        std::vector<bool> squeezed(n, false);
        bool any = false;
        for (int i = 0; i < n; ++i) {
            if (pressed(i, placed[i])) {
                squeezed[find(i)] = true;
                any = true;
            }
        }
        for (std::size_t p = 0; p < m_pairs.size(); ++p) {
            if (squeezed[find(m_pairs[p].first)])
                m_gaps[p] = std::max(MinSpacing, m_gaps[p] / 2);
        }
        return any;
    }

    QList<SeparationConstraint> constraints() const
    {
        const int n = int(m_runs.size());
        QList<SeparationConstraint> list;
        for (std::size_t p = 0; p < m_pairs.size(); ++p) {
            const Run &a = m_runs[m_pairs[p].first];
            const Run &b = m_runs[m_pairs[p].second];
            // Segments of one route, two that may not move, and a first or last segment
            // already clear of the other keep the order they have but are not pushed apart.
            const double distance = std::max(0.0, b.across - a.across);
            const bool jogs = a.jog != Jog::None || b.jog != Jog::None;
            const bool apart = (a.movable || b.movable) && a.route != b.route && !(jogs && distance >= JogWithin);
            const double gap = apart ? m_gaps[p] : std::min(m_gaps[p], distance);
            list.append({m_pairs[p].first, m_pairs[p].second, gap});
        }
        for (int i = 0; i < n; ++i) {
            list.append({n + i, i, 0});
            list.append({i, 2 * n + i, 0});
        }
        return list;
    }

    const std::vector<Run> &m_runs;
    const std::vector<RunPair> &m_pairs;
    std::vector<double> m_gaps;
    QList<double> m_desired;
    QList<double> m_weights;
    QList<int> m_order;
};

// The runs' positions across, each group of runs joined through pairs solved on its own:
// only the groups pressed out of their room take the solver's further attempts.
std::vector<double> solveByComponent(const std::vector<Run> &runs, const std::vector<int> &order,
                                     const std::vector<RunPair> &pairs)
{
    const int n = int(runs.size());
    RunGroups groups(n);
    const auto find = [&](int i) { return groups.find(i); };
    for (const RunPair &p : pairs)
        groups.join(p.first, p.second);
    // Members of each group in the order across, and the pairs of each group.
    std::vector<int> local(n);
    std::vector<std::vector<int>> members(n);
    for (int i : order) {
        const int root = find(i);
        local[i] = int(members[root].size());
        members[root].push_back(i);
    }
    std::vector<std::vector<RunPair>> groupPairs(n);
    for (const RunPair &p : pairs)
        groupPairs[find(p.first)].push_back({local[p.first], local[p.second]});

    std::vector<double> placed(n);
    for (int i = 0; i < n; ++i)
        placed[i] = runs[i].across;
    for (int root = 0; root < n; ++root) {
        const std::vector<int> &group = members[root];
        if (group.size() < 2)
            continue;
        std::vector<Run> groupRuns;
        groupRuns.reserve(group.size());
        for (int i : group)
            groupRuns.push_back(runs[i]);
        std::vector<int> groupOrder(group.size());
        std::iota(groupOrder.begin(), groupOrder.end(), 0);
        std::vector<RunPair> &gp = groupPairs[root];
        std::sort(gp.begin(), gp.end());
        const std::vector<double> solved = TrackProblem(groupRuns, groupOrder, gp).solve();
        for (std::size_t k = 0; k < group.size(); ++k)
            placed[group[k]] = solved[k];
    }
    return placed;
}

// Moves a first or last segment but for its stub to across, with a jog between the two.
void addJog(routing::Route &route, const Run &run, double across, bool vertical)
{
    const bool atStart = run.jog == Jog::AtStart;
    const qsizetype anchor = atStart ? 0 : route.size() - 1;
    const qsizetype corner = atStart ? 1 : route.size() - 2;
    const double towards = alongOf(route[corner], vertical) > alongOf(route[anchor], vertical) ? 1 : -1;
    const double jogAlong = alongOf(route[anchor], vertical) + towards * JogDistance;
    const auto point = [&](double acrossAt) {
        return vertical ? QPointF(acrossAt, jogAlong) : QPointF(jogAlong, acrossAt);
    };
    (vertical ? route[corner].rx() : route[corner].ry()) = across;
    const QPointF onStub = point(run.across);
    const QPointF moved = point(across);
    if (atStart) {
        route.insert(1, moved);
        route.insert(1, onStub);
    } else {
        route.insert(route.size() - 1, moved);
        route.insert(route.size() - 1, onStub);
    }
}

// Moves the pieces of a cut segment, from runs[first] on, to where they were placed and
// joins each two with a jog at their cut.
void addCuts(routing::Route &route, const std::vector<Run> &runs, const std::vector<double> &placed,
             std::size_t first, bool vertical)
{
    std::size_t last = first;
    while (runs[last].cutHigh)
        ++last;
    const int s = runs[first].segment;
    const auto point = [&](double along, double across) {
        return vertical ? QPointF(across, along) : QPointF(along, across);
    };
    routing::Route jogs;
    for (std::size_t k = first; k < last; ++k) {
        jogs.append(point(runs[k].high, placed[k]));
        jogs.append(point(runs[k + 1].low, placed[k + 1]));
    }
    const bool fromLow = alongOf(route[s], vertical) < alongOf(route[s + 1], vertical);
    (vertical ? route[s].rx() : route[s].ry()) = placed[fromLow ? first : last];
    (vertical ? route[s + 1].rx() : route[s + 1].ry()) = placed[fromLow ? last : first];
    if (!fromLow)
        std::reverse(jogs.begin(), jogs.end());
    for (qsizetype k = 0; k < jogs.size(); ++k)
        route.insert(s + 1 + k, jogs[k]);
}

// Moves the runs of one orientation; true when anything moved.
bool separateAlong(QList<routing::Route> &routes, const BoxGrid &grid, bool vertical, bool mayCut)
{
    const std::vector<Run> runs = collectRuns(routes, grid, vertical, mayCut);
    if (runs.size() < 2)
        return false;
    const std::vector<int> order = orderAcross(runs, routes, vertical);
    std::vector<int> rank(runs.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        rank[order[k]] = int(k);
    const std::vector<RunPair> pairs = neighbourPairs(runs, rank);
    const std::vector<double> placed = solveByComponent(runs, order, pairs);
    // Inner runs only change coordinates; jogs and cuts add points, from a route's end
    // backwards so that the indices of those before still hold.
    bool moved = false;
    struct Insertion
    {
        int route = 0;
        int after = 0; // index of the point the new ones follow
        std::size_t run = 0; // the jog's run, or the first piece of a cut segment
    };
    std::vector<Insertion> insertions;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Run &r = runs[i];
        if (r.cutHigh && !r.cutLow) {
            std::size_t last = i;
            while (runs[last].cutHigh)
                ++last;
            bool any = false;
            for (std::size_t k = i; k <= last; ++k)
                any = any || (runs[k].movable && std::abs(placed[k] - runs[k].across) >= 1e-9);
            if (any) {
                moved = true;
                insertions.push_back({r.route, r.segment, i});
            }
            i = last;
            continue;
        }
        const double shift = std::abs(placed[i] - r.across);
        if (!r.movable || shift < 1e-9 || (r.jog != Jog::None && shift < SmallestJog))
            continue;
        moved = true;
        if (r.jog != Jog::None) {
            insertions.push_back({r.route, r.jog == Jog::AtStart ? 0 : int(routes[r.route].size()) - 2, i});
            continue;
        }
        routing::Route &route = routes[r.route];
        for (int p : {r.segment, r.segment + 1})
            (vertical ? route[p].rx() : route[p].ry()) = placed[i];
    }
    std::stable_sort(insertions.begin(), insertions.end(), [](const Insertion &a, const Insertion &b) {
        return a.route != b.route ? a.route < b.route : a.after > b.after;
    });
    for (const Insertion &at : insertions) {
        const Run &r = runs[at.run];
        if (r.jog != Jog::None)
            addJog(routes[r.route], r, placed[at.run], vertical);
        else
            addCuts(routes[r.route], runs, placed, at.run, vertical);
    }
    return moved;
}

} // namespace

QList<routing::Route> separateParallelSegments(const QList<routing::Route> &routes, const QList<QRectF> &boxes)
{

    QList<routing::Route> separated = routes;
    const BoxGrid grid(boxes);
    for (int round = 0; round < Rounds; ++round) {
        const bool mayCut = round + 1 < Rounds;
        const bool movedVertical = separateAlong(separated, grid, true, mayCut);
        const bool movedHorizontal = separateAlong(separated, grid, false, mayCut);
        if (!movedVertical && !movedHorizontal)
            break;
    }
    return separated;
}

QList<int> routesSharingTracks(const QList<routing::Route> &routes)
{
    struct Piece
    {
        double across = 0;
        double low = 0;
        double high = 0;
        int route = 0;
    };
    std::vector<int> later;
    for (const bool vertical : {true, false}) {
        std::vector<Piece> pieces;
        for (qsizetype r = 0; r < routes.size(); ++r) {
            const routing::Route &route = routes[r];
            for (qsizetype k = 0; k + 1 < route.size(); ++k) {
                const QPointF &p = route[k];
                const QPointF &q = route[k + 1];
                const double low = std::min(alongOf(p, vertical), alongOf(q, vertical));
                const double high = std::max(alongOf(p, vertical), alongOf(q, vertical));
                if (std::abs(acrossOf(q, vertical) - acrossOf(p, vertical)) < AxisTolerance && high - low > LongRun)
                    pieces.push_back({acrossOf(p, vertical), low, high, int(r)});
            }
        }
        std::sort(pieces.begin(), pieces.end(), [](const Piece &a, const Piece &b) {
            return a.across != b.across ? a.across < b.across : a.route < b.route;
        });
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            for (std::size_t j = i + 1; j < pieces.size() && pieces[j].across - pieces[i].across <= AxisTolerance; ++j) {
                const Piece &a = pieces[i];
                const Piece &b = pieces[j];
                if (a.route != b.route && std::min(a.high, b.high) - std::max(a.low, b.low) > LongRun)
                    later.push_back(std::max(a.route, b.route));
            }
        }
    }
    std::sort(later.begin(), later.end());
    later.erase(std::unique(later.begin(), later.end()), later.end());
    return QList<int>(later.cbegin(), later.cend());
}

} // namespace layout
