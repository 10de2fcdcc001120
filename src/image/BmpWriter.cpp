#include "BmpWriter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int INFO_HEADER_BYTES = 40;
constexpr int PALETTE_BYTES = 256 * 4;
constexpr int32_t PIXELS_PER_METRE = 3780;  // 96 dots per inch
constexpr uint64_t MAX_FILE_BYTES = 0x7FFFFFFFu;  // the header's size fields are 32-bit

int RowBytes(int width, int bitsPerPixel) { return (width * (bitsPerPixel / 8) + 3) / 4 * 4; }

int DataOffset(int bitsPerPixel) {
    return BMP_HEADER_BYTES + (bitsPerPixel == 8 ? PALETTE_BYTES : 0);
}

void Put16(unsigned char* at, uint32_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

void Put32(unsigned char* at, uint32_t value) {
    Put16(at, value);
    Put16(at + 2, value >> 16);
}

constexpr int MAX_LINK_HOPS = 40;          // as the system's own limit on chains of links
constexpr unsigned TEMPORARY_ATTEMPTS = 100;
constexpr unsigned TEMPORARY_NUMBERS = 1000000;

// The temporary file being written, announced once created so that a signal handler can remove
// it (TemporaryBeingWritten). One per process: writes are made one at a time.
char pendingTemporary[4096];
std::atomic<bool> temporaryPending{false};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler reads the flag");
SignalHold signalHold;

// Holds the signals of signalHold for its life.
class HeldSignals {
public:
    HeldSignals() {
        if (signalHold.hold != nullptr) signalHold.hold();
    }
    ~HeldSignals() {
        if (signalHold.release != nullptr) signalHold.release();
    }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;
};

std::string Reason(const char* what, int error) { return std::string(what) + " (" + std::strerror(error) + ")"; }

// A hidden name ending in .tmp beside `target`, numbered by the clock and the attempt.
std::string TemporaryName(const fs::path& target, unsigned attempt) {
    const auto ticks = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    const std::string number = std::to_string((ticks + attempt) % TEMPORARY_NUMBERS);
    return (target.parent_path() / ("." + target.filename().string() + "." + number + ".tmp")).string();
}

// Creates the temporary and announces it, with the signals that remove it held in between.
std::FILE* CreateAnnounced(const std::string& temporary, int& failure) {
    const HeldSignals held;
    std::FILE* f = std::fopen(temporary.c_str(), "wbx");  // x: never an existing file
    failure = errno;
    if (f != nullptr) {
        std::memcpy(pendingTemporary, temporary.c_str(), temporary.size() + 1);
        temporaryPending = true;
    }
    return f;
}

// Creates a temporary beside `target` that no other file had, and announces it.
std::FILE* CreateTemporary(const fs::path& target, std::string& temporary, std::string& problem) {
    int failure = 0;
    for (unsigned attempt = 0; attempt < TEMPORARY_ATTEMPTS; ++attempt) {
        temporary = TemporaryName(target, attempt);
        if (temporary.size() >= sizeof pendingTemporary) {
            problem = "has too long a name";
            return nullptr;
        }
        if (std::FILE* f = CreateAnnounced(temporary, failure)) return f;
        if (failure != EEXIST) break;
    }
    problem = Reason("cannot be created in its folder", failure);
    return nullptr;
}

// Writes the bytes into a new temporary and renames it to `target`.
bool ReplaceThroughTemporary(const fs::path& target, const void* bytes, std::size_t size, std::string& problem) {
    std::string temporary;
    std::FILE* f = CreateTemporary(target, temporary, problem);
    if (f == nullptr) return false;
    bool written = std::fwrite(bytes, 1, size, f) == size;
    int failure = errno;
    if (std::fclose(f) != 0 && written) {
        written = false;
        failure = errno;
    }
    const bool renamed = written && std::rename(temporary.c_str(), target.c_str()) == 0;
    if (written && !renamed) failure = errno;
    if (!renamed) std::remove(temporary.c_str());
    temporaryPending = false;
    if (!renamed) problem = Reason(written ? "cannot replace the file" : "cannot be written", failure);
    return renamed;
}

bool Supported(int width, int height, int bitsPerPixel) {
    if (bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32) return false;
    if (width <= 0 || height <= 0) return false;
    const uint64_t rowBytes = (static_cast<uint64_t>(width) * (bitsPerPixel / 8) + 3) / 4 * 4;
    return DataOffset(bitsPerPixel) + rowBytes * static_cast<uint64_t>(height) <= MAX_FILE_BYTES;
}

}  // namespace

