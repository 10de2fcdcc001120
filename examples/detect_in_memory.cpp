// The detector on disparities a program holds in memory: a flat road with a 1.8 m wide, 1.5 m tall
// obstacle 12 m straight ahead, drawn as 32-bit floats for the default camera, over six frames.
// Prints each frame's confirmed tracks: "frame F: track T at Z m, X m right, W m wide".
#include <obstacle/Detector.h>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr double DISTANCE_M = 12.0;
constexpr double HALF_WIDTH_M = 0.9;
constexpr double HEIGHT_M = 1.5;

// Picture row of a point `above_m` over the road at distance z_m (the camera's flat-road model).
double RowAt(const obstacle::Camera& c, double z_m, double above_m) {
    const double h = c.camHeight_m - above_m;
    return c.v0_pix + c.f_pix * (h - z_m * c.tanPitch) / (z_m - h * c.tanPitch);
}

// Disparity of the road seen at picture row v, or 0 above the horizon.
float RoadDisparity(const obstacle::Camera& c, int v) {
    const double r = (v - c.v0_pix) / c.f_pix;
    if (r + c.tanPitch <= 0.0) return 0.0f;
    return static_cast<float>(c.bf_pix * (r + c.tanPitch) / (c.camHeight_m * (1.0 + r * c.tanPitch)));
}

std::vector<float> DrawScene(const obstacle::Camera& c) {
    std::vector<float> d(static_cast<size_t>(c.width_pix) * c.height_pix);
    const double left = c.u0_pix - c.f_pix * HALF_WIDTH_M / DISTANCE_M;
    const double right = c.u0_pix + c.f_pix * HALF_WIDTH_M / DISTANCE_M;
    const double top = RowAt(c, DISTANCE_M, HEIGHT_M);
    const double bottom = RowAt(c, DISTANCE_M, 0.0);
    for (int v = 0; v < c.height_pix; ++v) {
        for (int u = 0; u < c.width_pix; ++u) {
            const bool face = u >= left && u <= right && v >= top && v <= bottom;
            d[static_cast<size_t>(v) * c.width_pix + u] =
                face ? static_cast<float>(c.bf_pix / DISTANCE_M) : RoadDisparity(c, v);
        }
    }
    return d;
}

}  // namespace

int main() {
    const obstacle::Camera camera = obstacle::DefaultCamera();
    const std::vector<float> disparity = DrawScene(camera);
    obstacle::Detector detector(camera);
    for (int frame = 1; frame <= 6; ++frame) {
        // The detector reads the caller's pixels during Process only; the result is the caller's.
        const obstacle::FrameResult result = detector.Process(obstacle::FloatDisparity(
            disparity.data(), camera.height_pix, camera.width_pix, camera.width_pix * sizeof(float)));
        for (const obstacle::Track& track : result.tracks) {
            if (!track.confirmed) continue;
            std::printf("frame %d: track %d at %.2f m, %.2f m right, %.2f m wide\n", frame, track.trajectory,
                        track.distance_m, track.lateral_m, track.width_m);
        }
    }
    return 0;
}
