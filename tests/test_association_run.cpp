#include <gtest/gtest.h>

#include "Config.h"
#include "GroupObjects.h"
#include "RunState.h"
#include "TrackAssociation.h"

namespace {

void Occupy(Grid& c, double aveD, double x) {
    c.exist = 10;
    c.count = 1;
    c.aveD = aveD;
    c.z_m = BF_PIX / aveD;
    c.x_m = x;
    c.h_m = 1.0;
    c.h_pix = 100;
}

// The grid of one frame as the smoothing stage hands it over: one obstacle 0.6 m wide.
void ObstacleFrame(RunState& run) {
    for (int i = 0; i < gridNum; ++i) {
        run.grid[i] = Grid{};
        run.grid[i].ref = i;
    }
    Occupy(run.grid[GRID(70, 20)], 20.0, -0.3);
    Occupy(run.grid[GRID(71, 20)], 20.0, 0.0);
    Occupy(run.grid[GRID(72, 20)], 20.0, 0.3);
}

}  // namespace

TEST(TrackAssociation, StagesWorkOnTheRunState) {
    RunState run;
    for (int frame = 1; frame <= 3; ++frame) {
        ObstacleFrame(run);
        GroupObjects(run);
        ASSERT_EQ(run.newObject.size(), 1u);
        EXPECT_EQ(run.newObject[0].S_u, 70);
        TrackAssociation(run);
        EXPECT_TRUE(run.newObject.empty());
        ASSERT_EQ(run.preObject.size(), 1u);
        EXPECT_EQ(run.preObject[0].m_id, 1);
        EXPECT_EQ(run.preObject[0].m_count, frame);
    }
    EXPECT_DOUBLE_EQ(run.preObject[0].m_w_m, 0.6);
    EXPECT_DOUBLE_EQ(run.preObject[0].m_D_pix, 20.0);
}
