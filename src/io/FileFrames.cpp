#include "FileFrames.h"

#include <utility>

#include "ColorMap.h"
#include "RoadDisparityMap.h"

namespace {

std::string Describe(const std::string& option, const std::string& path, const std::string& problem) {
    return option + ": " + path + ": " + problem;
}

std::string SizeProblem(const PictureHeader& h, int cols, int rows) {
    if (h.cols == cols && h.rows == rows) return "";
    return std::to_string(h.cols) + " x " + std::to_string(h.rows) + " pixels, " + std::to_string(cols) + " x " +
           std::to_string(rows) + " needed";
}

bool IsValuePicture(const PictureHeader& h) { return h.coding != PictureCoding::BMP; }

// Why a file cannot be a disparity picture, by its header: its kind, then its size.
std::string DisparityProblem(const PictureHeader& h, const Camera& camera) {
    switch (h.coding) {
        case PictureCoding::BMP:
            if (h.bits != 24 && h.bits != 32) return PictureKind(h) + ", 24 or 32 needed";
            break;
        case PictureCoding::PNG:
            if (!h.grey || h.bits != 16) return PictureKind(h) + ", 16-bit grey needed";
            break;
        case PictureCoding::PFM:
            if (!h.grey) return PictureKind(h) + ", grey (Pf) needed";
            break;
    }
    return SizeProblem(h, camera.width_pix, camera.height_pix);
}

std::string GreyProblem(const PictureHeader& h, const GreyWindow& window) {
    const bool greyBmp = h.coding == PictureCoding::BMP && h.bits == 8;
    const bool greyPng = h.coding == PictureCoding::PNG && h.grey && h.bits == 8;
    if (h.coding == PictureCoding::BMP && !greyBmp) return PictureKind(h) + ", 8 needed";
    if (!greyBmp && !greyPng) return PictureKind(h) + ", 8-bit grey BMP or PNG needed";
    return SizeProblem(h, window.cols, window.rows);
}

// Opens a frame's file and reads its header; a refusal names the option and the file.
bool OpenFrame(const std::string& option, const std::string& path, PictureReader& file, std::string& error) {
    std::string problem;
    if (file.Open(path, problem)) return true;
    error = Describe(option, path, problem);
    return false;
}

// Values drawn as the colour-coded picture a colour source would have given.
void CodeDisparities(const double* values, int cols, int rows, qim::Image& img) {
    img.create(rows, cols, SGBM_8UC3);
    for (int v = 0; v < rows && !img.empty(); ++v) {
        uchar* pixel = img.ptr(v);
        for (int u = 0; u < cols; ++u, pixel += 3) {
            ColorSet c{0, 0, 0};
            SetColorMap(&c, values[static_cast<size_t>(v) * cols + u]);
            pixel[0] = static_cast<uchar>(c.blue);
            pixel[1] = static_cast<uchar>(c.green);
            pixel[2] = static_cast<uchar>(c.red);
        }
    }
}

}  // namespace

GreyWindow GreyPictureOf(const Camera& camera) {
    const bool defaultPicture = camera.width_pix == DEFAULT_CAMERA.width_pix &&
                                camera.height_pix == DEFAULT_CAMERA.height_pix &&
                                camera.u0_pix == DEFAULT_CAMERA.u0_pix && camera.v0_pix == DEFAULT_CAMERA.v0_pix;
    if (defaultPicture) return {CAMERA_COLS, CAMERA_ROWS, DISPARITY_OFS_U, DISPARITY_OFS_V};
    return {camera.width_pix, camera.height_pix, 0, 0};
}

FileFrames::FileFrames(const Camera& camera, FramePatterns patterns) : camera(camera), patterns(std::move(patterns)) {}

