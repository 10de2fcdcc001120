// The embedded top-view background: 480 rows x 200 pixels x 1 byte, bottom row first.
#pragma once

extern const unsigned char data_f10[96000];
