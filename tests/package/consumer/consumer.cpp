// A program of another project that runs the detector through the installed library: the first
// frames of the embedded sequence, one "Frame=" line each, as obstacle-detection prints them.
#include <iostream>

#include <obstacle/stages/RunDriver.h>

namespace {

constexpr int FRAMES = 3;

}  // namespace

int main() {
    const int status = RunEmbeddedSequence(std::cout, START_FRAME, START_FRAME + FRAMES - 1);
    return std::cout.flush() ? status : 1;
}
