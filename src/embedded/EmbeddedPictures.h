// The pictures compiled into the demonstration program (library embedded_data): the colour-coded
// disparity picture every frame of the default run sees, the grey camera picture around it and
// the top-view background of the overlays. Only what links embedded_data carries them.
#pragma once

#include "PictureView.h"
#include "core.h"

// Each reader fills InputImage as the BMP reader would (Imageread.h); the file name is not used.
void bmp_reader_dsip_32bpp(const char* File, qim::Image& InputImage);  // 360 x 560 colour disparity picture
void bmp_reader_dsip_8ppp(const char* File, qim::Image& InputImage);   // 486 x 656 grey camera picture
void bmp_reader_24bpp(const char* File, qim::Image& InputImage);       // 480 x 200 grey top view

// The embedded colour disparity picture where it lies (four bytes a pixel, stored bottom row first),
// the pixels bmp_reader_dsip_32bpp copies.
PictureView EmbeddedDisparityPicture();
