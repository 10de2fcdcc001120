// The two ways obstacle-eval prints its scores: a table for people and one JSON object for
// programs (absent and non-finite scores as null).
#pragma once

#include <ostream>

#include "Evaluation.h"
#include "StreetEvaluation.h"

void PrintScoreTable(std::ostream& out, const Scores& scores);
void PrintScoreJson(std::ostream& out, const Scores& scores);

// The scores of a street scored against its ego motion, the same two ways.
void PrintStreetTable(std::ostream& out, const StreetScores& scores);
void PrintStreetJson(std::ostream& out, const StreetScores& scores);
