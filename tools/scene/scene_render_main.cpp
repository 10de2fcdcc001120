// scene-render: renders the synthetic road scene described in a scene file.
//   scene-render --scene FILE [--embedded OUT.cpp] [--bmp DIR] [--sequence PATTERN --truth CSV]
// --embedded writes the C++ source of the detector's embedded pictures; --bmp writes
// disparity.bmp, grey.bmp and topview.bmp into DIR (created if missing) for viewing;
// --sequence writes the moving scene's frames as disparity BMPs named by PATTERN ("XXXXX"
// stands for the five-digit frame number, from 1) and --truth its ground-truth CSV.
#include <filesystem>
#include <iostream>
#include <string>

#include "Scene.h"

namespace {

constexpr const char* USAGE =
    "usage: scene-render --scene FILE [--embedded OUT.cpp] [--bmp DIR] [--sequence PATTERN --truth CSV]\n"
    "  PATTERN names one disparity BMP per frame, \"XXXXX\" standing for the frame number";

struct Options {
    std::string scene;
    std::string embedded;
    std::string bmpDir;
    std::string sequence;
    std::string truth;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; i += 2) {
        const std::string flag = argv[i];
        if (i + 1 >= argc) return false;
        std::string* target = flag == "--scene" ? &options.scene
                              : flag == "--embedded" ? &options.embedded
                              : flag == "--bmp" ? &options.bmpDir
                              : flag == "--sequence" ? &options.sequence
                              : flag == "--truth" ? &options.truth
                              : nullptr;
        if (target == nullptr) return false;
        *target = argv[i + 1];
    }
    const bool sequence = !options.sequence.empty() || !options.truth.empty();
    if (sequence && (options.truth.empty() || options.sequence.find(scene::FRAME_MARK) == std::string::npos)) return false;
    return !options.scene.empty() && (!options.embedded.empty() || !options.bmpDir.empty() || sequence);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::cerr << USAGE << '\n';
        return 2;
    }
    scene::Scene scene;
    std::string error;
    if (!scene::LoadScene(options.scene, scene, error)) {
        std::cerr << "scene-render: " << error << '\n';
        return 1;
    }
    if (!options.embedded.empty() && !scene::WriteEmbeddedSource(scene, options.embedded)) {
        std::cerr << "scene-render: cannot write " << options.embedded << '\n';
        return 1;
    }
    if (!options.bmpDir.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(options.bmpDir, ignored);
        if (!scene::WriteSceneBmps(scene, options.bmpDir)) {
            std::cerr << "scene-render: cannot write the pictures into " << options.bmpDir << '\n';
            return 1;
        }
    }
    if (!options.sequence.empty() && !scene::WriteSequence(scene, options.sequence, options.truth)) {
        std::cerr << "scene-render: cannot write the sequence " << options.sequence << " or " << options.truth << '\n';
        return 1;
    }
    return 0;
}
