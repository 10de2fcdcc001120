// scene-render: renders the synthetic road scene described in a scene file.
//   scene-render --scene FILE [--embedded OUT.cpp] [--bmp DIR]
// --embedded writes the C++ source of the detector's embedded pictures; --bmp writes
// disparity.bmp, grey.bmp and topview.bmp into DIR (created if missing) for viewing.
#include <filesystem>
#include <iostream>
#include <string>

#include "Scene.h"

namespace {

constexpr const char* USAGE = "usage: scene-render --scene FILE [--embedded OUT.cpp] [--bmp DIR]";

struct Options {
    std::string scene;
    std::string embedded;
    std::string bmpDir;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; i += 2) {
        const std::string flag = argv[i];
        if (i + 1 >= argc) return false;
        std::string* target = flag == "--scene" ? &options.scene
                              : flag == "--embedded" ? &options.embedded
                              : flag == "--bmp" ? &options.bmpDir
                              : nullptr;
        if (target == nullptr) return false;
        *target = argv[i + 1];
    }
    return !options.scene.empty() && (!options.embedded.empty() || !options.bmpDir.empty());
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
    return 0;
}
