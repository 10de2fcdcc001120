#include "GridSearch.h"

#include <algorithm>

namespace {

// The ranks on which `holds` is true, where `before` is true on the values before its centre and
// false from there on, and `holds` becomes true at most once before the centre and false at most
// once after it.
template <typename Before, typename Holds>
CodeRange RangeAroundCentre(const std::vector<double>& ranked, Before before, Holds holds) {
    const auto centre = std::partition_point(ranked.begin(), ranked.end(), before);
    const auto first = std::partition_point(ranked.begin(), centre, [&](double m) { return !holds(m); });
    const auto last = std::partition_point(centre, ranked.end(), holds);
    return CodeRange{static_cast<int>(first - ranked.begin()), static_cast<int>(last - ranked.begin())};
}

}  // namespace

CodeRanking RankCodes(const double* value, int codes) {
    CodeRanking ranking{std::vector<double>(value, value + codes), {}};
    std::sort(ranking.rankedValue.begin(), ranking.rankedValue.end());
    for (int c = 0; c < codes; ++c) {
        const auto first = std::lower_bound(ranking.rankedValue.begin(), ranking.rankedValue.end(), value[c]);
        ranking.rank.push_back(static_cast<uint16_t>(first - ranking.rankedValue.begin()));
    }
    return ranking;
}

// |aveD - m| falls as m rises to aveD and grows beyond it; |z_m - bf_pix / m| falls while
// bf_pix / m, which only falls as m rises, is at least z_m, and grows after (a zero value's
// distance is infinite and never matches).
MatchingCodes CodesMatchingCell(const Grid& cell, double bf_pix, const CodeRanking& ranking) {
    const auto nearDisparity = [&cell](double m) { return NearCellDisparity(cell, m); };
    const auto nearDistance = [&cell, bf_pix](double m) { return NearCellDistance(cell, m, bf_pix); };
    const auto belowDisparity = [&cell](double m) { return m <= cell.aveD; };
    const auto beforeDistance = [&cell, bf_pix](double m) { return bf_pix / m >= cell.z_m; };
    return MatchingCodes{ranking.rank.data(), RangeAroundCentre(ranking.rankedValue, belowDisparity, nearDisparity),
                         RangeAroundCentre(ranking.rankedValue, beforeDistance, nearDistance)};
}

double FindDisparityInBlock(const StageGeometry& g, int u, int v, const double* measuredDisparity) {
    return FirstInBlock(g, u, v, measuredDisparity);
}

int CountFarBlock(const StageGeometry& g, int u, int v, double d, const double* measuredDisparity) {
    int nf = 0;
    for (int nextBlk = v + g.blockRows; nextBlk < EndBlockRow(g); nextBlk += g.blockRows) {
        const double dj = FindDisparityInBlock(g, u, nextBlk, measuredDisparity);
        if (dj < d - 1.0 && dj != 0.0) ++nf;
    }
    return nf;
}

void SearchHeightPixel(const StageGeometry& g, Grid* grid, const double* measuredDisparity, int u, int groundPoint,
                       int /*ceiling*/) {
    const auto matches = [grid, &g](double m) { return MatchesCell(*grid, m, g.camera.bf_pix); };
    SearchHeight(g, grid, measuredDisparity, matches, u, groundPoint);
}
