// The default run: frames 410 to 610 of the embedded sequence, one "Frame=" line per frame. A
// standard output that did not take every line (a full disk, a closed descriptor) fails the run.
#include <iostream>

#include "EmbeddedRun.h"

namespace {

constexpr int OUTPUT_FAILED = 2;

}  // namespace

int main(int, char**) {
    const int status = RunEmbeddedSequence(std::cout);
    if (std::cout.flush()) return status;
    std::cerr << "obstacle-detection: standard output: cannot be written (closed or full)\n";
    return OUTPUT_FAILED;
}
