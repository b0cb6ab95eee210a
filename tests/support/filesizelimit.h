#pragma once

#include <sys/resource.h>

// While it lives, this process may write files up to `bytes` long only, as if the disk filled
// there: a write that reaches the limit stores what fits, and the next one fails. Unlike a
// read-only folder, this stops root too.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool isActive() const { return active; }

private:
    rlimit saved{};
    void (*previousHandler)(int) = nullptr;
    bool active = false;
};
