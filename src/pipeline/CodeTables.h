// Per-code tables of the stages. A frame's disparities reach the road and grid stages as ordered
// 16-bit codes (code 0 = no disparity), each standing for exactly one disparity: the colour coding's
// codes (DisparityCodes.h), or a 16-bit picture's raw values at its scale. Every table is filled
// once from each code's value by the functions the value path calls per pixel, so both paths give
// the same results.
#pragma once

#include <cstdint>
#include <vector>

#include "GridSearch.h"

// The grid stage's tables of a set of codes (OccupancyGrid.cpp fills them).
struct GridCodeTables {
    // value[c] for every code c of `codes`, value[0] = 0.0 (no disparity).
    GridCodeTables(const double* value, int codes);

    std::vector<uint8_t> level;     // TableLevel of the value
    std::vector<uint8_t> stripBin;  // the strip histogram's bin of the value
    // Codes whose values fall in the same fine bin of every level's window share one tally: a
    // strip's fine histograms come from the count of each tally. Tally 0 is the codes of no window.
    std::vector<uint16_t> tally;
    int tallies = 0;
    // The tallies of the values in level d's window, with their fine bins there: entries
    // levelStart[d] .. levelStart[d + 1] - 1 of entryTally and entryBin.
    std::vector<int> levelStart;
    std::vector<uint16_t> entryTally;
    std::vector<uint8_t> entryBin;
    CodeRanking ranking;  // the codes by value, for the height search
};

// Most tallies a set of codes gives: those of a 16-bit picture at any scale stay below it.
constexpr int MAX_TALLIES = 4096;

// The codes of a 16-bit picture of values at one scale: a value's code is the value itself, and
// all values at or beyond the largest disparity the stages take (LARGEST_CODED_DISPARITY) share the
// code of the first of them, so codes stay as ordered as their disparities.
struct Fixed16Codes {
    explicit Fixed16Codes(double scale);

    double scale;                  // disparity per unit of value
    uint16_t last;                 // the code of every value from it on
    std::vector<double> value;     // each code's disparity as the value path limits it
    std::vector<uint8_t> roadClass;  // RoadClassOf its value
    GridCodeTables grid;
};

// Whether a 16-bit picture at `scale` runs on codes: every value times the scale is a finite number
// (a positive scale gives positive disparities from value 1 on).
bool Fixed16OnCodes(double scale);

// The tables of one frame's codes, owned elsewhere (the colour coding's, or the run's Fixed16Codes).
struct FrameCodeTables {
    const double* value = nullptr;       // each code's disparity
    const uint8_t* roadClass = nullptr;  // RoadClassOf each code's disparity
    const GridCodeTables* grid = nullptr;
};

// The colour coding's tables.
FrameCodeTables ColourCodeTables();
