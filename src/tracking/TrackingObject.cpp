#include "TrackingObject.h"

#include <algorithm>
#include <cmath>

namespace {

// Initial variance of position and rate of a new track filter: the single-precision tuning value
// widened to double, so both targets start from the same number.
constexpr double INITIAL_VARIANCE = static_cast<double>(100.80316f);

// Measurement noise of a track is proportional to the measured distance.
constexpr double DISTANCE_NOISE_RATE = 0.05;

// Constant-velocity model over `dt` seconds.
KfConst ConstantVelocity(double dt) {
    const double halfDt2 = dt * dt / 2.0;
    return KfConst{{1.0, dt, 0.0, 1.0}, {halfDt2, dt}, {1.0, 0.0, dt, 1.0}, {halfDt2, dt}};
}

}  // namespace

// The counters, the empty buffers and the restart flag come from the member initialisers.
TrackingObject::TrackingObject() : TrackingObject(DefaultGeometry()) {}

TrackingObject::TrackingObject(const StageGeometry& geometry) : m_geometry(&geometry) {}

void TrackingObject::InitialBuf() {
    for (int i = 0; i < 3; ++i) {
        m_buf_w[i] = 0.0;
        m_buf_h[i] = 0.0;
    }
    m_buf_count = 0;
}

// Predictions span the camera's frame interval; PredictOver makes one anew for another.
void TrackingObject::InitialKalman(KfConst* system, KfData* obj) {
    *system = ConstantVelocity(m_geometry->camera.frameInterval_s);
    *obj = KfData{};
    obj->p[0] = INITIAL_VARIANCE;
    obj->p[3] = INITIAL_VARIANCE;
}

void TrackingObject::Update(std::vector<DetectedObject> group, int n, bool wholeInView) {
    const DetectedObject& c = group[n];
    if (m_bIniBufKalmFlg) InitialBuf();

    m_actD_pix = c.d_pix;
    m_actZ_m = m_geometry->camera.bf_pix / c.d_pix;
    m_actX_m = (c.lX_m + c.rX_m) * 0.5;

    // Slots not filled since the last restart hold 0.0, so the sum over all three is the sum of
    // the measurements present.
    m_buf_w[0] = c.rX_m - c.lX_m;
    m_buf_h[0] = c.h_m;
    if (m_buf_count < 3) m_buf_count += 1;
    m_w_m = (m_buf_w[0] + m_buf_w[1] + m_buf_w[2]) / m_buf_count;
    m_h_m = (m_buf_h[0] + m_buf_h[1] + m_buf_h[2]) / m_buf_count;
    for (int i = 2; i > 0; --i) {
        m_buf_w[i] = m_buf_w[i - 1];
        m_buf_h[i] = m_buf_h[i - 1];
    }

    if (m_count == 0 || m_bIniBufKalmFlg) {
        InitialKalman(&m_systemZ, &m_objZ);
        InitialKalman(&m_systemX, &m_objX);
        m_objZ.x[0] = m_actZ_m;
        m_objX.x[0] = m_actX_m;
    } else {
        m_objZ = KfCorrection(m_objZ, wholeInView ? m_actZ_m : std::min(m_actZ_m, m_pZ_m));
        m_objX = KfCorrection(m_objX, m_actX_m);
    }

    // Lateral noise variance is 5 % of the distance; the distance's standard deviation is a third of it.
    const double distanceSigma = DISTANCE_NOISE_RATE * m_actZ_m / 3.0;
    PredictX(std::fabs(DISTANCE_NOISE_RATE * m_actZ_m));
    PredictZ(distanceSigma * distanceSigma);

    m_S_u = c.S_u;
    m_E_u = c.E_u;
    m_a = c.a;
    m_b = c.b;
    m_count += 1;
    m_bIniBufKalmFlg = false;
}

// Coasting: each filter takes its own prediction as the measurement, so the state advances one
// frame while the covariance is still reduced.
void TrackingObject::LossUpdate() {
    m_objZ = KfCorrection(m_objZ, m_pZ_m);
    m_objX = KfCorrection(m_objX, m_pX_m);
    const double noise = std::fabs(DISTANCE_NOISE_RATE * m_objZ.x[0]);
    PredictX(noise);
    PredictZ(noise);
}

// The filters' corrected states and covariances are untouched by a prediction: predicting them
// again over another interval, with the measurement noise of the last prediction, is exact.
void TrackingObject::PredictOver(double interval_s) {
    const double usual_s = m_geometry->camera.frameInterval_s;
    if (interval_s == usual_s) return;
    m_systemZ = m_systemX = ConstantVelocity(interval_s);
    PredictX(m_noiseX);
    PredictZ(m_noiseZ);
    m_systemZ = m_systemX = ConstantVelocity(usual_s);
}

void TrackingObject::PredictX(double dSigW2) {
    m_noiseX = dSigW2;
    m_objX = KfPrediction(m_objX, m_systemX, dSigW2);
    m_pX_m = m_objX.px[0];
    m_X_m = m_objX.x[0];
}

void TrackingObject::PredictZ(double dSigW2) {
    m_noiseZ = dSigW2;
    m_objZ = KfPrediction(m_objZ, m_systemZ, dSigW2);
    m_pZ_m = m_objZ.px[0];
    m_Z_m = m_objZ.x[0];
    m_pD_pix = m_geometry->camera.bf_pix / m_pZ_m;
    m_D_pix = m_geometry->camera.bf_pix / m_Z_m;
}

// The prediction was made in the previous frame's axes: the predicted position moves as a point
// standing still over ground does, and the predicted rates turn with the camera. The covariances
// stay as they are: a frame's turn is a fraction of a degree.
void TrackingObject::FollowCar(const EgoMotion& ego) {
    if (!ego.known) return;
    MoveStill(ego, m_objX.px[0], m_objZ.px[0], m_objX.px[0], m_objZ.px[0]);
    TurnVector(ego, m_objX.px[1], m_objZ.px[1], m_objX.px[1], m_objZ.px[1]);
    m_pX_m = m_objX.px[0];
    m_pZ_m = m_objZ.px[0];
    m_pD_pix = m_geometry->camera.bf_pix / m_pZ_m;
}

TrackingObject::PlaneVelocity TrackingObject::StillPointVelocity(const EgoMotion& ego) const {
    double x_m = 0.0, z_m = 0.0;
    MoveStill(ego, m_X_m, m_Z_m, x_m, z_m);
    const double dt_s = m_geometry->frameInterval_s;
    return {(x_m - m_X_m) / dt_s, (z_m - m_Z_m) / dt_s};
}

double TrackingObject::RelativeVelocity(const EgoMotion& ego) const {
    return ego.known ? GetVelocity() + StillPointVelocity(ego).z_mps : GetVelocity();
}

double TrackingObject::RelativeVelocityX(const EgoMotion& ego) const {
    return ego.known ? GetVelocityX() + StillPointVelocity(ego).x_mps : GetVelocityX();
}

bool IsMoving(const TrackingObject& t) {
    const double speed_mps = std::hypot(t.GetVelocity(), t.GetVelocityX());
    const double sigma_mps = std::sqrt(t.m_objZ.p[3] + t.m_objX.p[3]);
    return speed_mps > MOVING_SPEED_MPS + 2.0 * sigma_mps;
}

bool compare_d(const TrackingObject& left, const TrackingObject& right) { return left.m_D_pix > right.m_D_pix; }
