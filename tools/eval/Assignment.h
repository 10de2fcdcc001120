// Maximum-weight one-to-one assignment (Hungarian algorithm), used to pair track identifiers
// with true obstacles for IDF1.
#pragma once

#include <map>
#include <utility>
#include <vector>

// `weight` has one row per left item and one column per right item (all rows equally long,
// weights non-negative). Returns, for each row, the column assigned to it, or -1 when the row
// is left unassigned (more rows than columns). The total weight of the assigned pairs is the
// largest any one-to-one assignment reaches; integer weights keep it exact. Time grows as
// rows x columns x the smaller of the two.
std::vector<int> AssignMaxWeight(const std::vector<std::vector<long long>>& weight);

// The largest total weight of a one-to-one assignment of left to right items, over the pairs
// given with their positive weights (any other pair weighs nothing). Items linked by no chain of
// pairs are assigned apart, so the work follows the pairs, not all left x right items.
long long MaxAssignedWeight(const std::map<std::pair<int, int>, long long>& pairs);
