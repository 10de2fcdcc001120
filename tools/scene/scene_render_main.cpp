// Placeholder until the scene renderer lands: writes an empty embedded-data source.
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--embedded") std::ofstream(argv[i + 1]) << "\n";
    }
    return 0;
}
