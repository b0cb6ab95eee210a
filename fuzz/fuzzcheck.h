#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Stops the fuzzer with the input that broke an invariant: libFuzzer keeps it as a crash.
inline void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// The fuzzer's bytes as a file that the program opens by its path, without touching the disk.
class InMemoryFile
{
public:
    InMemoryFile(const uint8_t *data, size_t size) : descriptor(memfd_create("quorvane-fuzz", 0))
    {
        check(descriptor >= 0, "a file for the input");
        size_t done = 0;
        while (done < size) {
            const ssize_t written = ::write(descriptor, data + done, size - done);
            check(written > 0, "the input is written");
            done += size_t(written);
        }
    }
    ~InMemoryFile() { ::close(descriptor); }
    InMemoryFile(const InMemoryFile &) = delete;
    InMemoryFile &operator=(const InMemoryFile &) = delete;
    std::string path() const { return "/proc/self/fd/" + std::to_string(descriptor); }

private:
    int descriptor;
};
