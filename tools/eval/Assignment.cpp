#include "Assignment.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>

namespace {

// Fills `row` (one entry per right item, zeros included) with the weights of left item i.
using RowWeights = std::function<void(size_t i, std::vector<long long>& row)>;

// The shortest-augmenting-path form with row and column potentials on `rows` <= `cols`, every
// row assigned; costs are (largest weight - weight), so the least cost is the largest weight. The
// weights are asked for one row at a time, so only a row's worth is held at once.
std::vector<int> AssignRowsToColumns(const RowWeights& weightsOf, long long largest, size_t rows, size_t cols) {
    const long long infinity = std::numeric_limits<long long>::max();
    std::vector<long long> u(rows + 1, 0), v(cols + 1, 0), weights(cols);
    std::vector<size_t> rowOfCol(cols + 1, 0), way(cols + 1, 0);
    for (size_t i = 1; i <= rows; ++i) {
        rowOfCol[0] = i;
        size_t j0 = 0;
        std::vector<long long> minv(cols + 1, infinity);
        std::vector<bool> used(cols + 1, false);
        do {
            used[j0] = true;
            const size_t i0 = rowOfCol[j0];
            weightsOf(i0 - 1, weights);
            long long delta = infinity;
            size_t j1 = 0;
            for (size_t j = 1; j <= cols; ++j) {
                if (used[j]) continue;
                const long long reduced = largest - weights[j - 1] - u[i0] - v[j];
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

// For each left item, the column assigned to it or -1, on the shorter side's rows: `leftCount` x
// `rightCount` weights, given one left item's row or one right item's column at a time.
std::vector<int> Assign(size_t leftCount, size_t rightCount, long long largest, const RowWeights& leftRow,
                        const RowWeights& rightColumn) {
    if (leftCount <= rightCount) return AssignRowsToColumns(leftRow, largest, leftCount, rightCount);
    // More left items than right ones: assign every right item a left one and read the answer back.
    const std::vector<int> leftOfRight = AssignRowsToColumns(rightColumn, largest, rightCount, leftCount);
    std::vector<int> rightOfLeft(leftCount, -1);
    for (size_t r = 0; r < rightCount; ++r) rightOfLeft[static_cast<size_t>(leftOfRight[r])] = static_cast<int>(r);
    return rightOfLeft;
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

// The best total of one group, its weights held as its pairs (one list per item of each side).
long long GroupWeight(const std::vector<const Entry*>& group) {
    std::map<int, size_t> left, right;
    long long largest = 0;
    for (const Entry* e : group) {
        left.emplace(e->first.first, left.size());
        right.emplace(e->first.second, right.size());
        largest = std::max(largest, e->second);
    }
    const double shorter = static_cast<double>(std::min(left.size(), right.size()));
    const double steps = shorter * shorter * static_cast<double>(std::max(left.size(), right.size()));
    if (steps > ASSIGNMENT_MAX_STEPS) {
        throw std::length_error("IDF1's assignment: " + std::to_string(left.size()) + " true obstacles and " +
                                std::to_string(right.size()) + " trajectories linked by overlaps take about " +
                                std::to_string(static_cast<long long>(steps)) + " steps to pair, more than " +
                                std::to_string(static_cast<long long>(ASSIGNMENT_MAX_STEPS)));
    }
    using Links = std::vector<std::vector<std::pair<size_t, long long>>>;
    Links ofLeft(left.size()), ofRight(right.size());
    for (const Entry* e : group) {
        const size_t l = left.at(e->first.first), r = right.at(e->first.second);
        ofLeft[l].emplace_back(r, e->second);
        ofRight[r].emplace_back(l, e->second);
    }
    auto weightsOf = [](const Links& links) {
        return [&links](size_t i, std::vector<long long>& row) {
            std::fill(row.begin(), row.end(), 0);
            for (const auto& link : links[i]) row[link.first] = link.second;
        };
    };
    const std::vector<int> assigned = Assign(left.size(), right.size(), largest, weightsOf(ofLeft), weightsOf(ofRight));
    long long total = 0;
    for (size_t l = 0; l < assigned.size(); ++l) {
        for (const auto& link : ofLeft[l]) {
            if (static_cast<int>(link.first) == assigned[l]) total += link.second;
        }
    }
    return total;
}

}  // namespace

std::vector<int> AssignMaxWeight(const std::vector<std::vector<long long>>& weight) {
    const size_t rows = weight.size();
    const size_t cols = rows == 0 ? 0 : weight[0].size();
    long long largest = 0;
    for (const auto& row : weight) {
        for (long long w : row) largest = std::max(largest, w);
    }
    const RowWeights rowOf = [&weight](size_t i, std::vector<long long>& row) { row = weight[i]; };
    const RowWeights columnOf = [&weight](size_t j, std::vector<long long>& column) {
        for (size_t i = 0; i < column.size(); ++i) column[i] = weight[i][j];
    };
    return Assign(rows, cols, largest, rowOf, columnOf);
}

long long MaxAssignedWeight(const Pairs& pairs) {
    long long total = 0;
    for (const auto& group : Connected(pairs)) total += GroupWeight(group);
    return total;
}
