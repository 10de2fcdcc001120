// One obstacle followed from frame to frame: two constant-velocity Kalman filters (distance Z and
// lateral centre X), a three-frame width and height history, and the counters by which the frame
// loop confirms, coasts and deletes it. Plain member-wise copies are correct.
#pragma once

#include <cstdint>
#include <vector>

#include "Config.h"
#include "EgoMotion.h"
#include "Kalman.h"
#include "StageGeometry.h"

// Updates from which a track is established: a young track (fewer updates) is deleted at its first
// loss, and only established tracks are the tracker's confirmed output.
constexpr int32_t ESTABLISHED_COUNT = 3;

class TrackingObject {
public:
    // A track seen through the default camera.
    TrackingObject();
    // A track seen through the run's camera: the geometry is the run's, which outlives its tracks.
    explicit TrackingObject(const StageGeometry& geometry);
    ~TrackingObject() = default;

    void InitialBuf();
    void InitialKalman(KfConst* system, KfData* obj);
    // The detection of this track among the frame's, whose ego motion `ego` the track's prediction
    // has followed (FollowCar): it sizes the gates of a young track and bends the detectable zone.
    objectNum SearchOnGrid(std::vector<DetectedObject>* candidateObj, double predictedRange,
                           const EgoMotion& ego = EgoMotion{});
    // Corrects the track with detection n of the group. A detection that an edge of the measured
    // picture cuts off (`wholeInView` false: its foot lies below the picture's lower edge, or a side
    // reaches where the picture holds no disparities) measures its visible part, which lies no
    // nearer than the obstacle: its distance corrects the track's only where it is nearer than the
    // prediction.
    void Update(std::vector<DetectedObject> group, int n, bool wholeInView = true);
    void LossUpdate();
    // Predicts anew from the last correction, over `interval_s` seconds since the last frame
    // instead of the camera's frame interval (a frame dropped or late); nothing at that interval.
    void PredictOver(double interval_s);
    // Carries the prediction into this frame's axes when the car's own motion is known. The filters'
    // rates are then the obstacle's velocity over ground (a new track starts standing still over
    // ground); without it they are its velocity relative to the camera.
    void FollowCar(const EgoMotion& ego);
    // The rate of the distance and of the lateral centre relative to the camera (metre/second): the
    // filters' rates, plus, where the frame's ego motion is known, the motion a point standing still
    // at the track's position has relative to the camera over the frame's interval.
    double RelativeVelocity(const EgoMotion& ego) const;
    double RelativeVelocityX(const EgoMotion& ego) const;

    double GetDistance() const { return m_objZ.x[0]; }
    double GetVelocity() const { return m_objZ.x[1]; }
    double GetDistanceX() const { return m_objX.x[0]; }
    double GetVelocityX() const { return m_objX.x[1]; }

    KfConst m_systemZ{};      // distance filter matrices
    KfData m_objZ{};          // distance filter: x[0] distance (metre), x[1] its rate (metre/second)
    KfConst m_systemX{};      // lateral filter matrices
    KfData m_objX{};          // lateral filter: x[0] lateral centre (metre), x[1] its rate
    double m_buf_w[3]{};      // recent widths, newest in slot 0 (metre)
    double m_buf_h[3]{};      // recent heights, newest in slot 0 (metre)
    int32_t m_buf_count = 0;  // measurements in the buffers, 0..3
    int32_t m_id = 0;         // identifier from the pool
    int32_t m_count = 0;      // measurement updates received
    int32_t m_loss_co = 0;    // consecutive frames without a matching detection
    double m_w_m = 0.0;       // width: mean of the width buffer
    double m_h_m = 0.0;       // height: mean of the height buffer
    double m_actX_m = 0.0;    // lateral centre measured at the last update
    double m_X_m = 0.0;       // filtered lateral centre
    double m_pX_m = 0.0;      // lateral centre predicted for the next frame
    double m_actZ_m = 0.0;    // distance measured at the last update
    double m_Z_m = 0.0;       // filtered distance
    double m_pZ_m = 0.0;      // distance predicted for the next frame
    double m_actD_pix = 0.0;  // disparity measured at the last update
    double m_D_pix = 0.0;     // filtered disparity bf_pix / m_Z_m
    double m_pD_pix = 0.0;    // predicted disparity bf_pix / m_pZ_m
    int32_t m_S_u = 0;        // first column block of the last matched detection
    int32_t m_E_u = 0;        // last column block of the last matched detection
    double m_a = 0.0;         // slope of the last matched detection's disparity line
    double m_b = 0.0;         // intercept of that line
    int32_t m_OneSideCnt = 0; // consecutive frames matched on one side only
    bool m_bIniBufKalmFlg = true;  // the next update restarts buffers and filters
    double m_noiseZ = 0.0;    // measurement-noise variance of the last distance prediction
    double m_noiseX = 0.0;    // measurement-noise variance of the last lateral prediction
    const StageGeometry* m_geometry;  // the camera the track is seen through (not owned)

private:
    // The velocity in the camera's axes of a point standing still where the track is, through the
    // car's own motion (metre/second).
    struct PlaneVelocity {
        double x_mps;
        double z_mps;
    };
    PlaneVelocity StillPointVelocity(const EgoMotion& ego) const;
    // One prediction of a filter with the given measurement-noise variance, and the fields derived from it.
    void PredictX(double dSigW2);
    void PredictZ(double dSigW2);
};

// A track whose rates are its velocity over ground (FollowCar) is moving when its speed over ground
// exceeds MOVING_SPEED_MPS by more than two standard deviations of the filtered rates: a walker's
// pace, beyond what the noise of the distance leaves in the rate of an obstacle that stands still.
constexpr double MOVING_SPEED_MPS = 1.0;
bool IsMoving(const TrackingObject& t);

// Least-squares line d = a * u + b through the detection's cells from its sums. When all cells lie
// in one column block the line is undefined: it becomes flat at the mean disparity d_pix.
void FitDisparityLine(DetectedObject& obj);

// Sort order of the track list: largest filtered disparity (nearest) first.
bool compare_d(const TrackingObject& left, const TrackingObject& right);
