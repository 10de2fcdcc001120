// Golden runs: a digest of everything a frame produces, a moving version of the embedded road
// scene, and a frame runner that feeds either scene through a chosen set of detection stages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "RunDriver.h"
#include "RunState.h"
#include "Scene.h"

namespace golden {

// FNV-1a over 64 bits, fed field by field in a fixed order with fixed-width little-endian bytes,
// so that neither the targets' record layout and padding nor their word size enter the value.
class Digest {
public:
    void Add(int32_t value);
    void Add(bool value);
    void Add(double value);  // its bit pattern
    void Add(uint64_t value);
    template <size_t N> void Add(const double (&values)[N]) {
        for (double v : values) Add(v);
    }
    uint64_t Value() const { return hash_; }

private:
    void AddBytes(uint64_t bits, int bytes);
    uint64_t hash_ = 0xCBF29CE484222325ull;
};

// What the detection stages leave in the run: the V-disparity peaks, the road rows and flags, the
// cell thresholds, every field of every grid cell, and the frame's detections.
void AddDetection(Digest& digest, const RunState& run);
// Every field of every grid cell, in index order.
void AddGrid(Digest& digest, const std::vector<Grid>& grid);
// Every field of every detection, in list order.
void AddDetections(Digest& digest, const std::vector<DetectedObject>& detections);
// Every field of every track, in list order.
void AddTracks(Digest& digest, const std::vector<TrackingObject>& tracks);

// A frame's disparity picture into the run, as a frame source loads it (the camera's rows of
// pixels of blue, green, red, unused, bottom row first, as embedded).
void LoadPicture(RunState& run, const unsigned char* picture);

// The same picture of `rows` x `cols` pixels as a caller of the Detector holds one: three bytes a
// pixel (blue, green, red), top row first.
std::vector<unsigned char> TopDownColours(const unsigned char* picture, int rows, int cols);

// One whole frame on the disparities a frame source has put into the run, processed with the
// given detection stages. Returns the frame's digest: what detection left in the run, then the
// tracks after association.
uint64_t RunLoadedFrame(RunState& run, const DetectionStages& detect);

// The same after loading a picture of the embedded kind.
uint64_t RunFrame(RunState& run, const unsigned char* picture, const DetectionStages& detect);

// The moving scene of the golden record and the benchmark (moving_scene.txt beside this file):
// the embedded road scene with the car ahead closing in and the pedestrian crossing.
scene::Scene MovingScene();
// Frame `frame` of a moving scene, coded as the embedded picture is.
std::vector<unsigned char> ScenePicture(const scene::Scene& moving, int frame);

}  // namespace golden
