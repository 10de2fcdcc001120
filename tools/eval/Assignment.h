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

// Work allowed for one group of linked items: about the smaller side squared times the larger
// side steps (2^30: a second or two; 1,024 x 1,024 items all linked reach it).
constexpr double ASSIGNMENT_MAX_STEPS = 1073741824.0;

// The largest total weight of a one-to-one assignment of left to right items, over the pairs
// given with their positive weights (any other pair weighs nothing). Items linked by no chain of
// pairs are assigned apart, so the work follows the pairs, not all left x right items, and the
// memory grows with the pairs alone. A group whose work exceeds ASSIGNMENT_MAX_STEPS is refused
// with std::length_error, naming its size.
long long MaxAssignedWeight(const std::map<std::pair<int, int>, long long>& pairs);
