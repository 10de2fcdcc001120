// The frame loop: names of each frame's files, the progress line, the frame sources and the
// stages in their fixed order.
#pragma once

#include <cstddef>
#include <ostream>

#include "RunState.h"

constexpr size_t NAME_SIZE = 256;  // every name buffer, terminating zero included

// Names of the recording's files; "XXXXX" in a template stands for the five-digit frame number.
struct FrameNames {
    char name[NAME_SIZE];             // the sequence name
    char pass[NAME_SIZE];             // the sequence folder
    char folderOriginal[NAME_SIZE];   // template of a frame's rectified grey picture
    char folderDisparity[NAME_SIZE];  // template of a frame's colour-coded disparity picture
    char folderTopview[NAME_SIZE];    // template of a frame's output picture
    char iFile[NAME_SIZE];            // the top-view background
    char iTmpBuf[NAME_SIZE];          // the frame number, five digits
    char iFileD[NAME_SIZE];           // this frame's disparity picture
    char iFileOriginal[NAME_SIZE];    // this frame's grey picture
    char outputFileTopview[NAME_SIZE];// this frame's output picture
};

// Replaces, in place, every occurrence of str1 in buf (bufSize bytes) by str2, searching again
// from the start after each replacement. Refuses (returns false, buf unchanged from the refused
// replacement on) a replacement that would not fit, an empty str1, and a str2 containing str1,
// which would never end.
bool strchg(char* buf, size_t bufSize, const char* str1, const char* str2);

void InitialNames(FrameNames& names);
void FormFrameNames(FrameNames& names, int frame);

// Runs frames first..last over the embedded pictures, writing "Frame=N" per frame to out.
// Returns 0, or -1 when a frame's disparity picture has no pixels.
int RunEmbeddedSequence(std::ostream& out, int first = START_FRAME, int last = END_FRAME);
