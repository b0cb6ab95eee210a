#pragma once

#include <cstdio>
#include <cstdlib>

// Stops the fuzzer with the input that broke an invariant: libFuzzer keeps it as a crash.
inline void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}
