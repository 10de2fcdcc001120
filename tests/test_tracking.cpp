#include <gtest/gtest.h>

#include <vector>

#include "Builders.h"
#include "Config.h"
#include "TrackingObject.h"

namespace {

// The detection of an obstacle at the given distance, 0.8 m wide, centred at -0.1 m.
std::vector<DetectedObject> AtDistance(double z) {
    return {MakeDetection(-0.5, 0.3, BF_PIX / z, 1.2, 60, 66)};
}

}  // namespace

TEST(TrackingObject, NewFilterStartsFromTheTunedVariance) {
    TrackingObject t;
    KfConst sys;
    KfData obj;
    t.InitialKalman(&sys, &obj);
    EXPECT_EQ(obj.p[0], 100.80316162109375);
    EXPECT_EQ(obj.p[3], 100.80316162109375);
    EXPECT_EQ(obj.p[1], 0.0);
    EXPECT_EQ(sys.a[1], DELTA_T);
    EXPECT_EQ(sys.aT[2], DELTA_T);
    EXPECT_NEAR(sys.b[0], 0.00055544445, 1e-15);
}

TEST(TrackingObject, FirstTwoUpdatesFollowTheWorkedNumbers) {
    TrackingObject t;
    t.Update({MakeDetection(-0.5, 0.3, 14.2366, 1.2, 60, 66)}, 0);
    EXPECT_NEAR(t.m_actZ_m, 10.0, 1e-12);
    EXPECT_DOUBLE_EQ(t.m_actX_m, -0.1);
    EXPECT_EQ(t.m_buf_count, 1);
    EXPECT_DOUBLE_EQ(t.m_w_m, 0.8);
    EXPECT_DOUBLE_EQ(t.m_h_m, 1.2);
    EXPECT_EQ(t.m_objZ.x[0], t.m_actZ_m);
    EXPECT_EQ(t.m_objZ.x[1], 0.0);
    EXPECT_EQ(t.m_pZ_m, t.m_actZ_m);
    EXPECT_NEAR(t.m_pD_pix, 14.2366, 1e-12);
    EXPECT_EQ(t.m_D_pix, t.m_pD_pix);
    EXPECT_EQ(t.m_count, 1);

    EXPECT_NEAR(t.m_objZ.kGain[0], 0.999725, 5e-7);
    EXPECT_NEAR(t.m_objZ.kGain[1], 0.0332846, 5e-8);
    EXPECT_NEAR(t.m_objZ.pp[0], 100.915144, 5e-7);
    EXPECT_NEAR(t.m_objZ.pp[1], 3.359841, 5e-7);
    EXPECT_NEAR(t.m_objZ.pp[2], 3.359841, 5e-7);
    EXPECT_NEAR(t.m_objZ.pp[3], 100.807435, 5e-7);
    // Lateral noise variance is 5 % of the distance, not squared.
    EXPECT_NEAR(t.m_objX.kGain[0] * (t.m_objX.pp[0] + 0.5), t.m_objX.pp[0], 1e-9);

    t.Update(AtDistance(10.2), 0);
    EXPECT_NEAR(t.m_Z_m, 10.199945, 5e-7);
    EXPECT_NEAR(t.m_objZ.x[1], 0.00665691, 5e-9);
    EXPECT_NEAR(t.m_pZ_m, 10.200167, 5e-7);
    EXPECT_EQ(t.m_D_pix, BF_PIX / t.m_Z_m);
    EXPECT_EQ(t.m_count, 2);
}

TEST(TrackingObject, WidthAndHeightAreMeansOfTheLastThree) {
    TrackingObject t;
    const double widths[4] = {1.0, 2.0, 3.0, 4.0};
    const double means[4] = {1.0, 1.5, 2.0, 3.0};
    for (int i = 0; i < 4; ++i) {
        t.Update({MakeDetection(0.0, widths[i], 10.0, widths[i] / 2.0, 60, 70)}, 0);
        EXPECT_DOUBLE_EQ(t.m_w_m, means[i]) << "update " << i;
        EXPECT_DOUBLE_EQ(t.m_h_m, means[i] / 2.0) << "update " << i;
    }
    EXPECT_EQ(t.m_buf_count, 3);
}

