#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "Builders.h"
#include "ColorMap.h"
#include "Config.h"
#include "RoadDisparityMap.h"
#include "RunState.h"

namespace {

constexpr int NONE = TOTAL_V - 1;

using Buffer = std::vector<double>;
using Classes = std::vector<RoadClass>;

Buffer EmptyRoad() { return Buffer(TOTAL_PIXELS, 0.0); }

// The road classes of a buffer's even rows, as the road stage selects them.
Classes ClassesOf(const Buffer& road) {
    Classes classes(static_cast<size_t>(TOTAL_U) * RoadClassRows(TOTAL_V));
    SelectRoadClasses(DefaultGeometry(), road.data(), classes.data());
    return classes;
}

RoadClass ClassAt(const Classes& classes, int x, int y) { return classes[RoadRowStart(TOTAL_U, y) + x]; }

// The road stage's view of a picture: the road classes of the even rows, given by the decode.
Classes DecodeRoadClasses(const qim::Image& picture) {
    Buffer decoded(TOTAL_PIXELS);
    Classes classes(static_cast<size_t>(TOTAL_U) * RoadClassRows(TOTAL_V));
    DecodePicture(DefaultGeometry(), ViewOf(picture), decoded.data(), classes.data());
    return classes;
}

// Writes value v into count columns of row y, starting at column x and moving by step.
void PutRun(Buffer& road, int y, int x, int step, int count, double v) {
    for (int k = 0; k < count; ++k) road[PIXEL(x + k * step, y)] = v;
}

// Writes the values down column x, one per even row from row 0.
void PutColumn(Buffer& road, int x, const std::vector<double>& values) {
    for (size_t k = 0; k < values.size(); ++k) road[PIXEL(x, 2 * static_cast<int>(k))] = values[k];
}

// The classes of column x, one per even row from row 0.
Classes ColumnClasses(const Classes& classes, int x, int count) {
    Classes column;
    for (int k = 0; k < count; ++k) column.push_back(ClassAt(classes, x, 2 * k));
    return column;
}

// The classes as the V-disparity scan counts them: the entries of a face of their column left out
// (NO_ROAD_CLASS).
Classes WithoutFaces(const Classes& classes, const std::vector<uint16_t>& columnCounts) {
    Classes counted = classes;
    for (int y = 0; y < TOTAL_V; y += 2) {
        for (int x = 0; x < TOTAL_U; ++x) {
            RoadClass& c = counted[RoadRowStart(TOTAL_U, y) + x];
            if (IsObstacleFace(DefaultGeometry(), columnCounts.data(), x, c)) c = NO_ROAD_CLASS;
        }
    }
    return counted;
}

// The classes the values have on their own: a left-out entry is NO_ROAD_CLASS, as 0.0 is.
Classes ClassesOfValues(const std::vector<double>& values) {
    Classes classes;
    for (double v : values) classes.push_back(RoadClassOf(v));
    return classes;
}

}  // namespace

TEST(RoadDisparityClass, RoundsHalfUpAndFoldsOddClassesAboveSixteen) {
    EXPECT_TRUE(IsRoadDisparity(2.0));
    EXPECT_TRUE(IsRoadDisparity(40.0));
    EXPECT_FALSE(IsRoadDisparity(1.99));
    EXPECT_FALSE(IsRoadDisparity(40.01));
    EXPECT_FALSE(IsRoadDisparity(0.0));
    EXPECT_FALSE(IsRoadDisparity(100.0));
    EXPECT_FALSE(IsRoadDisparity(std::numeric_limits<double>::quiet_NaN()));

    EXPECT_EQ(DisparityClass(15.4), 15);
    EXPECT_EQ(DisparityClass(15.5), 16);
    EXPECT_EQ(DisparityClass(16.4), 16);
    EXPECT_EQ(DisparityClass(16.6), 16);
    EXPECT_EQ(DisparityClass(17.4), 16);
    EXPECT_EQ(DisparityClass(17.5), 18);
    EXPECT_EQ(DisparityClass(18.5), 18);
    EXPECT_EQ(DisparityClass(40.0), 40);
    EXPECT_EQ(RoundedDisparity(18.5), 19);

    EXPECT_EQ(RoadClassOf(17.4), 16);
    EXPECT_EQ(RoadClassOf(2.0), 2);
    EXPECT_EQ(RoadClassOf(0.0), NO_ROAD_CLASS);
    EXPECT_EQ(RoadClassOf(1.99), NO_ROAD_CLASS);
    EXPECT_EQ(RoadClassOf(40.01), NO_ROAD_CLASS);
    EXPECT_EQ(RoadClassOf(-20.0), NO_ROAD_CLASS);
    EXPECT_EQ(RoadClassOf(std::numeric_limits<double>::quiet_NaN()), NO_ROAD_CLASS);
}

