#include "separationsolver.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace layout {

namespace {

constexpr double Slack = 1e-9;

// An incoming constraint of a block, keyed by the block position it demands. The key is
// in the heap's own frame (true demand = key + shift) and was computed while the left
// variable's block had the recorded stamp; a later stamp means the key may be stale.
struct Demand
{
    double key = 0;
    int constraint = 0;
    int sourceBlock = 0;
    unsigned sourceStamp = 0;
};

bool lessDemand(const Demand &a, const Demand &b)
{
    if (a.key != b.key)
        return a.key < b.key;
    return a.constraint > b.constraint;
}

struct DemandHeap
{
    std::vector<Demand> entries;
    double shift = 0;

    void push(Demand d)
    {
        entries.push_back(d);
        std::push_heap(entries.begin(), entries.end(), lessDemand);
    }
    void pop()
    {
        std::pop_heap(entries.begin(), entries.end(), lessDemand);
        entries.pop_back();
    }
};

struct Block
{
    std::vector<int> vars;
    double weight = 0;
    double weightedDesire = 0; // sum of weight times (desired position minus offset)
    double position = 0;
    unsigned stamp = 0;
    DemandHeap in;
};

class Solver
{
public:
    Solver(const QList<double> &desired, const QList<SeparationConstraint> &constraints, const QList<double> &weights)
        : m_desired(desired)
        , m_weights(weights)
        , m_constraints(constraints)
        , m_incoming(desired.size())
        , m_block(desired.size(), -1)
        , m_offset(desired.size(), 0)
    {
        for (qsizetype c = 0; c < constraints.size(); ++c) {
            const SeparationConstraint &s = constraints[c];
            if (valid(s))
                m_incoming[s.right].push_back(int(c));
        }
    }

    QList<double> solve(const QList<int> &given)
    {
        const std::vector<int> order = given.size() == m_desired.size() ? std::vector<int>(given.cbegin(), given.cend())
                                                                        : byDesiredPosition();
        for (int v : order) {
            const int b = newBlock(v);
            mergeLeft(b);
        }
        QList<double> result(m_desired.size());
        for (qsizetype v = 0; v < m_desired.size(); ++v)
            result[v] = m_blocks[m_block[v]].position + m_offset[v];
        pushForward(order, result);
        return result;
    }

private:
    bool valid(const SeparationConstraint &s) const
    {
        return s.left >= 0 && s.right >= 0 && s.left < m_desired.size() && s.right < m_desired.size()
            && s.left != s.right;
    }

    std::vector<int> byDesiredPosition() const
    {
        std::vector<int> order(m_desired.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return m_desired[a] < m_desired[b]; });
        return order;
    }

    double position(int v) const { return m_blocks[m_block[v]].position + m_offset[v]; }
    double weightOf(int v) const { return m_weights.size() == m_desired.size() ? m_weights[v] : 1.0; }

    Demand demandOf(int c, const Block &into) const
    {
        const SeparationConstraint &s = m_constraints[c];
        const int source = m_block[s.left];
        const double demand = position(s.left) + s.gap - m_offset[s.right];
        return {demand - into.in.shift, c, source, m_blocks[source].stamp};
    }

    int newBlock(int v)
    {
        const int b = int(m_blocks.size());
        m_blocks.emplace_back();
        Block &block = m_blocks.back();
        block.vars.push_back(v);
        block.weight = weightOf(v);
        block.weightedDesire = block.weight * m_desired[v];
        block.position = m_desired[v];
        m_block[v] = b;
        for (int c : m_incoming[v]) {
            // A left variable not placed yet breaks the order the caller promised; the
            // final forward pass still meets the constraint.
            if (m_block[m_constraints[c].left] >= 0)
                block.in.push(demandOf(c, block));
        }
        return b;
    }

    // The most demanding incoming constraint from another block, fresh; false when none.
    bool topDemand(int b, Demand &top)
    {
        DemandHeap &heap = m_blocks[b].in;
        while (!heap.entries.empty()) {
            const Demand d = heap.entries.front();
            const int source = m_block[m_constraints[d.constraint].left];
            if (source == b) {
                heap.pop();
                continue;
            }
            if (source != d.sourceBlock || m_blocks[source].stamp != d.sourceStamp) {
                heap.pop();
                heap.push(demandOf(d.constraint, m_blocks[b]));
                continue;
            }
            top = d;
            return true;
        }
        return false;
    }

    void mergeLeft(int b)
    {
        Demand top;
        while (topDemand(b, top)) {
            if (top.key + m_blocks[b].in.shift <= m_blocks[b].position + Slack)
                return;
            m_blocks[b].in.pop();
            const SeparationConstraint &s = m_constraints[top.constraint];
            const int left = m_block[s.left];
            // Offsets of b's variables in the left block's frame grow by delta.
            const double delta = m_offset[s.left] + s.gap - m_offset[s.right];
            b = merge(left, b, delta);
        }
    }

    // Joins right into left's frame (right's offsets grow by delta); the larger block keeps
    // its variables in place. Returns the surviving block.
    int merge(int left, int right, double delta)
    {
        const bool keepLeft = m_blocks[left].vars.size() >= m_blocks[right].vars.size();
        const int survivor = keepLeft ? left : right;
        const int absorbed = keepLeft ? right : left;
        // The absorbed variables' offsets change by this in the survivor's frame.
        const double move = keepLeft ? delta : -delta;
        Block &s = m_blocks[survivor];
        Block &a = m_blocks[absorbed];
        for (int v : a.vars) {
            m_offset[v] += move;
            m_block[v] = survivor;
            s.vars.push_back(v);
        }
        s.weight += a.weight;
        s.weightedDesire += a.weightedDesire - a.weight * move;
        s.position = s.weightedDesire / s.weight;
        a.in.shift -= move;
        mergeHeaps(s.in, a.in);
        a.vars.clear();
        ++s.stamp;
        return survivor;
    }

    static void mergeHeaps(DemandHeap &into, DemandHeap &from)
    {
        if (from.entries.size() > into.entries.size())
            std::swap(into, from);
        for (Demand d : from.entries) {
            d.key += from.shift - into.shift;
            into.push(d);
        }
        from.entries.clear();
    }

    // Meets any constraint the merging left short (rounding, or an order the caller did
    // not keep) by pushing right variables on, in the order of the merge.
    void pushForward(const std::vector<int> &order, QList<double> &result) const
    {
        for (int v : order) {
            for (int c : m_incoming[v]) {
                const SeparationConstraint &s = m_constraints[c];
                result[v] = std::max(result[v], result[s.left] + s.gap);
            }
        }
    }

    const QList<double> &m_desired;
    const QList<double> &m_weights;
    const QList<SeparationConstraint> &m_constraints;
    std::vector<std::vector<int>> m_incoming;
    std::vector<int> m_block;
    std::vector<double> m_offset;
    std::vector<Block> m_blocks;
};

} // namespace

QList<double> solveSeparation(const QList<double> &desired, const QList<SeparationConstraint> &constraints,
                              const QList<double> &weights, const QList<int> &order)
{
    return Solver(desired, constraints, weights).solve(order);
}

} // namespace layout
