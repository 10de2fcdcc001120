#include <gtest/gtest.h>

#include "Config.h"
#include "Kalman.h"

TEST(MatrixMultiply, ShapesFollowTheResultDimensionsFirst) {
    const double b[3] = {1.0, 2.0, 3.0};
    const double bT[3] = {4.0, 5.0, 6.0};
    double outer[9];
    MatrixMultiply(3, 3, 1, b, bT, outer);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(outer[i * 3 + j], b[i] * bT[j]);

    const double a[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    double vec[3];
    MatrixMultiply(3, 1, 3, a, b, vec);
    EXPECT_EQ(vec[0], 14.0);
    EXPECT_EQ(vec[1], 32.0);
    EXPECT_EQ(vec[2], 50.0);

    double untouched[2] = {7.0, 7.0};
    ResetArray(untouched, 0);
    ResetArray(untouched, -3);
    EXPECT_EQ(untouched[0], 7.0);
    EXPECT_EQ(untouched[1], 7.0);
}

TEST(KalmanTwoState, IdentityPredictionGivesTheTextbookGain) {
    KfData obj{};
    obj.p[0] = 4.0;
    obj.p[1] = 1.0;
    obj.p[2] = 1.0;
    obj.p[3] = 2.0;
    const KfConst sys = {{1, 0, 0, 1}, {0, 0}, {1, 0, 0, 1}, {0, 0}};
    const KfData out = KfPrediction(obj, sys, 1.0);
    EXPECT_EQ(out.px[0], 0.0);
    EXPECT_EQ(out.px[1], 0.0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(out.pp[i], obj.p[i]);
    EXPECT_DOUBLE_EQ(out.kGain[0], 4.0 / 5.0);
    EXPECT_DOUBLE_EQ(out.kGain[1], 1.0 / 5.0);
    // Prediction never alters the corrected state or covariance.
    for (int i = 0; i < 4; ++i) EXPECT_EQ(out.p[i], obj.p[i]);
}

TEST(KalmanTwoState, CorrectionAppliesTheStoredGainToThePrediction) {
    KfData obj{};
    obj.px[0] = 10.0;
    obj.px[1] = 1.0;
    obj.kGain[0] = 0.5;
    obj.kGain[1] = 0.25;
    obj.pp[0] = 2.0;
    obj.pp[1] = 1.0;
    obj.pp[2] = 1.0;
    obj.pp[3] = 3.0;

    const KfData same = KfCorrection(obj, 10.0);
    EXPECT_EQ(same.x[0], 10.0);
    EXPECT_EQ(same.x[1], 1.0);
    // (I - K H) PP even without an innovation.
    EXPECT_DOUBLE_EQ(same.p[0], 1.0);
    EXPECT_DOUBLE_EQ(same.p[1], 0.5);
    EXPECT_DOUBLE_EQ(same.p[2], -0.5 + 1.0);
    EXPECT_DOUBLE_EQ(same.p[3], -0.25 + 3.0);

    const KfData moved = KfCorrection(obj, 14.0);
    EXPECT_DOUBLE_EQ(moved.x[0], 12.0);
    EXPECT_DOUBLE_EQ(moved.x[1], 2.0);
    // A second correction reads px again, not the first result.
    const KfData twice = KfCorrection(moved, 14.0);
    EXPECT_EQ(twice.x[0], moved.x[0]);
    EXPECT_EQ(twice.x[1], moved.x[1]);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(moved.px[i], obj.px[i]);
        EXPECT_EQ(moved.kGain[i], obj.kGain[i]);
    }
}

TEST(KalmanTwoState, TrackFilterFirstPredictionMatchesHandComputedValues) {
    const double dt = DELTA_T;
    const KfConst sys = {{1.0, dt, 0.0, 1.0}, {dt * dt / 2, dt}, {1.0, 0.0, dt, 1.0}, {dt * dt / 2, dt}};
    KfData obj{};
    obj.p[0] = obj.p[3] = 100.80316162109375;
    obj.x[0] = 10.0;
    const double r = (0.05 * 10.0 / 3) * (0.05 * 10.0 / 3);
    const KfData out = KfPrediction(obj, sys, r);
    EXPECT_NEAR(out.pp[0], 100.915144, 1e-6);
    EXPECT_NEAR(out.pp[1], 3.359841, 1e-6);
    EXPECT_NEAR(out.pp[2], 3.359841, 1e-6);
    EXPECT_NEAR(out.pp[3], 100.807435, 1e-6);
    EXPECT_NEAR(out.kGain[0], 0.999725, 1e-6);
    EXPECT_NEAR(out.kGain[1], 0.0332846, 1e-7);
    EXPECT_EQ(out.px[0], 10.0);
}

TEST(KalmanThreeState, RoadFilterStepsFollowTheConstantCurvatureModel) {
    const KfConst33 sys = {{1, 0.5, 0.125, 0, 1, 0.5, 0, 0, 1},
                           {1, 1, 1},
                           {1, 0, 0, 0.5, 1, 0, 0.125, 0.5, 1},
                           {1, 1, 1}};
    KfData33 obj{};
    obj.p[0] = obj.p[4] = obj.p[8] = 5.0;
    obj.x[0] = 300.0;
    obj.x[1] = -8.0;
    obj.x[2] = 2.0;
    const KfData33 pred = KfPrediction33(obj, sys);
    EXPECT_DOUBLE_EQ(pred.px[0], 300.0 - 4.0 + 0.25);
    EXPECT_DOUBLE_EQ(pred.px[1], -8.0 + 1.0);
    EXPECT_DOUBLE_EQ(pred.px[2], 2.0);
    // A P A' + 0.25 B B': P00 = 5 + 0.25*5 + 0.015625*5 + 0.25.
    EXPECT_DOUBLE_EQ(pred.pp[0], 5.0 + 1.25 + 0.078125 + 0.25);
    EXPECT_DOUBLE_EQ(pred.kGain[0], pred.pp[0] / (pred.pp[0] + 9.0));
    EXPECT_DOUBLE_EQ(pred.kGain[1], pred.pp[3] / (pred.pp[0] + 9.0));
    EXPECT_DOUBLE_EQ(pred.kGain[2], pred.pp[6] / (pred.pp[0] + 9.0));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(pred.x[i], obj.x[i]);

    const KfData33 corr = KfCorrection33(pred, pred.px[0] + 10.0);
    for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(corr.x[i], pred.px[i] + pred.kGain[i] * 10.0);
    EXPECT_DOUBLE_EQ(corr.p[0], (1.0 - pred.kGain[0]) * pred.pp[0]);
    EXPECT_DOUBLE_EQ(corr.p[3], -pred.kGain[1] * pred.pp[0] + pred.pp[3]);
}