TEST(RoadObstacleErasure, ClearsColumnsWhereOneClassDominates) {
    Buffer road = EmptyRoad();
    // Six of class 10 (rounded 10): all go; rounded 11 and 9 stay.
    PutColumn(road, 10, {9.6, 10.0, 10.4, 9.5, 10.49, 10.2, 10.6, 9.4});
    // Five of class 10 stay.
    PutColumn(road, 11, {9.6, 10.0, 10.4, 9.5, 10.2});
    // Six of class 15 go; six of class 16 stay, a folded class needs more than ten.
    PutColumn(road, 12, {15.0, 15.0, 15.0, 15.0, 15.0, 15.0});
    PutColumn(road, 13, {16.0, 16.0, 16.0, 16.0, 16.0, 16.0});
    // Eleven of class 20, rounded 20 or 21: all go; rounded 19 (class 18) and 22 stay.
    PutColumn(road, 20, {19.5, 20.0, 20.4, 20.5, 21.0, 21.4, 19.6, 20.2, 20.8, 21.2, 20.0, 19.4, 21.5});
    // Ten of class 20 stay.
    PutColumn(road, 21, {19.5, 20.0, 20.4, 20.5, 21.0, 21.4, 19.6, 20.2, 20.8, 21.2});
    // Eleven of class 16 (six rounded 16, five rounded 17) go; 15.4 and 18.0 stay.
    PutColumn(road, 22, {16.0, 16.0, 16.0, 16.0, 16.0, 16.0, 17.0, 17.0, 17.0, 17.0, 17.0, 15.4, 18.0});
    // Twelve of class 18 go, with rounded 19 among them; rounded 17 belongs to class 16 and stays.
    PutColumn(road, 23, {18.0, 18.0, 18.0, 18.0, 18.0, 18.0, 18.0, 18.0, 18.0, 18.0, 18.0, 19.2, 17.2});
    const Classes before = ClassesOf(road);
    std::vector<uint16_t> columnCounts(static_cast<size_t>(TOTAL_U) * ROAD_CLASS_SLOTS);
    CountColumnClasses(DefaultGeometry(), before.data(), columnCounts.data());
    const Classes classes = WithoutFaces(before, columnCounts);

    using V = std::vector<double>;
    EXPECT_EQ(ColumnClasses(classes, 10, 8), ClassesOfValues(V{0, 0, 0, 0, 0, 0, 10.6, 9.4}));
    EXPECT_EQ(ColumnClasses(classes, 11, 5), ColumnClasses(before, 11, 5));
    EXPECT_EQ(ColumnClasses(classes, 12, 6), Classes(6, NO_ROAD_CLASS));
    EXPECT_EQ(ColumnClasses(classes, 13, 6), ColumnClasses(before, 13, 6));
    V expected20(11, 0.0);
    expected20.push_back(19.4);
    expected20.push_back(21.5);
    EXPECT_EQ(ColumnClasses(classes, 20, 13), ClassesOfValues(expected20));
    EXPECT_EQ(ColumnClasses(classes, 21, 10), ColumnClasses(before, 21, 10));
    V expected22(11, 0.0);
    expected22.push_back(15.4);
    expected22.push_back(18.0);
    EXPECT_EQ(ColumnClasses(classes, 22, 13), ClassesOfValues(expected22));
    V expected23(12, 0.0);
    expected23.push_back(17.2);
    EXPECT_EQ(ColumnClasses(classes, 23, 13), ClassesOfValues(expected23));
}