std::array<unsigned char, BMP_HEADER_BYTES> BmpHeader(int width, int height, int bitsPerPixel) {
    const uint32_t imageBytes = static_cast<uint32_t>(RowBytes(width, bitsPerPixel)) * static_cast<uint32_t>(height);
    const uint32_t offset = static_cast<uint32_t>(DataOffset(bitsPerPixel));
    std::array<unsigned char, BMP_HEADER_BYTES> h{};
    h[0] = 'B';
    h[1] = 'M';
    Put32(&h[2], offset + imageBytes);  // file size
    Put32(&h[10], offset);
    Put32(&h[14], INFO_HEADER_BYTES);
    Put32(&h[18], static_cast<uint32_t>(width));
    Put32(&h[22], static_cast<uint32_t>(height));  // positive: bottom row first
    Put16(&h[26], 1);                               // planes
    Put16(&h[28], static_cast<uint32_t>(bitsPerPixel));
    Put32(&h[34], imageBytes);                      // no compression (bytes 30-33 stay 0)
    Put32(&h[38], PIXELS_PER_METRE);
    Put32(&h[42], PIXELS_PER_METRE);
    Put32(&h[46], bitsPerPixel == 8 ? 256 : 0);     // palette entries
    return h;
}

bool WriteBmp(const std::string& path, const unsigned char* pixels, int width, int height, int bitsPerPixel,
              std::string* error) {
    if (!Supported(width, height, bitsPerPixel)) {
        if (error != nullptr) *error = "is no picture a BMP file holds";
        return false;
    }
    const std::array<unsigned char, BMP_HEADER_BYTES> header = BmpHeader(width, height, bitsPerPixel);
    const size_t rowBytes = static_cast<size_t>(RowBytes(width, bitsPerPixel));
    const size_t usedBytes = static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel / 8);
    const size_t offset = static_cast<size_t>(DataOffset(bitsPerPixel));

    std::vector<unsigned char> file(offset + rowBytes * static_cast<size_t>(height), 0);
    std::copy(header.begin(), header.end(), file.begin());
    if (bitsPerPixel == 8) {
        for (int i = 0; i < 256; ++i) {  // grey ramp: blue, green, red, unused
            unsigned char* entry = &file[BMP_HEADER_BYTES + 4 * static_cast<size_t>(i)];
            entry[0] = entry[1] = entry[2] = static_cast<unsigned char>(i);
        }
    }
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = pixels + static_cast<size_t>(y) * usedBytes;
        std::copy(row, row + usedBytes, file.begin() + static_cast<std::ptrdiff_t>(offset + static_cast<size_t>(y) * rowBytes));
    }
    return WriteFileReplacing(path, file.data(), file.size(), error);
}

bool FollowLinks(const std::string& path, std::string& target, std::string& problem) {
    fs::path name = path;
    for (int hop = 0; hop < MAX_LINK_HOPS; ++hop) {
        std::error_code failure;
        if (!fs::is_symlink(fs::symlink_status(name, failure))) {
            target = name.string();
            return true;
        }
        const fs::path next = fs::read_symlink(name, failure);
        if (failure) {
            problem = "is a link that cannot be read";
            return false;
        }
        name = next.is_absolute() ? next : name.parent_path() / next;
    }
    problem = "is a chain of too many links";
    return false;
}

bool WriteFileReplacing(const std::string& path, const void* bytes, std::size_t size, std::string* error) {
    std::string target;
    std::string problem;
    if (FollowLinks(path, target, problem)) {
        std::error_code failure;
        const fs::file_status status = fs::status(target, failure);
        if (fs::exists(status) && !fs::is_regular_file(status)) {
            problem = "is not a regular file (a device, folder or pipe is never replaced)";
        } else if (ReplaceThroughTemporary(target, bytes, size, problem)) {
            return true;
        }
    }
    if (error != nullptr) *error = problem;
    return false;
}

const char* TemporaryBeingWritten() { return temporaryPending ? pendingTemporary : nullptr; }

void HoldSignalsWhileCreatingTemporaries(SignalHold calls) { signalHold = calls; }
