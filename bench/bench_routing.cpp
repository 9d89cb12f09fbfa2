// Router workloads: routeForSides over all side pairs of box pairs in a large diagram.
#include "bench.h"

#include "obstaclefilter.h"
#include "routecandidates.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

// Raw 64-bit Mersenne Twister output mapped to ranges by hand, so that the layout is the
// same with every standard library.
class SeededRandom
{
public:
    explicit SeededRandom(std::uint64_t seed) : m_engine(seed) {}
    double uniform(double low, double high) { return low + (m_engine() >> 11) * 0x1.0p-53 * (high - low); }
    int below(int count) { return int(uniform(0, count)); }

private:
    std::mt19937_64 m_engine;
};

constexpr int Columns = 20;
constexpr int Rows = 15;

QList<QRectF> gridOfBoxes(SeededRandom &random)
{
    constexpr double PitchX = 340;
    constexpr double PitchY = 300;
    QList<QRectF> boxes;
    for (int row = 0; row < Rows; ++row) {
        for (int column = 0; column < Columns; ++column) {
            const double w = random.uniform(140, 260);
            const double h = random.uniform(60, 200);
            const double x = column * PitchX + (PitchX - w) / 2 + random.uniform(-30, 30);
            const double y = row * PitchY + (PitchY - h) / 2 + random.uniform(-30, 30);
            boxes.append(QRectF(x, y, w, h));
        }
    }
    return boxes;
}

// Mostly neighbours in the grid (diagonals included), some pairs from anywhere.
QList<std::pair<int, int>> boxPairs(SeededRandom &random, int count)
{
    QList<std::pair<int, int>> pairs;
    while (pairs.size() < count) {
        const int from = random.below(Columns * Rows);
        int to;
        if (random.uniform(0, 1) < 0.85) {
            const int column = from % Columns + random.below(3) - 1;
            const int row = from / Columns + random.below(3) - 1;
            if (column < 0 || column >= Columns || row < 0 || row >= Rows)
                continue;
            to = row * Columns + column;
        } else {
            to = random.below(Columns * Rows);
        }
        if (to != from)
            pairs.append({from, to});
    }
    return pairs;
}

struct Figures
{
    double meanUs = 0;
    double p99Us = 0;
};

Figures summarise(std::vector<double> micros)
{
    Figures f;
    if (micros.empty())
        return f;
    double sum = 0;
    for (double v : micros)
        sum += v;
    f.meanUs = sum / micros.size();
    std::sort(micros.begin(), micros.end());
    f.p99Us = micros[std::min(micros.size() - 1, size_t(0.99 * micros.size()))];
    return f;
}

void routerSides()
{
    SeededRandom random(20260611);
    const QList<QRectF> boxes = gridOfBoxes(random);
    const QList<std::pair<int, int>> pairs = boxPairs(random, 500);

    std::vector<double> fullTimes;
    std::vector<double> cutTimes;
    fullTimes.reserve(pairs.size() * 16);
    cutTimes.reserve(pairs.size() * 16);
    int differing = 0;
    int kept = 0;
    volatile qsizetype sink = 0;

    for (const auto &[from, to] : pairs) {
        const QRectF fromRect = boxes.at(from);
        const QRectF toRect = boxes.at(to);
        QList<QRectF> obstacles;
        for (int i = 0; i < boxes.size(); ++i) {
            if (i != from && i != to)
                obstacles.append(routing::insetObstacleRect(boxes.at(i)));
        }
        for (int fromSide = 0; fromSide < 4; ++fromSide) {
            for (int toSide = 0; toSide < 4; ++toSide) {
                QElapsedTimer timer;
                timer.start();
                const routing::Route full = routing::routeForSides(fromRect, toRect, fromSide, toSide, obstacles);
                fullTimes.push_back(timer.nsecsElapsed() / 1000.0);

                timer.restart();
                const QList<QRectF> near = routing::obstaclesNearPair(fromRect, toRect, obstacles);
                const routing::Route cut = routing::routeForSides(fromRect, toRect, fromSide, toSide, near);
                cutTimes.push_back(timer.nsecsElapsed() / 1000.0);

                kept += near.size();
                sink = sink + full.size() + cut.size();
                if (full != cut)
                    ++differing;
            }
        }
    }

    const Figures full = summarise(fullTimes);
    const Figures cut = summarise(cutTimes);
    const auto us = [](double v) { return QString::number(v, 'f', 1) + QStringLiteral(" us"); };
    bench::report(QStringLiteral("calls per variant"), QString::number(fullTimes.size()));
    bench::report(QStringLiteral("full obstacle list (298): mean"), us(full.meanUs));
    bench::report(QStringLiteral("full obstacle list (298): p99"), us(full.p99Us));
    bench::report(QStringLiteral("pre-filtered (cut included): mean"), us(cut.meanUs));
    bench::report(QStringLiteral("pre-filtered (cut included): p99"), us(cut.p99Us));
    bench::report(QStringLiteral("obstacles kept by the cut (mean)"),
                  QString::number(double(kept) / cutTimes.size(), 'f', 1));
    bench::report(QStringLiteral("routes differing (must be 0)"), QString::number(differing));
}

} // namespace

VELMORA_BENCH("router-sides",
              "routeForSides for 16 side pairs of 500 box pairs among 300 boxes, full and pre-filtered",
              routerSides);