TEST(RoadVDisparity, PeakRowsFollowCountsCapsAndTies) {
    Buffer road = EmptyRoad();
    const int X0 = 232;    // optical axis column, where both row scans start
    const int L = X0 - 1;  // runs from here leftward are met by the left scan only
    const double FILLER = 30.0;
    int expected[LUT_NUM];
    std::fill(expected, expected + LUT_NUM, NONE);

    // Minimum counts: 5 below class 16, 10 from class 16 on.
    PutRun(road, 250, L, -1, 5, 10.0);
    expected[10] = 250;
    PutRun(road, 252, L, -1, 4, 12.0);
    PutRun(road, 254, X0 + 1, +1, 10, 20.0);
    expected[20] = 254;
    PutRun(road, 256, X0 + 1, +1, 9, 22.0);
    // Equal best counts: the upper row; a larger count lower down wins.
    PutRun(road, 160, L, -1, 6, 8.0);
    PutRun(road, 170, L, -1, 6, 8.0);
    expected[8] = 160;
    PutRun(road, 180, L, -1, 6, 6.0);
    PutRun(road, 190, L, -1, 7, 6.0);
    expected[6] = 190;
    // Folded classes: 17.0 counts as 16; 18.4 and 19.4 both count as 18.
    PutRun(road, 200, L, -1, 10, 17.0);
    expected[16] = 200;
    PutRun(road, 204, L, -1, 5, 18.4);
    PutRun(road, 204, L - 5, -1, 5, 19.4);
    expected[18] = 204;
    // Odd classes lie halfway between their even neighbours, truncated.
    expected[17] = (200 + 204) / 2;
    expected[19] = (204 + 254) / 2;
    expected[21] = (254 + NONE) / 2;
    // Rows from 110 on.
    PutRun(road, 108, L, -1, 10, 14.0);
    PutRun(road, 110, L, -1, 5, 13.0);
    expected[13] = 110;
    // Columns 0 and 559 are not scanned; column 232 is scanned from both sides.
    PutRun(road, 300, 0, +1, 5, 11.0);
    PutRun(road, 302, TOTAL_U - 1, -1, 5, 9.0);
    PutRun(road, 310, X0 - 2, +1, 4, 7.0);
    expected[7] = 310;
    // At most 100 entries per side: 95 + 5 are all counted, 96 + 5 leave 4.
    PutRun(road, 120, X0, -1, 95, FILLER);
    PutRun(road, 120, X0 - 95, -1, 5, 5.0);
    expected[5] = 120;
    PutRun(road, 122, X0, -1, 96, FILLER);
    PutRun(road, 122, X0 - 96, -1, 5, 4.0);
    // Each side has its own cap.
    PutRun(road, 126, X0, -1, 100, FILLER);
    PutRun(road, 126, X0 - 100, -1, 10, 3.0);
    PutRun(road, 126, X0 + 1, +1, 5, 2.0);
    expected[2] = 126;
    PutRun(road, 128, X0, +1, 100, FILLER);
    PutRun(road, 128, X0 + 100, +1, 10, 3.0);
    // Values no road disparity can have are not counted, whatever the buffer holds.
    PutRun(road, 340, 100, +1, 10, 1.0);
    PutRun(road, 340, 300, +1, 12, 100.0);
    PutRun(road, 342, 100, +1, 12, 1e300);
    PutRun(road, 342, 300, +1, 12, -20.0);
    PutRun(road, 344, 100, +1, 12, std::numeric_limits<double>::quiet_NaN());

    int MaxY[LUT_NUM];
    const std::vector<uint16_t> noFaces(static_cast<size_t>(TOTAL_U) * ROAD_CLASS_SLOTS, 0);
    VDisparityPeaks(DefaultGeometry(), ClassesOf(road).data(), noFaces.data(), MaxY);
    for (int d = 0; d < LUT_NUM; ++d) {
        if (d >= 29 && d <= 31) continue;  // the filler's class and its neighbours
        EXPECT_EQ(MaxY[d], expected[d]) << "class " << d;
    }
}

// The decode codes each colour by its segment; every one of the 2^24 colours must still decode to
// exactly what the colour map's own decoding gives, bit for bit, with the road class of that value.
TEST(RoadPicture, DecodesEveryColourAsTheColourMapDoes) {
    qim::Image picture;
    picture.create(TOTAL_V, TOTAL_U, SGBM_8UC3);
    Buffer decoded(TOTAL_PIXELS);
    Classes classes(static_cast<size_t>(TOTAL_U) * RoadClassRows(TOTAL_V));
    const long colours = 1L << 24;
    for (long first = 0; first < colours; first += TOTAL_PIXELS) {
        for (int k = 0; k < TOTAL_PIXELS; ++k) {
            const long colour = (first + k) % colours;
            uchar* pixel = picture.ptr(k / TOTAL_U) + 3 * (k % TOTAL_U);
            pixel[0] = static_cast<uchar>(colour & 0xff);          // blue
            pixel[1] = static_cast<uchar>((colour >> 8) & 0xff);   // green
            pixel[2] = static_cast<uchar>((colour >> 16) & 0xff);  // red
        }
        DecodePicture(DefaultGeometry(), ViewOf(picture), decoded.data(), classes.data());
        for (int k = 0; k < TOTAL_PIXELS; ++k) {
            const long colour = (first + k) % colours;
            const ColorSet rgb{static_cast<int>(colour >> 16), static_cast<int>((colour >> 8) & 0xff),
                               static_cast<int>(colour & 0xff)};
            const double expected = ColorToValue(&rgb, 2);
            ASSERT_EQ(std::memcmp(&decoded[k], &expected, sizeof expected), 0)
                << "colour r" << rgb.red << " g" << rgb.green << " b" << rgb.blue;
            const int x = k % TOTAL_U;
            const int y = k / TOTAL_U;
            if (y % 2 == 0) {
                ASSERT_EQ(ClassAt(classes, x, y), RoadClassOf(expected))
                    << "road class of colour r" << rgb.red << " g" << rgb.green << " b" << rgb.blue;
            }
        }
    }
    picture.release();
}

