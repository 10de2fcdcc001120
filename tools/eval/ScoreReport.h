// The two ways obstacle-eval prints its scores: a table for people and one JSON object for
// programs (absent and non-finite scores as null).
#pragma once

#include <ostream>

#include "Evaluation.h"
#include "LabelEvaluation.h"
#include "StreetEvaluation.h"

void PrintScoreTable(std::ostream& out, const Scores& scores);
void PrintScoreJson(std::ostream& out, const Scores& scores);

// The scores of a street scored against its ego motion, the same two ways.
void PrintStreetTable(std::ostream& out, const StreetScores& scores);
void PrintStreetJson(std::ostream& out, const StreetScores& scores);

// The scores of a recording scored against its object labels, the same two ways (the table ends
// with one line per object).
void PrintLabelTable(std::ostream& out, const LabelScores& scores);
void PrintLabelJson(std::ostream& out, const LabelScores& scores);
