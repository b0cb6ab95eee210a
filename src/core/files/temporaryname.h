#pragma once

#include <string>

// Where the system has no unnamed files, a file being written has a hidden name of its own until
// it is complete. A run stopped by Ctrl-C, by `kill` or by a closed pipe must not leave such a
// file behind: while a TemporaryName holds its path, the signal that stops the program removes
// it first. SIGKILL cannot be caught; nothing can clean up after it.
//
// The handler reads a fixed table that registering writes with atomic flags only, so it is safe
// from a signal, on any thread. A path too long for the table, or one more than it holds, is
// not removed on a signal: it is then left as it was before this existed.
class TemporaryName
{
public:
    TemporaryName() = default;
    // `path` in the file system's encoding; the file must exist and be ours.
    explicit TemporaryName(const std::string &path);
    ~TemporaryName(); // the file is no longer the signal's to remove
    TemporaryName(TemporaryName &&other) noexcept;
    TemporaryName &operator=(TemporaryName &&other) noexcept;
    TemporaryName(const TemporaryName &) = delete;
    TemporaryName &operator=(const TemporaryName &) = delete;

private:
    void release();

    int slot = -1;
};

// Makes SIGINT, SIGTERM, SIGHUP and SIGPIPE remove every file a TemporaryName holds before they
// end the program as they would have. A signal the program was started with ignored (as `nohup`
// does with SIGHUP) stays ignored. For a program's main, once, before any file is written.
void removeTemporariesOnSignals();
