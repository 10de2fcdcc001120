#include "Assignment.h"

#include <algorithm>
#include <limits>

// The shortest-augmenting-path form with row and column potentials, O(n^3), on the matrix
// padded to n x n with zero weights; weights become costs as (largest weight - weight).
std::vector<int> AssignMaxWeight(const std::vector<std::vector<long long>>& weight) {
    const int rows = static_cast<int>(weight.size());
    const int cols = rows == 0 ? 0 : static_cast<int>(weight[0].size());
    const int n = std::max(rows, cols);
    long long largest = 0;
    for (const auto& row : weight) {
        for (long long w : row) largest = std::max(largest, w);
    }
    auto cost = [&](int i, int j) {  // 1-based
        const long long w = (i <= rows && j <= cols) ? weight[i - 1][j - 1] : 0;
        return largest - w;
    };
    const long long infinity = std::numeric_limits<long long>::max();
    std::vector<long long> u(n + 1, 0), v(n + 1, 0);
    std::vector<int> rowOfCol(n + 1, 0), way(n + 1, 0);
    for (int i = 1; i <= n; ++i) {
        rowOfCol[0] = i;
        int j0 = 0;
        std::vector<long long> minv(n + 1, infinity);
        std::vector<bool> used(n + 1, false);
        do {
            used[j0] = true;
            const int i0 = rowOfCol[j0];
            long long delta = infinity;
            int j1 = 0;
            for (int j = 1; j <= n; ++j) {
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
            for (int j = 0; j <= n; ++j) {
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
            const int j1 = way[j0];
            rowOfCol[j0] = rowOfCol[j1];
            j0 = j1;
        } while (j0 != 0);
    }
    std::vector<int> colOfRow(rows, -1);
    for (int j = 1; j <= cols; ++j) {
        if (rowOfCol[j] <= rows) colOfRow[rowOfCol[j] - 1] = j - 1;
    }
    return colOfRow;
}
