// The embedded top-view background: 480 rows x 200 pixels x 1 byte, bottom row first.
#pragma once

// The top view's scale on both axes: its bottom row lies at distance 0 and its middle column at
// lateral position 0.
constexpr double TOPVIEW_M_PER_PIX = 0.125;

extern const unsigned char data_f10[96000];
