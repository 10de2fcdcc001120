// A results file written a frame at a time that only ever holds whole lines. Each frame's lines
// are formed in memory and handed to the system in one write; a write to a regular file that
// fails or comes up short is cut back to where the file ended before it. So a full disk, a
// failing disk or a kill between writes leaves the file holding complete lines only, every one
// readable.
#pragma once

#include <string>

class LineFile {
public:
    LineFile() = default;
    ~LineFile();
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;

    // Creates or empties `path` for writing. False with the reason in `problem`, at once for a
    // named pipe that nobody reads.
    bool Create(const std::string& path, std::string& problem);
    // Writes to standard output from where it stands (its end when it appends); it stays open.
    void UseStandardOutput();
    bool IsOpen() const { return fd >= 0; }

    // Appends `lines`, whole lines each ending in '\n'. On failure returns false with the reason
    // in `problem`; a regular file then ends where it ended before the call. A pipe, terminal or
    // device cannot be cut back: a write to it is retried until all is taken or it fails.
    bool Append(const std::string& lines, std::string& problem);
    // Cuts a regular file back to where it ended before the last Append (the frame whose other
    // outputs failed); false where that cannot be done.
    bool UndoLastAppend();
    // Closes a file opened by Create; false with the reason when the system reports a failure.
    bool Close(std::string& problem);

private:
    void Opened(int descriptor, bool own);
    bool CutBack(long long length);

    int fd = -1;
    bool owned = false;     // opened by Create, closed here
    bool regular = false;   // a regular file: it can be cut back
    long long end = 0;      // where the file ends after the last Append
    long long before = 0;   // where it ended before the last Append
};
