// The default run: frames 410 to 610 of the embedded sequence, one "Frame=" line per frame.
#include <iostream>

#include "RunDriver.h"

int main(int, char**) { return RunEmbeddedSequence(std::cout); }
