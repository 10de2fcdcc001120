// Maximum-weight one-to-one assignment (Hungarian algorithm), used to pair track identifiers
// with true obstacles for IDF1.
#pragma once

#include <vector>

// `weight` has one row per left item and one column per right item (all rows equally long,
// weights non-negative). Returns, for each row, the column assigned to it, or -1 when the row
// is left unassigned (more rows than columns). The total weight of the assigned pairs is the
// largest any one-to-one assignment reaches; integer weights keep it exact.
std::vector<int> AssignMaxWeight(const std::vector<std::vector<long long>>& weight);
