// Faults for the programs the tests run: a full file system (a small tmpfs) and the fault
// injector of tests/fault/FaultShim.cpp, which fails, shortens or cuts off by a signal the
// reads, writes and renames of one file.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

// Assignments for RunProgram that load the fault injector with `settings` ("FAULT_PATH=... ...")
// into the program: through LD_PRELOAD natively, through qemu-user's QEMU_SET_ENV under the
// emulator, whose own loader must not see the target's library. A program built with
// AddressSanitizer is told to accept a library loaded before its runtime.
inline std::string FaultEnvironment(const std::string& settings) {
    const std::string emulator = EMULATOR;
    return std::string(emulator.empty() ? "LD_PRELOAD=" : "QEMU_SET_ENV=LD_PRELOAD=") + FAULT_SHIM +
           " ASAN_OPTIONS=verify_asan_link_order=0 " + settings;
}

// A tmpfs of `bytes` mounted on a new folder for the object's life. Mounting needs the right to
// (root, as in CI); where it is missing, Mounted() is false and Why() says so.
class SmallFileSystem {
public:
    explicit SmallFileSystem(long bytes) {
        char pattern[] = "/tmp/obstacle-full-XXXXXX";
        if (mkdtemp(pattern) == nullptr) return;
        folder = pattern;
        const std::string size = "size=" + std::to_string(bytes);
        mounted = mount("tmpfs", folder.c_str(), "tmpfs", 0, size.c_str()) == 0;
        if (!mounted) why = "a tmpfs cannot be mounted here (" + std::string(std::strerror(errno)) + ")";
    }
    ~SmallFileSystem() {
        if (mounted) umount(folder.c_str());
        if (!folder.empty()) rmdir(folder.c_str());
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool Mounted() const { return mounted; }
    const std::string& Why() const { return why; }
    const std::string& Folder() const { return folder; }

private:
    std::string folder;
    bool mounted = false;
    std::string why = "no folder for the mount";
};
