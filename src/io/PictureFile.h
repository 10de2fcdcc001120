// Picture files of obstacle-track's overlays: BMP (the default, written by the stage library's own
// writer) or PNG (through libspng), which viewers, browsers and reports take.
#pragma once

#include <string>

#include "core.h"

enum class PictureFormat { BMP, PNG };

// The file name ending of a format: ".bmp" or ".png".
const char* PictureExtension(PictureFormat format);

// Writes a three-channel picture (row 0 at the top, bytes blue, green, red) to `path` through
// WriteFileReplacing: 24-bit BMP or 8-bit RGB PNG. False on any failure, which leaves no file
// under `path`, with what is wrong in `problem`.
bool WritePicture(const std::string& path, const qim::Image& picture, PictureFormat format, std::string& problem);
