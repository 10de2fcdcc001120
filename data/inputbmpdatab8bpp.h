// The embedded grey camera picture: 486 rows x 656 pixels x 1 byte, bottom row first.
#pragma once

extern const unsigned char bmpdata_8bpp[318816];
