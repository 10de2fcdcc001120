// Fixed-bin histogram over doubles. Values are stored as added and counted into the bins at the
// first query after they arrived. Bin 0 never receives a value; bin j >= 1 holds the values in
// [firstBin + (j - 1) * widthBin, firstBin + j * widthBin), so a bin is labelled by its upper edge.
#pragma once

#include <vector>

// The bin counting puts x in: the smallest j in 0 .. numBin - 1 with x < firstBin + widthBin * j,
// for x not below firstBin; -1 when there is none. The bin is estimated from x and then moved by
// those very comparisons to the first edge above x: the edges never decrease with j (and never
// exceed firstBin when widthBin is negative), so from any start the walk ends there. Inline: the
// grid stage asks once per pixel.
inline int HistogramBin(double x, double firstBin, double widthBin, int numBin) {
    if (!(x >= firstBin)) return -1;
    const double estimate = (x - firstBin) * (1.0 / widthBin);  // a constant factor once inlined
    int j = estimate >= 0.0 && estimate < numBin ? static_cast<int>(estimate) + 1 : numBin;
    while (j > 0 && x < firstBin + widthBin * (j - 1)) --j;
    while (j < numBin && !(x < firstBin + widthBin * j)) ++j;
    return j < numBin ? j : -1;
}

// Index of the fullest of numBin bins, the lowest on a tie; 0 when all are empty.
int FullestBin(const int* bins, int numBin);

class Histogram {
public:
    Histogram();
    explicit Histogram(int n);
    Histogram(int n, double w, double f);

    void AddData(double x);
    void CountHistogram();
    int GetFreqOfBin(int i);
    int GetNumOfMax();  // fullest bin, lowest index on a tie, 0 when all are empty
    void Clear();
    void Initialize();
    void SetNumOfBin(int n) { numBin = n; }
    void SetFirstBin(double f) { firstBin = f; }
    void SetWidthOfBin(double w) { widthBin = w; }
    void DeleteData(int i);
    int GetSize() const { return static_cast<int>(originalData.size()); }
    int GetTotalData() const { return numTotalData; }

private:
    void CountIfNeeded();

    int numTotalData = 0;  // values counting has placed since construction or the last Initialize
    int placedByLastCount = 0;  // of those, the ones the last count placed, which a recount replaces
    int numBin = 0;
    bool counted = false;  // the bins reflect the stored values
    double widthBin = 0.0;
    double firstBin = 0.0;
    std::vector<int> histogram;
    std::vector<double> originalData;
};