TEST(RoadPicture, DecodesEvenRowsWithinTheRoadRangeOnly) {
    qim::Image picture;
    picture.create(TOTAL_V, TOTAL_U, SGBM_8UC3);
    FillRows(picture, 0, TOTAL_V - 1, {0, 0, 0});
    SetPixel(picture, 5, 10, {0, 86, 255});   // 0.0235 * 86 = 2.021
    SetPixel(picture, 6, 10, {0, 85, 255});   // 1.9975: too far
    SetPixel(picture, 7, 10, {255, 219, 0});  // 100 - 0.2745 * 219 = 39.8845
    SetPixel(picture, 8, 10, {255, 218, 0});  // 40.159: too near
    SetPixel(picture, 9, 10, {255, 0, 0});    // 100: too near
    SetPixel(picture, 11, 10, {0, 0, 128});   // 15 - 0.0353 * 128 = 10.4816
    SetPixel(picture, 12, 10, {255, 86, 0});  // blue and red swapped: 76.39, too near
    SetPixel(picture, 10, 11, {0, 255, 0});   // odd row: not decoded
    SetPixel(picture, TOTAL_U - 1, TOTAL_V - 2, {0, 255, 0});  // 15.0

    Classes road = DecodeRoadClasses(picture);
    EXPECT_EQ(ClassAt(road, 5, 10), 2);    // 2.021
    EXPECT_EQ(ClassAt(road, 6, 10), NO_ROAD_CLASS);
    EXPECT_EQ(ClassAt(road, 7, 10), 40);   // 39.8845
    EXPECT_EQ(ClassAt(road, 8, 10), NO_ROAD_CLASS);
    EXPECT_EQ(ClassAt(road, 9, 10), NO_ROAD_CLASS);
    EXPECT_EQ(ClassAt(road, 11, 10), 10);  // 10.4816
    EXPECT_EQ(ClassAt(road, 12, 10), NO_ROAD_CLASS);
    EXPECT_EQ(ClassAt(road, 10, 10), NO_ROAD_CLASS);  // below it, on the odd row, is no entry
    EXPECT_EQ(ClassAt(road, TOTAL_U - 1, TOTAL_V - 2), 15);
    int stored = 0;
    for (RoadClass c : road) stored += c != NO_ROAD_CLASS;
    EXPECT_EQ(stored, 4);
    picture.release();

    // A picture smaller than the frame fills what it covers; the rest has no disparity.
    qim::Image small;
    small.create(100, 50, SGBM_8UC3);
    FillRows(small, 0, 99, {0, 255, 0});
    road = DecodeRoadClasses(small);
    EXPECT_EQ(ClassAt(road, 49, 98), 15);
    EXPECT_EQ(ClassAt(road, 50, 98), NO_ROAD_CLASS);
    EXPECT_EQ(ClassAt(road, 0, 100), NO_ROAD_CLASS);
    small.release();

    // A grey picture has no colours to decode.
    qim::Image grey;
    grey.create(TOTAL_V, TOTAL_U, SGBM_8UC1);
    for (int y = 0; y < TOTAL_V; ++y)
        for (int x = 0; x < TOTAL_U; ++x) grey.ptr(y)[x] = 255;
    road = DecodeRoadClasses(grey);
    for (RoadClass c : road) ASSERT_EQ(c, NO_ROAD_CLASS);
    grey.release();
}

