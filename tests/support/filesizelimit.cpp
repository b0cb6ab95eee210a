#include "filesizelimit.h"

// Kept out of the header: the core library's signal.h would hide the system's to anything that
// also sees the core's headers.
#include <csignal>

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    ::getrlimit(RLIMIT_FSIZE, &saved);
    // Without this, a write past the limit would kill the process instead of failing.
    previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limited{bytes, saved.rlim_max};
    active = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
}
