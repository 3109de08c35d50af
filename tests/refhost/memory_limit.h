// Running a piece of a test under a memory limit, so that a regression that
// allocates what a hostile input declares fails at once instead of swapping.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace refhost_test {

// AddressSanitizer reserves terabytes of shadow memory, so an address-space
// limit cannot be set under it; there the body runs without one.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kCanLimitMemory = false;
#else
constexpr bool kCanLimitMemory = true;
#endif

// Runs body (returning true for a pass) in a child process whose address
// space is limited to `bytes`.  True when the child passed; a child that dies
// of a signal or of an exception fails.
template <typename F>
bool passesWithMemoryLimit(int64_t bytes, F body) {
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        if (kCanLimitMemory) {
            const rlimit limit{rlim_t(bytes), rlim_t(bytes)};
            if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
        }
        bool passed = false;
        try {
            passed = body();
        } catch (...) {
            _exit(4);
        }
        _exit(passed ? 0 : 1);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A shell command prefix that limits the address space of what follows it
// (nothing under the sanitizers).
inline std::string memoryLimitPrefix(int64_t bytes) {
    return kCanLimitMemory ? "ulimit -v " + std::to_string(bytes / 1024) + "; " : std::string();
}

}  // namespace refhost_test
