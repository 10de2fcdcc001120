#include "GoldenRun.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "Imageread.h"

namespace golden {
namespace {

constexpr uint64_t FNV_PRIME = 0x100000001B3ull;
template <size_t N> void AddInts(Digest& digest, const int (&values)[N]) {
    for (int v : values) digest.Add(static_cast<int32_t>(v));
}

void AddCell(Digest& digest, const Grid& c) {
    digest.Add(c.exist);
    digest.Add(c.h_pix);
    digest.Add(c.hl_pix);
    digest.Add(c.aveD);
    digest.Add(c.id);
    digest.Add(c.ref);
    digest.Add(c.x_m);
    digest.Add(c.z_m);
    digest.Add(c.h_m);
    digest.Add(c.count);
    digest.Add(c.nowAveD);
    digest.Add(c.preAveD);
}

void AddObject(Digest& digest, const DetectedObject& o) {
    digest.Add(o.lX_m);
    digest.Add(o.rX_m);
    digest.Add(o.d_pix);
    digest.Add(o.h_m);
    digest.Add(o.S_u);
    digest.Add(o.E_u);
    digest.Add(o.sigmaUD);
    digest.Add(o.sigmaU);
    digest.Add(o.sigmaD);
    digest.Add(o.sigmaUU);
    digest.Add(o.iN);
    digest.Add(o.a);
    digest.Add(o.b);
    digest.Add(o.inRange);
    digest.Add(o.bUsed);
}

void AddFilter(Digest& digest, const KfConst& system, const KfData& obj) {
    digest.Add(system.a);
    digest.Add(system.b);
    digest.Add(system.aT);
    digest.Add(system.bT);
    digest.Add(obj.p);
    digest.Add(obj.pp);
    digest.Add(obj.kGain);
    digest.Add(obj.px);
    digest.Add(obj.x);
}

void AddTrack(Digest& digest, const TrackingObject& t) {
    AddFilter(digest, t.m_systemZ, t.m_objZ);
    AddFilter(digest, t.m_systemX, t.m_objX);
    digest.Add(t.m_buf_w);
    digest.Add(t.m_buf_h);
    for (int32_t v : {t.m_buf_count, t.m_id, t.m_count, t.m_loss_co}) digest.Add(v);
    for (double v : {t.m_w_m, t.m_h_m, t.m_actX_m, t.m_X_m, t.m_pX_m, t.m_actZ_m, t.m_Z_m, t.m_pZ_m, t.m_actD_pix,
                     t.m_D_pix, t.m_pD_pix}) {
        digest.Add(v);
    }
    digest.Add(t.m_S_u);
    digest.Add(t.m_E_u);
    digest.Add(t.m_a);
    digest.Add(t.m_b);
    digest.Add(t.m_OneSideCnt);
    digest.Add(t.m_bIniBufKalmFlg);
}

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
    for (const Grid& c : grid) AddCell(digest, c);
}

void AddDetections(Digest& digest, const std::vector<DetectedObject>& detections) {
    digest.Add(static_cast<int32_t>(detections.size()));
    for (const DetectedObject& o : detections) AddObject(digest, o);
}

void AddTracks(Digest& digest, const std::vector<TrackingObject>& tracks) {
    digest.Add(static_cast<int32_t>(tracks.size()));
    for (const TrackingObject& t : tracks) AddTrack(digest, t);
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
