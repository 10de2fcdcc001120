#include "Assignment.h"

#include <algorithm>
#include <limits>

namespace {

// The shortest-augmenting-path form with row and column potentials on `rows` <= `cols`, every
// row assigned; costs are (largest weight - weight), so the least cost is the largest weight.
std::vector<int> AssignRowsToColumns(const std::vector<std::vector<long long>>& weight, size_t rows, size_t cols,
                                     bool transposed) {
    long long largest = 0;
    for (const auto& row : weight) {
        for (long long w : row) largest = std::max(largest, w);
    }
    auto cost = [&](size_t i, size_t j) {  // 1-based
        return largest - (transposed ? weight[j - 1][i - 1] : weight[i - 1][j - 1]);
    };
    const long long infinity = std::numeric_limits<long long>::max();
    std::vector<long long> u(rows + 1, 0), v(cols + 1, 0);
    std::vector<size_t> rowOfCol(cols + 1, 0), way(cols + 1, 0);
    for (size_t i = 1; i <= rows; ++i) {
        rowOfCol[0] = i;
        size_t j0 = 0;
        std::vector<long long> minv(cols + 1, infinity);
        std::vector<bool> used(cols + 1, false);
        do {
            used[j0] = true;
            const size_t i0 = rowOfCol[j0];
            long long delta = infinity;
            size_t j1 = 0;
            for (size_t j = 1; j <= cols; ++j) {
                if (used[j]) continue;
                const long long reduced = cost(i0, j) - u[i0] - v[j];
                if (reduced < minv[j]) {
                    minv[j] = reduced;
                    way[j] = j0;
                }
                if (minv[j] < delta) {
                    delta = minv[j];
                    j1 = j;
                }
            }
            for (size_t j = 0; j <= cols; ++j) {
                if (used[j]) {
                    u[rowOfCol[j]] += delta;
                    v[j] -= delta;
                } else {
                    minv[j] -= delta;
                }
            }
            j0 = j1;
        } while (rowOfCol[j0] != 0);
        do {
            const size_t j1 = way[j0];
            rowOfCol[j0] = rowOfCol[j1];
            j0 = j1;
        } while (j0 != 0);
    }
    std::vector<int> colOfRow(rows, -1);
    for (size_t j = 1; j <= cols; ++j) {
        if (rowOfCol[j] != 0) colOfRow[rowOfCol[j] - 1] = static_cast<int>(j - 1);
    }
    return colOfRow;
}

using Pairs = std::map<std::pair<int, int>, long long>;
using Entry = Pairs::value_type;

// Union-find over the items of both sides.
struct Components {
    size_t Node(std::map<int, size_t>& side, int item) {
        const auto found = side.emplace(item, parent.size());
        if (found.second) parent.push_back(parent.size());
        return found.first->second;
    }
    size_t Root(size_t node) {
        while (parent[node] != node) node = parent[node] = parent[parent[node]];
        return node;
    }
    void Join(int leftItem, int rightItem) {
        const size_t a = Root(Node(left, leftItem));
        const size_t b = Root(Node(right, rightItem));
        parent[a] = b;
    }
    std::vector<size_t> parent;
    std::map<int, size_t> left, right;
};

// The pairs split into groups that share no item.
std::vector<std::vector<const Entry*>> Connected(const Pairs& pairs) {
    Components c;
    for (const Entry& e : pairs) c.Join(e.first.first, e.first.second);
    std::map<size_t, std::vector<const Entry*>> groups;
    for (const Entry& e : pairs) groups[c.Root(c.left.at(e.first.first))].push_back(&e);
    std::vector<std::vector<const Entry*>> out;
    for (auto& group : groups) out.push_back(std::move(group.second));
    return out;
}

// The best total of one group, on its own left x right matrix.
long long GroupWeight(const std::vector<const Entry*>& group) {
    std::map<int, size_t> row, col;
    for (const Entry* e : group) {
        row.emplace(e->first.first, row.size());
        col.emplace(e->first.second, col.size());
    }
    std::vector<std::vector<long long>> weight(row.size(), std::vector<long long>(col.size(), 0));
    for (const Entry* e : group) weight[row.at(e->first.first)][col.at(e->first.second)] = e->second;
    const std::vector<int> assigned = AssignMaxWeight(weight);
    long long total = 0;
    for (size_t r = 0; r < assigned.size(); ++r) {
        if (assigned[r] >= 0) total += weight[r][static_cast<size_t>(assigned[r])];
    }
    return total;
}

}  // namespace

std::vector<int> AssignMaxWeight(const std::vector<std::vector<long long>>& weight) {
    const size_t rows = weight.size();
    const size_t cols = rows == 0 ? 0 : weight[0].size();
    if (rows <= cols) return AssignRowsToColumns(weight, rows, cols, false);
    // More rows than columns: assign every column a row and read the answer back per row.
    const std::vector<int> rowOfCol = AssignRowsToColumns(weight, cols, rows, true);
    std::vector<int> colOfRow(rows, -1);
    for (size_t c = 0; c < cols; ++c) colOfRow[static_cast<size_t>(rowOfCol[c])] = static_cast<int>(c);
    return colOfRow;
}

long long MaxAssignedWeight(const Pairs& pairs) {
    long long total = 0;
    for (const auto& group : Connected(pairs)) total += GroupWeight(group);
    return total;
}
