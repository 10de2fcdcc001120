// An MP4 video of pictures side by side, encoded by the ffmpeg program: it is started with the
// video's size and frame rate and fed raw RGB frames on a pipe. The video is written under a
// temporary name beside its own and takes its name only once ffmpeg has finished it without
// fault, so that a failed run leaves no partial video under the name.
//
// A process that writes videos ignores SIGPIPE (obstacle-track does), so that an encoder that
// ends early turns into a failed write instead of ending the process. Its handlers of ending
// signals call AbandonVideoOnSignal, so that a run ended by a signal leaves no temporary video.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "core.h"

// The name of the encoding program, looked for on PATH.
constexpr const char* VIDEO_ENCODER = "ffmpeg";

// The path of `program` in a folder of PATH where it is an executable file; empty when none is.
std::string FindProgram(const std::string& program);

// A frame's size for the encoder: the pictures side by side, as tall as the tallest, each side
// rounded up to an even number of pixels (H.264's 4:2:0 sampling needs them even).
void SideBySideSize(const std::vector<const qim::Image*>& pictures, int& width, int& height);

// Stops the encoder of the video being written, waits for it and removes its temporary file.
// Safe in a signal handler; does nothing where no video is open. One video is written at a time.
void AbandonVideoOnSignal();

class VideoFile {
public:
    VideoFile() = default;
    VideoFile(const VideoFile&) = delete;
    VideoFile& operator=(const VideoFile&) = delete;
    // A video still open is abandoned: its encoder is stopped and its temporary file removed.
    ~VideoFile();

    // Starts `encoder` (a path, FindProgram's) writing `path` at `fps_hz` frames per second for
    // frames of width x height pixels (even). False with the problem (without the file's name).
    bool Open(const std::string& encoder, const std::string& path, int width, int height, double fps_hz,
              std::string& problem);
    bool IsOpen() const { return pid > 0; }
    // One frame: the pictures (three channels, blue, green, red) side by side from the left, top
    // rows aligned, the rest black. False with the problem when the encoder takes no more.
    bool Write(const std::vector<const qim::Image*>& pictures, std::string& problem);
    // Ends the input, waits for the encoder and gives the video its name. False with the problem
    // when the encoder failed (the temporary file is then removed).
    bool Close(std::string& problem);

private:
    void Abandon();
    void RemoveTemporary();

    pid_t pid = -1;
    int input = -1;  // the pipe's writing end
    std::string path;
    std::string temporary;
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;  // one frame
};
