// The embedded colour-coded disparity picture: 360 rows x 560 pixels x 4 bytes (blue, green, red,
// unused), bottom row first, and the BMP header that describes it.
#pragma once

extern const unsigned char bmpdata_disparity[806400];
extern const unsigned char bmpheader_disparity[54];
