#include "Kalman.h"

#include "Config.h"

namespace {

// Process-noise variance of the three-state road filter.
constexpr double ROAD_PROCESS_NOISE = 0.25;

}  // namespace

void ResetArray(double* hairetsu, int n) {
    for (int i = 0; i < n; ++i) hairetsu[i] = 0.0;
}

// Each sum starts at 0.0 and accumulates in increasing k; with contraction disabled every
// product is rounded before it is added, so both targets agree bit for bit.
void MatrixMultiply(int m, int n, int l, const double* input1, const double* input2, double* output) {
    ResetArray(output, m * n);
    for (int i = 0; i < m; ++i) {
        for (int j = 0; j < n; ++j) {
            for (int k = 0; k < l; ++k) {
                output[i * n + j] += input1[i * l + k] * input2[k * n + j];
            }
        }
    }
}

KfData33 KfPrediction33(KfData33 obj, KfConst33 sys) {
    double tmp1[9];
    double tmp2[9];
    MatrixMultiply(3, 1, 3, sys.a, obj.x, obj.px);
    MatrixMultiply(3, 3, 3, sys.a, obj.p, tmp1);
    MatrixMultiply(3, 3, 3, tmp1, sys.aT, tmp2);
    MatrixMultiply(3, 3, 1, sys.b, sys.bT, tmp1);
    for (int i = 0; i < 9; ++i) obj.pp[i] = tmp2[i] + ROAD_PROCESS_NOISE * tmp1[i];
    const double denominator = obj.pp[0] + SIGMA_W2;
    obj.kGain[0] = obj.pp[0] / denominator;
    obj.kGain[1] = obj.pp[3] / denominator;
    obj.kGain[2] = obj.pp[6] / denominator;
    return obj;
}

KfData33 KfCorrection33(KfData33 obj, double kyori) {
    const double e = kyori - obj.px[0];
    for (int i = 0; i < 3; ++i) obj.x[i] = obj.px[i] + obj.kGain[i] * e;
    const double tmp[9] = {1.0 - obj.kGain[0], 0.0, 0.0,
                           -obj.kGain[1],      1.0, 0.0,
                           -obj.kGain[2],      0.0, 1.0};
    MatrixMultiply(3, 3, 3, tmp, obj.pp, obj.p);
    return obj;
}

KfData KfPrediction(KfData obj, KfConst sys, double dSigW2) {
    double tmp1[4];
    double tmp2[4];
    MatrixMultiply(2, 1, 2, sys.a, obj.x, obj.px);
    MatrixMultiply(2, 2, 2, sys.a, obj.p, tmp1);
    MatrixMultiply(2, 2, 2, tmp1, sys.aT, tmp2);
    MatrixMultiply(2, 2, 1, sys.b, sys.bT, tmp1);
    for (int i = 0; i < 4; ++i) obj.pp[i] = tmp2[i] + SIGMA_V2 * tmp1[i];
    const double denominator = obj.pp[0] + dSigW2;
    obj.kGain[0] = obj.pp[0] / denominator;
    obj.kGain[1] = obj.pp[2] / denominator;
    return obj;
}

KfData KfCorrection(KfData obj, double kyori) {
    const double e = kyori - obj.px[0];
    obj.x[0] = obj.px[0] + obj.kGain[0] * e;
    obj.x[1] = obj.px[1] + obj.kGain[1] * e;
    const double tmp[4] = {1.0 - obj.kGain[0], 0.0,
                           -obj.kGain[1],      1.0};
    MatrixMultiply(2, 2, 2, tmp, obj.pp, obj.p);
    return obj;
}