TEST(TrackingObject, RestartKeepsCountAndIdentifier) {
    TrackingObject t;
    t.m_id = 4;
    for (int i = 0; i < 7; ++i) t.Update(AtDistance(10.0 + 0.1 * i), 0);
    ASSERT_EQ(t.m_count, 7);
    ASSERT_NE(t.m_objZ.x[1], 0.0);

    t.m_bIniBufKalmFlg = true;
    t.Update({MakeDetection(1.0, 2.5, BF_PIX / 20.0, 2.0, 90, 99)}, 0);
    EXPECT_EQ(t.m_count, 8);
    EXPECT_EQ(t.m_id, 4);
    EXPECT_EQ(t.m_buf_count, 1);
    EXPECT_DOUBLE_EQ(t.m_w_m, 1.5);
    EXPECT_DOUBLE_EQ(t.m_h_m, 2.0);
    // Filters restarted at the measurement, not corrected towards it.
    EXPECT_EQ(t.m_Z_m, t.m_actZ_m);
    EXPECT_EQ(t.m_objZ.x[1], 0.0);
    EXPECT_DOUBLE_EQ(t.m_X_m, 1.75);
    EXPECT_EQ(t.m_objX.x[1], 0.0);
    EXPECT_NEAR(t.m_objZ.pp[0], 100.915144, 5e-7);
    EXPECT_FALSE(t.m_bIniBufKalmFlg);
}

TEST(TrackingObject, LossUpdateCoastsOnThePrediction) {
    TrackingObject t;
    t.m_loss_co = 2;
    for (int i = 0; i < 3; ++i) t.Update(AtDistance(12.0 - 0.2 * i), 0);
    const TrackingObject before = t;
    ASSERT_LT(before.m_objZ.x[1], 0.0);

    t.LossUpdate();
    EXPECT_EQ(t.m_Z_m, before.m_pZ_m);
    EXPECT_EQ(t.m_objZ.x[1], before.m_objZ.x[1]);
    EXPECT_EQ(t.m_pZ_m, t.m_Z_m + DELTA_T * t.m_objZ.x[1]);
    EXPECT_EQ(t.m_X_m, before.m_pX_m);
    EXPECT_EQ(t.m_D_pix, BF_PIX / t.m_Z_m);
    EXPECT_EQ(t.m_pD_pix, BF_PIX / t.m_pZ_m);
    // The covariance still shrinks on the own prediction.
    EXPECT_LT(t.m_objZ.p[0], before.m_objZ.pp[0]);
    // Both noise values are 5 % of the coasted distance, the distance filter's too.
    EXPECT_NEAR(t.m_objZ.kGain[0] * (t.m_objZ.pp[0] + 0.05 * t.m_Z_m), t.m_objZ.pp[0], 1e-9);
    EXPECT_NEAR(t.m_objX.kGain[0] * (t.m_objX.pp[0] + 0.05 * t.m_Z_m), t.m_objX.pp[0], 1e-9);

    EXPECT_EQ(t.m_w_m, before.m_w_m);
    EXPECT_EQ(t.m_h_m, before.m_h_m);
    EXPECT_EQ(t.m_actZ_m, before.m_actZ_m);
    EXPECT_EQ(t.m_count, before.m_count);
    EXPECT_EQ(t.m_loss_co, 2);
    EXPECT_EQ(t.m_buf_count, before.m_buf_count);
}

// An obstacle closing in at 12 m/s (0.4 m a frame), then a detection cut off by the picture's lower edge:
// its distance bounds the obstacle's from above. Farther than the prediction it carries nothing,
// and the track goes on as its prediction says (a correction with the prediction itself leaves it
// exactly there); nearer than the prediction it corrects the track as a whole detection does.
TEST(TrackingObject, DetectionWithoutItsFootBoundsTheDistanceFromAbove) {
    const struct {
        double measured_m;
        bool followsPrediction;
    } cases[] = {{10.5, true}, {8.5, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.measured_m);
        TrackingObject cut;
        for (int k = 0; k < 6; ++k) cut.Update(AtDistance(12.0 - 0.4 * k), 0);
        TrackingObject whole = cut;
        const double predicted_m = cut.m_pZ_m;
        ASSERT_TRUE(predicted_m > 8.5 && predicted_m < 10.5) << predicted_m;  // about 9.6 m
        cut.Update(AtDistance(c.measured_m), 0, false);
        whole.Update(AtDistance(c.measured_m), 0, true);
        if (c.followsPrediction) {
            EXPECT_EQ(cut.m_Z_m, predicted_m);
            EXPECT_LT(cut.m_Z_m, whole.m_Z_m);
        } else {
            EXPECT_EQ(cut.m_Z_m, whole.m_Z_m);
        }
        EXPECT_EQ(cut.m_count, 7);
        EXPECT_EQ(cut.m_actZ_m, whole.m_actZ_m);
    }
}
