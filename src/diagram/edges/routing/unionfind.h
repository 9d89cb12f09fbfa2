#pragma once

#include <algorithm>
#include <cstddef>
#include <numeric>
#include <vector>

namespace routing {

// Members 0..count-1 joined into groups; each group is named by its smallest member, so
// the names do not depend on the order of the joins.
class UnionFind
{
public:
    explicit UnionFind(std::size_t count)
        : m_parent(count)
    {
        std::iota(m_parent.begin(), m_parent.end(), 0);
    }

    int find(int i)
    {
        while (m_parent[std::size_t(i)] != i)
            i = m_parent[std::size_t(i)] = m_parent[std::size_t(m_parent[std::size_t(i)])];
        return i;
    }

    void join(int a, int b)
    {
        const int ra = find(a);
        const int rb = find(b);
        m_parent[std::size_t(std::max(ra, rb))] = std::min(ra, rb);
    }

private:
    std::vector<int> m_parent;
};

} // namespace routing
