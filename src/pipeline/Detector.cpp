#include "obstacle/Detector.h"

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

#include "Camera.h"
#include "EgoMotion.h"
#include "PictureBox.h"
#include "DetectorInternals.h"
#include "PublicRecords.h"
#include "RunDriver.h"
#include "StageGeometry.h"
#include "TrajectoryNumbers.h"

::Camera InternalCamera(const obstacle::Camera& c) {
    return {c.f_pix,      c.baseline_m,  c.bf_pix,   c.u0_pix,          c.v0_pix,  c.width_pix,
            c.height_pix, c.camHeight_m, c.tanPitch, c.frameInterval_s, c.zoneL_m, c.zoneR_m};
}

obstacle::Camera PublicCamera(const ::Camera& c) {
    return {c.f_pix,      c.baseline_m,  c.bf_pix,   c.u0_pix,          c.v0_pix,  c.width_pix,
            c.height_pix, c.camHeight_m, c.tanPitch, c.frameInterval_s, c.zoneL_m, c.zoneR_m};
}

namespace obstacle {

// The run behind a detector: the stage state, the last frame's association and the trajectory
// numbers, all owned here.
struct Detector::Run {
    Run(const Camera& record, const ::Camera& camera) : record(record), state(camera) {}

    const Camera record;
    RunState state;
    AssociationRecord association;
    TrajectoryNumbers numbers;
};

namespace {

// What makes a camera one the stages cannot see through, or an empty text.
std::string CameraFault(const Camera& c) {
    const double values[] = {c.f_pix, c.baseline_m, c.bf_pix, c.u0_pix, c.v0_pix, c.camHeight_m,
                             c.tanPitch, c.frameInterval_s, c.zoneL_m, c.zoneR_m};
    for (const double v : values) {
        if (!std::isfinite(v)) return "a camera value is not a finite number";
    }
    if (!(c.f_pix > 0.0 && c.baseline_m > 0.0 && c.bf_pix > 0.0 && c.camHeight_m > 0.0 && c.frameInterval_s > 0.0)) {
        return "f_pix, baseline_m, bf_pix, camHeight_m and frameInterval_s must be above 0";
    }
    const auto side = [](int s) { return s >= CAMERA_MIN_SIDE_PIX && s <= CAMERA_MAX_SIDE_PIX; };
    if (!side(c.width_pix) || !side(c.height_pix) || int64_t{c.width_pix} * c.height_pix > CAMERA_MAX_PIXELS) {
        return "a picture of " + std::to_string(c.width_pix) + " x " + std::to_string(c.height_pix) +
               " pixels: each side must lie in " + std::to_string(CAMERA_MIN_SIDE_PIX) + ".." +
               std::to_string(CAMERA_MAX_SIDE_PIX) + ", " + std::to_string(CAMERA_MAX_PIXELS) + " pixels in all at most";
    }
    if (!(c.zoneL_m < c.zoneR_m)) return "zoneL_m is not left of zoneR_m";
    const std::optional<DerivedValue> derived = DerivedOutOfRange(InternalCamera(c));
    if (derived) return derived->name + " lies outside the stages' range";
    return "";
}

int BytesPerValue(const DisparityView& view) {
    switch (view.coding) {
        case DisparityCoding::Fixed16: return 2;
        case DisparityCoding::Float32: return 4;
        case DisparityCoding::ColourCoded: break;
    }
    return view.pixelStride_bytes;
}

// What makes a picture one the camera's detector cannot take, or an empty text.
std::string PictureFault(const DisparityView& view, const Camera& camera) {
    if (view.data == nullptr) return "the disparity picture has no pixels (data is null)";
    if (view.coding == DisparityCoding::ColourCoded && view.pixelStride_bytes != 3 && view.pixelStride_bytes != 4) {
        return "the pixel stride " + std::to_string(view.pixelStride_bytes) + " of a colour-coded picture is neither 3 nor 4 bytes";
    }
    if (view.rows != camera.height_pix || view.cols != camera.width_pix) {
        return "the disparity picture is " + std::to_string(view.cols) + " x " + std::to_string(view.rows) +
               " pixels, the camera's " + std::to_string(camera.width_pix) + " x " + std::to_string(camera.height_pix);
    }
    const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(view.cols) * BytesPerValue(view);
    if (std::abs(view.rowStride_bytes) < rowBytes) {
        return "the row stride " + std::to_string(view.rowStride_bytes) + " is shorter than a row's " +
               std::to_string(rowBytes) + " bytes";
    }
    const bool scaled = view.coding != DisparityCoding::ColourCoded;
    if (scaled && !(std::isfinite(view.scale) && view.scale > 0.0)) return "the disparity scale is not a positive number";
    return "";
}

// The value of the sample at `at`, wherever it lies in memory.
template <typename Sample>
double SampleAt(const unsigned char* at) {
    Sample sample;
    std::memcpy(&sample, at, sizeof sample);
    return static_cast<double>(sample);
}

// Puts the view's values, times its scale, into the run's disparity buffer; the stages take out
// those that are no disparity.
template <typename Sample>
void TakeValues(const DisparityView& view, double* disparities) {
    const auto* top = static_cast<const unsigned char*>(view.data);
    for (int v = 0; v < view.rows; ++v) {
        const unsigned char* row = top + v * view.rowStride_bytes;
        double* out = disparities + static_cast<size_t>(v) * static_cast<size_t>(view.cols);
        for (int u = 0; u < view.cols; ++u) out[u] = SampleAt<Sample>(row + u * sizeof(Sample)) * view.scale;
    }
}

// Hands the frame's picture to the run: a colour-coded one, and a 16-bit one at a scale that runs
// on codes, are read where they lie; other values are copied into the run's disparity buffer.
void TakePicture(const DisparityView& view, RunState& run) {
    const PictureView pixels{static_cast<const uchar*>(view.data), view.rowStride_bytes, BytesPerValue(view), view.rows,
                             view.cols};
    const bool fixed16Codes = view.coding == DisparityCoding::Fixed16 && Fixed16OnCodes(view.scale);
    run.disparityValuesGiven = view.coding != DisparityCoding::ColourCoded && !fixed16Codes;
    run.disparityPicture = view.coding == DisparityCoding::ColourCoded ? pixels : PictureView{};
    run.fixed16Picture = fixed16Codes ? pixels : PictureView{};
    run.fixed16Scale = view.scale;
    if (!run.disparityValuesGiven) return;
    if (view.coding == DisparityCoding::Fixed16) {
        TakeValues<uint16_t>(view, run.measuredDisparity.data());
    } else {
        TakeValues<float>(view, run.measuredDisparity.data());
    }
}

Box PublicBox(const PictureBox& b) { return {b.left, b.top, b.right, b.bottom}; }

RoadProfileKind PublicKind(::RoadProfileKind kind) {
    switch (kind) {
        case ::RoadProfileKind::Own: return RoadProfileKind::Own;
        case ::RoadProfileKind::Reseeded: return RoadProfileKind::Reseeded;
        case ::RoadProfileKind::Kept: break;
    }
    return RoadProfileKind::Kept;
}

Obstacle PublicObstacle(const DetectedObject& c, const RunState& run) {
    return {c.lX_m, c.rX_m, run.camera.bf_pix / c.d_pix, c.d_pix, c.h_m, c.S_u, c.E_u,
            PublicBox(DetectionBox(run.geometry, c, run.ground))};
}

Track PublicTrack(const TrackingObject& t, const RunState& run, const AssociationRecord& record,
                  const TrajectoryNumbers& numbers) {
    const ::EgoMotion& ego = run.egoMotion;
    Track track;
    track.id = t.m_id;
    track.trajectory = numbers.Of(t.m_id);
    track.updates = t.m_count;
    track.missed = t.m_loss_co;
    track.confirmed = t.m_count >= ESTABLISHED_COUNT;
    track.obstacle = TakenDetection(record, t);
    track.distance_m = t.m_Z_m;
    track.lateral_m = t.m_X_m;
    track.width_m = t.m_w_m;
    track.height_m = t.m_h_m;
    track.disparity_pix = t.m_D_pix;
    track.vz_mps = t.RelativeVelocity(ego);
    track.vx_mps = t.RelativeVelocityX(ego);
    track.groundKnown = ego.known;
    if (ego.known) {
        track.vzGround_mps = t.GetVelocity();
        track.vxGround_mps = t.GetVelocityX();
        track.moving = IsMoving(t);
    }
    track.box = PublicBox(TrackBox(run.geometry, t, run.ground));
    return track;
}

}  // namespace

FrameResult FrameResultOf(const RunState& run, const AssociationRecord& record, const TrajectoryNumbers& numbers) {
    FrameResult result;
    result.road.rows.assign(run.ground, run.ground + LUT_NUM);
    result.road.accepted = run.groundAccepted;
    result.road.kind = PublicKind(run.roadProfile);
    if (run.egoMotion.known) result.pathCurvature_pm = PathCurvature(run.egoMotion);
    for (const DetectedObject& c : record.detections) result.obstacles.push_back(PublicObstacle(c, run));
    for (const TrackingObject& t : run.preObject) result.tracks.push_back(PublicTrack(t, run, record, numbers));
    return result;
}

Camera DefaultCamera() { return PublicCamera(DEFAULT_CAMERA); }

DisparityView ColourCodedDisparity(const std::uint8_t* bgr, int rows, int cols, std::ptrdiff_t rowStride_bytes,
                                   int pixelStride_bytes) {
    return {DisparityCoding::ColourCoded, bgr, rows, cols, rowStride_bytes, 1.0, pixelStride_bytes};
}

DisparityView Fixed16Disparity(const std::uint16_t* values, int rows, int cols, std::ptrdiff_t rowStride_bytes,
                               double scale) {
    return {DisparityCoding::Fixed16, values, rows, cols, rowStride_bytes, scale};
}

DisparityView FloatDisparity(const float* values, int rows, int cols, std::ptrdiff_t rowStride_bytes, double scale) {
    return {DisparityCoding::Float32, values, rows, cols, rowStride_bytes, scale};
}

EgoMotion EgoMotionOfPoses(const Pose& previous, const Pose& now) {
    const ::EgoMotion ego = ::EgoMotionOfPoses(previous, now);
    return {ego.travelX_m, ego.travelZ_m, ego.yaw_rad};
}

EgoMotion EgoMotionOfRates(double speed_mps, double yawRate_radps, double interval_s) {
    const ::EgoMotion ego = ::EgoMotionOfRates(speed_mps, yawRate_radps, interval_s);
    return {ego.travelX_m, ego.travelZ_m, ego.yaw_rad};
}

Detector::Detector(const Camera& camera) {
    const std::string fault = CameraFault(camera);
    if (!fault.empty()) throw std::invalid_argument("obstacle::Detector: " + fault);
    run = std::make_unique<Run>(camera, InternalCamera(camera));
}

Detector::~Detector() = default;
Detector::Detector(Detector&&) noexcept = default;
Detector& Detector::operator=(Detector&&) noexcept = default;

FrameResult Detector::Process(const DisparityView& disparity) { return Process(Frame{disparity, {}, {}}); }

FrameResult Detector::Process(const DisparityView& disparity, const EgoMotion& egoMotion) {
    return Process(Frame{disparity, egoMotion, {}});
}

FrameResult Detector::Process(const Frame& frame) {
    const std::string fault = PictureFault(frame.disparity, run->record);
    if (!fault.empty()) throw std::invalid_argument("obstacle::Detector::Process: " + fault);
    const double interval_s = frame.interval_s.value_or(run->record.frameInterval_s);
    if (!(std::isfinite(interval_s) && interval_s > 0.0)) {
        throw std::invalid_argument("obstacle::Detector::Process: the frame interval is not a positive number");
    }
    RunState& state = run->state;
    TakePicture(frame.disparity, state);
    const EgoMotion* ego = frame.egoMotion ? &*frame.egoMotion : nullptr;
    state.egoMotion = ego == nullptr ? ::EgoMotion{} : ::EgoMotion{true, ego->travelX_m, ego->travelZ_m, ego->yaw_rad};
    state.geometry.SetFrameInterval(interval_s);
    ProcessFrame(state, &run->association);
    state.disparityPicture = PictureView{};  // the caller's pixels are not kept
    state.fixed16Picture = PictureView{};
    run->numbers.Update(state.preObject, run->association);
    return FrameResultOf(state, run->association, run->numbers);
}

const Camera& Detector::CameraRecord() const { return run->record; }

const RunState& DetectorInternals::State(const Detector& detector) { return detector.run->state; }

}  // namespace obstacle
