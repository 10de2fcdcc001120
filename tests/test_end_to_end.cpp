// The whole pipeline on the embedded road scene, checked against the scene's own geometry.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "EmbeddedPictures.h"
#include "Imageread.h"
#include "RunDriver.h"
#include "Scene.h"

namespace {

scene::Scene EmbeddedScene() {
    scene::Scene description;
    std::string error;
    EXPECT_TRUE(scene::LoadScene(std::string(SOURCE_DIR) + "/data/scene.txt", description, error)) << error;
    return description;
}

// One frame of the embedded sequence.
void ProcessEmbeddedFrame(RunState& run) {
    bmp_reader_dsip_32bpp("embedded", run.src_img_colorD);
    ASSERT_FALSE(run.src_img_colorD.empty());
    ProcessFrame(run);
}

bool ReachesIntoZone(const scene::Box& box) {
    return box.right_m > DETECTABLE_AREA_L_M && box.left_m < DETECTABLE_AREA_R_M;
}

}  // namespace

TEST(EndToEnd, FirstFrameRoadProfileFollowsTheSceneRoad) {
    RunState run;
    ProcessEmbeddedFrame(run);
    EXPECT_TRUE(run.groundAccepted);
    EXPECT_TRUE(run.bGndFixFlg);
    for (int d = 2; d <= 27; ++d) EXPECT_NEAR(run.ground[d], FlatRoadRowInPicture(DEFAULT_CAMERA, d), 3) << "disparity " << d;
}

TEST(EndToEnd, GridShowsEveryNearObstacleAndNothingOnTheRoad) {
    const scene::Scene description = EmbeddedScene();
    RunState run;
    ProcessEmbeddedFrame(run);

    for (const scene::Box& box : description.boxes) {
        if (box.z_m >= 40.0) continue;
        const scene::BoxExtent extent = scene::Extent(DEFAULT_CAMERA, box);
        const int firstBlock = std::max(extent.uLeft, 0) / SHIFT_PITCH;
        const int lastBlock = std::min(extent.uRight, TOTAL_U - 1) / SHIFT_PITCH;
        const int level = static_cast<int>(extent.d_pix + 0.5);
        int occupiedBlocks = 0;
        for (int uBl = firstBlock; uBl <= lastBlock; ++uBl) {
            for (int d = level - 1; d <= level + 1; ++d) {
                if (run.grid[GRID(uBl, d)].exist == 10) {
                    ++occupiedBlocks;
                    break;
                }
            }
        }
        // The face's blocks are occupied at its disparity, edge blocks may be partly covered.
        EXPECT_GE(occupiedBlocks, lastBlock - firstBlock - 1) << box.name;
    }

    // Every occupied cell belongs to some obstacle: its block and level lie on an obstacle's face.
    for (int d = 0; d < LUT_NUM; ++d) {
        for (int uBl = 0; uBl < totalBlkNumU; ++uBl) {
            if (run.grid[GRID(uBl, d)].exist != 10) continue;
            bool onObstacle = false;
            for (const scene::Box& box : description.boxes) {
                const scene::BoxExtent extent = scene::Extent(DEFAULT_CAMERA, box);
                const bool inColumns = uBl * SHIFT_PITCH + SHIFT_PITCH > extent.uLeft && uBl * SHIFT_PITCH <= extent.uRight;
                onObstacle = onObstacle || (inColumns && std::fabs(d - extent.d_pix) <= 1.5);
            }
            EXPECT_TRUE(onObstacle) << "occupied cell at block " << uBl << ", disparity " << d;
        }
    }
}

TEST(EndToEnd, FullRunHoldsOneStableTrackPerObstacleInTheZone) {
    const scene::Scene description = EmbeddedScene();
    RunState run;
    std::vector<int> identifiers(description.boxes.size(), 0);
    for (int frame = START_FRAME; frame <= END_FRAME; ++frame) {
        ProcessEmbeddedFrame(run);
        if (frame < START_FRAME + 2) continue;

        std::vector<int> held(description.boxes.size(), 0);
        for (const TrackingObject& track : run.preObject) {
            int matched = -1;
            for (size_t b = 0; b < description.boxes.size(); ++b) {
                const scene::Box& box = description.boxes[b];
                if (std::fabs(track.m_Z_m - box.z_m) <= 0.03 * box.z_m &&
                    std::fabs(track.m_X_m - 0.5 * (box.left_m + box.right_m)) <= 0.3) {
                    matched = static_cast<int>(b);
                }
            }
            ASSERT_GE(matched, 0) << "frame " << frame << ": track " << track.m_id << " at " << track.m_Z_m
                                  << " m, x " << track.m_X_m << " m matches no obstacle";
            const scene::Box& box = description.boxes[matched];
            ++held[matched];
            // A column block spans 0.17 m at 40 m; widths are held to 0.3 m nearer than that.
            if (box.z_m < 40.0) {
                EXPECT_NEAR(track.m_w_m, box.right_m - box.left_m, 0.3) << box.name;
            }
            if (identifiers[matched] == 0) identifiers[matched] = track.m_id;
            EXPECT_EQ(track.m_id, identifiers[matched]) << box.name << " changed identifier in frame " << frame;
        }
        for (size_t b = 0; b < description.boxes.size(); ++b) {
            const scene::Box& box = description.boxes[b];
            if (!ReachesIntoZone(box)) {
                EXPECT_EQ(held[b], 0) << box.name << " lies outside the zone, frame " << frame;
            } else if (box.z_m < 40.0) {
                EXPECT_EQ(held[b], 1) << box.name << ", frame " << frame;
            } else {
                EXPECT_LE(held[b], 1) << box.name << ", frame " << frame;
            }
        }
    }
}
