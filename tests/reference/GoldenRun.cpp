#include "GoldenRun.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "Imageread.h"
#include "RunFields.h"

namespace golden {
namespace {

constexpr uint64_t FNV_PRIME = 0x100000001B3ull;
template <size_t N> void AddInts(Digest& digest, const int (&values)[N]) {
    for (int v : values) digest.Add(static_cast<int32_t>(v));
}

// Feeds each field's value to the digest, in its own type.
struct AddField {
    Digest& digest;
    template <typename T> void operator()(const char*, int, T value) const { digest.Add(value); }
};

}  // namespace

void Digest::AddBytes(uint64_t bits, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        hash_ ^= (bits >> (8 * i)) & 0xFFu;
        hash_ *= FNV_PRIME;
    }
}

void Digest::Add(int32_t value) { AddBytes(static_cast<uint32_t>(value), 4); }

void Digest::Add(bool value) { AddBytes(value ? 1u : 0u, 1); }

void Digest::Add(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    AddBytes(bits, 8);
}

void Digest::Add(uint64_t value) { AddBytes(value, 8); }

void AddDetection(Digest& digest, const RunState& run) {
    AddInts(digest, run.MaxY);
    AddInts(digest, run.ground);
    AddInts(digest, run.blind);
    AddInts(digest, run.ceiling);
    AddInts(digest, run.pre_ground);
    digest.Add(run.threshold);
    digest.Add(run.groundAccepted);
    digest.Add(run.bGndFixFlg);
    AddGrid(digest, run.grid);
    AddDetections(digest, run.newObject);
}

void AddGrid(Digest& digest, const std::vector<Grid>& grid) {
    for (const Grid& c : grid) CellFields(c, AddField{digest});
}

void AddDetections(Digest& digest, const std::vector<DetectedObject>& detections) {
    digest.Add(static_cast<int32_t>(detections.size()));
    for (const DetectedObject& o : detections) DetectionFields(o, AddField{digest});
}

void AddTracks(Digest& digest, const std::vector<TrackingObject>& tracks) {
    digest.Add(static_cast<int32_t>(tracks.size()));
    for (const TrackingObject& t : tracks) TrackFields(t, AddField{digest});
}

void LoadPicture(RunState& run, const unsigned char* picture) {
    StoreBottomUpRows(picture, run.geometry.height, run.geometry.width, 32, run.src_img_colorD);
}

std::vector<unsigned char> TopDownColours(const unsigned char* picture, int rows, int cols) {
    constexpr size_t FROM_BYTES = 4;
    constexpr size_t TO_BYTES = 3;
    const size_t width = static_cast<size_t>(cols);
    std::vector<unsigned char> colours(static_cast<size_t>(rows) * width * TO_BYTES);
    for (int v = 0; v < rows; ++v) {
        const unsigned char* from = picture + static_cast<size_t>(rows - 1 - v) * width * FROM_BYTES;
        unsigned char* to = colours.data() + static_cast<size_t>(v) * width * TO_BYTES;
        for (size_t u = 0; u < width; ++u) std::memcpy(to + u * TO_BYTES, from + u * FROM_BYTES, TO_BYTES);
    }
    return colours;
}

uint64_t RunLoadedFrame(RunState& run, const DetectionStages& detect) {
    Digest digest;
    ProcessFrame(run, nullptr, detect, [&digest](const RunState& detected) { AddDetection(digest, detected); });
    AddTracks(digest, run.preObject);
    return digest.Value();
}

uint64_t RunFrame(RunState& run, const unsigned char* picture, const DetectionStages& detect) {
    LoadPicture(run, picture);
    return RunLoadedFrame(run, detect);
}

scene::Scene MovingScene() {
    scene::Scene description;
    std::string error;
    if (!scene::LoadScene(MOVING_SCENE_FILE, description, error)) throw std::runtime_error(error);
    return description;
}

std::vector<unsigned char> ScenePicture(const scene::Scene& moving, int frame) {
    return scene::EncodeDisparity(moving.camera, scene::RenderDisparity(scene::SceneAtFrame(moving, frame)));
}

}  // namespace golden
