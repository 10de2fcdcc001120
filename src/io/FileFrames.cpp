#include "FileFrames.h"

#include <cstdio>
#include <fstream>
#include <utility>
#include <vector>

#include "Imageread.h"

namespace {

// Bits per pixel stated in a BMP header (16 bits at offset 28, little-endian); 0 when unreadable.
int BmpBitsPerPixel(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    unsigned char bytes[2];
    if (!file.seekg(28) || !file.read(reinterpret_cast<char*>(bytes), 2)) return 0;
    return bytes[0] | (bytes[1] << 8);
}

std::string Describe(const std::string& option, const std::string& path, const std::string& problem) {
    return option + ": " + path + ": " + problem;
}

// Reads one frame's file into img and checks its size and depth against what the run needs.
bool LoadPicture(const std::string& option, const std::string& path, int cols, int rows, bool colour,
                 qim::Image& img, std::string& error) {
    std::string problem;
    if (!bmp_reader(path.c_str(), img, &problem)) {
        // The reader names the file itself except when it cannot open it.
        const bool unopened = problem.compare(0, std::string(BMP_OPEN_FAILURE).size(), BMP_OPEN_FAILURE) == 0;
        error = unopened ? Describe(option, path, "cannot be opened (missing or unreadable)") : option + ": " + problem;
        return false;
    }
    const int bits = BmpBitsPerPixel(path);
    if (colour ? (bits != 24 && bits != 32) : bits != 8) {
        problem = std::to_string(bits) + " bits per pixel, " + (colour ? "24 or 32 needed" : "8 needed");
    } else if (img.cols != cols || img.rows != rows) {
        problem = std::to_string(img.cols) + " x " + std::to_string(img.rows) + " pixels, " + std::to_string(cols) +
                  " x " + std::to_string(rows) + " needed";
    }
    if (problem.empty()) return true;
    img.release();
    error = Describe(option, path, problem);
    return false;
}

}  // namespace

FileFrames::FileFrames(std::string disparity, std::string grey)
    : disparityPattern(std::move(disparity)), greyPattern(std::move(grey)) {}

bool FileFrames::LoadDisparity(const FrameNames& names, int frame, RunState& run, std::string& error) {
    if (disparityPattern.empty()) return embedded.LoadDisparity(names, frame, run, error);
    run.disparityValuesGiven = false;
    return LoadPicture("--disparity", FramePath(disparityPattern, frame), TOTAL_U, TOTAL_V, true, run.src_img_colorD,
                       error);
}

bool FileFrames::LoadGrey(const FrameNames&, int frame, qim::Image& img, std::string& error) {
    if (greyPattern.empty()) {
        img.release();
        return true;
    }
    return LoadPicture("--grey", FramePath(greyPattern, frame), CAMERA_COLS, CAMERA_ROWS, false, img, error);
}
