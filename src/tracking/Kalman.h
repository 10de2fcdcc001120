// Linear Kalman filters with one scalar measurement (the first state component), as plain records
// passed and returned by value: obj = KfCorrection(obj, z); obj = KfPrediction(obj, sys, r).
// Prediction also computes the gain that the next correction applies. Matrices are row-major.
#pragma once

// Three-state filter (road profile along the disparity axis).
struct KfData33 {
    double p[9];      // covariance after the last correction
    double pp[9];     // predicted covariance
    double kGain[3];  // gain for the next measurement
    double px[3];     // predicted state
    double x[3];      // filtered state
};

struct KfConst33 {
    double a[9];      // state transition A
    double b[3];      // process-noise input B (column)
    double aT[9];     // transpose of A, kept by the caller
    double bT[3];     // B as a row, kept by the caller
};

// Two-state filter (a track's distance or lateral position and its rate).
struct KfData {
    double p[4];
    double pp[4];
    double kGain[2];
    double px[2];
    double x[2];
};

struct KfConst {
    double a[4];
    double b[2];
    double aT[4];
    double bT[2];
};

KfData33 KfPrediction33(KfData33 obj, KfConst33 sys);
KfData33 KfCorrection33(KfData33 obj, double kyori);
KfData KfPrediction(KfData obj, KfConst sys, double dSigW2);
KfData KfCorrection(KfData obj, double kyori);

// output (m x n) = input1 (m x l) * input2 (l x n); the output must not overlap the inputs.
void MatrixMultiply(int m, int n, int l, const double* input1, const double* input2, double* output);
void ResetArray(double* hairetsu, int n);
