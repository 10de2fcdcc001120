#include "FileFrames.h"

#include <utility>

#include "ColorMap.h"
#include "EmbeddedPictures.h"
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

// A --disparity-scale given for a colour-coded picture, whose colours stand for disparities themselves.
std::string ScaleProblem(const PictureHeader& h, bool scaleGiven) {
    return scaleGiven && !IsValuePicture(h) ? "a colour-coded BMP, which --disparity-scale does not scale" : "";
}

std::string SizeText(const PictureHeader& h) { return std::to_string(h.cols) + " x " + std::to_string(h.rows); }

// Reads an 8-bit grey BMP or PNG whose header suits `window` into `img`; false with the problem.
bool ReadGreyPicture(PictureReader& file, const GreyWindow& window, qim::Image& img, std::string& problem) {
    problem = GreyProblem(file.Header(), window);
    if (problem.empty()) {
        if (file.Header().coding == PictureCoding::BMP) {
            file.ReadBmp(img, problem);
        } else {
            file.ReadGreyPng(img, problem);
        }
    }
    if (problem.empty()) return true;
    img.release();
    return false;
}

// The pictures of a stereo pair, released when the pair is done with.
struct GreyPair {
    qim::Image left;
    qim::Image right;
    ~GreyPair() {
        left.release();
        right.release();
    }
};

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

// Samples times `scale` drawn as the colour-coded picture a colour source would have given.
template <typename Sample>
void CodeSamples(const std::vector<Sample>& samples, double scale, int cols, int rows, qim::Image& img) {
    std::vector<double> values(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) values[i] = MeasuredDisparity(samples[i], scale);
    CodeDisparities(values.data(), cols, rows, img);
}

// The Detector's view of colour-coded pixels where they lie.
obstacle::DisparityView ColourCodedView(const PictureView& p) {
    return obstacle::ColourCodedDisparity(p.top, p.rows, p.cols, p.rowStride, p.bytesPerPixel);
}

}  // namespace

GreyWindow GreyPictureOf(const Camera& camera) {
    const bool defaultPicture = camera.width_pix == DEFAULT_CAMERA.width_pix &&
                                camera.height_pix == DEFAULT_CAMERA.height_pix &&
                                camera.u0_pix == DEFAULT_CAMERA.u0_pix && camera.v0_pix == DEFAULT_CAMERA.v0_pix;
    if (defaultPicture) return {CAMERA_COLS, CAMERA_ROWS, DISPARITY_OFS_U, DISPARITY_OFS_V};
    return {camera.width_pix, camera.height_pix, 0, 0};
}

FileFrames::FileFrames(const Camera& camera, FramePatterns patterns, StereoPairs pairs)
    : camera(camera), patterns(std::move(patterns)), pairs(std::move(pairs)) {}

FileFrames::~FileFrames() {
    colour.release();
    grey.release();
}

bool FileFrames::LoadDisparity(const FrameNames& names, int frame, RunState& run, std::string& error) {
    run.fixed16Picture = PictureView{};
    if (patterns.disparity.empty() && !pairs.left.empty()) return LoadPair(frame, run, error);
    if (patterns.disparity.empty()) return embedded.LoadDisparity(names, frame, run, error);
    run.disparityPicture = PictureView{};
    const std::string path = FramePath(patterns.disparity, frame);
    PictureReader file;
    if (!OpenFrame("--disparity", path, file, error)) return false;
    std::string problem = DisparityProblem(file.Header(), camera);
    if (problem.empty()) problem = FitProblem(file.Header(), run);
    if (problem.empty()) problem = ReadDisparity(file, frame, run);
    if (problem.empty()) return true;
    run.src_img_colorD.release();
    error = Describe("--disparity", path, problem);
    return false;
}

std::string FileFrames::FitProblem(const PictureHeader& h, const RunState& run) const {
    const size_t pixels = static_cast<size_t>(camera.width_pix) * static_cast<size_t>(camera.height_pix);
    if (!IsValuePicture(h)) return ScaleProblem(h, patterns.disparityScale.has_value());
    if (run.measuredDisparity.size() >= pixels) return "";
    return "the run's disparity buffer holds " + std::to_string(run.measuredDisparity.size()) + " values, fewer than the picture's";
}

double FileFrames::ValueScale(const PictureHeader& h) const {
    return patterns.disparityScale.value_or(h.coding == PictureCoding::PNG ? PNG_DISPARITY_SCALE : 1.0);
}