TEST(RoadPicture, HorizontalBandsMakePeaksTallBlocksAreFaces) {
    RunState run;
    run.src_img_colorD.create(TOTAL_V, TOTAL_U, SGBM_8UC3);
    qim::Image& picture = run.src_img_colorD;
    FillRows(picture, 0, TOTAL_V - 1, {0, 0, 0});
    // Rows 200..209 at 10.4816 (class 10): five even rows per column, kept; every row scan
    // counts 100 per side, and the topmost of the equal rows is the peak.
    FillRows(picture, 200, 209, {0, 0, 128});
    // Rows 300..311 at 15 - 0.0353 * 100 = 11.47 (class 11): six even rows per column, a face.
    FillRows(picture, 300, 311, {0, 0, 100});
    RoadDisparityMap(run);
    EXPECT_EQ(run.MaxY[10], 200);
    EXPECT_EQ(run.MaxY[11], NONE);
    EXPECT_EQ(ClassAt(run.roadClasses, 0, 208), 10);  // 15 - 0.0353 * 128
    EXPECT_EQ(ClassAt(run.roadClasses, 300, 300), 11);
    EXPECT_TRUE(IsObstacleFace(run.geometry, run.scratch.columnCounts.data(), 300, 11));
    EXPECT_FALSE(IsObstacleFace(run.geometry, run.scratch.columnCounts.data(), 300, 10));

    // The next frame starts from a clean buffer and clean peaks.
    FillRows(picture, 0, TOTAL_V - 1, {0, 0, 0});
    RoadDisparityMap(run);
    for (RoadClass c : run.roadClasses) ASSERT_EQ(c, NO_ROAD_CLASS);
    for (int d = 0; d < LUT_NUM; ++d) EXPECT_EQ(run.MaxY[d], NONE) << d;
}

// The decode into codes counts each column's classes in its own pass; the counts must be those a
// count of the classes it wrote gives, on a picture of the camera's size and on a smaller one whose
// missing pixels are no disparity. Random colours hit every segment, black among them.
TEST(RoadPicture, DecodeCountsTheClassesItWrites) {
    std::mt19937 random(23);
    for (const int lessRows : {0, 7}) {
        const int lessCols = lessRows == 0 ? 0 : 5;
        qim::Image picture;
        picture.create(TOTAL_V - lessRows, TOTAL_U - lessCols, SGBM_8UC3);
        for (int y = 0; y < picture.rows; ++y) {
            uchar* row = picture.ptr(y);
            for (int k = 0; k < 3 * picture.cols; ++k) {
                const unsigned r = random();
                row[k] = static_cast<uchar>(r % 3 == 0 ? 0 : r >> 8);  // black and the ramps' edges often
            }
        }
        std::vector<DisparityCode> codes(TOTAL_PIXELS);
        Classes classes(static_cast<size_t>(TOTAL_U) * RoadClassRows(TOTAL_V));
        std::vector<uint16_t> fused(static_cast<size_t>(TOTAL_U) * ROAD_CLASS_SLOTS, 0xFFFF);
        DecodePictureCodes(DefaultGeometry(), ViewOf(picture), codes.data(), classes.data(), fused.data());
        std::vector<uint16_t> counted(fused.size());
        CountColumnClasses(DefaultGeometry(), classes.data(), counted.data());
        EXPECT_EQ(fused, counted) << lessRows << " rows fewer";
        EXPECT_EQ(classes, DecodeRoadClasses(picture)) << lessRows << " rows fewer";
        picture.release();
    }
}

// The column blocks holding a frame's disparities, for pictures whose disparities fill the columns
// from..to (inclusive) of one row: a stereo matcher's empty band on the left (128 columns: blocks
// 0-31), a band ending inside a block, a single column on either side, a picture without any. The
// values and the codes of the same picture give the same blocks.
TEST(RoadPicture, MeasuredBlocksAreTheOnesHoldingADisparity) {
    const struct {
        int from, to;  // columns holding a disparity; from > to for none
        int first, last;
    } cases[] = {
        {0, TOTAL_U - 1, 0, totalBlkNumU - 1}, {128, TOTAL_U - 1, 32, totalBlkNumU - 1},
        {130, 401, 32, 100},                   {3, 3, 0, 0},
        {TOTAL_U - 1, TOTAL_U - 1, totalBlkNumU - 1, totalBlkNumU - 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "columns " << c.from << "-" << c.to);
        Buffer values = EmptyRoad();
        std::vector<DisparityCode> codes(TOTAL_PIXELS, NO_DISPARITY_CODE);
        for (int u = c.from; u <= c.to; ++u) {
            values[PIXEL(u, TOTAL_V - 1)] = 20.0;
            codes[PIXEL(u, TOTAL_V - 1)] = 1;
        }
        for (const MeasuredBlocks& m :
             {MeasuredColumnBlocks(DefaultGeometry(), values.data()), MeasuredColumnBlocks(DefaultGeometry(), codes.data())}) {
            EXPECT_EQ(m.first, c.first);
            EXPECT_EQ(m.last, c.last);
        }
    }
    const MeasuredBlocks none = MeasuredColumnBlocks(DefaultGeometry(), EmptyRoad().data());
    EXPECT_GT(none.first, none.last);
}
