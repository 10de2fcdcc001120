// The fields of the records a frame produces, each listed once in a fixed order: the golden digests
// take them in this order, and the stage-by-stage comparison names the first one that differs.
// Each list calls field(name, index, value) per field, index -1 for a single value and the slot
// for an entry of an array; values keep their own type (int32_t, bool or double).
#pragma once

#include "Config.h"
#include "TrackingObject.h"

namespace golden {

template <typename Field> void CellFields(const Grid& c, Field&& field) {
    field("exist", -1, c.exist);
    field("h_pix", -1, c.h_pix);
    field("hl_pix", -1, c.hl_pix);
    field("aveD", -1, c.aveD);
    field("id", -1, c.id);
    field("ref", -1, c.ref);
    field("x_m", -1, c.x_m);
    field("z_m", -1, c.z_m);
    field("h_m", -1, c.h_m);
    field("count", -1, c.count);
    field("nowAveD", -1, c.nowAveD);
    field("preAveD", -1, c.preAveD);
}

template <typename Field> void DetectionFields(const DetectedObject& o, Field&& field) {
    field("lX_m", -1, o.lX_m);
    field("rX_m", -1, o.rX_m);
    field("d_pix", -1, o.d_pix);
    field("h_m", -1, o.h_m);
    field("S_u", -1, o.S_u);
    field("E_u", -1, o.E_u);
    field("sigmaUD", -1, o.sigmaUD);
    field("sigmaU", -1, o.sigmaU);
    field("sigmaD", -1, o.sigmaD);
    field("sigmaUU", -1, o.sigmaUU);
    field("iN", -1, o.iN);
    field("a", -1, o.a);
    field("b", -1, o.b);
    field("inRange", -1, o.inRange);
    field("bUsed", -1, o.bUsed);
}

template <size_t N, typename Field> void ArrayField(const char* name, const double (&values)[N], Field& field) {
    for (size_t i = 0; i < N; ++i) field(name, static_cast<int>(i), values[i]);
}

// A filter's matrices then its state, under the given names.
template <typename Field>
void FilterFields(const char* const (&names)[9], const KfConst& system, const KfData& obj, Field& field) {
    ArrayField(names[0], system.a, field);
    ArrayField(names[1], system.b, field);
    ArrayField(names[2], system.aT, field);
    ArrayField(names[3], system.bT, field);
    ArrayField(names[4], obj.p, field);
    ArrayField(names[5], obj.pp, field);
    ArrayField(names[6], obj.kGain, field);
    ArrayField(names[7], obj.px, field);
    ArrayField(names[8], obj.x, field);
}

template <typename Field> void TrackFields(const TrackingObject& t, Field&& field) {
    static const char* const Z[9] = {"m_systemZ.a", "m_systemZ.b", "m_systemZ.aT", "m_systemZ.bT", "m_objZ.p",
                                     "m_objZ.pp",   "m_objZ.kGain", "m_objZ.px",  "m_objZ.x"};
    static const char* const X[9] = {"m_systemX.a", "m_systemX.b", "m_systemX.aT", "m_systemX.bT", "m_objX.p",
                                     "m_objX.pp",   "m_objX.kGain", "m_objX.px",  "m_objX.x"};
    FilterFields(Z, t.m_systemZ, t.m_objZ, field);
    FilterFields(X, t.m_systemX, t.m_objX, field);
    ArrayField("m_buf_w", t.m_buf_w, field);
    ArrayField("m_buf_h", t.m_buf_h, field);
    field("m_buf_count", -1, t.m_buf_count);
    field("m_id", -1, t.m_id);
    field("m_count", -1, t.m_count);
    field("m_loss_co", -1, t.m_loss_co);
    field("m_w_m", -1, t.m_w_m);
    field("m_h_m", -1, t.m_h_m);
    field("m_actX_m", -1, t.m_actX_m);
    field("m_X_m", -1, t.m_X_m);
    field("m_pX_m", -1, t.m_pX_m);
    field("m_actZ_m", -1, t.m_actZ_m);
    field("m_Z_m", -1, t.m_Z_m);
    field("m_pZ_m", -1, t.m_pZ_m);
    field("m_actD_pix", -1, t.m_actD_pix);
    field("m_D_pix", -1, t.m_D_pix);
    field("m_pD_pix", -1, t.m_pD_pix);
    field("m_S_u", -1, t.m_S_u);
    field("m_E_u", -1, t.m_E_u);
    field("m_a", -1, t.m_a);
    field("m_b", -1, t.m_b);
    field("m_OneSideCnt", -1, t.m_OneSideCnt);
    field("m_bIniBufKalmFlg", -1, t.m_bIniBufKalmFlg);
}

}  // namespace golden
