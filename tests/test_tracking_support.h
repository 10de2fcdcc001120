// Detections and tracks built by hand for the tracking and association tests.
#pragma once

#include <vector>

#include "Config.h"
#include "TrackingObject.h"

// A detection of one cell per column block S_u..E_u, every cell at disparity d.
inline DetectedObject MakeDetection(double lX, double rX, double d, double h, int S_u, int E_u) {
    DetectedObject c{};
    c.lX_m = lX;
    c.rX_m = rX;
    c.d_pix = d;
    c.h_m = h;
    c.S_u = S_u;
    c.E_u = E_u;
    for (int u = S_u; u <= E_u; ++u) {
        c.sigmaUD += u * d;
        c.sigmaU += u;
        c.sigmaD += d;
        c.sigmaUU += u * u;
        c.iN += 1;
    }
    c.a = 0.0;
    c.b = d;
    return c;
}

// An established track whose prediction is exactly the given geometry.
inline TrackingObject MakeTrack(double pX, double w, double d, double h, int S_u, int E_u) {
    TrackingObject t;
    t.m_pX_m = pX;
    t.m_X_m = pX;
    t.m_w_m = w;
    t.m_pD_pix = d;
    t.m_D_pix = d;
    t.m_h_m = h;
    t.m_S_u = S_u;
    t.m_E_u = E_u;
    t.m_count = 5;
    t.m_bIniBufKalmFlg = false;
    return t;
}