std::string FileFrames::ReadDisparity(PictureReader& file, int frame, RunState& run) {
    const PictureHeader& h = file.Header();
    std::string problem;
    run.disparityValuesGiven = IsValuePicture(h);
    if (!run.disparityValuesGiven) {
        run.src_img_colorD.release();
        file.ReadBmpInPlace(bmpPixels, run.disparityPicture, problem);
        return problem;
    }
    const double scale = ValueScale(h);
    run.src_img_colorD.release();
    if (h.coding == PictureCoding::PNG && Fixed16OnCodes(scale)) return ReadFixed16(file, frame, scale, run);
    if (file.ReadValues(scale, run.measuredDisparity.data(), scratch, problem) && patterns.colourPicture) {
        CodeDisparities(run.measuredDisparity.data(), h.cols, h.rows, run.src_img_colorD);
    }
    return problem;
}

bool FileFrames::Load(int frame, std::string& error) {
    return LoadSamples(frame, error) && ReadGrey(frame, grey, error);
}

bool FileFrames::LoadSamples(int frame, std::string& error) {
    if (patterns.disparity.empty() && !pairs.left.empty()) return TakePair(frame, error);
    if (patterns.disparity.empty()) return TakeEmbedded(error);
    if (TakeAdopted(frame)) return true;
    const std::string path = FramePath(patterns.disparity, frame);
    PictureReader file;
    if (!OpenFrame("--disparity", path, file, error)) return false;
    std::string problem = DisparityProblem(file.Header(), camera);
    if (problem.empty()) problem = ScaleProblem(file.Header(), patterns.disparityScale.has_value());
    if (problem.empty()) problem = ReadSamples(file);
    if (problem.empty()) return true;
    view = obstacle::DisparityView{};
    colourView = PictureView{};
    colour.release();
    error = Describe("--disparity", path, problem);
    return false;
}

std::string FileFrames::ReadSamples(PictureReader& file) {
    const PictureHeader& h = file.Header();
    std::string problem;
    colour.release();
    colourView = PictureView{};
    if (!IsValuePicture(h)) {
        if (file.ReadBmpInPlace(bmpPixels, colourView, problem)) view = ColourCodedView(colourView);
        return problem;
    }
    const double scale = ValueScale(h);
    if (!file.ReadSamples(png16, pfm, scratch, problem)) return problem;
    if (pfm.empty()) {
        ViewFixed16(h.cols, h.rows, scale);
    } else {
        view = obstacle::FloatDisparity(pfm.data(), h.rows, h.cols, h.cols * std::ptrdiff_t{4}, scale);
        if (patterns.colourPicture) CodeSamples(pfm, scale, h.cols, h.rows, colour);
    }
    colourView = ViewOf(colour);
    return "";
}

void FileFrames::ViewFixed16(int cols, int rows, double scale) {
    view = obstacle::Fixed16Disparity(png16.data(), rows, cols, cols * std::ptrdiff_t{2}, scale);
    if (patterns.colourPicture) CodeSamples(png16, scale, cols, rows, colour);
}

bool FileFrames::TakeAdopted(int frame) {
    const auto found = adopted.find(frame);
    if (found == adopted.end()) return false;
    png16 = std::move(found->second);
    adopted.erase(found);
    pfm.clear();
    colour.release();
    ViewFixed16(camera.width_pix, camera.height_pix, patterns.disparityScale.value_or(PNG_DISPARITY_SCALE));
    return true;
}

bool FileFrames::TakeEmbedded(std::string& error) {
    colourView = EmbeddedDisparityPicture();
    view = ColourCodedView(colourView);
    if (colourView.top != nullptr) return true;
    error = FILE_OPEN_ERROR_MESSAGE;
    return false;
}

bool FileFrames::MatchStereoPair(int frame, std::string& error) {
    const std::string leftPath = FramePath(pairs.left, frame);
    const std::string rightPath = FramePath(pairs.right, frame);
    PictureReader left;
    PictureReader right;
    if (!OpenFrame("--left", leftPath, left, error) || !OpenFrame("--right", rightPath, right, error)) return false;
    if (left.Header().cols != right.Header().cols || left.Header().rows != right.Header().rows) {
        error = "--left " + leftPath + " is " + SizeText(left.Header()) + " pixels, --right " + rightPath + " " +
                SizeText(right.Header()) + ": a stereo pair's pictures have one size";
        return false;
    }
    const int cols = camera.width_pix;
    const int rows = camera.height_pix;
    const size_t pixels = static_cast<size_t>(cols) * static_cast<size_t>(rows);
    const GreyWindow window{cols, rows, 0, 0};
    GreyPair pictures;
    std::string problem;
    if (!ReadGreyPicture(left, window, pictures.left, problem)) {
        error = Describe("--left", leftPath, problem);
        return false;
    }
    if (!ReadGreyPicture(right, window, pictures.right, problem)) {
        error = Describe("--right", rightPath, problem);
        return false;
    }
    if (pairs.match(pictures.left.data, pictures.right.data, cols, rows, sixteenths, problem)) {
        if (sixteenths.size() != pixels) problem = "the matcher gave " + std::to_string(sixteenths.size()) + " disparities";
    } else if (problem.empty()) {
        problem = "the pair cannot be matched";
    }
    if (!problem.empty()) {
        error = "--left " + leftPath + ", --right " + rightPath + ": " + problem;
        return false;
    }
    return pairs.disparityOut.empty() || SaveDisparity(frame, error);
}

