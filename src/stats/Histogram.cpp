#include "Histogram.h"

int FullestBin(const int* bins, int numBin) {
    int bestCount = 0;
    int bestIndex = 0;
    for (int i = 0; i < numBin; ++i) {
        if (bins[i] > bestCount) {
            bestCount = bins[i];
            bestIndex = i;
        }
    }
    return bestIndex;
}

Histogram::Histogram() = default;

Histogram::Histogram(int n) : numBin(n) {}

Histogram::Histogram(int n, double w, double f)
    : numBin(n), widthBin(w), firstBin(f), histogram(n > 0 ? n : 0, 0) {}

void Histogram::AddData(double x) {
    originalData.push_back(x);
    counted = false;
}

// Counting starts from zeroed bins, so values added after an earlier count are not counted twice:
// the total gives back what the previous count placed since the last Initialize (what the bins
// held before it is not part of the total) and takes what this count places.
void Histogram::CountHistogram() {
    numTotalData -= placedByLastCount;
    histogram.assign(histogram.size(), 0);
    const int bins = static_cast<int>(histogram.size());
    placedByLastCount = 0;
    for (double x : originalData) {
        const int j = HistogramBin(x, firstBin, widthBin, bins);
        if (j < 0) continue;
        histogram[j] += 1;
        placedByLastCount += 1;
    }
    numTotalData += placedByLastCount;
    counted = true;
}

void Histogram::CountIfNeeded() {
    if (!counted) CountHistogram();
}

int Histogram::GetFreqOfBin(int i) {
    CountIfNeeded();
    return histogram.at(i);
}

int Histogram::GetNumOfMax() {
    CountIfNeeded();
    return FullestBin(histogram.data(), static_cast<int>(histogram.size()));
}

// The values cleared stay in the total: a later count cannot place them again.
void Histogram::Clear() {
    originalData.clear();
    placedByLastCount = 0;
    histogram.assign(numBin > 0 ? numBin : 0, 0);
    counted = false;
}

void Histogram::Initialize() {
    histogram.resize(numBin > 0 ? numBin : 0, 0);
    counted = false;
    numTotalData = 0;
    placedByLastCount = 0;
}

void Histogram::DeleteData(int i) {
    if (i >= 0 && i < GetSize()) originalData.erase(originalData.begin() + i);
}