bool FileFrames::LoadDisparity(const FrameNames& names, int frame, RunState& run, std::string& error) {
    if (patterns.disparity.empty()) return embedded.LoadDisparity(names, frame, run, error);
    run.disparityPicture = PictureView{};
    run.fixed16Picture = PictureView{};
    const std::string path = FramePath(patterns.disparity, frame);
    PictureReader file;
    if (!OpenFrame("--disparity", path, file, error)) return false;
    std::string problem = DisparityProblem(file.Header(), camera);
    if (problem.empty()) problem = FitProblem(file.Header(), run);
    if (problem.empty()) problem = ReadDisparity(file, run);
    if (problem.empty()) return true;
    run.src_img_colorD.release();
    error = Describe("--disparity", path, problem);
    return false;
}

std::string FileFrames::FitProblem(const PictureHeader& h, const RunState& run) const {
    const size_t pixels = static_cast<size_t>(camera.width_pix) * static_cast<size_t>(camera.height_pix);
    if (!IsValuePicture(h)) return patterns.disparityScale ? "a colour-coded BMP, which --disparity-scale does not scale" : "";
    if (run.measuredDisparity.size() >= pixels) return "";
    return "the run's disparity buffer holds " + std::to_string(run.measuredDisparity.size()) + " values, fewer than the picture's";
}

std::string FileFrames::ReadDisparity(PictureReader& file, RunState& run) {
    const PictureHeader& h = file.Header();
    std::string problem;
    run.disparityValuesGiven = IsValuePicture(h);
    if (!run.disparityValuesGiven) {
        file.ReadBmp(run.src_img_colorD, problem);
        return problem;
    }
    const double scale = patterns.disparityScale.value_or(h.coding == PictureCoding::PNG ? PNG_DISPARITY_SCALE : 1.0);
    run.src_img_colorD.release();
    if (h.coding == PictureCoding::PNG && Fixed16OnCodes(scale)) return ReadFixed16(file, scale, run);
    if (file.ReadValues(scale, run.measuredDisparity.data(), scratch, problem) && patterns.colourPicture) {
        CodeDisparities(run.measuredDisparity.data(), h.cols, h.rows, run.src_img_colorD);
    }
    return problem;
}

std::string FileFrames::ReadFixed16(PictureReader& file, double scale, RunState& run) {
    const PictureHeader& h = file.Header();
    std::string problem;
    fixed16.resize(static_cast<size_t>(h.cols) * static_cast<size_t>(h.rows));
    if (!file.ReadFixed16(fixed16.data(), problem)) return problem;
    run.disparityValuesGiven = false;
    run.fixed16Picture = {reinterpret_cast<const uchar*>(fixed16.data()), static_cast<std::ptrdiff_t>(h.cols) * 2, 2,
                          h.rows, h.cols};
    run.fixed16Scale = scale;
    if (patterns.colourPicture) {
        Fixed16Disparities(run.geometry, run.fixed16Picture, scale, run.measuredDisparity.data());
        CodeDisparities(run.measuredDisparity.data(), h.cols, h.rows, run.src_img_colorD);
    }
    return problem;
}

bool FileFrames::LoadGrey(const FrameNames&, int frame, qim::Image& img, std::string& error) {
    if (patterns.grey.empty()) {
        img.release();
        return true;
    }
    const std::string path = FramePath(patterns.grey, frame);
    PictureReader file;
    if (!OpenFrame("--grey", path, file, error)) {
        img.release();
        return false;
    }
    const PictureHeader& h = file.Header();
    std::string problem = GreyProblem(h, GreyPictureOf(camera));
    if (problem.empty()) {
        if (h.coding == PictureCoding::BMP) {
            file.ReadBmp(img, problem);
        } else {
            file.ReadGreyPng(img, problem);
        }
    }
    if (problem.empty()) return true;
    img.release();
    error = Describe("--grey", path, problem);
    return false;
}

bool ReadDisparitySize(const std::string& path, int& cols, int& rows, std::string& error) {
    PictureReader file;
    if (!OpenFrame("--disparity", path, file, error)) return false;
    cols = file.Header().cols;
    rows = file.Header().rows;
    return true;
}
