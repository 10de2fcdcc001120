// Faults for the programs the tests run: a full file system (a small tmpfs) and the fault
// injector of tests/fault/FaultShim.cpp, which fails, shortens or cuts off by a signal the
// reads, writes and renames of one file.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
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
// (root, as in CI); without it `mounted` is false and `why` says so.
struct SmallFileSystem {
    explicit SmallFileSystem(long bytes) {
        char pattern[] = "/tmp/obstacle-full-XXXXXX";
        folder = mkdtemp(pattern) != nullptr ? pattern : "";
        mounted = !folder.empty() && mount("tmpfs", pattern, "tmpfs", 0, ("size=" + std::to_string(bytes)).c_str()) == 0;
        why = "a tmpfs cannot be mounted here (" + std::string(std::strerror(errno)) + ")";
    }
    ~SmallFileSystem() {
        if (mounted) umount(folder.c_str());
        if (!folder.empty()) rmdir(folder.c_str());
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    std::string folder;
    bool mounted = false;
    std::string why;
};
