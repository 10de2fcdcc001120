// A small writer of uncompressed BMP files: 8-bit grey (with a grey palette), 24-bit and 32-bit
// colour. Pixels are handed over in the file's own order: bottom row first, rows without gaps,
// colour bytes blue, green, red (and an unused fourth byte for 32 bits).
#pragma once

#include <array>
#include <cstddef>
#include <string>

constexpr int BMP_HEADER_BYTES = 54;

// File and information header of a `width` x `height` picture of `bitsPerPixel` 8, 24 or 32;
// an 8-bit picture is followed by a 256-entry palette.
std::array<unsigned char, BMP_HEADER_BYTES> BmpHeader(int width, int height, int bitsPerPixel);

// Writes the picture to `path` with WriteFileReplacing, padding each row to a multiple of 4 bytes.
// Returns false for an unsupported format, a size that is not positive or too large, or any
// failure of WriteFileReplacing (whose reason lands in `error` when given).
bool WriteBmp(const std::string& path, const unsigned char* pixels, int width, int height, int bitsPerPixel,
              std::string* error = nullptr);

// Writes `size` bytes to `path` through a temporary file in the same folder that replaces `path`
// only once it is complete and closed, so a failure never leaves a half-written file under that
// name; true only after the replacement. A symbolic link is written through: its target (followed
// to the end of a chain of links) is replaced, and the link stays. An existing `path` that is not
// a regular file (a device, a folder, a pipe) is refused and left as it is. The temporary's name,
// ".NAME.NNNNNN.tmp", is hidden and ends in .tmp, so that nothing that reads the folder's results
// takes it for one. On failure returns false and, when `error` is given, stores what is wrong
// ("is not a regular file", "cannot be written (No space left on device)", ...).
bool WriteFileReplacing(const std::string& path, const void* bytes, std::size_t size, std::string* error = nullptr);

// The name a write to `path` reaches: symbolic links followed to the end of their chain, a
// relative target taken from its link's folder; that last name need not exist. False, with the
// reason in `problem`, for a link that cannot be read or a chain of more than 40 links.
bool FollowLinks(const std::string& path, std::string& target, std::string& problem);

// The temporary file a WriteFileReplacing call has created and not yet renamed or removed, or
// nullptr. Reading it is safe in a signal handler, which may remove the file before the process
// ends (the program is single-threaded, so at most one such file exists at a time).
const char* TemporaryBeingWritten();

// The calls that hold back, and let through again, the signals whose handlers remove
// TemporaryBeingWritten(). A program that installs such handlers gives them here: every temporary
// is then created and announced with those signals held, so that no handler runs while a temporary
// exists that it does not know. Without them a temporary is created and announced as it comes.
struct SignalHold {
    void (*hold)() = nullptr;
    void (*release)() = nullptr;
};
void HoldSignalsWhileCreatingTemporaries(SignalHold calls);