bool FileFrames::LoadPair(int frame, RunState& run, std::string& error) {
    run.disparityPicture = PictureView{};
    run.src_img_colorD.release();
    run.disparityValuesGiven = true;
    if (run.measuredDisparity.size() < static_cast<size_t>(camera.width_pix) * camera.height_pix) {
        error = "the run's disparity buffer is smaller than the pictures";
        return false;
    }
    if (!MatchStereoPair(frame, error)) return false;
    for (size_t i = 0; i < sixteenths.size(); ++i) {
        run.measuredDisparity[i] = sixteenths[i] > 0 ? sixteenths[i] * SIXTEENTHS_SCALE : 0.0;
    }
    if (patterns.colourPicture) {
        CodeDisparities(run.measuredDisparity.data(), camera.width_pix, camera.height_pix, run.src_img_colorD);
    }
    return true;
}

bool FileFrames::TakePair(int frame, std::string& error) {
    view = obstacle::DisparityView{};
    colourView = PictureView{};
    colour.release();
    pfm.clear();
    if (!MatchStereoPair(frame, error)) return false;
    // Sixteenths of a pixel as 16-bit values, none (SGBM's negative answer) as 0.
    png16.resize(sixteenths.size());
    for (size_t i = 0; i < sixteenths.size(); ++i) png16[i] = static_cast<uint16_t>(std::max<int16_t>(sixteenths[i], 0));
    const int cols = camera.width_pix;
    const int rows = camera.height_pix;
    view = obstacle::Fixed16Disparity(png16.data(), rows, cols, cols * std::ptrdiff_t{2}, SIXTEENTHS_SCALE);
    if (patterns.colourPicture) CodeSamples(png16, SIXTEENTHS_SCALE, cols, rows, colour);
    colourView = ViewOf(colour);
    return true;
}

bool FileFrames::SaveDisparity(int frame, std::string& error) {
    // KITTI's convention: disparity x 256, that is sixteenths x 16; 0 where there is none.
    const int toKitti = static_cast<int>(SIXTEENTHS_SCALE / PNG_DISPARITY_SCALE);
    saved.resize(sixteenths.size());
    for (size_t i = 0; i < saved.size(); ++i) {
        saved[i] = static_cast<uint16_t>(sixteenths[i] > 0 ? sixteenths[i] * toKitti : 0);
    }
    const std::string path = FramePath(pairs.disparityOut, frame);
    std::string problem;
    if (WriteGrey16Png(path, camera.width_pix, camera.height_pix, saved, problem)) return true;
    error = Describe("--disparity-out", path, problem);
    return false;
}

std::string FileFrames::ReadFixed16(PictureReader& file, int frame, double scale, RunState& run) {
    const PictureHeader& h = file.Header();
    std::string problem;
    fixed16.resize(static_cast<size_t>(h.cols) * static_cast<size_t>(h.rows));
    if (!file.ReadFixed16(fixed16.data(), scratch, problem)) return problem;
    run.disparityValuesGiven = false;
    run.fixed16Picture = {reinterpret_cast<const uchar*>(fixed16.data()), static_cast<std::ptrdiff_t>(h.cols) * 2, 2,
                          h.rows, h.cols};
    run.fixed16Scale = scale;
    const size_t bytes = fixed16.size() * sizeof fixed16[0];
    if (keep != nullptr && keptBytes + bytes <= DECODED_FRAMES_MAX_BYTES) {
        (*keep)[frame] = fixed16;
        keptBytes += bytes;
    }
    if (patterns.colourPicture) {
        Fixed16Disparities(run.geometry, run.fixed16Picture, scale, run.measuredDisparity.data());
        CodeDisparities(run.measuredDisparity.data(), h.cols, h.rows, run.src_img_colorD);
    }
    return problem;
}

bool FileFrames::LoadGrey(const FrameNames&, int frame, qim::Image& img, std::string& error) {
    return ReadGrey(frame, img, error);
}

bool FileFrames::ReadGrey(int frame, qim::Image& img, std::string& error) {
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
    std::string problem;
    if (ReadGreyPicture(file, GreyPictureOf(camera), img, problem)) return true;
    error = Describe("--grey", path, problem);
    return false;
}

bool ReadDisparitySize(const std::string& path, int& cols, int& rows, std::string& error, const std::string& option) {
    PictureReader file;
    if (!OpenFrame(option, path, file, error)) return false;
    cols = file.Header().cols;
    rows = file.Header().rows;
    return true;
}
