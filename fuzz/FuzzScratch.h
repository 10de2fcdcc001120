// A scratch folder of one fuzzing process, for the files a target writes and reads back; made
// under TMPDIR (or /tmp) on first use and removed with everything in it at exit.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

inline const std::string& FuzzScratch() {
    struct Folder {
        std::string path;
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const Folder folder{[] {
        const char* tmp = std::getenv("TMPDIR");
        const std::string path = std::string(tmp != nullptr ? tmp : "/tmp") + "/fuzz." + std::to_string(getpid());
        std::filesystem::create_directories(path);
        return path;
    }()};
    return folder.path;
}
